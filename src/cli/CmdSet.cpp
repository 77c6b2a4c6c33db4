// varnexctl set: the IP settings and name of one gateway, as the device list's Apply writes them.
#include "CliCommon.h"

#include "actions/SetNetwork.h"
#include "discovery/IPv4Text.h"
#include "engine/GatewayEngine.h"
#include "engine/NetworkExchange.h"
#include "link/Codecs.h"
#include "link/VarnexError.h"
#include "text/PrintableText.h"

#include "CliBatch.h"
#include "fleet/AddressPlan.h"
#include "fleet/CsvPlan.h"
#include "fleet/FleetJobs.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QNetworkInterface>

namespace {
struct Field {
    const char* option;
    const char* description;
    QString NetworkSettingsRow::*member;
    bool address;
};
const Field kFields[] = {
    {"ip", "The new IP address.", &NetworkSettingsRow::ip, true},
    {"mask", "The new subnet mask.", &NetworkSettingsRow::mask, true},
    {"gateway", "The new default gateway.", &NetworkSettingsRow::gateway, true},
    {"view-ip", "The new VarnexView IP.", &NetworkSettingsRow::viewIp, true},
    {"name", "The new device name (at most 32 bytes of UTF-8).", &NetworkSettingsRow::name, false},
};

}  // namespace

namespace {
// This PC's IPv4 addresses: a plan must not give one of them to a gateway.
QStringList ownAddresses() {
    QStringList out;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) out << a.toString();
    }
    return out;
}

// set --from-csv: a plan for many gateways, previewed, checked whole, then sent.
int setFromCsv(const QStringList& words) {
    CommandLine cl(QStringLiteral("set --from-csv"),
                   QStringLiteral("Gives the gateways named in a CSV plan (columns mac, ip, mask, "
                                  "gateway, view_ip, name; an empty cell keeps what the gateway "
                                  "reports) their new settings, each checked by a discovery. The "
                                  "plan is shown first and refused whole when it gives two "
                                  "gateways one address, or an address still held afterwards.\n"
                                  "Example: varnexctl set --from-csv plan.csv --dry-run"));
    const QCommandLineOption csv(QStringLiteral("from-csv"), QStringLiteral("The plan."),
                                 QStringLiteral("FILE"));
    cl.addOption(csv);
    cl.addOption(DiscoveryTimeout);
    AddBatchOptions(cl, true);
    if (!cl.parse(words, 0, 0)) return Exit::Ok;
    const int timeoutMs = TimeoutArgument(cl.parser().value(DiscoveryTimeout));
    const BatchOptions options = BatchOptionsOf(cl);
    QVector<CsvPlanRow> rows;
    try {
        rows = LoadCsvPlan(cl.parser().value(csv));
    } catch (const VarnexError& e) {
        throw UsageError(e.text());
    }

    auto engine = OpenEngine(cl.interfaceName());
    const QList<DiscoveryReply> found = engine->Discover(timeoutMs);
    QVector<ListedGateway> listed;
    for (const DiscoveryReply& r : found) {
        listed.append({r.Mac, r.DeviceName, r.IpAddress, r.SubnetMask, r.Gateway, r.ViewIp});
    }
    const QVector<PlannedGateway> plan = PlanFromRows(rows, listed, ownAddresses());
    Err(AddressPlanNote() + QLatin1Char('\n'));
    QStringList refusals;
    QHash<QString, PlannedGateway> byMac;
    for (const PlannedGateway& p : plan) {
        Err(PrintableText(QStringLiteral("%1  %2 -> %3  %4")
                              .arg(p.now.mac, p.now.ip, p.ip, p.refused() ? p.refusal : p.name)) +
            QLatin1Char('\n'));
        if (p.refused()) refusals << p.now.mac + QStringLiteral(": ") + p.refusal;
        byMac.insert(p.now.mac.toUpper(), p);
    }
    if (!refusals.isEmpty()) {
        Err(QStringLiteral("the plan is refused; nothing was sent\n"));
        for (const QString& r : refusals) Out(PrintableText(r) + QLatin1Char('\n'));
        return Exit::Failed;
    }
    BatchTargets targets;
    for (const DiscoveryReply& r : found) {
        if (byMac.contains(r.Mac.toUpper())) targets.found << r;
    }
    return RunBatch(targets, AddressJob(*engine, byMac, timeoutMs, options.dryRun), options);
}
}  // namespace

int RunSet(const QStringList& words) {
    for (const QString& w : words) {
        if (w == QLatin1String("--from-csv") || w.startsWith(QLatin1String("--from-csv=")))
            return setFromCsv(words);
    }
    CommandLine cl(
        QStringLiteral("set"),
        QStringLiteral("Sets the IP settings and name of the gateway with MAC. Fields not "
                       "given keep the values the gateway reports. A new discovery then "
                       "checks that the gateway reports the new values.\n"
                       "Example: varnexctl set 00-1A-2B-00-00-01 --ip 192.168.1.20 "
                       "--name \"Pump house\""));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateway's MAC address."),
                     QStringLiteral("MAC"));
    QList<QCommandLineOption> options;
    for (const Field& f : kFields) {
        options.append(
            QCommandLineOption(QString::fromLatin1(f.option), QString::fromLatin1(f.description),
                               f.address ? QStringLiteral("A") : QStringLiteral("TEXT")));
        cl.addOption(options.last());
    }
    const QCommandLineOption noVerify(QStringLiteral("no-verify"),
                                      QStringLiteral("Do not check the new values afterwards."));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"), QStringLiteral("How long to wait for the gateway (default 3)."),
        QStringLiteral("SECONDS"), QStringLiteral("3"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the result as JSON."));
    cl.addOption(noVerify);
    cl.addOption(timeout);
    cl.addOption(json);
    if (!cl.parse(words, 1, 1)) return Exit::Ok;
    const QString mac = MacArgument(cl.positional().first());
    const int timeoutMs = TimeoutArgument(cl.parser().value(timeout));

    // Every given value is checked before anything is sent.
    QList<QPair<const Field*, QString>> changes;
    for (int i = 0; i < options.size(); ++i) {
        if (!cl.parser().isSet(options[i])) continue;
        const QString value = cl.parser().value(options[i]);
        if (kFields[i].address && !IsValidIPv4(value)) {
            throw UsageError(QStringLiteral("--%1: \"%2\" is not an IPv4 address")
                                 .arg(QLatin1String(kFields[i].option), value));
        }
        changes.append({&kFields[i], value});
    }
    if (changes.isEmpty())
        throw UsageError(
            QStringLiteral("nothing to set: give --ip, --mask, --gateway, --view-ip or --name"));

    auto engine = OpenEngine(cl.interfaceName());
    const DiscoveryReply found = FindGateway(*engine, mac, timeoutMs);
    NetworkSettingsRow row = NetworkSettingsOf(found);
    for (const auto& change : changes) row.*(change.first->member) = change.second;
    try {
        BuildSetNetwork(row);
    } catch (const VarnexError& e) {
        throw UsageError(e.text());
    }
    SendNetworkSettings(*engine, row);
    Err(QStringLiteral("sent the new settings to %1\n").arg(mac));

    QStringList fields;
    for (const auto& change : changes) fields << QString::fromLatin1(change.first->option);
    QStringList mismatches;
    const bool verify = !cl.parser().isSet(noVerify);
    if (verify) mismatches = CheckNetworkSettings(*engine, row, fields, timeoutMs);
    if (cl.parser().isSet(json)) {
        QJsonObject result{{QStringLiteral("mac"), mac},
                           {QStringLiteral("verified"), verify && mismatches.isEmpty()}};
        for (const auto& change : changes) {
            result.insert(QString::fromLatin1(change.first->option)
                              .replace(QLatin1Char('-'), QLatin1Char('_')),
                          NetworkField(AsReported(row), QString::fromLatin1(change.first->option)));
        }
        OutJson(QJsonDocument(result));
    } else {
        Out(QStringLiteral("%1: %2\n")
                .arg(mac, !verify                ? QStringLiteral("sent")
                          : mismatches.isEmpty() ? QStringLiteral("set and verified")
                                                 : QStringLiteral("NOT taken")));
    }
    for (const QString& m : mismatches) Err(PrintableText(m) + QLatin1Char('\n'));
    return mismatches.isEmpty() ? Exit::Ok : Exit::Failed;
}

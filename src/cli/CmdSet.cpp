// varnexctl set: the IP settings and name of one gateway, as the device list's Apply writes them.
#include "CliCommon.h"

#include "actions/SetNetwork.h"
#include "discovery/IPv4Text.h"
#include "engine/GatewayEngine.h"
#include "engine/NetworkExchange.h"
#include "link/Codecs.h"
#include "link/VarnexError.h"
#include "text/PrintableText.h"

#include <QJsonObject>

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

int RunSet(const QStringList& words) {
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

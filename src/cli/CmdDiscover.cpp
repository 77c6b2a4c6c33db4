// varnexctl discover: every gateway that answers a Search, as text or JSON.
#include "CliCommon.h"

#include "engine/GatewayEngine.h"
#include "engine/SearchExplain.h"
#include "link/NetInterfaces.h"
#include "link/VarnexError.h"
#include "net/Reachability.h"
#include "net/SearchReport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

namespace {
QJsonObject gatewayJson(const DiscoveryReply& r, const ReachVerdict& verdict) {
    return QJsonObject{{QStringLiteral("problems"), QJsonArray::fromStringList(verdict.codes())},
                       {QStringLiteral("mac"), r.Mac},
                       {QStringLiteral("model"), r.Model},
                       {QStringLiteral("version"), r.Version},
                       {QStringLiteral("name"), r.DeviceName},
                       {QStringLiteral("ip"), r.IpAddress},
                       {QStringLiteral("mask"), r.SubnetMask},
                       {QStringLiteral("gateway"), r.Gateway},
                       {QStringLiteral("view_ip"), r.ViewIp},
                       {QStringLiteral("interface"), InterfaceNameOf(r.InterfaceIndex)}};
}

// Columns padded to their widest cell; the last one is not padded.
QString table(const QList<QStringList>& rows) {
    QList<int> widths;
    for (const QStringList& row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            if (widths.size() <= c) widths.append(0);
            widths[c] = qMax(widths[c], static_cast<int>(row[c].size()));
        }
    }
    QString out;
    for (const QStringList& row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            out += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        }
        out += QLatin1Char('\n');
    }
    return out;
}

// Every gateway against the others and this PC's routes; `heard` holds every
// address each MAC answered from, the list only its first reply.
QVector<ReachVerdict> judge(const QList<DiscoveryReply>& found,
                            const AddressesByMac& heard = AddressesByMac()) {
    QVector<ReachGateway> listed;
    for (const DiscoveryReply& r : found) {
        ReachGateway g;
        g.mac = r.Mac;
        g.ip = r.IpAddress;
        g.mask = r.SubnetMask;
        g.interfaceIndex = r.InterfaceIndex;
        listed.append(g);
    }
    SystemRouteTable routes;
    return JudgeReachability(listed, routes, heard);
}

// The interfaces as they are now, when no Search could start (the port is
// held, say): nothing was counted, so the report rests on their state.
QString explainText(bool portHeld) {
    SearchReportData data;
    data.counted = false;
    data.portHeldElsewhere = portHeld;
    for (const InterfaceFacts& facts : CollectInterfaceFacts()) data.interfaces.append({facts, {}});
    return SearchReportText(data);
}
}  // namespace

int RunDiscover(const QStringList& words) {
    CommandLine cl(
        QStringLiteral("discover"),
        QStringLiteral("Lists every gateway that answers a Search on every interface, one "
                       "per line, or as a JSON array with --json.\n"
                       "Exit status: 0 when at least one gateway answered, 1 when none did.\n"
                       "Example: varnexctl discover --timeout 1 --json"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("How long to listen for replies (default 3)."),
                                     QStringLiteral("SECONDS"), QStringLiteral("3"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print a JSON array."));
    const QCommandLineOption explain(
        QStringLiteral("explain"),
        QStringLiteral("Then print each interface's state, and why no gateway may have "
                       "answered, on stderr."));
    cl.addOption(timeout);
    cl.addOption(json);
    cl.addOption(explain);
    if (!cl.parse(words, 0, 0)) return Exit::Ok;
    const int timeoutMs = TimeoutArgument(cl.parser().value(timeout));

    std::unique_ptr<GatewayEngine> engine;
    try {
        engine = OpenEngine(cl.interfaceName());
    } catch (const VarnexError& e) {
        if (cl.parser().isSet(explain)) {
            Err(explainText(e.text().contains(QStringLiteral("already in use"))));
        }
        throw;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    const QList<DiscoveryReply> found = engine->Discover(timeoutMs);
    if (cl.parser().isSet(json)) {
        const QVector<ReachVerdict> verdicts = judge(found, LastSearchAddresses(*engine));
        QJsonArray all;
        for (int i = 0; i < found.size(); ++i) all.append(gatewayJson(found[i], verdicts[i]));
        OutJson(QJsonDocument(all));
    } else if (!found.isEmpty()) {
        QList<QStringList> rows{
            {"MODEL", "MAC", "VERSION", "NAME", "IP", "MASK", "GATEWAY", "VIEW IP", "INTERFACE"}};
        for (const DiscoveryReply& r : found) {
            QStringList row{r.Model,      r.Mac,       r.Version,
                            r.DeviceName, r.IpAddress, r.SubnetMask,
                            r.Gateway,    r.ViewIp,    InterfaceNameOf(r.InterfaceIndex)};
            for (QString& cell : row) cell = PrintableText(cell);
            rows.append(row);
        }
        Out(table(rows));
    }
    Err(QStringLiteral("%1 gateway(s) answered in %2 s\n")
            .arg(found.size())
            .arg(elapsed.elapsed() / 1000.0, 0, 'f', 1));
    if (cl.parser().isSet(explain)) {
        Err(QLatin1Char('\n') + SearchReportText(LastSearchReport(*engine)));
    }
    return found.isEmpty() ? Exit::Failed : Exit::Ok;
}

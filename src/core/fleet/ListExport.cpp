#include "fleet/ListExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QStringList& keys() {
    static const QStringList k{"mac",  "model",   "version", "name",      "ip",
                               "mask", "gateway", "view_ip", "interface", "problems"};
    return k;
}

QStringList fieldsOf(const ExportedGateway& g) {
    const DiscoveryReply& r = g.reply;
    return {r.Mac,        r.Model,   r.Version, r.DeviceName,    r.IpAddress,
            r.SubnetMask, r.Gateway, r.ViewIp,  g.interfaceName, g.problems.join(QLatin1Char(' '))};
}

QString csvCell(QString cell) {
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!cell.isEmpty() && formulaStarts.contains(cell[0])) cell.prepend(QLatin1Char('\''));
    const bool quote = cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char(';')) ||
                       cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')) ||
                       cell.contains(QLatin1Char('\r')) ||
                       (!cell.isEmpty() && (cell.front().isSpace() || cell.back().isSpace()));
    if (!quote) return cell;
    cell.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
}

void appendLine(QString& out, const QStringList& cells) {
    QStringList quoted;
    for (const QString& c : cells) quoted << csvCell(c);
    out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}
}  // namespace

QByteArray GatewayListCsv(const QVector<ExportedGateway>& gateways) {
    QString out;
    appendLine(out, keys());
    for (const ExportedGateway& g : gateways) appendLine(out, fieldsOf(g));
    return out.toUtf8();
}

QByteArray GatewayListJson(const QVector<ExportedGateway>& gateways) {
    QJsonArray list;
    for (const ExportedGateway& g : gateways) {
        const QStringList fields = fieldsOf(g);
        QJsonObject o;
        for (int i = 0; i + 1 < keys().size(); ++i) o.insert(keys()[i], fields[i]);
        o.insert(keys().back(), QJsonArray::fromStringList(g.problems));
        list.append(o);
    }
    return QJsonDocument(list).toJson(QJsonDocument::Indented);
}

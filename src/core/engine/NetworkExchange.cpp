#include "engine/NetworkExchange.h"

#include "engine/GatewayEngine.h"
#include "link/Codecs.h"
#include "link/VarnexError.h"

#include <QThread>

namespace {
// A gateway takes a moment to apply what it got before it answers anew.
constexpr int kSettleMs = 200;
}  // namespace

NetworkSettingsRow NetworkSettingsOf(const DiscoveryReply& r) {
    NetworkSettingsRow row;
    row.mac = r.Mac;
    row.name = r.DeviceName;
    row.ip = r.IpAddress;
    row.mask = r.SubnetMask;
    row.gateway = r.Gateway;
    row.viewIp = r.ViewIp;
    return row;
}

NetworkSettingsRow AsReported(const NetworkSettingsRow& row) {
    NetworkSettingsRow out = row;
    out.name = DecodeDeviceName(EncodeDeviceName(row.name));
    out.ip = DecodeIPv4(EncodeIPv4(row.ip));
    out.mask = DecodeIPv4(EncodeIPv4(row.mask));
    out.gateway = DecodeIPv4(EncodeIPv4(row.gateway));
    out.viewIp = DecodeIPv4(EncodeIPv4(row.viewIp));
    return out;
}

QString NetworkField(const NetworkSettingsRow& row, const QString& field) {
    if (field == QLatin1String("ip")) return row.ip;
    if (field == QLatin1String("mask")) return row.mask;
    if (field == QLatin1String("gateway")) return row.gateway;
    if (field == QLatin1String("view-ip")) return row.viewIp;
    if (field == QLatin1String("name")) return row.name;
    return QString();
}

void SendNetworkSettings(GatewayEngine& engine, const NetworkSettingsRow& row) {
    const QByteArray datagram = BuildSetNetwork(row);
    auto claim = engine.Begin(row.mac, QStringLiteral("its network settings are being written"));
    engine.SendTo(row.mac, datagram);
}

QStringList CheckNetworkSettings(GatewayEngine& engine, const NetworkSettingsRow& sent,
                                 const QStringList& fields, int timeoutMs) {
    QThread::msleep(kSettleMs);
    const QList<DiscoveryReply> found = engine.Discover(timeoutMs, {sent.mac});
    if (found.isEmpty()) {
        throw VarnexError(QStringLiteral("no gateway with MAC %1 answered").arg(sent.mac));
    }
    NetworkSettingsRow now;
    for (const DiscoveryReply& r : found) {
        if (r.Mac.compare(sent.mac, Qt::CaseInsensitive) == 0) now = NetworkSettingsOf(r);
    }
    const NetworkSettingsRow expected = AsReported(sent);
    QStringList mismatches;
    for (const QString& field : fields) {
        const QString want = NetworkField(expected, field);
        const QString have = NetworkField(now, field);
        if (have != want) {
            mismatches << QStringLiteral("%1: reports %2, expected %3").arg(field, have, want);
        }
    }
    return mismatches;
}

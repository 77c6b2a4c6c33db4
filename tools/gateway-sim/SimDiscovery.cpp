#include "SimDiscovery.h"

#include "Simulator.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

bool IsDiscoveryRequest(const QByteArray& datagram) {
    return datagram.size() == 3 && datagram.at(1) == 'g' && datagram.at(2) == DeviceDatagram::ETX;
}

QByteArray BuildDiscoveryReply(const SimGateway& gw) {
    QByteArray payload;
    payload.reserve(82);
    payload.append(gw.mac);
    payload.append(gw.ip);
    payload.append(gw.gateway);  // the gateway comes before the mask here
    payload.append(gw.mask);
    payload.append(EncodeDeviceName(gw.name));
    payload.append(gw.viewIp);
    // The command line keeps both texts within their fields.
    payload.append(EncodePaddedText(gw.version.toUtf8().left(8), 8));
    payload.append(EncodePaddedText(gw.model.toUtf8().left(20), 20));
    return FrameDatagram('g', payload);
}

QByteArray MalformDiscoveryReply(const QByteArray& reply, const QString& kind) {
    QByteArray out = reply;
    if (kind == QLatin1String("short")) {
        out = reply.left(48);
        out.append(DeviceDatagram::ETX);
    } else if (kind == QLatin1String("noetx")) {
        if (!out.isEmpty()) out[out.size() - 1] = '\0';
    } else if (kind == QLatin1String("letter")) {
        // Lower case, so that no gateway takes it for a request either.
        if (out.size() > 1) out[1] = 'h';
    }
    return out;
}

void HandleDiscovery(Simulator& sim, SimReplies& out) {
    const QString malformed = sim.faults().value(QStringLiteral("malformed"));
    for (const SimGateway& gw : sim.gateways()) {
        if (!sim.addressedTo(gw)) continue;
        SimReply reply;
        reply.data = MalformDiscoveryReply(BuildDiscoveryReply(gw), malformed);
        out.push_back(reply);
    }
}

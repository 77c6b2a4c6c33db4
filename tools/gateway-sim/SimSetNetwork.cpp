#include "SimSetNetwork.h"

#include "SimConfig.h"
#include "Simulator.h"

#include "link/ByteReader.h"
#include "link/Codecs.h"

namespace {
constexpr int kSetNetworkSize = 57;
}

void HandleSetNetwork(Simulator& sim, const QByteArray& datagram) {
    // A gateway takes only the whole datagram: anything shorter or longer may
    // be a different command with the same letter, or a damaged one.
    if (datagram.size() != kSetNetworkSize) return;
    const ByteReader in(datagram);
    SimGateway* gw = sim.findByMac(in.bytes(2, 6));
    if (gw == nullptr || !sim.addressedTo(*gw) || IgnoresWrites(sim)) return;
    gw->ip = in.bytes(8, 4);
    gw->gateway = in.bytes(12, 4);
    gw->mask = in.bytes(16, 4);
    gw->viewIp = in.bytes(20, 4);
    gw->name = DecodeDeviceName(in.bytes(24, 32));
}

// The configuration reply parser on arbitrary datagrams. Whatever it accepts
// must be written back byte for byte by the builders (the row datagrams), or
// field for field (the network section), and never name a row the tables lack.
#include "config/ConfigProtocol.h"

#include <cstdint>
#include <cstdlib>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");

void same(const QByteArray& a, const QByteArray& b) {
    if (a != b) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte chooses the tables' row count; the rest is the datagram.
    const int portCount = data[0];
    const QByteArray d(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    const ConfigReply r = ParseConfigReply(d, kMac, portCount);
    switch (r.kind) {
        case ConfigReply::Kind::Port: {
            if (r.port.row >= portCount) std::abort();
            // A reply may be longer than its layout: only the layout itself is compared.
            same(BuildPortConfig(kMac, r.port.row, r.port.cells).mid(2, 36), d.mid(2, 36));
            break;
        }
        case ConfigReply::Kind::LoRa: {
            if (r.lora.row >= portCount) std::abort();
            same(BuildLoRaConfig(kMac, r.lora.row, r.lora.cells).mid(2, 14), d.mid(2, 14));
            break;
        }
        case ConfigReply::Kind::Network: {
            const QByteArray w = BuildNetworkConfig(kMac, r.network);
            if (w.size() != 84) std::abort();
            same(w.mid(2, 23), d.mid(2, 23));    // MAC, type, four addresses
            same(w.mid(57, 10), d.mid(57, 10));  // VarnexView, services
            same(w.mid(68, 9), d.mid(68, 9));    // bridge, LAN addresses
            same(w.mid(78, 2), d.mid(78, 2));    // PortCount, EchoByte
            break;
        }
        case ConfigReply::Kind::Applied:
        case ConfigReply::Kind::Ignore:
            break;
    }
    return 0;
}

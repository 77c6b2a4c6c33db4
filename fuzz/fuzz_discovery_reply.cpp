// The recognition rule and the "g" reply decoder on arbitrary datagrams.
#include "discovery/DiscoveryReply.h"
#include "link/DeviceDatagram.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const auto letter = ReplyLetter(datagram);
    if (!letter || *letter != 'g') return 0;
    const auto reply = DecodeDiscoveryReply(datagram);
    if (reply) {
        // A decoded reply's MAC is always the 17-character upper-case form.
        if (reply->Mac.size() != 17 || reply->Mac != reply->Mac.toUpper()) std::abort();
        if (datagram.size() < DiscoveryReplyMinSize) std::abort();
    }
    return 0;
}

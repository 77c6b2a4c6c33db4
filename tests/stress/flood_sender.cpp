// Pushes as many datagrams as it can at UDP port 2058 for a while: junk, truncated
// and malformed frames, and valid discovery replies from a fixed set of MACs.
// Run it only inside the test harness's namespaces (it broadcasts).
//   flood_sender SECONDS MACS [DEST]      prints "sent N valid V" when done
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {
QByteArray validReply(int index) {
    QByteArray mac(6, '\0');
    mac[0] = 0x02;  // locally administered: never a real gateway's
    mac[3] = static_cast<char>(index >> 16);
    mac[4] = static_cast<char>(index >> 8);
    mac[5] = static_cast<char>(index);
    QByteArray p = mac;
    p += QByteArray::fromHex("c6130a0ac6130001ffff0000");
    p += EncodeDeviceName(QStringLiteral("flood-%1").arg(index));
    p += QByteArray::fromHex("c6130002");
    p += EncodePaddedText("9.9.9", 8);
    p += EncodePaddedText("FLOOD", 20);
    return FrameDatagram('g', p);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: flood_sender SECONDS MACS [DEST]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const int macs = std::atoi(argv[2]);
    const char* dest = argc > 3 ? argv[3] : "255.255.255.255";

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DeviceDatagram::Port);
    ::inet_pton(AF_INET, dest, &to.sin_addr);

    std::mt19937 rng(12345);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long sent = 0, valid = 0;
    int next = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int burst = 0; burst < 64; ++burst) {
            QByteArray d;
            switch (rng() % 6) {
                case 0: {  // junk of any length
                    d.resize(static_cast<int>(rng() % 300));
                    for (auto& c : d) c = static_cast<char>(rng());
                    // Junk must stay junk: never a reply letter that could list a gateway.
                    if (d.size() > 1) d[1] = 'J';
                    break;
                }
                case 1:  // a reply cut anywhere, ending in ETX
                    d = validReply(static_cast<int>(rng() % macs)).left(static_cast<int>(rng() % 84));
                    d += '\x03';
                    break;
                case 2:  // no ETX, or the 3-byte echo
                    d = (rng() % 2) ? validReply(0).chopped(1) : DeviceDatagram::DiscoveryRequest();
                    break;
                default:  // valid replies, cycling through every MAC
                    d = validReply(next);
                    next = (next + 1) % macs;
                    ++valid;
            }
            if (::sendto(fd, d.constData(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) >= 0) {
                ++sent;
            }
        }
    }
    std::printf("sent %ld valid %ld\n", sent, valid);
    return 0;
}

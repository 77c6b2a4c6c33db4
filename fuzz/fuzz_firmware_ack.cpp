// The "f" acknowledgement reader on arbitrary datagrams.
#include "actions/Firmware.h"
#include "link/DeviceDatagram.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const auto letter = ReplyLetter(datagram);
    if (!letter || *letter != 'f') return 0;
    const FirmwareAck ack = ParseFirmwareAck(datagram);
    // Without a status byte before the ETX there is nothing that could accept.
    if (ack.accepted && datagram.size() < 18) std::abort();
    const qint32 sent = ack.sequence.value_or(0);
    const AckVerdict verdict = JudgeFirmwareAck(datagram, sent);
    if (verdict == AckVerdict::Accepted && !ack.accepted) std::abort();
    return 0;
}

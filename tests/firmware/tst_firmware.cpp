// The firmware datagrams byte for byte, the checksum and the reading of
// acknowledgements.
#include "actions/Firmware.h"

#include <QtTest>

namespace {
QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

const QByteArray kMac = hex("001122334455");

// An acknowledgement: STX, "f", six MAC bytes, the 8-byte sequence field, then `tail`.
QByteArray ack(const QByteArray& sequenceField, const QByteArray& tail) {
    return hex("0266") + kMac + sequenceField + tail;
}
QByteArray field(const char* digits) {
    QByteArray f(digits);
    return f + QByteArray(8 - f.size(), '\0');
}
}  // namespace

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void imageChecksumIsNotMadeOfChunkChecksums();
    void datagrams_data();
    void datagrams();
    void parseAck_data();
    void parseAck();
    void judgeAck_data();
    void judgeAck();
};

void TestFirmware::checksum_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<quint32>("value");
    QTest::newRow("nothing") << QByteArray() << qint64(0) << 4294967295u;
    QTest::newRow("abc") << QByteArray("abc") << qint64(0) << 4294966998u;
    QTest::newRow("30 x 0x01: the shift wraps after 23")
        << QByteArray(30, '\x01') << qint64(0) << 4278190143u;
    QTest::newRow("0xFF at 23: widest shift stays in 32 bits")
        << hex("FF") << qint64(23) << 0x807FFFFFu;
    QTest::newRow("0xFF at 24: shift 0 again") << hex("FF") << qint64(24) << 0xFFFFFF00u;
    QTest::newRow("0x01 at 128 in the image: shift 8") << hex("01") << qint64(128) << 0xFFFFFEFFu;
}

void TestFirmware::checksum() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, first);
    QFETCH(quint32, value);
    FirmwareChecksum c;
    c.Add(bytes, first);
    QCOMPARE(c.Value(), value);
}

void TestFirmware::imageChecksumIsNotMadeOfChunkChecksums() {
    // 129 bytes: the second chunk's only byte sits at 0 in its chunk, at 128 in the image.
    QByteArray image(129, '\0');
    image[128] = '\x01';
    FirmwareChecksum whole, second;
    whole.Add(image, 0);
    second.Add(image.mid(128), 0);
    QCOMPARE(whole.Value(), 0xFFFFFEFFu);
    QCOMPARE(second.Value(), 0xFFFFFFFEu);
}

void TestFirmware::datagrams_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("abc chunk")
        << FirmwareChunk(kMac, 0, "abc", 4294966998u)
        << hex("02 46 00 11 22 33 44 55  30 00 00 00 00 00 00 00  00"
               "  33 00 00 00 00 00 00 00 00 00  34 32 39 34 39 36 36 39 39 38 00 00"
               "  61 62 63  03");
    QTest::newRow("abc end")
        << FirmwareEnd(kMac, 1, 3, 4294966998u)
        << hex("02 46 00 11 22 33 44 55  31 00 00 00 00 00 00 00  01"
               "  33 00 00 00 00 00 00 00 00 00  34 32 39 34 39 36 36 39 39 38 00 00  03");
    QTest::newRow("empty image end: sequence 0, size 0, start checksum")
        << FirmwareEnd(kMac, 0, 0, 4294967295u)
        << hex("02460011223344553000000000000000013000000000000000000034323934393637323935"
               "0000"
               "03");
    QTest::newRow("fields filled to the last digit")
        << FirmwareEnd(kMac, 16777216, 2147483647, 4294967295u)
        << hex("0246001122334455"
               "3136373737323136"
               "01"
               "32313437343833363437"
               "343239343936373239350000"
               "03");
    QTest::newRow("full chunk of 128, sequence 12")
        << FirmwareChunk(kMac, 12, QByteArray(128, '\x03'), 7u)
        << hex("0246001122334455"
               "3132000000000000"
               "00"
               "31323800000000000000"
               "370000000000000000000000") +
               QByteArray(128, '\x03') + hex("03");
}

void TestFirmware::datagrams() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestFirmware::parseAck_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("sequence");  // -1: not a number
    QTest::addColumn<bool>("accepted");
    QTest::newRow("18 bytes, status 0") << ack(field("0"), hex("0003")) << 0 << true;
    QTest::newRow("5 then seven 0x00") << ack(field("5"), hex("0003")) << 5 << true;
    QTest::newRow("17 bytes: ETX where the status belongs")
        << ack(field("5"), hex("03")) << 5 << false;
    QTest::newRow("status 1 refuses") << ack(field("5"), hex("0103")) << 5 << false;
    QTest::newRow("status 3 (the ETX value) refuses") << ack(field("5"), hex("0303")) << 5 << false;
    QTest::newRow("eight digits, no 0x00") << ack("12345678", hex("0003")) << 12345678 << true;
    QTest::newRow("leading blanks skipped") << ack(field("  42"), hex("0003")) << 42 << true;
    QTest::newRow("digits after the first 0x00 ignored") << ack(QByteArray("7\0"
                                                                           "9",
                                                                           3) +
                                                                    QByteArray(5, '\0'),
                                                                hex("0003"))
                                                         << 7 << true;
    QTest::newRow("longer than 18, status 0") << ack(field("3"), hex("00AABB03")) << 3 << true;
    QTest::newRow("empty field") << ack(QByteArray(8, '\0'), hex("0003")) << -1 << true;
    QTest::newRow("letters") << ack(field("x1"), hex("0003")) << -1 << true;
    QTest::newRow("sign is not a sequence number") << ack(field("-1"), hex("0003")) << -1 << true;
    QTest::newRow("hex prefix is not either") << ack(field("$10"), hex("0003")) << -1 << true;
    QTest::newRow("short: field cut by the ETX")
        << hex("0266") + kMac + "5" + hex("03") << -1 << false;
    QTest::newRow("short: field ends at 0x00 before the ETX")
        << hex("0266") + kMac + "5" + hex("0003") << 5 << false;
    QTest::newRow("4 bytes: no field") << hex("02660003") << -1 << false;
}

void TestFirmware::parseAck() {
    QFETCH(QByteArray, datagram);
    QFETCH(int, sequence);
    QFETCH(bool, accepted);
    const FirmwareAck a = ParseFirmwareAck(datagram);
    QCOMPARE(a.sequence.value_or(-1), sequence);
    QCOMPARE(a.accepted, accepted);
}

void TestFirmware::judgeAck_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("verdict");
    const int accepted = int(AckVerdict::Accepted), refused = int(AckVerdict::Refused);
    QTest::newRow("18-byte acceptance of this chunk")
        << ack(field("4"), hex("0003")) << 4 << accepted;
    QTest::newRow("17-byte acknowledgement of this chunk refuses")
        << ack(field("4"), hex("03")) << 4 << refused;
    QTest::newRow("refusal of this chunk") << ack(field("4"), hex("0203")) << 4 << refused;
    QTest::newRow("refusal naming a later chunk goes on")
        << ack(field("5"), hex("0203")) << 4 << accepted;
    QTest::newRow("17-byte acknowledgement of a later chunk goes on")
        << ack(field("5"), hex("03")) << 4 << accepted;
    const int stale = int(AckVerdict::Stale);
    QTest::newRow("acceptance of a chunk already acknowledged counts for nothing")
        << ack(field("3"), hex("0003")) << 4 << stale;
    QTest::newRow("refusal of a chunk already acknowledged counts for nothing")
        << ack(field("0"), hex("0203")) << 4 << stale;
    QTest::newRow("unreadable sequence number")
        << ack(field("?"), hex("0003")) << 4 << int(AckVerdict::Unreadable);
}

void TestFirmware::judgeAck() {
    QFETCH(QByteArray, datagram);
    QFETCH(int, sent);
    QFETCH(int, verdict);
    QCOMPARE(int(JudgeFirmwareAck(datagram, sent)), verdict);
}

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"

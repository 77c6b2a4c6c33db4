#include "link/ByteReader.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"
#include "text/PrintableText.h"

#include "support/ErrorOf.h"

#include <QtTest>

namespace {
QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

}  // namespace

class TestCodecs : public QObject {
    Q_OBJECT
private slots:
    void replyLetter_data();
    void replyLetter();
    void hexToInt_data();
    void hexToInt();
    void macRoundTrip_data();
    void macRoundTrip();
    void ipv4_data();
    void ipv4();
    void word16();
    void strToInt_data();
    void strToInt();
    void decimalField();
    void encodeDeviceName_data();
    void encodeDeviceName();
    void decodeDeviceName_data();
    void decodeDeviceName();
    void byteReaderNeverReadsPastEnd();
    void printableText_data();
    void printableText();
};

void TestCodecs::replyLetter_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("letter");  // -1: ignored
    QTest::newRow("own discovery echo (3 bytes)") << hex("026703") << -1;
    QTest::newRow("3-byte f ack") << hex("026603") << -1;
    QTest::newRow("empty") << QByteArray() << -1;
    QTest::newRow("1 byte ETX") << hex("03") << -1;
    QTest::newRow("2 bytes: letter is ETX") << hex("0203") << 0x03;
    QTest::newRow("no ETX at end") << hex("0267aabbcc02") << -1;
    QTest::newRow("first byte not checked") << hex("5867aabb03") << int('g');
    QTest::newRow("payload holds ETX bytes") << hex("026703030303aa03") << int('g');
    QTest::newRow("f ack 4 bytes") << hex("02660003") << int('f');
}

void TestCodecs::replyLetter() {
    QFETCH(QByteArray, datagram);
    QFETCH(int, letter);
    const auto got = ReplyLetter(datagram);
    QCOMPARE(got ? int(static_cast<unsigned char>(*got)) : -1, letter);
}

void TestCodecs::hexToInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");  // -99: "No Hex-Number"
    QTest::newRow("lower") << "1a" << qint64(26);
    QTest::newRow("upper") << "1A" << qint64(26);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("bad letter") << "1G" << qint64(-99);
    QTest::newRow("leading space") << " 1" << qint64(-99);
    QTest::newRow("sign") << "-1" << qint64(-99);
    QTest::newRow("x prefix") << "x1" << qint64(-99);
    QTest::newRow("8 digits high bit") << "FFFFFFFF" << qint64(-1);
    QTest::newRow("9 digits wrap") << "123456789" << qint64(0x23456789);
}

void TestCodecs::hexToInt() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    if (value == -99) {
        QCOMPARE(errorOf([&] { HexToInt(text); }), QStringLiteral("No Hex-Number"));
    } else {
        QCOMPARE(qint64(HexToInt(text)), value);
    }
}

void TestCodecs::macRoundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zeros") << hex("000000000000") << "00-00-00-00-00-00";
    QTest::newRow("upper case") << hex("0a0b0c0d0e0f") << "0A-0B-0C-0D-0E-0F";
    QTest::newRow("example") << hex("001a2b3c4d5e") << "00-1A-2B-3C-4D-5E";
    QTest::newRow("all ff") << hex("ffffffffffff") << "FF-FF-FF-FF-FF-FF";
}

void TestCodecs::macRoundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeMac(bytes), text);
    QCOMPARE(EncodeMac(text), bytes);
    QCOMPARE(EncodeMac(text.toLower()), bytes);
}

void TestCodecs::ipv4_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");  // empty: an error
    QTest::newRow("leading zeros are decimal") << "192.168.000.001" << hex("c0a80001");
    QTest::newRow("octal-looking 010") << "10.010.0.8" << hex("0a0a0008");
    QTest::newRow("mask") << "255.255.255.0" << hex("ffffff00");
    QTest::newRow("zero last") << "1.2.3.0" << hex("01020300");
    QTest::newRow("three parts") << "1.2.3" << QByteArray();
    QTest::newRow("five parts") << "1.2.3.4.5" << QByteArray();
    QTest::newRow("letter part") << "1.2.3.a" << QByteArray();
}

void TestCodecs::ipv4() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty()) {
        QVERIFY(errorOf([&] { EncodeIPv4(text); }) != QStringLiteral("<no error>"));
        return;
    }
    QCOMPARE(EncodeIPv4(text), bytes);
    QCOMPARE(EncodeIPv4(DecodeIPv4(bytes)), bytes);
}

void TestCodecs::word16() {
    QCOMPARE(EncodeWord16(QStringLiteral("1")), hex("0100"));
    QCOMPARE(EncodeWord16(QStringLiteral("8080")), hex("901f"));
    QCOMPARE(EncodeWord16(QStringLiteral("65535")), hex("ffff"));
    QCOMPARE(DecodeWord16(hex("0001")), QStringLiteral("256"));
    QCOMPARE(DecodeWord16(hex("901f")), QStringLiteral("8080"));
    QCOMPARE(errorOf([] { EncodeWord16(QStringLiteral("80a")); }),
             QStringLiteral("'80a' is not a valid integer value"));
}

void TestCodecs::strToInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << true << 42;
    QTest::newRow("leading spaces") << "   7" << true << 7;
    QTest::newRow("plus") << "+5" << true << 5;
    QTest::newRow("minus") << "-5" << true << -5;
    QTest::newRow("leading zeros") << "010" << true << 10;
    QTest::newRow("dollar hex") << "$C0" << true << 192;
    QTest::newRow("x hex") << "xff" << true << 255;
    QTest::newRow("0X hex") << "0X1f" << true << 31;
    QTest::newRow("ends at NUL") << QStringLiteral("12") + QChar(0) + QStringLiteral("zz") << true
                                 << 12;
    QTest::newRow("min int") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("max int") << "2147483647" << true << 2147483647;
    QTest::newRow("above max") << "2147483648" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("prefix only") << "$" << false << 0;
    QTest::newRow("trailing space") << "5 " << false << 0;
    QTest::newRow("percent") << "%" << false << 0;
    QTest::newRow("hex digit without prefix") << "1a" << false << 0;
}

void TestCodecs::strToInt() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    qint32 got = 0;
    QCOMPARE(TryStrToInt(text, got), ok);
    if (ok) {
        QCOMPARE(got, value);
        QCOMPARE(StrToInt(text), value);
    } else {
        QCOMPARE(errorOf([&] { StrToInt(text); }),
                 QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
}

void TestCodecs::decimalField() {
    QCOMPARE(EncodeDecimalField(123, 8), hex("3132330000000000"));
    QCOMPARE(EncodeDecimalField(0, 3), hex("300000"));
    QCOMPARE(DecodeDecimalField(hex("3132330000000000")), 123);
    QCOMPARE(DecodeDecimalField(hex("35000000")), 5);
    QCOMPARE(errorOf([] { DecodeDecimalField(hex("0000")); }),
             QStringLiteral("'' is not a valid integer value"));
}

void TestCodecs::encodeDeviceName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("empty") << "" << QByteArray(32, '\0');
    QTest::newRow("short") << "GW-1" << (QByteArray("GW-1") + QByteArray(28, '\0'));
    QTest::newRow("33 bytes keeps 32, no zero")
        << QString(33, QLatin1Char('a')) << QByteArray(32, 'a');
    // Eleven 3-byte characters: the 11th is cut after its second byte.
    const QString kana = QString(11, QChar(0x30A2));
    QTest::newRow("cut inside a character") << kana << kana.toUtf8().left(32);
}

void TestCodecs::encodeDeviceName() {
    QFETCH(QString, name);
    QFETCH(QByteArray, field);
    QCOMPARE(EncodeDeviceName(name), field);
}

void TestCodecs::decodeDeviceName_data() {
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("name");
    QTest::newRow("zero filled") << (QByteArray("GW-1") + QByteArray(28, '\0')) << "GW-1";
    QTest::newRow("32 zeros") << QByteArray(32, '\0') << "";
    QTest::newRow("32 letters, no zero: last dropped")
        << QByteArray(32, 'a') << QString(31, QLatin1Char('a'));
    QTest::newRow("ten 3-byte chars + 2 bytes of an eleventh")
        << QString(11, QChar(0x30A2)).toUtf8().left(32) << QString(10, QChar(0x30A2));
    QTest::newRow("utf8 name with zero")
        << (QStringLiteral("Pumpe Süd").toUtf8() + QByteArray(22, '\0'))
        << QStringLiteral("Pumpe Süd");
    QTest::newRow("invalid before zero, fallback cut at NUL")
        << (hex("ff41") + QByteArray(30, '\0')) << "";
    QTest::newRow("short field (datagram ended early)") << QByteArray("ABC") << "AB";
    QTest::newRow("empty field") << QByteArray() << "";
    QTest::newRow("surrogate is malformed") << (hex("eda080") + QByteArray(29, '\0')) << "";
}

void TestCodecs::decodeDeviceName() {
    QFETCH(QByteArray, field);
    QFETCH(QString, name);
    QCOMPARE(DecodeDeviceName(field), name);
    QCOMPARE(DecodeDeviceName(EncodeDeviceName(name)), name);
}

void TestCodecs::byteReaderNeverReadsPastEnd() {
    const QByteArray data = hex("0267001a2b3c4d5ec0a8");
    ByteReader r(data);
    QCOMPARE(r.mac(2), QStringLiteral("00-1A-2B-3C-4D-5E"));
    QCOMPARE(r.word16(8), quint16(0xa8c0));
    QVERIFY(errorOf([&] { r.ipv4(8); }).startsWith(QStringLiteral("Datagram too short")));
    QVERIFY(errorOf([&] { r.byte(10); }) != QStringLiteral("<no error>"));
    QVERIFY(errorOf([&] { r.byte(-1); }) != QStringLiteral("<no error>"));
    QCOMPARE(r.bytesClipped(8, 4), hex("c0a8"));
    QCOMPARE(r.bytesClipped(20, 4), QByteArray());
}

void TestCodecs::printableText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("lines");  // PrintableLines rather than PrintableText
    QTest::addColumn<QString>("shown");
    const auto s = [](const char16_t* t, qsizetype n = -1) { return QString::fromUtf16(t, n); };
    QTest::newRow("C0, DEL and C1 become ?")
        << s(u"\x1b[1m\0\a\t\x7f\x9b\x9fz", 11) << false << "?[1m??????z";
    QTest::newRow("bidi controls dropped")
        << s(u"\u202Aa\u202B\u202C\u202D\u202Eb\u2066\u2067\u2068\u2069c") << false << "abc";
    QTest::newRow("their neighbours and other text kept")
        << s(u"\u00A0\u2029\u202F\u2065\u206AS\u00FCd \u6771") << false
        << s(u"\u00A0\u2029\u202F\u2065\u206AS\u00FCd \u6771");
    QTest::newRow("lines keep LF and CRLF, not a lone CR")
        << "a\x1b\r\nb\rc\n\r" << true << "a?\r\nb?c\n?";
}

void TestCodecs::printableText() {
    QFETCH(QString, text);
    QFETCH(bool, lines);
    QFETCH(QString, shown);
    QCOMPARE(lines ? PrintableLines(text) : PrintableText(text), shown);
}

QTEST_APPLESS_MAIN(TestCodecs)
#include "tst_codecs.moc"

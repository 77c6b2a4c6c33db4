// The simulated gateway's side of a firmware upgrade: what it takes, what it
// refuses, its faults, and the image it writes.
#include "SimFirmware.h"
#include "SimTestUtil.h"
#include "Simulator.h"

#include "actions/Firmware.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray kMac = QByteArray::fromHex("001A2B000001");  // the first gateway

QByteArray chunk(int sequence, const QByteArray& data) {
    FirmwareChecksum c;
    c.Add(data, 0);
    return FirmwareChunk(kMac, sequence, data, c.Value());
}
QByteArray end(int sequence, const QByteArray& image) {
    FirmwareChecksum c;
    c.Add(image, 0);
    return FirmwareEnd(kMac, sequence, image.size(), c.Value());
}
QByteArray withByte(QByteArray d, int offset, char value) {
    d[offset] = value;
    return d;
}

const QByteArray kA(128, 'a');
const QByteArray kB("bcd");

QJsonObject firmwareOf(const Simulator& sim, int gateway = 0) {
    return sim.toJson()[QStringLiteral("gateways")]
        .toArray()
        .at(gateway)[QStringLiteral("firmware")]
        .toObject();
}
}  // namespace

class TestSimFirmware : public QObject {
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
    void faults_data();
    void faults();
    void imageIsWrittenPerMac();
};

void TestSimFirmware::exchange_data() {
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QList<int>>("statuses");  // -1: no answer
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<int>("size");
    const QByteArray image = kA + kB;
    QTest::newRow("two chunks and the end")
        << QList<QByteArray>{chunk(0, kA), chunk(1, kB), end(2, image)} << QList<int>{0, 0, 0}
        << "complete" << 131;
    QTest::newRow("empty image: the end alone")
        << QList<QByteArray>{end(0, QByteArray())} << QList<int>{0} << "complete" << 0;
    QTest::newRow("repeated chunk answered again, kept once")
        << QList<QByteArray>{chunk(0, kA), chunk(1, kB), chunk(1, kB), end(2, image)}
        << QList<int>{0, 0, 0, 0} << "complete" << 131;
    QTest::newRow("chunk 0 starts a new upload")
        << QList<QByteArray>{chunk(0, kB), chunk(0, kA), chunk(1, kB), end(2, image)}
        << QList<int>{0, 0, 0, 0} << "complete" << 131;
    QTest::newRow("chunk checksum wrong")
        << QList<QByteArray>{withByte(chunk(0, kB), 27, '9')} << QList<int>{2} << "refused" << 0;
    QTest::newRow("data byte changed on the way")
        << QList<QByteArray>{withByte(chunk(0, kB), 40, 'x')} << QList<int>{2} << "refused" << 0;
    QTest::newRow("count says 4, datagram holds 3")
        << QList<QByteArray>{withByte(chunk(0, kB), 17, '4')} << QList<int>{1} << "refused" << 0;
    QTest::newRow("129 data bytes")
        << QList<QByteArray>{chunk(0, kA + "x")} << QList<int>{1} << "refused" << 0;
    QTest::newRow("leading zero in the sequence field")
        << QList<QByteArray>{chunk(0, kA), withByte(withByte(chunk(1, kB), 8, '0'), 9, '1')}
        << QList<int>{0, 7} << "refused" << 128;
    QTest::newRow("chunk skipped")
        << QList<QByteArray>{chunk(0, kA), chunk(2, kB)} << QList<int>{0, 3} << "refused" << 128;
    QTest::newRow("end counts the wrong chunks")
        << QList<QByteArray>{chunk(0, kA), chunk(1, kB), end(1, image)} << QList<int>{0, 0, 3}
        << "refused" << 131;
    QTest::newRow("end announces another size")
        << QList<QByteArray>{chunk(0, kA), chunk(1, kB), end(2, image + "z")} << QList<int>{0, 0, 4}
        << "refused" << 131;
    QTest::newRow("end announces another checksum")
        << QList<QByteArray>{chunk(0, kA), chunk(1, kB), end(2, kB + kA)} << QList<int>{0, 0, 5}
        << "refused" << 131;
    QTest::newRow("another gateway's MAC: no answer")
        << QList<QByteArray>{FirmwareChunk(QByteArray::fromHex("001A2B0000FF"), 0, "x", 0)}
        << QList<int>{-1} << "idle" << 0;
    QTest::newRow("shorter than any firmware datagram: no answer")
        << QList<QByteArray>{end(0, QByteArray()).left(38) + "\x03"} << QList<int>{-1} << "idle"
        << 0;
}

void TestSimFirmware::exchange() {
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QList<int>, statuses);
    QFETCH(QString, verdict);
    QFETCH(int, size);
    Simulator sim(simOptions({"--count", "2"}));
    for (int i = 0; i < datagrams.size(); ++i) {
        const SimReplies replies = sim.handle(datagrams[i], "198.18.0.1", 2058);
        if (statuses[i] < 0) {
            QVERIFY(replies.empty());
            continue;
        }
        QCOMPARE(replies.size(), size_t(1));
        const QByteArray& ack = replies[0].data;
        QCOMPARE(ack.size(), 18);
        QCOMPARE(ack.left(2), QByteArray("\x02"
                                         "f"));
        QCOMPARE(ack.mid(2, 6), kMac);
        QCOMPARE(ack.mid(8, 8), datagrams[i].mid(8, 8));  // the sequence field, as sent
        QCOMPARE(int(ack.at(16)), statuses[i]);
        QCOMPARE(ack.at(17), '\x03');
        // What the program reads of it.
        QCOMPARE(ParseFirmwareAck(ack).accepted, statuses[i] == 0);
    }
    const QJsonObject fw = firmwareOf(sim);
    QCOMPARE(fw[QStringLiteral("verdict")].toString(), verdict);
    QCOMPARE(fw[QStringLiteral("size")].toInt(), size);
}

void TestSimFirmware::faults_data() {
    QTest::addColumn<QString>("fault");
    // Per datagram (chunks 0, 1, 2, then the end): answers and their delay.
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QList<int>>("delays");
    QTest::addColumn<QList<int>>("statuses");
    QTest::newRow("none") << "" << QList<int>{1, 1, 1, 1} << QList<int>{0, 0, 0, 0}
                          << QList<int>{0, 0, 0, 0};
    QTest::newRow("fw-silent") << "fw-silent" << QList<int>{0, 0, 0, 0} << QList<int>{}
                               << QList<int>{};
    QTest::newRow("fw-no-ack=1") << "fw-no-ack=1" << QList<int>{1, 0, 1, 1} << QList<int>{0, 0, 0}
                                 << QList<int>{0, 0, 0};
    QTest::newRow("fw-no-ack=end")
        << "fw-no-ack=end" << QList<int>{1, 1, 1, 0} << QList<int>{0, 0, 0} << QList<int>{0, 0, 0};
    QTest::newRow("fw-refuse=2") << "fw-refuse=2" << QList<int>{1, 1, 1, 1}
                                 << QList<int>{0, 0, 0, 0} << QList<int>{0, 0, 6, 3};
    QTest::newRow("fw-refuse=end") << "fw-refuse=end" << QList<int>{1, 1, 1, 1}
                                   << QList<int>{0, 0, 0, 0} << QList<int>{0, 0, 0, 6};
    QTest::newRow("fw-late-ack=700") << "fw-late-ack=700" << QList<int>{1, 1, 1, 1}
                                     << QList<int>{700, 700, 700, 0} << QList<int>{0, 0, 0, 0};
    QTest::newRow("fw-slow-end=900") << "fw-slow-end=900" << QList<int>{1, 1, 1, 1}
                                     << QList<int>{0, 0, 0, 900} << QList<int>{0, 0, 0, 0};
    QTest::newRow("fw-duplicate-ack")
        << "fw-duplicate-ack" << QList<int>{2, 2, 2, 1} << QList<int>{0, 0, 0, 0, 0, 0, 0}
        << QList<int>{0, 0, 0, 0, 0, 0, 0};
}

void TestSimFirmware::faults() {
    QFETCH(QString, fault);
    QFETCH(QList<int>, answers);
    QFETCH(QList<int>, delays);
    QFETCH(QList<int>, statuses);
    Simulator sim(simOptions(fault.isEmpty() ? QStringList{} : QStringList{"--fault", fault}));
    const QByteArray image = kA + kA + kB;
    const QList<QByteArray> datagrams{chunk(0, kA), chunk(1, kA), chunk(2, kB), end(3, image)};
    QList<int> gotDelays, gotStatuses;
    for (int i = 0; i < datagrams.size(); ++i) {
        const SimReplies replies = sim.handle(datagrams[i], "198.18.0.1", 2058);
        QCOMPARE(int(replies.size()), answers[i]);
        for (const SimReply& r : replies) {
            gotDelays << r.delayMs;
            gotStatuses << int(r.data.at(16));
        }
    }
    QCOMPARE(gotDelays, delays);
    QCOMPARE(gotStatuses, statuses);
}

void TestSimFirmware::imageIsWrittenPerMac() {
    QTemporaryDir dir;
    Simulator sim(simOptions({"--count", "2", "--firmware-out", dir.path()}));
    const QByteArray second = QByteArray::fromHex("001A2B000002");
    const QByteArray image = kA + kB;
    FirmwareChecksum c0, c1, whole;
    c0.Add(kA, 0);
    c1.Add(kB, 0);
    whole.Add(image, 0);
    for (const QByteArray& d :
         {FirmwareChunk(second, 0, kA, c0.Value()), FirmwareChunk(second, 1, kB, c1.Value()),
          FirmwareEnd(second, 2, image.size(), whole.Value())}) {
        QCOMPARE(sim.handle(d, "198.18.0.1", 2058).size(), size_t(1));
    }
    const QString path = dir.filePath(QStringLiteral("00-1A-2B-00-00-02.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), image);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("00-1A-2B-00-00-01.bin"))));

    const QJsonObject fw = firmwareOf(sim, 1);
    QCOMPARE(fw[QStringLiteral("file")].toString(), path);
    QCOMPARE(fw[QStringLiteral("chunks")].toInt(), 2);
    QCOMPARE(qint64(fw[QStringLiteral("checksum")].toDouble()), qint64(whole.Value()));
    QCOMPARE(firmwareOf(sim, 0)[QStringLiteral("verdict")].toString(), QStringLiteral("idle"));
}

QTEST_GUILESS_MAIN(TestSimFirmware)
#include "tst_simfirmware.moc"

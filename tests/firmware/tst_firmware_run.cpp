// The upgrade run against a gateway played by the test: the run's own "F"
// datagrams come back to its endpoint (a broadcast reaches the sender too), and
// the handler answers each by storing an acknowledgement as the receive handler
// would. Needs the harness's namespaces, since every datagram is a broadcast.
#include "actions/Firmware.h"
#include "actions/FirmwareUpgrade.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/ReplySlot.h"
#include "link/UdpEndpoint.h"
#include "link/VarnexError.h"
#include "support/NetnsEnv.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <mutex>

namespace {
const QByteArray kMac = QByteArray::fromHex("001A2B000001");

QByteArray imageOf(int size) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i) image[i] = static_cast<char>((i * 37 + 3) & 0xFF);
    return image;
}

// The image checksum, written out here rather than taken from the program.
quint32 imageChecksum(const QByteArray& image) {
    quint32 v = 0xFFFFFFFFu;
    for (int i = 0; i < image.size(); ++i) v ^= quint32(quint8(image[i])) << (i % 24);
    return v;
}

QByteArray field(int number) {
    QByteArray f = QByteArray::number(number);
    return f + QByteArray(8 - f.size(), '\0');
}
QByteArray ack18(int sequence, char status) {
    return FrameDatagram('f', kMac + field(sequence) + QByteArray(1, status));
}
QByteArray ack17(int sequence) {
    return FrameDatagram('f', kMac + field(sequence));
}

int decimal(const QByteArray& datagram, int offset, int width) {
    return DecodeDecimalField(datagram.mid(offset, width));
}
bool isEnd(const QByteArray& f) {
    return f.at(16) == '\x01';
}

// How the played gateway answers one "F": the acknowledgements to store.
using Script = std::function<QList<QByteArray>(int sequence, bool end)>;

struct Recorder : FirmwareObserver {
    void ChunkAcknowledged(qint64 bytes) override { progress << bytes; }
    void CompletionWaitStarted() override { ++waitsStarted; }
    void CompletionWaitEnded() override { ++waitsEnded; }
    QList<qint64> progress;
    int waitsStarted = 0;
    int waitsEnded = 0;
};

// Endpoint and reply slot as the main window has them, plus the played gateway.
class Bench {
public:
    Bench() {
        endpoint.AddBinding(QStringLiteral("0.0.0.0"), DeviceDatagram::Port);
        endpoint.SetDefaultPort(DeviceDatagram::Port);
        endpoint.SetThreadedEvent(true);
        endpoint.SetOnUDPRead(
            [this](UdpEndpoint&, const QByteArray& d, const UdpEndpoint::Binding&) {
                if (ReplyLetter(d) != 'F') return;
                QList<QByteArray> answers;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    sent << d;
                    answers = script(decimal(d, 8, 8), isEnd(d));
                }
                for (const QByteArray& a : answers) slot.Store(a);
            });
    }
    ~Bench() { endpoint.SetActive(false); }

    QList<QByteArray> sentDatagrams() {
        std::lock_guard<std::mutex> lock(mutex);
        return sent;
    }

    UdpEndpoint endpoint;
    ReplySlot slot;
    Script script;
    std::mutex mutex;
    QList<QByteArray> sent;
};

Script acceptAll() {
    return [](int s, bool) { return QList<QByteArray>{ack18(s, 0)}; };
}
}  // namespace

class TestFirmwareRun : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_NETNS(); }
    void chunking_data();
    void chunking();
    void acknowledgements_data();
    void acknowledgements();
    void unreadableImageRaises();
    void imageOf2GiBIsRefusedBeforeSending();
    void abandonEndsTheWaitAndSendsNoMore();
};

void TestFirmwareRun::chunking_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("chunkSizes");
    QTest::newRow("empty: only the end") << 0 << QList<int>{};
    QTest::newRow("1 byte") << 1 << QList<int>{1};
    QTest::newRow("128: one full chunk") << 128 << QList<int>{128};
    QTest::newRow("129: 128 and 1") << 129 << QList<int>{128, 1};
    QTest::newRow("300") << 300 << QList<int>{128, 128, 44};
}

void TestFirmwareRun::chunking() {
    QFETCH(int, size);
    QFETCH(QList<int>, chunkSizes);
    Bench bench;
    bench.script = acceptAll();
    const QByteArray image = imageOf(size);
    QBuffer file;
    file.setData(image);
    file.open(QIODevice::ReadOnly);
    Recorder recorder;
    SystemClock clock;
    FirmwareUpgrade upgrade(kMac, file, bench.endpoint, bench.slot, clock, recorder);

    QCOMPARE(upgrade.Run(), FirmwareOutcome::Succeeded);
    QVERIFY(!file.isOpen());
    QVERIFY(bench.endpoint.Active());

    const QList<QByteArray> sent = bench.sentDatagrams();
    QCOMPARE(sent.size(), chunkSizes.size() + 1);
    int offset = 0;
    QList<qint64> progress;
    for (int i = 0; i < chunkSizes.size(); ++i) {
        const QByteArray& f = sent[i];
        const int n = chunkSizes[i];
        QCOMPARE(f.size(), 40 + n);
        QCOMPARE(f.mid(2, 6), kMac);
        QCOMPARE(decimal(f, 8, 8), i);
        QVERIFY(!isEnd(f));
        QCOMPARE(decimal(f, 17, 10), n);
        // Each chunk's checksum starts again at position 0.
        QCOMPARE(quint32(f.mid(27, 12).left(f.mid(27, 12).indexOf('\0')).toULongLong()),
                 imageChecksum(image.mid(offset, n)));
        QCOMPARE(f.mid(39, n), image.mid(offset, n));
        offset += n;
        progress << offset;
    }
    const QByteArray& end = sent.last();
    QCOMPARE(end.size(), 40);
    QVERIFY(isEnd(end));
    QCOMPARE(decimal(end, 8, 8), int(chunkSizes.size()));
    QCOMPARE(decimal(end, 17, 10), size);
    QCOMPARE(QByteArray(end.mid(27, 12)).replace('\0', ""),
             QByteArray::number(imageChecksum(image)));
    QCOMPARE(recorder.progress, progress);
    QCOMPARE(recorder.waitsStarted, 1);
    QCOMPARE(recorder.waitsEnded, 1);
}

void TestFirmwareRun::acknowledgements_data() {
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("datagramsSent");  // of 3 chunks and the end
    const int ok = int(FirmwareOutcome::Succeeded), failed = int(FirmwareOutcome::Failed);
    QTest::newRow("all accepted") << acceptAll() << ok << 4;
    QTest::newRow("chunk 1 refused: nothing more is sent")
        << Script([](int s, bool) { return QList<QByteArray>{ack18(s, s == 1 ? 2 : 0)}; }) << failed
        << 2;
    QTest::newRow("17-byte acknowledgement of chunk 0 refuses")
        << Script([](int s, bool) { return QList<QByteArray>{ack17(s)}; }) << failed << 1;
    QTest::newRow("17-byte acknowledgements naming other chunks go on")
        << Script([](int s, bool) { return QList<QByteArray>{ack17(s + 1)}; }) << ok << 4;
    QTest::newRow("late refusals of earlier chunks go on") << Script([](int s, bool) {
        return QList<QByteArray>{s == 0 ? ack18(0, 0) : ack18(s - 1, 1)};
    }) << ok << 4;
    QTest::newRow("doubled acknowledgements") << Script([](int s, bool) {
        return QList<QByteArray>{ack18(s, 0), ack18(s, 0)};
    }) << ok << 4;
    QTest::newRow("unreadable sequence number fails") << Script([](int, bool) {
        return QList<QByteArray>{FrameDatagram('f', kMac + "zz" + QByteArray(7, '\0'))};
    }) << failed << 1;
    QTest::newRow("silent gateway fails after the first chunk")
        << Script([](int, bool) { return QList<QByteArray>{}; }) << failed << 1;
    QTest::newRow("silent end fails") << Script([](int s, bool end) {
        return end ? QList<QByteArray>{} : QList<QByteArray>{ack18(s, 0)};
    }) << failed << 4;
    QTest::newRow("end refused") << Script([](int s, bool end) {
        return QList<QByteArray>{ack18(s, end ? 5 : 0)};
    }) << failed << 4;
}

void TestFirmwareRun::acknowledgements() {
    QFETCH(Script, script);
    QFETCH(int, outcome);
    QFETCH(int, datagramsSent);
    Bench bench;
    bench.script = script;
    QBuffer file;
    file.setData(imageOf(300));
    file.open(QIODevice::ReadOnly);
    Recorder recorder;
    ScaledClock clock(100);  // the 4 and 41 s limits pass in a blink
    FirmwareUpgrade upgrade(kMac, file, bench.endpoint, bench.slot, clock, recorder);

    QCOMPARE(int(upgrade.Run()), outcome);
    // Sends are checked once the echoes of the last one had time to come back.
    QTest::qWait(100);
    QCOMPARE(bench.sentDatagrams().size(), datagramsSent);
    QCOMPARE(upgrade.Failure().isEmpty(), outcome == int(FirmwareOutcome::Succeeded));
}

namespace {
// A file that fails after its first chunk, as a disk error would.
class FailingDevice : public QIODevice {
protected:
    qint64 readData(char* data, qint64 max) override {
        if (given_ >= 128) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = qMin<qint64>(max, 128 - given_);
        memset(data, 'x', static_cast<size_t>(n));
        given_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 given_ = 0;
};
}  // namespace

void TestFirmwareRun::unreadableImageRaises() {
    Bench bench;
    bench.script = acceptAll();
    FailingDevice file;
    file.open(QIODevice::ReadOnly);
    Recorder recorder;
    SystemClock clock;
    FirmwareUpgrade upgrade(kMac, file, bench.endpoint, bench.slot, clock, recorder);
    QString error;
    try {
        upgrade.Run();
    } catch (const VarnexError& e) {
        error = e.text();
    }
    QCOMPARE(error, QStringLiteral("Cannot read the firmware file: Input/output error"));
    QTest::qWait(100);
    QCOMPARE(bench.sentDatagrams().size(), 1);  // the first chunk; no end
}

void TestFirmwareRun::imageOf2GiBIsRefusedBeforeSending() {
    Bench bench;
    bench.script = acceptAll();
    QTemporaryFile file;
    QVERIFY(file.open());
    QVERIFY(file.resize(qint64(1) << 31));  // sparse: takes no room
    file.seek(0);
    Recorder recorder;
    SystemClock clock;
    FirmwareUpgrade upgrade(kMac, file, bench.endpoint, bench.slot, clock, recorder);
    QString error;
    try {
        upgrade.Run();
    } catch (const VarnexError& e) {
        error = e.text();
    }
    QVERIFY2(error.contains(QStringLiteral("smaller than 2 GiB")), qPrintable(error));
    QVERIFY(!bench.endpoint.Active());  // nothing was sent
}

void TestFirmwareRun::abandonEndsTheWaitAndSendsNoMore() {
    Bench bench;
    bench.script = [](int, bool) { return QList<QByteArray>{}; };
    QBuffer file;
    file.setData(imageOf(300));
    file.open(QIODevice::ReadOnly);
    Recorder recorder;
    SystemClock clock;  // a real 4 s wait, which the abandon cuts short
    FirmwareUpgrade upgrade(kMac, file, bench.endpoint, bench.slot, clock, recorder);
    QTimer::singleShot(50, [&] { upgrade.Abandon(); });
    QCOMPARE(upgrade.Run(), FirmwareOutcome::Abandoned);
    QTest::qWait(100);
    QCOMPARE(bench.sentDatagrams().size(), 1);
}

QTEST_GUILESS_MAIN(TestFirmwareRun)
#include "tst_firmware_run.moc"

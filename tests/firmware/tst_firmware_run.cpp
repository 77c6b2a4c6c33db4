// The engine's upgrade run against a gateway played by the test: the run's own
// "F" datagrams come back to the engine (a broadcast reaches the sender too),
// and its request tap answers each by handing acknowledgements to the
// engine's receive path. Needs the harness's namespaces, since every datagram
// is a broadcast.
#include "actions/Firmware.h"
#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"
#include "support/NetnsEnv.h"

#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <mutex>

namespace {
const QByteArray kMac = QByteArray::fromHex("001A2B000001");
const QString kMacText = QStringLiteral("00-1A-2B-00-00-01");
const QByteArray kStranger = QByteArray::fromHex("001A2B000099");

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
QByteArray ack18(int sequence, char status, const QByteArray& mac = kMac) {
    return FrameDatagram('f', mac + field(sequence) + QByteArray(1, status));
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

// The engine as a front end has it, plus the played gateway.
class Bench {
public:
    explicit Bench(Clock& clock) : engine(clock) {
        engine.SetRequestTap([this](const QByteArray& d, int) {
            if (ReplyLetter(d) != 'F') return;
            QList<QByteArray> answers;
            {
                std::lock_guard<std::mutex> lock(mutex);
                sent << d;
                answers = script(decimal(d, 8, 8), isEnd(d));
            }
            for (const QByteArray& a : answers) engine.Receive(a, 0);
        });
    }

    QList<QByteArray> sentDatagrams() {
        std::lock_guard<std::mutex> lock(mutex);
        return sent;
    }
    // Runs an upgrade to its end.
    std::shared_ptr<FirmwareRun> run(const QByteArray& image) {
        auto r = engine.StartFirmware(kMacText, image);
        r->Wait(QDeadlineTimer(QDeadlineTimer::Forever));
        return r;
    }

    GatewayEngine engine;
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
    SystemClock clock;
    Bench bench(clock);
    bench.script = acceptAll();
    const QByteArray image = imageOf(size);
    const auto run = bench.run(image);

    QCOMPARE(run->Outcome(), FirmwareOutcome::Succeeded);
    QVERIFY(bench.engine.PortOpen());

    const QList<QByteArray> sent = bench.sentDatagrams();
    QCOMPARE(sent.size(), chunkSizes.size() + 1);
    int offset = 0;
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
    }
    const QByteArray& end = sent.last();
    QCOMPARE(end.size(), 40);
    QVERIFY(isEnd(end));
    QCOMPARE(decimal(end, 8, 8), int(chunkSizes.size()));
    QCOMPARE(decimal(end, 17, 10), size);
    QCOMPARE(QByteArray(end.mid(27, 12)).replace('\0', ""),
             QByteArray::number(imageChecksum(image)));
    QCOMPARE(run->Acknowledged(), qint64(size));
    QCOMPARE(run->ChunksAcknowledged(), int(chunkSizes.size()));
    QVERIFY(run->WaitingForEnd());
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
    // A chunk already acknowledged cannot be refused any more: the late copy
    // counts for nothing, and the chunk in flight waits for its own answer.
    QTest::newRow("late refusals of earlier chunks count for nothing") << Script([](int s, bool) {
        return QList<QByteArray>{s == 0 ? ack18(0, 0) : ack18(s - 1, 1)};
    }) << failed << 2;
    QTest::newRow("another gateway's acknowledgements count for nothing")
        << Script([](int s, bool) { return QList<QByteArray>{ack18(s, 0, kStranger)}; }) << failed
        << 1;
    QTest::newRow("another gateway's refusal does not fail the upgrade") << Script([](int s, bool) {
        return QList<QByteArray>{ack18(s, 1, kStranger), ack18(s, 0)};
    }) << ok << 4;
    QTest::newRow("a blank MAC counts while one upgrade runs")
        << Script([](int s, bool) { return QList<QByteArray>{ack18(s, 0, QByteArray(6, '\0'))}; })
        << ok << 4;
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
    ScaledClock clock(100);  // the 4 and 41 s limits pass in a blink
    Bench bench(clock);
    bench.script = script;
    const auto run = bench.run(imageOf(300));

    QCOMPARE(int(run->Outcome()), outcome);
    // Sends are checked once the echoes of the last one had time to come back.
    QTest::qWait(100);
    QCOMPARE(bench.sentDatagrams().size(), datagramsSent);
    QCOMPARE(run->Failure().isEmpty(), outcome == int(FirmwareOutcome::Succeeded));
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
    // The image is read whole before anything is sent: a disk error leaves the
    // gateway untouched.
    FailingDevice file;
    file.open(QIODevice::ReadOnly);
    QString error;
    try {
        ReadFirmwareImage(file);
    } catch (const VarnexError& e) {
        error = e.text();
    }
    QCOMPARE(error, QStringLiteral("Cannot read the firmware file: Input/output error"));
}

void TestFirmwareRun::imageOf2GiBIsRefusedBeforeSending() {
    QTemporaryFile file;
    QVERIFY(file.open());
    QVERIFY(file.resize(qint64(1) << 31));  // sparse: takes no room
    file.seek(0);
    QString error;
    try {
        ReadFirmwareImage(file);
    } catch (const VarnexError& e) {
        error = e.text();
    }
    QVERIFY2(error.contains(QStringLiteral("smaller than 2 GiB")), qPrintable(error));
}

void TestFirmwareRun::abandonEndsTheWaitAndSendsNoMore() {
    SystemClock clock;  // a real 4 s wait, which the abandon cuts short
    Bench bench(clock);
    bench.script = [](int, bool) { return QList<QByteArray>{}; };
    auto run = bench.engine.StartFirmware(kMacText, imageOf(300));
    QTest::qWait(50);
    run->Abandon();
    QVERIFY(run->Wait(QDeadlineTimer(0)));
    QCOMPARE(run->Outcome(), FirmwareOutcome::Abandoned);
    QTest::qWait(100);
    QCOMPARE(bench.sentDatagrams().size(), 1);
    QCOMPARE(bench.engine.BusyWith(kMacText), QString());  // the gateway is free again
}

QTEST_GUILESS_MAIN(TestFirmwareRun)
#include "tst_firmware_run.moc"

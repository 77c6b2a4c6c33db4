// "Upgrade Firmware" as the operator uses it: the main window with one listed
// gateway, played by the simulator in the gateways' namespace.
#include "engine/GatewayEngine.h"
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/FirmwareScreen.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-00-00-01");
const QString kSuccess = QStringLiteral("Updating firmware was successful");
const QString kFailure = QStringLiteral("Updating firmware was failed");

// One session at the gateway: the window, its fakes, the simulator and a folder
// for the image and for what the simulator receives.
struct Session {
    explicit Session(const QStringList& faults, double speed = 1.0) : fake(speed) {
        QStringList args{QStringLiteral("--count"),
                         QStringLiteral("1"),
                         QStringLiteral("--quiet"),
                         QStringLiteral("--first-mac"),
                         kMac,
                         QStringLiteral("--firmware-out"),
                         dir.path()};
        for (const QString& f : faults) args << QStringLiteral("--fault") << f;
        sim = NetnsEnv::startSimulator(args);
        form = std::make_unique<TFormDetect>(fake.services);
        form->show();
        form->RGrid->InsertRow(0);
        form->RGrid->Cells(DeviceColumn::Mac, 0).SetCellText(kMac);
        form->DeviceCount = 1;
        form->SelectedRow = 0;
    }
    ~Session() {
        form.reset();
        sim->write("quit\n");
        sim->waitForFinished(3000);
    }

    // Writes an image and lets the file dialog answer with it.
    QByteArray chooseImage(int size) {
        QByteArray image(size, '\0');
        QRandomGenerator random(size);
        for (char& c : image) c = static_cast<char>(random.bounded(256));
        const QString path = dir.filePath(QStringLiteral("varnex.bin"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(image);
        file.close();
        fake.prompts.fileAnswers.enqueue(path);
        return image;
    }

    QJsonObject firmware() {
        sim->readAll();
        sim->write("dump\n");
        while (!sim->canReadLine() && sim->waitForReadyRead(3000)) {
        }
        const QJsonObject all = QJsonDocument::fromJson(sim->readLine()).object();
        return all[QStringLiteral("gateways")]
            .toArray()
            .at(0)
            .toObject()[QStringLiteral("firmware")]
            .toObject();
    }
    QByteArray received() {
        QFile file(dir.filePath(kMac + QStringLiteral(".bin")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    // The window is usable again: panels enabled, progress panel hidden.
    bool windowUsable() const {
        return form->FlatPanel1->isEnabled() && form->FlatPanel2->isEnabled() &&
               !form->FlatPanel3->isVisible();
    }

    QTemporaryDir dir;
    FakeServices fake;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<TFormDetect> form;
};
}  // namespace

class TestFirmwareGui : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_NETNS(); }
    void imageArrivesByteForByte_data();
    void imageArrivesByteForByte();
    void failuresLeaveTheWindowUsable_data();
    void failuresLeaveTheWindowUsable();
    void lateAcknowledgementFailsAndTheNextRunSucceeds();
    void cancelledDialogSendsNothing();
    void missingFileEndsWithAMessage();
    void nothingWithoutADevice();
    void completionCaptionBlinks();
    void applyDuringTheWait();
    void closingTheWindowDuringTheWait();
};

void TestFirmwareGui::imageArrivesByteForByte_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("1 MiB") << 1024 * 1024;
    QTest::newRow("129 bytes") << 129;
    QTest::newRow("empty file") << 0;
}

void TestFirmwareGui::imageArrivesByteForByte() {
    QFETCH(int, size);
    Session s({});
    const QByteArray image = s.chooseImage(size);
    s.form->FlatButton7->click();

    QCOMPARE(s.fake.prompts.messages, QStringList{kSuccess});
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QCOMPARE(s.fake.prompts.openDialogs.size(), 1);
    QCOMPARE(s.fake.prompts.openDialogs[0].fileName, QStringLiteral("varnex.bin"));
    QVERIFY(s.windowUsable());
    QVERIFY(s.form->UDPServer->Active());
    QCOMPARE(s.form->UpdateProgress->text(), QStringLiteral("100 %"));
    const QJsonObject fw = s.firmware();
    QCOMPARE(fw[QStringLiteral("verdict")].toString(), QStringLiteral("complete"));
    QCOMPARE(fw[QStringLiteral("chunks")].toInt(), (size + 127) / 128);
    QVERIFY(s.received() == image);
}

void TestFirmwareGui::failuresLeaveTheWindowUsable_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("verdict");  // what the simulated gateway holds afterwards
    QTest::addColumn<int>("chunks");
    QTest::addColumn<QString>("gauge");
    // 1000 bytes: 8 chunks. The clock runs 20 times fast: 4 s pass in 0.2 s, 41 s in 2 s.
    QTest::newRow("chunk 3 refused") << "fw-refuse=3"
                                     << "refused" << 3 << "38 %";
    QTest::newRow("silent gateway") << "fw-silent"
                                    << "receiving" << 1 << "0 %";
    QTest::newRow("no acknowledgement of chunk 5") << "fw-no-ack=5"
                                                   << "receiving" << 6 << "64 %";
    QTest::newRow("silent end") << "fw-no-ack=end"
                                << "complete" << 8 << "100 %";
    QTest::newRow("end refused") << "fw-refuse=end"
                                 << "refused" << 8 << "100 %";
}

void TestFirmwareGui::failuresLeaveTheWindowUsable() {
    QFETCH(QString, fault);
    QFETCH(QString, verdict);
    QFETCH(int, chunks);
    QFETCH(QString, gauge);
    Session s({fault}, 20);
    s.chooseImage(1000);
    s.form->FlatButton7->click();

    QCOMPARE(s.fake.prompts.messages, QStringList{kFailure});
    QVERIFY(s.windowUsable());
    QVERIFY(!s.form->FUWait->isVisible());
    QVERIFY(s.form->UDPServer->Active());
    QCOMPARE(s.form->UpdateProgress->text(), gauge);
    const QJsonObject fw = s.firmware();
    QCOMPARE(fw[QStringLiteral("verdict")].toString(), verdict);
    QCOMPARE(fw[QStringLiteral("chunks")].toInt(), chunks);
}

void TestFirmwareGui::lateAcknowledgementFailsAndTheNextRunSucceeds() {
    // Acknowledgements 1.5 s late, where the window gives up after 0.4 s.
    Session s({QStringLiteral("fw-late-ack=1500")}, 10);
    s.chooseImage(300);
    s.form->FlatButton7->click();
    QCOMPARE(s.fake.prompts.messages, QStringList{kFailure});

    s.sim->write("unfault fw-late-ack\n");
    const QByteArray image = s.chooseImage(300);
    QTest::qWait(1600);  // the late acknowledgement arrives in between
    s.form->FlatButton7->click();
    QCOMPARE(s.fake.prompts.messages, (QStringList{kFailure, kSuccess}));
    QVERIFY(s.received() == image);
}

void TestFirmwareGui::cancelledDialogSendsNothing() {
    Session s({});
    s.form->UDPServer->SetActive(true);
    s.form->FlatButton7->click();  // no answer queued: the operator cancels
    QCOMPARE(s.fake.prompts.openDialogs.size(), 1);
    QVERIFY(s.fake.prompts.messages.isEmpty());
    QVERIFY(!s.form->UDPServer->Active());
    QVERIFY(s.windowUsable());
    QCOMPARE(s.firmware()[QStringLiteral("verdict")].toString(), QStringLiteral("idle"));
}

void TestFirmwareGui::missingFileEndsWithAMessage() {
    Session s({});
    const QString missing = s.dir.filePath(QStringLiteral("gone.bin"));
    s.fake.prompts.fileAnswers.enqueue(missing);
    s.form->FlatButton7->click();
    QVERIFY(s.fake.prompts.messages.isEmpty());
    QCOMPARE(s.fake.prompts.errors.size(), 1);
    QVERIFY2(s.fake.prompts.errors[0].startsWith(
                 QStringLiteral("Cannot open the firmware file \"%1\"").arg(missing)),
             qPrintable(s.fake.prompts.errors[0]));
    QVERIFY(s.windowUsable());
}

void TestFirmwareGui::nothingWithoutADevice() {
    Session s({});
    s.form->DeviceCount = 0;
    s.chooseImage(10);
    s.form->FlatButton7->click();
    s.form->DeviceCount = 1;
    s.form->SelectedRow = -1;
    s.form->FlatButton7->click();
    QVERIFY(s.fake.prompts.openDialogs.isEmpty());
    QVERIFY(s.fake.prompts.messages.isEmpty());
}

void TestFirmwareGui::completionCaptionBlinks() {
    // The end wait lasts 41 s on a clock ten times fast: long enough for a
    // busy machine to let the window turn its captions.
    Session s({QStringLiteral("fw-no-ack=end")}, 10);
    s.chooseImage(10);
    QSet<QString> captions;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        if (s.form->FlatPanel3->isVisible() && s.form->FUWait->isVisible()) {
            captions << s.form->FUWait->text();
        }
    });
    sample.start(5);
    s.form->FlatButton7->click();
    sample.stop();
    // Shown in even seconds, hidden in odd ones.
    QVERIFY(captions.contains(QStringLiteral("Waiting For Complete")));
    QVERIFY(captions.contains(QString()));
    QVERIFY(!s.form->FUWait->isVisible());
}

void TestFirmwareGui::applyDuringTheWait() {
    // "Apply" lies outside the disabled panels and works while the upgrade waits.
    // The window now waits on its event loop while the engine runs the
    // exchange: 1.5 s leaves a loaded machine time to show the wait.
    Session s({QStringLiteral("fw-slow-end=1500")});
    const QByteArray image = s.chooseImage(200);
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clicked || s.form->FUWait->text() != QLatin1String(FirmwareCaption::Waiting)) return;
        QVERIFY(s.form->FlatButton1->isEnabled());
        QVERIFY(!s.form->FlatPanel1->isEnabled());
        s.form->FlatButton1->click();
        clicked = true;
    });
    poll.start(10);
    s.form->FlatButton7->click();
    poll.stop();
    QVERIFY(clicked);
    QCOMPARE(s.fake.prompts.messages.last(), kSuccess);
    QVERIFY(s.windowUsable());
    QVERIFY(s.received() == image);
}

void TestFirmwareGui::closingTheWindowDuringTheWait() {
    // Run from the application's own loop, as the program runs: closing the last
    // window makes the application quit once the handler has returned. The clock
    // all but stands still, so only the close can end the 41 s wait.
    Session s({QStringLiteral("fw-no-ack=end")}, 0.0001);
    s.chooseImage(1000);
    bool closed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (closed || !s.form->FUWait->isVisible() ||
            s.form->FUWait->text() == QLatin1String(FirmwareCaption::Sending)) {
            return;
        }
        closed = s.form->close();
    });
    poll.start(10);
    QTimer::singleShot(0, s.form.get(), [&] { s.form->FlatButton7->click(); });
    QApplication::exec();  // ends when the window has closed and the handler returned
    poll.stop();

    QVERIFY(closed);
    QVERIFY(!s.form->isVisible());
    QVERIFY(s.fake.prompts.messages.isEmpty());
    QVERIFY(!s.form->UDPServer->Active());
    // The upgrade stopped where it was: the end went out once, nothing after it.
    QCOMPARE(s.firmware()[QStringLiteral("chunks")].toInt(), 8);
    QVERIFY(s.form->FlatPanel1->isEnabled());
}

QTEST_MAIN(TestFirmwareGui)
#include "tst_firmware_gui.moc"

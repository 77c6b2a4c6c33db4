// The main window's ways into the dialog when they send nothing beyond the
// dialog's own (recorded) queries: no device, "Configure" without a change,
// "Import" cancelled or of a damaged file.
#include "WhileModal.h"
#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "widgets/TRealGrid.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");

struct Window {
    Window() : fake(1000.0), form(fake.services), dialog(fake.services, &form) {
        form.SetConfigForm(&dialog);
        dialog.BroadcastSink = [this](const QByteArray& d) { sent << d; };
    }
    // One listed gateway, current.
    void listGateway() {
        form.RGrid->InsertRow(form.RGrid->RowCount());
        form.RGrid->Cells(0, 0).SetCellText(QStringLiteral("VX-200"));
        form.RGrid->Cells(1, 0).SetCellText(kMac);
        form.RGrid->Cells(2, 0).SetCellText(QStringLiteral("1.0.4"));
        form.DeviceCount = 1;
        form.SelectedRow = 0;
    }
    FakeServices fake;
    TFormDetect form;
    TConfigForm dialog;
    QList<QByteArray> sent;
};
}  // namespace

class TestConfigEntries : public QObject {
    Q_OBJECT
private slots:
    void nothingSelectedDoesNothing_data();
    void nothingSelectedDoesNothing();
    void configureWithoutChangeStartsNoSearch();
    void importCancelledOpensNothing();
    void importOfDamagedFileShowsNoDialog();
};

void TestConfigEntries::nothingSelectedDoesNothing_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("deviceCount");
    QTest::addColumn<int>("selectedRow");
    for (const char* entry : {"Configure", "Import", "double click"}) {
        QTest::addRow("%s, empty list", entry) << entry << 0 << 0;
        QTest::addRow("%s, no row", entry) << entry << 1 << -1;
    }
}

void TestConfigEntries::nothingSelectedDoesNothing() {
    QFETCH(QString, entry);
    QFETCH(int, deviceCount);
    QFETCH(int, selectedRow);
    Window w;
    w.listGateway();
    w.form.DeviceCount = deviceCount;
    w.form.SelectedRow = selectedRow;
    w.fake.prompts.fileAnswers.enqueue(QStringLiteral("/nonexistent.vxc"));
    if (entry == QLatin1String("Configure")) w.form.FlatButton8Click();
    if (entry == QLatin1String("Import")) w.form.FlatButton10Click();
    if (entry == QLatin1String("double click")) w.form.RGridDblClick();
    QVERIFY(w.sent.isEmpty());
    QVERIFY(!w.dialog.isVisible());
    QVERIFY(w.fake.prompts.openDialogs.isEmpty());
    QVERIFY(w.fake.prompts.errors.isEmpty());
    QCOMPARE(w.dialog.MACLabel->text(), QStringLiteral("N/A"));
}

void TestConfigEntries::configureWithoutChangeStartsNoSearch() {
    Window w;
    w.listGateway();
    bool shown = false;
    WhileModal(w.dialog, [&] { shown = true; });
    w.form.FlatButton8Click();
    QVERIFY(shown);
    QCOMPARE(w.sent.size(), 3);  // the queries left before the dialog showed
    QCOMPARE(w.dialog.MACLabel->text(), kMac);
    QCOMPARE(w.dialog.ProductLabel->text(), QStringLiteral("VX-200"));
    QCOMPARE(w.dialog.VersionLabel->text(), QStringLiteral("1.0.4"));
    // No reply, nothing marked: result 2, the list stays, no search.
    QCOMPARE(w.form.DeviceCount, 1);
    QVERIFY(!w.form.PnlTime->isVisible());
    QVERIFY(!w.form.UDPServer->Active());
    QVERIFY(w.fake.prompts.errors.isEmpty());
}

void TestConfigEntries::importCancelledOpensNothing() {
    Window w;
    w.listGateway();
    w.form.FlatButton10Click();
    QCOMPARE(w.fake.prompts.openDialogs.size(), 1);
    const Prompts::FileDialog& d = w.fake.prompts.openDialogs.first();
    QCOMPARE(d.title, QStringLiteral("Import Configuration from file"));
    QCOMPARE(d.fileName, QStringLiteral("default.vxc"));
    QCOMPARE(d.defaultSuffix, QStringLiteral("vxc"));
    QCOMPARE(d.filter, QStringLiteral("All files (*.*);;VarnexConfig files (*.vxc)"));
    QVERIFY(!w.dialog.isVisible());
    QCOMPARE(w.dialog.MACLabel->text(), QStringLiteral("N/A"));
    QVERIFY(!w.form.UDPServer->Active());
}

void TestConfigEntries::importOfDamagedFileShowsNoDialog() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.vxc"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, '\0'));  // a network record, then part of a row
        // Offset 78 claims two rows: 196 bytes would be needed.
        f.seek(78);
        f.write("\x02");
    }
    Window w;
    w.listGateway();
    w.fake.prompts.fileAnswers.enqueue(path);
    w.form.FlatButton10Click();
    QCOMPARE(w.fake.prompts.errors.size(), 1);
    const QString error = w.fake.prompts.errors.first();
    QVERIFY2(error.contains(QStringLiteral("short.vxc")) && error.contains(QStringLiteral("100")),
             qPrintable(error));
    QVERIFY(!w.dialog.isVisible());
    QVERIFY(!w.dialog.Marks.any());
    QCOMPARE(w.dialog.MACLabel->text(), QStringLiteral("N/A"));
    QCOMPARE(w.dialog.PortCount, quint8(0));
    QVERIFY(w.sent.isEmpty());
    QVERIFY(!w.form.PnlTime->isVisible());
}

QTEST_MAIN(TestConfigEntries)
#include "tst_config_entries.moc"

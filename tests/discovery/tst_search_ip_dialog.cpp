// The "Search by IP" dialog on its own: what the operator sees for each entry,
// and Enter acting on its release.
#include "mainwindow/TFormSearchIP.h"
#include "support/FakeSeams.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestSearchIPDialog : public QObject {
    Q_OBJECT
private slots:
    void searchButton_data();
    void searchButton();
    void enterActsOnRelease();
    void otherKeysDoNothing();
    void cancelGivesCancel();
    void looksAsDesigned();
};

void TestSearchIPDialog::searchButton_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");  // empty: none
    QTest::newRow("empty: nothing") << "" << false << "";
    QTest::newRow("valid") << "198.19.0.10" << true << "";
    QTest::newRow("part above 255") << "192.168.1.300" << false << "IP is not valid.";
    QTest::newRow("three parts") << "10.0.0" << false << "IP is not valid.";
    QTest::newRow("blank only is not empty") << " " << false << "IP is not valid.";
    QTest::newRow("blank in front passes") << " 10.0.0.1" << true << "";
}

void TestSearchIPDialog::searchButton() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    FakePrompts prompts;
    TFormSearchIP dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.FlatEdit1, typed);
    QTest::mouseClick(dialog.FlatSpeedButton1, Qt::LeftButton);
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.isVisible(), !accepted);
    QCOMPARE(prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
    // The address goes on exactly as typed.
    QCOMPARE(dialog.Address(), typed);
    if (!message.isEmpty()) QVERIFY(dialog.FlatEdit1->hasFocus());
}

void TestSearchIPDialog::enterActsOnRelease() {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        FakePrompts prompts;
        TFormSearchIP dialog(prompts);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClicks(dialog.FlatEdit1, QStringLiteral("192.168.1.300"));
        QTest::keyPress(dialog.FlatEdit1, key);
        QVERIFY(prompts.messages.isEmpty());
        QTest::keyRelease(dialog.FlatEdit1, key);
        QCOMPARE(prompts.messages, QStringList{"IP is not valid."});
        QVERIFY(dialog.isVisible());

        dialog.FlatEdit1->setText(QStringLiteral("192.168.1.30"));
        QTest::keyPress(dialog.FlatEdit1, key);
        QVERIFY(dialog.isVisible());
        QTest::keyRelease(dialog.FlatEdit1, key);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
}

void TestSearchIPDialog::otherKeysDoNothing() {
    FakePrompts prompts;
    TFormSearchIP dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // No key filter: any character is taken, and only Enter's release acts.
    QTest::keyClicks(dialog.FlatEdit1, QStringLiteral("gw.local"));
    QTest::keyClick(dialog.FlatEdit1, Qt::Key_Tab);
    QCOMPARE(dialog.Address(), QStringLiteral("gw.local"));
    QVERIFY(dialog.isVisible());
    QVERIFY(prompts.messages.isEmpty());
}

void TestSearchIPDialog::cancelGivesCancel() {
    FakePrompts prompts;
    TFormSearchIP dialog(prompts);
    dialog.show();
    QTest::keyClicks(dialog.FlatEdit1, QStringLiteral("10.0.0.1"));
    QTest::mouseClick(dialog.FlatSpeedButton2, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestSearchIPDialog::looksAsDesigned() {
    FakePrompts prompts;
    TFormSearchIP dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Search by IP"));
    QCOMPARE(dialog.Label1->text(), QStringLiteral("IP address"));
    QCOMPARE(dialog.FlatSpeedButton1->text(), QStringLiteral("Search"));
    QCOMPARE(dialog.FlatSpeedButton2->text(), QStringLiteral("Cancel"));
    QVERIFY(dialog.FlatEdit1->text().isEmpty());
    QCOMPARE(dialog.FlatEdit1->maxLength(), 32767);  // no limit of its own
    QVERIFY(dialog.FlatEdit1->hasFocus());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(dialog.FlatEdit1);
    QVERIFY(edit);
    QCOMPARE(edit->text(QAccessible::Name), QStringLiteral("IP address"));
}

QTEST_MAIN(TestSearchIPDialog)
#include "tst_search_ip_dialog.moc"

// What the desktop and the shell see of the installed programs: the window's
// icon, the folder the file dialogs open in, the simulator's --version.
#include "SimOptions.h"
#include "VarnexVersion.h"
#include "app/AppIcon.h"
#include "app/RealSeams.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void iconIsBuiltIn();
    void dialogFolder_data();
    void dialogFolder();
    void simulatorVersion_data();
    void simulatorVersion();

private:
    QTemporaryDir scratch_;
};

void TestDesktop::initTestCase() {
    QVERIFY(scratch_.isValid());
    QVERIFY(QDir(scratch_.path()).mkpath(QStringLiteral("home")));
    qputenv("HOME", scratch_.filePath(QStringLiteral("home")).toLocal8Bit());
}

void TestDesktop::iconIsBuiltIn() {
    // The PNGs are linked in as a resource of a static library: one that fails
    // to reach the program leaves the window with no icon and no error.
    const QIcon icon = AppIcon();
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    QCOMPARE(icon.pixmap(48).size(), QSize(48, 48));
}

void TestDesktop::dialogFolder_data() {
    // Each dialog before the last one is answered in turn: a file to choose
    // (under a fresh folder of the scratch root), or "" to cancel.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("removedBeforeLast");
    QTest::addColumn<QString>("expectedStart");  // under the scratch root

    QTest::newRow("first dialog: home") << QStringList{} << ""
                                        << "home";
    QTest::newRow("after a choice: its folder") << QStringList{"a/default.vxc"} << ""
                                                << "a";
    QTest::newRow("a cancel keeps the folder") << QStringList{"a/default.vxc", ""} << ""
                                               << "a";
    QTest::newRow("the newest choice wins") << QStringList{"a/default.vxc", "b/varnex.bin"} << ""
                                            << "b";
    QTest::newRow("a removed folder: home") << QStringList{"a/default.vxc"} << "a"
                                            << "home";
}

void TestDesktop::dialogFolder() {
    QFETCH(QStringList, answers);
    QFETCH(QString, removedBeforeLast);
    QFETCH(QString, expectedStart);
    QTemporaryDir root(scratch_.filePath(QStringLiteral("XXXXXX")));
    QtPrompts prompts;

    // Answers the next file dialog once it is shown, and notes where it opened.
    QString startedIn;
    auto answerNext = [&](const QString& answer) {
        QTimer::singleShot(0, [&, answer] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            startedIn = dialog->directory().absolutePath();
            if (answer.isEmpty()) return dialog->reject();
            dialog->selectFile(root.filePath(answer));
            static_cast<QDialog*>(dialog)->accept();  // checks the file as a click would
        });
    };
    for (const QString& answer : answers) {
        if (!answer.isEmpty()) {
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(answer).path()));
            QFile file(root.filePath(answer));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        answerNext(answer);
        const QString chosen = prompts.OpenFile(
            nullptr, {QStringLiteral("Open"), QString(), QString(), QFileInfo(answer).fileName()});
        QCOMPARE(chosen, answer.isEmpty() ? QString() : root.filePath(answer));
    }
    if (!removedBeforeLast.isEmpty())
        QVERIFY(QDir(root.filePath(removedBeforeLast)).removeRecursively());

    answerNext(QString());
    QCOMPARE(prompts.OpenFile(nullptr, {QStringLiteral("Open"), QString(), QString(), QString()}),
             QString());
    const QString expected = expectedStart == QLatin1String("home")
                                 ? scratch_.filePath(QStringLiteral("home"))
                                 : root.filePath(expectedStart);
    QCOMPARE(startedIn, QFileInfo(expected).canonicalFilePath());
}

void TestDesktop::simulatorVersion_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");  // "" when the simulator would run
    QTest::addColumn<int>("exitCode");

    const QString version = QStringLiteral("varnex-gateway-sim " VARNEX_VERSION "\n");
    QTest::newRow("alone: the simulator's version") << QStringList{"--version"} << version << 0;
    QTest::newRow("with a value: firmware versions") << QStringList{"--version", "1.2"} << "" << 0;
    QTest::newRow("after other options, no value") << QStringList{"--count", "2", "--version"}
                                                   << "gateway-sim: Missing value after "
                                                      "'--version'.\n"
                                                   << 2;
}

void TestDesktop::simulatorVersion() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QFETCH(int, exitCode);
    const SimOptionsParse parsed =
        ParseSimOptions(QStringList{QStringLiteral("/usr/bin/varnex-gateway-sim")} + args);
    QCOMPARE(parsed.message, message);
    QCOMPARE(parsed.exitCode, exitCode);
    QCOMPARE(parsed.options.has_value(), message.isEmpty());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"

// Sessions at gateways this PC may not reach: the program in its namespace with
// the system's own routes, simulated gateways behind the plant link. Run once
// per shape of PC (netns-run --topology): with "default dev plant" every
// address is on the plant link; beside an office link the default route goes
// through its router; with the plant link alone nothing leaves for other networks.
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
// The simulator for one test, asked to quit when the test ends.
struct Gateways {
    explicit Gateways(const QStringList& args) : process(NetnsEnv::startSimulator(args)) {}
    ~Gateways() {
        process->write("quit\n");
        if (!process->waitForFinished(3000)) process->kill();
        process->waitForFinished(1000);
    }
    std::unique_ptr<QProcess> process;
};

// The fakes, but the system's own routes and addresses.
const Services& withSystemRoutes(FakeServices& fake) {
    fake.services.routes = nullptr;
    return fake.services;
}

struct Window {
    Window() : form(withSystemRoutes(fake)) {}
    void search(int expected) {
        form.FlatButton2Click();
        QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, expected, 5000);
        form.FlatButton6Click();  // Stop
    }
    // The operator edits a row's IP address and presses "Apply".
    void apply(int row, const QString& ip) {
        form.RGrid->Cells(4, row).SetCellText(ip);
        form.RGrid->Cells(8, row).SetCellBool(true);
        form.FlatButton1Click();
        QCOMPARE(fake.prompts.messages.last(),
                 QStringLiteral("1 Device(s) ' configuration is Successful"));
    }
    QString hint(int row) {
        return form.RGrid->model()->index(row, 0).data(Qt::ToolTipRole).toString();
    }
    bool marked(int row) {
        return !form.RGrid->model()->index(row, 0).data(Qt::DecorationRole).isNull();
    }
    FakeServices fake;
    TFormDetect form;
};
}  // namespace

class TestReachabilityE2E : public QObject {
    Q_OBJECT
private slots:
    void init();
    void gatewaysOnAnotherNetwork();
    void twoGatewaysWithOneAddress();
    void oneMacFromTwoAddresses();
    void nothingFoundOffersTheReport();
};

void TestReachabilityE2E::init() {
    REQUIRE_NETNS();
}

void TestReachabilityE2E::gatewaysOnAnotherNetwork() {
    Gateways sim({"--count", "2", "--first-ip", "203.0.113.10", "--mask", "255.255.255.0",
                  "--gateway", "203.0.113.1", "--quiet"});
    Window w;
    w.search(2);
    QCOMPARE(w.form.lblcount->text(), QStringLiteral("Current : 2"));

    const QString topology = NetnsEnv::topology();
    if (topology == QLatin1String("single")) {
        // "default dev plant": the PC reaches any address straight on the plant link.
        QVERIFY(!w.marked(0) && !w.marked(1));
        QVERIFY(w.form.lblreach->text().isEmpty());
        return;
    }
    QVERIFY(w.marked(0) && w.marked(1));
    QCOMPARE(w.form.lblreach->text(), QStringLiteral("2 gateways may not be reachable"));
    const QString why = topology == QLatin1String("two-links")
                            ? QStringLiteral(
                                  "would send to it through the router 198.51.100.6 on office "
                                  "instead of directly.")
                            : QStringLiteral("cannot reach it.");
    QCOMPARE(w.hint(0), QStringLiteral("203.0.113.10 is outside plant's network 198.18.0.0/15, "
                                       "so this PC ") +
                            why +
                            QStringLiteral(" Give the gateway an address in 198.18.0.0/15 such "
                                           "as 198.18.0.2 (edit its row and Apply), or add an "
                                           "address in 203.0.113.0/24 to plant."));
    QVERIFY(w.hint(1).contains(QStringLiteral("such as 198.18.0.3 ")));

    // The operator follows the advice for the first gateway: its mark goes at Apply.
    w.apply(0, QStringLiteral("198.18.0.2"));
    QVERIFY(!w.marked(0) && w.marked(1));
    QCOMPARE(w.form.lblreach->text(), QStringLiteral("1 gateway may not be reachable"));
}

void TestReachabilityE2E::twoGatewaysWithOneAddress() {
    Gateways sim({"--count", "2", "--first-ip", "198.19.0.10", "--mask", "255.255.0.0", "--quiet"});
    Window w;
    w.search(2);
    QVERIFY(!w.marked(0) && !w.marked(1));
    QVERIFY(w.form.lblreach->text().isEmpty());

    // The second gateway is given the first one's address.
    w.apply(1, QStringLiteral("198.19.0.10"));
    QVERIFY(w.marked(0) && w.marked(1));
    QCOMPARE(w.form.lblreach->text(), QStringLiteral("2 gateways may not be reachable"));

    // Both answer with it at the next Search, and stay marked.
    w.search(2);
    QCOMPARE(w.form.RGrid->Cells(11, 1).GetCellText(), QStringLiteral("198.19.0.10"));
    QVERIFY(w.marked(0) && w.marked(1));
    QVERIFY(w.hint(0).startsWith(
        QStringLiteral("198.19.0.10 is also the address of 00-1A-2B-00-00-02")));

    // "Web" explains first; the operator stops, and nothing is started.
    w.form.RGrid->SetCurrentCell(1, 0);
    w.form.FlatButton4->click();
    QCOMPARE(w.fake.prompts.questions.size(), 1);
    QVERIFY(w.fake.prompts.questions.first().contains(w.hint(0).split('\n').first()));
    QVERIFY(w.fake.platform.started.isEmpty());
    QVERIFY(w.fake.platform.urls.isEmpty());
}

void TestReachabilityE2E::oneMacFromTwoAddresses() {
    // A cloned unit behind the office link carries the plant gateway's MAC.
    if (NetnsEnv::officeNamespaces().isEmpty()) QSKIP("needs a second link");
    Gateways plant({"--count", "1", "--first-ip", "198.19.0.10", "--quiet"});
    auto clone =
        NetnsEnv::startSimulatorIn(NetnsEnv::officeNamespaces().first(),
                                   {"--count", "1", "--first-ip", "198.51.100.6", "--quiet"});
    Window w;
    w.form.FlatButton2Click();
    QTest::qWait(500);  // both have answered
    w.form.FlatButton6Click();
    QCOMPARE(w.form.DeviceCount, 1);  // one row: the list has one row per MAC
    QVERIFY(w.marked(0));
    QVERIFY2(w.hint(0).contains(QStringLiteral("198.51.100.6")), qPrintable(w.hint(0)));
    clone->write("quit\n");
    clone->waitForFinished(3000);
}

void TestReachabilityE2E::nothingFoundOffersTheReport() {
    Window w;
    w.form.show();
    w.form.FlatButton2Click();
    QTest::qWait(300);
    w.form.FlatButton6Click();
    QCOMPARE(w.form.DeviceCount, 0);
    QVERIFY(w.fake.prompts.messages.isEmpty());  // no modal message of its own
    QVERIFY(w.form.btnWhy->isVisible());
    w.form.btnWhy->click();
    QCOMPARE(w.fake.prompts.messages.size(), 1);
    const QString report = w.fake.prompts.messages.first();
    QVERIFY2(report.contains(NetnsEnv::plantInterface() + QStringLiteral(": 198.18.0.1/15")),
             qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("but no gateway answered")), qPrintable(report));
    // The next Search takes the offer away.
    w.form.FlatButton2Click();
    QVERIFY(!w.form.btnWhy->isVisible());
    w.form.FlatButton6Click();
}

QTEST_MAIN(TestReachabilityE2E)
#include "tst_reachability_e2e.moc"

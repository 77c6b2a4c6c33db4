// The operator's PC as it comes to a plant: the plant NIC has no default route,
// either beside an office link that holds it (two-links) or alone (plant-only).
// Every flow must reach the gateways behind the plant link, and what is meant
// for one gateway must not leave through the office link.
#include "config/WhileModal.h"
#include "configform/ConfigEdit.h"
#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "link/NetInterfaces.h"
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
const QString kApplied = QStringLiteral("Configuration was successfully applied");
const QString kNoInterface = QStringLiteral("No network interface is up.");

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(20);
    }
    return true;
}

struct Plant {
    Plant() {
        sim = NetnsEnv::startSimulator({"--count", "3", "--ports", "2", "--lora", "1", "--quiet",
                                        "--firmware-out", dir.path()});
    }
    ~Plant() {
        sim->write("quit\n");
        if (!sim->waitForFinished(3000)) sim->kill();
    }
    QJsonObject gateway(int index) {
        sim->readAll();
        sim->write("dump\n");
        for (int i = 0; i < 50 && !sim->canReadLine(); ++i) sim->waitForReadyRead(100);
        return QJsonDocument::fromJson(sim->readLine())
            .object()[QStringLiteral("gateways")]
            .toArray()[index]
            .toObject();
    }
    QTemporaryDir dir;
    std::unique_ptr<QProcess> sim;
};

// The window and its dialog as start-up makes them; the clock runs fast.
struct Session {
    Session() : fake(10.0), form(fake.services), dialog(fake.services, &form) {
        form.SetConfigForm(&dialog);
        form.show();
    }
    bool search(int expected) {
        form.FlatButton2Click();
        const bool listed = waitFor([&] { return form.DeviceCount == expected; });
        form.FlatButton6Click();
        return listed;
    }
    QString mac(int row) { return form.RGrid->Cells(DeviceColumn::Mac, row).GetCellText(); }
    FakeServices fake;
    TFormDetect form;
    TConfigForm dialog;
};

// What reached the far side of the office links, by the letter after STX.
QString lettersAt(const std::vector<std::unique_ptr<NamespaceListener>>& offices) {
    QString letters;
    for (const auto& office : offices) {
        for (const QByteArray& d : office->take())
            letters += QLatin1Char(d.size() > 1 ? d[1] : '?');
    }
    return letters;
}
}  // namespace

class TestMultilinkE2E : public QObject {
    Q_OBJECT
private slots:
    void init();
    void endpointPicksItsLinks_data();
    void endpointPicksItsLinks();
    void everyFlowReachesThePlantOnly();
    void linksGoingDownAndComingBack();

private:
    std::vector<std::unique_ptr<NamespaceListener>> offices_;
};

void TestMultilinkE2E::init() {
    REQUIRE_NETNS();
    offices_.clear();
    for (const QString& ns : NetnsEnv::officeNamespaces()) {
        offices_.push_back(std::make_unique<NamespaceListener>(ns, 2058));
        QVERIFY(offices_.back()->ok());
    }
}

void TestMultilinkE2E::endpointPicksItsLinks_data() {
    QTest::addColumn<QString>("through");  // the gateway's interface: "", a name, or "gone"
    QTest::addColumn<QString>("only");     // SetInterfaceName
    QTest::addColumn<QString>("reached");  // "plant", "office" or both
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown gateway: every link") << ""
                                                 << ""
                                                 << "plant office"
                                                 << "";
    QTest::newRow("known gateway: its link alone") << "plant"
                                                   << ""
                                                   << "plant"
                                                   << "";
    QTest::newRow("its link has gone: every link") << "gone"
                                                   << ""
                                                   << "plant office"
                                                   << "";
    QTest::newRow("limited to one link") << ""
                                         << "office"
                                         << "office"
                                         << "";
    QTest::newRow("limit wins over the gateway's link") << "plant"
                                                        << "office"
                                                        << "office"
                                                        << "";
    QTest::newRow("limited to a link that is not there")
        << ""
        << "wlan9"
        << ""
        << "The network interface wlan9 is not up.";
}

void TestMultilinkE2E::endpointPicksItsLinks() {
    if (NetnsEnv::topology() != QStringLiteral("two-links")) QSKIP("needs the office link");
    QFETCH(QString, through);
    QFETCH(QString, only);
    QFETCH(QString, reached);
    QFETCH(QString, error);
    NamespaceListener plant(qEnvironmentVariable("VARNEX_NETNS_B"), 2058);
    QVERIFY(plant.ok());
    UdpEndpoint endpoint;
    endpoint.SetDefaultPort(2058);
    endpoint.SetInterfaceName(only);
    endpoint.SetActive(true);
    const int index = through == QStringLiteral("gone") ? 4242 : InterfaceIndexOf(through);
    QString raised;
    try {
        endpoint.SendBroadcast(QByteArray("\x02S\x03", 3), 2058, index);
    } catch (const std::exception& e) {
        raised = QString::fromUtf8(e.what());
    }
    QCOMPARE(raised, error);
    QTest::qWait(100);
    QStringList got;
    if (!plant.take().isEmpty()) got << QStringLiteral("plant");
    if (!lettersAt(offices_).isEmpty()) got << QStringLiteral("office");
    QCOMPARE(got.join(QLatin1Char(' ')), reached);
}

void TestMultilinkE2E::everyFlowReachesThePlantOnly() {
    Plant plant;
    Session s;
    QVERIFY(s.search(3));
    QVERIFY(s.fake.prompts.errors.isEmpty());
    const int plantIndex = InterfaceIndexOf(NetnsEnv::plantInterface());
    for (int row = 0; row < 3; ++row) QCOMPARE(s.form.Engine->InterfaceOf(s.mac(row)), plantIndex);
    // Discovery went out of every link, the office one included.
    QCOMPARE(lettersAt(offices_), offices_.empty() ? QString() : QStringLiteral("g"));

    // Apply of a new name for the second gateway.
    s.form.RGrid->Cells(DeviceColumn::DeviceName, 1).SetCellText(QStringLiteral("Filter press"));
    s.form.RGrid->Cells(DeviceColumn::Apply, 1).SetCellBool(true);
    s.form.FlatButton1Click();
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QVERIFY(waitFor([&] { return plant.gateway(1)[QStringLiteral("name")] == "Filter press"; }));

    // Configure the first: read every section, change the name, write it back.
    s.form.RGrid->SetCurrentCell(0, 0);
    s.fake.prompts.messages.clear();
    WhileModal(s.dialog, [&] {
        TConfigForm& d = s.dialog;
        QVERIFY(waitFor([&] {
            return d.tabPanel1->isEnabled() && d.tabPanel2->isEnabled() && d.tabPanel3->isEnabled();
        }));
        QCOMPARE(d.DeviceNameText->text(), plant.gateway(0)[QStringLiteral("name")].toString());
        d.DeviceNameText->setText(QStringLiteral("Kiln 2"));
        d.FlatButton1Click();
        QVERIFY(waitFor([&] { return s.fake.prompts.messages.contains(kApplied); }));
    });
    s.form.FlatButton8Click();
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QCOMPARE(plant.gateway(0)[QStringLiteral("name")].toString(), QStringLiteral("Kiln 2"));
    QVERIFY(waitFor([&] { return s.form.DeviceCount == 3; }));  // the search that follows
    s.form.FlatButton6Click();

    // A small firmware image to the third.
    QByteArray image(1000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
    const QString imagePath = plant.dir.filePath(QStringLiteral("small.bin"));
    QFile file(imagePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(image);
    file.close();
    int row = 0;
    while (s.mac(row) != QStringLiteral("00-1A-2B-00-00-03")) ++row;
    s.form.RGrid->SetCurrentCell(0, row);
    s.fake.prompts.messages.clear();
    s.fake.prompts.fileAnswers.enqueue(imagePath);
    s.form.FlatButton7Click();
    QCOMPARE(s.fake.prompts.messages, QStringList{"Updating firmware was successful"});
    QFile received(plant.dir.filePath(QStringLiteral("00-1A-2B-00-00-03.bin")));
    QVERIFY(received.open(QIODevice::ReadOnly));
    QCOMPARE(received.readAll(), image);

    // Only the discovery requests reached the office link: nothing meant for one gateway.
    const QString office = lettersAt(offices_);
    QVERIFY2(!office.contains(QRegularExpression(QStringLiteral("[SNOUAF]"))), qPrintable(office));
}

void TestMultilinkE2E::linksGoingDownAndComingBack() {
    Plant plant;
    Session s;
    const QString plantLink = NetnsEnv::plantInterface();
    const QStringList all = QStringList{plantLink} + NetnsEnv::officeInterfaces();

    // The plant cable is pulled between two Searches: the office link, if any,
    // still takes its copy and no error shows; the plant's gateways are gone.
    QVERIFY(NetnsEnv::setLink(plantLink, false));
    s.form.FlatButton2Click();
    s.form.FlatButton6Click();
    QCOMPARE(s.fake.prompts.errors,
             NetnsEnv::officeInterfaces().isEmpty() ? QStringList{kNoInterface} : QStringList{});
    QCOMPARE(s.form.DeviceCount, 0);

    // No link at all.
    s.fake.prompts.errors.clear();
    for (const QString& link : all) QVERIFY(NetnsEnv::setLink(link, false));
    s.form.FlatButton2Click();
    QCOMPARE(s.fake.prompts.errors, QStringList{kNoInterface});
    QVERIFY(!s.form.PnlTime->isVisible());

    // Plugged in again: the next Search finds them, with no restart.
    s.fake.prompts.errors.clear();
    for (const QString& link : all) QVERIFY(NetnsEnv::setLink(link, true));
    QVERIFY(waitFor([&] { return !BroadcastInterfaces(plantLink).isEmpty(); }));
    QVERIFY(s.search(3));
    QVERIFY(s.fake.prompts.errors.isEmpty());
}

QTEST_MAIN(TestMultilinkE2E)
#include "tst_multilink_e2e.moc"

// varnexctl as an operator's script runs it: arguments in, output and exit code
// out, against simulated gateways behind the plant link (and one behind the
// office link), with what the gateways then hold read from the simulator.
#include "config/WhileModal.h"
#include "configform/TConfigForm.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <csignal>

namespace {
const QString kFirst = QStringLiteral("00-1A-2B-00-00-01");
const QString kSecond = QStringLiteral("00-1A-2B-00-00-02");
const QString kThird = QStringLiteral("00-1A-2B-00-00-03");

struct Run {
    int rc = -1;
    QString out;
    QString err;
};

Run varnexctl(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VARNEX_BUILD_DIR "/varnexctl"), args);
    p.waitForFinished(60000);
    return Run{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
               QString::fromUtf8(p.readAllStandardOutput()),
               QString::fromUtf8(p.readAllStandardError())};
}

QJsonObject jsonOf(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject dumpOf(QProcess& sim, int index) {
    sim.readAll();
    sim.write("dump\n");
    for (int i = 0; i < 50 && !sim.canReadLine(); ++i) sim.waitForReadyRead(100);
    return QJsonDocument::fromJson(sim.readLine())
        .object()[QStringLiteral("gateways")]
        .toArray()[index]
        .toObject();
}

// Sets a key of the document at a path like "network.ip" or "ports.1.alias".
void setPath(QJsonObject& doc, const QString& path, const QJsonValue& value, bool remove = false) {
    const QStringList keys = path.split(QLatin1Char('.'));
    QJsonObject section = doc[keys[0]].toObject();
    if (keys.size() == 2) {
        remove ? section.remove(keys[1]) : (void)section.insert(keys[1], value);
        doc[keys[0]] = section;
        return;
    }
    QJsonArray rows = doc[keys[0]].toArray();
    QJsonObject row = rows[keys[1].toInt()].toObject();
    remove ? row.remove(keys[2]) : (void)row.insert(keys[2], value);
    rows[keys[1].toInt()] = row;
    doc[keys[0]] = rows;
}
// The document with one edit: "path=value" (the value in JSON), or "-path" to
// remove the key.
QByteArray edited(QJsonObject doc, const QString& edit) {
    if (edit.startsWith(QLatin1Char('-'))) {
        setPath(doc, edit.mid(1), QJsonValue(), true);
    } else if (!edit.isEmpty()) {
        const int eq = edit.indexOf(QLatin1Char('='));
        setPath(doc, edit.left(eq),
                QJsonDocument::fromJson("[" + edit.mid(eq + 1).toUtf8() + "]").array()[0]);
    }
    return QJsonDocument(doc).toJson();
}

// Whether a terminal would act on some of the text rather than show it.
bool holdsControls(const QString& text) {
    static const QRegularExpression controls(QStringLiteral(
        "[\\x00-\\x09\\x0b-\\x1f\\x7f-\\x9f\\x{202a}-\\x{202e}\\x{2066}-\\x{2069}]"));
    return text.contains(controls);
}
}  // namespace

class TestVarnexctl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void discoverInBothFormats();
    void commandOutcomes_data();
    void commandOutcomes();
    void discoverNamesProblems_data();
    void discoverNamesProblems();
    void discoverExplains();
    void explainsWhyNothingCame_data();
    void explainsWhyNothingCame();
    void getVxcIsWhatTheWindowExports();
    void putAnEditedJsonFile();
    void diffShowsTheEditedFields();
    void firmwareGoesOnAfterARefusal();
    void fleetSession();
    void ctrlCFinishesWhatRuns();
    void badInputSendsNothing_data();
    void badInputSendsNothing();
    void portHeldByAnotherProgram();

private:
    QJsonObject getJson(const QString& mac);
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> sim_;
};

void TestVarnexctl::initTestCase() {
    REQUIRE_NETNS();
    sim_ = NetnsEnv::startSimulator(
        {"--count", "3", "--ports", "2", "--lora", "2", "--quiet", "--firmware-out", dir_.path()});
}

void TestVarnexctl::cleanupTestCase() {
    if (!sim_) return;
    sim_->write("quit\n");
    if (!sim_->waitForFinished(3000)) sim_->kill();
}

QJsonObject TestVarnexctl::getJson(const QString& mac) {
    const Run r = varnexctl({"config", "get", mac});
    if (r.rc != 0) qWarning() << r.err;
    return jsonOf(r.out);
}

void TestVarnexctl::discoverInBothFormats() {
    const Run text = varnexctl({"discover", "--timeout", "1"});
    QCOMPARE(text.rc, 0);
    const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);  // the heading and three gateways
    QVERIFY(lines[1].contains(kFirst) && lines[1].contains(QStringLiteral("198.19.0.10")));
    QVERIFY(lines[3].endsWith(NetnsEnv::plantInterface()));

    const Run json = varnexctl({"discover", "--timeout", "1", "--json"});
    QCOMPARE(json.rc, 0);
    const QJsonArray all = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(all.size(), 3);
    const QJsonObject first = all[0].toObject();
    QCOMPARE(first.keys(), (QStringList{"gateway", "interface", "ip", "mac", "mask", "model",
                                        "name", "problems", "version", "view_ip"}));
    QCOMPARE(first["problems"].toArray(), QJsonArray());
    QCOMPARE(first["mac"].toString(), kFirst);
    QCOMPARE(first["interface"].toString(), NetnsEnv::plantInterface());
}

void TestVarnexctl::commandOutcomes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("fault");  // switched on in the simulator for this run
    QTest::addColumn<QString>("edit");   // of kFirst's configuration, as the file "@in"
    QTest::addColumn<int>("rc");
    // A JSON object to compare whole, or a text stdout holds.
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    // kSecond's name, IP and mask in the simulator afterwards (empty: not checked).
    QTest::addColumn<QString>("held");
    const QString no;
    const QString ignore = QStringLiteral("ignore-writes");
    const QString escapes = QStringLiteral("\x1b[2J\u202eEvil\a");  // \u takes four digits
    QTest::newRow("set, taken") << QStringList{"set",         kSecond,  "--ip",
                                               "198.19.0.77", "--name", "Pump house"}
                                << no << no << 0 << kSecond + ": set and verified" << no
                                << "Pump house 198.19.0.77 255.255.0.0";
    QTest::newRow("set --json, taken")
        << QStringList{"set", kSecond, "--name", "Boiler", "--view-ip", "198.19.0.3", "--json"}
        << no << no << 0
        << R"({"mac":"00-1A-2B-00-00-02","name":"Boiler","verified":true,"view_ip":"198.19.0.3"})"
        << no << "Boiler 198.19.0.77";
    QTest::newRow("set a name with escapes") << QStringList{"set", kSecond, "--name", escapes} << no
                                             << no << 0 << "set and verified" << no << no;
    QTest::newRow("discover shows that name inert") << QStringList{"discover", "--timeout", "1"}
                                                    << no << no << 0 << "  ?[2JEvil?  " << no << no;
    QTest::newRow("set, not taken") << QStringList{"set", kSecond, "--name", "Kiln"} << ignore << no
                                    << 1 << kSecond + ": NOT taken"
                                    << "name: reports ?[2JEvil?, expected Kiln" << no;
    QTest::newRow("set --no-verify, not taken")
        << QStringList{"set", kSecond, "--name", "Kiln", "--no-verify"} << ignore << no << 0
        << kSecond + ": sent" << no << no;
    QTest::newRow("config put, not taken")
        << QStringList{"config", "put", kFirst, "@in"} << ignore << "ports.1.src_port=4999" << 1
        << kFirst + " reports values other than the file's:\nports[1].src_port: 4002 -> 4999\n"
        << "writing the configuration" << no;
    QTest::newRow("config get, silent gateway")
        << QStringList{"config", "get", kFirst, "--timeout", "1"} << "cfg-silent=NOUA" << no << 1
        << no << "gateway " + kFirst + " did not answer the configuration query" << no;
}

void TestVarnexctl::commandOutcomes() {
    QFETCH(QStringList, args);
    QFETCH(QString, fault);
    QFETCH(QString, edit);
    QFETCH(int, rc);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, held);
    if (!edit.isEmpty()) {
        writeFile(dir_.filePath(QStringLiteral("in.json")), edited(getJson(kFirst), edit));
        args.replace(args.indexOf(QStringLiteral("@in")), dir_.filePath(QStringLiteral("in.json")));
    }
    if (!fault.isEmpty()) sim_->write("fault " + fault.toUtf8() + "\n");
    // A dump's answer shows that the simulator has read what came before it.
    dumpOf(*sim_, 0);
    const auto faultOff = qScopeGuard([&] {
        if (!fault.isEmpty())
            sim_->write("unfault " + fault.section(QLatin1Char('='), 0, 0).toUtf8() + "\n");
        dumpOf(*sim_, 0);
    });

    QElapsedTimer elapsed;
    elapsed.start();
    const Run r = varnexctl(args);
    QVERIFY2(elapsed.elapsed() < 6000, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY2(r.rc == rc, qPrintable(r.out + r.err));
    if (out.startsWith(QLatin1Char('{')))
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).toJson(QJsonDocument::Compact),
                 out.toUtf8());
    else
        QVERIFY2(r.out.contains(out), qPrintable(r.out));
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    QVERIFY(!holdsControls(r.out + r.err));
    if (held.isEmpty()) return;
    const QJsonObject gw = dumpOf(*sim_, 1);
    QCOMPARE(QStringList({gw["name"].toString(), gw["ip"].toString(), gw["mask"].toString()})
                 .join(QLatin1Char(' '))
                 .left(held.size()),
             held);
}

void TestVarnexctl::discoverNamesProblems_data() {
    QTest::addColumn<QString>("thirdIp");
    QTest::addColumn<QStringList>("problems");  // of the three gateways, in MAC order
    QTest::newRow("none") << "198.19.0.12" << QStringList{"", "", ""};
    QTest::newRow("the third takes the first's address")
        << "198.19.0.10" << QStringList{"duplicate-ip", "", "duplicate-ip"};
    // The PC's default route goes through the office router.
    QTest::newRow("outside the plant network")
        << "203.0.113.12" << QStringList{"", "", "other-subnet"};
}

void TestVarnexctl::discoverNamesProblems() {
    QFETCH(QString, thirdIp);
    QFETCH(QStringList, problems);
    QCOMPARE(varnexctl({"set", kThird, "--ip", thirdIp, "--no-verify"}).rc, 0);
    const Run r = varnexctl({"discover", "--timeout", "1", "--json"});
    varnexctl({"set", kThird, "--ip", "198.19.0.12", "--no-verify"});
    QCOMPARE(r.rc, 0);
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(all.size(), 3);
    QStringList seen;
    for (const QString& mac : {kFirst, kSecond, kThird}) {
        for (const QJsonValue& g : all) {
            if (g["mac"].toString() != mac) continue;
            QStringList codes;
            for (const QJsonValue& c : g["problems"].toArray()) codes << c.toString();
            seen << codes.join(QLatin1Char(','));
        }
    }
    QCOMPARE(seen, problems);
}

void TestVarnexctl::discoverExplains() {
    const Run r = varnexctl({"discover", "--timeout", "0.5", "--explain"});
    QCOMPARE(r.rc, 0);
    QVERIFY2(
        r.err.contains(QStringLiteral("plant: 198.18.0.1/15; up, running, broadcast, carrier\n")),
        qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("office: 198.51.100.5/30; up")));
    // What the Search counted: its request (and repeats) went out and came
    // back on both links; the gateways answered on the plant link alone.
    QVERIFY2(r.err.contains(QRegularExpression(
                 QStringLiteral("plant: .*\n  [1-3] requests? sent, [1-3] heard back, [1-9] "
                                "gateway repl"))),
             qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("Requests went out on office, but no gateway answered")));
    QVERIFY(!r.out.contains(QStringLiteral("plant:")));  // stdout keeps the data alone
}

// The PC's own namespace made to fail as operators' PCs do; each row puts it
// back. `nft` changes only this namespace: the test runs inside the harness.
void TestVarnexctl::explainsWhyNothingCame_data() {
    QTest::addColumn<QStringList>("breakIt");  // a command run in this namespace
    QTest::addColumn<QStringList>("mendIt");
    QTest::addColumn<QString>("conclusion");
    QTest::newRow("the plant link is down")
        << QStringList{"ip", "link", "set", "plant", "down"}
        << QStringList{"ip", "link", "set", "plant", "up"} << "plant is down";
    QTest::newRow("a firewall drops port 2058")
        << QStringList{"nft",
                       "add table inet varnex_test; add chain inet varnex_test in "
                       "{ type filter hook input priority 0; }; add rule inet varnex_test in "
                       "udp dport 2058 drop"}
        << QStringList{"nft", "delete table inet varnex_test"}
        << "Requests went out on plant, but this PC did not hear them come back: a firewall";
}

void TestVarnexctl::explainsWhyNothingCame() {
    QFETCH(QStringList, breakIt);
    QFETCH(QStringList, mendIt);
    QFETCH(QString, conclusion);
    if (QStandardPaths::findExecutable(breakIt.first()).isEmpty())
        QSKIP(qPrintable(breakIt.first() + QStringLiteral(" is not installed")));
    QCOMPARE(QProcess::execute(breakIt.first(), breakIt.mid(1)), 0);
    const auto mend = qScopeGuard([&] {
        QProcess::execute(mendIt.first(), mendIt.mid(1));
        // A link brought up again carries traffic a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(varnexctl({"discover", "--timeout", "0.3"}).rc == 0, 5000);
    });
    const Run r = varnexctl({"discover", "--timeout", "0.5", "--explain"});
    QCOMPARE(r.rc, 1);  // nobody answered
    QVERIFY2(r.err.contains(conclusion), qPrintable(r.err));
}

void TestVarnexctl::getVxcIsWhatTheWindowExports() {
    const QString ours = dir_.filePath(QStringLiteral("cli.vxc"));
    const Run r = varnexctl({"config", "get", kThird, "-o", ours});
    QCOMPARE(r.rc, 0);

    // The window, once varnexctl has let go of the port.
    FakeServices fake(10.0);
    TFormDetect form(fake.services);
    TConfigForm dialog(fake.services, &form);
    form.SetConfigForm(&dialog);
    form.FlatButton2Click();
    QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, 3, 5000);
    form.FlatButton6Click();
    for (int row = 0; row < 3; ++row) {
        if (form.RGrid->Cells(1, row).GetCellText() == kThird) form.RGrid->SetCurrentCell(0, row);
    }
    const QString theirs = dir_.filePath(QStringLiteral("window.vxc"));
    fake.prompts.fileAnswers.enqueue(theirs);
    WhileModal(dialog, [&] {
        QTRY_VERIFY_WITH_TIMEOUT(dialog.tabPanel3->isEnabled() &&
                                     !dialog.SerialGrid->Cells(1, 1).GetCellText().isEmpty(),
                                 5000);
        dialog.FlatButton9Click();
    });
    form.FlatButton8Click();
    QVERIFY(fake.prompts.errors.isEmpty());
    QCOMPARE(readFile(ours).toHex(), readFile(theirs).toHex());
    QCOMPARE(readFile(ours).size(), 84 + 56 * 2);
}

void TestVarnexctl::putAnEditedJsonFile() {
    QJsonObject doc = getJson(kFirst);
    setPath(doc, QStringLiteral("network.name"), QStringLiteral("Kiln 2"));
    setPath(doc, QStringLiteral("ports.1.alias"), QStringLiteral("Scale"));
    setPath(doc, QStringLiteral("ports.1.operation"), QStringLiteral("UDP_Client"));
    setPath(doc, QStringLiteral("lora.0.dest_id"), 4242);
    const QString path = dir_.filePath(QStringLiteral("edited.json"));
    writeFile(path, QJsonDocument(doc).toJson());

    const Run r = varnexctl({"config", "put", kFirst, path});
    QVERIFY2(r.rc == 0, qPrintable(r.out + r.err));
    const QJsonObject config = dumpOf(*sim_, 0)["config"].toObject();
    QCOMPARE(dumpOf(*sim_, 0)["name"].toString(), QStringLiteral("Kiln 2"));
    QCOMPARE(config["ports"].toArray()[1].toObject()["alias"].toString(), QStringLiteral("Scale"));
    QCOMPARE(config["lora"].toArray()[0].toObject()["destinationId"].toInt(), 4242);
    QCOMPARE(config["writes"].toString().right(6), QStringLiteral("NOOUUA"));
    QCOMPARE(varnexctl({"config", "diff", kFirst, path}).rc, 0);
}

void TestVarnexctl::diffShowsTheEditedFields() {
    QJsonObject doc = getJson(kFirst);
    const QString ip = doc["network"].toObject()["ip"].toString();
    setPath(doc, QStringLiteral("network.ip"), QStringLiteral("198.19.5.5"));
    setPath(doc, QStringLiteral("ports.0.src_port"), 4555);
    const QString path = dir_.filePath(QStringLiteral("diff.json"));
    writeFile(path, QJsonDocument(doc).toJson());
    const int srcPort = getJson(kFirst)["ports"].toArray()[0].toObject()["src_port"].toInt();

    const Run r = varnexctl({"config", "diff", kFirst, path});
    QCOMPARE(r.rc, 1);
    QCOMPARE(r.out, QStringLiteral("network.ip: %1 -> 198.19.5.5\nports[0].src_port: %2 -> 4555\n")
                        .arg(ip)
                        .arg(srcPort));
}

void TestVarnexctl::firmwareGoesOnAfterARefusal() {
    const QStringList offices = NetnsEnv::officeNamespaces();
    if (offices.isEmpty()) QSKIP("needs an office link for the second simulator");
    const QString refusing = QStringLiteral("00-1A-2B-00-00-21");
    auto other = NetnsEnv::startSimulatorIn(
        offices.first(),
        {"--count", "1", "--first-mac", refusing, "--quiet", "--fault", "fw-refuse=2"});
    QByteArray image(2000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 1);
    const QString path = dir_.filePath(QStringLiteral("image.bin"));
    writeFile(path, image);

    const Run r = varnexctl({"firmware", path, kFirst, refusing});
    other->write("quit\n");
    other->waitForFinished(3000);
    QCOMPARE(r.rc, 1);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(kFirst + QStringLiteral(": upgraded")), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(refusing + QStringLiteral(": FAILED")), qPrintable(lines[1]));
    QCOMPARE(readFile(dir_.filePath(kFirst + QStringLiteral(".bin"))), image);
}

void TestVarnexctl::badInputSendsNothing_data() {
    QTest::addColumn<QStringList>("args");
    // An edit of the file "in.json": path=value, or -path to remove the key. How
    // each kind of bad file is refused is tested on the reader; here, that nothing
    // is sent.
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QString>("message");
    const QString file = QStringLiteral("@in");
    QTest::newRow("unknown MAC") << QStringList{"config", "get", "00-1A-2B-00-00-99"} << "" << 1
                                 << "no gateway with MAC 00-1A-2B-00-00-99 answered";
    QTest::newRow("not a MAC") << QStringList{"set", "00-1A-2B", "--ip", "10.0.0.1"} << "" << 2
                               << "is not a MAC address";
    QTest::newRow("bad address") << QStringList{"set", kThird, "--mask", "255.255.0"} << "" << 2
                                 << "--mask: \"255.255.0\" is not an IPv4 address";
    QTest::newRow("nothing to set") << QStringList{"set", kThird} << "" << 2 << "nothing to set";
    QTest::newRow("short .vxc") << QStringList{"config", "put", kThird, "@short.vxc"} << "" << 2
                                << "short.vxc";
    QTest::newRow("missing key") << QStringList{"config", "put", kThird, file} << "-network.ip" << 2
                                 << "network.ip: missing";
    QTest::newRow("value that cannot be written")
        << QStringList{"config", "put", kThird, file} << "network.ip=\"300.1.1.1\"" << 2 << "300";
    QTest::newRow("unknown command") << QStringList{"reboot"} << "" << 2 << "unknown command";
    QTest::newRow("timeout nan") << QStringList{"discover", "--timeout", "nan"} << "" << 2
                                 << "--timeout: \"nan\" is not a number";
    QTest::newRow("timeout inf") << QStringList{"config", "get", kThird, "--timeout", "inf"} << ""
                                 << 2 << "--timeout: \"inf\" is not a number";
    QTest::newRow("endless file") << QStringList{"config", "put", kThird, "/dev/zero"} << "" << 2
                                  << "\"zero\" is too large for a configuration";
    QTest::newRow("escapes in a list value")
        << QStringList{"config", "put", kThird, file}
        << "network.network_type=\"\\u001b]0;x\\u0007\\u202eDHCP\"" << 2
        << "network.network_type: \"?]0;x?DHCP\" is not one of";
    QTest::newRow("escapes in a key")
        << QStringList{"config", "put", kThird, file} << "network.\x1b[8mx\u2066=1" << 2
        << "network.?[8mx: unknown key";
    QTest::newRow("escapes in a file name")
        << QStringList{"config", "put", kThird, "@gone\x1b[2J\u202e.json"} << "" << 2
        << "File not found: \"gone?[2J.json\"";
}

void TestVarnexctl::badInputSendsNothing() {
    QFETCH(QStringList, args);
    QFETCH(QString, edit);
    QFETCH(int, rc);
    QFETCH(QString, message);
    static const QJsonObject base = getJson(kThird);
    writeFile(dir_.filePath(QStringLiteral("in.json")), edited(base, edit));
    writeFile(dir_.filePath(QStringLiteral("short.vxc")), QByteArray(50, '\x02'));
    for (QString& a : args) {
        if (a == QLatin1String("@in")) a = dir_.filePath(QStringLiteral("in.json"));
        if (a.startsWith(QLatin1Char('@'))) a = dir_.filePath(a.mid(1));
    }

    const QJsonObject before = dumpOf(*sim_, 2);
    const Run r = varnexctl(args);
    QCOMPARE(r.rc, rc);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY2(!holdsControls(r.err), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(dumpOf(*sim_, 2), before);
}

void TestVarnexctl::portHeldByAnotherProgram() {
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 2058));
    const Run r = varnexctl({"discover", "--timeout", "0.5"});
    QCOMPARE(r.rc, 1);
    QVERIFY2(r.err.contains(QStringLiteral("port 2058 is already in use")), qPrintable(r.err));

    const Run explained = varnexctl({"discover", "--timeout", "0.5", "--explain"});
    QCOMPARE(explained.rc, 1);
    QVERIFY2(explained.err.contains(QStringLiteral("Port 2058 is held by another program.")),
             qPrintable(explained.err));
}

// A fleet at work as an operator's scripts drive it: back up, push one file,
// audit, restore one gateway, replace another; each step checked in what the
// simulated gateways now hold.
void TestVarnexctl::fleetSession() {
    const QString backups = dir_.filePath(QStringLiteral("backups"));
    QDir().mkpath(backups);
    const auto held = [&](int i, const char* field) {
        return dumpOf(*sim_, i)[QStringLiteral("config")]
            .toObject()[QStringLiteral("network")]
            .toObject()[QString::fromLatin1(field)]
            .toString();
    };
    // A name from the network that would leave the folder and move the cursor.
    QCOMPARE(varnexctl({"set", kThird, "--name", "../../\x1b[2Jx", "--no-verify"}).rc, 0);
    Run r = varnexctl({"backup", backups, "--parallel", "3", "--json"});
    QCOMPARE(r.rc, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 3);
    const QStringList files = QDir(backups).entryList(QDir::Files);
    QCOMPARE(files.size(), 3);
    for (const QString& f : files) QVERIFY2(!holdsControls(f) && !f.contains(".."), qPrintable(f));

    // One file for all: each keeps its address and name, and takes the DNS.
    const QString file = dir_.filePath(QStringLiteral("line.json"));
    writeFile(file, edited(getJson(kFirst), QStringLiteral("network.dns=\"198.19.0.53\"")));
    const QStringList ips{held(0, "ip"), held(1, "ip"), held(2, "ip")};
    const QString firstName = held(0, "name"), secondName = held(1, "name");
    r = varnexctl({"config", "push", file, "--all", "--dry-run"});
    QCOMPARE(r.rc, 0);
    QVERIFY2(r.out.contains("would change network.dns"), qPrintable(r.out));
    QVERIFY(held(1, "dns") != QStringLiteral("198.19.0.53"));  // a dry run writes nothing
    QCOMPARE(varnexctl({"config", "audit", file, kSecond}).rc, 1);
    QCOMPARE(varnexctl({"config", "push", file, "--all"}).rc, 0);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(held(i, "dns"), QStringLiteral("198.19.0.53"));
        QCOMPARE(held(i, "ip"), ips[i]);
    }
    QCOMPARE(held(1, "name"), secondName);
    QCOMPARE(varnexctl({"config", "audit", file, "--all"}).rc, 0);

    // Restore one gateway from its newest backup (DNS as it was then).
    QCOMPARE(varnexctl({"restore", backups, kSecond}).rc, 0);
    QVERIFY(held(1, "dns") != QStringLiteral("198.19.0.53"));
    QCOMPARE(varnexctl({"restore", backups}).rc, 2);  // neither MACs nor --all

    // The first gateway "fails"; the third stands in: refused while the first
    // answers, then forced, and it answers with the first's address and name.
    r = varnexctl({"replace", kFirst, kThird, "--from", backups});
    QCOMPARE(r.rc, 1);
    QVERIFY2(r.err.contains(kFirst + " still answers"), qPrintable(r.err));
    r = varnexctl({"replace", kFirst, kThird, "--from", backups, "--force"});
    QVERIFY2(r.rc == 0, qPrintable(r.out + r.err));
    QCOMPARE(held(2, "ip"), ips[0]);
    QCOMPARE(held(2, "name"), firstName);
    // Put the third back as it was for the tests after this one.
    QCOMPARE(varnexctl({"set", kThird, "--ip", ips[2], "--name", "Yard", "--no-verify"}).rc, 0);
}

void TestVarnexctl::ctrlCFinishesWhatRuns() {
    sim_->write("fault delay=40\n");
    dumpOf(*sim_, 0);
    const auto undo = qScopeGuard([&] {
        sim_->write("unfault delay\n");
        dumpOf(*sim_, 0);
    });
    const QString image = dir_.filePath(QStringLiteral("slow.bin"));
    writeFile(image, QByteArray(1280, 'x'));  // 10 chunks of 40 ms: about half a second each
    QProcess cli;
    cli.start(QStringLiteral(VARNEX_BUILD_DIR "/varnexctl"),
              {"firmware", image, kFirst, kSecond, kThird, "--parallel", "1", "--json"});
    QVERIFY(cli.waitForStarted());
    QByteArray progress;
    QTRY_VERIFY_WITH_TIMEOUT((progress += cli.readAllStandardError()).contains("started"), 5000);
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(15000));
    QCOMPARE(cli.exitCode(), 130);
    const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
    QCOMPARE(results.size(), 3);
    QCOMPARE(results[0].toObject()["result"].toString(), QStringLiteral("done"));
    QCOMPARE(results[2].toObject()["result"].toString(), QStringLiteral("not started"));
}

QTEST_MAIN(TestVarnexctl)
#include "tst_varnexctl.moc"

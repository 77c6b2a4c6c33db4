#include "config/ConfigJson.h"
#include "fleet/AddressPlan.h"
#include "fleet/Backup.h"
#include "fleet/FleetConfig.h"
#include "fleet/ListExport.h"
#include "support/ErrorOf.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDateTime kTime(QDate(2026, 12, 10), QTime(5, 15), Qt::UTC);
const QString kMac1 = "00-1A-2B-00-00-01";

// A configuration whose every field depends on n, so two of them differ everywhere.
DeviceConfig config(int n, int rows = 2, const QString& name = {}) {
    const QString x = QString::number(n);
    DeviceConfig c{
        {n % 2, "198.18.0." + x, "198.18.0.1" + x, "255.255.25" + x + ".0", "198.18.1." + x,
         name.isNull() ? "G" + x : name, "198.18.2." + x, "900" + x, n % 2, n % 2, n % 2, n % 2,
         n % 2 == 0, n % 2, "10.0." + x + ".1", "255.255." + x + ".0", rows, n, 0},
        {},
        {}};
    for (int r = 0; r < rows; ++r) {
        c.ports << PortRow{"COM" + x, n % 3, "400" + x, "0.0.0." + x, x, "6" + x, x, {}};
        c.loras << LoRaRow{n, n % 6, "100" + x, n % 2, n % 2};
    }
    return c;
}

// The value at a document path such as "network.ip" or "ports[1].alias".
QJsonValue at(const DeviceConfig& c, const QString& path) {
    QJsonValue v = ConfigToJson(c, {});
    for (const QString& step : path.split(QRegularExpression("[.\\[\\]]+"), Qt::SkipEmptyParts))
        v = v.isArray() ? v.toArray()[step.toInt()] : v.toObject()[step];
    return v;
}

// What f gives, or the text of the error it raises.
template <class F>
QString resultOf(F f) {
    QString got;
    const QString error = errorOf([&] { got = f(); });
    return error == "<no error>" ? got : error;
}

// "1@198.18.0.10 9@...": gateway 1 at that address in 198.18.0.0/24 (gateway .1,
// VarnexView .5), named G1.
QVector<ListedGateway> listed(const QString& texts) {
    QVector<ListedGateway> out;
    for (const QString& s : texts.split(' ', Qt::SkipEmptyParts)) {
        out.append({QString(kMac1).replace("01", s.section('@', 0, 0).rightJustified(2, '0')),
                    "G" + s.section('@', 0, 0), s.section('@', 1), "255.255.255.0", "198.18.0.1",
                    "198.18.0.5"});
    }
    return out;
}

// "01 ip mask name" or "01: why", lines joined by " | ".
QString lines(const QVector<PlannedGateway>& plan) {
    QStringList out;
    for (const PlannedGateway& p : plan)
        out << p.now.mac.right(2) +
                   (p.refused() ? ": " + p.refusal : ' ' + p.ip + ' ' + p.mask + ' ' + p.name);
    return out.join(" | ");
}
}  // namespace

class TestFleet : public QObject {
    Q_OBJECT
private slots:
    void identityKept_data();
    void identityKept();
    void portCountsAndDrift_data();
    void portCountsAndDrift();
    void csvPlan_data();
    void csvPlan();
    void addressRange_data();
    void addressRange();
    void planFromCsv_data();
    void planFromCsv();
    void backupName_data();
    void backupName();
    void backupsNeverReplace();
    void newestBackup_data();
    void newestBackup();
    void listCsv_data();
    void listCsv();
};

void TestFleet::identityKept_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("fromGateway");
    for (const char* p :
         {"network.network_type", "network.ip", "network.mask", "network.gateway", "network.name",
          "network.lan_ip", "network.lan_mask", "network.lan_port", "network.echo"})
        QTest::newRow(p) << p << true;
    for (const char* p : {"network.dns", "network.view_ip", "network.view_port", "network.bridge",
                          "ports[1].alias", "ports[0].operation", "lora[1].dest_id"})
        QTest::newRow(p) << p << false;
}

void TestFleet::identityKept() {
    QFETCH(QString, path);
    QFETCH(bool, fromGateway);
    const DeviceConfig file = config(1), gateway = config(2);
    QVERIFY(at(file, path) != at(gateway, path));
    QCOMPARE(at(ConfigForTarget(file, gateway), path), at(fromGateway ? gateway : file, path));
}

void TestFleet::portCountsAndDrift_data() {
    QTest::addColumn<int>("fileRows");
    QTest::addColumn<int>("gatewayRows");
    QTest::addColumn<QString>("dns");  // the gateway's after the write; the file has 198.18.1.1
    QTest::addColumn<QString>("expected");  // the refusal, or the drift from the file
    QTest::newRow("identity alone differs") << 2 << 2 << "198.18.1.1"
                                            << "";
    QTest::newRow("a setting differs") << 2 << 2 << "198.18.1.9"
                                       << "network.dns: 198.18.1.9 -> 198.18.1.1";
    QTest::newRow("file has more ports") << 4 << 2 << ""
                                         << "the file has 4 ports, the gateway 2";
}

void TestFleet::portCountsAndDrift() {
    QFETCH(int, fileRows);
    QFETCH(int, gatewayRows);
    QFETCH(QString, dns);
    const DeviceConfig file = config(1, fileRows);
    QTEST(resultOf([&] {
              DeviceConfig written = ConfigForTarget(file, config(2, gatewayRows));
              written.network.dns = dns;
              return DriftFromReference(written, file).join(" | ");
          }),
          "expected");
}

void TestFleet::csvPlan_data() {
    // The rows as "line mac ip mask gateway view_ip name", or the refusal.
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("expected");
    const QByteArray header = "mac,ip,mask,gateway,view_ip,name";
    const QByteArray row = "00-1A-2B-00-00-01,198.18.0.20,255.255.255.0,198.18.0.1,198.18.0.5,Kiln";
    QTest::newRow("BOM, CRLF, trailing empty line")
        << "\xEF\xBB\xBF" + header + "\r\n" + row + "\r\n\r\n"
        << "2 00-1A-2B-00-00-01 198.18.0.20 255.255.255.0 198.18.0.1 198.18.0.5 Kiln";
    QTest::newRow("; between fields, quoted ; and doubled quotes")
        << QByteArray("MAC;Name;IP\n00:1a:2b:00:00:01;\"Pump \"\"A\"\"; east\";\n")
        << "2 00-1A-2B-00-00-01 - - - - Pump \"A\"; east";
    QTest::newRow("CR line ends, blank and separator-only lines")
        << QByteArray("mac,ip\r\r,\r00-1A-2B-00-00-02, 198.18.0.21 \r")
        << "4 00-1A-2B-00-00-02 198.18.0.21 - - - -";
    QTest::newRow("bad MAC on line 3") << header + "\n" + row + "\n00-1A-2B-00-00-0G,,,,,\n"
                                       << "line 3: mac \"00-1A-2B-00-00-0G\" is not a MAC address";
    QTest::newRow("line break inside an address")
        << QByteArray("mac,gateway\n00-1A-2B-00-00-01,\"198.18.\n0.1\"\n")
        << "line 2: gateway \"198.18.?0.1\" is not an IPv4 address";
    QTest::newRow("wrong number of fields") << header + "\n00-1A-2B-00-00-01,198.18.0.20\n"
                                            << "line 2: 2 fields, and the header names 6 columns";
    QTest::newRow("unterminated quote") << QByteArray("mac,name\n00-1A-2B-00-00-01,\"Kiln\n\n")
                                        << "line 2: a quoted field is not closed";
    QTest::newRow("duplicate MAC") << QByteArray("mac\n00-1A-2B-00-00-01\n\n00-1a-2b-00-00-01\n")
                                   << "line 4: 00-1A-2B-00-00-01 is also on line 2";
    QTest::newRow("not UTF-8 on line 3")
        << QByteArray("mac,name\r00-1A-2B-00-00-01,a\r\n00-1A-2B-00-00-02,K\xe4ln\n")
        << "line 3: the text is not UTF-8";
    QTest::newRow("name over 32 bytes")
        << "mac,name\n00-1A-2B-00-00-01," + QByteArray(31, 'a') + "\xc3\xa4"
        << "line 2: name is 33 bytes long; a gateway holds at most 32";
    QTest::newRow("too large") << header + QByteArray(CsvPlanMaxBytes, '\n')
                               << "the plan is larger than 1024 KiB";
}

void TestFleet::csvPlan() {
    QFETCH(QByteArray, csv);
    QTEST(resultOf([&] {
              QStringList out;
              for (const CsvPlanRow& r : ParseCsvPlan(csv)) {
                  QStringList cells{
                      QString::number(r.line), r.mac, r.ip, r.mask, r.gateway, r.viewIp, r.name};
                  for (QString& c : cells) c = c.isEmpty() ? "-" : c;
                  out << cells.join(' ');
              }
              return out.join(" | ");
          }),
          "expected");
}

void TestFleet::addressRange_data() {
    // The plan (listed() texts), the range (start mask gateway view_ip), this PC's
    // addresses and the unplanned gateways, joined by " | ".
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");  // lines(), or the refusal of the range
    QTest::newRow("skips this PC, an unplanned gateway, the plan's gateway and VarnexView")
        << "1@198.18.0.50 | 198.18.0.1 255.255.255.0 198.18.0.1 198.18.0.3 | 198.18.0.2 fe80::1 | "
           "9@198.18.0.4"
        << "01 198.18.0.5 255.255.255.0 G1";
    QTest::newRow("two planned gateways swap")
        << "2@198.18.0.21 1@198.18.0.20 | 198.18.0.20 255.255.255.0 198.18.0.1 198.18.0.5 |  | "
        << "02 198.18.0.20 255.255.255.0 G2 | 01 198.18.0.21 255.255.255.0 G1";
    QTest::newRow("range past the end of the subnet refuses every line")
        << "1@198.18.0.50 2@198.18.0.51 | 198.18.0.6 255.255.255.248 198.18.0.1 198.18.1.5 |  | "
        << "01: the range runs past the end of 198.18.0.0/29: from 198.18.0.6 it has room for "
           "1 of the 2 gateways | 02: the range runs past the end of 198.18.0.0/29: from "
           "198.18.0.6 it has room for 1 of the 2 gateways";
    QTest::newRow("subnet at the top of the address space")
        << "1@198.18.0.50 | 255.255.255.254 255.255.255.252 0.0.0.0 0.0.0.0 |  | "
        << "01 255.255.255.254 255.255.255.252 G1";
    QTest::newRow("gateway outside the subnet")
        << "1@198.18.0.50 | 198.18.0.20 255.255.255.0 10.0.0.1 198.18.0.5 |  | "
        << "the gateway 10.0.0.1 is outside 198.18.0.0/24";
}

void TestFleet::addressRange() {
    QFETCH(QString, setup);
    const QStringList p = setup.split(" | "), r = p[1].split(' ');
    QTEST(resultOf([&] {
              return lines(PlanAddressRange(listed(p[0]), {r[0], r[1], r[2], r[3]},
                                            {p[2].split(' ', Qt::SkipEmptyParts), listed(p[3])}));
          }),
          "expected");
}

void TestFleet::planFromCsv_data() {
    QTest::addColumn<QString>("csv");  // a leading "NN," stands for that gateway's MAC
    QTest::addColumn<QString>("expected");
    QTest::newRow("two planned gateways swap") << "mac,ip\n01,198.18.0.11\n02,198.18.0.10"
                                               << "01 198.18.0.11 255.255.255.0 G1 | "
                                                  "02 198.18.0.10 255.255.255.0 G2";
    QTest::newRow("empty cells keep what the gateway reports") << "mac,name,mask\n01,,"
                                                               << "01 198.18.0.10 255.255.255.0 G1";
    // Both clashing gateways keep their addresses, so the one given 01's is refused next.
    QTest::newRow("one address for two gateways, and what follows")
        << "mac,ip\n01,198.18.0.20\n02,198.18.0.20\n09,198.18.0.10"
        << "01: 198.18.0.20 is also given to 00-1A-2B-00-00-02 | "
           "02: 198.18.0.20 is also given to 00-1A-2B-00-00-01 | "
           "09: 198.18.0.10 stays with 00-1A-2B-00-00-01 (G1), whose line is refused";
    QTest::newRow("this PC's address") << "mac,ip\n01,198.18.0.99"
                                       << "01: 198.18.0.99 is this PC's address";
    QTest::newRow("kept by a gateway outside the plan")
        << "mac,ip\n01,198.18.0.30"
        << "01: 198.18.0.30 stays with 00-1A-2B-00-00-09 (G9), which is not in the plan";
    QTest::newRow("not listed by the Search")
        << "mac,ip\n07,198.18.0.40"
        << "07: line 2: 00-1A-2B-00-00-07 was not listed by the Search";
    QTest::newRow("a refused gateway keeps its address")
        << "mac,ip,gateway\n02,198.18.0.10,\n01,198.18.0.11,10.0.0.1"
        << "02: 198.18.0.10 stays with 00-1A-2B-00-00-01 (G1), whose line is refused | "
           "01: the gateway 10.0.0.1 is outside 198.18.0.0/24";
    QTest::newRow("the plan's gateway address")
        << "mac,ip\n01,198.18.0.1"
        << "01: 198.18.0.1 is a gateway address of the plan";
}

void TestFleet::planFromCsv() {
    QFETCH(QString, csv);
    csv.replace(QRegularExpression("^(\\d\\d),", QRegularExpression::MultilineOption),
                "00-1A-2B-00-00-\\1,");
    QTEST(lines(PlanFromRows(ParseCsvPlan(csv.toUtf8()),
                             listed("1@198.18.0.10 2@198.18.0.11 9@198.18.0.30"), {"198.18.0.99"})),
          "expected");
}

void TestFleet::backupName_data() {
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const QString time = "_20261210T051500Z.json";
    QTest::newRow("blanks dropped") << kMac1 << "Pump house" << kMac1 + "_Pumphouse" + time;
    QTest::newRow("path climbing") << kMac1 << "../../etc/x" << kMac1 + "_etcx" + time;
    QTest::newRow("control characters") << kMac1 << "a\x01\n\\b\t_-c" << kMac1 + "_ab_-c" + time;
    QTest::newRow("long name cut")
        << kMac1 << QString(40, 'x') << kMac1 + "_" + QString(32, 'x') + time;
    QTest::newRow("not a MAC") << "../00-1A"
                               << "K"
                               << "\"../00-1A\" is not a MAC address";
}

void TestFleet::backupName() {
    QFETCH(QString, mac);
    QFETCH(QString, name);
    QTEST(resultOf([&] { return BackupFileName(mac, name, kTime, BackupFormat::Json); }),
          "expected");
}

void TestFleet::backupsNeverReplace() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("backups");
    QVERIFY(QDir().mkdir(folder));
    const DeviceConfig c = config(1, 2, "../Pump house");
    const GatewayIdentity id{"00-1a-2b-00-00-01", "VX-G200", "1.0.3", 0, kTime};
    const QString first = WriteBackup(folder, c, id, BackupFormat::Json);
    const QByteArray firstBytes = ConfigJsonBytes(c, {kMac1, "VX-G200", "1.0.3", 0, kTime});
    // Two more in the same second, one as records; one into a folder that is not there.
    WriteBackup(folder, c, id, BackupFormat::Json);
    WriteBackup(folder, c, id, BackupFormat::Vxc);
    QVERIFY(errorOf([&] {
                WriteBackup(dir.filePath("gone"), c, id, BackupFormat::Json);
            }).startsWith("The backup could not be written"));
    const QString stem = kMac1 + "_Pumphouse_20261210T051500Z";
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{stem + ".json", stem + ".vxc", stem + "_2.json"}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"backups"});
    QFile f(first);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), firstBytes);  // what the backup records, unchanged by the later ones
}

void TestFleet::newestBackup_data() {
    QTest::addColumn<QStringList>("files");  // "name|mac|time" (time empty: none), or "name|=bytes"
    QTest::addColumn<QString>("expected");   // the file chosen
    QTest::addColumn<QStringList>("skipped");
    QTest::newRow("recorded time, not the name")
        << QStringList{"z.json|" + kMac1 + "|2026-12-10T05:15:00Z",
                       "a.json|" + kMac1 + "|2026-12-10T05:15:00.500Z",
                       "b.json|00-1A-2B-00-00-02|2027-01-01T00:00:00Z"}
        << "a.json" << QStringList();
    QTest::newRow("unreadable and untimed files are listed")
        << QStringList{"a.json|=[1]", "b.json|" + kMac1 + "|",
                       "c.json|" + kMac1 + "|2026-12-10T05:15:00Z", "d.txt|=ignored"}
        << "c.json"
        << QStringList{
               "a.json: The configuration file \"a.json\" cannot be read: it does not hold a "
               "JSON object",
               "b.json: it records no time"};
}

void TestFleet::newestBackup() {
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    for (const QString& text : files) {
        const QStringList p = text.split('|');
        QJsonObject doc = ConfigToJson(config(1), {p[1], "VX", "1", 0, {}});
        if (p.size() > 2 && !p[2].isEmpty()) doc.insert("time", p[2]);
        QFile f(dir.filePath(p[0]));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(p[1].startsWith('=') ? p[1].mid(1).toUtf8() : QJsonDocument(doc).toJson());
    }
    const NewestBackupResult r = NewestBackup(dir.path(), "00:1a:2b:00:00:01");
    QTEST(QFileInfo(r.path).fileName(), "expected");
    QTEST(r.skipped, "skipped");
}

void TestFleet::listCsv_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("cells");  // the name's cell onward
    QTest::newRow("comma") << "Kiln, east" << QByteArray("\"Kiln, east\",198");
    QTest::newRow("quote doubled") << "say \"hi\"" << QByteArray("\"say \"\"hi\"\"\",198");
    QTest::newRow("formula =") << "=HYPERLINK(\"x\")"
                               << QByteArray("\"'=HYPERLINK(\"\"x\"\")\",198");
    QTest::newRow("formula -") << "-2+3" << QByteArray("'-2+3,198");
    QTest::newRow("tab first") << "\t=1" << QByteArray("'\t=1,198");
    QTest::newRow("problems joined")
        << "K"
        << QByteArray("K,198.18.0.10,255.255.255.0,198.18.0.1,198.18.0.5,eth1,dup-ip no-reply\r\n");
}

void TestFleet::listCsv() {
    QFETCH(QString, name);
    const DiscoveryReply r{"VX-G200",       kMac1,        "1.0.3",      name, "198.18.0.10",
                           "255.255.255.0", "198.18.0.1", "198.18.0.5", 3};
    const QByteArray csv = GatewayListCsv({{r, "eth1", {"dup-ip", "no-reply"}}});
    const QByteArray head =
        "mac,model,version,name,ip,mask,gateway,view_ip,interface,problems\r\n" + kMac1.toLatin1() +
        ",VX-G200,1.0.3,";
    QFETCH(QByteArray, cells);
    QVERIFY2(csv.startsWith(head + cells), csv.constData());
}

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"

#include "config/ConfigFile.h"
#include "link/VarnexError.h"

#include <QTemporaryDir>
#include "support/ErrorOf.h"

#include <QtTest>

#include <sys/resource.h>
#include <csignal>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");

QByteArray hex(const QByteArray& h) {
    return QByteArray::fromHex(h);
}

DeviceConfig twoRows() {
    DeviceConfig c;
    NetworkSettings& n = c.network;
    n.networkType = 1;
    n.ipAddress = "198.18.0.10";
    n.gateway = "198.18.0.1";
    n.subnetMask = "255.254.0.0";
    n.dns = "198.18.0.1";
    n.deviceName = "GW-1";
    n.varnexViewIp = "198.18.0.5";
    n.varnexViewPort = "8080";
    n.telnet = 1;
    n.web = 1;
    n.lanPortPresent = true;
    n.bridge = 1;
    n.lanIpAddress = "10.0.0.1";
    n.lanSubnetMask = "255.0.0.0";
    n.portCount = 2;
    n.echoByte = 5;
    n.sourceId = 0x123456;  // not kept in a file
    for (int r = 0; r < 2; ++r) {
        PortRow p;
        p.alias = QStringLiteral("COM%1").arg(r + 1);
        p.operation = 2;
        p.srcPort = QString::number(4001 + r);
        p.destIp = "0.0.0.0";
        p.destPort = "0";
        p.alive = "60";
        p.latency = "0";
        c.ports << p;
        LoRaRow l;
        l.channel = r;
        l.spreadingFactor = 0;
        l.destinationId = QString::number(r + 1);
        l.aes = 0;
        l.protocolVersion = 0;
        c.loras << l;
    }
    return c;
}

// The 196 bytes of twoRows() for 00-1A-2B-3C-4D-5E.
QByteArray twoRowsFile() {
    return hex(
        "024e001a2b3c4d5e"
        "01"
        "c612000a"
        "c6120001"
        "fffe0000"
        "c6120001" +
        QByteArray("GW-1").toHex() + QByteArray(28, '\0').toHex() +
        "c6120005"
        "901f"
        "01000001"
        "01"
        "01"
        "0a000001"
        "ff000000"
        "00"
        "02"
        "05"
        "000000"
        "03"
        // O row 0, then row 1
        "024f001a2b3c4d5e"
        "00"
        "02"
        "a10f" +
        QByteArray("COM1").toHex() + QByteArray(12, '\0').toHex() +
        "00000000"
        "0000"
        "3c00"
        "0000"
        "03"
        "024f001a2b3c4d5e"
        "01"
        "02"
        "a20f" +
        QByteArray("COM2").toHex() + QByteArray(12, '\0').toHex() +
        "00000000"
        "0000"
        "3c00"
        "0000"
        "03"
        // U row 0, then row 1
        "0255001a2b3c4d5e"
        "00"
        "01"
        "07"
        "010000"
        "00"
        "01"
        "03"
        "0255001a2b3c4d5e"
        "01"
        "02"
        "07"
        "020000"
        "00"
        "01"
        "03");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}
}  // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    void exportTwoRows();
    void importReadsRowsByTheirOwnIndex();
    void importedFileWritesToTheSelectedGateway();
    void rowsWithNothingSelectedImportAgain();
    void importRefusesDamagedFiles_data();
    void importRefusesDamagedFiles();
    void importOfMissingOrEndlessFile();
    void failedBuildLeavesOldFile();
    void failedWriteLeavesOldFile();
    void exportToMissingFolder();
};

void TestConfigFile::exportTwoRows() {
    QTemporaryDir dir;
    const QString path = dir.filePath("default.vxc");
    writeAll(path, QByteArray(500, 'x'));  // replaced whole, not overwritten in place
    ExportConfigFile(path, kMac, twoRows());
    const QByteArray file = readAll(path);
    QCOMPARE(file.size(), 196);
    QCOMPARE(file.toHex(' '), twoRowsFile().toHex(' '));
}

void TestConfigFile::importReadsRowsByTheirOwnIndex() {
    QByteArray file = twoRowsFile();
    // Swap the two U records: each still fills the row it names.
    file = file.left(162) + file.mid(179, 17) + file.mid(162, 17) + QByteArray("trailing");
    const ConfigFileContents c = ParseConfigRecords(file, "x.vxc");
    QCOMPARE(c.network.portCount, 2);
    QCOMPARE(c.network.echoByte, 5);
    QCOMPARE(c.network.sourceId, quint32(0));
    QCOMPARE(c.network.deviceName, QStringLiteral("GW-1"));
    QCOMPARE(c.ports.size(), 2);
    QCOMPARE(c.ports[1].row, 1);
    QCOMPARE(c.ports[1].cells.srcPort, QStringLiteral("4002"));
    QCOMPARE(c.loras.size(), 2);
    QCOMPARE(c.loras[0].row, 1);
    QCOMPARE(c.loras[0].cells.destinationId, QStringLiteral("2"));
    QCOMPARE(c.loras[1].row, 0);

    const ConfigFileContents empty =
        ParseConfigRecords(twoRowsFile().left(84).replace(78, 1, "\0", 1), "empty.vxc");
    QCOMPARE(empty.network.portCount, 0);
    QVERIFY(empty.ports.isEmpty() && empty.loras.isEmpty());
}

void TestConfigFile::importedFileWritesToTheSelectedGateway() {
    const ConfigFileContents c = ParseConfigRecords(twoRowsFile(), "x.vxc");
    DeviceConfig d;
    d.network = c.network;
    d.ports.resize(2);
    d.loras.resize(2);
    for (const PortReply& p : c.ports) d.ports[p.row] = p.cells;
    for (const LoRaReply& l : c.loras) d.loras[l.row] = l.cells;
    QByteArray expected = twoRowsFile();
    for (int at : {2, 86, 125, 164, 181}) expected.replace(at, 6, hex("001a2b3c4d60"));
    QCOMPARE(BuildConfigRecords(QStringLiteral("00-1A-2B-3C-4D-60"), d).toHex(' '),
             expected.toHex(' '));
}

void TestConfigFile::rowsWithNothingSelectedImportAgain() {
    // What Export writes for a gateway that answered fewer LoRa rows than it
    // has ports (and a port row with no operation) must import again as it was shown.
    DeviceConfig shown = twoRows();
    shown.ports[1].operation = -1;
    shown.loras[1] = LoRaRow();
    const QByteArray file = BuildConfigRecords(kMac, shown);
    const ConfigFileContents c = ParseConfigRecords(file, "x.vxc");
    QCOMPARE(c.ports.size(), 2);
    QCOMPARE(c.ports[1].cells.operation, -1);
    QCOMPARE(c.loras[1].cells.channel, -1);
    QCOMPARE(c.loras[1].cells.spreadingFactor, -1);
    QCOMPARE(c.loras[1].cells.aes, -1);
    QCOMPARE(c.loras[1].cells.protocolVersion, -1);
    DeviceConfig again = shown;
    again.ports[1] = c.ports[1].cells;
    again.loras[1] = c.loras[1].cells;
    QCOMPARE(BuildConfigRecords(kMac, again).toHex(), file.toHex());
    // A gateway's reply with the same codes still means nothing to list.
    LoRaReply reply;
    QVERIFY(!ParseLoRaConfig(file.mid(84 + 2 * 39 + 17, 17), 2, reply));
}

void TestConfigFile::importRefusesDamagedFiles_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    const QByteArray good = twoRowsFile();
    const QString prefix =
        QStringLiteral("The configuration file \"site.vxc\" cannot be imported: ");
    QTest::newRow("empty") << QByteArray()
                           << prefix + "it holds 0 bytes, and a configuration needs at least 84";
    QTest::newRow("83 bytes") << good.left(83)
                              << prefix +
                                     "it holds 83 bytes, and a configuration needs at least 84";
    QTest::newRow("one byte short of 2 rows")
        << good.left(195) << prefix + "it holds 195 bytes, and a configuration of 2 rows needs 196";
    QTest::newRow("network record alone of 2 rows")
        << good.left(84) << prefix + "it holds 84 bytes, and a configuration of 2 rows needs 196";
    QTest::newRow("O record names row 2 of 2")
        << QByteArray(good).replace(123 + 8, 1, "\x02", 1)
        << prefix + "operation record 2 is for row 3, and the file has 2 rows";
    QTest::newRow("O record with operation 10")
        << QByteArray(good).replace(84 + 9, 1, "\x0a", 1)
        << prefix + "operation record 1 holds an unknown operation code";
    QTest::newRow("U record with channel 21")
        << QByteArray(good).replace(179 + 9, 1, "\x15", 1)
        << prefix + "LoRa record 2 holds a value outside its list";
    QTest::newRow("one byte over the cap")
        << QByteArray(kMaxConfigFileBytes + 1, '\0')
        << "The file \"site.vxc\" is too large for a configuration (over 4 MiB)";
}

void TestConfigFile::importRefusesDamagedFiles() {
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath("site.vxc");
    writeAll(path, file);
    QCOMPARE(errorOf([&] { ImportConfigFile(path); }), error);
}

void TestConfigFile::importOfMissingOrEndlessFile() {
    QTemporaryDir dir;
    QCOMPARE(errorOf([&] { ImportConfigFile(dir.filePath("gone.vxc")); }),
             QStringLiteral("File not found: \"gone.vxc\""));
    // Reports no size, and never ends.
    QCOMPARE(errorOf([&] { ImportConfigFile(QStringLiteral("/dev/zero")); }),
             QStringLiteral("The file \"zero\" is too large for a configuration (over 4 MiB)"));
}

void TestConfigFile::failedBuildLeavesOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("default.vxc");
    writeAll(path, "old contents");
    DeviceConfig c = twoRows();
    c.loras[1].destinationId = "abc";  // the very last record cannot be built
    QCOMPARE(errorOf([&] { ExportConfigFile(path, kMac, c); }),
             QStringLiteral("'abc' is not a valid integer value"));
    QCOMPARE(readAll(path), QByteArray("old contents"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"default.vxc"});
}

void TestConfigFile::failedWriteLeavesOldFile() {
    // A file size limit below the records' size makes the write fail part-way,
    // as a full disk would.
    QTemporaryDir dir;
    const QString path = dir.filePath("default.vxc");
    writeAll(path, "old contents");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = errorOf([&] { ExportConfigFile(path, kMac, twoRows()); });
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY2(error.startsWith("The configuration could not be exported to \"default.vxc\""),
             qPrintable(error));
    QCOMPARE(readAll(path), QByteArray("old contents"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"default.vxc"});
}

void TestConfigFile::exportToMissingFolder() {
    QTemporaryDir dir;
    const QString error =
        errorOf([&] { ExportConfigFile(dir.filePath("no/such/x.vxc"), kMac, twoRows()); });
    QCOMPARE(error, QStringLiteral("The configuration could not be exported to \"x.vxc\" (access "
                                   "denied or invalid file name); an existing file was left "
                                   "unchanged"));
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_config_file.moc"

#include "fleet/Backup.h"
#include "support/ErrorOf.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDateTime kTime(QDate(2026, 12, 10), QTime(5, 15, 0), Qt::UTC);

DeviceConfig named(const QString& name) {
    DeviceConfig c;
    c.network = NetworkSettings{0,
                                "198.18.0.10",
                                "198.18.0.1",
                                "255.255.255.0",
                                "198.18.0.1",
                                name,
                                "198.18.0.5",
                                "9000",
                                1,
                                0,
                                0,
                                1,
                                true,
                                0,
                                "10.0.0.1",
                                "255.0.0.0",
                                0,
                                0,
                                0};
    return c;
}

GatewayIdentity identity(const QString& mac, const QDateTime& time = kTime) {
    return {mac, "VX-G200", "1.0.3", 0, time};
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
}  // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void fileName_data();
    void fileName();
    void neverReplaces();
    void newest_data();
    void newest();
};

void TestBackup::fileName_data() {
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const QString m = "00-1A-2B-00-00-01";
    QTest::newRow("plain") << m << "Pump-house" << m + "_Pump-house_20261210T051500Z.json";
    QTest::newRow("blanks dropped") << m << "Pump house" << m + "_Pumphouse_20261210T051500Z.json";
    QTest::newRow("path climbing") << m << "../../etc/x" << m + "_etcx_20261210T051500Z.json";
    QTest::newRow("control characters and slashes")
        << m << "a\x01\n\\b/\t_c" << m + "_ab_c_20261210T051500Z.json";
    QTest::newRow("letters beyond ASCII kept")
        << m << "Kälte 2" << m + "_Kälte2_20261210T051500Z.json";
    QTest::newRow("nothing left") << m << "../.." << m + "_20261210T051500Z.json";
    QTest::newRow("long name capped")
        << m << QString(40, 'x') << m + "_" + QString(32, 'x') + "_20261210T051500Z.json";
    QTest::newRow("MAC with colons") << "00:1a:2b:00:00:01"
                                     << "K" << m + "_K_20261210T051500Z.json";
    QTest::newRow("not a MAC") << "../00-1A"
                               << "K"
                               << "\"../00-1A\" is not a MAC address";
}

void TestBackup::fileName() {
    QFETCH(QString, mac);
    QFETCH(QString, name);
    QString got;
    const QString error =
        errorOf([&] { got = BackupFileName(mac, name, kTime, BackupFormat::Json); });
    QTEST(error == "<no error>" ? got : error, "expected");
}

void TestBackup::neverReplaces() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("backups");
    QVERIFY(QDir().mkdir(folder));
    const DeviceConfig c = named("../../Pump house");
    const QString first = WriteBackup(folder, c, identity("00-1a-2b-00-00-01"), BackupFormat::Json);
    const QByteArray firstBytes = [&] {
        QFile f(first);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    // Two more in the same second, one as records; and one into a missing folder.
    const QString second =
        WriteBackup(folder, c, identity("00-1A-2B-00-00-01"), BackupFormat::Json);
    const QString vxc = WriteBackup(folder, c, identity("00-1A-2B-00-00-01"), BackupFormat::Vxc);
    QCOMPARE(errorOf([&] {
                 WriteBackup(dir.filePath("gone"), c, identity("00-1A-2B-00-00-01"),
                             BackupFormat::Json);
             }).left(29),
             QString("The backup could not be writt"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"00-1A-2B-00-00-01_Pumphouse_20261210T051500Z.json",
                          "00-1A-2B-00-00-01_Pumphouse_20261210T051500Z.vxc",
                          "00-1A-2B-00-00-01_Pumphouse_20261210T051500Z_2.json"}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"backups"});
    QCOMPARE(QFileInfo(second).fileName(),
             QString("00-1A-2B-00-00-01_Pumphouse_20261210T051500Z_2.json"));
    QFile f(first);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), firstBytes);
    const ConfigDocument back = LoadConfigDocument(first);
    QCOMPARE(back.identity.mac, QString("00-1A-2B-00-00-01"));
    QCOMPARE(back.identity.model, QString("VX-G200"));
    QCOMPARE(back.identity.version, QString("1.0.3"));
    QCOMPARE(back.identity.time, kTime);
    QCOMPARE(LoadConfigDocument(vxc).identity.mac, QString("00-1A-2B-00-00-01"));
}

void TestBackup::newest_data() {
    // Each file: "name|mac|time" (time empty: not recorded) or "name|=bytes".
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected");  // the file chosen, empty for none
    QTest::addColumn<QStringList>("skipped");

    QTest::newRow("recorded time, not the name")
        << QStringList{"z_newest_by_name.json|00-1A-2B-00-00-01|2026-12-10T05:15:00Z",
                       "a.json|00-1A-2B-00-00-01|2026-12-10T05:15:00.500Z",
                       "b.json|00-1A-2B-00-00-01|2025-01-01T00:00:00Z"}
        << "a.json" << QStringList();
    QTest::newRow("another gateway's newer backup")
        << QStringList{"a.json|00-1A-2B-00-00-01|2026-12-10T05:15:00Z",
                       "b.json|00-1A-2B-00-00-02|2027-01-01T00:00:00Z"}
        << "a.json" << QStringList();
    QTest::newRow("unreadable and untimed files are listed")
        << QStringList{"a.json|=not json", "b.json|00-1A-2B-00-00-01|",
                       "c.json|00-1A-2B-00-00-01|2026-12-10T05:15:00Z", "d.txt|=ignored"}
        << "c.json"
        << QStringList{
               "a.json: The configuration file \"a.json\" cannot be read: it is not valid "
               "JSON (illegal value at byte 1)",
               "b.json: it records no time"};
    QTest::newRow("a time in another form is refused")
        << QStringList{"a.json|00-1A-2B-00-00-01|2026-12-10 05:15:00"} << QString()
        << QStringList{
               "a.json: The configuration file \"a.json\" cannot be read: time: expected a "
               "UTC time such as \"2026-12-10T05:15:00Z\""};
}

void TestBackup::newest() {
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString& spec : files) {
        const QStringList p = spec.split('|');
        if (p[1].startsWith('=')) {
            writeFile(dir.filePath(p[0]), p[1].mid(1).toUtf8());
            continue;
        }
        QJsonObject doc = ConfigToJson(named("K"), identity(p[1], QDateTime()));
        if (!p[2].isEmpty()) doc.insert("time", p[2]);
        writeFile(dir.filePath(p[0]), QJsonDocument(doc).toJson());
    }
    const NewestBackupResult r = NewestBackup(dir.path(), "00:1a:2b:00:00:01");
    QCOMPARE(QFileInfo(r.path).fileName(), expected);
    QTEST(r.skipped, "skipped");
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"

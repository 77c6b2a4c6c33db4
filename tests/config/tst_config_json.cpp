#include "config/ConfigDiff.h"
#include "config/ConfigJson.h"
#include "link/Codecs.h"
#include "support/ErrorOf.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");

DeviceConfig rows(int count) {
    DeviceConfig c;
    NetworkSettings& n = c.network;
    n.networkType = 0;
    n.ipAddress = "198.18.0.10";
    n.gateway = "198.18.0.1";
    n.subnetMask = "255.254.0.0";
    n.dns = "198.18.0.1";
    n.deviceName = QStringLiteral("Kiln");
    n.varnexViewIp = "198.18.0.5";
    n.varnexViewPort = "8080";
    n.telnet = 1;
    n.bridge = 1;
    n.lanIpAddress = "10.0.0.1";
    n.lanSubnetMask = "255.0.0.0";
    n.portCount = count;
    n.echoByte = 5;
    for (int r = 0; r < count; ++r) {
        c.ports << PortRow{QStringLiteral("COM%1").arg(r + 1),
                           r == 1 ? 0 : 2,
                           QString::number(4001 + r),
                           "0.0.0.0",
                           "0",
                           "60",
                           "0",
                           {}};
        c.loras << LoRaRow{r, 0, QString::number(1000 + r), 0, 0};
    }
    return c;
}

// The value with the value at steps ("ports", "1", "index") set, or removed
// when v is undefined.
QJsonValue edited(const QJsonValue& at, QStringList steps, const QJsonValue& v) {
    if (steps.isEmpty()) return v;
    const QString step = steps.takeFirst();
    if (at.isArray()) {
        QJsonArray a = at.toArray();
        a[step.toInt()] = edited(a[step.toInt()], steps, v);
        return a;
    }
    QJsonObject o = at.toObject();
    if (steps.isEmpty() && v.isUndefined()) {
        o.remove(step);
    } else {
        o[step] = edited(o[step], steps, v);
    }
    return o;
}

// Edits the value at a path such as "network.ip", "ports[1].index" or "lora".
void edit(QJsonObject& o, const QString& path, const QJsonValue& v) {
    static const QRegularExpression separators(QStringLiteral("[.\\[\\]]+"));
    o = edited(o, path.split(separators, Qt::SkipEmptyParts), v).toObject();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

void patch(QByteArray& b, int offset, const QByteArray& hex) {
    b.replace(offset, hex.size() / 2, QByteArray::fromHex(hex));
}
}  // namespace

class TestConfigJson : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir.isValid()); }
    void vxcThroughJson_data();
    void vxcThroughJson();
    void refusedJson_data();
    void refusedJson();
    void times_data();
    void times();
    void refusedFile_data();
    void refusedFile();
    void differences_data();
    void differences();

private:
    QTemporaryDir dir;
};

void TestConfigJson::vxcThroughJson_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");  // empty: the same bytes

    const QByteArray two = BuildConfigRecords(kMac, rows(2));
    QTest::newRow("two rows as exported") << two << QByteArray();
    QTest::newRow("no rows") << BuildConfigRecords(kMac, rows(0)) << QByteArray();

    // What only the records carry: an odd echo byte, no LAN port, alias bytes
    // with data after the first 0x00, another MAC.
    QByteArray odd = two;
    patch(odd, 79, "a7");
    patch(odd, 67, "00");
    patch(odd, 84 + 12, "41420042ff00000000000000000000ff");
    for (int at : {2, 84 + 2, 84 + 39 + 2, 84 + 78 + 2, 84 + 78 + 17 + 2})
        patch(odd, at, "0a0b0c0d0e0f");
    QTest::newRow("echo, LAN port, alias tail, MAC") << odd << QByteArray();

    // List bytes that name no entry and extremes of every number.
    QByteArray edges = two;
    patch(edges, 8, "07");     // network type
    patch(edges, 63, "ff02");  // telnet nothing selected, SSH 2
    patch(edges, 68, "09");    // bridge
    patch(edges, 61, "ffff");  // VarnexView port 65535
    patch(edges, 25, QByteArray("K\xc3\xa4ln \xe2\x82\xac").toHex());  // UTF-8 name
    patch(edges, 84 + 39 + 12, "e9");                                  // Latin-1 alias
    patch(edges, 84 + 78 + 11, "ffffff");                              // destination 16777215
    QTest::newRow("codes outside lists, extremes") << edges << QByteArray();

    // Records out of row order and trailing bytes: read as the dialog reads
    // them, written as its Export writes them.
    QByteArray swapped = two;
    swapped.replace(84, 78, two.mid(84 + 39, 39) + two.mid(84, 39));
    swapped.replace(84 + 78, 34, two.mid(84 + 78 + 17, 17) + two.mid(84 + 78, 17));
    QTest::newRow("rows out of order, trailing bytes") << swapped + "xyz" << two;

    QByteArray lanByte = two;
    patch(lanByte, 67, "02");
    QByteArray lanHidden = two;
    patch(lanHidden, 67, "00");
    QTest::newRow("LAN-port byte 2 reads as no LAN port") << lanByte << lanHidden;
}

void TestConfigJson::vxcThroughJson() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    const QString vxc = dir.filePath("in.VXC"), json = dir.filePath("in.json"),
                  back = dir.filePath("back.vxc");
    writeAll(vxc, file);
    const ConfigDocument fromVxc = LoadConfigDocument(vxc);
    QCOMPARE(fromVxc.identity.mac, DecodeMac(file.mid(2, 6)));
    SaveConfigDocument(json, fromVxc.config, fromVxc.identity);
    const ConfigDocument fromJson = LoadConfigDocument(json);
    SaveConfigDocument(back, fromJson.config, fromJson.identity);
    QCOMPARE(readAll(back).toHex(), (expected.isEmpty() ? file : expected).toHex());
    QVERIFY(ConfigDifferences(fromVxc.config, fromJson.config, DiffRows::All).isEmpty());
}

void TestConfigJson::refusedJson_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");  // undefined: the key is removed
    QTest::addColumn<QString>("error");

    const QJsonValue gone(QJsonValue::Undefined);
    QTest::newRow("missing network key") << "network.ip" << gone << "network.ip: missing";
    QTest::newRow("missing row key") << "lora[1].dest_id" << gone << "lora[1].dest_id: missing";
    QTest::newRow("list as number")
        << "lora[0].sf" << QJsonValue(7) << "lora[0].sf: expected a string or null";
    QTest::newRow("address as number")
        << "network.gateway" << QJsonValue(1) << "network.gateway: expected a string";
    QTest::newRow("number as text") << "ports[1].src_port" << QJsonValue("4001")
                                    << "ports[1].src_port: expected a number or null";
    QTest::newRow("fraction") << "network.view_port" << QJsonValue(80.5)
                              << "network.view_port: expected a whole number";
    QTest::newRow("network code above a byte")
        << "network.bridge" << QJsonValue(256)
        << "network.bridge: expected a string, null or a code from 0 to 255";
    QTest::newRow("text not in list")
        << "ports[1].operation" << QJsonValue("Foo")
        << "ports[1].operation: \"Foo\" is not one of Disable, COM_Redirector, TCP_Server, "
           "TCP_Client, TCP_Broadcast, TCP_Multiplex, UDP_Server, UDP_Client, "
           "User_Application, RFC2217";
    QTest::newRow("index repeated") << "ports[1].index" << QJsonValue(0)
                                    << "ports[1].index: row 0 is given twice (also by ports[0])";
    QTest::newRow("index out of range") << "lora[0].index" << QJsonValue(2)
                                        << "lora[0].index: 2 is out of range (0 to 1 for 2 rows)";
    QTest::newRow("misspelt key") << "network.ecko" << QJsonValue(1) << "network.ecko: unknown key";
    QTest::newRow("echo above a byte")
        << "network.echo" << QJsonValue(300) << "network.echo: 300 is outside 0..255";
    // Every number is held to what its datagram field can carry.
    QTest::newRow("dest_port far too large")
        << "ports[0].dest_port" << QJsonValue(500999999999993.0)
        << "ports[0].dest_port: 500999999999993 is outside 0..65535";
    QTest::newRow("src_port negative")
        << "ports[1].src_port" << QJsonValue(-1) << "ports[1].src_port: -1 is outside 0..65535";
    QTest::newRow("dest_id above 24 bits") << "lora[1].dest_id" << QJsonValue(16777216)
                                           << "lora[1].dest_id: 16777216 is outside 0..16777215";
    QTest::newRow("index beyond any integer")
        << "ports[0].index" << QJsonValue(1e300)
        << "ports[0].index: 1.0000000000000001e+300 is out of range (0 to 1 for 2 rows)";
    QTest::newRow("source_id above 24 bits")
        << "source_id" << QJsonValue(16777216) << "source_id: 16777216 is outside 0..16777215";
    QTest::newRow("mac as number") << "mac" << QJsonValue(1) << "mac: expected a string";
    QTest::newRow("short alias bytes") << "ports[0].alias_bytes" << QJsonValue("4142")
                                       << "ports[0].alias_bytes: expected 32 hexadecimal digits";
    QTest::newRow("row not an object")
        << "ports" << QJsonValue(QJsonArray{1, 2}) << "ports[0]: expected an object";
    QTest::newRow("fewer LoRa rows than ports")
        << "lora" << QJsonValue(QJsonArray{ConfigToJson(rows(1), {})[QStringLiteral("lora")][0]})
        << "lora: 1 rows, and ports has 2; there is one LoRa row per port";
}

void TestConfigJson::refusedJson() {
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, error);
    QJsonObject doc = ConfigToJson(rows(2), {kMac, "VX-1", "1.0", 7, {}});
    QCOMPARE(errorOf([&] { ConfigFromJson(doc); }), QStringLiteral("<no error>"));
    edit(doc, path, value);
    QCOMPARE(errorOf([&] { ConfigFromJson(doc); }), error);
}

void TestConfigJson::times_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("written");  // empty: refused
    QTest::newRow("to the second") << "2026-12-10T05:15:00Z"
                                   << "2026-12-10T05:15:00Z";
    QTest::newRow("microseconds") << "2026-12-10T05:15:00.123456Z"
                                  << "2026-12-10T05:15:00.123Z";
    QTest::newRow("an offset") << "2026-12-10T05:15:00+01:00" << QString();
    QTest::newRow("hour 24") << "2026-12-10T24:00:00Z" << QString();
    QTest::newRow("line break after") << "2026-12-10T05:15:00Z\n" << QString();
    QTest::newRow("other digits") << QString::fromUtf8(
                                         "\xd9\xa2"
                                         "026-12-10T05:15:00Z")
                                  << QString();
}

void TestConfigJson::times() {
    QFETCH(QString, time);
    QFETCH(QString, written);
    QJsonObject doc = ConfigToJson(rows(1), {});
    QVERIFY(!doc.contains("time"));
    doc.insert("time", time);
    const QString error = errorOf([&] { ConfigFromJson(doc); });
    if (written.isEmpty()) {
        QCOMPARE(error, "time: expected a UTC time such as \"2026-12-10T05:15:00Z\"");
        return;
    }
    QCOMPARE(error, "<no error>");
    QCOMPARE(ConfigToJson(rows(1), IdentityFromJson(doc))["time"].toString(), written);
}

void TestConfigJson::refusedFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");

    QTest::newRow("short vxc") << "short.vxc" << QByteArray(40, '\0')
                               << "The configuration file \"short.vxc\" cannot be imported: it "
                                  "holds 40 bytes, and a configuration needs at least 84";
    QTest::newRow("not JSON") << "bad.json" << QByteArray("{\"network\": ")
                              << "The configuration file \"bad.json\" cannot be read: it is not "
                                 "valid JSON (unterminated object at byte 12)";
    QTest::newRow("JSON array") << "list.json" << QByteArray("[]")
                                << "The configuration file \"list.json\" cannot be read: it "
                                   "does not hold a JSON object";
    QTest::newRow("document refused") << "empty.txt" << QByteArray("{}")
                                      << "The configuration file \"empty.txt\" cannot be read: "
                                         "network: missing";
}

void TestConfigJson::refusedFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    if (!bytes.isEmpty()) writeAll(dir.filePath(name), bytes);
    QCOMPARE(errorOf([&] { LoadConfigDocument(dir.filePath(name)); }), error);
}

void TestConfigJson::differences_data() {
    QTest::addColumn<int>("gatewayRows");
    QTest::addColumn<int>("fileRows");
    QTest::addColumn<QStringList>("edits");  // path=JSON value, on the file's side
    QTest::addColumn<QStringList>("all");
    QTest::addColumn<QStringList>("gatewayRowsOnly");
    QTest::addColumn<QStringList>("onlyInFile");

    QTest::newRow("equal, identity and echo differ")
        << 2 << 2 << QStringList{"mac=\"00-00-00-00-00-01\"", "network.echo=9"} << QStringList()
        << QStringList() << QStringList();
    const QStringList edited{"network.name: Kiln -> Kiln 2",
                             "network.telnet: Enable -> null",
                             "network.lan_port: true -> false",
                             "ports[1].alias: COM2 -> \"\"",
                             "ports[1].operation: Disable -> TCP_Server",
                             "lora[0].dest_id: 1000 -> 4242"};
    QTest::newRow("edited fields, in key order")
        << 2 << 2 << QStringList{"lora[0].dest_id=4242",
                                 "ports[1].alias=\"\"",
                                 "ports[1].operation=\"TCP_Server\"",
                                 "network.lan_port=false",
                                 "network.telnet=null",
                                 "network.name=\"Kiln 2\""}
        << edited << edited << QStringList();
    QTest::newRow("file has more rows")
        << 1 << 3 << QStringList{"ports[2].alive=61"}
        << QStringList{"ports[1]: only in the file", "ports[2]: only in the file",
                       "lora[1]: only in the file", "lora[2]: only in the file"}
        << QStringList() << QStringList{"ports[1]", "ports[2]", "lora[1]", "lora[2]"};
    QTest::newRow("gateway has more rows")
        << 2 << 1 << QStringList{"ports[0].latency=7"}
        << QStringList{"ports[0].latency: 0 -> 7", "ports[1]: only on the gateway",
                       "lora[1]: only on the gateway"}
        << QStringList{"ports[0].latency: 0 -> 7"} << QStringList();
}

void TestConfigJson::differences() {
    QFETCH(int, gatewayRows);
    QFETCH(int, fileRows);
    QFETCH(QStringList, edits);
    QFETCH(QStringList, all);
    QFETCH(QStringList, gatewayRowsOnly);
    QFETCH(QStringList, onlyInFile);
    QJsonObject doc = ConfigToJson(rows(fileRows), {});
    for (const QString& e : edits) {
        const int eq = e.indexOf(QLatin1Char('='));
        const QJsonValue v = QJsonDocument::fromJson("[" + e.mid(eq + 1).toUtf8() + "]").array()[0];
        edit(doc, e.left(eq), v);
    }
    const DeviceConfig file = ConfigFromJson(doc);
    const DeviceConfig gateway = rows(gatewayRows);
    QCOMPARE(ConfigDifferences(gateway, file, DiffRows::All), all);
    QCOMPARE(ConfigDifferences(gateway, file, DiffRows::GatewayRowsOnly), gatewayRowsOnly);
    QCOMPARE(RowsOnlyInFile(gateway, file), onlyInFile);
}

QTEST_GUILESS_MAIN(TestConfigJson)
#include "tst_config_json.moc"

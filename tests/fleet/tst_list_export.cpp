#include "fleet/ListExport.h"

#include <QtTest>

namespace {
ExportedGateway gateway(const QString& name, const QStringList& problems = {}) {
    DiscoveryReply r{"VX-G200",       "00-1A-2B-00-00-01", "1.0.3",      name, "198.18.0.10",
                     "255.255.255.0", "198.18.0.1",        "198.18.0.5", 3};
    return {r, "eth1", problems};
}
}  // namespace

class TestListExport : public QObject {
    Q_OBJECT
private slots:
    void csvCell_data();
    void csvCell();
    void json();
};

void TestListExport::csvCell_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("problems");
    QTest::addColumn<QByteArray>("cells");  // the name's cell, then the problems'
    QTest::newRow("plain") << "Kiln" << QStringList() << QByteArray("Kiln,");
    QTest::newRow("comma") << "Kiln, east" << QStringList() << QByteArray("\"Kiln, east\",");
    QTest::newRow("semicolon") << "a;b" << QStringList() << QByteArray("\"a;b\",");
    QTest::newRow("quote doubled")
        << "say \"hi\"" << QStringList() << QByteArray("\"say \"\"hi\"\"\",");
    QTest::newRow("line break") << "a\nb" << QStringList() << QByteArray("\"a\nb\",");
    QTest::newRow("formula =") << "=HYPERLINK(\"x\")" << QStringList()
                               << QByteArray("\"'=HYPERLINK(\"\"x\"\")\",");
    QTest::newRow("formula +") << "+1" << QStringList() << QByteArray("'+1,");
    QTest::newRow("formula -") << "-2+3" << QStringList() << QByteArray("'-2+3,");
    QTest::newRow("formula @") << "@SUM(A1)" << QStringList() << QByteArray("'@SUM(A1),");
    QTest::newRow("leading tab") << "\t=1" << QStringList() << QByteArray("'\t=1,");
    QTest::newRow("leading blank kept by quotes") << " K" << QStringList() << QByteArray("\" K\",");
    QTest::newRow("UTF-8") << "Kälte" << QStringList() << QByteArray("K\xc3\xa4lte,");
    QTest::newRow("problems joined") << "K" << QStringList{"duplicate-ip", "no-reply"}
                                     << QByteArray(
                                            "K,198.18.0.10,255.255.255.0,198.18.0.1,"
                                            "198.18.0.5,eth1,duplicate-ip no-reply");
}

void TestListExport::csvCell() {
    QFETCH(QString, name);
    QFETCH(QStringList, problems);
    QFETCH(QByteArray, cells);
    const QByteArray csv = GatewayListCsv({gateway(name, problems)});
    const QByteArray head =
        "mac,model,version,name,ip,mask,gateway,view_ip,interface,problems\r\n"
        "00-1A-2B-00-00-01,VX-G200,1.0.3,";
    QVERIFY2(csv.startsWith(head + cells), csv.constData());
    QVERIFY(csv.endsWith("\r\n"));
}

void TestListExport::json() {
    const QJsonArray a = QJsonDocument::fromJson(GatewayListJson({gateway("=K", {"dup"})})).array();
    QCOMPARE(a.size(), 1);
    const QJsonObject o = a[0].toObject();
    QCOMPARE(o.keys(), (QStringList{"gateway", "interface", "ip", "mac", "mask", "model", "name",
                                    "problems", "version", "view_ip"}));
    QCOMPARE(o["name"].toString(), QString("=K"));  // JSON is not a spreadsheet: the text as it is
    QCOMPARE(o["problems"].toArray(), QJsonArray{"dup"});
    QCOMPARE(o["interface"].toString(), QString("eth1"));
}

QTEST_GUILESS_MAIN(TestListExport)
#include "tst_list_export.moc"

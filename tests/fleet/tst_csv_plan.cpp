#include "fleet/CsvPlan.h"
#include "support/ErrorOf.h"

#include <QtTest>

namespace {
// The rows as "line mac ip mask gateway view_ip name", "-" for an empty cell.
QString dump(const QVector<CsvPlanRow>& rows) {
    QStringList out;
    for (const CsvPlanRow& r : rows) {
        QStringList cells{
            QString::number(r.line), r.mac, r.ip, r.mask, r.gateway, r.viewIp, r.name};
        for (QString& c : cells) {
            if (c.isEmpty()) c = QStringLiteral("-");
        }
        out << cells.join(QLatin1Char(' '));
    }
    return out.join(QLatin1Char('|'));
}
}  // namespace

class TestCsvPlan : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestCsvPlan::parse_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("expected");  // dump(), or the error

    const QByteArray header = "mac,ip,mask,gateway,view_ip,name\n";
    const QString one = "2 00-1A-2B-00-00-01 198.18.0.20 255.255.255.0 198.18.0.1 198.18.0.5 Kiln";
    QTest::newRow("LF") << header +
                               "00-1A-2B-00-00-01,198.18.0.20,255.255.255.0,198.18.0.1,"
                               "198.18.0.5,Kiln"
                        << one;
    QTest::newRow("BOM, CRLF, trailing empty line")
        << QByteArray(
               "\xEF\xBB\xBFmac,ip,mask,gateway,view_ip,name\r\n00-1A-2B-00-00-01,198.18.0.20,"
               "255.255.255.0,198.18.0.1,198.18.0.5,Kiln\r\n\r\n")
        << one;
    QTest::newRow("semicolons, quoted field holding ; and doubled quotes")
        << QByteArray("MAC;Name;IP\n00:1a:2b:00:00:01;\"Pump \"\"A\"\"; east\";\n")
        << "2 00-1A-2B-00-00-01 - - - - Pump \"A\"; east";
    QTest::newRow("comma inside quotes with semicolons in the header")
        << QByteArray("\"mac\";\"name\"\n00-1A-2B-00-00-01;\"a,b\"\n")
        << "2 00-1A-2B-00-00-01 - - - - a,b";
    QTest::newRow("blank and separator-only lines, CR line ends")
        << QByteArray("mac,ip\r\r,\r00-1A-2B-00-00-02, 198.18.0.21 \r")
        << "4 00-1A-2B-00-00-02 198.18.0.21 - - - -";
    QTest::newRow("multi-line field counts its lines")
        << QByteArray("mac,name\n00-1A-2B-00-00-01,\"a\nb\"\n")
        << "line 2: name holds a control character";
    QTest::newRow("bad MAC on line 3")
        << header + "00-1A-2B-00-00-01,,,,,\n00-1A-2B-00-00-0G,,,,,\n"
        << "line 3: mac \"00-1A-2B-00-00-0G\" is not a MAC address";
    QTest::newRow("mixed MAC separators")
        << QByteArray("mac\n00-1A:2B-00-00-01\n")
        << "line 2: mac \"00-1A:2B-00-00-01\" is not a MAC address";
    QTest::newRow("empty MAC") << QByteArray("ip,mac\n198.18.0.1,\n") << "line 2: mac is empty";
    QTest::newRow("address part above 255")
        << QByteArray("mac,ip\n00-1A-2B-00-00-01,198.18.0.300\n")
        << "line 2: ip \"198.18.0.300\" is not an IPv4 address";
    QTest::newRow("address with a line break in quotes")
        << QByteArray("mac,gateway\n00-1A-2B-00-00-01,\"198.18.\n0.1\"\n")
        << "line 2: gateway \"198.18.?0.1\" is not an IPv4 address";
    QTest::newRow("mask not contiguous") << QByteArray("mac,mask\n00-1A-2B-00-00-01,255.0.255.0\n")
                                         << "line 2: mask \"255.0.255.0\" is not a subnet mask";
    QTest::newRow("wrong number of fields") << header + "00-1A-2B-00-00-01,198.18.0.20\n"
                                            << "line 2: 2 fields, and the header names 6 columns";
    QTest::newRow("unterminated quote") << QByteArray("mac,name\n00-1A-2B-00-00-01,\"Kiln\n\n")
                                        << "line 2: a quoted field is not closed";
    QTest::newRow("text after a closing quote")
        << QByteArray("mac,name\n00-1A-2B-00-00-01,\"K\"x\n")
        << "line 2: text after the closing quote of a field";
    QTest::newRow("duplicate MAC")
        << QByteArray("mac\n00-1A-2B-00-00-01\n00-1A-2B-00-00-02\n00-1a-2b-00-00-01\n")
        << "line 4: 00-1A-2B-00-00-01 is also on line 2";
    QTest::newRow("unknown column")
        << QByteArray("mac,ip,colour\n")
        << "line 1: unknown column \"colour\"; the columns are mac, ip, "
           "mask, gateway, view_ip, name";
    QTest::newRow("column named twice")
        << QByteArray("mac,ip,IP\n") << "line 1: column \"ip\" is named twice";
    QTest::newRow("no mac column") << QByteArray("ip,name\n") << "line 1: there is no mac column";
    QTest::newRow("empty file") << QByteArray("\r\n")
                                << "line 1: the plan is empty; the first line names the columns";
    QTest::newRow("not UTF-8 on line 3")
        << QByteArray("mac,name\n00-1A-2B-00-00-01,a\n00-1A-2B-00-00-02,K\xe4ln\n")
        << "line 3: the text is not UTF-8";
    QTest::newRow("name over 32 bytes")
        << "mac,name\n00-1A-2B-00-00-01," + QByteArray(31, 'a') + "\xc3\xa4\n"
        << "line 2: name is 33 bytes long; a gateway holds at most 32";
    QTest::newRow("too large") << header + QByteArray(CsvPlanMaxBytes, '\n')
                               << "the plan is larger than 1024 KiB";
}

void TestCsvPlan::parse() {
    QFETCH(QByteArray, csv);
    QString got;
    const QString error = errorOf([&] { got = dump(ParseCsvPlan(csv)); });
    QTEST(error == QStringLiteral("<no error>") ? got : error, "expected");
}

QTEST_GUILESS_MAIN(TestCsvPlan)
#include "tst_csv_plan.moc"

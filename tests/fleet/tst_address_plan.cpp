#include "fleet/AddressPlan.h"
#include "support/ErrorOf.h"

#include <QtTest>

namespace {
QString mac(int n) {
    return QStringLiteral("00-1A-2B-00-00-%1").arg(n, 2, 10, QLatin1Char('0'));
}

// "1@198.18.0.10": gateway 1 at that address, in 198.18.0.0/24 with gateway
// .1 and VarnexView .5, named "G1".
QVector<ListedGateway> listed(const QStringList& specs) {
    QVector<ListedGateway> out;
    for (const QString& s : specs) {
        const int n = s.section('@', 0, 0).toInt();
        out.append({mac(n), QStringLiteral("G%1").arg(n), s.section('@', 1), "255.255.255.0",
                    "198.18.0.1", "198.18.0.5"});
    }
    return out;
}

// "01 -> ip mask gateway view_ip name", or "01: why".
QStringList lines(const QVector<PlannedGateway>& plan) {
    QStringList out;
    for (const PlannedGateway& p : plan) {
        const QString who = p.now.mac.right(2);
        out << (p.refused()
                    ? who + ": " + p.refusal
                    : QStringList{who, "->", p.ip, p.mask, p.gateway, p.viewIp, p.name}.join(' '));
    }
    return out;
}

QString to(int n, const QString& ip, const QString& rest = "255.255.255.0 198.18.0.1 198.18.0.5") {
    return QStringLiteral("%1 -> %2 %3 G%4").arg(n, 2, 10, QLatin1Char('0')).arg(ip, rest).arg(n);
}
}  // namespace

class TestAddressPlan : public QObject {
    Q_OBJECT
private slots:
    void range_data();
    void range();
    void fromCsv_data();
    void fromCsv();
};

void TestAddressPlan::range_data() {
    QTest::addColumn<QStringList>("plan");
    QTest::addColumn<QString>("range");  // start mask gateway view_ip
    QTest::addColumn<QStringList>("own");
    QTest::addColumn<QStringList>("unplanned");
    QTest::addColumn<QStringList>("expected");  // lines(), or the one error

    const QString range24 = "198.18.0.20 255.255.255.0 198.18.0.1 198.18.0.5";
    QTest::newRow("consecutive from the start")
        << QStringList{"1@198.18.0.50", "2@198.18.0.51"} << range24 << QStringList()
        << QStringList() << QStringList{to(1, "198.18.0.20"), to(2, "198.18.0.21")};
    QTest::newRow("skips this PC, an unplanned gateway, the plan's gateway and VarnexView")
        << QStringList{"1@198.18.0.50", "2@198.18.0.51"}
        << "198.18.0.1 255.255.255.0 198.18.0.1 198.18.0.4" << QStringList{"198.18.0.2", "fe80::1"}
        << QStringList{"9@198.18.0.3"}
        << QStringList{to(1, "198.18.0.5", "255.255.255.0 198.18.0.1 198.18.0.4"),
                       to(2, "198.18.0.6", "255.255.255.0 198.18.0.1 198.18.0.4")};
    QTest::newRow("two planned gateways swap")
        << QStringList{"2@198.18.0.21", "1@198.18.0.20"} << range24 << QStringList()
        << QStringList() << QStringList{to(2, "198.18.0.20"), to(1, "198.18.0.21")};
    const QString past =
        "01: the range runs past the end of 198.18.0.0/29: 2 free addresses from "
        "198.18.0.5 for 3 gateways";
    QTest::newRow("range past the end of the subnet refuses every line")
        << QStringList{"1@198.18.0.50", "2@198.18.0.51", "3@198.18.0.52"}
        << "198.18.0.5 255.255.255.248 198.18.0.1 198.18.1.5" << QStringList() << QStringList()
        << QStringList{past, QString(past).replace("01:", "02:"),
                       QString(past).replace("01:", "03:")};
    QTest::newRow("subnet at the top of the address space")
        << QStringList{"1@198.18.0.50", "2@198.18.0.51"}
        << "255.255.255.253 255.255.255.252 0.0.0.0 0.0.0.0" << QStringList() << QStringList()
        << QStringList{to(1, "255.255.255.253", "255.255.255.252 0.0.0.0 0.0.0.0"),
                       to(2, "255.255.255.254", "255.255.255.252 0.0.0.0 0.0.0.0")};
    QTest::newRow("start at the broadcast address")
        << QStringList{"1@198.18.0.50"} << "198.18.0.255 255.255.255.0 198.18.0.1 198.18.0.5"
        << QStringList() << QStringList()
        << QStringList{"the start 198.18.0.255 is the broadcast address of 198.18.0.0/24"};
    QTest::newRow("gateway outside the subnet")
        << QStringList{"1@198.18.0.50"} << "198.18.0.20 255.255.255.0 10.0.0.1 198.18.0.5"
        << QStringList() << QStringList()
        << QStringList{"the gateway 10.0.0.1 is outside 198.18.0.0/24"};
    QTest::newRow("mask leaves no room")
        << QStringList{"1@198.18.0.50"} << "198.18.0.20 255.255.255.254 0.0.0.0 0.0.0.0"
        << QStringList() << QStringList()
        << QStringList{"mask 255.255.255.254 leaves no room for gateways"};
    QTest::newRow("one gateway twice")
        << QStringList{"1@198.18.0.50", "1@198.18.0.50"} << range24 << QStringList()
        << QStringList() << QStringList{"00-1A-2B-00-00-01 is in the plan twice"};
}

void TestAddressPlan::range() {
    QFETCH(QStringList, plan);
    QFETCH(QString, range);
    QFETCH(QStringList, own);
    QFETCH(QStringList, unplanned);
    const QStringList r = range.split(' ');
    QStringList got;
    const QString error = errorOf([&] {
        got = lines(
            PlanAddressRange(listed(plan), {r[0], r[1], r[2], r[3]}, {own, listed(unplanned)}));
    });
    QTEST(error == "<no error>" ? got : QStringList{error}, "expected");
}

void TestAddressPlan::fromCsv_data() {
    QTest::addColumn<QByteArray>("csv");  // "NN" stands for mac(NN)
    QTest::addColumn<QStringList>("own");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("two planned gateways swap")
        << QByteArray("mac,ip\n01,198.18.0.11\n02,198.18.0.10\n") << QStringList()
        << QStringList{to(1, "198.18.0.11"), to(2, "198.18.0.10")};
    QTest::newRow("empty cells keep what the gateway reports")
        << QByteArray("mac,name,mask\n01,,\n") << QStringList()
        << QStringList{to(1, "198.18.0.10")};
    QTest::newRow("one address for two gateways")
        << QByteArray("mac,ip\n01,198.18.0.20\n02,198.18.0.20\n") << QStringList()
        << QStringList{"01: 198.18.0.20 is also given to 00-1A-2B-00-00-02",
                       "02: 198.18.0.20 is also given to 00-1A-2B-00-00-01"};
    QTest::newRow("this PC's address")
        << QByteArray("mac,ip\n01,198.18.0.99\n") << QStringList{"198.18.0.99"}
        << QStringList{"01: 198.18.0.99 is this PC's address"};
    QTest::newRow("an address kept by a gateway outside the plan")
        << QByteArray("mac,ip\n01,198.18.0.30\n") << QStringList()
        << QStringList{
               "01: 198.18.0.30 stays with 00-1A-2B-00-00-09 (G9), which is not in the plan"};
    QTest::newRow("a gateway the Search did not list")
        << QByteArray("mac,ip\n07,198.18.0.40\n") << QStringList()
        << QStringList{"07: line 2: 00-1A-2B-00-00-07 was not listed by the Search"};
    QTest::newRow("a refused gateway keeps its address")
        << QByteArray("mac,ip,gateway\n02,198.18.0.10,\n01,198.18.0.11,10.0.0.1\n") << QStringList()
        << QStringList{"02: 198.18.0.10 stays with 00-1A-2B-00-00-01 (G1), whose line is refused",
                       "01: the gateway 10.0.0.1 is outside 198.18.0.0/24"};
    QTest::newRow("broadcast address")
        << QByteArray("mac,ip\n01,198.18.0.255\n") << QStringList()
        << QStringList{"01: 198.18.0.255 is the broadcast address of 198.18.0.0/24"};
    QTest::newRow("the plan's gateway address")
        << QByteArray("mac,ip\n01,198.18.0.1\n") << QStringList()
        << QStringList{"01: 198.18.0.1 is a gateway address of the plan"};
}

void TestAddressPlan::fromCsv() {
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, own);
    const QString text = QString::fromUtf8(csv).replace(
        QRegularExpression("^(\\d\\d),", QRegularExpression::MultilineOption),
        "00-1A-2B-00-00-\\1,");
    QTEST(lines(PlanFromRows(ParseCsvPlan(text.toUtf8()),
                             listed({"1@198.18.0.10", "2@198.18.0.11", "9@198.18.0.30"}), own)),
          "expected");
}

QTEST_GUILESS_MAIN(TestAddressPlan)
#include "tst_address_plan.moc"

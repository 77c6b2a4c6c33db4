// The report of a Search that found nothing: what it concludes from each
// interface's state and counters, and how it lays them out.
#include "net/SearchReport.h"

#include <QtTest>

namespace {
// "plant sent=1 echo=1 gw=0 other=0; wifi down" per interface: the name, then
// "down", "nocarrier", "noaddr", "nobcast" and counters; "err=TEXT" (with "_"
// for spaces) is the send error.
SearchReportData dataOf(const QString& text, bool portHeld, bool counted) {
    SearchReportData data;
    data.portHeldElsewhere = portHeld;
    data.counted = counted;
    for (const QString& entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = entry.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        InterfaceSearch i;
        InterfaceFacts& f = i.facts;
        f.name = words.value(0);
        f.up = f.running = f.broadcast = f.carrier = f.hasAddress = true;
        f.address = 0x0A000005;  // 10.0.0.5
        f.prefix = 24;
        for (const QString& w : words.mid(1)) {
            const QString value = w.section(QLatin1Char('='), 1);
            if (w == QLatin1String("down")) f.up = f.running = f.carrier = false;
            if (w == QLatin1String("nocarrier")) f.running = f.carrier = false;
            if (w == QLatin1String("noaddr")) f.hasAddress = false;
            if (w == QLatin1String("nobcast")) f.broadcast = false;
            if (w.startsWith(QLatin1String("sent="))) i.counters.requestsSent = value.toInt();
            if (w.startsWith(QLatin1String("echo="))) i.counters.echoesHeard = value.toInt();
            if (w.startsWith(QLatin1String("gw="))) i.counters.gatewayReplies = value.toInt();
            if (w.startsWith(QLatin1String("other="))) i.counters.otherDatagrams = value.toInt();
            if (w.startsWith(QLatin1String("err=")))
                i.counters.sendError = QString(value).replace(QLatin1Char('_'), QLatin1Char(' '));
        }
        data.interfaces.append(i);
    }
    return data;
}
}  // namespace

class TestSearchReport : public QObject {
    Q_OBJECT
private slots:
    void conclusions_data();
    void conclusions();
    void layout();
};

void TestSearchReport::conclusions_data() {
    QTest::addColumn<QString>("interfaces");
    QTest::addColumn<bool>("portHeld");
    QTest::addColumn<bool>("counted");
    QTest::addColumn<QStringList>("expected");

    const QString firewall = QStringLiteral(
        "Requests went out on plant, but this PC did not hear them come back: a firewall on this "
        "PC may be dropping UDP port 2058.");
    const QString silent = QStringLiteral(
        "Requests went out on plant, but no gateway answered: check the cable, the switch port "
        "and the gateways' power.");

    QTest::newRow("port held by another program, whatever else")
        << "plant sent=1 echo=1 gw=2" << true << true
        << QStringList{
               "Port 2058 is held by another program. Close it (another VarnexConfig "
               "window, or varnexctl) and Search again."};
    QTest::newRow("no interface at all")
        << "" << false << true << QStringList{"No network interface is up."};
    QTest::newRow("every interface down")
        << "plant down; wifi down" << false << true << QStringList{"No network interface is up."};
    QTest::newRow("no carrier") << "plant nocarrier" << false << true
                                << QStringList{"plant has no carrier: check its cable."};
    QTest::newRow("no IPv4 address")
        << "plant noaddr" << false << true
        << QStringList{"plant has no IPv4 address, so no request went out on it: give it one."};
    QTest::newRow("cannot broadcast")
        << "tun0 nobcast" << false << true
        << QStringList{"tun0 cannot broadcast, so no request went out on it."};
    QTest::newRow("the send failed")
        << "plant err=Network_is_unreachable" << false << true
        << QStringList{"Requests could not go out on plant: Network is unreachable"};
    QTest::newRow("not searched") << "plant" << false << true
                                  << QStringList{"No request went out on plant."};
    QTest::newRow("heard back, nobody answered")
        << "plant sent=1 echo=1" << false << true << QStringList{silent};
    QTest::newRow("not even heard back: a firewall")
        << "plant sent=1 echo=0 other=3" << false << true << QStringList{firewall};
    QTest::newRow("something else answered")
        << "plant sent=1 echo=1 other=2" << false << true
        << QStringList{
               "Requests went out on plant, but what came back (2 datagrams) was no "
               "gateway's reply: another device on that link may use port 2058."};
    QTest::newRow("one gateway") << "plant sent=1 echo=1 gw=1" << false << true
                                 << QStringList{"1 gateway reply came in on plant."};
    QTest::newRow("a link down is named after the working ones")
        << "wifi down; plant sent=1 echo=1" << false << true
        << QStringList{silent, "wifi is down, so no request went out on it."};
    QTest::newRow("each link its own sentence, in order")
        << "plant sent=1; office sent=1 echo=1 gw=2" << false << true
        << QStringList{firewall, "2 gateway replies came in on office."};
    QTest::newRow("state alone: ready")
        << "plant" << false << false
        << QStringList{"plant is up with a carrier and an address, so requests go out on it."};
}

void TestSearchReport::conclusions() {
    QFETCH(QString, interfaces);
    QFETCH(bool, portHeld);
    QFETCH(bool, counted);
    QFETCH(QStringList, expected);
    const SearchReportData data = dataOf(interfaces, portHeld, counted);
    QCOMPARE(SearchConclusions(data), expected);
    // The text ends with them.
    QVERIFY(SearchReportText(data).endsWith(expected.join(QLatin1Char('\n')) + QLatin1Char('\n')));
}

void TestSearchReport::layout() {
    const QString text =
        SearchReportText(dataOf(QStringLiteral("plant sent=1 echo=1 gw=1 err=busy"), false, true));
    QVERIFY2(text.startsWith(QStringLiteral(
                 "plant: 10.0.0.5/24; up, running, broadcast, carrier\n"
                 "  1 request sent, 1 heard back, 1 gateway reply, 0 other datagrams\n"
                 "  send error: busy\n\n")),
             qPrintable(text));
}

QTEST_APPLESS_MAIN(TestSearchReport)
#include "tst_search_report.moc"

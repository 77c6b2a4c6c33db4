// The reachability rules as a table: this PC's addresses and routes, the
// listed gateways, the addresses heard per MAC, and what each gateway is told.
#include "net/Reachability.h"
#include "support/FakeRoutes.h"

#include <QtTest>

namespace {
// "A,10.0.0.7,255.255.255.0,plant[,typed]" per gateway, ";" between them; an
// interface of "-" is not known.
QVector<ReachGateway> gatewaysOf(const QString& text, FakeRoutes& routes) {
    QVector<ReachGateway> out;
    for (const QString& g : text.split(QLatin1Char(';'))) {
        const QStringList f = g.split(QLatin1Char(','));
        ReachGateway l;
        l.mac = f.value(0).trimmed();
        l.ip = f.value(1);
        l.mask = f.value(2);
        const QString link = f.value(3).trimmed();
        l.interfaceIndex = link == QLatin1String("-") ? 0 : routes.IndexOf(link);
        l.typedIp = f.value(4, l.ip);
        out.append(l);
    }
    return out;
}

// "A=10.0.0.7 10.0.0.8; B=10.0.0.9"
AddressesByMac heardOf(const QString& text) {
    AddressesByMac out;
    for (const QString& entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList macIps = entry.split(QLatin1Char('='));
        out.insert(macIps.value(0).trimmed(),
                   macIps.value(1).split(QLatin1Char(' '), Qt::SkipEmptyParts));
    }
    return out;
}

const QString kPlant = QStringLiteral("plant=10.0.0.5/24");
const QString kTwoLinks = QStringLiteral("plant=10.0.0.5/24 office=198.51.100.5/30");
const QString kTwoLinkRoutes =
    QStringLiteral("10.0.0.0/24 plant; 198.51.100.4/30 office; default via 198.51.100.6 office");
const QString kMask24 = QStringLiteral("255.255.255.0");
}  // namespace

class TestReachability : public QObject {
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
};

void TestReachability::rules_data() {
    QTest::addColumn<QString>("hosts");
    QTest::addColumn<QString>("routes");
    QTest::addColumn<QString>("gateways");
    QTest::addColumn<QString>("heard");
    // Per gateway, ";" between them: its codes, "," between them.
    QTest::addColumn<QString>("codes");
    // Per gateway, "|" between them: a text its reasons must hold (empty: any).
    QTest::addColumn<QString>("says");

    const QString m = kMask24;
    QTest::newRow("in the link's network") << kPlant << "10.0.0.0/24 plant"
                                           << "A,10.0.0.7," + m + ",plant"
                                           << ""
                                           << ""
                                           << "";
    QTest::newRow("default dev without a router: every address on-link")
        << "plant=198.18.0.1/15"
        << "198.18.0.0/15 plant; default plant"
        << "A,203.0.113.10," + m + ",plant"
        << ""
        << ""
        << "";
    QTest::newRow("outside, the default route goes through a router on another link")
        << kTwoLinks << kTwoLinkRoutes << "A,192.0.2.7," + m + ",plant"
        << ""
        << "other-subnet"
        << "192.0.2.7 is outside plant's network 10.0.0.0/24, so this PC would send to it "
           "through the router 198.51.100.6 on office instead of directly. Give the gateway an "
           "address in 10.0.0.0/24 such as 10.0.0.1 (edit its row and Apply), or add an address "
           "in 192.0.2.0/24 to plant.";
    QTest::newRow("outside, no route at all")
        << kPlant << "10.0.0.0/24 plant"
        << "A,192.0.2.7," + m + ",plant"
        << ""
        << "other-subnet"
        << "192.0.2.7 is outside plant's network 10.0.0.0/24, so this PC cannot reach it.";
    QTest::newRow("its network is routed out of another link")
        << kTwoLinks << "10.0.0.0/24 plant; 192.0.2.0/24 office"
        << "A,192.0.2.7," + m + ",plant"
        << ""
        << "other-subnet"
        << "would send to it through office instead";
    QTest::newRow("a router on its own link is still not direct")
        << kPlant << "10.0.0.0/24 plant; default via 10.0.0.1 plant"
        << "A,192.0.2.7," + m + ",plant"
        << ""
        << "other-subnet"
        << "router 10.0.0.1 on plant";
    QTest::newRow("mask unknown: its network is not named")
        << kPlant << "10.0.0.0/24 plant"
        << "A,192.0.2.7,255.0.255.0,plant"
        << ""
        << "other-subnet"
        << "or add an address in its network to plant.";
    QTest::newRow("interface not known, through a router")
        << kTwoLinks << kTwoLinkRoutes << "A,192.0.2.7," + m + ",-"
        << ""
        << "other-subnet"
        << "192.0.2.7 is on none of this PC's networks";

    QTest::newRow("two gateways, one address")
        << kPlant << "10.0.0.0/24 plant"
        << "A,10.0.0.7," + m + ",plant;B,10.0.0.7," + m + ",plant"
        << ""
        << "duplicate-ip;duplicate-ip"
        << "10.0.0.7 is also the address of B|also the address of A";
    QTest::newRow("one address written two ways")
        << kPlant << "10.0.0.0/24 plant"
        << "A,10.0.0.7," + m + ",plant;B, 10.0.0.7," + m + ",plant;C,10.0.0.70," + m + ",plant"
        << ""
        << "duplicate-ip;duplicate-ip;"
        << "";
    QTest::newRow("this PC's own address") << kPlant << "10.0.0.0/24 plant"
                                           << "A,10.0.0.5," + m + ",plant"
                                           << ""
                                           << "own-ip"
                                           << "10.0.0.5 is this PC's own address (on plant)";

    QTest::newRow("0.0.0.0, twice: unset, not duplicate")
        << kPlant << "10.0.0.0/24 plant"
        << "A,0.0.0.0," + m + ",plant;B,0.0.0.0," + m + ",plant"
        << ""
        << "unset-ip;unset-ip"
        << "The gateway has no address (0.0.0.0)";
    QTest::newRow("the network address of its subnet")
        << kPlant << "10.0.0.0/24 plant"
        << "A,10.0.0.0," + m + ",plant"
        << ""
        << "unset-ip"
        << "10.0.0.0 is the network address of 10.0.0.0/24";
    QTest::newRow("the broadcast address of its subnet")
        << kPlant << "10.0.0.0/24 plant"
        << "A,10.0.0.255," + m + ",plant"
        << ""
        << "unset-ip"
        << "10.0.0.255 is the broadcast address of 10.0.0.0/24";
    QTest::newRow("by its own mask, not the PC's") << kPlant << "10.0.0.0/24 plant"
                                                   << "A,10.0.0.127,255.255.255.128,plant"
                                                   << ""
                                                   << "unset-ip"
                                                   << "broadcast address of 10.0.0.0/25";
    QTest::newRow("a /31 has no network or broadcast address") << kPlant << "10.0.0.0/24 plant"
                                                               << "A,10.0.0.4,255.255.255.254,plant"
                                                               << ""
                                                               << ""
                                                               << "";
    QTest::newRow("a mask with holes gives no subnet to judge by") << kPlant << "10.0.0.0/24 plant"
                                                                   << "A,10.0.0.0,255.0.255.0,plant"
                                                                   << ""
                                                                   << ""
                                                                   << "";

    QTest::newRow("one MAC from two addresses") << kPlant << "10.0.0.0/24 plant"
                                                << "A,10.0.0.7," + m + ",plant"
                                                << "A=10.0.0.7 10.0.0.8"
                                                << "duplicate-mac"
                                                << "A answered from 10.0.0.7 and 10.0.0.8";
    QTest::newRow("one MAC, one address heard on two links") << kPlant << "10.0.0.0/24 plant"
                                                             << "A,10.0.0.7," + m + ",plant"
                                                             << "A=10.0.0.7 10.0.0.7"
                                                             << ""
                                                             << "";
    QTest::newRow("heard in another case") << kPlant << "10.0.0.0/24 plant"
                                           << "00-1A-2B-00-00-0A,10.0.0.7," + m + ",plant"
                                           << "00-1a-2b-00-00-0a=10.0.0.7 10.0.0.9"
                                           << "duplicate-mac"
                                           << "";
    QTest::newRow("every problem at once, in a fixed order")
        << "plant=10.0.0.5/24 office=192.0.2.5/24"
        << "10.0.0.0/24 plant"
        << "A,192.0.2.5," + m + ",plant;B,192.0.2.5," + m + ",plant"
        << "A=192.0.2.5 10.0.0.9"
        << "own-ip,duplicate-ip,duplicate-mac;own-ip,duplicate-ip"
        << "";

    QTest::newRow("free addresses skip the PC's, the listed and the typed ones")
        << "plant=10.0.0.1/24"
        << "10.0.0.0/24 plant"
        << "A,10.0.0.2," + m + ",plant;B,10.0.0.2," + m + ",plant;C,10.0.0.3," + m +
               ",plant,10.0.0.4"
        << ""
        << "duplicate-ip;duplicate-ip;"
        << "such as 10.0.0.5|such as 10.0.0.6|";
    QTest::newRow("a full network offers none")
        << "plant=10.0.0.1/30"
        << "10.0.0.0/30 plant"
        << "A,10.0.0.2,255.255.255.252,plant;B,10.0.0.2,255.255.255.252,plant"
        << ""
        << "duplicate-ip;duplicate-ip"
        << "Give each gateway an address of its own (edit its row and Apply).";
    QTest::newRow("an address that does not read is not judged")
        << kPlant << "10.0.0.0/24 plant"
        << "A,,,plant;B,10.0.0.300," + m + ",plant"
        << ""
        << ";"
        << "";
}

void TestReachability::rules() {
    QFETCH(QString, hosts);
    QFETCH(QString, routes);
    QFETCH(QString, gateways);
    QFETCH(QString, heard);
    QFETCH(QString, codes);
    QFETCH(QString, says);
    FakeRoutes table(hosts, routes);
    const QVector<ReachGateway> listed = gatewaysOf(gateways, table);
    const QVector<ReachVerdict> verdicts = JudgeReachability(listed, table, heardOf(heard));
    QCOMPARE(verdicts.size(), listed.size());
    const QStringList wantCodes = codes.split(QLatin1Char(';'));
    const QStringList wantSays = says.split(QLatin1Char('|'));
    for (int i = 0; i < verdicts.size(); ++i) {
        const ReachVerdict& v = verdicts[i];
        const QString why = v.reasons.join(QLatin1Char(' '));
        QCOMPARE(v.codes().join(QLatin1Char(',')), wantCodes.value(i));
        QCOMPARE(v.reasons.size(), v.problems.size());
        if (!wantSays.value(i).isEmpty())
            QVERIFY2(why.contains(wantSays.value(i)), qPrintable(why));
    }
}

QTEST_APPLESS_MAIN(TestReachability)
#include "tst_reachability.moc"

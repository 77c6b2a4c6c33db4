// The system's answers the reachability rules and the Search report rest on,
// asked in the harness's namespaces for each shape of PC (netns-run --topology):
// the plant link 198.18.0.1/15 alone with "default dev plant", beside an office
// link that holds "default via 198.51.100.6", or alone with no default route.
#include "net/RouteTable.h"
#include "net/SearchReport.h"
#include "support/NetnsEnv.h"

#include <QtTest>

#include <optional>

namespace {
// "direct IF", "via ROUTER IF", "local" or "none", with IF "plant" or "office"
// standing for the harness's interface names.
QString describe(const RouteAnswer& r, SystemRouteTable& table) {
    QString name = table.InterfaceName(r.interfaceIndex);
    if (name == NetnsEnv::plantInterface()) name = QStringLiteral("plant");
    if (NetnsEnv::officeInterfaces().value(0) == name) name = QStringLiteral("office");
    switch (r.kind) {
        case RouteAnswer::NoRoute:
            return QStringLiteral("none");
        case RouteAnswer::Local:
            return QStringLiteral("local");
        case RouteAnswer::Direct:
            return QStringLiteral("direct ") + name;
        case RouteAnswer::ViaRouter:
            return QStringLiteral("via %1 %2").arg(AddressText(r.router), name);
    }
    return QString();
}

std::optional<InterfaceFacts> plantFacts(const QList<InterfaceFacts>& all) {
    for (const InterfaceFacts& f : all)
        if (f.name == NetnsEnv::plantInterface()) return f;
    return std::nullopt;
}
}  // namespace

class TestRouteTable : public QObject {
    Q_OBJECT
private slots:
    void init();
    void routes_data();
    void routes();
    void interfaceFacts();
};

void TestRouteTable::init() {
    REQUIRE_NETNS();
}

void TestRouteTable::routes_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("single");
    QTest::addColumn<QString>("twoLinks");
    QTest::addColumn<QString>("plantOnly");
    QTest::newRow("a gateway in the plant network") << "198.19.0.10"
                                                    << "direct plant"
                                                    << "direct plant"
                                                    << "direct plant";
    QTest::newRow("an address outside every network") << "203.0.113.10"
                                                      << "direct plant"
                                                      << "via 198.51.100.6 office"
                                                      << "none";
    QTest::newRow("this PC's own address") << "198.18.0.1"
                                           << "local"
                                           << "local"
                                           << "local";
    QTest::newRow("the office router") << "198.51.100.6"
                                       << "direct plant"
                                       << "direct office"
                                       << "none";
}

void TestRouteTable::routes() {
    QFETCH(QString, address);
    QFETCH(QString, single);
    QFETCH(QString, twoLinks);
    QFETCH(QString, plantOnly);
    const QString topology = NetnsEnv::topology();
    const QString expected = topology == QLatin1String("two-links")    ? twoLinks
                             : topology == QLatin1String("plant-only") ? plantOnly
                                                                       : single;
    SystemRouteTable table;
    // Asked twice: the socket is reused and its answers do not mix.
    for (int i = 0; i < 2; ++i)
        QCOMPARE(describe(table.RouteTo(*GatewayAddressOf(address)), table), expected);
}

void TestRouteTable::interfaceFacts() {
    std::optional<InterfaceFacts> plant = plantFacts(CollectInterfaceFacts());
    QVERIFY(plant && plant->up && plant->running && plant->broadcast && plant->carrier);
    QCOMPARE(NetText(NetOf(plant->address, plant->prefix)), QStringLiteral("198.18.0.0/15"));
    // Taken down (last: the link's routes go with it).
    QVERIFY(NetnsEnv::setLink(NetnsEnv::plantInterface(), false));
    const QList<InterfaceFacts> down = CollectInterfaceFacts();
    QVERIFY(NetnsEnv::setLink(NetnsEnv::plantInterface(), true));
    plant = plantFacts(down);
    QVERIFY(plant && !plant->up && !plant->carrier && plant->hasAddress);
    QCOMPARE(down.size(), 1 + NetnsEnv::officeInterfaces().size());  // no loopback
}

QTEST_GUILESS_MAIN(TestRouteTable)
#include "tst_route_table.moc"

// The UDP endpoint in the test's own network namespace.
#include "link/Clock.h"
#include "link/DeviceDatagram.h"
#include "link/UdpEndpoint.h"
#include "link/VarnexError.h"
#include "support/NetnsEnv.h"

#include "support/ErrorOf.h"

#include <QtTest>

#include <thread>

namespace {

// An endpoint configured as the main window's UDPServer.
struct MainEndpoint {
    MainEndpoint(bool threaded = true) {
        ep.AddBinding(QStringLiteral("0.0.0.0"), DeviceDatagram::Port);
        ep.SetDefaultPort(DeviceDatagram::Port);
        ep.SetBroadcastEnabled(true);
        ep.SetThreadedEvent(threaded);
        ep.SetOnUDPRead([this](UdpEndpoint&, const QByteArray& d, const UdpEndpoint::Binding&) {
            std::lock_guard<std::mutex> lock(mutex);
            received << d;
            onMainThread << (QThread::currentThread() == QCoreApplication::instance()->thread());
        });
    }
    QList<QByteArray> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }
    QList<bool> threads() {
        std::lock_guard<std::mutex> lock(mutex);
        return onMainThread;
    }
    std::mutex mutex;
    QList<QByteArray> received;
    QList<bool> onMainThread;
    UdpEndpoint ep;  // last: its receiving thread ends before the lists go
};

// A sender on another port of the same namespace.
struct Peer {
    Peer() {
        ep.AddBinding(QStringLiteral("0.0.0.0"), 2059);
        ep.SetActive(true);
    }
    UdpEndpoint ep;
};
}  // namespace

class TestEndpoint : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_NETNS(); }
    void activationIsIdempotent();
    void bindConflictLeavesEndpointInactive();
    void configEndpointAddsItsBindingOnFirstActivation();
    void sendOnInactiveEndpointActivatesIt();
    void broadcastComesBackToOwnSocket();
    void broadcastPermission();
    void handOffKeepsArrivalOrderOnUiThread();
    void deactivationDuringHandOffDoesNotDeadlock();
    void requestsAreDroppedBeforeTheHandler_data();
    void requestsAreDroppedBeforeTheHandler();
    void overlongDatagramIsDropped();
};

void TestEndpoint::activationIsIdempotent() {
    MainEndpoint m;
    QVERIFY(!m.ep.Active());
    m.ep.SetActive(false);  // nothing to do
    m.ep.SetActive(true);
    QVERIFY(m.ep.Active());
    m.ep.SetActive(true);  // opens nothing twice: a second bind would fail
    QCOMPARE(m.ep.BoundPort(), quint16(2058));
    m.ep.SetActive(false);
    QVERIFY(!m.ep.Active());
    QCOMPARE(m.ep.Bindings().size(), 1);  // bindings stay
    m.ep.SetActive(true);                 // and can bind again at once
    QVERIFY(m.ep.Active());
}

void TestEndpoint::bindConflictLeavesEndpointInactive() {
    MainEndpoint a, b;
    a.ep.SetActive(true);
    QCOMPARE(errorOf([&] { b.ep.SetActive(true); }),
             QStringLiteral("Could not bind socket. Address and port are already in use."));
    QVERIFY(!b.ep.Active());
    QCOMPARE(errorOf([&] { b.ep.SendBroadcast(DeviceDatagram::DiscoveryRequest(), 2058); }),
             QStringLiteral("Could not bind socket. Address and port are already in use."));
    a.ep.SetActive(false);
    b.ep.SetActive(true);
    QVERIFY(b.ep.Active());
}

void TestEndpoint::configEndpointAddsItsBindingOnFirstActivation() {
    UdpEndpoint config;
    QVERIFY(config.Bindings().isEmpty());
    config.SetDefaultPort(2058);
    config.SetActive(true);
    QCOMPARE(config.Bindings().size(), 1);
    QCOMPARE(config.Bindings().first().port, quint16(2058));
    config.SetActive(false);
    config.SetDefaultPort(0);  // later changes do not move the binding
    config.SetActive(true);
    QCOMPARE(config.BoundPort(), quint16(2058));
}

void TestEndpoint::sendOnInactiveEndpointActivatesIt() {
    MainEndpoint m;
    m.ep.SendToHost(NetnsEnv::hostIp(), 2059, QByteArray("\x02X\x03", 3));
    QVERIFY(m.ep.Active());
    MainEndpoint n;
    n.ep.Bindings();
    m.ep.SetActive(false);
    n.ep.SendBroadcast(DeviceDatagram::DiscoveryRequest(), 2058);
    QVERIFY(n.ep.Active());
}

void TestEndpoint::broadcastComesBackToOwnSocket() {
    MainEndpoint m;
    m.ep.SetActive(true);
    m.ep.SendBroadcast(DeviceDatagram::DiscoveryRequest(), 2058);
    QTRY_COMPARE(m.snapshot().size(), 1);
    QCOMPARE(m.snapshot().first(), DeviceDatagram::DiscoveryRequest());
    QCOMPARE(m.threads().first(), false);  // ThreadedEvent: the receiving thread
}

void TestEndpoint::broadcastPermission() {
    MainEndpoint m;
    m.ep.SetActive(true);
    m.ep.SetBroadcastEnabled(false);
    // A plain send to the broadcast address needs the permission...
    QCOMPARE(
        errorOf([&] { m.ep.SendToHost(QStringLiteral("255.255.255.255"), 2058, "\x02Z\x03"); }),
        QStringLiteral("Socket Error # 13\r\nPermission denied"));
    // ...SendBroadcast grants it for its own send and takes it away again.
    m.ep.SendBroadcast(DeviceDatagram::DiscoveryRequest(), 2058);
    QTRY_COMPARE(m.snapshot().size(), 1);
    QVERIFY(errorOf([&] {
                m.ep.SendToHost(QStringLiteral("255.255.255.255"), 2058, "\x02Z\x03");
            }).startsWith(QStringLiteral("Socket Error # 13")));
    m.ep.SetBroadcastEnabled(true);
    m.ep.SendToHost(QStringLiteral("255.255.255.255"), 2058, QByteArray("\x02Z\x03", 3));
    QTRY_COMPARE(m.snapshot().size(), 2);
}

void TestEndpoint::handOffKeepsArrivalOrderOnUiThread() {
    MainEndpoint m(/*threaded=*/false);
    m.ep.SetActive(true);
    Peer peer;
    const int n = 200;
    for (int i = 0; i < n; ++i) {
        peer.ep.SendToHost(NetnsEnv::hostIp(), 2058, QByteArray::number(i));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m.snapshot().size(), n, 10000);
    const auto got = m.snapshot();
    for (int i = 0; i < n; ++i) QCOMPARE(got[i], QByteArray::number(i));
    QVERIFY(!m.threads().contains(false));
}

void TestEndpoint::deactivationDuringHandOffDoesNotDeadlock() {
    for (int round = 0; round < 20; ++round) {
        MainEndpoint m(/*threaded=*/false);
        m.ep.SetActive(true);
        Peer peer;
        for (int i = 0; i < 50; ++i) peer.ep.SendToHost(NetnsEnv::hostIp(), 2058, "x");
        QThread::msleep(round % 3);
        // The UI thread has not processed the hand-offs: deactivation must still return.
        m.ep.SetActive(false);
        QVERIFY(!m.ep.Active());
        const int before = m.snapshot().size();
        QCoreApplication::processEvents();  // a stale hand-off runs no handler
        QCOMPARE(m.snapshot().size(), before);
    }
}

void TestEndpoint::requestsAreDroppedBeforeTheHandler_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("a chunk (F)") << QByteArray(
                                        "\x02"
                                        "F0123\x03")
                                 << false;
    QTest::newRow("an apply request (A)") << QByteArray(
                                                 "\x02"
                                                 "A\x03")
                                          << false;
    QTest::newRow("Z") << QByteArray(
                              "\x02"
                              "Z\x03")
                       << false;
    QTest::newRow("an acknowledgement (f)") << QByteArray(
                                                   "\x02"
                                                   "f0123\x03")
                                            << true;
    QTest::newRow("the discovery request (g)") << QByteArray(
                                                      "\x02"
                                                      "g\x03")
                                               << true;
    QTest::newRow("@, just below A") << QByteArray(
                                            "\x02"
                                            "@\x03")
                                     << true;
    QTest::newRow("[, just above Z") << QByteArray(
                                            "\x02"
                                            "[\x03")
                                     << true;
    QTest::newRow("one byte: no letter") << QByteArray("\x02") << false;
}

void TestEndpoint::requestsAreDroppedBeforeTheHandler() {
    QFETCH(QByteArray, datagram);
    QFETCH(bool, delivered);
    MainEndpoint m;
    m.ep.SetDropRequests(true);
    m.ep.SetActive(true);
    Peer peer;
    peer.ep.SendToHost(NetnsEnv::hostIp(), 2058, datagram);
    peer.ep.SendToHost(NetnsEnv::hostIp(), 2058, "end");  // kept: what came before has been seen
    QTRY_VERIFY(m.snapshot().contains("end"));
    QCOMPARE(m.snapshot().contains(datagram), delivered);
}

void TestEndpoint::overlongDatagramIsDropped() {
    MainEndpoint m;
    m.ep.SetBufferSize(16);
    m.ep.SetActive(true);
    Peer peer;
    peer.ep.SendToHost(NetnsEnv::hostIp(), 2058, QByteArray(17, 'a'));
    peer.ep.SendToHost(NetnsEnv::hostIp(), 2058, QByteArray(16, 'b'));
    QTRY_COMPARE(m.snapshot().size(), 1);
    QCOMPARE(m.snapshot().first(), QByteArray(16, 'b'));
}

QTEST_GUILESS_MAIN(TestEndpoint)
#include "tst_endpoint.moc"

#include "support/NetnsEnv.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/UdpEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
// Collects the "g" replies that reach port 2058, from the receiving thread.
class ReplyCollector {
public:
    explicit ReplyCollector(UdpEndpoint& endpoint) {
        endpoint.SetThreadedEvent(true);
        endpoint.SetOnUDPRead(
            [this](UdpEndpoint&, const QByteArray& datagram, const UdpEndpoint::Binding&) {
                if (ReplyLetter(datagram) != 'g') return;  // our own request comes back too
                std::lock_guard<std::mutex> lock(mutex_);
                replies_.append(datagram);
                arrived_.notify_all();
            });
    }
    // The replies once `count` have come, or what came within a generous limit.
    QList<QByteArray> waitFor(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return replies_.size() >= count; });
        QList<QByteArray> out = replies_;
        replies_.clear();
        return out;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    QList<QByteArray> replies_;
};

QStringList macsOf(const QList<QByteArray>& replies) {
    QStringList macs;
    for (const QByteArray& r : replies) macs << DecodeMac(r.mid(2, 6));
    macs.sort();
    return macs;
}

QJsonObject dump(QProcess& sim) {
    sim.write("dump\n");
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    return QJsonDocument::fromJson(sim.readLine()).object();
}
}  // namespace

// A session at the gateways: the simulator in their namespace, the test where
// the program would be.
class TestSimNetns : public QObject {
    Q_OBJECT
private slots:
    void discoverAndSetNetwork();
    void leavesOnSigterm();
};

void TestSimNetns::discoverAndSetNetwork() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({});
    QVERIFY(sim->state() == QProcess::Running);

    UdpEndpoint endpoint;
    endpoint.AddBinding("0.0.0.0", DeviceDatagram::Port);
    ReplyCollector collector(endpoint);
    endpoint.SetActive(true);

    endpoint.SendBroadcast(DeviceDatagram::DiscoveryRequest(), DeviceDatagram::Port);
    const QList<QByteArray> replies = collector.waitFor(3);
    QCOMPARE(macsOf(replies),
             (QStringList{"00-1A-2B-00-00-01", "00-1A-2B-00-00-02", "00-1A-2B-00-00-03"}));
    for (const QByteArray& r : replies) QCOMPARE(r.size(), 85);

    // Unicast: only the gateway at that address answers.
    endpoint.SendToHost("198.19.0.11", DeviceDatagram::Port, DeviceDatagram::DiscoveryRequest());
    QCOMPARE(macsOf(collector.waitFor(1)), QStringList{"00-1A-2B-00-00-02"});

    const QByteArray s = QByteArray::fromHex(
                             "0253"
                             "001A2B000003"
                             "C6130202"
                             "C6130001"
                             "FFFF0000"
                             "C6130003") +
                         EncodeDeviceName("Renamed") + QByteArray::fromHex("03");
    endpoint.SendBroadcast(s, DeviceDatagram::Port);
    // Same socket, same path: the request after the "S" sees it applied.
    endpoint.SendToHost("198.19.2.2", DeviceDatagram::Port, DeviceDatagram::DiscoveryRequest());
    const QList<QByteArray> moved = collector.waitFor(1);
    QCOMPARE(macsOf(moved), QStringList{"00-1A-2B-00-00-03"});
    QCOMPARE(DecodeDeviceName(moved[0].mid(20, 32)), QString("Renamed"));

    // End of input does not stop it: it still answers and still takes commands.
    const QJsonObject state = dump(*sim);
    const QJsonObject third = state["gateways"].toArray().at(2).toObject();
    QCOMPARE(third["ip"].toString(), QString("198.19.2.2"));
    QCOMPARE(third["viewIp"].toString(), QString("198.19.0.3"));
    QCOMPARE(state["gateways"].toArray().at(1).toObject()["name"].toString(), QString("Workshop"));

    sim->write("quit\n");
    QVERIFY(sim->waitForFinished(10000));
    QCOMPARE(sim->exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim->exitCode(), 0);
}

void TestSimNetns::leavesOnSigterm() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--quiet", "--count", "1"});
    sim->closeWriteChannel();  // end of input: must keep running

    UdpEndpoint endpoint;
    endpoint.AddBinding("0.0.0.0", DeviceDatagram::Port);
    ReplyCollector collector(endpoint);
    endpoint.SetActive(true);
    endpoint.SendBroadcast(DeviceDatagram::DiscoveryRequest(), DeviceDatagram::Port);
    QCOMPARE(collector.waitFor(1).size(), 1);
    QVERIFY(sim->state() == QProcess::Running);

    sim->terminate();
    QVERIFY(sim->waitForFinished(10000));
    QCOMPARE(sim->exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim->exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimNetns)
#include "tst_simnetns.moc"

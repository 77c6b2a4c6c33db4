#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// The namespaces that tests/netns/netns-run made for this test.
namespace NetnsEnv {
// True when this process runs in its own network namespace made by netns-run.
bool isolated();
// Why not, for the skip message.
QString whyNotIsolated();
// The program's address in its namespace (198.18.0.1).
QString hostIp();
// Starts a program in the gateways' namespace. The process dies with the test.
std::unique_ptr<QProcess> startInGatewayNamespace(const QString& program, const QStringList& args);
// build/gateway-sim with the given arguments, in the gateways' namespace; waits
// until it reports that it listens.
std::unique_ptr<QProcess> startSimulator(const QStringList& args);
// The same in another of the harness's namespaces (behind an office link, say).
std::unique_ptr<QProcess> startSimulatorIn(const QString& netns, const QStringList& args);
}  // namespace NetnsEnv

// Skips the calling test function unless it runs in the harness's namespaces.
#define REQUIRE_NETNS()                                                           \
    do {                                                                          \
        if (!NetnsEnv::isolated()) QSKIP(qPrintable(NetnsEnv::whyNotIsolated())); \
    } while (0)

// The PC's links as tests/netns/netns-run --topology made them.
namespace NetnsEnv {
QString topology();              // "single", "two-links", "plant-only", "links=N"
QString plantInterface();        // the PC's interface towards the gateways
QStringList officeInterfaces();  // the PC's other interfaces; the first holds the default route
QStringList officeNamespaces();  // the namespace behind each of them
// `ip link set NAME up|down` in the test's namespace.
bool setLink(const QString& name, bool up);
}  // namespace NetnsEnv

// A UDP socket bound to 0.0.0.0:port in another of the harness's namespaces (the
// far side of an office link), to see what reaches that link. A thread that
// joins the namespace makes the socket, so the test's own threads stay where they are.
class NamespaceListener {
public:
    NamespaceListener(const QString& netns, quint16 port);
    ~NamespaceListener();
    NamespaceListener(const NamespaceListener&) = delete;
    NamespaceListener& operator=(const NamespaceListener&) = delete;
    bool ok() const { return fd_ >= 0; }
    // The datagrams received since the last call.
    QList<QByteArray> take();

private:
    int fd_ = -1;
};

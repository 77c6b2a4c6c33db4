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
}  // namespace NetnsEnv

// Skips the calling test function unless it runs in the harness's namespaces.
#define REQUIRE_NETNS()                                                           \
    do {                                                                          \
        if (!NetnsEnv::isolated()) QSKIP(qPrintable(NetnsEnv::whyNotIsolated())); \
    } while (0)

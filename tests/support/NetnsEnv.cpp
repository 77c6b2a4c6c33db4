#include "support/NetnsEnv.h"

#include <QFileInfo>
#include <QtTest>

namespace {
QString netnsLink(const char* path) { return QFileInfo(QString::fromLatin1(path)).symLinkTarget(); }
}  // namespace

bool NetnsEnv::isolated() { return whyNotIsolated().isEmpty(); }

QString NetnsEnv::whyNotIsolated() {
    if (qEnvironmentVariableIsEmpty("VARNEX_NETNS_B")) {
        return QStringLiteral("not started by tests/netns/netns-run: sockets stay off the host network");
    }
    // Never trust the variable alone: this process must not share the namespace of PID 1.
    const QString own = netnsLink("/proc/self/ns/net");
    const QString init = netnsLink("/proc/1/ns/net");
    if (own.isEmpty() || own == init) {
        return QStringLiteral("this process runs in the host's network namespace");
    }
    return QString();
}

QString NetnsEnv::hostIp() { return qEnvironmentVariable("VARNEX_HOST_IP", QStringLiteral("198.18.0.1")); }

std::unique_ptr<QProcess> NetnsEnv::startInGatewayNamespace(const QString& program,
                                                            const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList all{QStringLiteral("netns"), QStringLiteral("exec"),
                    qEnvironmentVariable("VARNEX_NETNS_B"), program};
    all << args;
    p->start(QStringLiteral("ip"), all);
    p->waitForStarted(5000);
    return p;
}

std::unique_ptr<QProcess> NetnsEnv::startSimulator(const QStringList& args) {
    auto p = startInGatewayNamespace(QStringLiteral(VARNEX_BUILD_DIR "/gateway-sim"), args);
    // The simulator prints one line once its socket is bound.
    for (int i = 0; i < 100 && !p->canReadLine(); ++i) p->waitForReadyRead(100);
    p->readLine();
    return p;
}

#include "support/NetnsEnv.h"

#include <QFileInfo>
#include <QtTest>

#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {
QString netnsLink(const char* path) {
    return QFileInfo(QString::fromLatin1(path)).symLinkTarget();
}
}  // namespace

bool NetnsEnv::isolated() {
    return whyNotIsolated().isEmpty();
}

QString NetnsEnv::whyNotIsolated() {
    if (qEnvironmentVariableIsEmpty("VARNEX_NETNS_B")) {
        return QStringLiteral(
            "not started by tests/netns/netns-run: sockets stay off the host network");
    }
    // Never trust the variable alone: this process must not share the namespace of PID 1.
    const QString own = netnsLink("/proc/self/ns/net");
    const QString init = netnsLink("/proc/1/ns/net");
    if (own.isEmpty() || own == init) {
        return QStringLiteral("this process runs in the host's network namespace");
    }
    return QString();
}

QString NetnsEnv::hostIp() {
    return qEnvironmentVariable("VARNEX_HOST_IP", QStringLiteral("198.18.0.1"));
}

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
    return startSimulatorIn(qEnvironmentVariable("VARNEX_NETNS_B"), args);
}

std::unique_ptr<QProcess> NetnsEnv::startSimulatorIn(const QString& netns,
                                                     const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral("ip"),
             QStringList{QStringLiteral("netns"), QStringLiteral("exec"), netns,
                         QStringLiteral(VARNEX_BUILD_DIR "/gateway-sim")} +
                 args);
    p->waitForStarted(5000);
    // The simulator prints one line once its socket is bound.
    for (int i = 0; i < 100 && !p->canReadLine(); ++i) p->waitForReadyRead(100);
    p->readLine();
    return p;
}

QString NetnsEnv::topology() {
    return qEnvironmentVariable("VARNEX_TOPOLOGY", QStringLiteral("single"));
}

QString NetnsEnv::plantInterface() {
    return qEnvironmentVariable("VARNEX_PLANT_IF");
}

QStringList NetnsEnv::officeInterfaces() {
    return qEnvironmentVariable("VARNEX_OFFICE_IF").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList NetnsEnv::officeNamespaces() {
    return qEnvironmentVariable("VARNEX_NETNS_OFFICE").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool NetnsEnv::setLink(const QString& name, bool up) {
    return QProcess::execute(QStringLiteral("ip"),
                             {QStringLiteral("link"), QStringLiteral("set"), name,
                              up ? QStringLiteral("up") : QStringLiteral("down")}) == 0;
}

NamespaceListener::NamespaceListener(const QString& netns, quint16 port) {
    const QByteArray path = QByteArrayLiteral("/run/netns/") + netns.toLocal8Bit();
    std::thread([&] {
        const int nsFd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (nsFd < 0) return;
        // setns moves this thread alone; it ends right after.
        if (::setns(nsFd, CLONE_NEWNET) == 0) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_port = htons(port);
            if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
                fd_ = fd;
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        ::close(nsFd);
    }).join();
}

NamespaceListener::~NamespaceListener() {
    if (fd_ >= 0) ::close(fd_);
}

QList<QByteArray> NamespaceListener::take() {
    QList<QByteArray> got;
    char buffer[2048];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0) break;
        got.append(QByteArray(buffer, static_cast<int>(n)));
    }
    return got;
}

#include "link/UdpEndpoint.h"

#include "link/Codecs.h"
#include "link/NetInterfaces.h"
#include "link/VarnexError.h"

#include <QMetaObject>

#include <arpa/inet.h>
#include <linux/filter.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <optional>

namespace {
VarnexError socketError(int err) {
    return VarnexError(QStringLiteral("Socket Error # %1\r\n%2")
                           .arg(err)
                           .arg(QString::fromLocal8Bit(std::strerror(err))));
}

[[noreturn]] void throwSocketError(int err) {
    throw socketError(err);
}

// What a send that did not go out whole reports.
VarnexError sendError(ssize_t sent, int err) {
    if (sent < 0) {
        if (err == EMSGSIZE) return VarnexError(QStringLiteral("Package Size Too Big."));
        return socketError(err);
    }
    return VarnexError(QStringLiteral("Not all bytes sent."));
}

// A socket filter that drops every datagram whose second byte (the letter after
// STX) is an upper-case letter. A UDP socket's filter sees the datagram from its
// 8-byte UDP header on, so the letter is at offset 9. Without the filter the
// datagram would only be read and ignored, so a failure to attach it is not an error.
void dropRequestsIn(int fd) {
    static sock_filter code[] = {
        {BPF_LD | BPF_B | BPF_ABS, 0, 0, 8 + 1},
        {BPF_JMP | BPF_JGE | BPF_K, 0, 2, 'A'},  // below 'A': keep
        {BPF_JMP | BPF_JGT | BPF_K, 1, 0, 'Z'},  // above 'Z': keep
        {BPF_RET | BPF_K, 0, 0, 0},              // drop
        {BPF_RET | BPF_K, 0, 0, 0xFFFFFFFF},     // keep whole
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

// The interface a datagram came in on, from its IP_PKTINFO control message.
int arrivalInterface(msghdr& msg) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            return info.ipi_ifindex;
        }
    }
    return 0;
}

// A dotted address is used as it stands; anything else goes to name resolution.
quint32 resolve(const QString& host) {
    quint32 address = 0;
    if (ParseDottedIPv4(host, address)) return address;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        const int err = rc == EAI_SYSTEM ? errno : rc;
        const QString text = rc == EAI_SYSTEM ? QString::fromLocal8Bit(std::strerror(errno))
                                              : QString::fromLocal8Bit(gai_strerror(rc));
        if (result) freeaddrinfo(result);
        throw VarnexError(QStringLiteral("Socket Error # %1\r\n%2").arg(err).arg(text));
    }
    address = ntohl(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(result);
    return address;
}
}  // namespace

struct UdpEndpoint::Handoff {
    QByteArray datagram;
    int bindingIndex = 0;
    QString peer;
    quint16 peerPort = 0;
    int interfaceIndex = 0;
    quint64 generation = 0;
    bool done = false;
};

UdpEndpoint::UdpEndpoint(QObject* parent) : QObject(parent) {}

UdpEndpoint::~UdpEndpoint() {
    deactivate();
}

void UdpEndpoint::AddBinding(const QString& address, quint16 port) {
    Binding b;
    b.address = address;
    b.port = port;
    bindings_.append(b);
}

void UdpEndpoint::SetActive(bool on) {
    if (on) {
        if (!Active()) activate();
    } else {
        deactivate();
    }
}

void UdpEndpoint::activate() {
    if (bindings_.isEmpty())
        AddBinding(QStringLiteral("0.0.0.0"), static_cast<quint16>(defaultPort_));

    std::vector<int> opened;
    auto closeOpened = [&] {
        for (int fd : opened) ::close(fd);
    };
    for (const Binding& b : bindings_) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            closeOpened();
            throw VarnexError(QStringLiteral("Cannot allocate socket."));
        }
        opened.push_back(fd);
        // Room for a burst of replies from many gateways; the kernel caps it.
        const int receiveBuffer = 4 * 1024 * 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        // Each reply tells the interface it came in on: the gateway is reached
        // through that one.
        // Without it an interface limit would drop every reply, so its
        // failure is the endpoint's.
        const int on = 1;
        if (::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
            const int err = errno;
            closeOpened();
            throwSocketError(err);
        }
        if (dropRequests_) dropRequestsIn(fd);
        quint32 address = 0;
        if (!ParseDottedIPv4(b.address, address)) {
            closeOpened();
            throw VarnexError(QStringLiteral("Socket Error # %1\r\n%2")
                                  .arg(EINVAL)
                                  .arg(QString::fromLocal8Bit(std::strerror(EINVAL))));
        }
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(b.port);
        local.sin_addr.s_addr = htonl(address);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            const int err = errno;
            closeOpened();
            if (err == EADDRINUSE) {
                throw VarnexError(
                    QStringLiteral("Could not bind socket. Address and port are already in use."));
            }
            throwSocketError(err);
        }
    }

    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        const int err = errno;
        closeOpened();
        throwSocketError(err);
    }
    sockets_ = opened;
    wakeFd_ = wake;
    stop_.store(false);
    generation_.fetch_add(1);
    try {
        applyBroadcast(broadcastEnabled_);
    } catch (...) {
        deactivate();
        throw;
    }
    thread_ = std::thread(&UdpEndpoint::receiveLoop, this, sockets_, wakeFd_, bufferSize_,
                          interfaceName_);
}

void UdpEndpoint::deactivate() {
    if (!Active()) return;
    {
        std::lock_guard<std::mutex> lock(handoffMutex_);
        stop_.store(true);
        generation_.fetch_add(1);  // a hand-off still queued for the UI thread is dropped
    }
    handoffDone_.notify_all();
    const quint64 one = 1;
    [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    for (int fd : sockets_) ::close(fd);
    sockets_.clear();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void UdpEndpoint::receiveLoop(std::vector<int> fds, int wakeFd, int bufferSize,
                              QString onlyInterfaceName) {
    // A named interface that does not exist lets nothing in (-1 matches no
    // index). An interface taken down and made again gets a new index: a
    // datagram from another index asks the system again before it is dropped.
    int onlyInterface = 0;
    const auto lookUp = [&] {
        const int index = InterfaceIndexOf(onlyInterfaceName);
        onlyInterface = index == 0 ? -1 : index;
    };
    if (!onlyInterfaceName.isEmpty()) lookUp();
    std::vector<pollfd> pfds;
    for (int fd : fds) pfds.push_back(pollfd{fd, POLLIN, 0});
    pfds.push_back(pollfd{wakeFd, POLLIN, 0});
    // One byte more than the buffer, to tell an over-long datagram from one that fits.
    QByteArray buffer(bufferSize + 1, '\0');

    while (!stop_.load()) {
        for (auto& p : pfds) p.revents = 0;
        // The wake-up descriptor ends the wait at once on deactivation; the
        // one-second bound is only a safety net.
        const int ready = ::poll(pfds.data(), pfds.size(), 1000);
        if (ready <= 0) continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (stop_.load()) return;
            if (!(pfds[i].revents & POLLIN)) continue;
            sockaddr_in peer{};
            iovec iov{buffer.data(), static_cast<size_t>(buffer.size())};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
            msghdr msg{};
            msg.msg_name = &peer;
            msg.msg_namelen = sizeof peer;
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t got = ::recvmsg(fds[i], &msg, MSG_DONTWAIT);
            if (got < 0 || got > bufferSize) continue;  // receive error or over-long: dropped
            const int arrivedOn = arrivalInterface(msg);
            if (onlyInterface != 0 && arrivedOn != onlyInterface) {
                lookUp();
                if (arrivedOn != onlyInterface) continue;
            }
            char text[INET_ADDRSTRLEN] = {0};
            ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
            deliver(QByteArray(buffer.constData(), static_cast<int>(got)), static_cast<int>(i),
                    QString::fromLatin1(text), ntohs(peer.sin_port), arrivedOn);
        }
    }
}

void UdpEndpoint::deliver(const QByteArray& datagram, int bindingIndex, const QString& peer,
                          quint16 peerPort, int interfaceIndex) {
    if (threadedEvent_) {
        if (!onUDPRead_) return;
        Binding b;  // a copy: the UI thread owns bindings_
        b.peerAddress = peer;
        b.peerPort = peerPort;
        b.interfaceIndex = interfaceIndex;
        try {
            onUDPRead_(*this, datagram, b);
        } catch (...) {
            // An error raised by the handler loses this datagram only.
        }
        return;
    }
    auto job = std::make_shared<Handoff>();
    job->datagram = datagram;
    job->bindingIndex = bindingIndex;
    job->peer = peer;
    job->peerPort = peerPort;
    job->interfaceIndex = interfaceIndex;
    {
        std::lock_guard<std::mutex> lock(handoffMutex_);
        if (stop_.load()) return;
        job->generation = generation_.load();
    }
    QMetaObject::invokeMethod(
        this, [this, job] { runHandoff(job); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(handoffMutex_);
    handoffDone_.wait(lock, [&] { return job->done || stop_.load(); });
}

void UdpEndpoint::runHandoff(const std::shared_ptr<Handoff>& job) {
    const bool current = job->generation == generation_.load() && Active();
    if (current && onUDPRead_) {
        Binding b = job->bindingIndex < bindings_.size() ? bindings_[job->bindingIndex] : Binding();
        b.peerAddress = job->peer;
        b.peerPort = job->peerPort;
        b.interfaceIndex = job->interfaceIndex;
        try {
            onUDPRead_(*this, job->datagram, b);
        } catch (...) {
            // Dropped like an error on the receiving thread.
        }
    }
    {
        std::lock_guard<std::mutex> lock(handoffMutex_);
        job->done = true;
    }
    handoffDone_.notify_all();
}

void UdpEndpoint::SetBroadcastEnabled(bool on) {
    // The sockets always hold the switch as it stands (SendBroadcast puts it
    // back), so setting the same value again changes nothing.
    if (on == broadcastEnabled_) return;
    broadcastEnabled_ = on;
    if (Active()) applyBroadcast(on);
}

void UdpEndpoint::applyBroadcast(bool on) {
    const int value = on ? 1 : 0;
    for (int fd : sockets_) {
        if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0) {
            throwSocketError(errno);
        }
    }
}

void UdpEndpoint::sendTo(quint32 addressHostOrder, quint16 port, const QByteArray& data) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(addressHostOrder);
    const ssize_t sent = ::sendto(sockets_.front(), data.constData(), data.size(), 0,
                                  reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (sent != data.size()) throw sendError(sent, errno);
}

// The kernel routes a limited broadcast from a socket bound to 0.0.0.0 by the
// routing table alone: out of the default route's interface, or nowhere
// ("Network is unreachable") without one. An IP_PKTINFO control message that
// names the interface makes this one send leave through it, from the same
// socket that receives every reply on 0.0.0.0:2058, with no privilege and no
// second socket on the port (a socket bound to the interface's own address
// would miss the broadcast replies; SO_BINDTODEVICE needs privilege on older
// kernels and holds for the socket's whole life).
void UdpEndpoint::sendThrough(int interfaceIndex, quint16 port, const QByteArray& data) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    iovec iov{const_cast<char*>(data.constData()), static_cast<size_t>(data.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;  // the source address is the interface's own
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    const ssize_t sent = ::sendmsg(sockets_.front(), &msg, 0);
    if (sent != data.size()) throw sendError(sent, errno);
}

void UdpEndpoint::sendThroughEvery(quint16 port, const QByteArray& data, QList<Copy>* copies) {
    const QList<NetInterface> interfaces = BroadcastInterfaces(interfaceName_);
    if (interfaces.isEmpty()) {
        throw VarnexError(
            interfaceName_.isEmpty()
                ? QStringLiteral("No network interface is up.")
                : QStringLiteral("The network interface %1 is not up.").arg(interfaceName_));
    }
    // A link that cannot take its copy (gone down a moment ago, say) does not
    // keep the others from theirs; only when none went out is that an error.
    std::optional<VarnexError> firstFailure;
    bool anySent = false;
    for (const NetInterface& i : interfaces) {
        try {
            sendThrough(i.index, port, data);
            anySent = true;
            if (copies) copies->append({i.index, QString()});
        } catch (const VarnexError& e) {
            if (!firstFailure) firstFailure = e;
            if (copies) copies->append({i.index, e.text()});
        }
    }
    if (!anySent) throw *firstFailure;
}

bool UdpEndpoint::allowedInterface(int interfaceIndex) const {
    if (interfaceIndex <= 0) return false;
    return interfaceName_.isEmpty() || InterfaceIndexOf(interfaceName_) == interfaceIndex;
}

void UdpEndpoint::SendBroadcast(const QByteArray& data, quint16 port, int interfaceIndex,
                                QList<Copy>* copies) {
    if (!Active()) activate();
    // With BroadcastEnabled the sockets may broadcast already (the firmware run
    // sends thousands of chunks: no switching back and forth for each).
    // Otherwise this send alone is let through, and whatever happens to it the
    // sockets go back to BroadcastEnabled.
    const bool grant = !broadcastEnabled_;
    const int one = 1;
    if (grant && ::setsockopt(sockets_.front(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0) {
        throwSocketError(errno);
    }
    try {
        bool sent = false;
        if (allowedInterface(interfaceIndex)) {
            try {
                sendThrough(interfaceIndex, port, data);
                sent = true;
            } catch (const VarnexError&) {
                // The gateway's interface has gone or cannot send: reach it
                // wherever it may be now.
            }
        }
        if (!sent) sendThroughEvery(port, data, copies);
    } catch (...) {
        if (grant) applyBroadcast(false);
        throw;
    }
    if (grant) applyBroadcast(false);
}

void UdpEndpoint::SendToHost(const QString& host, quint16 port, const QByteArray& data) {
    const quint32 address = resolve(host);
    if (!Active()) activate();
    sendTo(address, port, data);
}

quint16 UdpEndpoint::BoundPort() const {
    if (sockets_.empty()) return 0;
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (::getsockname(sockets_.front(), reinterpret_cast<sockaddr*>(&local), &len) != 0) return 0;
    return ntohs(local.sin_port);
}

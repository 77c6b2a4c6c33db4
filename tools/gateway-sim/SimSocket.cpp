#include "SimSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {
QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// Large enough for thousands of replies in one burst.
constexpr int kBufferBytes = 4 * 1024 * 1024;
}  // namespace

QString AddressText(quint32 hostOrder) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(hostOrder >> 24)
        .arg((hostOrder >> 16) & 0xFF)
        .arg((hostOrder >> 8) & 0xFF)
        .arg(hostOrder & 0xFF);
}

SimSocket::~SimSocket() {
    if (fd_ >= 0) ::close(fd_);
}

bool SimSocket::open(const QString& address, quint16 port, QString& error) {
    in_addr local{};
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &local) != 1) {
        error = QStringLiteral("'%1' is not an IPv4 address").arg(address);
        return false;
    }
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = systemError("socket");
        return false;
    }
    const int one = 1;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0 ||
        ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) != 0) {
        error = systemError("setsockopt");
        return false;
    }
    // A broadcast burst of replies comes straight back to this socket; with the
    // system's small default buffer those echoes would crowd out the requests
    // that follow. The forced sizes need root; otherwise the capped ones do.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kBufferBytes, sizeof kBufferBytes) != 0) {
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    }
    if (::setsockopt(fd_, SOL_SOCKET, SO_SNDBUFFORCE, &kBufferBytes, sizeof kBufferBytes) != 0) {
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &kBufferBytes, sizeof kBufferBytes);
    }

    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    bound.sin_addr = local;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) {
        error = systemError("bind");
        return false;
    }
    return true;
}

quint16 SimSocket::boundPort() const {
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) != 0) return 0;
    return ntohs(local.sin_port);
}

std::optional<SimSocket::Received> SimSocket::receive() {
    if (buffer_.isEmpty()) buffer_.resize(65536);
    sockaddr_in peer{};
    iovec io{buffer_.data(), static_cast<size_t>(buffer_.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg{};
    msg.msg_name = &peer;
    msg.msg_namelen = sizeof peer;
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;

    const ssize_t got = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
    if (got < 0) return std::nullopt;

    Received r;
    r.data = buffer_.left(static_cast<int>(got));
    r.sender = ntohl(peer.sin_addr.s_addr);
    r.senderPort = ntohs(peer.sin_port);
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            r.destination = ntohl(info.ipi_addr.s_addr);
        }
    }
    return r;
}

bool SimSocket::send(const Outgoing& datagram, QString& error) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(datagram.port);
    to.sin_addr.s_addr = htonl(datagram.address);
    const ssize_t sent =
        ::sendto(fd_, datagram.data.constData(), static_cast<size_t>(datagram.data.size()), 0,
                 reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (sent < 0) {
        error = systemError("sendto");
        return false;
    }
    return true;
}

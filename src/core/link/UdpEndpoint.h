#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A UDP endpoint: sockets bound to the addresses of Bindings, one receiving
// thread while active, and two send operations. Both endpoints of the program
// bind port 2058 without address reuse, so at most one of them is active.
//
// All operations are called on the thread that owns the object (the UI thread).
// OnUDPRead runs on the receiving thread when ThreadedEvent is true; otherwise
// the receiving thread hands each datagram to the owner's thread and waits until
// the handler has run there. Configure OnUDPRead and ThreadedEvent while inactive.
class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    struct Binding {
        QString address;  // IPv4 text, "0.0.0.0" for any
        quint16 port = 0;
        // Sender of the datagram being handled (filled in for the handler only).
        QString peerAddress;
        quint16 peerPort = 0;
        // The interface the datagram arrived on (0 when the system did not say).
        int interfaceIndex = 0;
    };
    using ReadHandler = std::function<void(UdpEndpoint& endpoint, const QByteArray& datagram,
                                           const Binding& binding)>;

    explicit UdpEndpoint(QObject* parent = nullptr);
    ~UdpEndpoint() override;

    const QList<Binding>& Bindings() const { return bindings_; }
    void AddBinding(const QString& address, quint16 port);

    int DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(int port) { defaultPort_ = port; }

    bool BroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool on);

    int BufferSize() const { return bufferSize_; }
    void SetBufferSize(int bytes) { bufferSize_ = bytes; }

    bool ThreadedEvent() const { return threadedEvent_; }
    void SetThreadedEvent(bool on) { threadedEvent_ = on; }

    void SetOnUDPRead(ReadHandler handler) { onUDPRead_ = std::move(handler); }

    bool Active() const { return !sockets_.empty(); }
    // Activation binds every binding (adding one of any address and DefaultPort
    // when there is none) and starts the receiving thread; deactivation stops the
    // thread at once, discards what the sockets held and closes them.
    void SetActive(bool on);

    // Requests (an upper-case letter after STX) are for gateways: the program's
    // own come back to it from every broadcast, one for each firmware chunk, and
    // no handler of the program takes them. With this set, the kernel drops them
    // before they wake the receiving thread. Set while inactive.
    void SetDropRequests(bool on) { dropRequests_ = on; }

    // Limits sending and receiving to the interface of that name; empty: every
    // interface. Set while inactive.
    const QString& InterfaceName() const { return interfaceName_; }
    void SetInterfaceName(const QString& name) { interfaceName_ = name; }

    // A limited broadcast (255.255.255.255:port). With an interface index, the one
    // datagram goes out through that interface alone; without one, or when that
    // interface has gone or cannot send, one copy goes out through every
    // interface that BroadcastInterfaces lists. Raises VarnexError only when no
    // copy could be sent: "No network interface is up." when there is none to
    // send through, otherwise the error of the first copy that failed.
    // `copies`, when given, gets each interface's copy: its index and the
    // error it met (empty when it went out).
    struct Copy {
        int interfaceIndex = 0;
        QString error;
    };
    void SendBroadcast(const QByteArray& data, quint16 port, int interfaceIndex = 0,
                       QList<Copy>* copies = nullptr);
    // Unicast by the routing table.
    void SendToHost(const QString& host, quint16 port, const QByteArray& data);

    // The port of the current binding's socket as the system bound it (tests).
    quint16 BoundPort() const;

private:
    struct Handoff;
    void activate();
    void deactivate();
    void receiveLoop(std::vector<int> fds, int wakeFd, int bufferSize, QString onlyInterfaceName);
    void deliver(const QByteArray& datagram, int bindingIndex, const QString& peer,
                 quint16 peerPort, int interfaceIndex);
    void runHandoff(const std::shared_ptr<Handoff>& job);
    void applyBroadcast(bool on);
    void sendTo(quint32 addressHostOrder, quint16 port, const QByteArray& data);
    void sendThrough(int interfaceIndex, quint16 port, const QByteArray& data);
    void sendThroughEvery(quint16 port, const QByteArray& data, QList<Copy>* copies);
    bool allowedInterface(int interfaceIndex) const;

    QList<Binding> bindings_;
    int defaultPort_ = 0;
    bool broadcastEnabled_ = false;
    int bufferSize_ = 8192;
    bool threadedEvent_ = true;
    ReadHandler onUDPRead_;
    QString interfaceName_;
    bool dropRequests_ = false;

    std::vector<int> sockets_;  // one per binding while active
    int wakeFd_ = -1;           // eventfd that ends the receiving thread's wait at once
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex handoffMutex_;
    std::condition_variable handoffDone_;
    std::atomic<quint64> generation_{0};
};

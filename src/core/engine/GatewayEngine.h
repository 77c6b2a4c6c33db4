#pragma once

#include "discovery/DiscoveryReply.h"
#include "link/GatewayInterfaces.h"
#include "link/UdpEndpoint.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class Clock;
class FirmwareRun;
class GatewayEngine;

// A front end's hold on port 2058: the window's UDPServer, the dialog's
// ConfigUDP. At most one handle of an engine is active at a time, as two
// sockets on the port could not both be bound; an inactive handle is handed
// nothing, so no reply arrives after it was switched off. Owner thread only.
class PortHandle : public QObject {
    Q_OBJECT
public:
    // `onRead` gets every datagram while the handle is active: on the receiving
    // thread with `onReceivingThread`, otherwise queued to this handle's thread.
    using ReadHandler = std::function<void(const QByteArray& datagram, int interfaceIndex)>;
    PortHandle(GatewayEngine& engine, bool onReceivingThread, QObject* parent = nullptr);
    ~PortHandle() override;

    void SetOnRead(ReadHandler handler) { onRead_ = std::move(handler); }
    bool Active() const { return active_; }
    // Raises "Could not bind socket. Address and port are already in use."
    // while the engine's other handle is active, or the endpoint's error when
    // the port cannot be bound.
    void SetActive(bool on);

    // Whether the window's last request was a broadcast (Search IP clears it).
    bool BroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool on) { broadcastEnabled_ = on; }

    GatewayEngine& Engine() const { return engine_; }

private:
    friend class GatewayEngine;
    Q_INVOKABLE void deliverQueued(quint64 generation);
    GatewayEngine& engine_;
    bool onReceivingThread_;
    ReadHandler onRead_;
    bool active_ = false;
    bool broadcastEnabled_ = true;
    // Datagrams queued for this handle's thread; a new generation drops them.
    std::mutex queueMutex_;
    std::deque<std::pair<QByteArray, int>> queue_;
    qint64 queuedBytes_ = 0;
    bool drainPosted_ = false;
    quint64 generation_ = 0;
};

// The one owner of port 2058 and of everything the program exchanges with
// gateways: the endpoint and its receiving thread, the sorting of what comes
// in, each gateway's interface, discovery, the exchanges with one gateway
// (configuration, network settings, firmware) and their waits. The window,
// the dialog and varnexctl all reach the network through it.
//
// Replies belong to the gateway whose MAC they carry, and each gateway takes
// one exchange at a time, so that many exchanges with different gateways can
// run at once without one's reply counting for another.
//
// Created and called on one owner thread. Waits block that thread on the
// engine's one condition; the window instead takes the engine's signals, which
// its event loop delivers.
class GatewayEngine : public QObject {
    Q_OBJECT
public:
    explicit GatewayEngine(Clock& clock, QObject* parent = nullptr);
    ~GatewayEngine() override;
    GatewayEngine(const GatewayEngine&) = delete;
    GatewayEngine& operator=(const GatewayEngine&) = delete;

    Clock& clock() const { return clock_; }

    // Limits sending and receiving to one interface (empty: every one). Set
    // before the port is first opened.
    void SetInterfaceName(const QString& name);

    // ---- port 2058 -------------------------------------------------------
    // Holds the port for a program without a window (varnexctl) until Release:
    // raises VarnexError when it cannot be bound.
    void Hold();
    void Release();
    bool PortOpen() const { return endpoint_.Active(); }
    // Closes the port when no handle is active, nothing holds it and no
    // exchange runs, so that another program can bind it.
    void CloseIfIdle();

    // ---- discovery ---------------------------------------------------------
    // Starts a Search: forgets the replies of the last one and broadcasts the
    // request through every interface, then again `repeatsMs` (on the engine's
    // clock) after the first, so that a reply lost in a burst of many is made
    // up. A repeat goes out only while the port is still open for the Search;
    // CancelRepeats, a handle switched off or the port's closing drop those
    // still to come.
    void StartSearch(const QList<int>& repeatsMs = {});
    void CancelRepeats();
    // The window's Search: repeated about 1 s and 3 s after the first request.
    static QList<int> WindowRepeatsMs() { return {1000, 3000}; }
    // The request to one address by the routing table (Search IP).
    void SearchHost(const QString& host);
    // The list is emptied: every MAC is new again.
    void ForgetDiscovered();
    // What a "g" datagram means for the current Search: its reply, decoded,
    // with the interface it came in on, the first time its MAC answers; nothing
    // for another copy (a second link to the segment, a repeat) or a datagram
    // that is not a whole reply. Every copy counts for the gateway's interface.
    std::optional<DiscoveryReply> TakeDiscovery(const QByteArray& datagram, int interfaceIndex);
    // A blocking Search: the replies, one per MAC in arrival order, until the
    // time is up or every MAC of `untilMacs` has answered. Batch workers may
    // each run one at once: each gets every reply.
    // The request is repeated at a third and two thirds of the time, unless
    // `repeat` is false.
    QList<DiscoveryReply> Discover(int timeoutMs, const QStringList& untilMacs = QStringList(),
                                   bool repeat = true);

    // What the last Search counted, per interface index, for the report of why
    // it found nothing: requests sent (and the error of one that could not go
    // out), the PC's own request heard coming back, gateway replies, and any
    // other datagram. Kept until the next Search starts.
    struct InterfaceTally {
        int requestsSent = 0;
        QString sendError;
        int echoesHeard = 0;
        int gatewayReplies = 0;
        int otherDatagrams = 0;
    };
    QHash<int, InterfaceTally> SearchTallies() const;
    // The port could not be bound the last time it was opened: another program holds it.
    bool PortHeldElsewhere() const { return portHeldElsewhere_; }
    // The IP addresses each MAC answered from in the last Search (upper-case
    // MAC): two for one MAC mean two units carry it.
    QHash<QString, QSet<QString>> AddressesByMac() const;

    // ---- one gateway ---------------------------------------------------------
    // The interface a gateway last answered on (0: not known).
    int InterfaceOf(const QString& mac) const;
    // A datagram for one gateway, through the interface it answered on.
    void SendTo(const QString& mac, const QByteArray& datagram);

    // One exchange per gateway: raises VarnexError naming the gateway and what
    // it is busy with. The returned claim ends the exchange when destroyed.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim&& other) noexcept;
        Claim& operator=(Claim&& other) noexcept;
        ~Claim();
        bool Held() const { return engine_ != nullptr; }
        const QString& Mac() const { return mac_; }
        void Reset();

    private:
        friend class GatewayEngine;
        GatewayEngine* engine_ = nullptr;
        QString mac_;
    };
    Claim Begin(const QString& mac, const QString& what);
    // What the gateway is busy with, or an empty text.
    QString BusyWith(const QString& mac) const;

    // Configuration replies ("n", "o", "u", "a") of a gateway with a claim:
    // queued while `Collect` is on for it, in arrival order.
    void CollectConfigReplies(const QString& mac, bool on);
    std::optional<QByteArray> NextConfigReply(const QString& mac, const QDeadlineTimer& deadline);

    // ---- firmware ------------------------------------------------------------
    // Starts an upgrade of one gateway with a whole image (see FirmwareRun);
    // raises VarnexError when the gateway is busy, the MAC is not one, or the
    // port cannot be opened.
    std::shared_ptr<FirmwareRun> StartFirmware(const QString& mac, const QByteArray& image);
    int RunningUpgrades() const;

    // ---- for tests and benchmarks ----------------------------------------------
    // Takes a datagram as if the receiving thread had: the same sorting.
    void Receive(const QByteArray& datagram, int interfaceIndex);
    // Requests are dropped before anything else sees them (the program's own
    // echoes); with a tap set they are handed to it first, on the receiving
    // thread, and the kernel filter is off. Set while the port is closed.
    void SetRequestTap(std::function<void(const QByteArray&, int interfaceIndex)> tap);
    UdpEndpoint& Endpoint() { return endpoint_; }

private:
    friend class PortHandle;
    friend class FirmwareRun;
    void received(const QByteArray& datagram, int interfaceIndex);  // receiving thread
    void handleAck(const QByteArray& datagram, int interfaceIndex);
    void tally(const QByteArray& datagram, std::optional<char> letter, int interfaceIndex);
    void handleConfig(const QByteArray& datagram);
    void handleDiscovery(const QByteArray& datagram, int interfaceIndex);
    // A "g" datagram decoded, its interface noted for the gateway.
    std::optional<DiscoveryReply> decodeDiscovery(const QByteArray& datagram, int interfaceIndex);
    // The one rule for copies: true the first time this MAC answers into `seen`.
    static bool firstCopy(QSet<QString>& seen, const DiscoveryReply& reply);
    void deliverToHandle(const QByteArray& datagram, int interfaceIndex);
    void activateHandle(PortHandle* handle, bool on);
    void removeHandle(PortHandle* handle);
    void ensureOpen();
    void release(const QString& mac);
    void runEnded(const QByteArray& macBytes);  // any thread
    void timerLoop();
    void wakeTimer();
    // Wakes the timer only when `deadlineMs` comes before its next look.
    void wakeTimerFor(qint64 deadlineMs);
    void repeatRequest();  // timer thread
    // Sleeps on the engine's one condition until `done` holds or the deadline passes.
    bool waitFor(const std::function<bool()>& done, const QDeadlineTimer& deadline);

    Clock& clock_;
    UdpEndpoint endpoint_;
    std::function<void(const QByteArray&, int)> requestTap_;
    int holds_ = 0;
    QList<PortHandle*> handles_;
    PortHandle* activeHandle_ = nullptr;  // written on the owner thread under mutex_

    // Everything below is shared with the receiving and timer threads.
    mutable std::mutex mutex_;
    std::condition_variable changed_;  // the one condition every wait sleeps on
    GatewayInterfaces routes_;
    QHash<QString, QString> busy_;  // MAC text -> what it is busy with
    // The window's Search in progress.
    QSet<QString> seenMacs_;
    bool tallying_ = false;
    QHash<int, InterfaceTally> tallies_;
    QHash<QString, QSet<QString>> addressesByMac_;
    bool portHeldElsewhere_ = false;  // owner thread
    void sendRequest();               // the discovery request, tallied
    // The blocking Searches in progress, each with the replies it has not taken.
    struct Collector {
        QSet<QString> seen;
        std::deque<DiscoveryReply> replies;
    };
    QList<Collector*> collectors_;
    // Configuration replies of the gateways that wait for them, by MAC bytes.
    QHash<QByteArray, std::deque<QByteArray>> configReplies_;
    // Firmware runs by MAC bytes.
    QHash<QByteArray, std::shared_ptr<FirmwareRun>> runs_;
    // Held while a handle's handler runs on the receiving thread, so that a
    // handle switched off is never called afterwards.
    std::mutex deliveryMutex_;

    // The Search's repeats still to go out, on the engine's clock.
    QList<qint64> repeatAtMs_;
    // Held while a repeat goes out from the timer thread, and while the port
    // closes, so that a repeat never meets a closing socket.
    std::mutex portMutex_;
    void closePort();

    std::thread timer_;
    std::condition_variable timerWake_;
    // When the timer thread will look next (engine clock; 0: it is awake). A
    // later deadline need not wake it: thousands of chunks a second would.
    std::atomic<qint64> timerLooksAtMs_{0};
    bool stopTimer_ = false;
};

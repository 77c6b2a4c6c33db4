#include "engine/GatewayEngine.h"

#include "engine/FirmwareRun.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"

#include <QMetaObject>

#include <algorithm>
#include <chrono>

namespace {
// Replies queued for nobody's wait are bounded by bytes, so that a flood
// cannot grow memory without end; what someone waits for is bounded by what
// the wait can use.
constexpr qint64 kHandleQueueBytes = 1 << 20;
constexpr size_t kConfigRepliesPerGateway = 4096;
constexpr size_t kDiscoveredAtMost = 200000;

VarnexError portInUse() {
    return VarnexError(
        QStringLiteral("Could not bind socket. Address and port are already in use."));
}

// The six MAC bytes of a reply (bytes 2 to 7), or nothing when it is too short.
std::optional<QByteArray> replyMac(const QByteArray& datagram) {
    if (datagram.size() < 8) return std::nullopt;
    return datagram.mid(2, 6);
}

// The PC's own discovery request, as it comes back: compared without building it.
bool isOwnDiscoveryRequest(const QByteArray& datagram) {
    return datagram.size() == 3 && datagram[0] == DeviceDatagram::STX && datagram[1] == 'g' &&
           datagram[2] == DeviceDatagram::ETX;
}

bool isRequest(const QByteArray& datagram) {
    return datagram.size() >= 2 && datagram[1] >= 'A' && datagram[1] <= 'Z';
}
}  // namespace

// ---- PortHandle --------------------------------------------------------------

PortHandle::PortHandle(GatewayEngine& engine, bool onReceivingThread, QObject* parent)
    : QObject(parent), engine_(engine), onReceivingThread_(onReceivingThread) {
    engine_.handles_.append(this);
}

PortHandle::~PortHandle() {
    engine_.activateHandle(this, false);
    engine_.handles_.removeAll(this);
}

void PortHandle::SetActive(bool on) {
    engine_.activateHandle(this, on);
}

void PortHandle::deliverQueued(quint64 generation) {
    std::deque<std::pair<QByteArray, int>> batch;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        drainPosted_ = false;
        if (generation != generation_) return;
        batch.swap(queue_);
        queuedBytes_ = 0;
    }
    for (const auto& [datagram, interfaceIndex] : batch) {
        // Switched off by an earlier datagram's handler: the rest is not taken.
        if (!active_ || !onRead_) return;
        try {
            onRead_(datagram, interfaceIndex);
        } catch (...) {
            // An error raised by the handler loses this datagram only.
        }
    }
}

// ---- GatewayEngine: port ---------------------------------------------------------

GatewayEngine::GatewayEngine(Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {
    endpoint_.AddBinding(QStringLiteral("0.0.0.0"), DeviceDatagram::Port);
    endpoint_.SetDefaultPort(DeviceDatagram::Port);
    // Broadcast stays on: every request of the program is one, and a firmware
    // run must not switch it back and forth for each chunk.
    endpoint_.SetBroadcastEnabled(true);
    endpoint_.SetBufferSize(8192);
    endpoint_.SetThreadedEvent(true);
    endpoint_.SetDropRequests(true);
    endpoint_.SetOnUDPRead(
        [this](UdpEndpoint&, const QByteArray& datagram, const UdpEndpoint::Binding& binding) {
            received(datagram, binding.interfaceIndex);
        });
    timer_ = std::thread(&GatewayEngine::timerLoop, this);
}

GatewayEngine::~GatewayEngine() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopTimer_ = true;
    }
    timerWake_.notify_all();
    if (timer_.joinable()) timer_.join();
    // The receiving thread reaches the handles and the runs: end it first.
    endpoint_.SetActive(false);
}

void GatewayEngine::SetInterfaceName(const QString& name) {
    endpoint_.SetInterfaceName(name);
}

void GatewayEngine::SetRequestTap(std::function<void(const QByteArray&, int)> tap) {
    requestTap_ = std::move(tap);
    endpoint_.SetDropRequests(!requestTap_);
}

void GatewayEngine::ensureOpen() {
    std::lock_guard<std::mutex> port(portMutex_);
    if (endpoint_.Active()) return;
    try {
        endpoint_.SetActive(true);
        portHeldElsewhere_ = false;
    } catch (const VarnexError& e) {
        portHeldElsewhere_ = e.text() == portInUse().text();
        throw;
    }
}

void GatewayEngine::CloseIfIdle() {
    if (activeHandle_ || holds_ > 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!busy_.isEmpty()) return;
    }
    closePort();
}

void GatewayEngine::closePort() {
    CancelRepeats();
    std::lock_guard<std::mutex> port(portMutex_);
    endpoint_.SetActive(false);
}

void GatewayEngine::CancelRepeats() {
    std::lock_guard<std::mutex> lock(mutex_);
    repeatAtMs_.clear();
    tallying_ = false;
}

QHash<int, GatewayEngine::InterfaceTally> GatewayEngine::SearchTallies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tallies_;
}

QHash<QString, QSet<QString>> GatewayEngine::AddressesByMac() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return addressesByMac_;
}

void GatewayEngine::sendRequest() {
    QList<UdpEndpoint::Copy> copies;
    try {
        endpoint_.SendBroadcast(DeviceDatagram::DiscoveryRequest(), DeviceDatagram::Port, 0,
                                &copies);
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& c : copies) tallies_[c.interfaceIndex].sendError = c.error;
        throw;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& c : copies) {
        InterfaceTally& t = tallies_[c.interfaceIndex];
        if (c.error.isEmpty()) {
            ++t.requestsSent;
        } else {
            t.sendError = c.error;
        }
    }
}

void GatewayEngine::Hold() {
    ensureOpen();
    ++holds_;
}

void GatewayEngine::Release() {
    if (holds_ > 0) --holds_;
    CloseIfIdle();
}

void GatewayEngine::activateHandle(PortHandle* handle, bool on) {
    if (on) {
        if (handle->active_) return;
        if (activeHandle_ && activeHandle_ != handle) throw portInUse();
        ensureOpen();
        {
            std::lock_guard<std::mutex> delivery(deliveryMutex_);
            std::lock_guard<std::mutex> lock(mutex_);
            activeHandle_ = handle;
        }
        handle->active_ = true;
        return;
    }
    if (!handle->active_) return;
    // A Search ends with its handle: no repeat may go out after it.
    CancelRepeats();
    {
        // Waits for a handler that runs now on the receiving thread.
        std::lock_guard<std::mutex> delivery(deliveryMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        if (activeHandle_ == handle) activeHandle_ = nullptr;
    }
    handle->active_ = false;
    {
        std::lock_guard<std::mutex> lock(handle->queueMutex_);
        ++handle->generation_;  // a hand-off still queued is dropped
        handle->queue_.clear();
        handle->queuedBytes_ = 0;
    }
    CloseIfIdle();
}

// ---- receiving ---------------------------------------------------------------------

void GatewayEngine::Receive(const QByteArray& datagram, int interfaceIndex) {
    received(datagram, interfaceIndex);
}

void GatewayEngine::received(const QByteArray& datagram, int interfaceIndex) {
    // Requests are for gateways; the program's own come back from every
    // broadcast, and no part of it takes them.
    if (isRequest(datagram)) {
        if (requestTap_) requestTap_(datagram, interfaceIndex);
        return;
    }
    const auto letter = ReplyLetter(datagram);
    if (!letter || *letter != 'f') tally(datagram, letter, interfaceIndex);
    if (!letter) return;
    if (*letter == 'f') {
        handleAck(datagram, interfaceIndex);
    } else if (*letter == 'g') {
        handleDiscovery(datagram, interfaceIndex);
    } else if (QByteArrayLiteral("noua").contains(*letter)) {
        handleConfig(datagram);
    }
    deliverToHandle(datagram, interfaceIndex);
}

void GatewayEngine::tally(const QByteArray& datagram, std::optional<char> letter,
                          int interfaceIndex) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tallying_) return;
    InterfaceTally& t = tallies_[interfaceIndex];
    // The PC's own request, back from the interface it left by: broadcasts
    // arrive there, and no firewall of this PC drops port 2058 on the way in.
    if (isOwnDiscoveryRequest(datagram)) {
        ++t.echoesHeard;
    } else if (letter == 'g' && datagram.size() >= DiscoveryReplyMinSize) {
        ++t.gatewayReplies;
    } else {
        ++t.otherDatagrams;
    }
}

void GatewayEngine::handleAck(const QByteArray& datagram, int interfaceIndex) {
    const auto mac = replyMac(datagram);
    if (!mac) return;
    std::shared_ptr<FirmwareRun> run;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        run = runs_.value(*mac);
        // Some gateways leave the field blank. While one upgrade runs such an
        // acknowledgement can only be its own; with two or more it could be
        // either's, and counting it for the wrong one would send a chunk the
        // gateway has not asked for, so it counts for none.
        if (!run && *mac == QByteArray(6, '\0') && runs_.size() == 1) run = runs_.begin().value();
    }
    if (run) run->acknowledged(datagram, interfaceIndex);
}

void GatewayEngine::handleConfig(const QByteArray& datagram) {
    const auto mac = replyMac(datagram);
    if (!mac) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = configReplies_.find(*mac);
        // Kept only for a gateway whose exchange waits for them.
        if (it == configReplies_.end() || it->size() >= kConfigRepliesPerGateway) return;
        it->push_back(datagram);
    }
    changed_.notify_all();
}

void GatewayEngine::handleDiscovery(const QByteArray& datagram, int interfaceIndex) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (collectors_.isEmpty()) return;  // kept only while a Search waits for them
    }
    const auto reply = decodeDiscovery(datagram, interfaceIndex);
    if (!reply) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Collector* c : std::as_const(collectors_)) {
            if (c->replies.size() < kDiscoveredAtMost && firstCopy(c->seen, *reply)) {
                c->replies.push_back(*reply);
            }
        }
    }
    changed_.notify_all();
}

void GatewayEngine::deliverToHandle(const QByteArray& datagram, int interfaceIndex) {
    std::lock_guard<std::mutex> delivery(deliveryMutex_);
    PortHandle* handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handle = activeHandle_;
    }
    if (!handle || !handle->onRead_) return;
    if (handle->onReceivingThread_) {
        try {
            handle->onRead_(datagram, interfaceIndex);
        } catch (...) {
            // An error raised by the handler loses this datagram only.
        }
        return;
    }
    quint64 generation = 0;
    {
        std::lock_guard<std::mutex> lock(handle->queueMutex_);
        if (handle->queuedBytes_ + datagram.size() > kHandleQueueBytes) return;
        handle->queue_.emplace_back(datagram, interfaceIndex);
        handle->queuedBytes_ += datagram.size();
        if (handle->drainPosted_) return;
        handle->drainPosted_ = true;
        generation = handle->generation_;
    }
    QMetaObject::invokeMethod(handle, "deliverQueued", Qt::QueuedConnection,
                              Q_ARG(quint64, generation));
}

// ---- discovery ------------------------------------------------------------------------

void GatewayEngine::StartSearch(const QList<int>& repeatsMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seenMacs_.clear();
        repeatAtMs_.clear();
        tallies_.clear();
        addressesByMac_.clear();
        tallying_ = true;
    }
    ensureOpen();
    sendRequest();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const qint64 now = clock_.nowMs();
        for (int ms : repeatsMs) repeatAtMs_.append(now + ms);
    }
    wakeTimer();
}

void GatewayEngine::SearchHost(const QString& host) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seenMacs_.clear();
    }
    endpoint_.SendToHost(host, DeviceDatagram::Port, DeviceDatagram::DiscoveryRequest());
}

void GatewayEngine::ForgetDiscovered() {
    std::lock_guard<std::mutex> lock(mutex_);
    seenMacs_.clear();
    addressesByMac_.clear();
}

std::optional<DiscoveryReply> GatewayEngine::decodeDiscovery(const QByteArray& datagram,
                                                             int interfaceIndex) {
    if (ReplyLetter(datagram) != 'g') return std::nullopt;
    auto reply = DecodeDiscoveryReply(datagram);
    if (!reply) return std::nullopt;
    reply->InterfaceIndex = interfaceIndex;
    // Every copy counts for the gateway's interface, even one that adds no row.
    std::lock_guard<std::mutex> lock(mutex_);
    routes_.Record(reply->Mac, interfaceIndex);
    if (addressesByMac_.size() < static_cast<qsizetype>(kDiscoveredAtMost)) {
        addressesByMac_[reply->Mac.toUpper()].insert(reply->IpAddress);
    }
    return reply;
}

bool GatewayEngine::firstCopy(QSet<QString>& seen, const DiscoveryReply& reply) {
    // A second copy, or the same gateway heard on a second link, is not new.
    const QString key = reply.Mac.toUpper();
    if (seen.contains(key)) return false;
    seen.insert(key);
    return true;
}

std::optional<DiscoveryReply> GatewayEngine::TakeDiscovery(const QByteArray& datagram,
                                                           int interfaceIndex) {
    const auto reply = decodeDiscovery(datagram, interfaceIndex);
    if (!reply) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!firstCopy(seenMacs_, *reply)) return std::nullopt;
    return reply;
}

QList<DiscoveryReply> GatewayEngine::Discover(int timeoutMs, const QStringList& untilMacs,
                                              bool repeat) {
    Collector collector;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        collectors_.append(&collector);
    }
    struct Leave {
        GatewayEngine* engine;
        Collector* collector;
        ~Leave() {
            std::lock_guard<std::mutex> lock(engine->mutex_);
            engine->collectors_.removeAll(collector);
        }
    } leave{this, &collector};
    StartSearch(repeat ? QList<int>{timeoutMs / 3, timeoutMs * 2 / 3} : QList<int>{});
    QSet<QString> waitingFor;
    for (const QString& mac : untilMacs) waitingFor.insert(mac.toUpper());
    const QDeadlineTimer deadline(timeoutMs);
    QList<DiscoveryReply> found;
    waitFor(
        [&] {
            // Called with mutex_ held.
            while (!collector.replies.empty()) {
                found.append(std::move(collector.replies.front()));
                collector.replies.pop_front();
                waitingFor.remove(found.last().Mac.toUpper());
            }
            return !untilMacs.isEmpty() && waitingFor.isEmpty();
        },
        deadline);
    CancelRepeats();
    return found;
}

// ---- one gateway ------------------------------------------------------------------------

int GatewayEngine::InterfaceOf(const QString& mac) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return routes_.Of(mac);
}

void GatewayEngine::SendTo(const QString& mac, const QByteArray& datagram) {
    ensureOpen();
    endpoint_.SendBroadcast(datagram, DeviceDatagram::Port, InterfaceOf(mac));
}

GatewayEngine::Claim GatewayEngine::Begin(const QString& mac, const QString& what) {
    const QString key = mac.toUpper();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = busy_.constFind(key);
        if (it != busy_.constEnd()) {
            throw VarnexError(QStringLiteral("The gateway %1 is busy: %2.").arg(mac, it.value()));
        }
        busy_.insert(key, what);
    }
    Claim claim;
    claim.engine_ = this;
    claim.mac_ = key;
    return claim;
}

QString GatewayEngine::BusyWith(const QString& mac) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return busy_.value(mac.toUpper());
}

void GatewayEngine::release(const QString& mac) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_.remove(mac);
        configReplies_.remove(EncodeMac(mac));
    }
    changed_.notify_all();
}

GatewayEngine::Claim::Claim(Claim&& other) noexcept
    : engine_(std::exchange(other.engine_, nullptr)), mac_(std::move(other.mac_)) {}

GatewayEngine::Claim& GatewayEngine::Claim::operator=(Claim&& other) noexcept {
    if (this != &other) {
        Reset();
        engine_ = std::exchange(other.engine_, nullptr);
        mac_ = std::move(other.mac_);
    }
    return *this;
}

GatewayEngine::Claim::~Claim() {
    Reset();
}

void GatewayEngine::Claim::Reset() {
    if (engine_) std::exchange(engine_, nullptr)->release(mac_);
}

void GatewayEngine::CollectConfigReplies(const QString& mac, bool on) {
    const QByteArray key = EncodeMac(mac);
    std::lock_guard<std::mutex> lock(mutex_);
    if (on) {
        configReplies_[key].clear();
    } else {
        configReplies_.remove(key);
    }
}

std::optional<QByteArray> GatewayEngine::NextConfigReply(const QString& mac,
                                                         const QDeadlineTimer& deadline) {
    const QByteArray key = EncodeMac(mac);
    std::optional<QByteArray> next;
    waitFor(
        [&] {
            auto it = configReplies_.find(key);
            if (it == configReplies_.end() || it->empty()) return false;
            next = std::move(it->front());
            it->pop_front();
            return true;
        },
        deadline);
    return next;
}

// ---- firmware ---------------------------------------------------------------------------

std::shared_ptr<FirmwareRun> GatewayEngine::StartFirmware(const QString& mac,
                                                          const QByteArray& image) {
    auto run = std::make_shared<FirmwareRun>(*this, mac, image);
    Claim claim = Begin(mac, QStringLiteral("a firmware upgrade is running"));
    ensureOpen();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runs_.insert(run->macBytes_, run);
    }
    // The claim now ends with the run (runEnded), wherever that happens.
    claim.engine_ = nullptr;
    run->start();
    return run;
}

int GatewayEngine::RunningUpgrades() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runs_.size();
}

void GatewayEngine::runEnded(const QByteArray& macBytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runs_.remove(macBytes);
        busy_.remove(DecodeMac(macBytes));
    }
    changed_.notify_all();
}

void GatewayEngine::wakeTimer() {
    // Taken briefly so that the timer is either before its look at the
    // deadlines or already asleep, never in between.
    { std::lock_guard<std::mutex> lock(mutex_); }
    timerWake_.notify_all();
}

// The limits of the firmware runs: sleeps until the earliest one, on the
// engine's clock, and ends each run whose limit has passed.
void GatewayEngine::timerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopTimer_) {
        qint64 earliest = 0;
        for (const auto& run : std::as_const(runs_)) {
            const qint64 d = run->deadlineMs();
            if (d != 0 && (earliest == 0 || d < earliest)) earliest = d;
        }
        for (qint64 d : std::as_const(repeatAtMs_)) {
            if (earliest == 0 || d < earliest) earliest = d;
        }
        const qint64 now = clock_.nowMs();
        if (!repeatAtMs_.isEmpty() &&
            now >= *std::min_element(repeatAtMs_.cbegin(), repeatAtMs_.cend())) {
            repeatAtMs_.removeOne(*std::min_element(repeatAtMs_.cbegin(), repeatAtMs_.cend()));
            lock.unlock();
            repeatRequest();
            lock.lock();
            continue;
        }
        if (earliest != 0 && now >= earliest) {
            const QList<std::shared_ptr<FirmwareRun>> due = runs_.values();
            lock.unlock();
            for (const auto& run : due) run->timedOut(now);
            lock.lock();
            continue;
        }
        // A run's new deadline wakes this wait; the bound is a safety net.
        const qint64 waitMs =
            earliest == 0 ? 1000 : qBound<qint64>(1, clock_.realMs(earliest - now), qint64(1000));
        timerLooksAtMs_.store(earliest);
        timerWake_.wait_for(lock, std::chrono::milliseconds(waitMs));
        timerLooksAtMs_.store(0);
    }
}

void GatewayEngine::repeatRequest() {
    std::lock_guard<std::mutex> port(portMutex_);
    // Not if the Search ended meanwhile: its port is closed, or about to be.
    if (!endpoint_.Active()) return;
    try {
        sendRequest();
    } catch (const VarnexError&) {
        // The first request's error was shown; a repeat that cannot go out is
        // no news to the operator.
    }
}

void GatewayEngine::wakeTimerFor(qint64 deadlineMs) {
    const qint64 looksAt = timerLooksAtMs_.load();
    if (looksAt == 0 || deadlineMs < looksAt) wakeTimer();
}

bool GatewayEngine::waitFor(const std::function<bool()>& done, const QDeadlineTimer& deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (done()) return true;
        if (deadline.hasExpired()) return false;
        const qint64 left = deadline.isForever() ? 1000 : qMax<qint64>(1, deadline.remainingTime());
        changed_.wait_for(lock, std::chrono::milliseconds(qMin<qint64>(left, 1000)));
    }
}

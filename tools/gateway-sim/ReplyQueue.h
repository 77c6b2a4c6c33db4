#pragma once

#include <QByteArray>

#include <chrono>
#include <map>
#include <vector>

// A datagram ready to go: its bytes and where to.
struct Outgoing {
    QByteArray data;
    quint32 address = 0;  // IPv4, host order
    quint16 port = 0;
};

// Replies held back by a delay fault, in the order they fall due; replies due
// at the same moment keep the order in which they were queued.
class ReplyQueue {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    void push(TimePoint due, Outgoing datagram) { entries_.emplace(due, std::move(datagram)); }
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    // When the first one falls due; only meaningful when not empty.
    TimePoint nextDue() const { return entries_.begin()->first; }
    // Removes and gives every datagram due at `now` or earlier, first due first.
    std::vector<Outgoing> takeDue(TimePoint now);

private:
    // A multimap keeps equal keys in insertion order, which a heap would not.
    std::multimap<TimePoint, Outgoing> entries_;
};

#include "ReplyQueue.h"

std::vector<Outgoing> ReplyQueue::takeDue(TimePoint now) {
    std::vector<Outgoing> due;
    const auto end = entries_.upper_bound(now);
    for (auto it = entries_.begin(); it != end; ++it) due.push_back(std::move(it->second));
    entries_.erase(entries_.begin(), end);
    return due;
}

#pragma once

#include <QByteArray>

#include <vector>

// One datagram the simulator is to send in answer to a request. By default it
// goes out as a broadcast to the simulator's port; toSender sends it back to the
// request's source address and port instead.
struct SimReply {
    QByteArray data;
    int delayMs = 0;
    bool toSender = false;
};

using SimReplies = std::vector<SimReply>;

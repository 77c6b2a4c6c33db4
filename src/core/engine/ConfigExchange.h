#pragma once

#include "config/ConfigProtocol.h"

#include <QMap>
#include <QString>

#include <functional>

class Clock;
class GatewayEngine;

// The order and pauses of the configuration exchange, for the dialog and for
// whole reads and writes alike: the three queries 10 ms apart; a write's
// sections each followed by 2 ms, before the apply request.
void SendConfigQueries(const std::function<void(ConfigSection)>& sendQuery, Clock& clock);
void SendSectionWrites(const QList<SectionWrite>& writes,
                       const std::function<void(const QByteArray&)>& send, Clock& clock);

// Two rules take configuration replies, one for each use.
//
// The dialog's: each reply fills the controls as it comes. Rows are filtered by
// the rows the tables have now (`tableRows`), so a row reply that comes before
// the network reply has set the row count finds no table row and is dropped;
// there is no time limit, since the operator sees what has come.
ConfigReply DialogConfigReply(const QByteArray& datagram, const QString& mac, int tableRows);

// A complete read, for programs that need the whole configuration at once:
// rows are kept whatever their order (a row reply may overtake the network
// reply), but only rows below the port count count toward completion, so a
// stray row cannot end the read before a real one came.
class CompleteConfigRead {
public:
    explicit CompleteConfigRead(const QString& mac) : mac_(mac) {}
    void Take(const QByteArray& datagram);
    bool HaveNetwork() const { return haveNetwork_; }
    bool Complete() const;

    // PortCount rows in each table, a row the gateway did not answer for empty.
    struct Result {
        DeviceConfig config;
        int portRowsAnswered = 0;
        int loraRowsAnswered = 0;
    };
    Result Finish() const;

private:
    int rowsBelowCount(const QList<int>& rows) const;
    QString mac_;
    bool haveNetwork_ = false;
    NetworkSettings network_;
    QMap<int, PortRow> ports_;
    QMap<int, LoRaRow> loras_;
};
using GatewayConfigRead = CompleteConfigRead::Result;

// A whole read: the three queries, then the replies until the read is complete,
// 3 s for the first answer and 500 ms for each next row. Raises VarnexError
// when the gateway does not answer the network query or is busy.
GatewayConfigRead ReadGatewayConfig(GatewayEngine& engine, const QString& mac);

// Sends a write built in full beforehand (BuildConfigWrite), then the apply
// request; true once the gateway has answered that request within 3 s.
bool WriteGatewayConfig(GatewayEngine& engine, const QString& mac,
                        const QList<SectionWrite>& writes);

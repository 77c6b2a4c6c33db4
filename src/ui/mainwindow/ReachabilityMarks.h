#pragma once

#include "net/Reachability.h"

#include <QObject>
#include <QVector>

#include <memory>

// The device list's reachability marks: the verdict on each row from the last
// judgement, and the addresses each MAC answered from since the list was last
// emptied. Owner (UI) thread only.
class ReachabilityMarks : public QObject {
public:
    // `routes` nullptr: the system's own routes and addresses.
    ReachabilityMarks(RouteTable* routes, QObject* parent);
    ~ReachabilityMarks() override;

    // A reply heard during a Search.
    void Heard(const QString& mac, const QString& ip);
    // The list was emptied: every mark and heard address goes.
    void Forget();
    // Judges the rows afresh. `heard`: the addresses each MAC answered from in
    // the Search, when the caller counted them; otherwise those noted by Heard.
    void Judge(const QVector<ReachGateway>& rows, const AddressesByMac* heard = nullptr);

    // The verdict on a row, or nullptr when it has no problem (or was not judged).
    const ReachVerdict* Marked(int row) const;
    int MarkedCount() const { return marked_; }
    // "2 gateways may not be reachable", or an empty text when none.
    QString StatusText() const;
    // The reasons of a marked row, one per line; an empty text otherwise.
    QString Hint(int row) const;

private:
    RouteTable* routes_;
    std::unique_ptr<RouteTable> own_;
    AddressesByMac heard_;
    QVector<ReachVerdict> verdicts_;
    int marked_ = 0;
};

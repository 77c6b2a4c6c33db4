#include "mainwindow/ReachabilityMarks.h"

ReachabilityMarks::ReachabilityMarks(RouteTable* routes, QObject* parent)
    : QObject(parent), routes_(routes) {
    if (!routes_) {
        own_ = std::make_unique<SystemRouteTable>();
        routes_ = own_.get();
    }
}

ReachabilityMarks::~ReachabilityMarks() = default;

void ReachabilityMarks::Heard(const QString& mac, const QString& ip) {
    QStringList& ips = heard_[mac.toUpper()];
    if (!ips.contains(ip)) ips.append(ip);
}

void ReachabilityMarks::Forget() {
    heard_.clear();
    verdicts_.clear();
    marked_ = 0;
}

void ReachabilityMarks::Judge(const QVector<ReachGateway>& rows, const AddressesByMac* heard) {
    verdicts_ = JudgeReachability(rows, *routes_, heard ? *heard : heard_);
    marked_ = 0;
    for (const ReachVerdict& v : verdicts_) marked_ += v.reachable() ? 0 : 1;
}

const ReachVerdict* ReachabilityMarks::Marked(int row) const {
    if (row < 0 || row >= verdicts_.size() || verdicts_[row].reachable()) return nullptr;
    return &verdicts_[row];
}

QString ReachabilityMarks::StatusText() const {
    if (marked_ == 0) return QString();
    return marked_ == 1 ? QStringLiteral("1 gateway may not be reachable")
                        : QStringLiteral("%1 gateways may not be reachable").arg(marked_);
}

QString ReachabilityMarks::Hint(int row) const {
    const ReachVerdict* v = Marked(row);
    return v ? v->reasons.join(QLatin1Char('\n')) : QString();
}

#pragma once

#include "net/RouteTable.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// Why this PC may not reach a listed gateway at its current address. Each
// problem has a short code (for scripts) and a sentence that says what would
// mend it (for the operator).
enum class ReachProblem {
    UnsetIp,       // "unset-ip": 0.0.0.0, or the network or broadcast address of its subnet
    OwnIp,         // "own-ip": one of this PC's addresses
    DuplicateIp,   // "duplicate-ip": another listed gateway has the same address
    OtherSubnet,   // "other-subnet": the route to it does not go straight out of its link
    DuplicateMac,  // "duplicate-mac": its MAC answered from two addresses in one Search
};

QString ReachProblemCode(ReachProblem problem);

// One row of the device list, as the rules read it.
struct ReachGateway {
    QString mac;
    QString ip;       // the address it holds now: the one it reported, or the one Apply wrote
    QString mask;     // its subnet mask
    QString typedIp;  // an address typed into its row and not applied yet: never suggested
    int interfaceIndex = 0;  // the interface it answered on; 0 when not known
};

struct ReachVerdict {
    QList<ReachProblem> problems;
    QStringList reasons;  // one per problem, in the same order

    bool reachable() const { return problems.isEmpty(); }
    QStringList codes() const;
};

// The addresses each MAC answered from during one Search, by MAC text (any
// case). A MAC that is missing counts as heard from its listed address alone.
using AddressesByMac = QHash<QString, QStringList>;

// Judges every gateway against the others and this PC's addresses and routes.
// A gateway whose address does not read as one gets an empty verdict.
// Addresses offered as free are neither this PC's nor any listed gateway's
// (current or typed), nor a network's first or last, and no two verdicts
// offer the same one.
QVector<ReachVerdict> JudgeReachability(const QVector<ReachGateway>& gateways, RouteTable& routes,
                                        const AddressesByMac& heard = AddressesByMac());

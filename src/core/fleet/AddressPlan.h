#pragma once

#include "fleet/CsvPlan.h"

#include <QString>
#include <QStringList>
#include <QVector>

// New IP settings for many gateways at once, checked before anything is sent.
//
// An address counts as free unless something holds it once the plan has been
// carried out: this PC, a listed gateway outside the plan, or a gateway of the
// plan at its new address. A planned gateway's present address is given up, so
// two planned gateways may swap addresses. A planned gateway that is refused
// keeps its present address, which then counts as held.
//
// Only what answered the Search is known: see AddressPlanNote.

// A gateway as the Search listed it (the "g" reply's fields).
struct ListedGateway {
    QString mac, name, ip, mask, gateway, viewIp;
};

// Who else holds addresses on the segment.
struct AddressHolders {
    QStringList ownAddresses;          // this PC's IPv4 addresses
    QVector<ListedGateway> unplanned;  // the listed gateways that are not in the plan
};

// One gateway's line of a plan: the settings it has and those it is to get.
struct PlannedGateway {
    ListedGateway now;
    QString ip, mask, gateway, viewIp, name;  // after the plan
    QString refusal;                          // why it must not be carried out; empty: it may
    bool refused() const { return !refusal.isEmpty(); }
};

// Consecutive addresses from a start, for a numbered row of gateways.
struct AddressRange {
    QString start, mask, gateway, viewIp;
};

// Gives the gateways, in order, consecutive free addresses from range.start,
// with the range's mask, gateway and VarnexView IP; names are kept. The subnet's
// network and broadcast addresses, the range's gateway and VarnexView addresses
// are never given. When the free addresses run past the end of the subnet before
// every gateway has one, every line is refused (carrying out part of a numbered
// row would leave it half renumbered). Raises VarnexError for a range that is
// not one: an address or mask that does not read, a mask longer than /30, a
// start that is the network or broadcast address, or a gateway or VarnexView IP
// outside the subnet (0.0.0.0 stands for none).
QVector<PlannedGateway> PlanAddressRange(const QVector<ListedGateway>& gateways,
                                         const AddressRange& range, const AddressHolders& holders);

// The plan a CSV plan describes for the listed gateways: each row's cells, an
// empty cell keeping what the gateway reported. A row whose MAC was not listed
// is refused; the listed gateways without a row are the unplanned ones. Then
// checked as CheckAddressPlan checks.
QVector<PlannedGateway> PlanFromRows(const QVector<CsvPlanRow>& rows,
                                     const QVector<ListedGateway>& listed,
                                     const QStringList& ownAddresses);

// Refuses the lines that cannot be carried out, naming the MACs involved:
// settings that do not read (an address, a mask whose ones are not contiguous
// or longer than /30, a gateway outside the subnet), an address that is its
// subnet's network or broadcast address or a gateway or VarnexView address of
// the plan, two gateways given one address, and an address still held after
// the plan by this PC or by a gateway outside it. A refusal already on a line
// is kept. Refusals are repeated until none is added, since a refused gateway
// keeps its present address.
void CheckAddressPlan(QVector<PlannedGateway>& plan, const AddressHolders& holders);

// The line a preview shows beside a plan.
QString AddressPlanNote();

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a Search learned about each interface, for the report that says why it
// found nothing (or found less than the operator expected).

// The facts of one interface at the time of the Search.
struct InterfaceFacts {
    QString name;
    int index = 0;
    bool hasAddress = false;  // an IPv4 address (the first one, if several)
    quint32 address = 0;
    int prefix = 0;
    bool up = false;         // IFF_UP: switched on
    bool running = false;    // IFF_RUNNING: ready to carry traffic
    bool broadcast = false;  // IFF_BROADCAST
    bool carrier = false;    // a cable and a switch port at the other end (IFF_LOWER_UP)
};

// What the Search counted on one interface.
struct InterfaceCounters {
    int requestsSent = 0;
    QString sendError;    // why a request could not go out, if one could not
    int echoesHeard = 0;  // this PC's own request come back on the interface
    int gatewayReplies = 0;
    int otherDatagrams = 0;  // anything else that reached port 2058
};

struct InterfaceSearch {
    InterfaceFacts facts;
    InterfaceCounters counters;
};

struct SearchReportData {
    QList<InterfaceSearch> interfaces;
    bool portHeldElsewhere = false;  // port 2058 was bound by another program
    // False when only the interface facts are known (the counters are zero
    // because nobody counted): the conclusions then rest on the facts alone.
    bool counted = true;
};

// The PC's interfaces (loopback left out) with their IPv4 address and link
// state, in the system's order: getifaddrs, and the carrier from
// /sys/class/net/NAME/carrier where the flags do not tell.
QList<InterfaceFacts> CollectInterfaceFacts();

// The plain sentences that end the report, the most telling first.
QStringList SearchConclusions(const SearchReportData& data);

// The report: one block per interface, then the conclusions.
QString SearchReportText(const SearchReportData& data);

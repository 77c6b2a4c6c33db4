#pragma once

#include "discovery/DiscoveryReply.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The gateways a Search listed, saved for a spreadsheet or a script. Both forms
// have the same fields, in this order:
//   mac model version name ip mask gateway view_ip interface problems
// `problems` is a list of short codes the caller gives ("duplicate-ip", say).

struct ExportedGateway {
    DiscoveryReply reply;
    QString interfaceName;  // where it answered; empty when not known
    QStringList problems;
};

// A header line, then one line per gateway, CRLF line ends, "," between fields,
// problems joined by " ". A cell is quoted (a quote doubled) when it holds a
// ",", ";", quote, line break or blanks at either end. Names and versions come
// from the network: a cell starting with "=", "+", "-", "@", a tab or a carriage
// return gets a leading "'" so that a spreadsheet shows it rather than running
// it as a formula.
QByteArray GatewayListCsv(const QVector<ExportedGateway>& gateways);

// A JSON array of objects with those keys; problems is an array of strings.
QByteArray GatewayListJson(const QVector<ExportedGateway>& gateways);

#pragma once

#include "config/ConfigProtocol.h"

#include <QStringList>

// The fields in which a gateway's configuration differs from a file's, one line
// each, "section.field: gateway-value -> file-value", with the JSON document's
// keys and value texts (see ConfigJson.h): "network.name: Kiln -> Kiln 2",
// "ports[1].operation: Disable -> TCP_Server", "lora[0].dest_id: 1000 -> 4242".
// Network fields come first in the document's key order, then the port rows by
// index, then the LoRa rows. Only what the dialog shows is compared: not the
// identity, the echo byte or the alias bytes behind an alias text.
//
// A side holds the rows its tables have: PortCount rows, or fewer when its row
// lists are shorter (a gateway that did not answer for every row).

enum class DiffRows {
    All,              // a row held by one side only gives "ports[3]: only in the file"
                      // or "ports[3]: only on the gateway"
    GatewayRowsOnly,  // only the rows the gateway holds are compared (after a write: the
                      // gateway keeps its own rows and drops the others)
};

QStringList ConfigDifferences(const DeviceConfig& gateway, const DeviceConfig& file, DiffRows rows);

// The file's rows that the gateway does not hold ("ports[3]", "lora[2]"), in the
// order ConfigDifferences uses; what DiffRows::GatewayRowsOnly leaves out.
QStringList RowsOnlyInFile(const DeviceConfig& gateway, const DeviceConfig& file);

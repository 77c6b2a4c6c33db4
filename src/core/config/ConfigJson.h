#pragma once

#include "config/ConfigFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

// A gateway's whole configuration as a JSON document, for scripts and for
// keeping configurations in version control; and the loading and saving of a
// configuration file in either form (".vxc" records or JSON).
//
// The document:
//   {
//     "mac": "00-1A-2B-3C-4D-5E", "model": "...", "version": "...", "source_id": 1193046,
//     "time": "2026-12-10T05:15:00Z",
//     "network": { "name": "Kiln", "network_type": "Static IP", "ip": "198.18.0.10",
//                  "mask": "255.254.0.0", "gateway": "198.18.0.1", "dns": "198.18.0.1",
//                  "view_ip": "198.18.0.5", "view_port": 8080, "telnet": "Enable",
//                  "ssh": "Disable", "ftp": "Disable", "web": "Enable", "bridge": "Disable",
//                  "lan_ip": "10.0.0.1", "lan_mask": "255.0.0.0",
//                  "lan_port": true, "echo": 5 },
//     "ports": [ { "index": 0, "alias": "COM1", "operation": "TCP_Server", "src_port": 4001,
//                  "dest_ip": "0.0.0.0", "dest_port": 0, "alive": 60, "latency": 0 } ],
//     "lora":  [ { "index": 0, "channel": "1", "sf": "7", "dest_id": 1, "aes": "Disable",
//                  "protocol": "1.0" } ]
//   }
//
// - mac, model, version, source_id: who the configuration came from; time (optional):
//   when it was read from the gateway, UTC, as "YYYY-MM-DDTHH:MM:SSZ" with an
//   optional fraction of a second. Reading a document for a write ignores them
//   (a write always goes to the target's MAC) but checks their types, source_id's
//   range (0 to 16777215) and time's form; each may be absent or null. A ".vxc"
//   saved from a document carries `mac` inside its records.
// - Texts (name, addresses, alias) are strings, exactly as the dialog shows them.
// - Numbers (view_port, src_port, dest_port, alive, latency, dest_id, index, echo)
//   are JSON numbers; null stands for an empty cell (an empty dest_id is sent as
//   0). A number its datagram field cannot hold is refused on reading with its
//   range ("ports[0].dest_port: 70000 is outside 0..65535"): ports, alive,
//   latency and view_port 0 to 65535, dest_id 0 to 16777215, echo 0 to 255.
// - List fields hold the text the dialog shows: network_type "Static IP" | "DHCP";
//   telnet, ssh, ftp, web, aes "Disable" | "Enable"; bridge "Enable" | "Disable";
//   operation "Disable", "COM_Redirector", "TCP_Server", "TCP_Client",
//   "TCP_Broadcast", "TCP_Multiplex", "UDP_Server", "UDP_Client",
//   "User_Application", "RFC2217"; channel "1".."20"; sf "7".."12"; protocol
//   "1.0" | "2.0". null is "nothing selected", sent as the byte the dialog sends
//   for it. A network list byte that names no entry (a gateway or file may hold
//   one) is kept as its number, 0 to 254, so that it is written back unchanged.
// - ports and lora hold one row per serial port, the same count in both (at most
//   255), each row naming its table row in `index`: every index from 0 to N - 1
//   once, in any order. N is the PortCount written in the network record.
// Keys the dialog carries without showing them, so that a ".vxc" converted to
// JSON and back keeps its bytes:
// - network.lan_port: whether the gateway has a LAN port (true: byte 1). Optional,
//   true when absent.
// - network.echo: the byte the gateway wants written back at offset 79, 0 to 255.
//   Optional, 0 when absent.
// - ports[i].alias_bytes: the 16 alias bytes as 32 hexadecimal digits, present
//   only when they differ from the plain encoding of `alias` (bytes after the
//   first 0x00). They are written only while `alias` is still their text; edit
//   the alias and they no longer apply.
// Any other key in network, a row or the top level is refused, so that a
// misspelt key does not go unnoticed.
//
// A ".vxc" file converted to JSON and back gives the same bytes whenever its
// records are as Export writes them. The fields' values, list bytes outside
// their lists, the echo byte, the LAN-port flag, alias bytes and the MAC all
// come back unchanged. What the records hold beyond the dialog's fields is
// rewritten as Export writes it, as Import then Export in the dialog would: the
// letters, a MAC differing from record to record, bytes 77 and 80..82, a LAN-port
// byte other than 0 or 1 (becomes 0), name bytes after the first 0x00 or a name
// that is not UTF-8, records out of row order or repeated (rows are placed by
// index, the last record of a row wins), and bytes after the last record.

struct GatewayIdentity {
    QString mac, model, version;
    quint32 sourceId = 0;
    QDateTime time;  // when the configuration was read (UTC); invalid: not recorded
};

// A time as the document records it: UTC, to the second, with milliseconds only
// when there are any ("2026-12-10T05:15:00Z", "2026-12-10T05:15:00.250Z"); empty
// for an invalid time.
QString UtcTimeText(const QDateTime& time);
// The time such a text names, or an invalid QDateTime for any other text (an
// offset other than "Z", a day or an hour that does not exist).
QDateTime ParseUtcTime(const QString& text);

struct ConfigDocument {
    DeviceConfig config;
    GatewayIdentity identity;
};

// What the dialog holds after importing a file: PortCount rows in each table,
// each record's cells in the row it names (later records win); a row no record
// names stays empty.
DeviceConfig DeviceConfigFromFile(const ConfigFileContents& contents);

// The document for a configuration. Each table gets exactly PortCount rows, as
// the dialog's tables do: rows beyond PortCount are left out, and a row the
// configuration lacks is written empty. source_id is the identity's, or when
// that is 0 the network section's.
QJsonObject ConfigToJson(const DeviceConfig& config, const GatewayIdentity& identity);

// The configuration a document describes, ready for the builders (source ID 0,
// PortCount = the number of rows). Raises VarnexError naming the key's path and
// the problem ("network.ip: missing", "lora[0].sf: expected a string or null",
// "ports[1].index: row 0 is given twice (also by ports[0])") for a missing or
// unknown key, a wrong type, a list text not in its list, or row indices that
// are not 0 to N - 1.
DeviceConfig ConfigFromJson(const QJsonObject& json);

// The identity keys of a document; a key that is absent or not of its type or
// form is left empty (0, an invalid time).
GatewayIdentity IdentityFromJson(const QJsonObject& json);

// The shown fields of each section as (key, value) pairs in the document's key
// order (network: name network_type ip mask gateway dns view_ip view_port telnet
// ssh ftp web bridge lan_ip lan_mask lan_port; a port row: alias operation
// src_port dest_ip dest_port alive latency; a LoRa row: channel sf dest_id aes
// protocol). Bytes the dialog does not show (echo, alias_bytes) are not among them.
using JsonFields = QList<QPair<QString, QJsonValue>>;
JsonFields NetworkJsonFields(const NetworkSettings& network);
JsonFields PortJsonFields(const PortRow& row);
JsonFields LoRaJsonFields(const LoRaRow& row);

// A value as a diff or message shows it: a string as it is ("" when empty),
// a number in decimal, null as null.
QString JsonValueText(const QJsonValue& value);

// True when the file name ends in ".vxc" (any case).
bool IsVxcFileName(const QString& path);

// Reads a ".vxc" or JSON file whole and checks it before anything is used. A
// file that cannot be read, a short or damaged ".vxc", text that is not JSON or
// not a JSON object, or a document the reader refuses raises VarnexError naming
// the file and the problem. The identity of a ".vxc" is the MAC inside its
// records (and the source ID they hold, 0 when exported); model and version
// are empty.
ConfigDocument LoadConfigDocument(const QString& path);

// The document as indented UTF-8 JSON, ending in a newline.
QByteArray ConfigJsonBytes(const DeviceConfig& config, const GatewayIdentity& identity);

// A ".vxc" name gets exactly what the dialog's Export writes for identity.mac
// (every record built first); any other name gets ConfigJsonBytes. Either file
// is replaced in one step: a failure raises VarnexError and leaves an existing
// file as it was.
void SaveConfigDocument(const QString& path, const DeviceConfig& config,
                        const GatewayIdentity& identity);

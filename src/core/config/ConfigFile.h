#pragma once

#include "config/ConfigProtocol.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A configuration file ("*.vxc") holds the write datagrams of all three
// sections one after the other, without a header: the 84-byte "N" record, then
// N 39-byte "O" records, then N 17-byte "U" records, N being PortCount (byte 78
// of the first record): 84 + 56 * N bytes.

// What a file holds, ready for the dialog: the network section (PortCount,
// EchoByte, a source ID of 0 for an exported file), then each row record in
// file order, each naming the row it fills. The records' letters and MACs are
// not used: later writes go to the MAC of the gateway selected in the list.
struct ConfigFileContents {
    NetworkSettings network;
    QVector<PortReply> ports;
    QVector<LoRaReply> loras;
};

// All records of a file, built from what the dialog shows; raises VarnexError
// like BuildConfigWrite when any record cannot be built.
QByteArray BuildConfigRecords(const QString& mac, const DeviceConfig& config);

// Builds every record first, then replaces the file in one step: a failure at
// any point raises VarnexError and leaves an existing file as it was.
void ExportConfigFile(const QString& fileName, const QString& mac, const DeviceConfig& config);

// The records of a file's bytes. Raises VarnexError naming the file, before
// anything is filled, when the file is shorter than its records need or a
// record names a row or list entry that does not exist. Bytes after the last
// record are ignored.
ConfigFileContents ParseConfigRecords(const QByteArray& bytes, const QString& fileName);

// Reads and parses a file; raises VarnexError when it cannot be read.
ConfigFileContents ImportConfigFile(const QString& fileName);
// Replaces a file with `bytes` in one step; a failure raises VarnexError and
// leaves an existing file as it was.
void WriteConfigFileBytes(const QString& fileName, const QByteArray& bytes);
// The largest configuration file read. The largest ".vxc" (255 rows) is
// 14,364 bytes and the JSON of 255 rows as varnexctl writes it about 120 KB
// (130 KB with alias_bytes on every row); 4 MiB leaves room for any hand-edited
// or reindented file while a wrong path (a disk image, /dev/zero) is refused
// before it fills memory.
constexpr qint64 kMaxConfigFileBytes = 4 * 1024 * 1024;

// A configuration file's bytes, whatever its format; raises VarnexError naming
// the file when it is missing, cannot be read, or is larger than
// kMaxConfigFileBytes (which it finds out without reading the whole file).
QByteArray ReadConfigFileBytes(const QString& fileName);

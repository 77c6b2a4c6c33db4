#pragma once

#include "config/ConfigJson.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// Backups of gateways' configurations, one file per backup, kept in a folder.
//
// A backup's name says whose configuration it holds and when it was read:
//   00-1A-2B-00-00-01_Pump-house_20261210T051500Z.json   (or .vxc)
// the MAC, the device name reduced to letters, digits, "-" and "_" (every other
// character dropped, at most 32 kept; the part is left out when nothing is
// left), and the UTC time to the second. The name comes from the network, so
// this reduction is also what keeps a backup inside its folder. A second backup
// of the same gateway in the same second gets "_2", "_3"... before the suffix:
// a backup never replaces a file.
//
// A JSON backup records the MAC, model, version and time inside it (see
// ConfigJson.h); NewestBackup goes by that record, never by the file's name,
// which anyone may rename.

enum class BackupFormat { Json, Vxc };

// The device name as a backup's name carries it.
QString BackupNamePart(const QString& deviceName);

// The name of a first backup (no counter). Raises VarnexError when `mac` is not
// a MAC or `time` is not valid.
QString BackupFileName(const QString& mac, const QString& deviceName, const QDateTime& time,
                       BackupFormat format);

// Writes a backup of `config`, read from the gateway `identity` names (mac,
// model, version) at `identity.time`, into the existing folder `dir`, and gives
// its path. The file appears whole or not at all: it is written and synced under
// a temporary name in the folder, then given its name in one step that fails
// rather than replace a file. The file is readable by its owner alone. Raises
// VarnexError (nothing left behind) when the folder is missing, the disk is
// full, the records cannot be built (".vxc"), or 1000 backups of the same second
// exist.
QString WriteBackup(const QString& dir, const DeviceConfig& config, const GatewayIdentity& identity,
                    BackupFormat format);

struct NewestBackupResult {
    QString path;             // empty: no backup of that gateway was found
    ConfigDocument document;  // what it holds
    QStringList skipped;      // "name.json: why", for each file that was passed over
};

// Among the "*.json" files directly in `dir` (not following links), the one
// whose recorded MAC is `mac` (any case, "-" or ":") with the latest recorded
// time; of two with the same time, the one modified last. A file that cannot be
// read or is refused, is larger than 1 MiB, or records the MAC but no time is
// passed over and listed in `skipped`; backups of other gateways are not listed.
NewestBackupResult NewestBackup(const QString& dir, const QString& mac);

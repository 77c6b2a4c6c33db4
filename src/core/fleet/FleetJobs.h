#pragma once

#include "config/ConfigProtocol.h"
#include "fleet/AddressPlan.h"
#include "fleet/Backup.h"
#include "fleet/FleetBatch.h"

#include <QHash>
#include <QString>

#include <memory>

class GatewayEngine;

// The operations of a fleet batch, one gateway at a time, for the fleet window
// and varnexctl alike. Each runs on a batch worker over the engine, whose port
// the front end holds for the batch. With `dryRun` a job may read (discovery
// and configuration queries) but never writes: it tells what it would send.

// One image to every gateway; those that report `skipVersion` already are
// skipped (empty: none).
std::shared_ptr<FleetBatch::Job> FirmwareJob(GatewayEngine& engine, const QByteArray& image,
                                             const QString& skipVersion, bool dryRun);

// Each gateway's whole configuration into `dir`, one file each. A read that
// misses rows fails that gateway, with the counts named.
std::shared_ptr<FleetBatch::Job> BackupJob(GatewayEngine& engine, const QString& dir,
                                           BackupFormat format);

// One file's settings to every gateway, each keeping its own identity
// (ConfigForTarget), then read back and compared: a difference fails it with
// the fields named.
std::shared_ptr<FleetBatch::Job> PushJob(GatewayEngine& engine, const DeviceConfig& file,
                                         bool dryRun);

// Each gateway's newest backup in `dir` (by the MAC and time the files
// record), written whole, identity included, then read back and compared.
std::shared_ptr<FleetBatch::Job> RestoreJob(GatewayEngine& engine, const QString& dir, bool dryRun);

// A configuration written whole to whichever gateway the batch names (the
// replacement of a failed unit), then read back and compared.
std::shared_ptr<FleetBatch::Job> WriteWholeJob(GatewayEngine& engine, const DeviceConfig& config,
                                               bool dryRun);

// The address plan's new settings with "S", each checked by a discovery as
// `varnexctl set` checks them. `plan` by MAC (upper case).
std::shared_ptr<FleetBatch::Job> AddressJob(GatewayEngine& engine,
                                            const QHash<QString, PlannedGateway>& plan,
                                            int timeoutMs, bool dryRun);

// The configuration read from a gateway and written back: reads with the
// complete-read rule and fails, naming the counts, when rows are missing.
DeviceConfig ReadWholeConfig(GatewayEngine& engine, const QString& mac);
// Writes every section of `config`, applies, reads back; the differences
// ("section.field: gateway -> written"), empty when it holds what was written.
QStringList WriteAndCompare(GatewayEngine& engine, const QString& mac, const DeviceConfig& config);

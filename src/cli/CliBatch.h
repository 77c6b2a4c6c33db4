#pragma once

#include "discovery/DiscoveryReply.h"
#include "fleet/FleetBatch.h"

#include <QCommandLineOption>
#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>

class CommandLine;
class GatewayEngine;

// What every batch command takes: --parallel, --json, --dry-run.
struct BatchOptions {
    int parallel = 4;
    int maxFailures = 0;
    bool json = false;
    bool dryRun = false;
};
void AddBatchOptions(CommandLine& cl, bool writes);
BatchOptions BatchOptionsOf(const CommandLine& cl);

// The gateways a batch works on: those with the MACs given (each MAC nobody
// answered for fails as such), or every one that answers when `all`.
struct BatchTargets {
    QList<DiscoveryReply> found;
    QStringList missing;
};
BatchTargets FindTargets(GatewayEngine& engine, const QStringList& macs, bool all, int timeoutMs);

// Runs `job` over the targets with the batch's rules: results as they end on
// stderr, then one line per gateway on stdout ("MAC: done ...", "MAC: FAILED:
// ...") or a JSON array of {mac, result, reason} (plus what `extra` adds).
// Ctrl-C starts no further gateway, lets the running ones finish and gives
// 130; a second Ctrl-C ends the program at once. Otherwise 1 when any gateway
// failed or did not answer, 0 when all went well.
using ExtraJson = std::function<void(const QString& mac, QJsonObject& json, QString& line)>;
int RunBatch(const BatchTargets& targets, std::shared_ptr<FleetBatch::Job> job,
             const BatchOptions& options, const ExtraJson& extra = nullptr);

#include "fleet/FleetJobs.h"

#include "config/ConfigDiff.h"
#include "engine/ConfigExchange.h"
#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "engine/NetworkExchange.h"
#include "fleet/FleetConfig.h"
#include "link/VarnexError.h"

namespace {
using Outcome = FleetBatch::Outcome;
using State = FleetBatch::State;
using Progress = std::function<void(int)>;

// A job from a function, so that each operation reads as one.
class FunctionJob : public FleetBatch::Job {
public:
    using Body = std::function<Outcome(const DiscoveryReply&, const Progress&)>;
    explicit FunctionJob(Body body) : body_(std::move(body)) {}
    Outcome Run(const DiscoveryReply& gateway, const Progress& progress) override {
        return body_(gateway, progress);
    }

private:
    Body body_;
};

std::shared_ptr<FleetBatch::Job> job(FunctionJob::Body body) {
    return std::make_shared<FunctionJob>(std::move(body));
}

ChangeMarks allSections() {
    ChangeMarks all;
    all.network = all.operation = all.lora = true;
    return all;
}

Outcome compared(const QStringList& differences, const QString& done) {
    if (differences.isEmpty()) return {State::Done, done};
    return {
        State::Failed,
        QStringLiteral("it reports other values: %1").arg(differences.join(QStringLiteral("; ")))};
}
}  // namespace

DeviceConfig ReadWholeConfig(GatewayEngine& engine, const QString& mac) {
    const GatewayConfigRead read = ReadGatewayConfig(engine, mac);
    const int rows = read.config.network.portCount;
    if (read.portRowsAnswered < rows || read.loraRowsAnswered < rows) {
        throw VarnexError(QStringLiteral("it answered %1 of %2 port rows and %3 of %2 LoRa rows")
                              .arg(read.portRowsAnswered)
                              .arg(rows)
                              .arg(read.loraRowsAnswered));
    }
    return read.config;
}

QStringList WriteAndCompare(GatewayEngine& engine, const QString& mac, const DeviceConfig& config) {
    // Built whole before the first datagram: nothing is sent when a value
    // cannot be written.
    const QList<SectionWrite> writes = BuildConfigWrite(mac, allSections(), config);
    if (!WriteGatewayConfig(engine, mac, writes)) {
        throw VarnexError(QStringLiteral("it did not confirm the new configuration"));
    }
    const DeviceConfig now = ReadGatewayConfig(engine, mac).config;
    return ConfigDifferences(now, config, DiffRows::GatewayRowsOnly);
}

std::shared_ptr<FleetBatch::Job> FirmwareJob(GatewayEngine& engine, const QByteArray& image,
                                             const QString& skipVersion, bool dryRun) {
    return job([&engine, image, skipVersion, dryRun](const DiscoveryReply& g,
                                                     const Progress& progress) -> Outcome {
        if (!skipVersion.isEmpty() && g.Version == skipVersion) {
            return {State::Skipped, QStringLiteral("already reports %1").arg(skipVersion)};
        }
        if (dryRun) {
            return {State::Done, QStringLiteral("would send %1 bytes in %2 datagrams")
                                     .arg(image.size())
                                     .arg((image.size() + 127) / 128 + 1)};
        }
        const auto run = engine.StartFirmware(g.Mac, image);
        while (!run->Wait(QDeadlineTimer(100))) {
            if (image.size() > 0)
                progress(static_cast<int>(run->Acknowledged() * 100 / image.size()));
        }
        if (run->Outcome() == FirmwareOutcome::Succeeded) return {State::Done, QString()};
        return {State::Failed, run->Failure()};
    });
}

std::shared_ptr<FleetBatch::Job> BackupJob(GatewayEngine& engine, const QString& dir,
                                           BackupFormat format) {
    return job([&engine, dir, format](const DiscoveryReply& g, const Progress&) -> Outcome {
        const DeviceConfig config = ReadWholeConfig(engine, g.Mac);
        GatewayIdentity identity;
        identity.mac = g.Mac;
        identity.model = g.Model;
        identity.version = g.Version;
        identity.sourceId = config.network.sourceId;
        identity.time = QDateTime::currentDateTimeUtc();
        const QString path = WriteBackup(dir, config, identity, format);
        return {State::Done, path};
    });
}

std::shared_ptr<FleetBatch::Job> PushJob(GatewayEngine& engine, const DeviceConfig& file,
                                         bool dryRun) {
    return job([&engine, file, dryRun](const DiscoveryReply& g, const Progress&) -> Outcome {
        const DeviceConfig own = ReadWholeConfig(engine, g.Mac);
        const DeviceConfig target = ConfigForTarget(file, own);
        if (dryRun) {
            BuildConfigWrite(g.Mac, allSections(), target);  // what cannot be written fails here
            const QStringList changes = ConfigDifferences(own, target, DiffRows::All);
            return {State::Done, changes.isEmpty()
                                     ? QStringLiteral("would write its configuration unchanged")
                                     : QStringLiteral("would change %1").arg(changes.join("; "))};
        }
        return compared(WriteAndCompare(engine, g.Mac, target),
                        QStringLiteral("written and read back"));
    });
}

std::shared_ptr<FleetBatch::Job> RestoreJob(GatewayEngine& engine, const QString& dir,
                                            bool dryRun) {
    return job([&engine, dir, dryRun](const DiscoveryReply& g, const Progress&) -> Outcome {
        const NewestBackupResult newest = NewestBackup(dir, g.Mac);
        if (newest.path.isEmpty()) {
            return {State::Failed, QStringLiteral("no backup of %1 in %2").arg(g.Mac, dir)};
        }
        if (dryRun) return {State::Done, QStringLiteral("would write %1").arg(newest.path)};
        return compared(WriteAndCompare(engine, g.Mac, newest.document.config),
                        QStringLiteral("restored from %1").arg(newest.path));
    });
}

std::shared_ptr<FleetBatch::Job> WriteWholeJob(GatewayEngine& engine, const DeviceConfig& config,
                                               bool dryRun) {
    return job([&engine, config, dryRun](const DiscoveryReply& g, const Progress&) -> Outcome {
        if (dryRun) {
            BuildConfigWrite(g.Mac, allSections(), config);
            return {State::Done, QStringLiteral("would write the whole configuration")};
        }
        return compared(WriteAndCompare(engine, g.Mac, config),
                        QStringLiteral("written and read back"));
    });
}

std::shared_ptr<FleetBatch::Job> AddressJob(GatewayEngine& engine,
                                            const QHash<QString, PlannedGateway>& plan,
                                            int timeoutMs, bool dryRun) {
    return job(
        [&engine, plan, timeoutMs, dryRun](const DiscoveryReply& g, const Progress&) -> Outcome {
            const auto it = plan.constFind(g.Mac.toUpper());
            if (it == plan.constEnd()) return {State::Skipped, QStringLiteral("not in the plan")};
            if (it->refused()) return {State::Failed, it->refusal};
            NetworkSettingsRow row;
            row.mac = g.Mac;
            row.name = it->name;
            row.ip = it->ip;
            row.mask = it->mask;
            row.gateway = it->gateway;
            row.viewIp = it->viewIp;
            BuildSetNetwork(row);  // nothing is sent when a field does not encode
            const QString what = QStringLiteral("%1 -> %2").arg(g.IpAddress, row.ip);
            if (dryRun) return {State::Done, QStringLiteral("would set %1").arg(what)};
            SendNetworkSettings(engine, row);
            const QStringList mismatches = CheckNetworkSettings(
                engine, row, {"ip", "mask", "gateway", "view-ip", "name"}, timeoutMs);
            if (!mismatches.isEmpty())
                return {State::Failed, mismatches.join(QStringLiteral("; "))};
            return {State::Done, what};
        });
}

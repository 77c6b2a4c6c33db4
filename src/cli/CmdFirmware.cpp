// varnexctl firmware: one image to many gateways, several at once, each with its result.
#include "CliBatch.h"
#include "CliCommon.h"

#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "fleet/FleetJobs.h"
#include "link/VarnexError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QSet>

namespace {
// A gateway may restart after flashing: Searches go on until every upgraded
// gateway has answered or this time has passed.
constexpr int kBackWithinMs = 60000;

// The version each upgraded gateway reports once it is back; missing: not back.
QHash<QString, QString> versionsAfter(GatewayEngine& engine, const QStringList& macs) {
    QHash<QString, QString> versions;
    QElapsedTimer waited;
    waited.start();
    while (versions.size() < macs.size() && waited.elapsed() < kBackWithinMs) {
        QStringList missing;
        for (const QString& mac : macs) {
            if (!versions.contains(mac)) missing << mac;
        }
        const int left = static_cast<int>(kBackWithinMs - waited.elapsed());
        for (const DiscoveryReply& r : engine.Discover(qBound(500, left, 3000), missing)) {
            if (missing.contains(r.Mac)) versions.insert(r.Mac, r.Version);
        }
    }
    return versions;
}
}  // namespace

int RunFirmware(const QStringList& words) {
    CommandLine cl(
        QStringLiteral("firmware"),
        QStringLiteral("Upgrades the gateways with IMAGE, up to --parallel at once, and prints "
                       "one result line per gateway with the version it reports afterwards. A "
                       "failure does not stop the others.\n"
                       "Exit status: 0 when every upgrade succeeded, 1 when any failed, 130 when "
                       "stopped by Ctrl-C.\n"
                       "Example: varnexctl firmware vx-2.1.0.bin 00-1A-2B-00-00-01 "
                       "00-1A-2B-00-00-02 --parallel 8 --skip-version 2.1.0"));
    cl.addPositional(QStringLiteral("IMAGE"), QStringLiteral("The firmware image file."),
                     QStringLiteral("IMAGE"));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateways' MAC addresses."),
                     QStringLiteral("MAC [MAC...]"));
    const QCommandLineOption skipVersion(
        QStringLiteral("skip-version"),
        QStringLiteral("Skip the gateways that already report this version."), QStringLiteral("V"));
    const QCommandLineOption maxFailures(
        QStringLiteral("max-failures"),
        QStringLiteral("Start no further upgrade after this many have failed."),
        QStringLiteral("N"), QStringLiteral("0"));
    cl.addOption(DiscoveryTimeout);
    cl.addOption(skipVersion);
    cl.addOption(maxFailures);
    AddBatchOptions(cl, true);
    if (!cl.parse(words, 2, -1)) return Exit::Ok;
    const QString imagePath = cl.positional().first();
    QStringList macs;
    for (const QString& word : cl.positional().mid(1)) macs << MacArgument(word);
    const int timeoutMs = TimeoutArgument(cl.parser().value(DiscoveryTimeout));
    BatchOptions options = BatchOptionsOf(cl);
    bool ok = false;
    options.maxFailures = cl.parser().value(maxFailures).toInt(&ok);
    if (!ok || options.maxFailures < 0)
        throw UsageError(QStringLiteral("--max-failures: not a count"));
    QByteArray image;
    try {
        image = ReadFirmwareImage(imagePath);
    } catch (const VarnexError& e) {
        throw UsageError(e.text());
    }

    auto engine = OpenEngine(cl.interfaceName());
    const BatchTargets targets = FindTargets(*engine, macs, false, timeoutMs);
    // Results come in the order of the MACs given.
    BatchTargets ordered = targets;
    ordered.found.clear();
    for (const QString& mac : macs) {
        for (const DiscoveryReply& r : targets.found) {
            if (r.Mac == mac) ordered.found << r;
        }
    }
    QHash<QString, QString> versions;
    QSet<QString> upgraded;
    auto job = FirmwareJob(*engine, image, cl.parser().value(skipVersion), options.dryRun);
    // Each upgrade's result is known once the batch ends; the versions come
    // from the Searches after it.
    class Recording : public FleetBatch::Job {
    public:
        Recording(std::shared_ptr<FleetBatch::Job> inner, QSet<QString>& done, std::mutex& m)
            : inner_(std::move(inner)), done_(done), mutex_(m) {}
        FleetBatch::Outcome Run(const DiscoveryReply& g,
                                const std::function<void(int)>& progress) override {
            QElapsedTimer took;
            took.start();
            auto outcome = inner_->Run(g, progress);
            std::lock_guard<std::mutex> lock(mutex_);
            if (outcome.state == FleetBatch::State::Done && outcome.reason.isEmpty()) {
                done_.insert(g.Mac);
                outcome.reason =
                    QStringLiteral("upgraded in %1 s").arg(took.elapsed() / 1000.0, 0, 'f', 3);
            }
            return outcome;
        }

    private:
        std::shared_ptr<FleetBatch::Job> inner_;
        QSet<QString>& done_;
        std::mutex& mutex_;
    };
    std::mutex upgradedMutex;
    bool searched = false;
    int notBack = 0;
    const int rc = RunBatch(
        ordered, std::make_shared<Recording>(job, upgraded, upgradedMutex), options,
        [&](const QString& mac, QJsonObject& json, QString& line) {
            if (!searched && !options.dryRun && !upgraded.isEmpty()) {
                searched = true;
                Err(
                    QStringLiteral("searching for the upgraded gateways (up to 60 s while they "
                                   "restart)\n"));
                versions = versionsAfter(*engine, upgraded.values());
            }
            if (!upgraded.contains(mac)) return;
            const QString reason = json.value(QStringLiteral("reason")).toString();
            const bool back = versions.contains(mac);
            json.insert(QStringLiteral("version"),
                        back ? QJsonValue(versions.value(mac)) : QJsonValue());
            if (!back) {
                json.insert(QStringLiteral("reason"), reason + QStringLiteral("; not back"));
                ++notBack;
            }
            line = QStringLiteral("%1: %2, %3")
                       .arg(mac, reason,
                            back ? QStringLiteral("reports %1").arg(versions.value(mac))
                                 : QStringLiteral("not back"));
        });
    // A gateway that has not come back is not known to run the new image: a
    // script must not take it for upgraded.
    return rc == Exit::Ok && notBack > 0 ? Exit::Failed : rc;
}

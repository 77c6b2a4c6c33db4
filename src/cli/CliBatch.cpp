#include "CliBatch.h"

#include "CliCommon.h"
#include "engine/GatewayEngine.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

#include <unistd.h>
#include <atomic>
#include <csignal>

namespace {
std::atomic<int> interrupts{0};
std::atomic<FleetBatch*> runningBatch{nullptr};

// Async-signal-safe: lock-free atomics only. The first Ctrl-C stops the batch
// at once (no gateway starts after it); the second ends the program.
extern "C" void onInterrupt(int) {
    if (interrupts.fetch_add(1) >= 1) _exit(130);
    if (FleetBatch* batch = runningBatch.load()) batch->Stop();
}

const QCommandLineOption kParallel(
    QStringLiteral("parallel"), QStringLiteral("How many gateways at once (1 to 32, default 4)."),
    QStringLiteral("N"), QStringLiteral("4"));
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("Print the results as a JSON array."));
const QCommandLineOption kDryRun(QStringLiteral("dry-run"),
                                 QStringLiteral("Print what would be sent to each gateway, and "
                                                "send no write."));
}  // namespace

void AddBatchOptions(CommandLine& cl, bool writes) {
    cl.addOption(kParallel);
    cl.addOption(kJson);
    if (writes) cl.addOption(kDryRun);
}

BatchOptions BatchOptionsOf(const CommandLine& cl) {
    BatchOptions o;
    bool ok = false;
    o.parallel = cl.parser().value(kParallel).toInt(&ok);
    if (!ok || o.parallel < 1 || o.parallel > 32) {
        throw UsageError(QStringLiteral("--parallel: \"%1\" is not a number from 1 to 32")
                             .arg(cl.parser().value(kParallel)));
    }
    o.json = cl.parser().isSet(kJson);
    o.dryRun = cl.parser().optionNames().contains(QStringLiteral("dry-run"));
    return o;
}

BatchTargets FindTargets(GatewayEngine& engine, const QStringList& macs, bool all, int timeoutMs) {
    BatchTargets t;
    if (all) {
        t.found = engine.Discover(timeoutMs);
        return t;
    }
    t.found = FindGateways(engine, macs, timeoutMs, t.missing);
    return t;
}

int RunBatch(const BatchTargets& targets, std::shared_ptr<FleetBatch::Job> job,
             const BatchOptions& options, const ExtraJson& extra) {
    FleetBatch batch(targets.found, options.parallel, options.maxFailures);
    interrupts.store(0);
    runningBatch.store(&batch);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    struct sigaction before {};
    sigaction(SIGINT, &action, &before);
    QElapsedTimer took;
    took.start();
    batch.Start(std::move(job));
    int reported = 0;
    bool stopSaid = false;
    const auto reportLog = [&] {
        const QList<FleetBatch::LogEntry> log = batch.Log();
        for (; reported < log.size(); ++reported) {
            Err(QStringLiteral("%1 %2\n").arg(log[reported].mac,
                                              PrintableText(log[reported].event)));
        }
    };
    while (!batch.Wait(QDeadlineTimer(100))) {
        reportLog();
        if (interrupts.load() > 0 && !stopSaid) {
            stopSaid = true;
            Err(
                QStringLiteral("stopping: the gateways being worked on finish, no other starts "
                               "(Ctrl-C again ends at once)\n"));
        }
    }
    reportLog();
    const double seconds = took.elapsed() / 1000.0;
    sigaction(SIGINT, &before, nullptr);
    runningBatch.store(nullptr);

    QJsonArray all;
    QStringList lines;
    int failed = targets.missing.size();
    for (const QString& mac : targets.missing) {
        const QString why = QStringLiteral("no gateway with MAC %1 answered").arg(mac);
        all.append(QJsonObject{{QStringLiteral("mac"), mac},
                               {QStringLiteral("result"), QStringLiteral("failed")},
                               {QStringLiteral("reason"), why}});
        lines << QStringLiteral("%1: FAILED: %2").arg(mac, why);
    }
    for (const FleetBatch::Status& s : batch.Statuses()) {
        const QString mac = s.gateway.Mac;
        if (s.state == FleetBatch::State::Failed) ++failed;
        QJsonObject json{{QStringLiteral("mac"), mac},
                         {QStringLiteral("result"), FleetStateName(s.state)},
                         {QStringLiteral("reason"), s.reason}};
        QString line = s.state == FleetBatch::State::Failed
                           ? QStringLiteral("%1: FAILED: %2").arg(mac, s.reason)
                           : QStringLiteral("%1: %2").arg(mac, FleetStateName(s.state)) +
                                 (s.reason.isEmpty() ? QString() : QStringLiteral(": ") + s.reason);
        if (extra) extra(mac, json, line);
        all.append(json);
        lines << PrintableText(line);
    }
    if (options.json) {
        OutJson(QJsonDocument(all));
    } else {
        for (const QString& l : lines) Out(l + QLatin1Char('\n'));
    }
    Err(batch.Summary() +
        (targets.missing.isEmpty()
             ? QString()
             : QStringLiteral(", %1 did not answer").arg(targets.missing.size())) +
        QStringLiteral(" in %1 s\n").arg(seconds, 0, 'f', 3));
    if (interrupts.load() > 0) return 130;
    return failed > 0 ? Exit::Failed : Exit::Ok;
}

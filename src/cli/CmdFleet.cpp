// varnexctl backup | restore | replace: whole configurations of many gateways
// kept in a folder, put back, or put on a replacement unit.
#include "CliBatch.h"
#include "CliCommon.h"

#include "config/ConfigDiff.h"
#include "engine/ConfigExchange.h"
#include "engine/GatewayEngine.h"
#include "fleet/Backup.h"
#include "fleet/FleetJobs.h"
#include "link/VarnexError.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QCommandLineOption kAll(QStringLiteral("all"),
                              QStringLiteral("Every gateway that answers a Search."));

QString existingDir(const QString& path) {
    if (!QFileInfo(path).isDir()) {
        throw UsageError(QStringLiteral("\"%1\" is not a folder").arg(PrintableText(path)));
    }
    return path;
}

QStringList macsOf(const QStringList& words) {
    QStringList macs;
    for (const QString& w : words) macs << MacArgument(w);
    return macs;
}
}  // namespace

int RunBackup(const QStringList& words) {
    CommandLine cl(QStringLiteral("backup"),
                   QStringLiteral("Reads the whole configuration of each gateway into DIR, one "
                                  "file per gateway named by its MAC, name and the UTC time; "
                                  "every gateway that answers when no MAC is given. JSON files "
                                  "(which also record the MAC, model, version and time, for "
                                  "restore and replace), or .vxc with --vxc.\n"
                                  "Example: varnexctl backup /srv/backups/site-a --parallel 16"));
    cl.addPositional(QStringLiteral("DIR"), QStringLiteral("The folder for the files."),
                     QStringLiteral("DIR"));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateways (default: all)."),
                     QStringLiteral("[MAC...]"));
    const QCommandLineOption vxc(QStringLiteral("vxc"), QStringLiteral("Write .vxc files."));
    cl.addOption(vxc);
    cl.addOption(DiscoveryTimeout);
    AddBatchOptions(cl, false);
    if (!cl.parse(words, 1, -1)) return Exit::Ok;
    const QString dir = existingDir(cl.positional().first());
    const QStringList macs = macsOf(cl.positional().mid(1));
    const int timeoutMs = TimeoutArgument(cl.parser().value(DiscoveryTimeout));
    const BatchOptions options = BatchOptionsOf(cl);

    auto engine = OpenEngine(cl.interfaceName());
    const BatchTargets targets = FindTargets(*engine, macs, macs.isEmpty(), timeoutMs);
    return RunBatch(
        targets,
        BackupJob(*engine, dir, cl.parser().isSet(vxc) ? BackupFormat::Vxc : BackupFormat::Json),
        options);
}

int RunRestore(const QStringList& words) {
    CommandLine cl(QStringLiteral("restore"),
                   QStringLiteral("Writes each gateway's newest backup in DIR (by the MAC and "
                                  "time its file records) back to it, then reads it back and "
                                  "compares. Without a MAC it needs --all.\n"
                                  "Example: varnexctl restore /srv/backups/site-a "
                                  "00-1A-2B-00-00-01"));
    cl.addPositional(QStringLiteral("DIR"), QStringLiteral("The folder of backups."),
                     QStringLiteral("DIR"));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateways."),
                     QStringLiteral("(MAC... | --all)"));
    cl.addOption(kAll);
    cl.addOption(DiscoveryTimeout);
    AddBatchOptions(cl, true);
    if (!cl.parse(words, 1, -1)) return Exit::Ok;
    const QString dir = existingDir(cl.positional().first());
    const QStringList macs = macsOf(cl.positional().mid(1));
    const bool all = cl.parser().isSet(kAll);
    if (macs.isEmpty() == !all) throw UsageError(QStringLiteral("give MACs or --all, not both"));
    const int timeoutMs = TimeoutArgument(cl.parser().value(DiscoveryTimeout));
    const BatchOptions options = BatchOptionsOf(cl);

    auto engine = OpenEngine(cl.interfaceName());
    const BatchTargets targets = FindTargets(*engine, macs, all, timeoutMs);
    return RunBatch(targets, RestoreJob(*engine, dir, options.dryRun), options);
}

int RunReplace(const QStringList& words) {
    CommandLine cl(
        QStringLiteral("replace"),
        QStringLiteral("Puts the newest backup of the gateway OLD_MAC (from DIR) on the "
                       "gateway NEW_MAC, IP settings and name included, reads it back, and "
                       "checks that NEW_MAC answers with them. Refused while OLD_MAC still "
                       "answers, or when the model or the port count differ, unless --force.\n"
                       "Example: varnexctl replace 00-1A-2B-00-00-01 00-1A-2B-00-00-99 --from "
                       "/srv/backups/site-a"));
    cl.addPositional(QStringLiteral("OLD_MAC"), QStringLiteral("The failed unit."),
                     QStringLiteral("OLD_MAC"));
    cl.addPositional(QStringLiteral("NEW_MAC"), QStringLiteral("Its replacement."),
                     QStringLiteral("NEW_MAC"));
    const QCommandLineOption from(QStringList{QStringLiteral("from")},
                                  QStringLiteral("The folder of backups (default: this one)."),
                                  QStringLiteral("DIR"), QStringLiteral("."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Go on although the old unit answers, or the "
                                                  "model or port count differ."));
    cl.addOption(from);
    cl.addOption(force);
    cl.addOption(DiscoveryTimeout);
    AddBatchOptions(cl, true);
    if (!cl.parse(words, 2, 2)) return Exit::Ok;
    const QString oldMac = MacArgument(cl.positional().at(0));
    const QString newMac = MacArgument(cl.positional().at(1));
    const QString dir = existingDir(cl.parser().value(from));
    const int timeoutMs = TimeoutArgument(cl.parser().value(DiscoveryTimeout));
    const BatchOptions options = BatchOptionsOf(cl);
    const NewestBackupResult backup = NewestBackup(dir, oldMac);
    if (backup.path.isEmpty()) {
        throw UsageError(QStringLiteral("no backup of %1 in %2").arg(oldMac, PrintableText(dir)));
    }
    Err(QStringLiteral("using %1\n").arg(PrintableText(backup.path)));

    auto engine = OpenEngine(cl.interfaceName());
    const BatchTargets targets = FindTargets(*engine, {oldMac, newMac}, false, timeoutMs);
    const bool oldAnswers = !targets.missing.contains(oldMac);
    if (targets.missing.contains(newMac)) {
        throw VarnexError(QStringLiteral("no gateway with MAC %1 answered").arg(newMac));
    }
    DiscoveryReply target;
    for (const DiscoveryReply& r : targets.found) {
        if (r.Mac == newMac) target = r;
    }
    QStringList refusals;
    if (oldAnswers) refusals << QStringLiteral("%1 still answers").arg(oldMac);
    const QString model = backup.document.identity.model;
    if (!model.isEmpty() && model != target.Model) {
        refusals << QStringLiteral("the backup is of a %1, %2 is a %3")
                        .arg(PrintableText(model), newMac, PrintableText(target.Model));
    }
    const int backupPorts = backup.document.config.network.portCount;
    const int newPorts = ReadGatewayConfig(*engine, newMac).config.network.portCount;
    if (backupPorts != newPorts) {
        refusals << QStringLiteral("the backup has %1 ports, %2 has %3")
                        .arg(backupPorts)
                        .arg(newMac)
                        .arg(newPorts);
    }
    if (!refusals.isEmpty() && !cl.parser().isSet(force)) {
        Err(QStringLiteral("refused: %1 (--force goes on anyway)\n").arg(refusals.join("; ")));
        return Exit::Failed;
    }
    BatchTargets one;
    one.found = {target};
    const int rc =
        RunBatch(one, WriteWholeJob(*engine, backup.document.config, options.dryRun), options);
    if (rc != Exit::Ok || options.dryRun) return rc;
    // The replacement answers a Search with the old unit's address and name.
    const NetworkSettings& want = backup.document.config.network;
    const QList<DiscoveryReply> now = engine->Discover(timeoutMs, {newMac});
    for (const DiscoveryReply& r : now) {
        if (r.Mac != newMac) continue;
        if (r.IpAddress == want.ipAddress && r.DeviceName == want.deviceName) {
            Err(QStringLiteral("%1 answers as %2 at %3\n")
                    .arg(newMac, PrintableText(r.DeviceName), r.IpAddress));
            return Exit::Ok;
        }
        Err(QStringLiteral("%1 answers as %2 at %3, not as %4 at %5\n")
                .arg(newMac, PrintableText(r.DeviceName), r.IpAddress,
                     PrintableText(want.deviceName), want.ipAddress));
        return Exit::Failed;
    }
    Err(QStringLiteral("%1 did not answer after the write\n").arg(newMac));
    return Exit::Failed;
}

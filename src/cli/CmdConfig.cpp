// varnexctl config get | put | diff: a gateway's whole configuration against a
// .vxc or JSON file.
#include "CliCommon.h"

#include "CliBatch.h"
#include "config/ConfigDiff.h"
#include "config/ConfigJson.h"
#include "fleet/FleetConfig.h"
#include "fleet/FleetJobs.h"

#include <QJsonArray>
#include <QJsonObject>
#include <mutex>
#include "engine/ConfigExchange.h"
#include "engine/GatewayEngine.h"
#include "link/VarnexError.h"

#include <optional>

namespace {
const QCommandLineOption kTimeout(QStringLiteral("timeout"),
                                  QStringLiteral("How long to wait for the gateway to answer a "
                                                 "discovery (default 3)."),
                                  QStringLiteral("SECONDS"), QStringLiteral("3"));

// A file that cannot be used is bad input: nothing is sent.
ConfigDocument loadDocument(const QString& path) {
    try {
        return LoadConfigDocument(path);
    } catch (const VarnexError& e) {
        throw UsageError(e.text());
    }
}

// The gateway's configuration, with its identity from the discovery reply.
ConfigDocument readGateway(GatewayEngine& engine, const QString& mac, int timeoutMs) {
    const DiscoveryReply found = FindGateway(engine, mac, timeoutMs);
    Err(QStringLiteral("reading the configuration of %1\n").arg(mac));
    const GatewayConfigRead read = ReadGatewayConfig(engine, mac);
    const int rows = read.config.network.portCount;
    if (read.portRowsAnswered < rows || read.loraRowsAnswered < rows) {
        Err(QStringLiteral(
                "%1 answered %2 of %3 port rows and %4 of %3 LoRa rows; the others are empty\n")
                .arg(mac)
                .arg(read.portRowsAnswered)
                .arg(rows)
                .arg(read.loraRowsAnswered));
    }
    ConfigDocument doc;
    doc.config = read.config;
    doc.identity.mac = mac;
    doc.identity.model = found.Model;
    doc.identity.version = found.Version;
    doc.identity.sourceId = read.config.network.sourceId;
    return doc;
}

void printDifferences(const QStringList& lines) {
    for (const QString& line : lines) Out(PrintableText(line) + QLatin1Char('\n'));
}

int get(const QStringList& words) {
    CommandLine cl(QStringLiteral("config get"),
                   QStringLiteral("Reads the whole configuration of the gateway with MAC. With -o "
                                  "FILE it writes a .vxc file (as the window's Export) when FILE "
                                  "ends in .vxc and JSON otherwise; without -o, JSON on stdout.\n"
                                  "Example: varnexctl config get 00-1A-2B-00-00-01 -o pump.json"));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateway's MAC address."),
                     QStringLiteral("MAC"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write to FILE instead of stdout."),
                                    QStringLiteral("FILE"));
    cl.addOption(output);
    cl.addOption(kTimeout);
    if (!cl.parse(words, 1, 1)) return Exit::Ok;
    const QString mac = MacArgument(cl.positional().first());
    const int timeoutMs = TimeoutArgument(cl.parser().value(kTimeout));

    auto engine = OpenEngine(cl.interfaceName());
    const ConfigDocument doc = readGateway(*engine, mac, timeoutMs);
    if (cl.parser().isSet(output)) {
        const QString path = cl.parser().value(output);
        SaveConfigDocument(path, doc.config, doc.identity);
        Err(QStringLiteral("wrote %1\n").arg(PrintableText(path)));
    } else {
        Out(QString::fromUtf8(ConfigJsonBytes(doc.config, doc.identity)));
    }
    return Exit::Ok;
}

// The words of put and diff: MAC and FILE, the file read and checked before
// anything is sent. Nothing when --help was asked for.
struct MacAndFile {
    QString mac;
    int timeoutMs = 0;
    QString interfaceName;
    ConfigDocument file;
};
std::optional<MacAndFile> macAndFile(const QString& name, const QStringList& words,
                                     const QString& description) {
    CommandLine cl(name, description);
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateway's MAC address."),
                     QStringLiteral("MAC"));
    cl.addPositional(QStringLiteral("FILE"), QStringLiteral("A .vxc or JSON file."),
                     QStringLiteral("FILE"));
    cl.addOption(kTimeout);
    if (!cl.parse(words, 2, 2)) return std::nullopt;
    MacAndFile args;
    args.mac = MacArgument(cl.positional().at(0));
    args.timeoutMs = TimeoutArgument(cl.parser().value(kTimeout));
    args.interfaceName = cl.interfaceName();
    args.file = loadDocument(cl.positional().at(1));
    return args;
}

int put(const QStringList& words) {
    const auto args =
        macAndFile(QStringLiteral("config put"), words,
                   QStringLiteral("Writes a .vxc or JSON file to the gateway with MAC: every "
                                  "section, then apply, as the configuration dialog does. Nothing "
                                  "is sent when any value cannot be written. The configuration is "
                                  "then read back; any difference fails.\n"
                                  "Example: varnexctl config put 00-1A-2B-00-00-01 pump.json"));
    if (!args) return Exit::Ok;
    const QString& mac = args->mac;
    const ConfigDocument& file = args->file;

    // Built whole before the first datagram: a value that cannot be written
    // stops here with nothing sent. The file's own MAC is not used.
    QList<SectionWrite> writes;
    try {
        ChangeMarks all;
        all.network = all.operation = all.lora = true;
        writes = BuildConfigWrite(mac, all, file.config);
    } catch (const VarnexError& e) {
        throw UsageError(e.text());
    }

    auto engine = OpenEngine(args->interfaceName);
    FindGateway(*engine, mac, args->timeoutMs);
    Err(QStringLiteral("writing the configuration of %1\n").arg(mac));
    if (!WriteGatewayConfig(*engine, mac, writes)) {
        throw VarnexError(QStringLiteral("%1 did not confirm the new configuration").arg(mac));
    }
    const ConfigDocument now = readGateway(*engine, mac, args->timeoutMs);
    const QStringList notHeld = RowsOnlyInFile(now.config, file.config);
    if (!notHeld.isEmpty()) {
        Err(QStringLiteral("%1 holds fewer rows than the file; it did not keep %2\n")
                .arg(mac, notHeld.join(QStringLiteral(", "))));
    }
    const QStringList differences =
        ConfigDifferences(now.config, file.config, DiffRows::GatewayRowsOnly);
    if (!differences.isEmpty()) {
        // The heading belongs with the lines it heads: both are the command's data.
        Out(QStringLiteral("%1 reports values other than the file's:\n").arg(mac));
        printDifferences(differences);
        return Exit::Failed;
    }
    Err(QStringLiteral("%1 holds the file's configuration\n").arg(mac));
    return Exit::Ok;
}

int diff(const QStringList& words) {
    const auto args =
        macAndFile(QStringLiteral("config diff"), words,
                   QStringLiteral("Reads the gateway with MAC and prints each field that differs "
                                  "from FILE, as \"section.field: gateway-value -> file-value\". "
                                  "Exit status: 0 when they match, 1 when they differ.\n"
                                  "Example: varnexctl config diff 00-1A-2B-00-00-01 pump.json"));
    if (!args) return Exit::Ok;
    const QString& mac = args->mac;
    const ConfigDocument& file = args->file;

    auto engine = OpenEngine(args->interfaceName);
    const ConfigDocument gateway = readGateway(*engine, mac, args->timeoutMs);
    const QStringList differences = ConfigDifferences(gateway.config, file.config, DiffRows::All);
    printDifferences(differences);
    Err(differences.isEmpty() ? QStringLiteral("%1 matches the file\n").arg(mac)
                              : QStringLiteral("%1 differs from the file in %2 field(s)\n")
                                    .arg(mac)
                                    .arg(differences.size()));
    return differences.isEmpty() ? Exit::Ok : Exit::Failed;
}

// push and audit: one file against many gateways.
struct FileAndTargets {
    ConfigDocument file;
    BatchTargets targets;
    BatchOptions options;
    std::unique_ptr<GatewayEngine> engine;
};
std::optional<FileAndTargets> fileAndTargets(const QString& name, const QStringList& words,
                                             const QString& description, bool writes) {
    CommandLine cl(name, description);
    cl.addPositional(QStringLiteral("FILE"), QStringLiteral("A .vxc or JSON file."),
                     QStringLiteral("FILE"));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateways."),
                     QStringLiteral("(MAC... | --all)"));
    const QCommandLineOption all(QStringLiteral("all"),
                                 QStringLiteral("Every gateway that answers a Search."));
    cl.addOption(all);
    cl.addOption(kTimeout);
    AddBatchOptions(cl, writes);
    if (!cl.parse(words, 1, -1)) return std::nullopt;
    QStringList macs;
    for (const QString& w : cl.positional().mid(1)) macs << MacArgument(w);
    if (macs.isEmpty() == !cl.parser().isSet(all)) {
        throw UsageError(QStringLiteral("give MACs or --all, not both"));
    }
    FileAndTargets out;
    out.file = loadDocument(cl.positional().first());
    out.options = BatchOptionsOf(cl);
    out.engine = OpenEngine(cl.interfaceName());
    out.targets = FindTargets(*out.engine, macs, cl.parser().isSet(all),
                              TimeoutArgument(cl.parser().value(kTimeout)));
    return out;
}

int push(const QStringList& words) {
    auto run = fileAndTargets(
        QStringLiteral("config push"), words,
        QStringLiteral("Writes FILE to each gateway, which keeps its own network type, IP "
                       "address, mask, gateway, name and LAN addresses; everything else comes "
                       "from the file. Each write is read back and compared. A gateway whose "
                       "port count differs from the file's fails before anything is sent to it.\n"
                       "Example: varnexctl config push line-3.json --all --parallel 8"),
        true);
    if (!run) return Exit::Ok;
    return RunBatch(run->targets, PushJob(*run->engine, run->file.config, run->options.dryRun),
                    run->options);
}

int audit(const QStringList& words) {
    auto run = fileAndTargets(
        QStringLiteral("config audit"), words,
        QStringLiteral("Reads each gateway and prints, in a section of its own, each field in "
                       "which it differs from FILE, leaving out its identity (network type, "
                       "addresses, name). Exit status 1 when any gateway differs.\n"
                       "Example: varnexctl config audit line-3.json --all"),
        false);
    if (!run) return Exit::Ok;
    const DeviceConfig reference = run->file.config;
    GatewayEngine& engine = *run->engine;
    std::mutex mutex;
    QHash<QString, QStringList> drift;
    class Audit : public FleetBatch::Job {
    public:
        Audit(GatewayEngine& e, const DeviceConfig& ref, QHash<QString, QStringList>& out,
              std::mutex& m)
            : engine_(e), ref_(ref), out_(out), mutex_(m) {}
        FleetBatch::Outcome Run(const DiscoveryReply& g, const std::function<void(int)>&) override {
            const QStringList lines = DriftFromReference(ReadWholeConfig(engine_, g.Mac), ref_);
            std::lock_guard<std::mutex> lock(mutex_);
            out_.insert(g.Mac, lines);
            if (lines.isEmpty()) return {FleetBatch::State::Done, QStringLiteral("matches")};
            return {FleetBatch::State::Done,
                    QStringLiteral("differs in %1 field(s)").arg(lines.size())};
        }

    private:
        GatewayEngine& engine_;
        const DeviceConfig& ref_;
        QHash<QString, QStringList>& out_;
        std::mutex& mutex_;
    };
    BatchOptions quiet = run->options;
    const bool json = quiet.json;
    int rc = RunBatch(run->targets, std::make_shared<Audit>(engine, reference, drift, mutex), quiet,
                      [&](const QString& mac, QJsonObject& object, QString& line) {
                          const QStringList lines = drift.value(mac);
                          object.insert(QStringLiteral("differences"),
                                        QJsonArray::fromStringList(lines));
                          if (!json && !lines.isEmpty()) {
                              for (const QString& l : lines) line += QStringLiteral("\n  ") + l;
                          }
                      });
    for (auto it = drift.cbegin(); it != drift.cend(); ++it) {
        if (!it->isEmpty() && rc == Exit::Ok) rc = Exit::Failed;
    }
    return rc;
}
}  // namespace

int RunConfig(const QStringList& words) {
    const QString sub = words.value(0);
    if (sub == QLatin1String("get")) return get(words.mid(1));
    if (sub == QLatin1String("put")) return put(words.mid(1));
    if (sub == QLatin1String("diff")) return diff(words.mid(1));
    if (sub == QLatin1String("push")) return push(words.mid(1));
    if (sub == QLatin1String("audit")) return audit(words.mid(1));
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        Out(
            QStringLiteral("Usage: varnexctl config get|put|diff ...\n"
                           "  get MAC [-o FILE]   read a gateway's whole configuration\n"
                           "  put MAC FILE        write a .vxc or JSON file to a gateway\n"
                           "  diff MAC FILE       compare a gateway with a file\n"
                           "  push FILE (MAC...|--all)   write a file to many gateways, each\n"
                           "                      keeping its address and name\n"
                           "  audit FILE (MAC...|--all)  how each gateway differs from a file\n"
                           "Each takes --help.\n"));
        return Exit::Ok;
    }
    throw UsageError(sub.isEmpty() ? QStringLiteral("config: say get, put or diff")
                                   : QStringLiteral("config: unknown command \"%1\"").arg(sub));
}

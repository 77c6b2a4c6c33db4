// varnexctl: the gateways' discovery, settings, configuration and firmware from
// the command line, on the same engine as the window.
#include "CliCommon.h"

#include "VarnexVersion.h"
#include "link/VarnexError.h"

#include <QCoreApplication>

namespace {
const char* const kHelp =
    "Usage: varnexctl [--interface NAME] COMMAND [OPTIONS] [ARGUMENTS]\n"
    "Finds and configures Varnex gateways on the local network (UDP port 2058).\n"
    "\n"
    "Commands:\n"
    "  discover [--timeout SECONDS] [--json] [--explain]\n"
    "      List the gateways that answer on every network interface.\n"
    "      Example: varnexctl discover --json\n"
    "  set MAC [--ip A] [--mask A] [--gateway A] [--view-ip A] [--name TEXT] [--no-verify]\n"
    "      Change a gateway's IP settings and name, then check them.\n"
    "      Example: varnexctl set 00-1A-2B-00-00-01 --ip 192.168.1.20 --name \"Pump house\"\n"
    "  config get MAC [-o FILE]\n"
    "      Read a gateway's whole configuration as JSON, or as a .vxc file.\n"
    "      Example: varnexctl config get 00-1A-2B-00-00-01 -o pump.json\n"
    "  config put MAC FILE\n"
    "      Write a .vxc or JSON file to a gateway, then read it back.\n"
    "      Example: varnexctl config put 00-1A-2B-00-00-01 pump.json\n"
    "  config diff MAC FILE\n"
    "      Print each field in which a gateway differs from a file.\n"
    "      Example: varnexctl config diff 00-1A-2B-00-00-01 pump.json\n"
    "  firmware IMAGE MAC [MAC...] [--parallel N] [--skip-version V] [--max-failures N]\n"
    "      Upgrade the gateways, several at once, each with its own result.\n"
    "      Example: varnexctl firmware vx-2.1.0.bin 00-1A-2B-00-00-01 00-1A-2B-00-00-02\n"
    "  backup DIR [MAC...]\n"
    "      Read every gateway's (or these gateways') whole configuration into DIR.\n"
    "      Example: varnexctl backup /srv/backups/site-a --parallel 16\n"
    "  restore DIR (MAC... | --all)\n"
    "      Write each gateway's newest backup in DIR back to it, then compare.\n"
    "  replace OLD_MAC NEW_MAC [--from DIR] [--force]\n"
    "      Put a failed unit's newest backup, address and name included, on its replacement.\n"
    "  set --from-csv FILE\n"
    "      Give many gateways their addresses and names from a CSV plan, then check them.\n"
    "  config push FILE (MAC... | --all), config audit FILE (MAC... | --all)\n"
    "      Write one file to many gateways, each keeping its address and name; or print how\n"
    "      each differs from it.\n"
    "\n"
    "Batch commands print one result per gateway (or --json), take --parallel N (default 4)\n"
    "and, where they write, --dry-run; Ctrl-C starts no further gateway, lets the running ones\n"
    "finish and exits 130. A nightly backup of every site, from cron:\n"
    "  for site in plant-a plant-b; do\n"
    "    varnexctl --interface \"$site\" backup \"/srv/backups/$site\" --json > "
    "\"/srv/backups/$site.log\"\n"
    "  done\n"
    "\n"
    "Options for every command:\n"
    "  --interface NAME  Use only this network interface (default: every interface that is up).\n"
    "  -h, --help        Help for the program, or for a command after its name.\n"
    "  --version         The version.\n"
    "\n"
    "Data goes to stdout, messages and progress to stderr.\n"
    "Exit status: 0 success, 1 the operation failed (no reply, refused, mismatch),\n"
    "2 wrong usage or bad input (nothing was sent).\n";

int dispatch(QStringList words) {
    // --interface may also come before the command; it is passed on to it.
    QStringList global;
    while (!words.isEmpty() && words.first().startsWith(QLatin1Char('-'))) {
        const QString w = words.takeFirst();
        if (w == QLatin1String("--help") || w == QLatin1String("-h")) {
            Out(QString::fromLatin1(kHelp));
            return Exit::Ok;
        }
        if (w == QLatin1String("--version") || w == QLatin1String("-v")) {
            Out(QStringLiteral("varnexctl " VARNEX_VERSION "\n"));
            return Exit::Ok;
        }
        if (w == QLatin1String("--interface") && !words.isEmpty()) {
            global << w << words.takeFirst();
        } else if (w.startsWith(QLatin1String("--interface="))) {
            global << w;
        } else {
            throw UsageError(QStringLiteral("unknown option \"%1\"").arg(w));
        }
    }
    if (words.isEmpty()) throw UsageError(QStringLiteral("no command given"));
    const QString command = words.takeFirst();
    if (command == QLatin1String("config") && !words.isEmpty()) {
        const QString sub = words.takeFirst();
        return RunConfig(QStringList{sub} + global + words);
    }
    words = global + words;
    if (command == QLatin1String("discover")) return RunDiscover(words);
    if (command == QLatin1String("set")) return RunSet(words);
    if (command == QLatin1String("config")) return RunConfig(words);
    if (command == QLatin1String("firmware")) return RunFirmware(words);
    if (command == QLatin1String("backup")) return RunBackup(words);
    if (command == QLatin1String("restore")) return RunRestore(words);
    if (command == QLatin1String("replace")) return RunReplace(words);
    if (command == QLatin1String("help")) {
        Out(QString::fromLatin1(kHelp));
        return Exit::Ok;
    }
    throw UsageError(QStringLiteral("unknown command \"%1\"").arg(command));
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNEX_VERSION));
    // Messages quote keys, values and file names as they came from a file, a
    // gateway or the command line: each line is filtered before it reaches the
    // terminal.
    try {
        return dispatch(QCoreApplication::arguments().mid(1));
    } catch (const UsageError& e) {
        Err(QStringLiteral("varnexctl: %1\nTry 'varnexctl --help'.\n")
                .arg(PrintableLines(e.text())));
        return Exit::Usage;
    } catch (const VarnexError& e) {
        // A socket error's "\r\n" separates its number from its text: one line here.
        const QString text = QString(e.text()).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        Err(QStringLiteral("varnexctl: %1\n").arg(PrintableLines(text)));
        return Exit::Failed;
    } catch (const std::exception& e) {
        Err(QStringLiteral("varnexctl: %1\n")
                .arg(PrintableLines(QString::fromLocal8Bit(e.what()))));
        return Exit::Failed;
    }
}

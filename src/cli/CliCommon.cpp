#include "CliCommon.h"

#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/VarnexError.h"

#include <QCoreApplication>

#include <cstdio>

CommandLine::CommandLine(const QString& name, const QString& description)
    : name_(name),
      interface_(QStringLiteral("interface"),
                 QStringLiteral("Use only this network interface (default: every interface "
                                "that is up)."),
                 QStringLiteral("NAME")) {
    parser_.setApplicationDescription(description);
    parser_.addHelpOption();
    parser_.addOption(interface_);
}

void CommandLine::addPositional(const QString& name, const QString& description,
                                const QString& syntax) {
    parser_.addPositionalArgument(name, description, syntax);
}

bool CommandLine::parse(const QStringList& words, int minPositional, int maxPositional) {
    if (!parser_.parse(QStringList{QStringLiteral("varnexctl ") + name_} + words)) {
        throw UsageError(parser_.errorText());
    }
    if (parser_.isSet(QStringLiteral("help"))) {
        // The usage line names the command, not the program's path alone.
        QString help = parser_.helpText();
        const QString program = QCoreApplication::arguments().value(0);
        const int at = program.isEmpty() ? -1 : help.indexOf(program);
        if (at >= 0) help.replace(at, program.size(), QStringLiteral("varnexctl ") + name_);
        Out(help);
        return false;
    }
    const int n = parser_.positionalArguments().size();
    if (n < minPositional) throw UsageError(QStringLiteral("missing arguments"));
    if (maxPositional >= 0 && n > maxPositional) {
        throw UsageError(QStringLiteral("unexpected argument \"%1\"")
                             .arg(parser_.positionalArguments().value(maxPositional)));
    }
    return true;
}

const QCommandLineOption DiscoveryTimeout(
    QStringLiteral("timeout"),
    QStringLiteral("How long to wait for the gateways to answer a discovery (default 3)."),
    QStringLiteral("SECONDS"), QStringLiteral("3"));

void Out(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void Err(const QString& text) {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void OutJson(const QJsonDocument& document) {
    Out(QString::fromUtf8(document.toJson(QJsonDocument::Indented)));
}

QString MacArgument(const QString& text) {
    const QString mac = NormalizedMac(text);
    if (mac.isEmpty()) {
        throw UsageError(
            QStringLiteral("\"%1\" is not a MAC address (like 00-1A-2B-00-00-01)").arg(text));
    }
    return mac;
}

int TimeoutArgument(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // Written so that NaN, for which every comparison is false, fails it.
    if (!ok || !(seconds >= 0.1 && seconds <= 3600)) {
        throw UsageError(
            QStringLiteral("--timeout: \"%1\" is not a number of seconds from 0.1 to 3600")
                .arg(text));
    }
    return static_cast<int>(seconds * 1000);
}

std::unique_ptr<GatewayEngine> OpenEngine(const QString& interfaceName) {
    static SystemClock clock;
    auto engine = std::make_unique<GatewayEngine>(clock);
    engine->SetInterfaceName(interfaceName);
    try {
        engine->Hold();
    } catch (const VarnexError& e) {
        if (e.text().contains(QStringLiteral("already in use"))) {
            throw VarnexError(QStringLiteral(
                "UDP port 2058 is already in use on this computer; VarnexConfig or another "
                "varnexctl may be running. Close it and try again."));
        }
        throw;
    }
    return engine;
}

QList<DiscoveryReply> FindGateways(GatewayEngine& engine, const QStringList& macs, int timeoutMs,
                                   QStringList& missing) {
    const QList<DiscoveryReply> found = engine.Discover(timeoutMs, macs);
    QList<DiscoveryReply> wanted;
    missing.clear();
    for (const QString& mac : macs) {
        bool seen = false;
        for (const DiscoveryReply& r : found) {
            if (r.Mac.compare(mac, Qt::CaseInsensitive) != 0) continue;
            wanted.append(r);
            seen = true;
            break;
        }
        if (!seen) missing.append(mac);
    }
    return wanted;
}

DiscoveryReply FindGateway(GatewayEngine& engine, const QString& mac, int timeoutMs) {
    QStringList missing;
    const QList<DiscoveryReply> found = FindGateways(engine, {mac}, timeoutMs, missing);
    if (found.isEmpty())
        throw VarnexError(QStringLiteral("no gateway with MAC %1 answered").arg(mac));
    return found.first();
}

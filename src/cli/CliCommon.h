#pragma once

#include "text/PrintableText.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

class GatewayEngine;
struct DiscoveryReply;

// Exit codes: 0 done, 1 the operation failed (no reply, refused, mismatch),
// 2 wrong usage or bad input (nothing was sent).
namespace Exit {
constexpr int Ok = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;
}  // namespace Exit

// Wrong usage or bad input: the command stops with exit code 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// One command's options: its own plus --interface and --help, parsed from the
// words after the command's name.
class CommandLine {
public:
    CommandLine(const QString& name, const QString& description);
    void addOption(const QCommandLineOption& option) { parser_.addOption(option); }
    void addPositional(const QString& name, const QString& description, const QString& syntax);
    // False when --help was asked for (the help has been printed); raises
    // UsageError for an unknown option or a wrong number of arguments.
    bool parse(const QStringList& words, int minPositional, int maxPositional);
    const QCommandLineParser& parser() const { return parser_; }
    QString interfaceName() const { return parser_.value(interface_); }
    QStringList positional() const { return parser_.positionalArguments(); }

private:
    QString name_;
    QCommandLineParser parser_;
    QCommandLineOption interface_;
};

// Output: data on stdout, everything else on stderr. Text that may hold
// anything from a gateway, a file or the command line goes through
// PrintableText or PrintableLines first.
void Out(const QString& text);
void Err(const QString& text);
void OutJson(const QJsonDocument& document);

// A MAC from the command line, or UsageError.
QString MacArgument(const QString& text);
// A --timeout in seconds (0.1 to 3600) as milliseconds, or UsageError;
// "nan" and "inf", which QString::toDouble takes, are refused.
int TimeoutArgument(const QString& text);

// The engine with port 2058 held for this command, with a message an operator
// understands when another program holds it.
std::unique_ptr<GatewayEngine> OpenEngine(const QString& interfaceName);

// Finds the gateways with these MACs in one discovery; a MAC nobody
// answered for is listed in `missing`.
QList<DiscoveryReply> FindGateways(GatewayEngine& engine, const QStringList& macs, int timeoutMs,
                                   QStringList& missing);
// The one gateway with this MAC, or VarnexError "no gateway with MAC … answered".
DiscoveryReply FindGateway(GatewayEngine& engine, const QString& mac, int timeoutMs);

constexpr int DefaultTimeoutMs = 3000;
// --timeout of the commands that find many gateways by a discovery first.
extern const QCommandLineOption DiscoveryTimeout;

int RunDiscover(const QStringList& words);
int RunSet(const QStringList& words);
int RunConfig(const QStringList& words);
int RunFirmware(const QStringList& words);
int RunBackup(const QStringList& words);
int RunRestore(const QStringList& words);
int RunReplace(const QStringList& words);

#include "SimOptions.h"

#include "link/Codecs.h"

#include "SimAddress.h"
#include "VarnexVersion.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

int SimFaults::intValue(const QString& name, int fallback) const {
    bool ok = false;
    const int v = values_.value(name).toInt(&ok);
    return has(name) && ok ? v : fallback;
}

bool SimFaults::add(const QString& text, QString& error) {
    const int eq = text.indexOf(QLatin1Char('='));
    const QString name = (eq < 0 ? text : text.left(eq)).trimmed();
    const QString value = eq < 0 ? QString() : text.mid(eq + 1).trimmed();
    if (name.isEmpty()) {
        error = QStringLiteral("a fault needs a name: '%1'").arg(text);
        return false;
    }
    error = CheckCommonFault(name, value);
    if (!error.isEmpty()) return false;
    set(name, value);
    return true;
}

namespace {
bool inRange(const QString& text, qint64 low, qint64 high, qint64& value) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    if (!digits.match(text).hasMatch()) return false;
    value = text.toLongLong();
    return value >= low && value <= high;
}
}  // namespace

QString CheckCommonFault(const QString& name, const QString& value) {
    qint64 v = 0;
    if (name == QLatin1String("delay") || name == QLatin1String("jitter")) {
        if (!inRange(value, 0, 600000, v)) {
            return QStringLiteral("%1 needs milliseconds from 0 to 600000").arg(name);
        }
    } else if (name == QLatin1String("loss")) {
        if (!inRange(value, 0, 100, v))
            return QStringLiteral("loss needs a percentage from 0 to 100");
    } else if (name == QLatin1String("duplicate")) {
        if (!value.isEmpty()) return QStringLiteral("duplicate takes no value");
    } else if (name == QLatin1String("repeat")) {
        if (!inRange(value, 1, 1000, v))
            return QStringLiteral("repeat needs a count from 1 to 1000");
    } else if (name == QLatin1String("malformed")) {
        static const QStringList kinds{QStringLiteral("short"), QStringLiteral("noetx"),
                                       QStringLiteral("letter")};
        if (!kinds.contains(value)) return QStringLiteral("malformed needs short, noetx or letter");
    }
    return QString();
}

QString SimOptions::nameFor(int index) const {
    QString name = cycled(names, index);
    return name.replace(QStringLiteral("%n"), QString::number(index + 1));
}

namespace {
// The command line's own readers: each gives false for a text it refuses.

bool readIPv4(const QString& text, quint32& hostOrder) {
    return ParseDottedIPv4(text, hostOrder);
}

bool readMac(const QString& text, quint64& value) {
    static const QRegularExpression mac(QStringLiteral("^[0-9A-Fa-f]{2}([-:][0-9A-Fa-f]{2}){5}$"));
    if (!mac.match(text).hasMatch()) return false;
    value =
        QString(text).remove(QLatin1Char('-')).remove(QLatin1Char(':')).toULongLong(nullptr, 16);
    return true;
}

bool readIntList(const QString& text, int low, int high, QList<int>& out) {
    out.clear();
    for (const QString& part : text.split(QLatin1Char(','))) {
        qint64 v = 0;
        if (!inRange(part.trimmed(), low, high, v)) return false;
        out.append(static_cast<int>(v));
    }
    return true;
}

// A list of texts that each fit a field of `width` bytes on the wire.
bool readTextList(const QString& text, int width, QStringList& out) {
    out = text.split(QLatin1Char(','));
    for (const QString& item : out) {
        if (item.toUtf8().size() > width) return false;
    }
    return true;
}

SimOptionsParse failure(const QString& message) {
    SimOptionsParse outcome;
    outcome.message = QStringLiteral("gateway-sim: %1\n").arg(message);
    outcome.exitCode = 2;
    return outcome;
}

// Every option of the command line, with its help text and default.
struct SimCommandLine {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption count{QStringLiteral("count"), QStringLiteral("Number of gateways."),
                             QStringLiteral("N"), QStringLiteral("3")};
    QCommandLineOption firstMac{QStringLiteral("first-mac"),
                                QStringLiteral("MAC of the first gateway; the others follow."),
                                QStringLiteral("MAC"), QStringLiteral("00-1A-2B-00-00-01")};
    QCommandLineOption firstIp{QStringLiteral("first-ip"),
                               QStringLiteral("IP of the first gateway; the others follow."),
                               QStringLiteral("IP"), QStringLiteral("198.19.0.10")};
    QCommandLineOption gateway{QStringLiteral("gateway"),
                               QStringLiteral("Gateway address of every gateway."),
                               QStringLiteral("IP"), QStringLiteral("198.19.0.1")};
    QCommandLineOption mask{QStringLiteral("mask"), QStringLiteral("Subnet mask of every gateway."),
                            QStringLiteral("IP"), QStringLiteral("255.255.0.0")};
    QCommandLineOption viewIp{QStringLiteral("view-ip"),
                              QStringLiteral("VarnexView IP of every gateway."),
                              QStringLiteral("IP"), QStringLiteral("198.19.0.2")};
    QCommandLineOption model{QStringLiteral("model"),
                             QStringLiteral("Models, comma list cycled (20 bytes each at most)."),
                             QStringLiteral("LIST"), QStringLiteral("VX-G200,VX-G400,VX-G100")};
    QCommandLineOption version{QStringLiteral("version"),
                               QStringLiteral("Firmware versions, comma list cycled (8 bytes "
                                              "each at most). Alone, with no value: print the "
                                              "simulator's own version."),
                               QStringLiteral("LIST"), QStringLiteral("1.0.3,1.2.0,2.1.7")};
    QCommandLineOption name{QStringLiteral("name"),
                            QStringLiteral("Device names, comma list cycled; %n is the "
                                           "gateway's number from 1."),
                            QStringLiteral("LIST"), QStringLiteral("Lobby,Workshop,Yard")};
    QCommandLineOption ports{QStringLiteral("ports"),
                             QStringLiteral("Serial port counts, comma list cycled."),
                             QStringLiteral("LIST"), QStringLiteral("2,4,1")};
    QCommandLineOption lora{QStringLiteral("lora"),
                            QStringLiteral("LoRa row counts, comma list cycled (default: "
                                           "the port counts)."),
                            QStringLiteral("LIST")};
    QCommandLineOption replyTo{QStringLiteral("reply-to"),
                               QStringLiteral("Where replies go: broadcast (to "
                                              "255.255.255.255) or sender."),
                               QStringLiteral("MODE"), QStringLiteral("broadcast")};
    QCommandLineOption bind{QStringLiteral("bind"), QStringLiteral("Local address to bind."),
                            QStringLiteral("ADDRESS"), QStringLiteral("0.0.0.0")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("UDP port to listen on and broadcast to."),
                            QStringLiteral("PORT"), QStringLiteral("2058")};
    QCommandLineOption firmwareOut{QStringLiteral("firmware-out"),
                                   QStringLiteral("Folder where received firmware images "
                                                  "are written."),
                                   QStringLiteral("DIR")};
    QCommandLineOption quiet{QStringLiteral("quiet"), QStringLiteral("Log nothing on stderr.")};
    QCommandLineOption seed{QStringLiteral("seed"),
                            QStringLiteral("Seed of the random faults (loss, jitter)."),
                            QStringLiteral("N")};
    QCommandLineOption fault{
        QStringLiteral("fault"),
        QStringLiteral("Inject a fault; repeatable. Common ones: "
                       "delay=MS, jitter=MS, loss=PERCENT, duplicate, repeat=N, "
                       "malformed=short|noetx|letter. Others: ignore-writes (configuration "
                       "and \"S\" writes are confirmed but not kept), cfg-silent=LETTERS, "
                       "cfg-delay=MS, cfg-bad-row, fw-silent, fw-no-ack=K|end, "
                       "fw-refuse=K|end, fw-late-ack=MS, fw-slow-end=MS, fw-duplicate-ack."),
        QStringLiteral("NAME[=VALUE]")};

    // Adds every option to the parser; the help shows each default.
    void addTo(QCommandLineParser& parser) {
        for (QCommandLineOption* option :
             {&help, &count, &firstMac, &firstIp, &gateway, &mask, &viewIp, &model, &version, &name,
              &ports, &lora, &replyTo, &bind, &port, &firmwareOut, &quiet, &seed, &fault}) {
            if (!option->defaultValues().isEmpty()) {
                option->setDescription(QStringLiteral("%1 Default: %2")
                                           .arg(option->description(),
                                                option->defaultValues().join(QLatin1Char(','))));
            }
            parser.addOption(*option);
        }
    }
};
}  // namespace

SimOptionsParse ParseSimOptions(const QStringList& arguments) {
    // --version takes the gateways' firmware versions; alone it asks, as with any
    // program, for the simulator's own version (a missing value was an error before).
    if (arguments.size() == 2 && arguments.at(1) == QLatin1String("--version")) {
        const QString program = QFileInfo(arguments.first()).fileName();
        SimOptionsParse outcome;
        outcome.message = QStringLiteral("%1 %2\n").arg(
            program.isEmpty() ? QStringLiteral("gateway-sim") : program,
            QStringLiteral(VARNEX_VERSION));
        return outcome;
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays one or many Varnex gateways on UDP: answers discovery, takes IP "
                       "settings and names, and injects faults on request.\n"
                       "Commands on stdin: dump, quit, fault NAME[=VALUE], unfault NAME."));
    SimCommandLine cl;
    cl.addTo(parser);

    if (!parser.parse(arguments)) return failure(parser.errorText());
    if (parser.isSet(cl.help)) {
        SimOptionsParse outcome;
        outcome.message = parser.helpText();
        return outcome;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return failure(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    }

    SimOptions o;
    qint64 v = 0;
    if (!inRange(parser.value(cl.count), 0, 100000, v))
        return failure(QStringLiteral("--count needs 0 to 100000"));
    o.count = static_cast<int>(v);

    quint64 mac = 0;
    if (!readMac(parser.value(cl.firstMac), mac)) {
        return failure(
            QStringLiteral("--first-mac needs six hexadecimal pairs such as 00-1A-2B-00-00-01"));
    }
    if (o.count > 0 && mac + static_cast<quint64>(o.count - 1) > 0xFFFFFFFFFFFFull) {
        return failure(QStringLiteral("--first-mac leaves no room for %1 gateways").arg(o.count));
    }
    o.firstMac = mac;

    if (!readIPv4(parser.value(cl.firstIp), o.firstIp))
        return failure(QStringLiteral("--first-ip is not an IPv4 address"));
    if (o.count > 0 &&
        static_cast<quint64>(o.firstIp) + static_cast<quint64>(o.count - 1) > 0xFFFFFFFFull) {
        return failure(QStringLiteral("--first-ip leaves no room for %1 gateways").arg(o.count));
    }
    const std::pair<const QCommandLineOption*, QByteArray*> addresses[] = {
        {&cl.gateway, &o.gateway}, {&cl.mask, &o.mask}, {&cl.viewIp, &o.viewIp}};
    for (const auto& [option, target] : addresses) {
        quint32 a = 0;
        if (!readIPv4(parser.value(*option), a)) {
            return failure(
                QStringLiteral("--%1 is not an IPv4 address").arg(option->names().first()));
        }
        *target = BigEndianBytes(a, 4);
    }

    if (!readTextList(parser.value(cl.model), 20, o.models))
        return failure(QStringLiteral("a --model is longer than 20 bytes"));
    if (!readTextList(parser.value(cl.version), 8, o.versions))
        return failure(QStringLiteral("a --version is longer than 8 bytes"));
    o.names = parser.value(cl.name).split(QLatin1Char(','));
    if (!readIntList(parser.value(cl.ports), 0, 255, o.ports))
        return failure(QStringLiteral("--ports needs counts from 0 to 255"));
    if (!readIntList(parser.isSet(cl.lora) ? parser.value(cl.lora) : parser.value(cl.ports), 0, 255,
                     o.lora)) {
        return failure(QStringLiteral("--lora needs counts from 0 to 255"));
    }

    const QString mode = parser.value(cl.replyTo);
    if (mode != QLatin1String("broadcast") && mode != QLatin1String("sender")) {
        return failure(QStringLiteral("--reply-to needs broadcast or sender"));
    }
    o.replyToSender = mode == QLatin1String("sender");
    quint32 bound = 0;
    if (!readIPv4(parser.value(cl.bind), bound))
        return failure(QStringLiteral("--bind is not an IPv4 address"));
    o.bind = parser.value(cl.bind);
    if (!inRange(parser.value(cl.port), 0, 65535, v))
        return failure(QStringLiteral("--port needs 0 to 65535"));
    o.port = static_cast<quint16>(v);
    o.firmwareOut = parser.value(cl.firmwareOut);
    o.quiet = parser.isSet(cl.quiet);
    if (parser.isSet(cl.seed)) {
        if (!inRange(parser.value(cl.seed), 0, 0xFFFFFFFFll, v))
            return failure(QStringLiteral("--seed needs 0 to 4294967295"));
        o.seed = static_cast<quint32>(v);
    }
    for (const QString& text : parser.values(cl.fault)) {
        QString error;
        if (!o.faults.add(text, error)) return failure(QStringLiteral("--fault: %1").arg(error));
    }

    SimOptionsParse outcome;
    outcome.options = o;
    return outcome;
}

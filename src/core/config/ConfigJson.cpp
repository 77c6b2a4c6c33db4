// The configuration as a JSON document: its fields, writing it, and reading it
// back with a message that names the key at fault.
#include "config/ConfigJson.h"

#include "link/Codecs.h"
#include "link/VarnexError.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace {
// ---- the fields, described once ---------------------------------------------

enum class Kind { Text, Number, List };

// One shown field of a section: its key, how its value is written, and the
// struct member that holds it (a text, or a list index).
template <class Row>
struct Field {
    const char* key;
    Kind kind;
    QString Row::*text;
    int Row::*index;
    QStringList (*list)();
    qint64 max;  // a number: the largest value its datagram field holds
};

constexpr qint64 kWord16 = 0xFFFF;
constexpr qint64 kWord24 = 0xFFFFFF;

template <class Row>
Field<Row> text(const char* key, QString Row::*member) {
    return {key, Kind::Text, member, nullptr, nullptr, 0};
}
template <class Row>
Field<Row> number(const char* key, QString Row::*member, qint64 max) {
    return {key, Kind::Number, member, nullptr, nullptr, max};
}
template <class Row>
Field<Row> list(const char* key, int Row::*member, QStringList (*entries)()) {
    return {key, Kind::List, nullptr, member, entries, 0};
}

using N = NetworkSettings;
const QVector<Field<N>>& networkFields() {
    static const QVector<Field<N>> fields{
        text("name", &N::deviceName),
        list("network_type", &N::networkType, ConfigLists::NetworkType),
        text("ip", &N::ipAddress),
        text("mask", &N::subnetMask),
        text("gateway", &N::gateway),
        text("dns", &N::dns),
        text("view_ip", &N::varnexViewIp),
        number("view_port", &N::varnexViewPort, kWord16),
        list("telnet", &N::telnet, ConfigLists::Service),
        list("ssh", &N::ssh, ConfigLists::Service),
        list("ftp", &N::ftp, ConfigLists::Service),
        list("web", &N::web, ConfigLists::Service),
        list("bridge", &N::bridge, ConfigLists::Bridge),
        text("lan_ip", &N::lanIpAddress),
        text("lan_mask", &N::lanSubnetMask),
    };
    return fields;
}

const QVector<Field<PortRow>>& portFields() {
    static const QVector<Field<PortRow>> fields{
        text("alias", &PortRow::alias),
        list("operation", &PortRow::operation, ConfigLists::Operation),
        number("src_port", &PortRow::srcPort, kWord16),
        text("dest_ip", &PortRow::destIp),
        number("dest_port", &PortRow::destPort, kWord16),
        number("alive", &PortRow::alive, kWord16),
        number("latency", &PortRow::latency, kWord16),
    };
    return fields;
}

const QVector<Field<LoRaRow>>& loraFields() {
    static const QVector<Field<LoRaRow>> fields{
        list("channel", &LoRaRow::channel, ConfigLists::Channel),
        list("sf", &LoRaRow::spreadingFactor, ConfigLists::SpreadingFactor),
        number("dest_id", &LoRaRow::destinationId, kWord24),
        list("aes", &LoRaRow::aes, ConfigLists::Aes),
        list("protocol", &LoRaRow::protocolVersion, ConfigLists::ProtocolVersion),
    };
    return fields;
}

const QString kIndex = QStringLiteral("index");
const QString kLanPort = QStringLiteral("lan_port");
const QString kEcho = QStringLiteral("echo");
const QString kAliasBytes = QStringLiteral("alias_bytes");
const QString kNetwork = QStringLiteral("network");
const QString kPorts = QStringLiteral("ports");
const QString kLoRa = QStringLiteral("lora");
const QString kMac = QStringLiteral("mac");
const QString kModel = QStringLiteral("model");
const QString kVersion = QStringLiteral("version");
const QString kSourceId = QStringLiteral("source_id");
const QString kTime = QStringLiteral("time");

// Network list bytes are kept as they came, so a byte that names no entry is
// carried as its number. Table rows never hold one: their parser refuses it.
enum class Codes { TextOnly, KeepOther };

// ---- writing ------------------------------------------------------------------

QJsonValue listValue(int index, const QStringList& entries, Codes codes) {
    if (index >= 0 && index < entries.size()) return entries[index];
    const int code = index & 0xFF;  // the byte the builder writes
    if (codes == Codes::KeepOther && code != 0xFF) return code;
    return QJsonValue::Null;
}

QJsonValue numberValue(const QString& text) {
    if (text.isEmpty()) return QJsonValue::Null;
    qint32 v = 0;
    // The builders convert the same way, so the number gives the same bytes.
    if (TryStrToInt(text, v)) return v;
    return text;  // cannot be built; the reader refuses it likewise
}

template <class Row>
JsonFields fieldsOf(const QVector<Field<Row>>& fields, const Row& row, Codes codes) {
    JsonFields out;
    for (const Field<Row>& f : fields) {
        QJsonValue v;
        switch (f.kind) {
            case Kind::Text:
                v = row.*f.text;
                break;
            case Kind::Number:
                v = numberValue(row.*f.text);
                break;
            case Kind::List:
                v = listValue(row.*f.index, f.list(), codes);
                break;
        }
        out.append({QString::fromLatin1(f.key), v});
    }
    return out;
}

QJsonObject objectOf(const JsonFields& fields) {
    QJsonObject o;
    for (const auto& kv : fields) o.insert(kv.first, kv.second);
    return o;
}

// The alias bytes are worth writing only when the builder would send them and
// the alias text alone would not give them.
bool aliasBytesNeeded(const PortRow& row) {
    return row.aliasBytes.size() == 16 && DecodeFixedText(row.aliasBytes) == row.alias &&
           row.aliasBytes != EncodePaddedText(row.alias.toLatin1(), 16);
}

int rowCount(const DeviceConfig& config) {
    return config.network.portCount & 0xFF;
}

// ---- reading --------------------------------------------------------------------

[[noreturn]] void refuse(const QString& path, const QString& problem) {
    throw VarnexError(QStringLiteral("%1: %2").arg(path, problem));
}

QString quoted(const QString& s) {
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// A whole number as the file wrote it, in decimal while it has an exact one.
QString wholeText(double d) {
    return std::fabs(d) < 1e15 ? QString::number(static_cast<qint64>(d))
                               : QString::number(d, 'g', 17);
}

// A whole number, or a refusal naming what was expected. Numbers too large for
// any field pass here and are refused by inRange with their value.
double wholeNumber(const QJsonValue& v, const QString& path, const QString& expected) {
    const double d = v.toDouble();
    if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d)) refuse(path, expected);
    return d;
}

// A whole number within what its datagram field holds. A value that does not
// fit is refused here, while the file is read, so that nothing accepted here
// fails later when its datagram is built (or is written back as a text that
// cannot be read again).
qint64 inRange(double d, const QString& path, qint64 max) {
    if (d < 0 || d > static_cast<double>(max)) {
        refuse(path, QStringLiteral("%1 is outside 0..%2").arg(wholeText(d)).arg(max));
    }
    return static_cast<qint64>(d);
}

// The members of an object, each taken once; keys nobody took are refused.
class ObjectReader {
public:
    ObjectReader(const QJsonValue& value, QString path) : path_(std::move(path)) {
        if (!value.isObject()) refuse(path_, QStringLiteral("expected an object"));
        object_ = value.toObject();
    }
    QString pathOf(const QString& key) const {
        return path_.isEmpty() ? key : path_ + QLatin1Char('.') + key;
    }
    QJsonValue take(const QString& key) {
        taken_.insert(key);
        return object_.value(key);
    }
    QJsonValue required(const QString& key) {
        const QJsonValue v = take(key);
        if (v.isUndefined()) refuse(pathOf(key), QStringLiteral("missing"));
        return v;
    }
    void refuseOthers() const {
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (!taken_.contains(it.key())) refuse(pathOf(it.key()), QStringLiteral("unknown key"));
        }
    }

private:
    QString path_;
    QJsonObject object_;
    QSet<QString> taken_;
};

int readList(const QJsonValue& v, const QStringList& entries, Codes codes, const QString& path) {
    if (v.isNull()) return -1;
    if (v.isString()) {
        const int i = entries.indexOf(v.toString());
        if (i < 0) {
            refuse(path, QStringLiteral("%1 is not one of %2")
                             .arg(quoted(v.toString()), entries.join(QStringLiteral(", "))));
        }
        return i;
    }
    if (codes == Codes::KeepOther) {
        const QString expected = QStringLiteral("expected a string, null or a code from 0 to 255");
        const double code = wholeNumber(v, path, expected);
        if (code < 0 || code > 255) refuse(path, expected);
        return code == 0xFF ? -1 : static_cast<int>(code);
    }
    refuse(path, QStringLiteral("expected a string or null"));
}

QString readNumber(const QJsonValue& v, const QString& path, qint64 max) {
    if (v.isNull()) return QString();
    if (!v.isDouble()) refuse(path, QStringLiteral("expected a number or null"));
    return QString::number(
        inRange(wholeNumber(v, path, QStringLiteral("expected a whole number")), path, max));
}

template <class Row>
void readFields(ObjectReader& in, const QVector<Field<Row>>& fields, Codes codes, Row& row) {
    for (const Field<Row>& f : fields) {
        const QString key = QString::fromLatin1(f.key);
        const QJsonValue v = in.required(key);
        const QString path = in.pathOf(key);
        switch (f.kind) {
            case Kind::Text:
                if (!v.isString()) refuse(path, QStringLiteral("expected a string"));
                row.*f.text = v.toString();
                break;
            case Kind::Number:
                row.*f.text = readNumber(v, path, f.max);
                break;
            case Kind::List:
                row.*f.index = readList(v, f.list(), codes, path);
                break;
        }
    }
}

NetworkSettings readNetwork(const QJsonValue& value) {
    ObjectReader in(value, kNetwork);
    NetworkSettings n;
    readFields(in, networkFields(), Codes::KeepOther, n);
    const QJsonValue lanPort = in.take(kLanPort);
    if (!lanPort.isUndefined()) {
        if (!lanPort.isBool())
            refuse(in.pathOf(kLanPort), QStringLiteral("expected true or false"));
        n.lanPortPresent = lanPort.toBool();
    }
    const QJsonValue echo = in.take(kEcho);
    if (!echo.isUndefined()) {
        const QString path = in.pathOf(kEcho);
        n.echoByte = static_cast<int>(inRange(
            wholeNumber(echo, path, QStringLiteral("expected a whole number")), path, 0xFF));
    }
    in.refuseOthers();
    return n;
}

QJsonArray readArray(ObjectReader& top, const QString& key) {
    const QJsonValue v = top.required(key);
    if (!v.isArray()) refuse(key, QStringLiteral("expected an array"));
    const QJsonArray a = v.toArray();
    if (a.size() > 255) {
        refuse(key, QStringLiteral("%1 rows; a gateway has at most 255").arg(a.size()));
    }
    return a;
}

// The identity keys are not used for a write, but a document that holds one of
// the wrong type or form is not what its writer meant either.
void checkIdentity(ObjectReader& top) {
    for (const QString& key : {kMac, kModel, kVersion}) {
        const QJsonValue v = top.take(key);
        if (!v.isUndefined() && !v.isNull() && !v.isString()) {
            refuse(key, QStringLiteral("expected a string"));
        }
    }
    const QJsonValue sourceId = top.take(kSourceId);
    if (!sourceId.isUndefined() && !sourceId.isNull()) {
        inRange(wholeNumber(sourceId, kSourceId, QStringLiteral("expected a whole number")),
                kSourceId, kWord24);
    }
    const QJsonValue time = top.take(kTime);
    if (!time.isUndefined() && !time.isNull() && !ParseUtcTime(time.toString()).isValid()) {
        refuse(kTime, QStringLiteral("expected a UTC time such as \"2026-12-10T05:15:00Z\""));
    }
}

// Reads each row and puts it at its index; the indices must be 0 to N - 1.
template <class Row, class ReadExtras>
QVector<Row> readRows(const QJsonArray& array, const QString& key,
                      const QVector<Field<Row>>& fields, ReadExtras extras) {
    const int count = array.size();
    QVector<Row> rows(count);
    QVector<int> givenBy(count, -1);
    for (int i = 0; i < count; ++i) {
        ObjectReader in(array[i], QStringLiteral("%1[%2]").arg(key).arg(i));
        const QString indexPath = in.pathOf(kIndex);
        const double r =
            wholeNumber(in.required(kIndex), indexPath, QStringLiteral("expected a whole number"));
        if (r < 0 || r >= count) {
            refuse(indexPath, QStringLiteral("%1 is out of range (0 to %2 for %3 rows)")
                                  .arg(wholeText(r))
                                  .arg(count - 1)
                                  .arg(count));
        }
        const int row = static_cast<int>(r);
        if (givenBy[row] >= 0) {
            refuse(indexPath, QStringLiteral("row %1 is given twice (also by %2[%3])")
                                  .arg(row)
                                  .arg(key)
                                  .arg(givenBy[row]));
        }
        givenBy[row] = i;
        readFields(in, fields, Codes::TextOnly, rows[row]);
        extras(in, rows[row]);
        in.refuseOthers();
    }
    return rows;
}

void readAliasBytes(ObjectReader& in, PortRow& row) {
    const QJsonValue v = in.take(kAliasBytes);
    if (v.isUndefined()) return;
    static const QRegularExpression hex32(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-Fa-f]{32}")));
    if (!v.isString() || !hex32.match(v.toString()).hasMatch()) {
        refuse(in.pathOf(kAliasBytes), QStringLiteral("expected 32 hexadecimal digits"));
    }
    row.aliasBytes = QByteArray::fromHex(v.toString().toLatin1());
}

}  // namespace

JsonFields NetworkJsonFields(const NetworkSettings& network) {
    JsonFields out = fieldsOf(networkFields(), network, Codes::KeepOther);
    out.append({kLanPort, network.lanPortPresent});
    return out;
}

JsonFields PortJsonFields(const PortRow& row) {
    return fieldsOf(portFields(), row, Codes::TextOnly);
}

JsonFields LoRaJsonFields(const LoRaRow& row) {
    return fieldsOf(loraFields(), row, Codes::TextOnly);
}

QJsonObject ConfigToJson(const DeviceConfig& config, const GatewayIdentity& identity) {
    QJsonObject network = objectOf(NetworkJsonFields(config.network));
    network.insert(kEcho, config.network.echoByte & 0xFF);

    const int rows = rowCount(config);
    QJsonArray ports;
    QJsonArray loras;
    for (int r = 0; r < rows; ++r) {
        const PortRow port = config.ports.value(r);
        QJsonObject p = objectOf(PortJsonFields(port));
        p.insert(kIndex, r);
        if (aliasBytesNeeded(port)) {
            p.insert(kAliasBytes, QString::fromLatin1(port.aliasBytes.toHex()));
        }
        ports.append(p);
        QJsonObject l = objectOf(LoRaJsonFields(config.loras.value(r)));
        l.insert(kIndex, r);
        loras.append(l);
    }

    const quint32 sourceId = identity.sourceId != 0 ? identity.sourceId : config.network.sourceId;
    QJsonObject out{
        {kMac, identity.mac},
        {kModel, identity.model},
        {kVersion, identity.version},
        {kSourceId, static_cast<qint64>(sourceId & kWord24)},
        {kNetwork, network},
        {kPorts, ports},
        {kLoRa, loras},
    };
    if (identity.time.isValid()) out.insert(kTime, UtcTimeText(identity.time));
    return out;
}

DeviceConfig ConfigFromJson(const QJsonObject& json) {
    ObjectReader top(json, QString());
    checkIdentity(top);
    DeviceConfig config;
    config.network = readNetwork(top.required(kNetwork));
    const QJsonArray ports = readArray(top, kPorts);
    const QJsonArray loras = readArray(top, kLoRa);
    top.refuseOthers();
    // One PortCount sizes both tables, as in the dialog.
    if (loras.size() != ports.size()) {
        refuse(kLoRa, QStringLiteral("%1 rows, and ports has %2; there is one LoRa row per port")
                          .arg(loras.size())
                          .arg(ports.size()));
    }
    config.ports = readRows(ports, kPorts, portFields(), readAliasBytes);
    config.loras = readRows(loras, kLoRa, loraFields(), [](ObjectReader&, LoRaRow&) {});
    config.network.portCount = ports.size();
    config.network.sourceId = 0;
    return config;
}

GatewayIdentity IdentityFromJson(const QJsonObject& json) {
    GatewayIdentity id;
    id.mac = json.value(kMac).toString();
    id.model = json.value(kModel).toString();
    id.version = json.value(kVersion).toString();
    const double sourceId = json.value(kSourceId).toDouble();
    if (sourceId >= 0 && sourceId <= 0xFFFFFF && sourceId == std::floor(sourceId)) {
        id.sourceId = static_cast<quint32>(sourceId);
    }
    id.time = ParseUtcTime(json.value(kTime).toString());
    return id;
}

QString UtcTimeText(const QDateTime& time) {
    if (!time.isValid()) return QString();
    const QDateTime utc = time.toUTC();
    const QString format = utc.time().msec() != 0 ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                                  : QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    return utc.toString(format) + QLatin1Char('Z');
}

QDateTime ParseUtcTime(const QString& text) {
    // Only the one form, with the date and time checked field by field:
    // QDateTime's own ISO reader also takes offsets, 24:00 and dates without a time.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(QStringLiteral(
        "([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(?:\\.([0-9]{1,9}))?Z")));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return QDateTime();
    const auto part = [&m](int i) { return m.captured(i).toInt(); };
    const QDate date(part(1), part(2), part(3));
    // Digits beyond the millisecond are dropped, as a time is kept to the millisecond.
    const int ms = m.captured(7).leftJustified(3, QLatin1Char('0')).left(3).toInt();
    const QTime clock(part(4), part(5), part(6), ms);
    if (!date.isValid() || !clock.isValid()) return QDateTime();
    return QDateTime(date, clock, Qt::UTC);
}

QString JsonValueText(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::String:
            return value.toString().isEmpty() ? QStringLiteral("\"\"") : value.toString();
        case QJsonValue::Double:
            return QString::number(value.toInteger());
        case QJsonValue::Bool:
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        default:
            return QStringLiteral("null");
    }
}

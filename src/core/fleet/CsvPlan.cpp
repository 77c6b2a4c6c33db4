// Reading an address plan saved by a spreadsheet.
#include "fleet/CsvPlan.h"

#include "fleet/FleetText.h"
#include "link/VarnexError.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

namespace {
[[noreturn]] void refuse(int line, const QString& problem) {
    throw VarnexError(QStringLiteral("line %1: %2").arg(line).arg(problem));
}

bool isControl(QChar c) {
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

// A cell as a message shows it: quoted, control characters as "?", long cells cut.
QString shown(const QString& cell) {
    QString out = cell.left(40);
    for (QChar& c : out) {
        if (isControl(c)) c = QLatin1Char('?');
    }
    if (cell.size() > out.size()) out += QStringLiteral("...");
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// The text, or a refusal naming the first line that is not UTF-8 (lines end as
// the tokenizer ends them: CRLF, LF or CR).
QString decodeUtf8(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    int line = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\r') continue;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = decoder.decode(QByteArrayView(bytes).sliced(start, i - start));
        if (decoder.hasError()) refuse(line, QStringLiteral("the text is not UTF-8"));
        if (i + 1 < bytes.size() && bytes[i] == '\r' && bytes[i + 1] == '\n') ++i;
        start = i + 1;
        ++line;
    }
    return QString::fromUtf8(bytes);
}

struct Field {
    QString text;
    bool quoted = false;
};

struct Record {
    int line = 0;
    QVector<Field> fields;
    bool blank() const {
        for (const Field& f : fields) {
            if (f.quoted || !f.text.trimmed().isEmpty()) return false;
        }
        return true;
    }
};

// Splits the text into records; line breaks inside quotes belong to the field.
class Tokenizer {
public:
    Tokenizer(const QString& text, QChar separator) : s_(text), sep_(separator) {}

    bool atEnd() const { return i_ >= s_.size(); }

    Record next() {
        Record r;
        r.line = line_;
        for (;;) {
            r.fields.append(field(r.line));
            if (i_ < s_.size() && s_[i_] == sep_) {
                ++i_;
                continue;
            }
            lineBreak();
            return r;
        }
    }

private:
    bool isBreak(qsizetype at) const {
        return at < s_.size() && (s_[at] == QLatin1Char('\n') || s_[at] == QLatin1Char('\r'));
    }
    // Consumes one CRLF, LF or CR and counts it.
    void lineBreak() {
        if (i_ >= s_.size()) return;
        if (s_[i_] == QLatin1Char('\r') && i_ + 1 < s_.size() && s_[i_ + 1] == QLatin1Char('\n'))
            ++i_;
        ++i_;
        ++line_;
    }

    Field field(int recordLine) {
        Field f;
        if (i_ < s_.size() && s_[i_] == QLatin1Char('"')) {
            f.quoted = true;
            ++i_;
            for (;;) {
                if (i_ >= s_.size())
                    refuse(recordLine, QStringLiteral("a quoted field is not closed"));
                const QChar c = s_[i_];
                if (c == QLatin1Char('"')) {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == QLatin1Char('"')) {
                        f.text += c;
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                if (isBreak(i_)) {
                    const qsizetype before = i_;
                    lineBreak();
                    f.text += s_.mid(before, i_ - before);
                    continue;
                }
                f.text += c;
                ++i_;
            }
            while (i_ < s_.size() && (s_[i_] == QLatin1Char(' ') || s_[i_] == QLatin1Char('\t')))
                ++i_;
            if (i_ < s_.size() && s_[i_] != sep_ && !isBreak(i_)) {
                refuse(line_, QStringLiteral("text after the closing quote of a field"));
            }
            return f;
        }
        const qsizetype start = i_;
        while (i_ < s_.size() && s_[i_] != sep_ && !isBreak(i_)) ++i_;
        f.text = s_.mid(start, i_ - start).trimmed();
        return f;
    }

    const QString& s_;
    const QChar sep_;
    qsizetype i_ = 0;
    int line_ = 1;
};

// "," or ";", whichever the header line holds more of outside quotes.
QChar separatorOf(const QString& text) {
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"')) quoted = !quoted;
        if (quoted) continue;
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) break;
        if (c == QLatin1Char(',')) ++commas;
        if (c == QLatin1Char(';')) ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

enum class Column { Mac, Ip, Mask, Gateway, ViewIp, Name };

const QVector<QPair<QString, Column>>& columns() {
    static const QVector<QPair<QString, Column>> known{
        {QStringLiteral("mac"), Column::Mac},        {QStringLiteral("ip"), Column::Ip},
        {QStringLiteral("mask"), Column::Mask},      {QStringLiteral("gateway"), Column::Gateway},
        {QStringLiteral("view_ip"), Column::ViewIp}, {QStringLiteral("name"), Column::Name},
    };
    return known;
}

QVector<Column> readHeader(const Record& header) {
    QVector<Column> out;
    QStringList names;
    for (const auto& c : columns()) names << c.first;
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields[i].text.trimmed().toLower();
        if (name.isEmpty()) refuse(header.line, QStringLiteral("column %1 has no name").arg(i + 1));
        const int at = names.indexOf(name);
        if (at < 0) {
            refuse(header.line, QStringLiteral("unknown column %1; the columns are %2")
                                    .arg(shown(name), names.join(QStringLiteral(", "))));
        }
        if (out.contains(columns()[at].second)) {
            refuse(header.line, QStringLiteral("column %1 is named twice").arg(shown(name)));
        }
        out.append(columns()[at].second);
    }
    if (!out.contains(Column::Mac)) refuse(header.line, QStringLiteral("there is no mac column"));
    return out;
}

QString address(const QString& cell, const char* column, int line, bool mask) {
    if (cell.isEmpty()) return cell;
    quint32 a = 0;
    if (!ParseIPv4(cell, a)) {
        refuse(
            line,
            QStringLiteral("%1 %2 is not an IPv4 address").arg(QLatin1String(column), shown(cell)));
    }
    if (mask && MaskPrefixLength(cell) < 0) {
        refuse(line, QStringLiteral("mask %1 is not a subnet mask").arg(shown(cell)));
    }
    return DottedIPv4(a);
}

QString deviceName(const QString& cell, int line) {
    for (QChar c : cell) {
        if (isControl(c)) refuse(line, QStringLiteral("name holds a control character"));
    }
    const qsizetype bytes = cell.toUtf8().size();
    if (bytes > 32) {
        refuse(line,
               QStringLiteral("name is %1 bytes long; a gateway holds at most 32").arg(bytes));
    }
    return cell;
}

CsvPlanRow readRow(const Record& r, const QVector<Column>& header) {
    if (r.fields.size() != header.size()) {
        refuse(r.line, QStringLiteral("%1 fields, and the header names %2 columns")
                           .arg(r.fields.size())
                           .arg(header.size()));
    }
    CsvPlanRow row;
    row.line = r.line;
    for (int i = 0; i < header.size(); ++i) {
        const QString& text = r.fields[i].text;
        const QString cell = text.trimmed();
        switch (header[i]) {
            case Column::Mac:
                if (cell.isEmpty()) refuse(r.line, QStringLiteral("mac is empty"));
                row.mac = CanonicalMac(cell);
                if (row.mac.isEmpty()) {
                    refuse(r.line, QStringLiteral("mac %1 is not a MAC address").arg(shown(cell)));
                }
                break;
            case Column::Ip:
                row.ip = address(cell, "ip", r.line, false);
                break;
            case Column::Mask:
                row.mask = address(cell, "mask", r.line, true);
                break;
            case Column::Gateway:
                row.gateway = address(cell, "gateway", r.line, false);
                break;
            case Column::ViewIp:
                row.viewIp = address(cell, "view_ip", r.line, false);
                break;
            case Column::Name:
                // A quoted name keeps its blanks; the operator typed them.
                row.name = deviceName(text, r.line);
                break;
        }
    }
    return row;
}
}  // namespace

QVector<CsvPlanRow> ParseCsvPlan(const QByteArray& bytes) {
    if (bytes.size() > CsvPlanMaxBytes) {
        throw VarnexError(
            QStringLiteral("the plan is larger than %1 KiB").arg(CsvPlanMaxBytes / 1024));
    }
    const QString text = decodeUtf8(bytes);
    Tokenizer tokens(text, separatorOf(text));
    QVector<Column> header;
    bool haveHeader = false;
    QVector<CsvPlanRow> rows;
    QHash<QString, int> lineOfMac;
    while (!tokens.atEnd()) {
        const Record r = tokens.next();
        if (r.blank()) continue;
        if (!haveHeader) {
            header = readHeader(r);
            haveHeader = true;
            continue;
        }
        CsvPlanRow row = readRow(r, header);
        const auto seen = lineOfMac.constFind(row.mac);
        if (seen != lineOfMac.constEnd()) {
            refuse(r.line, QStringLiteral("%1 is also on line %2").arg(row.mac).arg(*seen));
        }
        lineOfMac.insert(row.mac, r.line);
        rows.append(row);
    }
    if (!haveHeader)
        refuse(1, QStringLiteral("the plan is empty; the first line names the columns"));
    return rows;
}

QVector<CsvPlanRow> LoadCsvPlan(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw VarnexError(QStringLiteral("The plan \"%1\" cannot be opened").arg(name));
    }
    // One byte more than allowed tells a file that is too large without reading it all.
    const QByteArray bytes = file.read(CsvPlanMaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        throw VarnexError(QStringLiteral("The plan \"%1\" could not be read").arg(name));
    }
    try {
        return ParseCsvPlan(bytes);
    } catch (const VarnexError& e) {
        throw VarnexError(QStringLiteral("The plan \"%1\" is refused: %2").arg(name, e.text()));
    }
}

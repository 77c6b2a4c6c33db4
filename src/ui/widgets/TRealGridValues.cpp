#include "widgets/TRealGridValues.h"

#include "link/Codecs.h"

#include <limits>

namespace RealGridValues {

namespace {

using E = TRealGridEnums;

bool HasTwoValues(const TRealGridColumn& column) {
    return column.Values.size() >= 2;
}

qint32 StoredInt(const TRealGridColumn& column, qint32 value) {
    return column.DataType == E::wdtWord ? (value & 0xFFFF) : value;
}

qint64 TypeMin(const TRealGridColumn& column) {
    return column.DataType == E::wdtWord ? 0 : std::numeric_limits<qint32>::min();
}

qint64 TypeMax(const TRealGridColumn& column) {
    return column.DataType == E::wdtWord ? 0xFFFF : std::numeric_limits<qint32>::max();
}

qint32 BoundOf(const QString& text) {
    qint32 value = 0;
    return TryStrToInt(text, value) ? value : 0;
}

}  // namespace

EditorKind EditorKindOf(const TRealGridColumn& column) {
    switch (column.DataType) {
        case E::wdtBool:
            return EditorKind::Check;
        case E::wdtWord:
        case E::wdtLong:
            return EditorKind::Number;
        case E::wdtString:
            break;
    }
    return column.Values.isEmpty() ? EditorKind::Text : EditorKind::List;
}

bool IsNumber(const TRealGridColumn& column) {
    return column.DataType == E::wdtWord || column.DataType == E::wdtLong;
}

QString FalseText(const TRealGridColumn& column) {
    return HasTwoValues(column) ? column.Values.at(0) : QStringLiteral("False");
}

QString TrueText(const TRealGridColumn& column) {
    return HasTwoValues(column) ? column.Values.at(1) : QStringLiteral("True");
}

QString CutToWidth(const TRealGridColumn& column, const QString& text) {
    if (column.DataWidth <= 0 || text.size() <= column.DataWidth) return text;
    QString cut = text.left(column.DataWidth);
    if (cut.back().isHighSurrogate()) cut.chop(1);
    return cut;
}

QString TextOf(const TRealGridColumn& column, const QVariant& value) {
    if (IsEmpty(value)) return QString();
    switch (column.DataType) {
        case E::wdtString:
            return value.toString();
        case E::wdtBool:
            return value.toBool() ? TrueText(column) : FalseText(column);
        case E::wdtWord:
        case E::wdtLong:
            return QString::number(value.toInt());
    }
    return QString();
}

QVariant FromText(const TRealGridColumn& column, const QString& text) {
    if (text.isEmpty()) return QVariant();
    switch (column.DataType) {
        case E::wdtString:
            return CutToWidth(column, text);
        case E::wdtBool:
            if (text.compare(FalseText(column), Qt::CaseInsensitive) == 0) return false;
            if (text.compare(TrueText(column), Qt::CaseInsensitive) == 0) return true;
            return QVariant();
        case E::wdtWord:
        case E::wdtLong:
            return StoredInt(column, StrToInt(text));
    }
    return QVariant();
}

bool BoolOf(const TRealGridColumn& column, const QVariant& value) {
    if (column.DataType == E::wdtBool) return !IsEmpty(value) && value.toBool();
    if (HasTwoValues(column)) return TextOf(column, value) == column.Values.at(1);
    if (IsNumber(column)) return !IsEmpty(value) && value.toInt() != 0;
    return TextOf(column, value).compare(TrueText(column), Qt::CaseInsensitive) == 0;
}

QVariant FromBool(const TRealGridColumn& column, bool value) {
    if (column.DataType == E::wdtBool) return value;
    if (IsNumber(column) && !HasTwoValues(column)) return StoredInt(column, value ? 1 : 0);
    return FromText(column, value ? TrueText(column) : FalseText(column));
}

qint32 IntOf(const TRealGridColumn& column, const QVariant& value) {
    if (IsEmpty(value)) return 0;
    switch (column.DataType) {
        case E::wdtString:
            return StrToInt(value.toString());
        case E::wdtBool:
            return value.toBool() ? 1 : 0;
        case E::wdtWord:
        case E::wdtLong:
            return value.toInt();
    }
    return 0;
}

QVariant FromInt(const TRealGridColumn& column, qint32 value) {
    switch (column.DataType) {
        case E::wdtString:
            return CutToWidth(column, QString::number(value));
        case E::wdtBool:
            return value != 0;
        case E::wdtWord:
        case E::wdtLong:
            return StoredInt(column, value);
    }
    return QVariant();
}

int TextLimit(const TRealGridColumn& column) {
    if (column.DataWidth > 0 && column.MaxLength > 0)
        return qMin(column.DataWidth, column.MaxLength);
    return column.DataWidth > 0 ? column.DataWidth : qMax(column.MaxLength, 0);
}

int DigitLimit(const TRealGridColumn& column) {
    if (column.MaxLength > 0) return column.MaxLength;
    // Enough digits for any value of the type, and no more, so an entry cannot overflow.
    return column.DataType == E::wdtWord ? 5 : 10;
}

Range RangeOf(const TRealGridColumn& column) {
    Range range;
    range.min = BoundOf(column.MinValue);
    range.max = BoundOf(column.MaxValue);
    range.active = range.min != range.max;
    return range;
}

bool MinusAllowed(const TRealGridColumn& column) {
    const Range range = RangeOf(column);
    return !(range.active && range.min >= 0);
}

QVariant FromTypedNumber(const TRealGridColumn& column, const QString& typed) {
    const bool negative = typed.startsWith(QLatin1Char('-'));
    const QString digits = negative ? typed.mid(1) : typed;
    if (digits.isEmpty()) return QVariant();
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QVariant();
        // Past 18 digits the value is far outside every range; stop before overflow.
        if (value < 100000000000000000LL) value = value * 10 + (c.unicode() - '0');
    }
    if (negative) value = -value;
    const Range range = RangeOf(column);
    if (range.active) {
        if (value < range.min) value = range.min;
        if (value > range.max) value = range.max;
    }
    value = qBound(TypeMin(column), value, TypeMax(column));
    return static_cast<qint32>(value);
}

}  // namespace RealGridValues

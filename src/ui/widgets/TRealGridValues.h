#pragma once

#include "widgets/TRealGridColumn.h"

#include <QString>
#include <QVariant>

// How a grid cell's value is stored, shown and converted. A value is an invalid
// QVariant (the empty cell), a QString (wdtString), a bool (wdtBool) or an int
// (wdtWord 0..65535, wdtLong signed 32-bit). Pure functions; errors are raised as
// VarnexError with the text the operator is shown.
namespace RealGridValues {

using EditorKind = TRealGridEnums::EditorKind;

EditorKind EditorKindOf(const TRealGridColumn& column);
inline bool IsEmpty(const QVariant& value) {
    return !value.isValid();
}
bool IsNumber(const TRealGridColumn& column);

// "False"/"True", or Values[0]/Values[1] when the column has two or more Values.
QString FalseText(const TRealGridColumn& column);
QString TrueText(const TRealGridColumn& column);

// A text keeps its first DataWidth characters (a surrogate pair is never split).
QString CutToWidth(const TRealGridColumn& column, const QString& text);

// GetCellText / SetCellText. The empty text empties the cell; a number column
// fails with "'%s' is not a valid integer value" on a text that is no integer.
QString TextOf(const TRealGridColumn& column, const QVariant& value);
QVariant FromText(const TRealGridColumn& column, const QString& text);

// GetCellBool / SetCellBool.
bool BoolOf(const TRealGridColumn& column, const QVariant& value);
QVariant FromBool(const TRealGridColumn& column, bool value);

// GetCellInt / SetCellInt. An empty cell reads 0; a wdtWord keeps the low 16 bits.
qint32 IntOf(const TRealGridColumn& column, const QVariant& value);
QVariant FromInt(const TRealGridColumn& column, qint32 value);

// The operator's editors.
int TextLimit(const TRealGridColumn& column);   // characters; 0: no limit
int DigitLimit(const TRealGridColumn& column);  // digits a number editor takes

struct Range {
    bool active = false;  // MinValue and MaxValue differ
    qint64 min = 0;
    qint64 max = 0;
};
Range RangeOf(const TRealGridColumn& column);
// "-" is refused when the column's range starts at 0 or above.
bool MinusAllowed(const TRealGridColumn& column);
// What a number editor's text stores: "" or a lone "-" empties the cell; otherwise
// the value is brought into the column's range and then into its type's range.
QVariant FromTypedNumber(const TRealGridColumn& column, const QString& typed);

}  // namespace RealGridValues

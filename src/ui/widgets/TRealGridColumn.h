#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>
#include <Qt>

// Enumerations of the data grid. TRealGrid inherits them, so forms write
// TRealGrid::wdtWord or TRealGrid::wgoEditing.
struct TRealGridEnums {
    // How a column stores its values.
    enum DataType {
        wdtString,  // text, at most DataWidth characters
        wdtBool,    // true or false
        wdtWord,    // unsigned 16-bit
        wdtLong,    // signed 32-bit
    };

    // The editor a cell offers. wesDefault picks one from the data type.
    enum EditStyle {
        wesDefault,
        wesBoolean,   // a check box
        wesDataList,  // a drop-down list of the column's Values
    };

    enum Option {
        wgoAlwaysShowSelection = 0x01,  // the highlighted row stays coloured without focus
        wgoEditing = 0x02,              // cells may be edited in place
        wgoRowSelect = 0x04,            // the whole current row is highlighted
        wgoSkipReadOnly = 0x08,         // keyboard moves pass over read-only columns
        wgoAlwaysShowEditor = 0x10,     // the editor opens as soon as a cell becomes current
    };
    Q_DECLARE_FLAGS(Options, Option)

    // The editor a column ends up with, after the style and the type are weighed.
    enum class EditorKind { Text, Number, List, Check };
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TRealGridEnums::Options)

// One column, described once when the form is built.
struct TRealGridColumn {
    QString Caption;
    TRealGridEnums::DataType DataType = TRealGridEnums::wdtString;
    // Text columns: the characters kept (0 keeps any length).
    // Other types: the storage size in bytes, informative only.
    int DataWidth = 0;
    // The most characters (text) or digits (numbers) the operator may type; 0: no limit
    // of its own.
    int MaxLength = 0;
    // Bounds of a number column; they apply to the operator's entries when they differ.
    QString MinValue, MaxValue;
    TRealGridEnums::EditStyle EditStyle = TRealGridEnums::wesDefault;
    // The texts a list column offers; a Boolean column with two or more shows
    // Values[0] for false and Values[1] for true.
    QStringList Values;
    bool ReadOnly = false;
    bool Visible = true;
    // A row the operator edited cannot be committed while this cell is empty.
    bool Required = false;
    // An empty check box is drawn like an unticked one instead of as undecided.
    bool EqualBlank = false;
    Qt::Alignment Alignment = Qt::AlignCenter;
    int ColWidth = 64;
};

#include "mainwindow/DeviceListColumns.h"

namespace {
TRealGridColumn text(const char* caption, int width, bool readOnly, int colWidth) {
    TRealGridColumn c;
    c.Caption = QString::fromLatin1(caption);
    c.DataType = TRealGridEnums::wdtString;
    c.DataWidth = width;
    c.ReadOnly = readOnly;
    c.Alignment = Qt::AlignCenter;
    c.ColWidth = colWidth;
    return c;
}

TRealGridColumn hidden(const char* caption, TRealGridEnums::DataType type, int width) {
    TRealGridColumn c;
    c.Caption = QString::fromLatin1(caption);
    c.DataType = type;
    c.DataWidth = width;
    c.Visible = false;
    return c;
}
}  // namespace

QVector<TRealGridColumn> DeviceListColumns() {
    TRealGridColumn apply;
    apply.Caption = QStringLiteral("Apply");
    apply.DataType = TRealGridEnums::wdtBool;
    apply.DataWidth = 1;
    apply.EditStyle = TRealGridEnums::wesBoolean;
    apply.EqualBlank = true;
    apply.Required = true;
    apply.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    apply.ColWidth = 87;

    return {
        text("Model", 16, true, 107),
        text("MAC Address", 17, true, 119),
        text("Version", 7, true, 80),
        text("Device Name", 32, false, 150),
        text("IP Address", 15, false, 107),
        text("Subnet Mask", 15, false, 103),
        text("Gateway", 15, false, 106),
        text("VarnexView IP", 15, false, 98),
        apply,
        hidden("Column0", TRealGridEnums::wdtBool, 1),
        hidden("Column1", TRealGridEnums::wdtString, 16),
        hidden("Column2", TRealGridEnums::wdtString, 16),
    };
}

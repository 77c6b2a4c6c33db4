#pragma once

#include "widgets/TRealGrid.h"

#include <QVector>

// Column tables shaped like the program's three grids, for the tests.
namespace GridFixtures {

inline TRealGridColumn Text(const QString& caption, int width, bool readOnly = false) {
    TRealGridColumn c;
    c.Caption = caption;
    c.DataWidth = width;
    c.ReadOnly = readOnly;
    return c;
}

inline TRealGridColumn Word(const QString& caption, bool readOnly = false) {
    TRealGridColumn c = Text(caption, 2, readOnly);
    c.DataType = TRealGrid::wdtWord;
    return c;
}

inline TRealGridColumn List(const QString& caption, int width, const QStringList& values) {
    TRealGridColumn c = Text(caption, width);
    c.EditStyle = TRealGrid::wesDataList;
    c.Values = values;
    return c;
}

// The device list: 0 Model, 1 MAC, 2 Version (read-only), 3 Device Name, 4-7 addresses,
// 8 Apply (required check box), 9-11 hidden.
inline QVector<TRealGridColumn> DeviceList() {
    TRealGridColumn apply;
    apply.Caption = "Apply";
    apply.DataType = TRealGrid::wdtBool;
    apply.DataWidth = 1;
    apply.EditStyle = TRealGrid::wesBoolean;
    apply.Required = true;
    apply.EqualBlank = true;
    apply.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    TRealGridColumn column0;
    column0.Caption = "Column0";
    column0.DataType = TRealGrid::wdtBool;
    column0.Visible = false;
    TRealGridColumn column1 = Text("Column1", 16);
    column1.Visible = false;
    TRealGridColumn column2 = Text("Column2", 16);
    column2.Visible = false;
    return {Text("Model", 16, true),
            Text("MAC Address", 17, true),
            Text("Version", 7, true),
            Text("Device Name", 32),
            Text("IP Address", 15),
            Text("Subnet Mask", 15),
            Text("Gateway", 15),
            Text("VarnexView IP", 15),
            apply,
            column0,
            column1,
            column2};
}

inline QVector<TRealGridColumn> OpGrid() {
    return {Word("No", true),
            Text("Port Alias", 16),
            List("Operation", 20,
                 {"Disable", "COM_Redirector", "TCP_Server", "TCP_Client", "TCP_Broadcast",
                  "TCP_Multiplex", "UDP_Server", "UDP_Client", "User_Application", "RFC2217"}),
            Word("Src Port"),
            Text("Dest IP", 15),
            Word("Dest Port"),
            Word("Alive"),
            Word("Latency")};
}

inline QVector<TRealGridColumn> SerialGrid() {
    QStringList channels;
    for (int i = 1; i <= 20; ++i) channels << QString::number(i);
    TRealGridColumn channel = List("Channel", 2, channels);
    channel.MaxLength = 2;
    TRealGridColumn destination = Text("Destination ID", 4);
    destination.DataType = TRealGrid::wdtLong;
    destination.MaxLength = 8;
    destination.MinValue = "1";
    destination.MaxValue = "16777215";
    TRealGridColumn protocol = Text("Protocol Version", 16);
    protocol.Values = {"1.0", "2.0"};
    return {Word("No", true),
            channel,
            List("Spreading Factor", 4, {"7", "8", "9", "10", "11", "12"}),
            destination,
            List("AES", 16, {"Disable", "Enable"}),
            protocol};
}

}  // namespace GridFixtures

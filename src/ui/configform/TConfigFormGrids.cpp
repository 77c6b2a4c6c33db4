// The two tables: OpGrid (operation mode per serial port) and SerialGrid (LoRa
// options per row), their columns, and the copying between rows and cells.
#include "configform/TConfigForm.h"

#include "widgets/TRealGrid.h"

#include <QColor>
#include <QFrame>

namespace {
TRealGridColumn column(const QString& caption, TRealGridEnums::DataType type, int width,
                       int colWidth) {
    TRealGridColumn c;
    c.Caption = caption;
    c.DataType = type;
    c.DataWidth = width;
    c.ColWidth = colWidth;
    return c;
}

TRealGridColumn listColumn(const QString& caption, int width, const QStringList& values,
                           int colWidth) {
    TRealGridColumn c = column(caption, TRealGridEnums::wdtString, width, colWidth);
    c.EditStyle = TRealGridEnums::wesDataList;
    c.Values = values;
    return c;
}

TRealGridColumn numberColumn(TRealGridEnums::DataType type, const QString& caption, int colWidth) {
    return column(caption, type, type == TRealGridEnums::wdtLong ? 4 : 2, colWidth);
}

TRealGridColumn rowNumberColumn() {
    TRealGridColumn c = numberColumn(TRealGridEnums::wdtWord, QStringLiteral("No"), 34);
    c.ReadOnly = true;
    return c;
}

QVector<TRealGridColumn> opGridColumns() {
    using E = TRealGridEnums;
    return {
        rowNumberColumn(),
        column(QStringLiteral("Port Alias"), E::wdtString, 16, 110),
        listColumn(QStringLiteral("Operation"), 20, ConfigLists::Operation(), 124),
        numberColumn(E::wdtWord, QStringLiteral("Src Port"), 64),
        column(QStringLiteral("Dest IP"), E::wdtString, 15, 104),
        numberColumn(E::wdtWord, QStringLiteral("Dest Port"), 64),
        numberColumn(E::wdtWord, QStringLiteral("Alive"), 54),
        numberColumn(E::wdtWord, QStringLiteral("Latency"), 58),
    };
}

QVector<TRealGridColumn> serialGridColumns() {
    using E = TRealGridEnums;
    TRealGridColumn channel = listColumn(QStringLiteral("Channel"), 2, ConfigLists::Channel(), 70);
    channel.MaxLength = 2;
    TRealGridColumn destination = numberColumn(E::wdtLong, QStringLiteral("Destination ID"), 110);
    destination.MaxLength = 8;
    destination.MinValue = QStringLiteral("1");
    destination.MaxValue = QStringLiteral("16777215");
    // "Protocol Version" keeps the default edit style; its values make it a list.
    TRealGridColumn version = column(QStringLiteral("Protocol Version"), E::wdtString, 16, 110);
    version.Values = ConfigLists::ProtocolVersion();
    return {
        rowNumberColumn(),
        channel,
        listColumn(QStringLiteral("Spreading Factor"), 4, ConfigLists::SpreadingFactor(), 120),
        destination,
        listColumn(QStringLiteral("AES"), 16, ConfigLists::Aes(), 90),
        version,
    };
}

TRealGrid* configGrid(QFrame* panel, const QString& name, const QVector<TRealGridColumn>& columns) {
    auto* grid = new TRealGrid(panel);
    grid->setObjectName(name);
    grid->setAccessibleName(name);
    grid->setGeometry(4, 4, panel->width() - 8, panel->height() - 8);
    grid->SetColumns(columns);
    grid->SetOptions(TRealGridEnums::wgoAlwaysShowEditor | TRealGridEnums::wgoEditing |
                     TRealGridEnums::wgoRowSelect | TRealGridEnums::wgoSkipReadOnly);
    grid->SetRowHeight(18);
    grid->SetSelectionColors(QColor(192, 220, 192), QColor(Qt::black));
    return grid;
}

// The index of a cell's text in its column's list (-1 when it is not there).
int listIndex(TRealGrid* grid, int col, int row) {
    return grid->ColumnValues(col).indexOf(grid->Cells(col, row).GetCellText());
}
}  // namespace

void TConfigForm::buildGrids() {
    OpGrid = configGrid(tabPanel2, QStringLiteral("OpGrid"), opGridColumns());
    SerialGrid = configGrid(tabPanel3, QStringLiteral("SerialGrid"), serialGridColumns());
}

void TConfigForm::CommitTableEdits() {
    OpGrid->PostEdit();
    SerialGrid->PostEdit();
}

void TConfigForm::rebuildTables() {
    for (TRealGrid* grid : {OpGrid, SerialGrid}) {
        grid->ClearRows();
        grid->Repaint();
        for (int r = 0; r < PortCount; ++r) grid->InsertRow(grid->RowCount());
    }
    aliasBytes_ = QVector<QByteArray>(PortCount);
}

void TConfigForm::FillPortRow(const PortReply& reply) {
    const int r = reply.row;
    const PortRow& p = reply.cells;
    // Every text is looked up before the first cell changes, so a row is
    // either filled whole or left as it was.
    const QString operation = ConfigLists::Operation().value(p.operation);
    OpGrid->Cells(0, r).SetCellInt(r + 1);
    OpGrid->Cells(1, r).SetCellText(p.alias);
    OpGrid->Cells(2, r).SetCellText(operation);
    OpGrid->Cells(3, r).SetCellText(p.srcPort);
    OpGrid->Cells(4, r).SetCellText(p.destIp);
    OpGrid->Cells(5, r).SetCellText(p.destPort);
    OpGrid->Cells(6, r).SetCellText(p.alive);
    OpGrid->Cells(7, r).SetCellText(p.latency);
    if (r < aliasBytes_.size()) aliasBytes_[r] = p.aliasBytes;
}

void TConfigForm::FillLoRaRow(const LoRaReply& reply) {
    const int r = reply.row;
    const LoRaRow& l = reply.cells;
    SerialGrid->Cells(0, r).SetCellInt(r + 1);
    SerialGrid->Cells(1, r).SetCellText(ConfigLists::Channel().value(l.channel));
    SerialGrid->Cells(2, r).SetCellText(ConfigLists::SpreadingFactor().value(l.spreadingFactor));
    SerialGrid->Cells(3, r).SetCellText(l.destinationId);
    SerialGrid->Cells(4, r).SetCellText(ConfigLists::Aes().value(l.aes));
    SerialGrid->Cells(5, r).SetCellText(ConfigLists::ProtocolVersion().value(l.protocolVersion));
}

void TConfigForm::readTables(DeviceConfig& config) {
    for (int r = 0; r < PortCount; ++r) {
        PortRow p;
        p.alias = OpGrid->Cells(1, r).GetCellText();
        p.operation = listIndex(OpGrid, 2, r);
        p.srcPort = OpGrid->Cells(3, r).GetCellText();
        p.destIp = OpGrid->Cells(4, r).GetCellText();
        p.destPort = OpGrid->Cells(5, r).GetCellText();
        p.alive = OpGrid->Cells(6, r).GetCellText();
        p.latency = OpGrid->Cells(7, r).GetCellText();
        p.aliasBytes = aliasBytes_.value(r);
        config.ports.append(p);

        LoRaRow l;
        l.channel = listIndex(SerialGrid, 1, r);
        l.spreadingFactor = listIndex(SerialGrid, 2, r);
        l.destinationId = SerialGrid->Cells(3, r).GetCellText();
        l.aes = listIndex(SerialGrid, 4, r);
        l.protocolVersion = listIndex(SerialGrid, 5, r);
        config.loras.append(l);
    }
}

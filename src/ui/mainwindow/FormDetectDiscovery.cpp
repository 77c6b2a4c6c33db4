// Search, Stop, the countdown, the receive handler and the device list.
#include "discovery/DiscoveryInbox.h"
#include "discovery/DiscoveryReply.h"
#include "engine/GatewayEngine.h"
#include "mainwindow/ColumnTextIndex.h"
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/DeviceListKeys.h"
#include "mainwindow/ReachabilityMarks.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"
#include "widgets/TRealGridValues.h"

#include <QLabel>
#include <QSet>
#include <QVBoxLayout>

namespace {
QString countdownCaption(int seconds) {
    return QStringLiteral("        Remain timeout = %1sec").arg(seconds);
}

// The grid may not report a row change when the list is emptied and refilled;
// the commands that read the selected row must still find one.
void keepSelectedRowInList(TFormDetect& form) {
    if (form.SelectedRow >= 0 && form.SelectedRow < form.DeviceCount) return;
    const int current = form.RGrid->CurrentRow();
    form.SelectedRow = current >= 0 && current < form.DeviceCount ? current : 0;
}
}  // namespace

void TFormDetect::buildDeviceList() {
    RGrid = new TRealGrid(FlatPanel2);
    RGrid->setObjectName(QStringLiteral("RGrid"));
    RGrid->setFrameShape(QFrame::NoFrame);
    auto* fill = new QVBoxLayout(FlatPanel2);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(RGrid);
    RGrid->SetColumns(DeviceListColumns());
    RGrid->SetOptions(TRealGrid::wgoAlwaysShowSelection | TRealGrid::wgoEditing |
                      TRealGrid::wgoRowSelect | TRealGrid::wgoSkipReadOnly);
    RGrid->SetRowHeight(20);
    RGrid->SetSelectionColors(QColor(192, 220, 192), Qt::black);
    RGrid->SetTitleLook(QColor(223, 223, 223), QColor(85, 85, 85), true, 21);
    RGrid->setAccessibleName(QStringLiteral("Device list"));

    RGrid->OnRowEnter = [this] { RGridRowEnter(); };
    RGrid->OnAfterEdit = [this] { RGridAfterEdit(); };
    RGrid->OnKeyPress = [this](QChar& key) { RGridKeyPress(key); };
    RGrid->OnGetImageIndex = [this](int col, int row) { return RGridGetImageIndex(col, row); };
    RGrid->OnDblClick = [this] { RGridDblClick(); };

    macRows_ = new ColumnTextIndex(
        RGrid->model(), DeviceColumn::Mac,
        [this](int row) { return RGrid->Cells(DeviceColumn::Mac, row).GetCellText(); }, this);

    DiscoveryReplies = new DiscoveryInbox(this);
    DiscoveryReplies->SetBatchHandler(
        [this](const QVector<DiscoveryReply>& replies) { AddDevices(replies); });
}

void TFormDetect::FlatButton2Click() {
    handle([&] {
        ClearDeviceList();
        // Listen before the request goes out.
        UDPServer->SetActive(true);
        UDPServer->SetBroadcastEnabled(true);
        Engine->StartSearch(GatewayEngine::WindowRepeatsMs());
        RowsBeforeSearch = -1;
        SetSearching(true);
    });
}

void TFormDetect::FlatButton6Click() {
    handle([&] {
        SetSearching(false);
        DiscoveryReplies->DrainAll();
        judgeEndedSearch();
    });
    emit SearchEnded();
}

void TFormDetect::TimerFINDTimer() {
    handle([&] {
        --CountdownSeconds;
        PnlTime->SetCaption(countdownCaption(CountdownSeconds));
        PnlTime->repaint();
        if (CountdownSeconds != 0) return;
        SetSearching(false);
        // Replies that arrived before the endpoint closed count, even if the UI
        // thread has not listed them yet.
        DiscoveryReplies->DrainAll();
        judgeEndedSearch();
        emit SearchEnded();
        if (RowsBeforeSearch != -1 && RowsBeforeSearch == DeviceCount) {
            services().prompts->Message(this, QStringLiteral("There is no brinmore."));
        }
    });
}

void TFormDetect::UDPServerUDPRead(const QByteArray& datagram, int interfaceIndex) {
    // Receiving thread: nothing here touches the window's widgets. The engine
    // tells a gateway's first reply of this Search from its copies.
    if (auto reply = Engine->TakeDiscovery(datagram, interfaceIndex))
        DiscoveryReplies->Post(*reply);
}

void TFormDetect::AddDevice(const DiscoveryReply& reply) {
    Reachability->Heard(reply.Mac, reply.IpAddress);
    if (!IsNewMac(reply.Mac)) return;
    // Fails while the operator edits a row; the reply is then lost.
    const int row = RGrid->RowCount();
    RGrid->InsertRow(row);
    RGrid->Cells(DeviceColumn::Model, row).SetCellText(reply.Model);
    RGrid->Cells(DeviceColumn::Mac, row).SetCellText(reply.Mac);
    RGrid->Cells(DeviceColumn::Version, row).SetCellText(reply.Version);
    RGrid->Cells(DeviceColumn::DeviceName, row).SetCellText(reply.DeviceName);
    RGrid->Cells(DeviceColumn::IpAddress, row).SetCellText(reply.IpAddress);
    RGrid->Cells(DeviceColumn::SubnetMask, row).SetCellText(reply.SubnetMask);
    RGrid->Cells(DeviceColumn::Gateway, row).SetCellText(reply.Gateway);
    RGrid->Cells(DeviceColumn::ViewIp, row).SetCellText(reply.ViewIp);
    RGrid->Cells(DeviceColumn::Column2, row).SetCellText(reply.IpAddress);
    RGrid->Cells(DeviceColumn::Apply, row).SetCellBool(false);
    Listed.append(reply);
    ++DeviceCount;
    lblcount->setText(QStringLiteral("Current : %1").arg(DeviceCount));
    keepSelectedRowInList(*this);
}

void TFormDetect::AddDevices(const QVector<DiscoveryReply>& replies) {
    QVector<QVector<QVariant>> rows;
    QSet<QString> batchMacs;  // the MAC texts of `rows`, as the list will show them
    QVector<DiscoveryReply> listed;
    for (const DiscoveryReply& reply : replies) {
        Reachability->Heard(reply.Mac, reply.IpAddress);
        if (!IsNewMac(reply.Mac) || batchMacs.contains(reply.Mac)) continue;
        const QVariant mac = RGrid->TextValue(DeviceColumn::Mac, reply.Mac);
        batchMacs.insert(RealGridValues::TextOf(RGrid->Column(DeviceColumn::Mac), mac));
        QVector<QVariant> row(RGrid->ColumnCount());
        row[DeviceColumn::Model] = RGrid->TextValue(DeviceColumn::Model, reply.Model);
        row[DeviceColumn::Mac] = mac;
        row[DeviceColumn::Version] = RGrid->TextValue(DeviceColumn::Version, reply.Version);
        row[DeviceColumn::DeviceName] =
            RGrid->TextValue(DeviceColumn::DeviceName, reply.DeviceName);
        row[DeviceColumn::IpAddress] = RGrid->TextValue(DeviceColumn::IpAddress, reply.IpAddress);
        row[DeviceColumn::SubnetMask] =
            RGrid->TextValue(DeviceColumn::SubnetMask, reply.SubnetMask);
        row[DeviceColumn::Gateway] = RGrid->TextValue(DeviceColumn::Gateway, reply.Gateway);
        row[DeviceColumn::ViewIp] = RGrid->TextValue(DeviceColumn::ViewIp, reply.ViewIp);
        row[DeviceColumn::Column2] = RGrid->TextValue(DeviceColumn::Column2, reply.IpAddress);
        row[DeviceColumn::Apply] = RGrid->BoolValue(DeviceColumn::Apply, false);
        rows << row;
        listed << reply;
    }
    if (rows.isEmpty()) return;
    // Fails while the operator edits a row; the batch is then lost, as each
    // of its replies would be one by one.
    RGrid->AppendRows(rows);
    Listed += listed;
    DeviceCount += rows.size();
    lblcount->setText(QStringLiteral("Current : %1").arg(DeviceCount));
    keepSelectedRowInList(*this);
}

void TFormDetect::ClearDeviceList() {
    DeviceCount = 0;
    Listed.clear();
    // Replies that came before the clear belonged to the list being dropped.
    DiscoveryReplies->Discard();
    Engine->ForgetDiscovered();
    ForgetReachability();
    RGrid->ClearRows();
    RGrid->Repaint();
}

bool TFormDetect::IsNewMac(const QString& mac) const {
    // The same answer as reading column 1 of rows 0 to DeviceCount - 1 in turn,
    // without doing so for every one of thousands of replies.
    const int row = macRows_->FirstRow(mac);
    return row < 0 || row >= DeviceCount;
}

void TFormDetect::RGridRowEnter() {
    handle([&] { SelectedRow = RGrid->CurrentRow(); });
}

void TFormDetect::RGridAfterEdit() {
    handle([&] { RGrid->Cells(DeviceColumn::Apply, RGrid->CurrentRow()).SetCellBool(true); });
}

void TFormDetect::RGridKeyPress(QChar& key) {
    if (!DeviceListKeyPasses(RGrid->CurrentCol(), key)) key = QChar(0);
}

// Whether each listed gateway can be reached at its current address: the mark
// in its row, the reasons as the mark's tooltip, the count below the list, and
// the question before "Web" and "Telnet" go to a gateway that may not answer.
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/ReachabilityMarks.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"

#include <QLabel>
#include <QStyle>

namespace {
constexpr int kNoImage = 0;
constexpr int kWarningImage = 1;
}  // namespace

void TFormDetect::buildReachability() {
    Reachability = new ReachabilityMarks(services_.routes, this);

    RGrid->SetImages({QIcon(), style()->standardIcon(QStyle::SP_MessageBoxWarning)});
    RGrid->OnGetHint = [this](int col, int row) {
        return col == DeviceColumn::Model ? Reachability->Hint(row) : QString();
    };

    // Below the list, left of the count label, which keeps its own place.
    lblreach = new QLabel(this);
    lblreach->setObjectName(QStringLiteral("lblreach"));
    lblreach->setTextFormat(Qt::PlainText);
    lblreach->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblreach->setGeometry(12, 512, lblcount->geometry().left() - 12 - 8, 15);
    lblreach->setAccessibleDescription(QStringLiteral("Gateways that may not be reachable"));
}

void TFormDetect::JudgeReachability(const AddressesByMac* heardInSearch) {
    QVector<ListedGateway> rows;
    const int count = RGrid->RowCount();
    rows.reserve(count);
    for (int row = 0; row < count; ++row) {
        ListedGateway g;
        g.mac = RGrid->Cells(DeviceColumn::Mac, row).GetCellText();
        g.ip = RGrid->Cells(DeviceColumn::Column2, row).GetCellText();
        g.mask = RGrid->Cells(DeviceColumn::SubnetMask, row).GetCellText();
        g.typedIp = RGrid->Cells(DeviceColumn::IpAddress, row).GetCellText();
        g.interfaceIndex = GatewayRoutes.Of(g.mac);
        rows.append(g);
    }
    Reachability->Judge(rows, heardInSearch);
    lblreach->setText(Reachability->StatusText());
    RGrid->RefreshImages();
}

void TFormDetect::ForgetReachability() {
    Reachability->Forget();
    lblreach->clear();
}

bool TFormDetect::ConfirmReachable(int row, bool web) {
    const ReachVerdict* verdict = Reachability->Marked(row);
    if (!verdict) return true;
    const QString mac = RGrid->Cells(DeviceColumn::Mac, row).GetCellText();
    const QString text = QStringLiteral("%1 may not be reachable.\r\n\r\n%2\r\n\r\n%3")
                             .arg(mac, verdict->reasons.join(QStringLiteral("\r\n\r\n")),
                                  web ? QStringLiteral("Open its web page anyway?")
                                      : QStringLiteral("Start a Telnet session anyway?"));
    return services_.prompts->Question(this, text);
}

int TFormDetect::RGridGetImageIndex(int col, int row) {
    return col == DeviceColumn::Model && Reachability->Marked(row) ? kWarningImage : kNoImage;
}

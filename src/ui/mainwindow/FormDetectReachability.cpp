// Whether each listed gateway can be reached at its current address: the mark
// in its row, the reasons as the mark's tooltip, the count below the list, and
// the question before "Web" and "Telnet" go to a gateway that may not answer.
#include "engine/GatewayEngine.h"
#include "engine/SearchExplain.h"
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/ReachabilityMarks.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"

#include <QLabel>
#include <QPushButton>
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

    btnWhy = new QPushButton(QStringLiteral("Why was nothing found?"), this);
    btnWhy->setObjectName(QStringLiteral("btnWhy"));
    btnWhy->setAccessibleName(btnWhy->text());
    btnWhy->setGeometry(12, 510, 160, 18);
    btnWhy->hide();
    connect(btnWhy, &QPushButton::clicked, this, &TFormDetect::WhyNothingFound);
}

void TFormDetect::judgeEndedSearch() {
    JudgeReachability();
    // The report speaks of a broadcast Search: what each interface sent, heard
    // back and received. No modal message: the offer waits in the status area.
    btnWhy->setVisible(DeviceCount == 0 && RowsBeforeSearch == -1);
}

void TFormDetect::WhyNothingFound() {
    handle([&] { services_.prompts->Message(this, SearchReportText(LastSearchReport(*Engine))); });
}

void TFormDetect::JudgeReachability(const AddressesByMac* heardInSearch) {
    QVector<ReachGateway> rows;
    const int count = RGrid->RowCount();
    rows.reserve(count);
    for (int row = 0; row < count; ++row) {
        ReachGateway g;
        g.mac = RGrid->Cells(DeviceColumn::Mac, row).GetCellText();
        g.ip = RGrid->Cells(DeviceColumn::Column2, row).GetCellText();
        g.mask = RGrid->Cells(DeviceColumn::SubnetMask, row).GetCellText();
        g.typedIp = RGrid->Cells(DeviceColumn::IpAddress, row).GetCellText();
        g.interfaceIndex = Engine->InterfaceOf(g.mac);
        rows.append(g);
    }
    // The engine heard every copy of the last Search, the list only the first
    // of each MAC: a second unit with the same MAC shows only there.
    const AddressesByMac heard = LastSearchAddresses(*Engine);
    if (!heardInSearch && !heard.isEmpty()) heardInSearch = &heard;
    Reachability->Judge(rows, heardInSearch);
    lblreach->setText(Reachability->StatusText());
    RGrid->RefreshImages();
}

void TFormDetect::ForgetReachability() {
    Reachability->Forget();
    lblreach->clear();
    btnWhy->hide();
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

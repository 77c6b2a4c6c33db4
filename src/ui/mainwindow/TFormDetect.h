#pragma once

#include "app/Seams.h"
#include "discovery/DiscoveryReply.h"
#include "net/Reachability.h"

#include <QFrame>
#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class ColumnTextIndex;
class DiscoveryInbox;
class ReachabilityMarks;
class TConfigForm;
class TFormFleet;
class TRealGrid;
class GatewayEngine;
class PortHandle;

// A panel with a left-aligned caption (the countdown panel PnlTime).
class CaptionPanel : public QFrame {
    Q_OBJECT
public:
    explicit CaptionPanel(QWidget* parent = nullptr);
    void SetCaption(const QString& text);
    QString Caption() const;
    QLabel* CaptionLabel() const { return caption_; }

private:
    QLabel* caption_;
};

// The main window: the tool bar, the device list, the count label, the countdown
// panel and the firmware progress panel, with the state the commands share.
class TFormDetect : public QWidget {
    Q_OBJECT
public:
    explicit TFormDetect(const Services& services, QWidget* parent = nullptr);
    ~TFormDetect() override;

    void SetConfigForm(TConfigForm* form);
    const Services& services() const { return services_; }

    // Busy state of a discovery window (countdown shown, tool bar and list off).
    void SetSearching(bool on);

    // Device list operations (discovery/).
    void ClearDeviceList();
    bool IsNewMac(const QString& mac) const;
    // Appends one row for a gateway not yet listed (UI thread).
    void AddDevice(const DiscoveryReply& reply);
    // The same for replies in arrival order, appended with one model signal:
    // under a flood the list and the accessibility bridge see one change per
    // batch instead of eleven per row.
    void AddDevices(const QVector<DiscoveryReply>& replies);

    // Reachability (FormDetectReachability.cpp): judges every listed gateway
    // by its current address (column 11), marks the rows that may not be
    // reachable and counts them below the list. Called whenever column 11 may
    // have changed: when a Search ends and after Apply. `heardInSearch`: the
    // addresses each MAC answered from, when the caller counted them.
    void JudgeReachability(const AddressesByMac* heardInSearch = nullptr);

    // Controls, named as the window's design names them.
    QFrame* FlatPanel1 = nullptr;
    QPushButton* FlatButton2 = nullptr;   // "Search"
    QPushButton* FlatButton3 = nullptr;   // "Search IP"
    QPushButton* FlatButton8 = nullptr;   // "Configure"
    QPushButton* FlatButton10 = nullptr;  // "Import"
    QPushButton* FlatButton5 = nullptr;   // "Telnet", Tag 12
    QPushButton* FlatButton4 = nullptr;   // "Web", Tag 11
    QPushButton* FlatButton7 = nullptr;   // "Upgrade Firmware"
    QPushButton* FlatButton1 = nullptr;   // "Apply"
    QPushButton* FleetButton = nullptr;   // "Fleet…"
    QFrame* FlatPanel2 = nullptr;
    TRealGrid* RGrid = nullptr;
    QLabel* lblcount = nullptr;
    QFrame* Shape1 = nullptr;
    CaptionPanel* PnlTime = nullptr;
    QPushButton* FlatButton6 = nullptr;  // "Stop"
    QFrame* FlatPanel3 = nullptr;
    QLabel* FUWait = nullptr;
    QProgressBar* UpdateProgress = nullptr;
    QLabel* lblreach = nullptr;  // "2 gateways may not be reachable"
    // Offered in the same place when a Search ends with no gateway.
    QPushButton* btnWhy = nullptr;  // "Why was nothing found?"

    // The window's hold on port 2058; its handler runs on the receiving thread.
    PortHandle* UDPServer = nullptr;
    QTimer* TimerFIND = nullptr;
    TConfigForm* ConfigForm = nullptr;

    // Shared state of the commands.
    qint32 DeviceCount = 0;
    qint32 SelectedRow = 0;
    qint32 CountdownSeconds = 0;
    qint32 RowsBeforeSearch = 0;
    // Decoded "g" replies on their way from the receiving thread to AddDevice.
    DiscoveryInbox* DiscoveryReplies = nullptr;
    // Every exchange with the gateways goes through it.
    GatewayEngine* Engine = nullptr;
    ReachabilityMarks* Reachability = nullptr;
    // The gateways of the last Search as they answered, for the fleet window.
    QVector<DiscoveryReply> Listed;
    // The fleet window, made when first opened.
    TFormFleet* FleetForm = nullptr;
    // True while a fleet batch holds port 2058.
    bool FleetBusy = false;

    // Why a fleet batch cannot take port 2058 now (a Search countdown, the
    // configuration dialog, an upgrade of this window), or an empty text.
    QString PortHeldBy() const;
    // Disables the commands that would send, each with the reason as its
    // tooltip, while a fleet batch runs; the list stays readable.
    void SetFleetBusy(bool busy);

signals:
    // A Search's countdown ended or was stopped: the list is complete.
    void SearchEnded();

public slots:
    void FormCreate();
    void FlatButton2Click();  // Search
    void FlatButton3Click();  // Search IP
    void FlatButton6Click();  // Stop
    void TimerFINDTimer();
    void FlatButton1Click();   // Apply
    void FlatButton4Click();   // Web and Telnet, told apart by Tag
    void FlatButton7Click();   // Upgrade Firmware
    void FlatButton8Click();   // Configure
    void FlatButton10Click();  // Import
    void WhyNothingFound();
    void FleetButtonClick();  // Fleet…
    void RGridDblClick();
    void RGridRowEnter();
    void RGridAfterEdit();
    void RGridKeyPress(QChar& key);
    int RGridGetImageIndex(int col, int row);

public:
    // Runs on the receiving thread of UDPServer.
    void UDPServerUDPRead(const QByteArray& datagram, int interfaceIndex = 0);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildDeviceList();  // RGrid and the discovery hand-off (discovery/)
    void buildReachability();
    // A Search's window has closed: judge the list, or offer the report of why
    // it stayed empty.
    void judgeEndedSearch();
    void ForgetReachability();
    // A marked row's problems, and whether the operator goes on anyway.
    bool ConfirmReachable(int row, bool web);
    // Runs a handler body through the top-level error display.
    template <typename F>
    void handle(F&& body);

    Services services_;
    std::unique_ptr<GatewayEngine> ownEngine_;  // when the services bring none
    ColumnTextIndex* macRows_ = nullptr;        // where each MAC text is listed (discovery/)
};

#include "app/ErrorDisplay.h"

template <typename F>
void TFormDetect::handle(F&& body) {
    RunHandler(*services_.prompts, this, std::forward<F>(body));
}

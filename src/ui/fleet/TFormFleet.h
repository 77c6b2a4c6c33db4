#pragma once

#include "app/Seams.h"
#include "fleet/AddressPlan.h"
#include "fleet/FleetBatch.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class FleetAddressDialog;
class FleetFilter;
class FleetTableModel;
class GatewayEngine;
class TFormDetect;

// What a batch does to each gateway, kept so that "Retry failed" can run it again.
struct FleetOperation {
    QString name;  // "firmware upgrade", for the log
    std::function<std::shared_ptr<FleetBatch::Job>()> job;
    int maxFailures = 0;
    bool searchAfter = false;                  // a firmware upgrade: look for each gateway again
    QHash<QString, PlannedGateway> addresses;  // an address plan: shown in the table once done
};

// The fleet window: every gateway of the main window's last Search in a table,
// and the operations that run on the checked ones at once (firmware, a
// configuration file, backups and their restore, addresses, the list's export).
//
// A batch holds port 2058 for its life. Its jobs run on the batch's own worker
// threads; this window only reads the batch's state when told that it changed,
// so nothing the operator sees waits for a gateway. While a batch runs, the
// main window's commands that would send are disabled, each saying why.
class TFormFleet : public QWidget {
    Q_OBJECT
public:
    TFormFleet(TFormDetect& form, const Services& services, QWidget* parent = nullptr);
    ~TFormFleet() override;

    // Lists the main window's gateways again (not while a batch runs).
    void LoadFromMainWindow();
    bool BatchRunning() const { return running_; }
    FleetTableModel* Model() const { return model_; }
    FleetFilter* Filter() const { return filter_; }
    FleetAddressDialog* AddressDialog() const { return addressDialog_; }
    // The gateways checked and shown, in the table's order.
    QList<DiscoveryReply> CheckedGateways() const;
    QStringList LogLines() const;

    QTableView* Table = nullptr;
    QPushButton* AllButton = nullptr;
    QPushButton* NoneButton = nullptr;
    QLineEdit* FilterEdit = nullptr;
    QSpinBox* AtOnce = nullptr;
    QLineEdit* SkipVersion = nullptr;
    QSpinBox* MaxFailures = nullptr;
    QComboBox* BackupFormatBox = nullptr;
    QPushButton* UpgradeButton = nullptr;
    QPushButton* WriteButton = nullptr;
    QPushButton* BackupButton = nullptr;
    QPushButton* RestoreButton = nullptr;
    QPushButton* AddressButton = nullptr;
    QPushButton* ExportButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* RetryButton = nullptr;
    QPushButton* SaveLogButton = nullptr;
    QLabel* Notice = nullptr;   // why an operation did not start
    QLabel* Summary = nullptr;  // "18 done, 2 failed, 1 skipped"
    QPlainTextEdit* LogView = nullptr;

signals:
    // A batch (with its follow-up Search) ended and the port is free again.
    void BatchEnded();

public slots:
    void UpgradeFirmwareClick();
    void WriteConfigurationClick();
    void BackUpClick();
    void RestoreClick();
    void AssignAddressesClick();
    void ExportListClick();
    void StopClick();
    void RetryFailedClick();
    void SaveLogClick();

private:
    void buildControls();
    void setAllChecked(bool on);
    // False, with the reason shown, when a batch cannot start now.
    bool canStart(const QList<DiscoveryReply>& gateways);
    // A retry keeps the other rows' results; a new operation clears them.
    void startBatch(const QList<DiscoveryReply>& gateways, const FleetOperation& operation,
                    bool retry = false);
    void batchChanged();  // UI thread, queued from the batch's workers
    void batchFinished();
    void startSearchAfter(const QStringList& macs);
    void searchAfterEnded(const QHash<QString, QString>& versions, const QStringList& missing,
                          bool stopped);
    void endBatch();
    void appendLog(const FleetBatch::LogEntry& entry);
    void updateSummary();
    void updateButtons();
    void startAddressBatch();
    template <typename F>
    void handle(F&& body);

    TFormDetect& form_;
    Services services_;
    GatewayEngine& engine_;
    FleetTableModel* model_ = nullptr;
    FleetFilter* filter_ = nullptr;
    FleetAddressDialog* addressDialog_ = nullptr;
    QVector<DiscoveryReply> loadedFrom_;  // the main window's list the table was made from

    std::unique_ptr<FleetBatch> batch_;
    FleetOperation operation_;
    bool haveOperation_ = false;
    bool running_ = false;
    int batchLogShown_ = 0;
    QList<FleetBatch::LogEntry> log_;

    // The Search after a firmware batch, on a thread of its own.
    std::thread searchAfter_;
    std::atomic<bool> stopSearchAfter_{false};
};

#include "app/ErrorDisplay.h"

template <typename F>
void TFormFleet::handle(F&& body) {
    RunHandler(*services_.prompts, this, std::forward<F>(body));
}

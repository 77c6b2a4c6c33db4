#pragma once

#include "app/Seams.h"
#include "config/ConfigProtocol.h"
#include "engine/GatewayEngine.h"

#include <QDialog>
#include <QVector>

#include <functional>
#include <memory>

class ConfigEdit;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabBar;
class TRealGrid;

// The configuration dialog: one gateway's network settings, serial port modes
// and LoRa options. Created hidden at start-up and reused for every gateway; its
// controls keep what they show until a reply or a file overwrites them.
class TConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TConfigForm(const Services& services, QWidget* parent = nullptr);
    ~TConfigForm() override;

    // ---- operations --------------------------------------------------------
    // Clears the marks, shows the gateway's identity and sends the three queries.
    void OpenForDevice(const QString& model, const QString& mac, const QString& version);
    // Fills the dialog from a configuration file for the gateway given; marks all
    // three sections. Nothing is filled when the file cannot be read or is short.
    void LoadConfigFile(const QString& fileName, const QString& model, const QString& mac,
                        const QString& version);
    void SetNetworkType(int index);
    void SetBridge(int index);
    void ShowTabPanel(int index);
    // Modal showing: 1 when a section was marked at closing, otherwise 2.
    // Fails with "Cannot make a visible window modal" while shown without modality.
    int ShowModal();

    // ---- the exchange with the gateway -------------------------------------
    void SendConfigQuery(ConfigSection section);
    void SendConfigApply();
    void FillNetworkTab(const NetworkSettings& network);
    void FillPortRow(const PortReply& reply);
    void FillLoRaRow(const LoRaReply& reply);
    // Stores the entry of an open table editor, as leaving its row would.
    void CommitTableEdits();
    // What the controls show now, in the form the datagram builders take.
    DeviceConfig CurrentConfig();
    // Receive handler of ConfigUDP, on the UI thread.
    void ConfigUDPUDPRead(const QByteArray& datagram);

    // Tests: when set, every datagram the dialog would broadcast goes here
    // instead, and ConfigUDP stays untouched.
    std::function<void(const QByteArray& datagram)> BroadcastSink;

    // ---- state -------------------------------------------------------------
    ChangeMarks Marks;       // the sections changed since the dialog was opened for a gateway
    PendingApply ApplyWait;  // the "A" sent by Apply until its "a" comes
    quint8 PortCount = 0;
    quint8 EchoByte = 0;

    // ---- controls, named as the form's design names them -------------------
    QFrame* IdentityPanel = nullptr;
    QLabel* ProductLabel = nullptr;
    QLabel* MACLabel = nullptr;
    QLabel* SourceIDLabel = nullptr;
    QLabel* VersionLabel = nullptr;

    QTabBar* ConfigTab = nullptr;
    QFrame* tabPanel1 = nullptr;
    QFrame* tabPanel2 = nullptr;
    QFrame* tabPanel3 = nullptr;

    QGroupBox* WANGroup = nullptr;
    ConfigEdit* DeviceNameText = nullptr;
    QComboBox* NetworkTypeCombo = nullptr;
    ConfigEdit* IPAddressText = nullptr;
    ConfigEdit* SubnetMaskText = nullptr;
    ConfigEdit* GatewayText = nullptr;
    ConfigEdit* DNSText = nullptr;
    QLabel* IPAddressCaption = nullptr;
    QLabel* SubnetMaskCaption = nullptr;
    QLabel* GatewayCaption = nullptr;
    QLabel* DNSCaption = nullptr;

    QGroupBox* ServicesGroup = nullptr;
    ConfigEdit* HalvarisIPText = nullptr;
    ConfigEdit* HalvarisPortText = nullptr;
    QComboBox* TelnetCombo = nullptr;
    QComboBox* SSHCombo = nullptr;
    QComboBox* FTPCombo = nullptr;
    QComboBox* WEBCombo = nullptr;

    QGroupBox* LANPortPanel = nullptr;
    QComboBox* BridgeCombo = nullptr;
    ConfigEdit* IPAddressText2 = nullptr;
    ConfigEdit* SubnetMaskText2 = nullptr;
    QLabel* IPAddressCaption2 = nullptr;
    QLabel* SubnetMaskCaption2 = nullptr;

    TRealGrid* OpGrid = nullptr;
    TRealGrid* SerialGrid = nullptr;

    QPushButton* FlatButton9 = nullptr;  // "Export"
    QPushButton* FlatButton1 = nullptr;  // "Apply"
    QPushButton* FlatButton2 = nullptr;  // "Cancel"

    // The dialog's hold on port 2058; its handler runs on the UI thread.
    PortHandle* ConfigUDP = nullptr;
    GatewayEngine* Engine = nullptr;

public slots:
    void ConfigTabTabChanged(int index);
    void NetworkTypeComboChange(int index);
    void BridgeComboChange(int index);
    void IPTextChange();
    void DeviceNameTextChange();
    void HalvarisPortTextChange();
    void OpGridValueChanged(int col, int row);
    void SerialGridValueChanged(int col, int row);
    void IPAddressTextKeyPress(QChar& key);
    void HalvarisPortTextKeyPress(QChar& key);
    void FlatButton1Click();  // Apply
    void FlatButton2Click();  // Cancel
    void FlatButton9Click();  // Export
    void FormClose();

public:
    // Every way of closing ends here: FormClose, then the result of the marks.
    void done(int result) override;

private:
    void buildIdentityPanel();
    void buildNetworkTab();
    void buildGrids();
    void buildButtons();
    void connectHandlers();
    QFrame* panelOf(ConfigSection section) const;
    void broadcast(const QByteArray& datagram);
    void rebuildTables();
    void readTables(DeviceConfig& config);
    template <typename F>
    void handle(F&& body);

    void claimGateway(const QString& mac);

    Services services_;
    std::unique_ptr<GatewayEngine> ownEngine_;  // when the services bring none
    // The dialog's gateway takes no other exchange while the dialog is open for it.
    GatewayEngine::Claim claim_;
    // The 16 alias bytes of each OpGrid row as last received or loaded, so that
    // an alias the operator leaves alone is written back byte for byte.
    QVector<QByteArray> aliasBytes_;
};

#include "app/ErrorDisplay.h"

template <typename F>
void TConfigForm::handle(F&& body) {
    RunHandler(*services_.prompts, this, std::forward<F>(body));
}

#include "configform/TConfigForm.h"

#include "configform/ConfigEdit.h"
#include "engine/ConfigExchange.h"
#include "link/Clock.h"
#include "link/VarnexError.h"
#include "widgets/TRealGrid.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

namespace {
// Selects an entry of a fixed list from the program: no change event is raised
// (only the operator's choice does that), and a code outside the list leaves
// nothing selected.
void selectEntry(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Let through by both key filters; a text holding one fails when it is written.
bool isAddressPunctuation(QChar c) {
    return c == QLatin1Char('%') || c == QLatin1Char('\'');
}
}  // namespace

TConfigForm::TConfigForm(const Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("ConfigForm"));
    setWindowTitle(QStringLiteral("Configure"));
    // Fixed border, system menu and minimise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(848, 416);

    Engine = services_.engine;
    if (!Engine) {
        ownEngine_ = std::make_unique<GatewayEngine>(*services_.clock);
        Engine = ownEngine_.get();
    }
    // Replies fill widgets: the handler runs on the UI thread.
    ConfigUDP = new PortHandle(*Engine, false, this);
    ConfigUDP->SetOnRead([this](const QByteArray& datagram, int) { ConfigUDPUDPRead(datagram); });

    buildIdentityPanel();

    ConfigTab = new QTabBar(this);
    ConfigTab->setObjectName(QStringLiteral("ConfigTab"));
    ConfigTab->setGeometry(176, 8, 665, 24);
    ConfigTab->setExpanding(false);
    ConfigTab->setAccessibleName(QStringLiteral("Configuration sections"));
    const QStringList tabs{QStringLiteral("Network"), QStringLiteral("Operation Mode"),
                           QStringLiteral("LoRa Option")};
    QFrame** panels[] = {&tabPanel1, &tabPanel2, &tabPanel3};
    for (int i = 0; i < 3; ++i) {
        ConfigTab->addTab(tabs[i]);
        auto* panel = new QFrame(this);
        panel->setObjectName(QStringLiteral("tabPanel%1").arg(i + 1));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setGeometry(176, 32, 665, 345);
        panel->setAccessibleName(tabs[i]);
        *panels[i] = panel;
    }

    buildNetworkTab();
    buildGrids();
    buildButtons();
    connectHandlers();
    ShowTabPanel(0);
}

TConfigForm::~TConfigForm() {
    // The receiving thread reaches this dialog: stop it before the controls go.
    ConfigUDP->SetActive(false);
    delete ConfigUDP;
    ConfigUDP = nullptr;
    claim_.Reset();
}

void TConfigForm::claimGateway(const QString& mac) {
    claim_.Reset();
    claim_ = Engine->Begin(mac, QStringLiteral("the configuration dialog is open for it"));
}

void TConfigForm::connectHandlers() {
    connect(ConfigTab, &QTabBar::currentChanged, this, &TConfigForm::ConfigTabTabChanged);
    // activated: the operator's choice only; the program's selections stay quiet.
    connect(NetworkTypeCombo, &QComboBox::activated, this, &TConfigForm::NetworkTypeComboChange);
    connect(BridgeCombo, &QComboBox::activated, this, &TConfigForm::BridgeComboChange);
    for (ConfigEdit* e : {IPAddressText, SubnetMaskText, GatewayText, DNSText, HalvarisIPText,
                          IPAddressText2, SubnetMaskText2}) {
        connect(e, &QLineEdit::textChanged, this, &TConfigForm::IPTextChange);
        e->OnKeyPress = [this](QChar& key) { IPAddressTextKeyPress(key); };
    }
    connect(DeviceNameText, &QLineEdit::textChanged, this, &TConfigForm::DeviceNameTextChange);
    connect(HalvarisPortText, &QLineEdit::textChanged, this, &TConfigForm::HalvarisPortTextChange);
    HalvarisPortText->OnKeyPress = [this](QChar& key) { HalvarisPortTextKeyPress(key); };
    OpGrid->OnValueChanged = [this](int col, int row) { OpGridValueChanged(col, row); };
    SerialGrid->OnValueChanged = [this](int col, int row) { SerialGridValueChanged(col, row); };
    connect(FlatButton1, &QPushButton::clicked, this, &TConfigForm::FlatButton1Click);
    connect(FlatButton2, &QPushButton::clicked, this, &TConfigForm::FlatButton2Click);
    connect(FlatButton9, &QPushButton::clicked, this, &TConfigForm::FlatButton9Click);
}

// ---- operations ------------------------------------------------------------

void TConfigForm::OpenForDevice(const QString& model, const QString& mac, const QString& version) {
    claimGateway(mac);
    Marks = ChangeMarks();
    ProductLabel->setText(model);
    MACLabel->setText(mac);
    VersionLabel->setText(version);
    SendConfigQueries([this](ConfigSection section) { SendConfigQuery(section); },
                      *services_.clock);
    ConfigTab->setCurrentIndex(0);
    ShowTabPanel(0);
}

void TConfigForm::SetNetworkType(int index) {
    selectEntry(NetworkTypeCombo, index);
    // With DHCP the gateway takes its addresses itself; the texts stay and are
    // still written.
    const bool fixed = index != 1;
    for (QWidget* w : std::initializer_list<QWidget*>{IPAddressText, SubnetMaskText, GatewayText,
                                                      DNSText, IPAddressCaption, SubnetMaskCaption,
                                                      GatewayCaption, DNSCaption}) {
        w->setEnabled(fixed);
    }
}

void TConfigForm::SetBridge(int index) {
    selectEntry(BridgeCombo, index);
    // A bridged LAN port shares the WAN addresses.
    const bool own = index != 0;
    for (QWidget* w : std::initializer_list<QWidget*>{IPAddressText2, SubnetMaskText2,
                                                      IPAddressCaption2, SubnetMaskCaption2}) {
        w->setEnabled(own);
    }
}

void TConfigForm::ShowTabPanel(int index) {
    tabPanel1->setVisible(index == 0);
    tabPanel2->setVisible(index == 1);
    tabPanel3->setVisible(index == 2);
}

int TConfigForm::ShowModal() {
    if (isVisible()) throw VarnexError(QStringLiteral("Cannot make a visible window modal"));
    return exec();
}

// ---- handlers ----------------------------------------------------------------

void TConfigForm::ConfigTabTabChanged(int index) {
    handle([&] { ShowTabPanel(index); });
}

void TConfigForm::NetworkTypeComboChange(int index) {
    handle([&] {
        SetNetworkType(index);
        Marks.network = true;
    });
}

void TConfigForm::BridgeComboChange(int index) {
    handle([&] {
        SetBridge(index);
        Marks.network = true;
    });
}

void TConfigForm::IPTextChange() {
    Marks.network = true;
}
void TConfigForm::DeviceNameTextChange() {
    Marks.network = true;
}
void TConfigForm::HalvarisPortTextChange() {
    Marks.network = true;
}
void TConfigForm::OpGridValueChanged(int, int) {
    Marks.operation = true;
}
void TConfigForm::SerialGridValueChanged(int, int) {
    Marks.lora = true;
}

void TConfigForm::IPAddressTextKeyPress(QChar& key) {
    if (key == QChar(8) || isAsciiDigit(key) || key == QLatin1Char('.') ||
        isAddressPunctuation(key)) {
        return;
    }
    key = QChar(0);
}

void TConfigForm::HalvarisPortTextKeyPress(QChar& key) {
    if (key == QChar(8) || isAsciiDigit(key) || isAddressPunctuation(key)) return;
    key = QChar(0);
}

void TConfigForm::FlatButton1Click() {
    handle([&] {
        // A cell still being edited counts as the operator's change.
        CommitTableEdits();
        FlatButton1->setEnabled(false);
        if (!Marks.any()) {
            FlatButton1->setEnabled(true);
            return;
        }
        // Every datagram is built before the first leaves, so a text that does
        // not convert stops the write with nothing sent. Until the apply request
        // is out no "a" can come to enable the button again: a failure enables it.
        try {
            const QList<SectionWrite> writes =
                BuildConfigWrite(MACLabel->text(), Marks, CurrentConfig());
            SendSectionWrites(
                writes, [this](const QByteArray& d) { broadcast(d); }, *services_.clock);
            SendConfigApply();
        } catch (...) {
            FlatButton1->setEnabled(true);
            throw;
        }
    });
}

void TConfigForm::FlatButton2Click() {
    close();
}

void TConfigForm::FormClose() {
    // Replies that come later are not received.
    ConfigUDP->SetActive(false);
    claim_.Reset();
}

void TConfigForm::done(int) {
    handle([&] { FormClose(); });
    QDialog::done(Marks.any() ? 1 : 2);
}

// ---- the exchange --------------------------------------------------------------

QFrame* TConfigForm::panelOf(ConfigSection section) const {
    switch (section) {
        case ConfigSection::Network:
            return tabPanel1;
        case ConfigSection::Operation:
            return tabPanel2;
        case ConfigSection::LoRa:
            break;
    }
    return tabPanel3;
}

void TConfigForm::broadcast(const QByteArray& datagram) {
    if (BroadcastSink) {
        BroadcastSink(datagram);
        return;
    }
    ConfigUDP->SetActive(true);
    Engine->SendTo(MACLabel->text(), datagram);
}

void TConfigForm::SendConfigQuery(ConfigSection section) {
    const QByteArray query = ConfigQuery(section, MACLabel->text());
    if (!BroadcastSink) ConfigUDP->SetActive(true);
    // The section's controls stay visible but unusable until its reply comes.
    panelOf(section)->setEnabled(false);
    broadcast(query);
}

void TConfigForm::SendConfigApply() {
    broadcast(ConfigApply(MACLabel->text()));
    ApplyWait.Sent(MACLabel->text());
}

void TConfigForm::FillNetworkTab(const NetworkSettings& n) {
    // The edits raise their change events here like the operator's typing does:
    // a fill that changes a text marks the Network section.
    SetNetworkType(n.networkType);
    IPAddressText->setText(n.ipAddress);
    GatewayText->setText(n.gateway);
    SubnetMaskText->setText(n.subnetMask);
    DNSText->setText(n.dns);
    DeviceNameText->setText(n.deviceName);
    HalvarisIPText->setText(n.varnexViewIp);
    HalvarisPortText->setText(n.varnexViewPort);
    selectEntry(TelnetCombo, n.telnet);
    selectEntry(SSHCombo, n.ssh);
    selectEntry(FTPCombo, n.ftp);
    selectEntry(WEBCombo, n.web);
    LANPortPanel->setHidden(!n.lanPortPresent);
    SetBridge(n.bridge);
    IPAddressText2->setText(n.lanIpAddress);
    SubnetMaskText2->setText(n.lanSubnetMask);
    PortCount = static_cast<quint8>(n.portCount);
    EchoByte = static_cast<quint8>(n.echoByte);
    SourceIDLabel->setText(QString::number(n.sourceId));
    rebuildTables();
}

DeviceConfig TConfigForm::CurrentConfig() {
    DeviceConfig config;
    NetworkSettings& n = config.network;
    n.networkType = NetworkTypeCombo->currentIndex();
    n.ipAddress = IPAddressText->text();
    n.gateway = GatewayText->text();
    n.subnetMask = SubnetMaskText->text();
    n.dns = DNSText->text();
    n.deviceName = DeviceNameText->text();
    n.varnexViewIp = HalvarisIPText->text();
    n.varnexViewPort = HalvarisPortText->text();
    n.telnet = TelnetCombo->currentIndex();
    n.ssh = SSHCombo->currentIndex();
    n.ftp = FTPCombo->currentIndex();
    n.web = WEBCombo->currentIndex();
    n.lanPortPresent = !LANPortPanel->isHidden();
    n.bridge = BridgeCombo->currentIndex();
    n.lanIpAddress = IPAddressText2->text();
    n.lanSubnetMask = SubnetMaskText2->text();
    n.portCount = PortCount;
    n.echoByte = EchoByte;
    n.sourceId = 0;
    readTables(config);
    return config;
}

void TConfigForm::ConfigUDPUDPRead(const QByteArray& datagram) {
    const ConfigReply reply = DialogConfigReply(datagram, MACLabel->text(), PortCount);
    switch (reply.kind) {
        case ConfigReply::Kind::Ignore:
            return;
        case ConfigReply::Kind::Network:
            FillNetworkTab(reply.network);
            tabPanel1->setEnabled(true);
            break;
        case ConfigReply::Kind::Port:
            FillPortRow(reply.port);
            tabPanel2->setEnabled(true);
            break;
        case ConfigReply::Kind::LoRa:
            FillLoRaRow(reply.lora);
            tabPanel3->setEnabled(true);
            break;
        case ConfigReply::Kind::Applied:
            // Answered before the box opens: the box waits for the operator,
            // and so does every "a" queued behind this one, which then finds
            // nothing to answer.
            if (!ApplyWait.Answer(MACLabel->text())) return;
            FlatButton1->setEnabled(true);
            services_.prompts->Message(this,
                                       QStringLiteral("Configuration was successfully applied"));
            return;
    }
    FlatButton1->setEnabled(true);
}

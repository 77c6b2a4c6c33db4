// The dialog's controls: the identity panel, the three tabs and the buttons.
#include "configform/ConfigEdit.h"
#include "configform/TConfigForm.h"

#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

namespace {
// Rows of the Network tab's groups.
constexpr int kRowTop = 24;
constexpr int kRowStep = 27;
constexpr int kCaptionLeft = 12;
constexpr int kCaptionWidth = 96;
constexpr int kFieldLeft = 112;
constexpr int kFieldWidth = 180;
constexpr int kFieldHeight = 21;

int rowTop(int row) {
    return kRowTop + row * kRowStep;
}

QLabel* plainLabel(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* caption(QWidget* parent, const QString& text, int row) {
    QLabel* label = plainLabel(parent, text);
    label->setGeometry(kCaptionLeft, rowTop(row), kCaptionWidth, kFieldHeight);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// An edit named for the operator by its caption; the caption is its buddy.
ConfigEdit* edit(QWidget* parent, QLabel* label, int row, int typedLimit, int left = kFieldLeft,
                 int width = kFieldWidth, const QString& name = QString()) {
    auto* e = new ConfigEdit(parent);
    e->setGeometry(left, rowTop(row), width, kFieldHeight);
    e->SetTypedLimit(typedLimit);
    e->setAccessibleName(name.isEmpty() ? label->text() : name);
    label->setBuddy(e);
    return e;
}

QComboBox* list(QWidget* parent, QLabel* label, int row, const QStringList& items, int selected) {
    auto* c = new QComboBox(parent);
    c->setGeometry(kFieldLeft, rowTop(row), kFieldWidth, kFieldHeight);
    c->addItems(items);
    c->setCurrentIndex(selected);
    c->setAccessibleName(label->text());
    label->setBuddy(c);
    return c;
}

QGroupBox* group(QWidget* parent, const QString& title, const QRect& geometry) {
    auto* g = new QGroupBox(title, parent);
    g->setGeometry(geometry);
    g->setStyleSheet(
        QStringLiteral("QGroupBox { font-weight: bold; }"
                       "QGroupBox * { font-weight: normal; }"));
    return g;
}

QPushButton* button(QWidget* parent, const QString& text, int left, int top) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(left, top, 81, 25);
    b->setAccessibleName(text);
    // Enter in an edit must not press a button behind the operator's back.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}
}  // namespace

void TConfigForm::buildIdentityPanel() {
    IdentityPanel = new QFrame(this);
    IdentityPanel->setObjectName(QStringLiteral("IdentityPanel"));
    IdentityPanel->setFrameShape(QFrame::StyledPanel);
    IdentityPanel->setGeometry(8, 8, 161, 401);

    const QString na = QStringLiteral("N/A");
    // A value label keeps its text as its accessible name, so a screen reader
    // speaks the gateway's model or MAC; its caption is the buddy, which Qt
    // reports as the value's labelled-by relation ("Model : VX-GW400").
    auto pair = [&](const QString& title, int top) {
        QLabel* t = plainLabel(IdentityPanel, title);
        t->setGeometry(10, top, 141, 17);
        QLabel* value = plainLabel(IdentityPanel, na);
        value->setGeometry(18, top + 20, 135, 17);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        t->setBuddy(value);
        return value;
    };
    ProductLabel = pair(QStringLiteral("Model :"), 16);
    MACLabel = pair(QStringLiteral("MAC Address :"), 64);
    SourceIDLabel = pair(QStringLiteral("LoRa Source ID:"), 112);
    VersionLabel = pair(QStringLiteral("Firmware Version :"), 160);
}

void TConfigForm::buildNetworkTab() {
    WANGroup = group(tabPanel1, QStringLiteral("WAN(Main) Network"), QRect(8, 6, 316, 192));
    QLabel* nameCaption = caption(WANGroup, QStringLiteral("Device Name"), 0);
    DeviceNameText = edit(WANGroup, nameCaption, 0, 15);
    QLabel* typeCaption = caption(WANGroup, QStringLiteral("Network Type"), 1);
    NetworkTypeCombo = list(WANGroup, typeCaption, 1, ConfigLists::NetworkType(), 0);
    IPAddressCaption = caption(WANGroup, QStringLiteral("IP Address"), 2);
    IPAddressText = edit(WANGroup, IPAddressCaption, 2, 15);
    SubnetMaskCaption = caption(WANGroup, QStringLiteral("Subnet Mask"), 3);
    SubnetMaskText = edit(WANGroup, SubnetMaskCaption, 3, 15);
    GatewayCaption = caption(WANGroup, QStringLiteral("Gateway"), 4);
    GatewayText = edit(WANGroup, GatewayCaption, 4, 15);
    DNSCaption = caption(WANGroup, QStringLiteral("DNS"), 5);
    DNSText = edit(WANGroup, DNSCaption, 5, 15);

    ServicesGroup = group(tabPanel1, QStringLiteral("Network Services"), QRect(332, 6, 316, 165));
    QLabel* viewCaption = caption(ServicesGroup, QStringLiteral("VarnexView"), 0);
    HalvarisIPText = edit(ServicesGroup, viewCaption, 0, 15, kFieldLeft, 120);
    HalvarisPortText = edit(ServicesGroup, viewCaption, 0, 5, kFieldLeft + 126, 54,
                            QStringLiteral("VarnexView Port"));
    viewCaption->setBuddy(HalvarisIPText);
    const QStringList service = ConfigLists::Service();
    TelnetCombo =
        list(ServicesGroup, caption(ServicesGroup, QStringLiteral("Telnet"), 1), 1, service, 0);
    SSHCombo = list(ServicesGroup, caption(ServicesGroup, QStringLiteral("SSH"), 2), 2, service, 0);
    FTPCombo = list(ServicesGroup, caption(ServicesGroup, QStringLiteral("FTP"), 3), 3, service, 0);
    WEBCombo = list(ServicesGroup, caption(ServicesGroup, QStringLiteral("WEB"), 4), 4, service, 0);

    LANPortPanel = group(tabPanel1, QStringLiteral("LAN(Sub) Network"), QRect(332, 179, 316, 111));
    LANPortPanel->setObjectName(QStringLiteral("LANPortPanel"));
    QLabel* bridgeCaption = caption(LANPortPanel, QStringLiteral("Network Bridge"), 0);
    BridgeCombo = list(LANPortPanel, bridgeCaption, 0, ConfigLists::Bridge(), -1);
    IPAddressCaption2 = caption(LANPortPanel, QStringLiteral("IP Address"), 1);
    IPAddressText2 = edit(LANPortPanel, IPAddressCaption2, 1, 15);
    SubnetMaskCaption2 = caption(LANPortPanel, QStringLiteral("Subnet Mask"), 2);
    SubnetMaskText2 = edit(LANPortPanel, SubnetMaskCaption2, 2, 15);
    // The two LAN edits share their captions' texts with the WAN ones; the
    // description tells a screen reader which group they belong to.
    IPAddressText2->setAccessibleDescription(LANPortPanel->title());
    SubnetMaskText2->setAccessibleDescription(LANPortPanel->title());
}

void TConfigForm::buildButtons() {
    FlatButton9 = button(this, QStringLiteral("Export"), 176, 384);
    FlatButton1 = button(this, QStringLiteral("Apply"), 672, 384);
    FlatButton2 = button(this, QStringLiteral("Cancel"), 760, 384);
}

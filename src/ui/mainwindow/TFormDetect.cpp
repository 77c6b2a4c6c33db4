#include "mainwindow/TFormDetect.h"

#include "app/AppTitle.h"
#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "fleet/TFormFleet.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {
QPushButton* flatButton(QWidget* parent, const QString& caption, int left, int top, int width,
                        int height) {
    auto* b = new QPushButton(caption, parent);
    b->setGeometry(left, top, width, height);
    b->setAccessibleName(caption);
    return b;
}

QString countdownText(int seconds) {
    return QStringLiteral("        Remain timeout = %1sec").arg(seconds);
}
}  // namespace

CaptionPanel::CaptionPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    caption_ = new QLabel(this);
    caption_->setTextFormat(Qt::PlainText);
    caption_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CaptionPanel::SetCaption(const QString& text) {
    caption_->setText(text);
    caption_->setGeometry(2, 0, width() - 4, height());
    caption_->lower();
}

QString CaptionPanel::Caption() const {
    return caption_->text();
}

TFormDetect::TFormDetect(const Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    setObjectName(QStringLiteral("FormDetect"));
    setWindowTitle(AppTitle());
    // Fixed client area, minimise but no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(977, 538);
    // The layout is laid out for a small 8-point UI font; the dialogs it owns inherit it.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setAttribute(Qt::WA_DeleteOnClose, false);

    Engine = services_.engine;
    if (!Engine) {
        ownEngine_ = std::make_unique<GatewayEngine>(*services_.clock);
        Engine = ownEngine_.get();
        services_.engine = Engine;
    }
    UDPServer = new PortHandle(*Engine, true, this);
    UDPServer->SetOnRead([this](const QByteArray& datagram, int interfaceIndex) {
        UDPServerUDPRead(datagram, interfaceIndex);
    });

    TimerFIND = new QTimer(this);
    TimerFIND->setInterval(1000);
    connect(TimerFIND, &QTimer::timeout, this, &TFormDetect::TimerFINDTimer);

    buildControls();
    buildDeviceList();
    buildReachability();
    FormCreate();
}

void TFormDetect::SetConfigForm(TConfigForm* form) {
    ConfigForm = form;
}

TFormDetect::~TFormDetect() {
    // The fleet window's batch works on the engine, which may be this window's own.
    delete FleetForm;
    FleetForm = nullptr;
    // The receiving thread reaches this window: stop it before the members go.
    UDPServer->SetActive(false);
    delete UDPServer;
    UDPServer = nullptr;
}

void TFormDetect::buildControls() {
    FlatPanel1 = new QFrame(this);
    FlatPanel1->setObjectName(QStringLiteral("FlatPanel1"));
    FlatPanel1->setGeometry(0, 15, 977, 41);
    FlatButton2 = flatButton(FlatPanel1, QStringLiteral("Search"), 11, 8, 73, 25);
    FlatButton3 = flatButton(FlatPanel1, QStringLiteral("Search IP"), 91, 8, 94, 25);
    FlatButton8 = flatButton(FlatPanel1, QStringLiteral("Configure"), 222, 8, 89, 25);
    FlatButton10 = flatButton(FlatPanel1, QStringLiteral("Import"), 318, 8, 89, 25);
    FlatButton5 = flatButton(FlatPanel1, QStringLiteral("Telnet"), 470, 8, 89, 25);
    FlatButton5->setProperty("Tag", 12);
    FlatButton4 = flatButton(FlatPanel1, QStringLiteral("Web"), 568, 8, 89, 25);
    FlatButton4->setProperty("Tag", 11);
    FlatButton7 = flatButton(FlatPanel1, QStringLiteral("Upgrade Firmware"), 712, 8, 105, 25);
    // In the room between "Upgrade Firmware" and "Apply"; the list keeps its place.
    FleetButton = flatButton(FlatPanel1, QStringLiteral("Fleet\u2026"), 823, 8, 62, 25);
    // "Apply" sits on the window itself, so the busy state leaves it usable.
    FlatButton1 = flatButton(this, QStringLiteral("Apply"), 891, 24, 73, 25);
    FlatButton1->setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid palette(highlight); "
                       "padding: 2px; }"));

    FlatPanel2 = new QFrame(this);
    FlatPanel2->setObjectName(QStringLiteral("FlatPanel2"));
    FlatPanel2->setGeometry(10, 68, 959, 444);
    FlatPanel2->setFrameShape(QFrame::StyledPanel);

    lblcount = new QLabel(this);
    lblcount->setObjectName(QStringLiteral("lblcount"));
    lblcount->setTextFormat(Qt::PlainText);
    lblcount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Right edge fixed at 65 px from the window's right side; the text grows leftwards.
    lblcount->setGeometry(977 - 65 - 200, 512, 200, 15);
    // The labels that show changing values keep their texts as their accessible
    // names; the description says what the value is.
    lblcount->setAccessibleDescription(QStringLiteral("Gateways listed"));

    Shape1 = new QFrame(this);
    Shape1->setGeometry(12, 527, 817, 1);
    Shape1->setStyleSheet(QStringLiteral("background-color: rgb(238, 236, 225);"));

    PnlTime = new CaptionPanel(this);
    PnlTime->setObjectName(QStringLiteral("PnlTime"));
    PnlTime->setGeometry(312, 258, 297, 55);
    PnlTime->setAutoFillBackground(true);
    PnlTime->setStyleSheet(
        QStringLiteral("CaptionPanel { background-color: rgb(232, 255, 255); }"));
    PnlTime->SetCaption(countdownText(10));
    // The panel's name stays put; the countdown is its label's name alone, so a
    // screen reader does not announce it twice every second.
    PnlTime->setAccessibleName(QStringLiteral("Search"));
    PnlTime->CaptionLabel()->setAccessibleDescription(QStringLiteral("Search countdown"));
    FlatButton6 = flatButton(PnlTime, QStringLiteral("Stop"), 208, 16, 73, 25);
    PnlTime->hide();

    FlatPanel3 = new QFrame(this);
    FlatPanel3->setObjectName(QStringLiteral("FlatPanel3"));
    FlatPanel3->setGeometry(312, 200, 297, 55);
    FlatPanel3->setFrameShape(QFrame::StyledPanel);
    FlatPanel3->setAutoFillBackground(true);
    FUWait = new QLabel(QStringLiteral("Waiting For Complete..."), FlatPanel3);
    FUWait->setTextFormat(Qt::PlainText);
    FUWait->move(9, 9);
    FUWait->adjustSize();
    FUWait->setAccessibleDescription(QStringLiteral("Firmware upgrade"));
    UpdateProgress = new QProgressBar(FlatPanel3);
    UpdateProgress->setGeometry(8, 24, 281, 25);
    UpdateProgress->setAccessibleName(QStringLiteral("Firmware upgrade progress"));
    UpdateProgress->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid rgb(160, 150, 131); }"));
    FlatPanel3->hide();

    connect(FlatButton2, &QPushButton::clicked, this, &TFormDetect::FlatButton2Click);
    connect(FlatButton3, &QPushButton::clicked, this, &TFormDetect::FlatButton3Click);
    connect(FlatButton8, &QPushButton::clicked, this, &TFormDetect::FlatButton8Click);
    connect(FlatButton10, &QPushButton::clicked, this, &TFormDetect::FlatButton10Click);
    connect(FlatButton5, &QPushButton::clicked, this, &TFormDetect::FlatButton4Click);
    connect(FlatButton4, &QPushButton::clicked, this, &TFormDetect::FlatButton4Click);
    connect(FlatButton7, &QPushButton::clicked, this, &TFormDetect::FlatButton7Click);
    connect(FlatButton1, &QPushButton::clicked, this, &TFormDetect::FlatButton1Click);
    connect(FlatButton6, &QPushButton::clicked, this, &TFormDetect::FlatButton6Click);
    connect(FleetButton, &QPushButton::clicked, this, &TFormDetect::FleetButtonClick);
}

void TFormDetect::FormCreate() {
    DeviceCount = 0;
    lblcount->setText(QString());
    SelectedRow = 0;
}

void TFormDetect::SetSearching(bool on) {
    CountdownSeconds = 10;
    PnlTime->SetCaption(countdownText(10));
    PnlTime->setVisible(on);
    if (on) {
        TimerFIND->start();
    } else {
        TimerFIND->stop();
    }
    FlatPanel1->setEnabled(!on);
    FlatPanel2->setEnabled(!on);
    UDPServer->SetActive(on);
}

void TFormDetect::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, also during a countdown.
    TimerFIND->stop();
    UDPServer->SetActive(false);
    event->accept();
}

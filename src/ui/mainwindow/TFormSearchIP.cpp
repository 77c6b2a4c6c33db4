#include "mainwindow/TFormSearchIP.h"

#include "app/Seams.h"
#include "discovery/IPv4Text.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormSearchIP::TFormSearchIP(Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
    setObjectName(QStringLiteral("FormSearchIP"));
    setWindowTitle(QStringLiteral("Search by IP"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(280, 96);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    Label1 = new QLabel(QStringLiteral("IP address"), this);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(16, 20, 70, 21);
    FlatEdit1 = new QLineEdit(this);
    FlatEdit1->setObjectName(QStringLiteral("FlatEdit1"));
    FlatEdit1->setGeometry(92, 20, 172, 21);
    Label1->setBuddy(FlatEdit1);

    FlatSpeedButton1 = new QPushButton(QStringLiteral("Search"), this);
    FlatSpeedButton1->setGeometry(112, 58, 73, 25);
    FlatSpeedButton2 = new QPushButton(QStringLiteral("Cancel"), this);
    FlatSpeedButton2->setGeometry(191, 58, 73, 25);
    // Enter acts when it is released in the field (FlatEdit1KeyUp), never on its
    // press through a default button.
    for (QPushButton* b : {FlatSpeedButton1, FlatSpeedButton2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(FlatSpeedButton1, &QPushButton::clicked, this, &TFormSearchIP::FlatSpeedButton1Click);
    connect(FlatSpeedButton2, &QPushButton::clicked, this, &TFormSearchIP::FlatSpeedButton2Click);
    FlatEdit1->installEventFilter(this);
    FlatEdit1->setFocus();
}

QString TFormSearchIP::Address() const {
    return FlatEdit1->text();
}

void TFormSearchIP::FlatSpeedButton1Click() {
    const QString text = FlatEdit1->text();
    if (text.isEmpty()) return;
    if (IsValidIPv4(text)) {
        accept();
        return;
    }
    prompts_.Message(this, QStringLiteral("IP is not valid."));
    FlatEdit1->setFocus();
}

void TFormSearchIP::FlatSpeedButton2Click() {
    reject();
}

void TFormSearchIP::FlatEdit1KeyUp(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) FlatSpeedButton1Click();
}

bool TFormSearchIP::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FlatEdit1 && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        // A held key repeats its press, not its release.
        if (!key->isAutoRepeat()) FlatEdit1KeyUp(key->key());
    }
    return QDialog::eventFilter(watched, event);
}

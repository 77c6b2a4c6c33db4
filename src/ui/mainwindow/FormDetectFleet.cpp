// "Fleet…" and what the main window does while a fleet batch holds the port.
#include "mainwindow/TFormDetect.h"

#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "fleet/TFormFleet.h"

#include <QPushButton>
#include <QTimer>

void TFormDetect::FleetButtonClick() {
    handle([&] {
        if (!FleetForm) {
            // A window of its own, not modal; it goes with the main window.
            FleetForm = new TFormFleet(*this, services(), this);
            connect(this, &TFormDetect::SearchEnded, FleetForm, [this] {
                if (!FleetForm->BatchRunning()) FleetForm->LoadFromMainWindow();
            });
        }
        if (!FleetForm->BatchRunning()) FleetForm->LoadFromMainWindow();
        FleetForm->show();
        FleetForm->raise();
        FleetForm->activateWindow();
    });
}

QString TFormDetect::PortHeldBy() const {
    if (TimerFIND->isActive()) {
        return QStringLiteral(
            "A Search is listening on port 2058: wait for its countdown to "
            "end, or press Stop.");
    }
    if (ConfigForm && (ConfigForm->isVisible() || ConfigForm->ConfigUDP->Active())) {
        return QStringLiteral("The configuration dialog holds port 2058: close it first.");
    }
    if (Engine->RunningUpgrades() > 0 || FlatPanel3->isVisible()) {
        return QStringLiteral(
            "A firmware upgrade of the main window is running: wait for it "
            "to end.");
    }
    return QString();
}

void TFormDetect::SetFleetBusy(bool busy) {
    FleetBusy = busy;
    const QString why = busy
                            ? QStringLiteral(
                                  "A fleet batch is running: this would send to the gateways. Wait "
                                  "for it to end, or stop it in the fleet window.")
                            : QString();
    for (QPushButton* b : {FlatButton2, FlatButton3, FlatButton8, FlatButton10, FlatButton5,
                           FlatButton4, FlatButton7, FlatButton1}) {
        b->setEnabled(!busy);
        b->setToolTip(why);
        b->setAccessibleDescription(why);
    }
}

// Search, Stop, the countdown, the receive handler and the device list.
#include "app/TFormDetect.h"

void TFormDetect::FlatButton2Click() {}
void TFormDetect::FlatButton3Click() {}
void TFormDetect::FlatButton6Click() {
    handle([&] { SetSearching(false); });
}
void TFormDetect::TimerFINDTimer() {}
void TFormDetect::UDPServerUDPRead(const QByteArray&) {}
void TFormDetect::ClearDeviceList() {}
bool TFormDetect::IsNewMac(const QString&) const { return true; }
void TFormDetect::RGridRowEnter() {}
void TFormDetect::RGridAfterEdit() {}
void TFormDetect::RGridKeyPress(QChar&) {}
int TFormDetect::RGridGetImageIndex(int, int) { return 0; }

// "Web" and "Telnet": pin the gateway's address in the ARP table, then open its
// web page or a Telnet session.
#include "actions/RemoteAccess.h"
#include "link/Clock.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"

namespace {
constexpr int kWebTag = 11;
constexpr int kTelnetTag = 12;
}  // namespace

void TFormDetect::FlatButton4Click() {
    const int tag = sender() ? sender()->property("Tag").toInt() : 0;
    handle([&] {
        if (DeviceCount == 0) {
            services_.prompts->Message(
                this, QStringLiteral("There is no Device.\r\nPlease search the Device."));
            return;
        }
        Platform& platform = *services_.platform;
        const QString address = RGrid->Cells(11, RGrid->CurrentRow()).GetCellText();
        if (!ConfirmReachable(RGrid->CurrentRow(), tag == kWebTag)) return;

        // Started without waiting; whether it worked is not looked at.
        const ProgramCall arp = ArpEntryCall(RGrid->Cells(4, RGrid->CurrentRow()).GetCellText(),
                                             RGrid->Cells(1, RGrid->CurrentRow()).GetCellText());
        platform.StartProcess(arp.program, arp.arguments);
        services_.clock->pause(2000);

        if (RGrid->Cells(4, RGrid->CurrentRow()).GetCellText() != address) {
            services_.prompts->Message(
                this,
                QStringLiteral("You do not apply the new ip. so, This time use the previous IP"));
        }
        if (tag == kWebTag) {
            // Quietly nothing when no browser can be started.
            platform.OpenUrl(GatewayWebUrl(address));
        } else if (tag == kTelnetTag) {
            const ProgramCall telnet = TelnetCall(address, platform);
            if (telnet.isValid()) platform.StartProcess(telnet.program, telnet.arguments);
        }
    });
}

// "Search IP": the discovery request sent to one address.
#include "mainwindow/TFormDetect.h"
#include "mainwindow/TFormSearchIP.h"
#include "link/DeviceDatagram.h"
#include "link/UdpEndpoint.h"

#include <memory>

void TFormDetect::FlatButton3Click() {
    handle([&] {
        // Owned by the main window, and gone on every path once it exists.
        auto dialog = std::make_unique<TFormSearchIP>(*services().prompts, this);
        if (dialog->exec() != QDialog::Accepted) return;
        ClearDeviceList();
        RowsBeforeSearch = DeviceCount;
        UDPServer->SetDefaultPort(DeviceDatagram::Port);
        if (!UDPServer->Active()) UDPServer->SetActive(true);
        UDPServer->SetBroadcastEnabled(false);
        UDPServer->SendToHost(dialog->Address(), DeviceDatagram::Port,
                              DeviceDatagram::DiscoveryRequest());
        dialog.reset();
        SetSearching(true);
    });
}

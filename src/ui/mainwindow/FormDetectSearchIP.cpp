// "Search IP": the discovery request sent to one address.
#include "engine/GatewayEngine.h"
#include "mainwindow/TFormDetect.h"
#include "mainwindow/TFormSearchIP.h"

#include <memory>

void TFormDetect::FlatButton3Click() {
    handle([&] {
        // Owned by the main window, and gone on every path once it exists.
        auto dialog = std::make_unique<TFormSearchIP>(*services().prompts, this);
        if (dialog->exec() != QDialog::Accepted) return;
        ClearDeviceList();
        RowsBeforeSearch = DeviceCount;
        UDPServer->SetActive(true);
        UDPServer->SetBroadcastEnabled(false);
        Engine->SearchHost(dialog->Address());
        dialog.reset();
        SetSearching(true);
    });
}

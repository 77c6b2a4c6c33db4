// "Configure", "Import" and the double click on a row.
#include "mainwindow/TFormDetect.h"

#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "widgets/TRealGrid.h"

namespace {
// The list's columns that name a gateway for the dialog.
constexpr int kModelColumn = 0;
constexpr int kMacColumn = 1;
constexpr int kVersionColumn = 2;

bool hasSelectedDevice(const TFormDetect& form) {
    return form.DeviceCount > 0 && form.SelectedRow >= 0;
}

// After a dialog that changed something the list no longer tells the truth:
// clear it and open a new discovery window.
void searchAgain(TFormDetect& form) {
    form.ClearDeviceList();
    form.UDPServer->SetActive(true);
    form.UDPServer->SetBroadcastEnabled(true);
    form.Engine->StartSearch(GatewayEngine::WindowRepeatsMs());
    form.RowsBeforeSearch = -1;
    form.SetSearching(true);
}

// Reads the selected row's model, MAC and version and opens the dialog for it.
void openForSelectedRow(TFormDetect& form) {
    const QString version = form.RGrid->Cells(kVersionColumn, form.SelectedRow).GetCellText();
    const QString mac = form.RGrid->Cells(kMacColumn, form.SelectedRow).GetCellText();
    const QString model = form.RGrid->Cells(kModelColumn, form.SelectedRow).GetCellText();
    form.ConfigForm->OpenForDevice(model, mac, version);
}
}  // namespace

void TFormDetect::FlatButton8Click() {
    handle([&] {
        if (!hasSelectedDevice(*this)) return;
        services().clock->pause(100);
        // The dialog's endpoint needs port 2058.
        UDPServer->SetActive(false);
        openForSelectedRow(*this);
        if (ConfigForm->ShowModal() == 1) searchAgain(*this);
    });
}

void TFormDetect::RGridDblClick() {
    handle([&] {
        // The dialog would send while a fleet batch holds the port.
        if (FleetBusy || !hasSelectedDevice(*this)) return;
        UDPServer->SetActive(false);
        openForSelectedRow(*this);
        // Without modality: the main window stays usable and is not told when
        // the dialog closes.
        ConfigForm->show();
        ConfigForm->raise();
        ConfigForm->activateWindow();
    });
}

void TFormDetect::FlatButton10Click() {
    handle([&] {
        if (!hasSelectedDevice(*this)) return;
        UDPServer->SetActive(false);
        Prompts::FileDialog dialog;
        dialog.title = QStringLiteral("Import Configuration from file");
        dialog.filter = QStringLiteral("All files (*.*);;VarnexConfig files (*.vxc)");
        dialog.defaultSuffix = QStringLiteral("vxc");
        dialog.fileName = QStringLiteral("default.vxc");
        const QString fileName = services().prompts->OpenFile(this, dialog);
        if (fileName.isEmpty()) return;
        const QString mac = RGrid->Cells(kMacColumn, SelectedRow).GetCellText();
        const QString version = RGrid->Cells(kVersionColumn, SelectedRow).GetCellText();
        const QString model = RGrid->Cells(kModelColumn, SelectedRow).GetCellText();
        ConfigForm->LoadConfigFile(fileName, model, mac, version);
        if (ConfigForm->ShowModal() == 1) searchAgain(*this);
    });
}

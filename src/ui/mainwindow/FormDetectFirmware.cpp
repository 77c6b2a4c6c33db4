// "Upgrade Firmware": sends an image file to the gateway of the current row.
#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/FirmwareScreen.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"

#include <QEventLoop>
#include <QLabel>

namespace {
Prompts::FileDialog firmwareFileDialog() {
    Prompts::FileDialog d;
    // The same title as the configuration import: operators know the dialog by it.
    d.title = QStringLiteral("Import Configuration from file");
    d.filter = QStringLiteral("All files (*.*);;Firmware File (*.bin)");
    d.defaultSuffix = QStringLiteral("bin");
    d.fileName = QStringLiteral("varnex.bin");
    return d;
}
}  // namespace

void TFormDetect::FlatButton7Click() {
    handle([&] {
        if (DeviceCount <= 0 || SelectedRow < 0) return;
        FUWait->setText(QString::fromLatin1(FirmwareCaption::Sending));
        FUWait->show();
        UDPServer->SetActive(false);  // drops whatever it had queued
        const QString fileName = services().prompts->OpenFile(this, firmwareFileDialog());
        if (fileName.isEmpty()) return;

        // From here on every way out hides the panel and enables the tool bar and list.
        FirmwareScreen screen(*this, *services().clock);
        screen.SetImageSize(FileSizeOf(fileName));
        const QByteArray image = ReadFirmwareImage(fileName);
        const QString mac = RGrid->Cells(DeviceColumn::Mac, SelectedRow).GetCellText();
        screen.ShowProgress();

        // The engine runs the exchange where the acknowledgements arrive; this
        // thread only shows its progress until it ends.
        UDPServer->SetActive(true);
        UDPServer->SetBroadcastEnabled(true);
        const std::shared_ptr<FirmwareRun> run = Engine->StartFirmware(mac, image);
        const FirmwareOutcome outcome = screen.Follow(*run);
        if (outcome == FirmwareOutcome::Abandoned || !screen.WindowUsable()) return;
        screen.HideProgress();
        services().prompts->Message(this, outcome == FirmwareOutcome::Succeeded
                                              ? QStringLiteral("Updating firmware was successful")
                                              : QStringLiteral("Updating firmware was failed"));
    });  // the screen enables the panels once the message has been closed
}

// "Upgrade Firmware": sends an image file to the gateway of the current row.
#include "actions/Firmware.h"
#include "mainwindow/FirmwareScreen.h"
#include "actions/FirmwareUpgrade.h"
#include "mainwindow/TFormDetect.h"
#include "mainwindow/DeviceListColumns.h"
#include "link/UdpEndpoint.h"
#include "link/VarnexError.h"
#include "widgets/TRealGrid.h"

#include <QFile>
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
        QFile image(fileName);
        if (!image.open(QIODevice::ReadOnly)) {
            throw VarnexError(QStringLiteral("Cannot open the firmware file \"%1\": %2")
                                  .arg(fileName, image.errorString()));
        }
        const QString macText = RGrid->Cells(DeviceColumn::Mac, SelectedRow).GetCellText();
        const QByteArray mac = FirmwareMacPrefix(macText);
        screen.ShowProgress();

        FirmwareUpgrade upgrade(mac, image, *UDPServer, *AckSlot, *services().clock, screen);
        upgrade.SetInterface(GatewayRoutes.Of(macText));
        screen.Watch(upgrade);
        const FirmwareOutcome outcome = upgrade.Run();
        if (outcome == FirmwareOutcome::Abandoned || !screen.WindowUsable()) return;
        screen.HideProgress();
        services().prompts->Message(this, outcome == FirmwareOutcome::Succeeded
                                              ? QStringLiteral("Updating firmware was successful")
                                              : QStringLiteral("Updating firmware was failed"));
    });  // the screen enables the panels once the message has been closed
}

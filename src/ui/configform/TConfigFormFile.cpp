// "Export" from the dialog and the filling of the dialog from a file.
#include "config/ConfigFile.h"
#include "config/ConfigJson.h"
#include "configform/TConfigForm.h"

#include <QLabel>
#include <QTabBar>

namespace {
const QString kConfigFilter = QStringLiteral("All files (*.*);;VarnexConfig files (*.vxc)");
}  // namespace

void TConfigForm::FlatButton9Click() {
    handle([&] {
        Prompts::FileDialog dialog;
        dialog.title = QStringLiteral("Export configuration to file");
        dialog.filter = kConfigFilter;
        dialog.defaultSuffix = QStringLiteral("vxc");
        dialog.fileName = QStringLiteral("default.vxc");
        const QString fileName = services_.prompts->SaveFile(this, dialog);
        if (fileName.isEmpty()) return;
        CommitTableEdits();
        // What the controls show now, whatever the marks say; the file is
        // replaced only once every record has been built and written.
        ExportConfigFile(fileName, MACLabel->text(), CurrentConfig());
    });
}

void TConfigForm::LoadConfigFile(const QString& fileName, const QString& model, const QString& mac,
                                 const QString& version) {
    // The whole file is read and checked before anything changes: a file that
    // cannot be read, is short, or names a row or list entry that does not
    // exist leaves the dialog as it was.
    const DeviceConfig config = DeviceConfigFromFile(ImportConfigFile(fileName));
    claimGateway(mac);
    Marks.network = Marks.operation = Marks.lora = true;
    ProductLabel->setText(model);
    MACLabel->setText(mac);
    VersionLabel->setText(version);
    FillNetworkTab(config.network);
    for (int row = 0; row < config.ports.size(); ++row) FillPortRow({row, config.ports[row]});
    for (int row = 0; row < config.loras.size(); ++row) FillLoRaRow({row, config.loras[row]});
    ConfigTab->setCurrentIndex(0);
    ShowTabPanel(0);
}

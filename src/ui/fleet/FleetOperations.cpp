// The fleet window's operations: each gathers what it needs from the operator,
// then hands one job to a batch over the checked gateways.
#include "fleet/TFormFleet.h"

#include "config/ConfigJson.h"
#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "fleet/FleetAddressDialog.h"
#include "fleet/FleetJobs.h"
#include "fleet/FleetTable.h"
#include "fleet/ListExport.h"
#include "link/VarnexError.h"

#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QSaveFile>
#include <QSpinBox>

namespace {
ListedGateway listedOf(const DiscoveryReply& g) {
    return {g.Mac, g.DeviceName, g.IpAddress, g.SubnetMask, g.Gateway, g.ViewIp};
}

// This PC's IPv4 addresses: a plan must not give one of them to a gateway.
QStringList ownAddresses() {
    QStringList out;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) out << a.toString();
    }
    return out;
}

// Written whole or not at all.
void saveWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw VarnexError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    }
}
}  // namespace

void TFormFleet::UpgradeFirmwareClick() {
    handle([&] {
        const QList<DiscoveryReply> gateways = CheckedGateways();
        if (!canStart(gateways)) return;
        Prompts::FileDialog d;
        d.title = QStringLiteral("Firmware image for %1 gateways").arg(gateways.size());
        d.filter = QStringLiteral("Firmware File (*.bin);;All files (*.*)");
        d.defaultSuffix = QStringLiteral("bin");
        const QString path = services_.prompts->OpenFile(this, d);
        if (path.isEmpty()) return;
        const QByteArray image = ReadFirmwareImage(path);
        const QString skip = SkipVersion->text().trimmed();
        GatewayEngine& engine = engine_;
        FleetOperation op;
        op.name = QStringLiteral("firmware upgrade (%1 bytes)").arg(image.size());
        op.job = [&engine, image, skip] { return FirmwareJob(engine, image, skip, false); };
        op.maxFailures = MaxFailures->value();
        op.searchAfter = true;
        startBatch(gateways, op);
    });
}

void TFormFleet::WriteConfigurationClick() {
    handle([&] {
        const QList<DiscoveryReply> gateways = CheckedGateways();
        if (!canStart(gateways)) return;
        Prompts::FileDialog d;
        d.title = QStringLiteral("Configuration for %1 gateways").arg(gateways.size());
        d.filter = QStringLiteral("Configuration files (*.vxc *.json);;All files (*.*)");
        d.defaultSuffix = QStringLiteral("json");
        const QString path = services_.prompts->OpenFile(this, d);
        if (path.isEmpty()) return;
        // Checked whole before anything is sent.
        const DeviceConfig file = LoadConfigDocument(path).config;
        GatewayEngine& engine = engine_;
        FleetOperation op;
        op.name = QStringLiteral("configuration write");
        op.job = [&engine, file] { return PushJob(engine, file, false); };
        op.maxFailures = MaxFailures->value();
        startBatch(gateways, op);
    });
}

void TFormFleet::BackUpClick() {
    handle([&] {
        const QList<DiscoveryReply> gateways = CheckedGateways();
        if (!canStart(gateways)) return;
        const QString dir = services_.prompts->ChooseFolder(this, QStringLiteral("Back up into"));
        if (dir.isEmpty()) return;
        const BackupFormat format =
            BackupFormatBox->currentIndex() == 1 ? BackupFormat::Vxc : BackupFormat::Json;
        GatewayEngine& engine = engine_;
        FleetOperation op;
        op.name = QStringLiteral("backup");
        op.job = [&engine, dir, format] { return BackupJob(engine, dir, format); };
        op.maxFailures = MaxFailures->value();
        startBatch(gateways, op);
    });
}

void TFormFleet::RestoreClick() {
    handle([&] {
        const QList<DiscoveryReply> gateways = CheckedGateways();
        if (!canStart(gateways)) return;
        const QString dir =
            services_.prompts->ChooseFolder(this, QStringLiteral("Restore from the backups in"));
        if (dir.isEmpty()) return;
        GatewayEngine& engine = engine_;
        FleetOperation op;
        op.name = QStringLiteral("restore");
        op.job = [&engine, dir] { return RestoreJob(engine, dir, false); };
        op.maxFailures = MaxFailures->value();
        startBatch(gateways, op);
    });
}

void TFormFleet::AssignAddressesClick() {
    handle([&] {
        const QList<DiscoveryReply> gateways = CheckedGateways();
        if (!canStart(gateways)) return;
        QVector<ListedGateway> planned, others;
        QSet<QString> checked;
        for (const DiscoveryReply& g : gateways) {
            planned << listedOf(g);
            checked.insert(g.Mac);
        }
        for (const FleetRow& r : model_->Rows()) {
            if (!checked.contains(r.gateway.Mac)) others << listedOf(r.gateway);
        }
        addressDialog_->Prepare(planned, others, ownAddresses(), services_.prompts);
        addressDialog_->open();
    });
}

void TFormFleet::startAddressBatch() {
    if (!addressDialog_->PlanAccepted()) return;
    QHash<QString, PlannedGateway> plan;
    QList<DiscoveryReply> gateways;
    for (const PlannedGateway& p : addressDialog_->Plan()) {
        const int row = model_->RowOf(p.now.mac);
        if (row < 0) continue;
        plan.insert(p.now.mac.toUpper(), p);
        gateways << model_->Row(row).gateway;
    }
    GatewayEngine& engine = engine_;
    FleetOperation op;
    op.name = QStringLiteral("address assignment");
    op.job = [&engine, plan] { return AddressJob(engine, plan, 3000, false); };
    op.maxFailures = MaxFailures->value();
    op.addresses = plan;
    startBatch(gateways, op);
}

void TFormFleet::ExportListClick() {
    handle([&] {
        Prompts::FileDialog d;
        d.title = QStringLiteral("Export the gateway list");
        d.filter = QStringLiteral("CSV files (*.csv);;JSON files (*.json)");
        d.defaultSuffix = QStringLiteral("csv");
        d.fileName = QStringLiteral("gateways.csv");
        const QString path = services_.prompts->SaveFile(this, d);
        if (path.isEmpty()) return;
        // Every gateway of the list, in the table's order.
        QVector<ExportedGateway> list;
        for (int i = 0; i < filter_->rowCount(); ++i) {
            const FleetRow& r = model_->Row(filter_->mapToSource(filter_->index(i, 0)).row());
            list.append({r.gateway, r.interfaceName, {}});
        }
        const bool json = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
        saveWhole(path, json ? GatewayListJson(list) : GatewayListCsv(list));
        Notice->setText(QStringLiteral("%1 gateways exported.").arg(list.size()));
    });
}

void TFormFleet::SaveLogClick() {
    handle([&] {
        Prompts::FileDialog d;
        d.title = QStringLiteral("Save the fleet log");
        d.filter = QStringLiteral("Text files (*.txt);;All files (*.*)");
        d.defaultSuffix = QStringLiteral("txt");
        d.fileName = QStringLiteral("fleet-log.txt");
        const QString path = services_.prompts->SaveFile(this, d);
        if (path.isEmpty()) return;
        saveWhole(path, (LogLines().join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    });
}

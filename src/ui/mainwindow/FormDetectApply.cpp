// "Apply": writes the IP settings and names of the marked rows to their gateways.
#include "actions/SetNetwork.h"
#include "discovery/IPv4Text.h"
#include "engine/GatewayEngine.h"
#include "engine/NetworkExchange.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"

namespace {
// The address columns every row must hold valid texts in: IP, mask, gateway, VarnexView IP.
constexpr int kAddressColumns[] = {4, 5, 6, 7};
constexpr int kApplyColumn = 8;
constexpr int kCurrentIpColumn = 11;
}  // namespace

void TFormDetect::FlatButton1Click() {
    handle([&] {
        if (DeviceCount == 0) {
            services_.prompts->Message(
                this, QStringLiteral("There is no Varnex.\r\nPlease search the Brinmore."));
            return;
        }

        // Every row's addresses are checked, marked or not, before anything is sent.
        const int rowsToCheck = RGrid->RowCount();
        for (int row = 0; row < rowsToCheck; ++row) {
            for (int col : kAddressColumns) {
                if (!IsValidIPv4(RGrid->Cells(col, row).GetCellText())) {
                    services_.prompts->Message(this,
                                               QStringLiteral("Please check the IP''s setting."));
                    RGrid->setFocus();
                    return;
                }
            }
        }

        int sent = 0;
        const int rowsToSend = RGrid->RowCount();
        for (int row = 0; row < rowsToSend; ++row) {
            if (!RGrid->Cells(kApplyColumn, row).GetCellBool()) continue;
            ++sent;
            NetworkSettingsRow settings;
            settings.mac = RGrid->Cells(1, row).GetCellText();
            settings.name = RGrid->Cells(3, row).GetCellText();
            settings.ip = RGrid->Cells(4, row).GetCellText();
            settings.mask = RGrid->Cells(5, row).GetCellText();
            settings.gateway = RGrid->Cells(6, row).GetCellText();
            settings.viewIp = RGrid->Cells(7, row).GetCellText();
            // The datagram is built before the port is taken: a row that
            // does not encode stops here with nothing sent.
            BuildSetNetwork(settings);
            UDPServer->SetActive(true);
            UDPServer->SetBroadcastEnabled(true);
            SendNetworkSettings(*Engine, settings);

            // A mark is cleared only once its datagram has gone out.
            RGrid->Cells(kApplyColumn, row).SetCellBool(false);
            RGrid->Cells(kCurrentIpColumn, row).SetCellText(settings.ip);
            RGrid->PostEdit();
        }
        if (sent > 0) JudgeReachability();
        services_.prompts->Message(this, ApplyResultMessage(sent));
    });
}

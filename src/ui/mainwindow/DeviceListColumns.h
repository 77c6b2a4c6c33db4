#pragma once

#include "widgets/TRealGridColumn.h"

#include <QVector>

// Column indexes of the device list, as every command reads them.
namespace DeviceColumn {
enum : int {
    Model = 0,
    Mac = 1,
    Version = 2,
    DeviceName = 3,
    IpAddress = 4,
    SubnetMask = 5,
    Gateway = 6,
    ViewIp = 7,
    Apply = 8,
    Column0 = 9,   // hidden, unused
    Column1 = 10,  // hidden, unused
    Column2 = 11,  // hidden: the device's current IP address
};
}

// The twelve columns of the device list, described once.
QVector<TRealGridColumn> DeviceListColumns();

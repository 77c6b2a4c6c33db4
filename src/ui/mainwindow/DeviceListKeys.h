#pragma once

#include <QChar>

// The key filter of the device list. Model, MAC, version and name (columns 0 to
// 3) take any character; from column 4 on (the addresses, the Apply box and the
// hidden columns) only digits, ".", "%", "'" and backspace pass. So the space
// bar does not toggle an Apply box.
bool DeviceListKeyPasses(int column, QChar key);

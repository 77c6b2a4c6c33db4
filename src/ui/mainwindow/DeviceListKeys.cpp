#include "mainwindow/DeviceListKeys.h"

bool DeviceListKeyPasses(int column, QChar key) {
    if (column >= 0 && column <= 3) return true;
    const char16_t c = key.unicode();
    return c == 0x08 || c == u'%' || c == u'\'' || c == u'.' || (c >= u'0' && c <= u'9');
}

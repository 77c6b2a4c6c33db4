#pragma once

#include "VarnexVersion.h"

#include <QString>

// The application title: the task-bar text and the caption of every message box.
inline QString AppTitle() {
    return QStringLiteral("VarnexConfig v" VARNEX_VERSION);
}

#pragma once

#include <QIcon>

// The program's icon at every size built into it (PNGs rendered from
// packaging/varnexconfig.svg), for the window and the task bar.
QIcon AppIcon();

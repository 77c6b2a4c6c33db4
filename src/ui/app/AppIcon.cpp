#include "app/AppIcon.h"

#include <QDirIterator>

QIcon AppIcon() {
    // One PNG per size under :/icons/varnexconfig/; QIcon reads each size from
    // its file, so a size added to the build needs no change here.
    QIcon icon;
    QDirIterator files(QStringLiteral(":/icons/varnexconfig"), {QStringLiteral("*.png")});
    while (files.hasNext()) icon.addFile(files.next());
    return icon;
}

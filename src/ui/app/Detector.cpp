#include "app/Detector.h"

#include "app/AppIcon.h"
#include "app/AppTitle.h"
#include "app/ErrorDisplay.h"
#include "configform/TConfigForm.h"
#include "mainwindow/TFormDetect.h"

#include <QScreen>

VarnexApplication::VarnexApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VarnexApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (prompts_) ShowCurrentException(*prompts_, activeWindow());
        return false;
    }
}

int Detector(VarnexApplication& app, const Services& services) {
    app.SetPrompts(services.prompts);
    QApplication::setApplicationName(AppTitle());
    QApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(AppIcon());
    // Ties the window to the menu entry (varnexconfig.desktop) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("varnexconfig"));

    TFormDetect formDetect(services);
    TConfigForm configForm(services, &formDetect);
    configForm.hide();
    formDetect.SetConfigForm(&configForm);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        formDetect.move(area.center() - formDetect.rect().center());
    }
    formDetect.show();
    return app.exec();
}

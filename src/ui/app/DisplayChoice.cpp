#include "app/DisplayChoice.h"

#include <QDir>
#include <QLibraryInfo>

namespace {

// Qt reads "-platform NAME" (or "--platform NAME") anywhere on the command line;
// the option with no name after it chooses nothing.
bool NamesPlatform(const QStringList& arguments) {
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform"))
            return true;
    }
    return false;
}

// The folders Qt searches for platform plugins, in its own order.
QStringList PlatformPluginFolders() {
    QStringList folders;
    const QString platformPath = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!platformPath.isEmpty()) folders << platformPath;
    const QStringList pluginPaths =
        qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& path : pluginPaths) folders << path + QStringLiteral("/platforms");
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    return folders;
}

}  // namespace

DisplayChoice ChooseDisplay(const DisplayEnvironment& environment, const QStringList& arguments) {
    if (NamesPlatform(arguments) || !environment.qpaPlatform.isEmpty())
        return DisplayChoice::AsGiven;
    // X11 first, also on a Wayland desktop that offers it: there the window keeps
    // the place and fixed size it was laid out for.
    if (!environment.display.isEmpty()) return DisplayChoice::X11;
    if (!environment.waylandDisplay.isEmpty())
        return environment.waylandPluginInstalled ? DisplayChoice::Wayland
                                                  : DisplayChoice::NoWaylandPlugin;
    return DisplayChoice::NoDisplay;
}

DisplayEnvironment CurrentDisplayEnvironment() {
    DisplayEnvironment environment;
    environment.display = qgetenv("DISPLAY");
    environment.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    environment.qpaPlatform = qgetenv("QT_QPA_PLATFORM");
    // Only worth a look where it decides something.
    if (environment.display.isEmpty() && !environment.waylandDisplay.isEmpty()) {
        for (const QString& folder : PlatformPluginFolders()) {
            if (!QDir(folder)
                     .entryList({QStringLiteral("libqwayland*.so")}, QDir::Files)
                     .isEmpty()) {
                environment.waylandPluginInstalled = true;
                break;
            }
        }
    }
    return environment;
}

std::optional<QString> RefusalText(DisplayChoice choice) {
    switch (choice) {
        case DisplayChoice::NoDisplay:
            return QStringLiteral(
                "varnexconfig needs a graphical desktop (neither DISPLAY nor WAYLAND_DISPLAY is "
                "set); from a terminal, varnexctl does the same work: see varnexctl --help");
        case DisplayChoice::NoWaylandPlugin:
            return QStringLiteral(
                "varnexconfig needs Qt's Wayland plugin on this desktop (Debian package "
                "qt6-wayland); from a terminal, varnexctl does the same work: see varnexctl "
                "--help");
        case DisplayChoice::AsGiven:
        case DisplayChoice::X11:
        case DisplayChoice::Wayland:
            break;
    }
    return std::nullopt;
}

ApplicationArguments::ApplicationArguments(int argc, char** argv, DisplayChoice choice)
    : platformOption_("-platform") {
    if (choice == DisplayChoice::X11) platformName_ = "xcb";
    if (choice == DisplayChoice::Wayland) platformName_ = "wayland";

    argv_.reserve(argc + 3);
    if (argc > 0) argv_.push_back(argv[0]);
    if (!platformName_.isEmpty()) {
        argv_.push_back(platformOption_.data());
        argv_.push_back(platformName_.data());
    }
    for (int i = 1; i < argc; ++i) argv_.push_back(argv[i]);
    argc_ = static_cast<int>(argv_.size());
    argv_.push_back(nullptr);
}

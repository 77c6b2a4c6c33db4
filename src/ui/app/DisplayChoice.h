#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

// Where the window program draws, decided before the application object exists:
// Qt ends the process with an abort when no platform plugin can start, and
// places windows differently on X11 and on Wayland.
enum class DisplayChoice {
    AsGiven,          // the user named a platform (-platform, QT_QPA_PLATFORM): Qt's own choice
    X11,              // an X display: xcb, where the window keeps its centred, fixed-size place
    Wayland,          // a Wayland display and no X one: the compositor places the window
    NoDisplay,        // no graphical desktop at all
    NoWaylandPlugin,  // Wayland only, and Qt's Wayland plugin is not installed
};

// What the choice depends on. An empty variable counts as unset, as it does for Qt.
struct DisplayEnvironment {
    QByteArray display;         // DISPLAY
    QByteArray waylandDisplay;  // WAYLAND_DISPLAY
    QByteArray qpaPlatform;     // QT_QPA_PLATFORM
    bool waylandPluginInstalled = false;
};

// arguments: the whole command line, the program's name first.
DisplayChoice ChooseDisplay(const DisplayEnvironment& environment, const QStringList& arguments);

// This process's environment, with a look for Qt's Wayland platform plugin
// where Qt would load it from.
DisplayEnvironment CurrentDisplayEnvironment();

// The one line the program prints (on stderr) before it exits with status 1, or
// nullopt for the choices it goes on with.
std::optional<QString> RefusalText(DisplayChoice choice);

// The command line for the application object: the program's own, with
// "-platform NAME" after the program's name when the program picks the platform.
// The pointers stay valid as long as this object lives, as QApplication requires.
class ApplicationArguments {
public:
    ApplicationArguments(int argc, char** argv, DisplayChoice choice);
    ApplicationArguments(const ApplicationArguments&) = delete;
    ApplicationArguments& operator=(const ApplicationArguments&) = delete;

    int& argc() { return argc_; }
    char** argv() { return argv_.data(); }

private:
    QByteArray platformOption_;
    QByteArray platformName_;
    std::vector<char*> argv_;
    int argc_ = 0;
};

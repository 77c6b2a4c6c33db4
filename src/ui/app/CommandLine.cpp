#include "app/CommandLine.h"

#include "VarnexVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

std::optional<int> AnswerHelpOrVersion(int argc, char** argv) {
    // A core application reads argv for the parser without opening a display;
    // it is gone again before the widget application is made.
    int coreArgc = argc;
    QCoreApplication core(coreArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnexconfig"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds the Varnex gateways on the local network segment, changes their IP "
                       "settings and names, reads, edits and writes a gateway's configuration, "
                       "keeps it in a file, upgrades firmware, and opens a gateway's web page or "
                       "a Telnet session.\n"
                       "It talks to the gateways by UDP broadcast on port 2058 and takes no "
                       "options of its own beyond these; Qt's standard options (-platform, "
                       "-style, ...) are accepted.\n"
                       "The window opens on the X11 display when DISPLAY is set, otherwise on "
                       "the Wayland display (WAYLAND_DISPLAY); -platform or QT_QPA_PLATFORM "
                       "choose another. With no display it says so and exits with status 1: "
                       "varnexctl does the same work from a terminal."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Unknown options may be Qt's own: the window program goes on with them.
    if (!parser.parse(QCoreApplication::arguments())) return std::nullopt;

    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()), VARNEX_VERSION);
        return 0;
    }
    return std::nullopt;
}

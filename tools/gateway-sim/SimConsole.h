#pragma once

#include <QByteArray>
#include <QString>

class Simulator;

// What one stdin command produced: text for stdout (the dump), text for stderr
// (confirmations and complaints), and whether to stop.
struct ConsoleOutcome {
    QByteArray out;
    QByteArray err;
    bool quit = false;
};

// One line from stdin: "dump", "quit", "fault NAME[=VALUE]", "unfault NAME".
ConsoleOutcome RunConsoleCommand(Simulator& sim, const QString& line);

#include "SimConsole.h"

#include "Simulator.h"

#include <QJsonDocument>

namespace {
QByteArray note(const QString& text) {
    return QStringLiteral("gateway-sim: %1\n").arg(text).toUtf8();
}
}  // namespace

ConsoleOutcome RunConsoleCommand(Simulator& sim, const QString& line) {
    ConsoleOutcome outcome;
    const QString text = line.trimmed();
    const int space = text.indexOf(QLatin1Char(' '));
    const QString command = space < 0 ? text : text.left(space);
    const QString argument = space < 0 ? QString() : text.mid(space + 1).trimmed();

    if (command.isEmpty()) return outcome;
    if (command == QLatin1String("dump")) {
        // One line, so that a reader can take it with a single readLine.
        outcome.out = QJsonDocument(sim.toJson()).toJson(QJsonDocument::Compact) + '\n';
    } else if (command == QLatin1String("quit")) {
        outcome.quit = true;
    } else if (command == QLatin1String("fault")) {
        QString error;
        outcome.err = sim.faults().add(argument, error)
                          ? note(QStringLiteral("fault %1 on").arg(argument))
                          : note(QStringLiteral("fault: %1").arg(error));
    } else if (command == QLatin1String("unfault")) {
        sim.faults().remove(argument);
        outcome.err = note(QStringLiteral("fault %1 off").arg(argument));
    } else {
        outcome.err = note(QStringLiteral("unknown command '%1' (dump, quit, fault NAME[=VALUE], "
                                          "unfault NAME)")
                               .arg(command));
    }
    return outcome;
}

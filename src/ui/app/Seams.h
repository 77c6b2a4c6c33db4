#pragma once

#include "platform/Platform.h"

#include <QString>

class QWidget;
class Clock;
class GatewayEngine;
class RouteTable;

// What tests must answer or record goes through one interface each. The program
// passes the real ones (RealSeams.h); tests pass fakes.

// Operator prompts: messages, the error display and the file dialogs.
class Prompts {
public:
    virtual ~Prompts() = default;
    // Modal, titled with the application title, a single OK, no icon.
    virtual void Message(QWidget* parent, const QString& text) = 0;
    // The top-level error display: the error icon, the application title.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // A warning with a choice: true when the operator chooses to go on, false
    // to stop. Titled like Message, "No" is the default.
    virtual bool Question(QWidget* parent, const QString& text) = 0;

    struct FileDialog {
        QString title;
        QString filter;  // Qt form: "All files (*.*);;Firmware File (*.bin)"
        QString defaultSuffix;
        QString fileName;
    };
    // The chosen path, or an empty text when the operator cancelled.
    virtual QString OpenFile(QWidget* parent, const FileDialog& dialog) = 0;
    virtual QString SaveFile(QWidget* parent, const FileDialog& dialog) = 0;
    // An existing folder, or an empty text when the operator cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& title) = 0;
};

struct Services {
    Prompts* prompts = nullptr;
    Platform* platform = nullptr;
    Clock* clock = nullptr;
    // The program's one owner of port 2058, shared by the window and the
    // dialog; a window given none makes its own.
    GatewayEngine* engine = nullptr;
    // Routes and addresses of this PC; nullptr: the system's own.
    RouteTable* routes = nullptr;
};

#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;
class Clock;

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

    struct FileDialog {
        QString title;
        QString filter;  // Qt form: "All files (*.*);;Firmware File (*.bin)"
        QString defaultSuffix;
        QString fileName;
    };
    // The chosen path, or an empty text when the operator cancelled.
    virtual QString OpenFile(QWidget* parent, const FileDialog& dialog) = 0;
    virtual QString SaveFile(QWidget* parent, const FileDialog& dialog) = 0;
};

// Services of the desktop. Programs are started with an argument list, never
// through a shell.
class Platform {
public:
    virtual ~Platform() = default;
    // Starts a program detached and returns at once; false when it cannot start.
    virtual bool StartProcess(const QString& program, const QStringList& arguments) = 0;
    // Opens a URL in the desktop's browser; false when none can be started.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // The full path of a program on the PATH, or an empty text.
    virtual QString FindProgram(const QString& name) = 0;
};

struct Services {
    Prompts* prompts = nullptr;
    Platform* platform = nullptr;
    Clock* clock = nullptr;
};

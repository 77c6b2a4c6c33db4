#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

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

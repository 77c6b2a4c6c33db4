#pragma once

#include "app/Seams.h"

#include <QApplication>

// The application object. An exception that escapes an event handler without
// passing through the handler's own error display still ends in the top-level
// error display instead of ending the program.
class VarnexApplication : public QApplication {
public:
    VarnexApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    void SetPrompts(Prompts* prompts) { prompts_ = prompts; }

private:
    Prompts* prompts_ = nullptr;
};

// Program entry: the title, the main window, the hidden configuration dialog,
// the message loop until the main window closes.
int Detector(VarnexApplication& app, const Services& services);

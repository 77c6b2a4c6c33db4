#pragma once

#include "app/Seams.h"

#include <QString>

class QWidget;

// The text of an escaped error as the operator sees it: a "." is added when the
// last character sorts after "." ("No Hex-Number" becomes "No Hex-Number.").
QString ErrorDisplayText(const QString& text);

// Shows an error that escaped a handler, through the top-level error display.
void ShowEscapedError(Prompts& prompts, QWidget* parent, const QString& text);

// Runs one event handler. An error that escapes it ends the handler where it
// arose and is shown by the top-level error display; the program goes on and
// what the handler had done before stays done.
template <typename Handler>
void RunHandler(Prompts& prompts, QWidget* parent, Handler&& handler);

// Implementation detail of RunHandler.
void ShowCurrentException(Prompts& prompts, QWidget* parent);

template <typename Handler>
void RunHandler(Prompts& prompts, QWidget* parent, Handler&& handler) {
    try {
        handler();
    } catch (...) {
        ShowCurrentException(prompts, parent);
    }
}

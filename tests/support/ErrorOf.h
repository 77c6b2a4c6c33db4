#pragma once

#include "link/VarnexError.h"

#include <QString>

// Runs f and gives the text of the VarnexError it raises, or "<no error>".
template <typename F>
QString errorOf(F&& f) {
    try {
        f();
    } catch (const VarnexError& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

#pragma once

#include <QString>
#include <stdexcept>

// Every error the program raises carries the text the operator is shown.
// Handlers let it escape; the top-level error display shows it.
class VarnexError : public std::runtime_error {
public:
    explicit VarnexError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

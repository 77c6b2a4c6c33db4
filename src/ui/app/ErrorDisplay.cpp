#include "app/ErrorDisplay.h"

#include "link/VarnexError.h"

#include <exception>
#include <new>

QString ErrorDisplayText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) return text + QLatin1Char('.');
    return text;
}

void ShowEscapedError(Prompts& prompts, QWidget* parent, const QString& text) {
    prompts.Error(parent, ErrorDisplayText(text));
}

void ShowCurrentException(Prompts& prompts, QWidget* parent) {
    try {
        throw;
    } catch (const VarnexError& e) {
        ShowEscapedError(prompts, parent, e.text());
    } catch (const std::bad_alloc&) {
        ShowEscapedError(prompts, parent, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        ShowEscapedError(prompts, parent, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowEscapedError(prompts, parent, QStringLiteral("Unknown error"));
    }
}

#include "configform/ConfigEdit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

#include <climits>

ConfigEdit::ConfigEdit(QWidget* parent) : QLineEdit(parent) {}

int ConfigEdit::room() const {
    if (typedLimit_ <= 0) return INT_MAX;
    return typedLimit_ - (text().size() - selectedText().size());
}

void ConfigEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        // A paste takes as much as fits, like typing would.
        const QString pasted = QGuiApplication::clipboard()->text();
        const int fits = qMax(0, qMin<int>(room(), pasted.size()));
        if (fits < pasted.size()) {
            if (fits > 0) insert(pasted.left(fits));
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString typed = event->text();
    // Only characters reach the filter; navigation, Tab and the Ctrl shortcuts
    // (copy, select all) keep working.
    if (typed.size() == 1 && (typed[0].isPrint() || typed[0] == QChar(8))) {
        QChar key = typed[0];
        if (OnKeyPress) OnKeyPress(key);
        if (key.isNull()) {
            event->accept();
            return;
        }
        if (key != QChar(8) && room() <= 0) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

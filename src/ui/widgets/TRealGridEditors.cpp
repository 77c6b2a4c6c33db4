#include "widgets/TRealGridEditors.h"

#include "widgets/TRealGridValues.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

QString TypedText(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) return QStringLiteral("\b");
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QString();
    const QString text = event->text();
    for (const QChar c : text) {
        if (!c.isPrint() && !c.isSurrogate()) return QString();
    }
    return text;
}

namespace {

// The key of an event that types `text` in place of what the operator's key typed.
int RetypedKey(const QString& text) {
    return text == QStringLiteral("\b") ? int(Qt::Key_Backspace) : 0;
}

int DigitCount(const QString& text) {
    int n = 0;
    for (const QChar c : text) n += c.isDigit() ? 1 : 0;
    return n;
}

}  // namespace

bool TRealGridEditor::FilterText(QString& text) {
    if (!hooks_.FilterChar) return true;
    for (QChar& c : text) {
        if (!hooks_.FilterChar(c) || c.isNull()) return false;
    }
    return true;
}

void TRealGridEditor::Touch() {
    if (dirty_) return;
    dirty_ = true;
    if (hooks_.Touched) hooks_.Touched();
}

void TRealGridEditor::Beep() {
    if (hooks_.Beep) hooks_.Beep();
}

// ---- text ----------------------------------------------------------------

TRealGridTextEdit::TRealGridTextEdit(QWidget* parent, TRealGridEditorHooks hooks, int limit)
    : QLineEdit(parent), TRealGridEditor(std::move(hooks)) {
    setFrame(false);
    if (limit > 0) setMaxLength(limit);
    connect(this, &QLineEdit::textEdited, this, [this] { Touch(); });
}

void TRealGridTextEdit::Load(const TRealGridColumn& column, const QVariant& value) {
    setText(RealGridValues::TextOf(column, value));
    SetClean();
}

std::optional<QVariant> TRealGridTextEdit::Pending(const TRealGridColumn& column) const {
    if (!IsDirty()) return std::nullopt;
    return RealGridValues::FromText(column, text());
}

void TRealGridTextEdit::keyPressEvent(QKeyEvent* event) {
    QString typed = TypedText(event);
    if (typed.isEmpty()) return QLineEdit::keyPressEvent(event);
    const QString original = typed;
    if (!FilterText(typed)) return event->accept();
    if (typed != QStringLiteral("\b") &&
        text().size() - selectedText().size() + typed.size() > maxLength()) {
        Beep();
        return event->accept();
    }
    if (typed == original) return QLineEdit::keyPressEvent(event);
    QKeyEvent retyped(QEvent::KeyPress, RetypedKey(typed), event->modifiers(), typed);
    QLineEdit::keyPressEvent(&retyped);
    event->setAccepted(retyped.isAccepted());
}

// ---- number --------------------------------------------------------------

TRealGridNumberEdit::TRealGridNumberEdit(QWidget* parent, TRealGridEditorHooks hooks,
                                         int digitLimit, bool minusAllowed)
    : QLineEdit(parent),
      TRealGridEditor(std::move(hooks)),
      digitLimit_(digitLimit),
      minusAllowed_(minusAllowed) {
    setFrame(false);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The validator keeps pasted text to what typing could give.
    const QString pattern = QStringLiteral("%1[0-9]{0,%2}")
                                .arg(minusAllowed ? QStringLiteral("-?") : QString())
                                .arg(digitLimit);
    setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
    connect(this, &QLineEdit::textEdited, this, [this] { Touch(); });
}

void TRealGridNumberEdit::Load(const TRealGridColumn& column, const QVariant& value) {
    setText(RealGridValues::TextOf(column, value));
    SetClean();
}

std::optional<QVariant> TRealGridNumberEdit::Pending(const TRealGridColumn& column) const {
    if (!IsDirty()) return std::nullopt;
    return RealGridValues::FromTypedNumber(column, text());
}

bool TRealGridNumberEdit::TakeDigit() {
    return DigitCount(text()) - DigitCount(selectedText()) < digitLimit_;
}

void TRealGridNumberEdit::ToggleSign() {
    QString value = text();
    if (value.startsWith(QLatin1Char('-')))
        value.remove(0, 1);
    else
        value.prepend(QLatin1Char('-'));
    setText(value);
    Touch();
}

void TRealGridNumberEdit::keyPressEvent(QKeyEvent* event) {
    QString typed = TypedText(event);
    if (typed.isEmpty()) return QLineEdit::keyPressEvent(event);
    if (!FilterText(typed)) return event->accept();
    event->accept();
    for (const QChar c : typed) {
        if (c == QLatin1Char('\b')) {
            QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, typed);
            QLineEdit::keyPressEvent(&back);
        } else if (c == QLatin1Char('-')) {
            if (minusAllowed_)
                ToggleSign();
            else
                Beep();
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if (!TakeDigit()) {
                Beep();
                continue;
            }
            QKeyEvent digit(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QLineEdit::keyPressEvent(&digit);
        } else {
            Beep();
        }
    }
}

// ---- list ----------------------------------------------------------------

TRealGridListEdit::TRealGridListEdit(QWidget* parent, TRealGridEditorHooks hooks,
                                     const QStringList& values)
    : QComboBox(parent), TRealGridEditor(std::move(hooks)) {
    setEditable(false);
    addItems(values);
    setMaxVisibleItems(8);
    view()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (itemText(index) != loaded_) Touch();
    });
}

void TRealGridListEdit::Load(const TRealGridColumn& column, const QVariant& value) {
    loaded_ = RealGridValues::TextOf(column, value);
    setCurrentIndex(findText(loaded_, Qt::MatchExactly | Qt::MatchCaseSensitive));
    SetClean();
}

std::optional<QVariant> TRealGridListEdit::Pending(const TRealGridColumn& column) const {
    if (!IsDirty() || currentIndex() < 0) return std::nullopt;
    return RealGridValues::FromText(column, currentText());
}

void TRealGridListEdit::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            // Row moves belong to the grid; Alt+Down still opens the list.
            if (!alt) return event->ignore();
            return QComboBox::keyPressEvent(event);
        default:
            break;
    }
    QString typed = TypedText(event);
    if (typed.isEmpty() || typed == QStringLiteral("\b")) return QComboBox::keyPressEvent(event);
    event->accept();
    if (!FilterText(typed)) return;
    showPopup();
    view()->keyboardSearch(typed);
}

bool TRealGridListEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view() || event->type() != QEvent::KeyPress)
        return QComboBox::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QString typed = TypedText(key);
    if (typed.isEmpty() || typed == QStringLiteral("\b")) return false;
    const QString original = typed;
    if (!FilterText(typed)) return true;
    if (typed == original) return false;
    view()->keyboardSearch(typed);
    return true;
}

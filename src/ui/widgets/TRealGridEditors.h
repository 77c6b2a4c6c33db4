#pragma once

#include "widgets/TRealGridColumn.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVariant>

#include <functional>
#include <optional>

class QKeyEvent;

// What an in-place editor asks of its grid.
struct TRealGridEditorHooks {
    // The grid's OnKeyPress for one typed character; false refuses it, and the
    // character may come back replaced.
    std::function<bool(QChar&)> FilterChar;
    // The operator has changed the editor's content for the first time since it
    // was loaded: the row enters the edit state.
    std::function<void()> Touched;
    std::function<void()> Beep;
};

// The characters a key press types into an editor (backspace included as "\b"),
// or an empty text for a key that types nothing (moves, Enter, shortcuts).
QString TypedText(const QKeyEvent* event);

// The part every in-place editor shares: the key hook, and whether the operator
// has changed the content since the grid loaded it. An unchanged editor never
// writes to its cell, so a value the program stores meanwhile is not overwritten.
class TRealGridEditor {
public:
    explicit TRealGridEditor(TRealGridEditorHooks hooks) : hooks_(std::move(hooks)) {}
    virtual ~TRealGridEditor() = default;

    bool IsDirty() const { return dirty_; }
    // Shows the cell's value and forgets earlier changes.
    virtual void Load(const TRealGridColumn& column, const QVariant& value) = 0;
    // The value the operator entered, in the column's type; nothing when the
    // editor holds no entry of the operator's.
    virtual std::optional<QVariant> Pending(const TRealGridColumn& column) const = 0;

protected:
    // Runs every character through the grid's hook; false when one was refused.
    bool FilterText(QString& text);
    void Touch();
    void Beep();
    void SetClean() { dirty_ = false; }

private:
    TRealGridEditorHooks hooks_;
    bool dirty_ = false;
};

// One-line text, at most `limit` characters (0: no limit of its own).
class TRealGridTextEdit : public QLineEdit, public TRealGridEditor {
public:
    TRealGridTextEdit(QWidget* parent, TRealGridEditorHooks hooks, int limit);
    void Load(const TRealGridColumn& column, const QVariant& value) override;
    std::optional<QVariant> Pending(const TRealGridColumn& column) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Digits and a sign, right-aligned like a calculator display.
class TRealGridNumberEdit : public QLineEdit, public TRealGridEditor {
public:
    TRealGridNumberEdit(QWidget* parent, TRealGridEditorHooks hooks, int digitLimit,
                        bool minusAllowed);
    void Load(const TRealGridColumn& column, const QVariant& value) override;
    std::optional<QVariant> Pending(const TRealGridColumn& column) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool TakeDigit();
    void ToggleSign();

    int digitLimit_;
    bool minusAllowed_;
};

// A drop-down list of the column's Values. Typing opens the list and selects the
// matching entry; only an entry the operator picks (Enter or a click) is taken.
class TRealGridListEdit : public QComboBox, public TRealGridEditor {
public:
    TRealGridListEdit(QWidget* parent, TRealGridEditorHooks hooks, const QStringList& values);
    void Load(const TRealGridColumn& column, const QVariant& value) override;
    std::optional<QVariant> Pending(const TRealGridColumn& column) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString loaded_;
};

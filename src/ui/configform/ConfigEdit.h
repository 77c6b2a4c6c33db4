#pragma once

#include <QLineEdit>

#include <functional>

// A one-line edit of the configuration dialog. Its limit applies to what the
// operator types and pastes only: a longer text put in by the program (a reply
// or a file) stays whole. OnKeyPress sees every typed character first and may
// refuse it by setting it to QChar(0).
class ConfigEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ConfigEdit(QWidget* parent = nullptr);

    int TypedLimit() const { return typedLimit_; }
    void SetTypedLimit(int characters) { typedLimit_ = characters; }

    std::function<void(QChar& key)> OnKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Characters the operator may still add in place of the selection.
    int room() const;
    int typedLimit_ = 0;  // 0: no limit
};

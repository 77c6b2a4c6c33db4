#pragma once

#include <QDialog>

class Prompts;
class QLabel;
class QLineEdit;
class QPushButton;

// "Search by IP": asks for one address and closes with OK once it is a valid
// IPv4 text. The address is handed on exactly as typed.
class TFormSearchIP : public QDialog {
    Q_OBJECT
public:
    explicit TFormSearchIP(Prompts& prompts, QWidget* parent = nullptr);

    // The text of FlatEdit1 as the operator typed it.
    QString Address() const;

    QLabel* Label1 = nullptr;  // "IP address", names FlatEdit1 for accessibility
    QLineEdit* FlatEdit1 = nullptr;
    QPushButton* FlatSpeedButton1 = nullptr;  // "Search"
    QPushButton* FlatSpeedButton2 = nullptr;  // "Cancel"

public slots:
    void FlatSpeedButton1Click();
    void FlatSpeedButton2Click();
    void FlatEdit1KeyUp(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Prompts& prompts_;
};

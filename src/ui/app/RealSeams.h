#pragma once

#include "app/Seams.h"

class QtPrompts : public Prompts {
public:
    void Message(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& text) override;
    bool Question(QWidget* parent, const QString& text) override;
    QString OpenFile(QWidget* parent, const FileDialog& dialog) override;
    QString SaveFile(QWidget* parent, const FileDialog& dialog) override;
    QString ChooseFolder(QWidget* parent, const QString& title) override;

private:
    QString runFileDialog(QWidget* parent, const FileDialog& dialog, bool save);
    QString startFolder() const;
    QString lastFolder_;
};

class DesktopPlatform : public Platform {
public:
    bool StartProcess(const QString& program, const QStringList& arguments) override;
    bool OpenUrl(const QUrl& url) override;
    QString FindProgram(const QString& name) override;
};

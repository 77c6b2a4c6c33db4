#pragma once

#include "app/Seams.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "support/FakeRoutes.h"

#include <QList>
#include <QPair>
#include <QQueue>
#include <QStringList>
#include <QUrl>

#include <functional>

// Prompts that record what the operator would be shown and answer file dialogs
// from a script.
class FakePrompts : public Prompts {
public:
    void Message(QWidget*, const QString& text) override {
        messages << text;
        // The real box is modal: whatever the operator's reading time lets
        // through runs meanwhile.
        if (whileMessageOpen) whileMessageOpen();
    }
    void Error(QWidget*, const QString& text) override { errors << text; }
    bool Question(QWidget*, const QString& text) override {
        questions << text;
        return questionAnswers.isEmpty() ? false : questionAnswers.dequeue();
    }
    QString OpenFile(QWidget*, const FileDialog& d) override {
        openDialogs << d;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString SaveFile(QWidget*, const FileDialog& d) override {
        saveDialogs << d;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }

    QString ChooseFolder(QWidget*, const QString& title) override {
        folderDialogs << title;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }

    QStringList messages;
    QStringList errors;
    QStringList questions;
    QQueue<bool> questionAnswers;  // none left: the operator stops
    QStringList folderDialogs;
    QList<FileDialog> openDialogs;
    QList<FileDialog> saveDialogs;
    QQueue<QString> fileAnswers;  // empty text = the operator cancels
    std::function<void()> whileMessageOpen;
};

// Records what would be started instead of starting it.
class FakePlatform : public Platform {
public:
    bool StartProcess(const QString& program, const QStringList& arguments) override {
        started << qMakePair(program, arguments);
        return startSucceeds;
    }
    bool OpenUrl(const QUrl& url) override {
        urls << url;
        return openSucceeds;
    }
    QString FindProgram(const QString& name) override {
        return knownPrograms.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }

    QList<QPair<QString, QStringList>> started;
    QList<QUrl> urls;
    QStringList knownPrograms;
    bool startSucceeds = true;
    bool openSucceeds = true;
};

// Fake seams bundled for a test; the clock runs `speed` times faster than real time.
struct FakeServices {
    explicit FakeServices(double speed = 1.0) : clock(speed), engine(clock) {
        services.prompts = &prompts;
        services.platform = &platform;
        services.clock = &clock;
        services.engine = &engine;
        services.routes = &routes;
    }
    FakePrompts prompts;
    FakePlatform platform;
    ScaledClock clock;
    // One owner of port 2058 for the window and the dialog, as in the program.
    GatewayEngine engine;
    // Every gateway reachable unless a test says otherwise; set services.routes
    // to nullptr for the system's own routes.
    FakeRoutes routes = FakeRoutes::AllOnLink();
    Services services;
};

#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

// Runs `inside` once `dialog` is shown modally (a handler may pause and send
// before it shows it), then closes the dialog whatever `inside` found, so that
// a failed check cannot leave the test in the modal loop.
inline void WhileModal(QDialog& dialog, std::function<void()> inside) {
    auto* poll = new QTimer(&dialog);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, poll, inside] {
        if (!dialog.isVisible() || !dialog.testAttribute(Qt::WA_ShowModal)) return;
        poll->stop();
        poll->deleteLater();
        inside();
        dialog.close();
    });
    poll->start();
}

#pragma once

#include "engine/FirmwareRun.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QEventLoop;
class Clock;
class TFormDetect;

// The main window's side of one firmware upgrade: the tool bar and the list are
// disabled while it lives, the progress panel shows the acknowledged bytes and
// the blinking "Waiting For Complete". Whatever way the run ends (result, error,
// window closed) the panel is hidden and the panels are enabled again, and a
// window that has gone is never touched.
class FirmwareScreen : public QObject, public FirmwareObserver {
    Q_OBJECT
public:
    FirmwareScreen(TFormDetect& form, Clock& clock);
    ~FirmwareScreen() override;

    // The gauge's range for an image of `size` bytes (-1: unknown).
    void SetImageSize(qint64 size);
    void ShowProgress();
    void HideProgress();
    // Shows the run's progress until it ends, the window's events going on
    // meanwhile; closing the window abandons it. Gives the run's outcome.
    FirmwareOutcome Follow(FirmwareRun& run);
    // False once the window has been closed or destroyed.
    bool WindowUsable() const { return form_ && !closed_; }

    void ChunkAcknowledged(qint64 bytes) override;
    void CompletionWaitStarted() override;
    void CompletionWaitEnded() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Q_INVOKABLE void runChanged();
    void blink();
    void showAcknowledged();

    QPointer<TFormDetect> form_;
    Clock& clock_;
    QTimer blinkTimer_;
    // The gauge paints at once on every visible change; a chunk is acknowledged
    // far more often than a screen refreshes, so its paints are gathered.
    QTimer gaugeTimer_;
    qint64 acknowledged_ = -1;  // not shown yet; -1: nothing new
    qint64 waitStartMs_ = 0;
    FirmwareRun* run_ = nullptr;
    std::unique_ptr<FirmwareFollower> follower_;
    QEventLoop* loop_ = nullptr;
    bool closed_ = false;
};

// The captions of the progress panel's label.
namespace FirmwareCaption {
inline const char* const Sending = "Sending Firmware...";
inline const char* const Waiting = "Waiting For Complete";
// Shown in even whole seconds of the completion wait, hidden in odd ones.
QString WaitingAfter(qint64 elapsedMs);
}  // namespace FirmwareCaption

#include "mainwindow/FirmwareScreen.h"

#include "link/Clock.h"
#include "mainwindow/TFormDetect.h"

#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include <limits>
#include <utility>

namespace {
// Often enough that the caption changes within a few hundredths of a second of
// the second's turn; the clock scales it with the rest of the wait.
constexpr int kBlinkTickMs = 100;
// About a screen refresh: the bar still moves smoothly.
constexpr int kGaugePaintMs = 20;
}  // namespace

QString FirmwareCaption::WaitingAfter(qint64 elapsedMs) {
    return (elapsedMs / 1000) % 2 == 0 ? QString::fromLatin1(Waiting) : QString();
}

FirmwareScreen::FirmwareScreen(TFormDetect& form, Clock& clock) : form_(&form), clock_(clock) {
    form.FlatPanel1->setEnabled(false);
    form.FlatPanel2->setEnabled(false);
    form.installEventFilter(this);
    blinkTimer_.setInterval(static_cast<int>(qMax<qint64>(1, clock_.realMs(kBlinkTickMs))));
    connect(&blinkTimer_, &QTimer::timeout, this, &FirmwareScreen::blink);
    gaugeTimer_.setSingleShot(true);
    gaugeTimer_.setInterval(kGaugePaintMs);
    connect(&gaugeTimer_, &QTimer::timeout, this, &FirmwareScreen::showAcknowledged);
}

FirmwareScreen::~FirmwareScreen() {
    blinkTimer_.stop();
    showAcknowledged();
    if (!form_) return;
    form_->removeEventFilter(this);
    form_->FlatPanel3->hide();
    form_->FlatPanel1->setEnabled(true);
    form_->FlatPanel2->setEnabled(true);
}

void FirmwareScreen::SetImageSize(qint64 size) {
    QProgressBar* gauge = form_->UpdateProgress;
    // The percentage is cut to a whole number, as the gauge has always shown it.
    gauge->setFormat(QStringLiteral("%p %"));
    gauge->setMinimum(0);
    if (size > 0 && size <= std::numeric_limits<int>::max()) {
        gauge->setMaximum(static_cast<int>(size));
        gauge->setValue(0);
    } else {
        // Nothing to send (or a size the gauge cannot hold): a full bar rather
        // than the busy animation an empty range would give.
        gauge->setMaximum(1);
        gauge->setValue(size == 0 ? 1 : 0);
    }
}

void FirmwareScreen::ShowProgress() {
    if (form_) form_->FlatPanel3->show();
}

void FirmwareScreen::HideProgress() {
    showAcknowledged();
    if (form_) form_->FlatPanel3->hide();
}

FirmwareOutcome FirmwareScreen::Follow(FirmwareRun& run) {
    run_ = &run;
    follower_ = std::make_unique<FirmwareFollower>(run, *this);
    QEventLoop loop;
    loop_ = &loop;
    run.SetOnChange(
        [this] { QMetaObject::invokeMethod(this, "runChanged", Qt::QueuedConnection); });
    if (!run.Finished()) loop.exec();
    run.SetOnChange(nullptr);
    loop_ = nullptr;
    // The last figure is shown before anything else is.
    follower_->Update();
    run_ = nullptr;
    return run.Outcome();
}

void FirmwareScreen::runChanged() {
    if (!run_) return;  // came after the run was followed to its end
    run_->Noticed();
    follower_->Update();
    if (run_->Finished() && loop_) loop_->quit();
}

void FirmwareScreen::ChunkAcknowledged(qint64 bytes) {
    acknowledged_ = bytes;
    if (!gaugeTimer_.isActive()) gaugeTimer_.start();
}

void FirmwareScreen::showAcknowledged() {
    gaugeTimer_.stop();
    const qint64 bytes = std::exchange(acknowledged_, -1);
    if (!form_ || bytes < 0 || bytes > form_->UpdateProgress->maximum()) return;
    form_->UpdateProgress->setValue(static_cast<int>(bytes));
}

void FirmwareScreen::CompletionWaitStarted() {
    showAcknowledged();
    if (!form_) return;
    form_->FUWait->setText(QString::fromLatin1(FirmwareCaption::Waiting));
    form_->FUWait->adjustSize();
    form_->FUWait->show();
    waitStartMs_ = clock_.nowMs();
    blinkTimer_.start();
}

void FirmwareScreen::CompletionWaitEnded() {
    blinkTimer_.stop();
    if (form_) form_->FUWait->hide();
}

void FirmwareScreen::blink() {
    if (form_) form_->FUWait->setText(FirmwareCaption::WaitingAfter(clock_.nowMs() - waitStartMs_));
}

bool FirmwareScreen::eventFilter(QObject* watched, QEvent* event) {
    // Closing the main window ends the program; an upgrade waiting inside it
    // must stop at once rather than send on from a window that is gone.
    if (watched == form_ && event->type() == QEvent::Close) {
        closed_ = true;
        blinkTimer_.stop();
        if (run_) run_->Abandon();
    }
    return QObject::eventFilter(watched, event);
}

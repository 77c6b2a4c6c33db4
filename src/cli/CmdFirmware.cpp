// varnexctl firmware: one image to several gateways in turn.
#include "CliCommon.h"

#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "link/VarnexError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <unistd.h>
#include <cstdio>

namespace {
// Progress on stderr: a bar redrawn in place on a terminal, otherwise a plain
// line at every tenth.
class Progress : public FirmwareObserver {
public:
    Progress(const QString& mac, qint64 size)
        : mac_(mac), size_(size), tty_(::isatty(STDERR_FILENO)) {
        elapsed_.start();
    }
    void ChunkAcknowledged(qint64 bytes) override {
        const int percent = size_ > 0 ? static_cast<int>(bytes * 100 / size_) : 100;
        const double rate = bytes / 1024.0 / qMax<qint64>(1, elapsed_.elapsed()) * 1000.0;
        if (tty_) {
            if (lastDraw_.isValid() && lastDraw_.elapsed() < 100 && bytes < size_) return;
            lastDraw_.start();
            const int filled = percent * 30 / 100;
            Err(QStringLiteral("\r%1 [%2%3] %4 %  %5 KiB/s ")
                    .arg(mac_, QString(filled, QLatin1Char('#')),
                         QString(30 - filled, QLatin1Char('.')))
                    .arg(percent, 3)
                    .arg(rate, 0, 'f', 0));
        } else if (percent / 10 > lastTenth_) {
            lastTenth_ = percent / 10;
            Err(QStringLiteral("%1: %2 % (%3 KiB/s)\n")
                    .arg(mac_)
                    .arg(percent)
                    .arg(rate, 0, 'f', 0));
        }
    }
    void CompletionWaitStarted() override {
        Err(QStringLiteral("%1%2: image sent, waiting for the gateway to confirm\n")
                .arg(tty_ ? QStringLiteral("\n") : QString(), mac_));
    }
    void CompletionWaitEnded() override {}
    double Seconds() const { return elapsed_.elapsed() / 1000.0; }

private:
    QString mac_;
    qint64 size_;
    bool tty_;
    QElapsedTimer elapsed_;
    QElapsedTimer lastDraw_;
    int lastTenth_ = -1;
};

// One gateway's upgrade; the failure's reason, or an empty text on success.
QString upgrade(GatewayEngine& engine, const QByteArray& image, const QString& mac,
                double& seconds) {
    Progress progress(mac, image.size());
    try {
        const std::shared_ptr<FirmwareRun> run = engine.StartFirmware(mac, image);
        FirmwareFollower follower(*run, progress);
        // The engine runs the exchange; this thread wakes to redraw the progress.
        while (!run->Wait(QDeadlineTimer(100))) follower.Update();
        follower.Update();
        seconds = progress.Seconds();
        if (run->Outcome() == FirmwareOutcome::Succeeded) return QString();
        return run->Failure().isEmpty() ? QStringLiteral("the gateway reported a failure")
                                        : run->Failure();
    } catch (const VarnexError& e) {
        return e.text();
    }
}
}  // namespace

int RunFirmware(const QStringList& words) {
    CommandLine cl(
        QStringLiteral("firmware"),
        QStringLiteral("Upgrades each gateway in turn with IMAGE, and prints one result "
                       "line per gateway. A failure does not stop the next gateway.\n"
                       "Exit status: 0 when every upgrade succeeded, 1 when any failed.\n"
                       "Example: varnexctl firmware vx-2.1.0.bin 00-1A-2B-00-00-01 "
                       "00-1A-2B-00-00-02"));
    cl.addPositional(QStringLiteral("IMAGE"), QStringLiteral("The firmware image file."),
                     QStringLiteral("IMAGE"));
    cl.addPositional(QStringLiteral("MAC"), QStringLiteral("The gateways' MAC addresses."),
                     QStringLiteral("MAC [MAC...]"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("How long to wait for the gateways to answer a "
                                                    "discovery (default 3)."),
                                     QStringLiteral("SECONDS"), QStringLiteral("3"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the results as JSON."));
    cl.addOption(timeout);
    cl.addOption(json);
    if (!cl.parse(words, 2, -1)) return Exit::Ok;
    const QString imagePath = cl.positional().first();
    QStringList macs;
    for (const QString& word : cl.positional().mid(1)) macs << MacArgument(word);
    const int timeoutMs = TimeoutArgument(cl.parser().value(timeout));
    QByteArray image;
    {
        QFile file(imagePath);
        if (!file.open(QIODevice::ReadOnly)) {
            throw UsageError(
                QStringLiteral("cannot open the image %1: %2").arg(imagePath, file.errorString()));
        }
        try {
            image = ReadFirmwareImage(imagePath);
        } catch (const VarnexError& e) {
            throw UsageError(e.text());
        }
    }

    auto engine = OpenEngine(cl.interfaceName());
    QStringList missing;
    FindGateways(*engine, macs, timeoutMs, missing);
    QJsonArray results;
    int failed = 0;
    for (const QString& mac : macs) {
        double seconds = 0;
        const QString failure = missing.contains(mac)
                                    ? QStringLiteral("no gateway with MAC %1 answered").arg(mac)
                                    : upgrade(*engine, image, mac, seconds);
        if (!failure.isEmpty()) ++failed;
        results.append(QJsonObject{{QStringLiteral("mac"), mac},
                                   {QStringLiteral("ok"), failure.isEmpty()},
                                   {QStringLiteral("error"), failure}});
        if (!cl.parser().isSet(json)) {
            Out(failure.isEmpty()
                    ? QStringLiteral("%1: upgraded in %2 s\n").arg(mac).arg(seconds, 0, 'f', 3)
                    : QStringLiteral("%1: FAILED: %2\n").arg(mac, PrintableText(failure)));
        }
    }
    if (cl.parser().isSet(json)) OutJson(QJsonDocument(results));
    return failed == 0 ? Exit::Ok : Exit::Failed;
}

// Start-up time to the first painted main window, against a bare Qt window.
// Each sample is a fresh process (offscreen platform): the parent notes the time
// before it starts the child, the child prints the time of its first paint.
#include "configform/TConfigForm.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"

#include <QApplication>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
qint64 nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Prints the time of the watched widget's first paint and ends the process.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            std::printf("%lld\n", static_cast<long long>(nowUs()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

int child(int argc, char** argv, bool program) {
    QApplication app(argc, argv);
    FirstPaint watch;
    if (program) {
        FakeServices fake;
        TFormDetect form(fake.services);
        TConfigForm config(fake.services, &form);
        form.SetConfigForm(&config);
        form.installEventFilter(&watch);
        form.show();
        return app.exec();
    }
    QWidget bare;
    bare.resize(977, 538);
    bare.installEventFilter(&watch);
    bare.show();
    return app.exec();
}

double sampleMs(const QString& self, const char* which) {
    QProcess p;
    const qint64 start = nowUs();
    p.start(self, {QStringLiteral("--child"), QString::fromLatin1(which)});
    p.waitForFinished(30000);
    const qint64 painted = p.readAllStandardOutput().trimmed().toLongLong();
    return (painted - start) / 1000.0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--child") {
        return child(argc, argv, std::string(argv[2]) == "program");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> program, bare;
    for (int i = 0; i < 15; ++i) {
        bare.push_back(sampleMs(self, "bare"));
        program.push_back(sampleMs(self, "program"));
    }
    std::sort(program.begin(), program.end());
    std::sort(bare.begin(), bare.end());
    std::printf(
        "start-up to first painted window: VarnexConfig median %.1f ms, bare Qt window "
        "median %.1f ms (15 runs each, offscreen)\n",
        program[program.size() / 2], bare[bare.size() / 2]);
    return 0;
}

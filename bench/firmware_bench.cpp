// Firmware upgrade speed and idle cost, measured on one veth pair:
//  1. a bare client: the same 128-byte chunks sent from a plain blocking socket
//     to the same simulated gateway, each after the last one's acknowledgement;
//  2. a 1 MiB upgrade through the main window's "Upgrade Firmware" and through
//     varnexctl against that gateway, each as a share of the bare client's rate
//     in the same round;
//  3. a bare ping-pong of 168-byte datagrams with a small echo (this program
//     again, with --echo), which charges the simulator's own work to the program;
//  4. the program's CPU time while it waits 41 s for a gateway that never
//     confirms the end.
// Run: tests/netns/netns-run build/bench/firmware_bench [pairs]
//   pairs: ping-pong and upgrade measured back to back, this many times (5).
//   FIRMWARE_BENCH_SKIP_SILENT=1 leaves out the 41 s wait;
//   FIRMWARE_BENCH_ONLY=window runs one upgrade through the window (for perf).
#include "actions/Firmware.h"
#include "app/Seams.h"
#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "mainwindow/DeviceListColumns.h"
#include "mainwindow/TFormDetect.h"
#include "widgets/TRealGrid.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
using Clk = std::chrono::steady_clock;
constexpr quint16 kPingPort = 2059;
constexpr int kDatagram = 168;  // the longest firmware chunk
const QString kMac = QStringLiteral("00-1A-2B-00-00-01");

double seconds(Clk::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Exchanges per second over the whole run, and the median exchange, which a
// burst of load on the machine moves less.
struct Rate {
    double perSecond = 0;
    double medianUs = 0;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Microseconds between successive time points.
std::vector<double> intervals(const std::vector<Clk::time_point>& t) {
    std::vector<double> out;
    for (size_t i = 1; i < t.size(); ++i) out.push_back(1e6 * seconds(t[i] - t[i - 1]));
    return out;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int broadcastSocket(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("bind");
        std::exit(1);
    }
    return fd;
}

void sendBroadcast(int fd, const char* data, size_t n, quint16 port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ::sendto(fd, data, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// The gateway side of the ping-pong: every "F" comes back as "f", same size.
int runEcho() {
    const int fd = broadcastSocket(kPingPort);
    std::printf("ready\n");
    std::fflush(stdout);
    char buf[2048];
    pollfd fds[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        ::poll(fds, 2, -1);
        if (fds[1].revents != 0) return 0;  // the bench closed our stdin
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n != kDatagram || buf[1] != 'F') continue;  // our own answers come back too
        buf[1] = 'f';
        sendBroadcast(fd, buf, static_cast<size_t>(n), kPingPort);
    }
}

std::unique_ptr<QProcess> inGatewayNamespace(const QString& program, const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral("ip"), QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                               qEnvironmentVariable("VARNEX_NETNS_B"), program} +
                                       args);
    p->waitForStarted(5000);
    while (!p->canReadLine() && p->waitForReadyRead(5000)) {
    }
    p->readLine();
    return p;
}

void stop(QProcess& p) {
    p.write("quit\n");  // the simulator's command; the echo ends at end of input
    p.closeWriteChannel();
    if (!p.waitForFinished(3000)) p.kill();
}

// Bare exchanges from a blocking socket: against the echo (168 bytes both ways)
// or, with `simulator`, real chunks against the simulated gateway (its "f" back).
Rate pingPong(int rounds, bool simulator = false) {
    const quint16 port = simulator ? DeviceDatagram::Port : kPingPort;
    auto echo = simulator ? inGatewayNamespace(QCoreApplication::applicationDirPath() +
                                                   QStringLiteral("/../gateway-sim"),
                                               {"--quiet", "--count", "1", "--first-mac", kMac})
                          : inGatewayNamespace(QCoreApplication::applicationFilePath(), {"--echo"});
    const int fd = broadcastSocket(port);
    timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char out[kDatagram] = {'\x02', 'F'};
    out[kDatagram - 1] = '\x03';
    char in[2048];
    int lost = 0;
    std::vector<Clk::time_point> sent;
    sent.reserve(size_t(rounds));
    const auto t0 = Clk::now();
    const QByteArray mac = EncodeMac(kMac);
    const QByteArray data(128, 'x');
    FirmwareChecksum sum;
    sum.Add(data, 0);
    for (int i = 0; i < rounds; ++i) {
        sent.push_back(Clk::now());
        if (simulator) {
            const QByteArray chunk = FirmwareChunk(mac, i, data, sum.Value());
            sendBroadcast(fd, chunk.constData(), size_t(chunk.size()), port);
        } else {
            sendBroadcast(fd, out, sizeof out, port);
        }
        for (;;) {
            const ssize_t n = ::recv(fd, in, sizeof in, 0);
            if (n < 0) {
                ++lost;
                break;
            }
            if (n > 3 && in[1] == 'f') break;  // not our own echo
        }
    }
    const double t = seconds(Clk::now() - t0);
    ::close(fd);
    stop(*echo);
    const QString what =
        simulator ? QStringLiteral("bare chunks from a socket to the simulator")
                  : QStringLiteral("ping-pong, %1 bytes broadcast both ways").arg(kDatagram);
    sent.push_back(Clk::now());
    const Rate rate{rounds / t, median(intervals(sent))};
    std::printf("%s, %d rounds: %.3f s, %.0f round trips/s, median %.1f us, %d lost\n",
                qPrintable(what), rounds, t, rate.perSecond, rate.medianUs, lost);
    return rate;
}

// Answers the file dialog with one path; counts what the operator would see.
class BenchPrompts : public Prompts {
public:
    void Message(QWidget*, const QString& text) override { last = text; }
    void Error(QWidget*, const QString& text) override { last = QStringLiteral("error: ") + text; }
    bool Question(QWidget*, const QString&) override { return true; }
    QString OpenFile(QWidget*, const FileDialog&) override { return path; }
    QString SaveFile(QWidget*, const FileDialog&) override { return QString(); }
    QString ChooseFolder(QWidget*, const QString&) override { return QString(); }
    QString path;
    QString last;
};

struct Upgrade {
    double wall = 0;
    double medianUs = 0;  // between one chunk leaving and the next
    double cpu = 0;
    QString message;
};

Upgrade upgradeThroughWindow(const QString& image, const QStringList& simArgs) {
    auto sim = inGatewayNamespace(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../gateway-sim"),
        QStringList{"--quiet", "--count", "1", "--first-mac", kMac} + simArgs);
    BenchPrompts prompts;
    prompts.path = image;
    SystemClock clock;
    Services services;
    services.prompts = &prompts;
    services.clock = &clock;
    Upgrade result;
    {
        TFormDetect form(services);
        form.show();
        form.RGrid->InsertRow(0);
        form.RGrid->Cells(DeviceColumn::Mac, 0).SetCellText(kMac);
        form.DeviceCount = 1;
        form.SelectedRow = 0;
        // The window's own receive handler, with the time each acknowledgement
        // arrived: one exchange lies between two of them. (The chunks' own echoes
        // no longer reach the window: its endpoint drops requests in the kernel.)
        std::vector<Clk::time_point> chunks;
        TFormDetect* window = &form;
        form.UDPServer->SetOnRead([&chunks, window](const QByteArray& d, int interfaceIndex) {
            if (ReplyLetter(d) == 'f') chunks.push_back(Clk::now());
            window->UDPServerUDPRead(d, interfaceIndex);
        });
        QCoreApplication::processEvents();
        const double cpu0 = cpuSeconds();
        const auto t0 = Clk::now();
        form.FlatButton7->click();
        result.wall = seconds(Clk::now() - t0);
        result.cpu = cpuSeconds() - cpu0;
        result.message = prompts.last;
        form.UDPServer->SetActive(false);  // its thread wrote `chunks`
        result.medianUs = median(intervals(chunks));
    }
    stop(*sim);
    return result;
}

// The same upgrade through the engine alone, without a front end.
double upgradeEngineOnly(const QByteArray& image) {
    auto sim = inGatewayNamespace(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../gateway-sim"),
        QStringList{"--quiet", "--count", "1", "--first-mac", kMac});
    SystemClock clock;
    GatewayEngine engine(clock);
    engine.Hold();
    const auto t0 = Clk::now();
    const auto run = engine.StartFirmware(kMac, image);
    run->Wait(QDeadlineTimer(QDeadlineTimer::Forever));
    const double t = seconds(Clk::now() - t0);
    stop(*sim);
    if (run->Outcome() != FirmwareOutcome::Succeeded) std::printf("engine-only upgrade failed\n");
    return t;
}

// The same upgrade through varnexctl, as a script runs it: the time the program
// itself reports for the upgrade, without its start and discovery.
double upgradeThroughCli(const QString& image) {
    auto sim = inGatewayNamespace(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../gateway-sim"),
        QStringList{"--quiet", "--count", "1", "--first-mac", kMac});
    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../varnexctl"),
              {QStringLiteral("firmware"), image, kMac});
    cli.waitForFinished(120000);
    stop(*sim);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QRegularExpression took(QStringLiteral("upgraded in ([0-9.]+) s"));
    const auto m = took.match(out);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

QString writeImage(const QTemporaryDir& dir, const char* name, int size) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    f.write(bytes);
    return path;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--echo") == 0) return runEcho();
    if (qEnvironmentVariableIsEmpty("VARNEX_NETNS_B")) {
        std::fprintf(stderr, "run me through tests/netns/netns-run\n");
        return 77;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int pairs = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;

    QTemporaryDir dir;
    const int size = 1024 * 1024;
    const QString mib = writeImage(dir, "one-mib.bin", size);
    const int exchanges = size / 128 + 1;  // chunks and the end

    // FIRMWARE_BENCH_ONLY=window runs the window's upgrade alone (for a profiler).
    if (qgetenv("FIRMWARE_BENCH_ONLY") == "window") {
        const Upgrade u = upgradeThroughWindow(mib, {});
        std::printf("1 MiB upgrade: %.3f s\n", u.wall);
        return 0;
    }

    // Each round: the bare client, the window and varnexctl back to back, so
    // that all three meet the same load on the machine; then the echo.
    std::vector<double> windowRatio, cliRatio, windowEcho, cliEcho, byMedian;
    for (int pair = 1; pair <= pairs; ++pair) {
        const Rate bare = pingPong(exchanges, true);
        const Upgrade u = upgradeThroughWindow(mib, {});
        const double cli = upgradeThroughCli(mib);
        const Rate echo = pingPong(exchanges);
        const double windowRate = exchanges / u.wall;
        windowRatio.push_back(windowRate / bare.perSecond);
        windowEcho.push_back(windowRate / echo.perSecond);
        byMedian.push_back(bare.medianUs / u.medianUs);
        std::printf(
            "round %d: window %.3f s (%.0f KiB/s, median exchange %.1f us, CPU %.2f s, "
            "\"%s\")",
            pair, u.wall, size / 1024.0 / u.wall, u.medianUs, u.cpu, qPrintable(u.message));
        if (cli > 0) {
            cliRatio.push_back(exchanges / cli / bare.perSecond);
            cliEcho.push_back(exchanges / cli / echo.perSecond);
            std::printf("; varnexctl %.3f s (%.0f KiB/s)", cli, size / 1024.0 / cli);
        } else {
            std::printf("; varnexctl failed");
        }
        std::printf("\n");
    }
    std::printf(
        "share of the bare client's rate, median of %d rounds: window %.0f %%, "
        "varnexctl %.0f %% (window by median exchange %.0f %%)\n",
        pairs, 100.0 * median(windowRatio), 100.0 * median(cliRatio), 100.0 * median(byMedian));
    std::printf(
        "share of the echo ping-pong's rate (charges the simulator's work to the "
        "program): window %.0f %%, varnexctl %.0f %%\n",
        100.0 * median(windowEcho), 100.0 * median(cliEcho));

    QFile whole(mib);
    whole.open(QIODevice::ReadOnly);
    const double t = upgradeEngineOnly(whole.readAll());
    std::printf("1 MiB upgrade through the engine alone: %.3f s, %.0f exchanges/s\n", t,
                exchanges / t);

    // FIRMWARE_BENCH_SKIP_SILENT=1 leaves out the 41 s measurement.
    if (qEnvironmentVariableIsSet("FIRMWARE_BENCH_SKIP_SILENT")) return 0;
    const Upgrade silent =
        upgradeThroughWindow(writeImage(dir, "small.bin", 1000), {"--fault", "fw-no-ack=end"});
    std::printf("silent end: %.1f s waited, CPU %.3f s = %.2f %% of one core; \"%s\"\n",
                silent.wall, silent.cpu, 100.0 * silent.cpu / silent.wall,
                qPrintable(silent.message));
    return 0;
}

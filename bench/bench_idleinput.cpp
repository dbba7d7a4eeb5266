// A device that keeps sending into a reader window that is set up and idle:
// resident memory must stay flat and the window must take next to no CPU.
//
//   bench_idleinput [--seconds N] [--flood]
//
// A child process plays the reader on a pseudo-terminal (the simulated
// KVR-690 answers the setup probe and the model detection), then sends a
// status frame over and over: at the pace of a 9600 bit/s line (960 bytes a
// second, byte by byte), or with --flood as fast as the pseudo-terminal takes
// it. Meanwhile the window idles in its event loop. At the end the chatter
// stops and the window runs one command, to show that the line still works.
// Exits 1 when resident memory grew by more than 4 MB, or when at line pace
// the window took 2 % of one core or more.

#include "benchsupport.h"

#include "link/messages.h"
#include "link/portmap.h"
#include "shell/readermain.h"
#include "sim/readerdevice.h"
#include "ui/seams.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace talvex;

namespace {

constexpr int kReaderPort = 1;
constexpr int kBaud = 9600;
constexpr qint64 kBytesPerSecond = kBaud / 10; // start, eight data bits, stop
constexpr double kRssGrowthLimitMb = 4.0;
constexpr double kCpuLimitPercent = 2.0;

// What the device sends over and over: a complete status reply frame.
const QByteArray kChatter = QByteArray::fromHex("020003313059035A");

qint64 steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

double residentMb() {
    return double(bench::residentKb()) / 1024.0;
}

void writeAll(int fd, const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

// The device process. Commands on control: 'c' chatter at line pace, 'f'
// flood, 's' stop chattering, 'q' quit (it then reports the bytes chattered).
int runDevice(int master, int control, int report) {
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    sim::ReaderDevice reader(sim::ReaderModel::Kvr690);
    reader.setBaud(kBaud);
    char mode = 's';
    qint64 nextByteUs = 0;
    qint64 chattered = 0;
    for (;;) {
        const qint64 now = steadyUs();
        qint64 wake = reader.nextWakeUs();
        if (mode == 'c')
            wake = wake < 0 ? nextByteUs : std::min(wake, nextByteUs);
        int timeoutMs = wake < 0 ? 1000 : int(std::max<qint64>(0, (wake - now + 999) / 1000));
        if (mode == 'f')
            timeoutMs = 0;
        pollfd p[2] = {{master, POLLIN, 0}, {control, POLLIN, 0}};
        ::poll(p, 2, timeoutMs);
        if (p[1].revents & POLLIN) {
            char c = 0;
            if (::read(control, &c, 1) == 1) {
                if (c == 'q')
                    break;
                mode = c;
                nextByteUs = steadyUs();
            }
        }
        if (p[0].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                reader.feed(QByteArray(buf, int(n)), 0, steadyUs());
        }
        const QByteArray out = reader.takeOutput(steadyUs());
        if (!out.isEmpty())
            writeAll(master, out);

        if (mode == 'c') {
            // Byte by byte, each at its own time, as a 9600 bit/s line delivers them.
            for (qint64 t = steadyUs(); nextByteUs <= t;
                 nextByteUs += 1'000'000 / kBytesPerSecond) {
                const char byte = kChatter.at(int(chattered % kChatter.size()));
                if (::write(master, &byte, 1) == 1)
                    ++chattered;
            }
        } else if (mode == 'f') {
            QByteArray burst;
            while (burst.size() < 4096)
                burst += kChatter;
            const ssize_t n = ::write(master, burst.constData(), size_t(burst.size()));
            if (n > 0)
                chattered += n;
            else
                usleep(100);
        }
    }
    const QByteArray line = QByteArray::number(chattered) + '\n';
    writeAll(report, line);
    return 0;
}

// Boxes would block the run; count them instead.

// "Communication Setting": the user keeps COM1 and 9600 bits/s and presses OK.
class PressOk final : public ui::DialogRunner {
public:
    int exec(QDialog &dialog) override {
        if (auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("Command1")))
            ok->click();
        return dialog.result();
    }
};

struct Options {
    int seconds = 60;
    bool flood = false;
};

bool parse(int argc, char **argv, Options *out) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--flood") {
            out->flood = true;
        } else if (arg == "--seconds" && i + 1 < argc) {
            bool ok = false;
            out->seconds = QByteArray(argv[++i]).toInt(&ok);
            if (!ok || out->seconds <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options opt;
    if (!parse(argc, argv, &opt)) {
        std::fprintf(stderr, "usage: bench_idleinput [--seconds N] [--flood]\n");
        return 2;
    }

    int master = -1;
    int slave = -1;
    char slavePath[256] = {};
    if (openpty(&master, &slave, slavePath, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    int control[2];
    int report[2];
    if (pipe(control) != 0 || pipe(report) != 0) {
        std::perror("pipe");
        return 1;
    }

    // The device runs in a process of its own, so that the figures are the
    // window's alone. It keeps the slave open too: a master whose slave is
    // closed reads nothing but errors while the window reopens the port.
    const pid_t device = fork();
    if (device == 0) {
        ::close(control[1]);
        ::close(report[0]);
        _exit(runDevice(master, control[0], report[1]));
    }
    ::close(master);
    ::close(slave);
    ::close(control[0]);
    ::close(report[1]);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    link::portmap::mapPath(kReaderPort, QString::fromLocal8Bit(slavePath));
    bench::CountingBoxes boxes;
    link::setMessageBoxes(&boxes);
    PressOk pressOk;
    ui::setDialogRunner(&pressOk);

    int rc = 0;
    {
        shell::ReaderMain window;
        window.show();
        window.IROpencom_Click();
        if (!window.portSetUp() || window.currentModel() != QLatin1String("KVR-690")) {
            std::fprintf(stderr, "the window did not set up the simulated reader\n");
            writeAll(control[1], "q");
            waitpid(device, nullptr, 0);
            return 1;
        }
        // Settle what setting up allocated before taking the first figure. A
        // loop of its own: quitting the application would close the window.
        QEventLoop idle;
        QTimer::singleShot(500, &idle, &QEventLoop::quit);
        idle.exec();

        writeAll(control[1], opt.flood ? "f" : "c");
        const double rssStart = residentMb();
        double rssHighest = rssStart;
        const double cpuStart = bench::processCpuSeconds();
        const qint64 wallStart = steadyUs();
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, &idle, [&] {
            rssHighest = std::max(rssHighest, residentMb());
            if (steadyUs() - wallStart >= qint64(opt.seconds) * 1'000'000)
                idle.quit();
        });
        sample.start(1000);
        idle.exec();
        const double wall = double(steadyUs() - wallStart) / 1e6;
        const double cpu = bench::processCpuSeconds() - cpuStart;
        const double rssEnd = residentMb();
        writeAll(control[1], "s");

        // The line after the chatter: the command line's status query.
        usleep(200'000);

        window.findChild<QLineEdit *>(QStringLiteral("CommandStr"))
            ->setText(QStringLiteral("31 30"));
        window.findChild<QPushButton *>(QStringLiteral("ExuteCommandBtn"))->click();
        if (!window.lineReason().isEmpty())
            std::printf("  status line      %s\n", qPrintable(window.lineReason()));
        const bool answered =
            window.trafficLog().contains(QStringLiteral("RD: 06\r\nSD: 05\r\nRD: 02 "));

        writeAll(control[1], "q");
        char count[32] = {};
        const ssize_t got = ::read(report[0], count, sizeof count - 1);
        waitpid(device, nullptr, 0);
        const qint64 sent = got > 0 ? QByteArray(count).trimmed().toLongLong() : -1;

        const double percent = 100.0 * cpu / wall;
        std::printf("idle reader window, device sending %s for %.1f s: %lld bytes\n",
                    opt.flood ? "as fast as the pseudo-terminal takes" : "at 9600 bit/s", wall,
                    sent);
        std::printf("  resident memory  start %.1f MB, end %.1f MB, highest %.1f MB\n", rssStart,
                    rssEnd, rssHighest);
        std::printf("  CPU              %.2f s: %.2f %% of one core\n", cpu, percent);
        std::printf("  afterwards       status query %s, %d message boxes\n",
                    answered ? "answered" : "NOT answered", boxes.shown);

        if (rssHighest - rssStart > kRssGrowthLimitMb) {
            std::printf("FAIL: resident memory grew by %.1f MB\n", rssHighest - rssStart);
            rc = 1;
        }
        if (!opt.flood && percent >= kCpuLimitPercent) {
            std::printf("FAIL: %.2f %% of one core at line pace\n", percent);
            rc = 1;
        }
        if (!answered || boxes.shown != 0)
            rc = 1;
    }
    link::setMessageBoxes(nullptr);
    ui::setDialogRunner(nullptr);
    return rc;
}

// Reader exchanges through the real serial component: what one
// SendReaderCommand costs on top of the line, against the floor (a bare
// termios + poll client doing the same handshake on the same device, in the
// same run), and what a wait for a silent reader costs in CPU.
//
//   bench_exchange [--count N] [--wire] [--baud B]
//                                         time N status exchanges against the
//                                         simulated reader on a pseudo-terminal
//                                         (target: within 1.25 x the floor);
//                                         --wire makes it keep the wire time of
//                                         B bit/s (default 9600) both ways
//                                         (target: within 1 ms of it)
//   bench_exchange --device PATH [--baud B] [--count N]
//                                         the same against a device path: a
//                                         talvex-sim reader or real hardware
//   bench_exchange --silence [--count N]  wait out N no-answer limits

#include "link/exchange.h"
#include "link/blockon.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/fault.h"
#include "sim/readersim.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace talvex;
using namespace talvex::link;

namespace {

constexpr int kReaderPort = 1;
constexpr double kBitsPerByte = 10.0; // start, eight data bits, stop
// Exchanges run in alternating blocks of this many, so that load from other
// programs falls on the exchange and its floor alike.
constexpr int kBlock = 100;

// Boxes would block a benchmark; count them instead.
class CountingBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const MessageRequest &) override {
        ++shown;
        return MsgAnswer::Ok;
    }
    int shown = 0;
};

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double wireUs(qsizetype bytes, int baud) {
    return double(bytes) * kBitsPerByte * 1e6 / baud;
}

double percentile(std::vector<double> sorted, double p) {
    if (sorted.empty())
        return 0;
    std::sort(sorted.begin(), sorted.end());
    const auto at = std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5));
    return sorted[at];
}

struct Options {
    int count = -1;
    bool wire = false;
    bool silence = false;
    QString device; // empty: the simulated reader of this process
    int baud = 9600;
};

bool parse(const QStringList &args, Options *out) {
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--wire")) {
            out->wire = true;
        } else if (args[i] == QLatin1String("--silence")) {
            out->silence = true;
        } else if (args[i] == QLatin1String("--count") && i + 1 < args.size()) {
            bool ok = false;
            out->count = args[++i].toInt(&ok);
            if (!ok || out->count <= 0)
                return false;
        } else if (args[i] == QLatin1String("--baud") && i + 1 < args.size()) {
            bool ok = false;
            out->baud = args[++i].toInt(&ok);
            if (!ok || out->baud <= 0)
                return false;
        } else if (args[i] == QLatin1String("--device") && i + 1 < args.size()) {
            out->device = args[++i];
        } else {
            return false;
        }
    }
    if (out->count < 0)
        out->count = out->silence ? 1 : 2000;
    // Faults and wire time are set on the simulated reader of this process;
    // a device of its own is what it is.
    return out->device.isEmpty() || (!out->silence && !out->wire);
}

int baudCode(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return -1;
    }
}

// The floor: the least a program can do for the same handshake. Raw mode,
// one write per frame, poll() and read() until each part is in, BCC checked.
class RawReaderLine {
public:
    ~RawReaderLine() { close(); }

    bool open(const QString &path, int baud) {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios tio{};
        if (tcgetattr(m_fd, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        const int code = baudCode(baud);
        if (code >= 0)
            cfsetspeed(&tio, speed_t(code));
        tio.c_cflag |= CLOCAL | CREAD;
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    // True on a positive reply whose BCC matches.
    bool exchange(const QByteArray &frame) {
        if (!writeAll(frame.constData(), frame.size()))
            return false;
        unsigned char buf[2048];
        if (!readAtLeast(buf, 1, 3000) || buf[0] != 0x06)
            return false;
        const char enq = 0x05;
        if (!writeAll(&enq, 1) || !readAtLeast(buf, 3, 8000))
            return false;
        const int need = buf[1] * 256 + buf[2] + 2;
        if (need + 3 > int(sizeof buf) || !readAtLeast(buf + 3, need, 3000))
            return false;
        unsigned char check = 0;
        for (int i = 0; i < need + 2; ++i)
            check ^= buf[i];
        return check == buf[need + 2] && buf[3] != 'N';
    }

private:
    bool writeAll(const char *p, qsizetype n) {
        while (n > 0) {
            const ssize_t w = ::write(m_fd, p, size_t(n));
            if (w < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (w > 0) {
                p += w;
                n -= w;
            } else {
                pollfd pfd{m_fd, POLLOUT, 0};
                ::poll(&pfd, 1, 50);
            }
        }
        return true;
    }
    // Reads until n bytes are in buf or the limit passes.
    bool readAtLeast(unsigned char *buf, int n, int limitMs) {
        int got = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (got < n) {
            const ssize_t r = ::read(m_fd, buf + got, size_t(n - got));
            if (r > 0) {
                got += int(r);
                continue;
            }
            if (r == 0 || (errno != EAGAIN && errno != EINTR))
                return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd pfd{m_fd, POLLIN, 0};
            ::poll(&pfd, 1, int(left.count()) + 1);
        }
        return true;
    }

    int m_fd = -1;
};

double threadCpuMicros() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

// One handler sending a block of commands one after the other, as the
// automatic tests do; each exchange is timed from inside it.
QCoro::Task<> timeBlock(ReaderLinkState &state, const QByteArray &frame, int block,
                        std::vector<double> &micros, int &failures) {
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;
    for (int i = 0; i < block; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (co_await SendReaderCommand(state, frame, int(frame.size()), reply, replyLength) !=
            kReplyOk)
            ++failures;
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
    }
}

int timeExchanges(ReaderLinkState &state, const QString &path, const Options &opt,
                  CountingBoxes &boxes) {
    SerialComm &port = state.readerPort();
    const QByteArray frame = buildReaderFrame("10");
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;
    RawReaderLine raw;

    // One exchange first: the reply size for the wire figures, and a warm line.
    if (link::blockOn(SendReaderCommand(state, frame, int(frame.size()), reply, replyLength)) != kReplyOk) {
        std::fprintf(stderr, "the reader on %s did not answer\n", qPrintable(path));
        return 1;
    }
    const qsizetype replyFrame = replyLength + 3;

    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    std::vector<double> floorMicros;
    micros.reserve(size_t(opt.count));
    floorMicros.reserve(size_t(opt.count));
    int failures = 0;
    int floorFailures = 0;
    double cpu = 0;
    double wall = 0;
    double threadCpu = 0;      // the window thread's share, exchanges
    double floorThreadCpu = 0; // and the bare client
    for (int done = 0; done < opt.count; done += kBlock) {
        const int block = std::min(kBlock, opt.count - done);
        const double cpuStart = processCpuSeconds();
        const double threadStart = threadCpuMicros();
        const auto wallStart = Clock::now();
        link::blockOn(timeBlock(state, frame, block, micros, failures));
        wall += std::chrono::duration<double>(Clock::now() - wallStart).count();
        cpu += processCpuSeconds() - cpuStart;
        threadCpu += threadCpuMicros() - threadStart;

        // The same device, taken over by the bare client for a block.
        port.setPortOpen(false);
        if (!raw.open(path, opt.baud)) {
            std::fprintf(stderr, "cannot open %s for the raw client\n", qPrintable(path));
            return 1;
        }
        const double floorThreadStart = threadCpuMicros();
        for (int i = 0; i < block; ++i) {
            const auto t0 = Clock::now();
            if (!raw.exchange(frame))
                ++floorFailures;
            floorMicros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        floorThreadCpu += threadCpuMicros() - floorThreadStart;
        raw.close();
        port.setPortOpen(true);
    }

    const double median = percentile(micros, 0.5);
    const double floorMedian = percentile(floorMicros, 0.5);
    std::printf("%d status exchanges on %s (%lld-byte frame, %lld-byte reply)%s\n", opt.count,
                qPrintable(path), qint64(frame.size()), qint64(replyFrame),
                opt.wire ? ", wire time emulated" : "");
    std::printf("                      median        p99\n");
    std::printf("  SendReaderCommand %8.1f us %8.1f us   failures %d, boxes %d, CPU %.0f %%\n",
                median, percentile(micros, 0.99), failures, boxes.shown, 100.0 * cpu / wall);
    std::printf("  raw termios+poll  %8.1f us %8.1f us   failures %d\n", floorMedian,
                percentile(floorMicros, 0.99), floorFailures);
    std::printf("  exchange / floor  %8.2f x   (target <= 1.25 x)\n", median / floorMedian);
    std::printf("  window thread CPU %8.1f us per exchange, bare client %.1f us\n",
                threadCpu / opt.count, floorThreadCpu / opt.count);

    if (opt.wire) {
        // The handshake is strictly sequential, so the least an exchange can
        // take is every byte's time in both directions: frame, ACK, ENQ, reply.
        const qsizetype lineBytes = frame.size() + 1 + 1 + replyFrame;
        const double line = wireUs(lineBytes, opt.baud);
        std::printf("  wire time (%lld bytes both ways at %d bit/s) %10.1f us\n", qint64(lineBytes),
                    opt.baud, line);
        std::printf("  median - wire time      %+10.1f us   (target within 1000 us)\n",
                    median - line);
    }
    return failures == 0 && floorFailures == 0 ? 0 : 1;
}

int waitOutSilence(ReaderLinkState &state, sim::ReaderSim &reader, const Options &opt,
                   CountingBoxes &boxes) {
    const QByteArray frame = buildReaderFrame("10");
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;
    int wrong = 0;
    double cpuTotal = 0;
    double wallTotal = 0;
    for (int i = 0; i < opt.count; ++i) {
        reader.injectFault(sim::Fault::of(sim::Fault::Kind::Silence));
        const double cpu0 = processCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        if (link::blockOn(SendReaderCommand(state, frame, int(frame.size()), reply, replyLength)) != kReplyFailed)
            ++wrong;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = processCpuSeconds() - cpu0;
        cpuTotal += cpu;
        wallTotal += wall;
        std::printf("no-answer wait %d: %.3f s wall, %.2f ms CPU, %.3f %% of one core\n", i + 1,
                    wall, cpu * 1000.0, 100.0 * cpu / wall);
    }
    std::printf("total: %.3f s wall, %.2f ms CPU, %.3f %% of one core; %d communication errors\n",
                wallTotal, cpuTotal * 1000.0, 100.0 * cpuTotal / wallTotal, boxes.shown);
    return wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    Options opt;
    if (!parse(app.arguments(), &opt)) {
        std::fprintf(stderr, "usage: bench_exchange [--count N] [--wire] [--silence]\n"
                             "       bench_exchange --device PATH [--baud B] [--count N]\n");
        return 2;
    }

    std::unique_ptr<sim::ReaderSim> reader;
    QString path = opt.device;
    if (path.isEmpty()) {
        reader = std::make_unique<sim::ReaderSim>(sim::ReaderModel::Kvr690, opt.baud);
        reader->setWireTime(opt.wire);
        QString error;
        if (!reader->start(&error)) {
            std::fprintf(stderr, "cannot start the simulated reader: %s\n", qPrintable(error));
            return 1;
        }
        path = reader->slavePath();
    }
    portmap::mapPath(kReaderPort, path);

    CountingBoxes boxes;
    setMessageBoxes(&boxes);
    SerialComm port;
    ReaderLinkState state(port);
    int rc = 1;
    try {
        port.setCommPort(kReaderPort);
        port.setSettings(QStringLiteral("%1n81").arg(opt.baud));
        port.setPortOpen(true);
        state.setPortSetUp(true);
        rc = opt.silence ? waitOutSilence(state, *reader, opt, boxes)
                         : timeExchanges(state, path, opt, boxes);
        port.setPortOpen(false);
    } catch (const SerialError &e) {
        std::fprintf(stderr, "serial port error %d\n", e.number());
    }
    setMessageBoxes(nullptr);
    return rc;
}

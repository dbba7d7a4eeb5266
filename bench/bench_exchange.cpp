// Reader exchanges through the real serial component against the simulated
// reader on a pseudo-terminal: what one SendReaderCommand costs on top of the
// line, and what a wait for a silent reader costs in CPU.
//
//   bench_exchange [--count N] [--wire]   time N status exchanges; --wire
//                                         makes the reader keep 9600 bit/s
//                                         wire time both ways
//   bench_exchange --silence [--count N]  wait out N no-answer limits

#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/fault.h"
#include "sim/readersim.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace talvex;
using namespace talvex::link;

namespace {

constexpr int kReaderPort = 1;
constexpr int kBaud = 9600;
constexpr double kBitsPerByte = 10.0; // start, eight data bits, stop

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

double wireUs(qsizetype bytes) {
    return double(bytes) * kBitsPerByte * 1e6 / kBaud;
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
        } else {
            return false;
        }
    }
    if (out->count < 0)
        out->count = out->silence ? 1 : 2000;
    return true;
}

int timeExchanges(ReaderLinkState &state, sim::ReaderSim &reader, const Options &opt,
                  CountingBoxes &boxes) {
    reader.setWireTime(opt.wire);
    const QByteArray frame = buildReaderFrame("10");
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;

    // One exchange first: the reply size for the wire figures, and a warm line.
    if (SendReaderCommand(state, frame, int(frame.size()), reply, replyLength) != kReplyOk) {
        std::fprintf(stderr, "the simulated reader did not answer\n");
        return 1;
    }
    const qsizetype replyFrame = replyLength + 3;

    std::vector<double> micros;
    micros.reserve(size_t(opt.count));
    int failures = 0;
    const double cpuStart = processCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    for (int i = 0; i < opt.count; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (SendReaderCommand(state, frame, int(frame.size()), reply, replyLength) != kReplyOk)
            ++failures;
        const auto t1 = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = processCpuSeconds() - cpuStart;

    const double median = percentile(micros, 0.5);
    const double p99 = percentile(micros, 0.99);
    std::printf("%d status exchanges (%lld-byte frame, %lld-byte reply)%s\n", opt.count,
                qint64(frame.size()), qint64(replyFrame),
                opt.wire ? ", wire time emulated at 9600 bit/s" : "");
    std::printf("  median  %10.1f us\n  p99     %10.1f us\n", median, p99);
    std::printf("  failures %d, message boxes %d, CPU %.0f %% of one core\n", failures, boxes.shown,
                100.0 * cpu / wall);

    if (opt.wire) {
        // The handshake is strictly sequential, so the least an exchange can
        // take is every byte's time in both directions: frame, ACK, ENQ, reply.
        const qsizetype lineBytes = frame.size() + 1 + 1 + replyFrame;
        const double line = wireUs(lineBytes);
        std::printf("  wire time (%lld bytes both ways) %10.1f us\n", qint64(lineBytes), line);
        std::printf("  median - wire time      %+10.1f us\n", median - line);
    }
    return failures == 0 ? 0 : 1;
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
        if (SendReaderCommand(state, frame, int(frame.size()), reply, replyLength) != kReplyFailed)
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
        std::fprintf(stderr, "usage: bench_exchange [--count N] [--wire] [--silence]\n");
        return 2;
    }

    sim::ReaderSim reader(sim::ReaderModel::Kvr690, kBaud);
    QString error;
    if (!reader.start(&error)) {
        std::fprintf(stderr, "cannot start the simulated reader: %s\n", qPrintable(error));
        return 1;
    }
    portmap::mapPath(kReaderPort, reader.slavePath());

    CountingBoxes boxes;
    setMessageBoxes(&boxes);
    SerialComm port;
    ReaderLinkState state(port);
    int rc = 1;
    try {
        port.setCommPort(kReaderPort);
        port.setSettings(QStringLiteral("9600n81"));
        port.setPortOpen(true);
        state.setPortSetUp(true);
        rc = opt.silence ? waitOutSilence(state, reader, opt, boxes)
                         : timeExchanges(state, reader, opt, boxes);
        port.setPortOpen(false);
    } catch (const SerialError &e) {
        std::fprintf(stderr, "serial port error %d\n", e.number());
    }
    setMessageBoxes(nullptr);
    return rc;
}

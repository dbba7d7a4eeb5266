// The automatic magnetic test in the reader window, timers and all, against the
// simulated KVR-690 with its card feeder: cycles per second against what the
// timers and the line dictate, and the window's memory over the run.
//
//   bench_magauto [--count N] [--wire] [--loopback]
//       N cycles (default 999); --wire keeps 9600 bit/s wire time both ways;
//       --loopback uses the in-process line instead of a pseudo-terminal.

#include "benchsupport.h"

#include "link/portmap.h"
#include "shell/readermain.h"
#include "sim/readersim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdio>

using namespace talvex;

namespace {

constexpr int kReaderPort = 31;
constexpr double kBitsPerByte = 10.0;

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 999;
    bool wire = false;
    auto transport = sim::Transport::Pty;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--count") && i + 1 < args.size())
            count = args[++i].toInt();
        else if (args[i] == QLatin1String("--wire"))
            wire = true;
        else if (args[i] == QLatin1String("--loopback"))
            transport = sim::Transport::Loopback;
    }

    bench::Unattended unattended;
    const bench::CountingBoxes &boxes = unattended.boxes;

    sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600, transport);
    bench::feedMagneticCards(reader);
    reader.setWireTime(wire);
    QString error;
    if (!reader.start(&error)) {
        std::fprintf(stderr, "simulated reader: %s\n", qPrintable(error));
        return 1;
    }
    reader.mapToPort(kReaderPort);

    // Bytes on the line per cycle, for the time the line itself takes.
    std::atomic<qint64> lineBytes{0};
    reader.setTrafficListener(
        [&lineBytes](sim::Direction, const QByteArray &bytes) { lineBytes += bytes.size(); });

    shell::ReaderMain window;
    if (!bench::setUpKvr690(window, kReaderPort))
        return 1;

    long rssFirst = -1;
    long heapFirst = -1;
    long rssPeak = 0;
    int sampledAt = 0;
    QElapsedTimer clock;
    qint64 firstCycleNs = 0;
    qint64 bytesAtFirst = 0;
    QTimer sampler;
    sampler.setInterval(50);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int reads = bench::magneticReads(window);
        if (reads >= 1 && rssFirst < 0) {
            rssFirst = bench::residentKb();
            heapFirst = bench::heapInUseKb();
            firstCycleNs = clock.nsecsElapsed();
            bytesAtFirst = lineBytes.load();
        }
        if (reads >= sampledAt + 100) {
            sampledAt = reads - reads % 100;
            const long rss = bench::residentKb();
            rssPeak = std::max(rssPeak, rss);
            std::printf("  after %4d cycles: resident %ld kB, heap in use %ld kB\n", reads, rss,
                        bench::heapInUseKb());
            std::fflush(stdout);
        }
        if (!bench::magneticTestRunning(window))
            app.quit();
    });

    clock.start();
    bench::startMagneticTest(window, count);
    sampler.start();
    app.exec();
    const qint64 totalNs = clock.nsecsElapsed();
    const int done = bench::magneticReads(window);
    const long rssLast = bench::residentKb();

    // Cycles after the first: the first includes the preparation steps.
    const int measured = done - 1;
    const double seconds = double(totalNs - firstCycleNs) / 1e9;
    const double perCycleMs = measured > 0 ? seconds * 1000 / measured : 0;
    const double bytesPerCycle =
        measured > 0 ? double(lineBytes.load() - bytesAtFirst) / measured : 0;
    // The timers: the 100 ms poll and the two 1 ms read steps.
    const double timersMs = 102.0;
    const double wireMs = wire ? bytesPerCycle * kBitsPerByte * 1000.0 / 9600 : 0.0;
    std::printf("%d cycles (%s, %s): %.2f cycles/s, %.2f ms a cycle; timers %.0f ms + wire "
                "%.2f ms (%.1f bytes) = %.2f ms dictated, %.2f ms added\n",
                done, transport == sim::Transport::Pty ? "pty" : "loopback",
                wire ? "9600 bit/s wire time" : "no wire delay", measured / seconds, perCycleMs,
                timersMs, wireMs, bytesPerCycle, timersMs + wireMs, perCycleMs - timersMs - wireMs);
    std::printf("resident memory: %ld kB after the first cycle, %ld kB at the end (peak of "
                "samples %ld kB); heap in use: %ld kB after the first cycle, %ld kB at the end; "
                "message boxes: %d\n",
                rssFirst, rssLast, std::max(rssPeak, rssLast), heapFirst, bench::heapInUseKb(),
                boxes.shown);
    window.readerPort().setPortOpen(false);
    link::portmap::unmap(kReaderPort);
    return done == count ? 0 : 1;
}

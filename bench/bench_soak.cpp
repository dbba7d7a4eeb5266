// Endurance: the magnetic automatic test in the reader window and both
// dispensers' automatic tests in the dispenser window, all in this one process
// and its one event loop, in real time against simulated devices on
// pseudo-terminals. The devices run in a child process, so the CPU figures are
// the program's own.
//
//   bench_soak [--seconds N] [--alone-seconds A] [--idle | --magnetic-only]
//       N seconds in all (default 600); without --idle and --magnetic-only
//       the magnetic test first runs alone for A of them (default a quarter,
//       at most 60), then the dispensers join in, and the run ends with the
//       magnetic reads per second of both stretches and their ratio (target
//       >= 90 %: the dispensers' polls and cycles must not slow the reader
//       window down); a tenth of the rest is warm-up for the memory figures;
//       --idle starts no test: the two dispenser panels only poll their
//       status every 100 ms, which gives the CPU share of the polls;
//       --magnetic-only runs the magnetic test alone, at its own pace (the
//       KVR-820 poll holds the one event loop 200 ms a tick)
//
// Each dispenser test runs 25 cards and is started again when it ends, the
// KVR-820 alternating "0 OUT of Door" and "1 Door && Capture"; the magnetic
// test is started again should it end or stall.
//
// Exits 1 when memory grew from the end of the warm-up to the end by more
// than the noise bounds below, when a message box was shown, or (with --idle)
// when the polls took more than 1 % of one core.

#include "benchsupport.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "dispenser/kvr840panel.h"
#include "link/portmap.h"
#include "shell/readermain.h"
#include "traffic/session.h"
#include "traffic/trafficpane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace talvex;

namespace {

constexpr int kReaderPort = 41;
constexpr int kKvr820Port = 42;
constexpr int kKvr840Port = 43;
constexpr int kCardsPerTest = 25;
// Resident memory moves in whole pages as the allocator keeps or returns
// them, and Qt fills its caches (fonts, styles, text layouts) lazily during
// the first minutes; 2 MB is well above the swing seen after warm-up (a few
// hundred kB) and well below what a per-cycle leak would add over thousands
// of cycles.
constexpr long kResidentBoundKb = 2048;
// The heap in use has no page rounding: growth beyond this after warm-up is
// objects kept, not allocator noise.
constexpr long kHeapBoundKb = 512;
constexpr double kIdleCpuLimitPercent = 1.0;
// The traffic pane keeps the newest 10 000 exchanges; here about one a second
// reaches it (the dispensers' commands), so it would fill for hours and the
// heap would grow all that time by a history that is bounded, not leaked. A
// history this short is full within the warm-up, so the memory check sees
// past it.
constexpr int kTrafficRows = 50;
// A read that fails arms no further step and leaves the test waiting for
// "Stop": seen as no new read for this long.
constexpr qint64 kStallMs = 30000;

struct Sample {
    long devicesKb = 0; // the simulated devices' process
    long residentKb = 0;
    long heapKb = 0;
    double cpuS = 0;
    qint64 wallMs = 0;
};

Sample sample(const bench::SimChild &devices, const QElapsedTimer &clock) {
    return {devices.residentKb(), bench::residentKb(), bench::heapInUseKb(),
            bench::processCpuSeconds(), clock.elapsed()};
}

double cpuShare(const Sample &from, const Sample &to) {
    const double wallS = double(to.wallMs - from.wallMs) / 1000.0;
    return wallS > 0 ? 100.0 * (to.cpuS - from.cpuS) / wallS : 0;
}

// One dispenser test, started again each time it ends; counts what its
// counters showed at each end.
struct DispenserRun {
    int tests = 0;
    int cards = 0;
    int captured = 0;
};

} // namespace

int main(int argc, char *argv[]) {
    int seconds = 600;
    int aloneSeconds = -1;
    bool idle = false;
    bool magneticOnly = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = QByteArray(argv[++i]).toInt();
        } else if (arg == "--alone-seconds" && i + 1 < argc) {
            aloneSeconds = QByteArray(argv[++i]).toInt();
        } else if (arg == "--idle") {
            idle = true;
        } else if (arg == "--magnetic-only") {
            magneticOnly = true;
        } else {
            std::fprintf(stderr, "usage: bench_soak [--seconds N] [--alone-seconds A] "
                                 "[--idle | --magnetic-only]\n");
            return 2;
        }
    }
    if (seconds < 10 || (idle && magneticOnly)) {
        std::fprintf(stderr, "bench_soak: at least 10 seconds, and at most one of --idle "
                             "and --magnetic-only\n");
        return 2;
    }
    const bool magnetic = !idle;
    const bool dispensers = !magneticOnly;
    const bool dispenserTests = dispensers && !idle;
    // The magnetic test alone first, in the same run, for the comparison.
    const bool compare = magnetic && dispenserTests;
    if (aloneSeconds < 0)
        aloneSeconds = std::min(60, seconds / 4);
    if (!compare || aloneSeconds >= seconds)
        aloneSeconds = 0;
    const qint64 aloneMs = qint64(aloneSeconds) * 1000;

    // Before QApplication: the child must start with no threads but its own.
    bench::SimChild devices;
    QStringList paths;
    if (!devices.start({.magneticReader = magnetic, .kvr820 = dispensers, .kvr840 = dispensers},
                       &paths))
        return 1;
    if (magnetic)
        link::portmap::mapPath(kReaderPort, paths.takeFirst());
    if (dispensers) {
        link::portmap::mapPath(kKvr820Port, paths.takeFirst());
        link::portmap::mapPath(kKvr840Port, paths.takeFirst());
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Unattended unattended;
    const bench::CountingBoxes &boxes = unattended.boxes;

    shell::ReaderMain reader;
    for (traffic::TrafficPane *pane : reader.findChildren<traffic::TrafficPane *>())
        pane->model().setLimit(kTrafficRows);
    if (magnetic && !bench::setUpKvr690(reader, kReaderPort))
        return 1;
    dispenser::Fakamain dispenserWindow;
    dispenser::Kvr820Panel &p820 = *dispenserWindow.kvr820();
    dispenser::Kvr840Panel &p840 = *dispenserWindow.kvr840();
    bool panelsSetUp = false;
    auto setUpPanels = [&] {
        bench::setUpPanel(p820, kKvr820Port);
        bench::setUpPanel(p840, kKvr840Port);
        panelsSetUp = true;
    };
    if (dispensers && aloneMs == 0)
        setUpPanels();

    QElapsedTimer clock;
    clock.start();
    const Sample start = sample(devices, clock);
    const qint64 warmUpMs = aloneMs + (qint64(seconds) * 1000 - aloneMs) / 10;
    Sample warm;
    long residentPeakKb = 0;
    long heapPeakKb = 0;
    int magneticRuns = 0;
    int magneticDone = 0;
    int lastReads = -1;
    qint64 lastReadAtMs = 0;
    int stalls = 0;
    DispenserRun run820;
    DispenserRun run840;
    bool capture = false;

    auto startMagnetic = [&] {
        ++magneticRuns;
        lastReads = -1;
        lastReadAtMs = clock.elapsed();
        bench::startMagneticTest(reader, 1000000);
    };
    auto start820 = [&] {
        capture = !capture;
        ++run820.tests;
        bench::startAutoTest(p820, kCardsPerTest, capture);
    };
    auto start840 = [&] {
        ++run840.tests;
        bench::startAutoTest(p840, kCardsPerTest);
    };
    // Magnetic reads so far, over every run of the test.
    auto totalReads = [&] { return magneticDone + std::max(0, bench::magneticReads(reader)); };
    // Reads per second of the magnetic test alone, then with the dispensers:
    // each stretch counted after its first fifth (the test and the cycles
    // getting going).
    struct Stretch {
        qint64 fromMs = -1;
        int fromReads = 0;
        qint64 toMs = 0;
        int toReads = 0;
        double perSecond() const {
            return toMs > fromMs && fromMs >= 0
                       ? 1000.0 * (toReads - fromReads) / double(toMs - fromMs)
                       : 0;
        }
    };
    Stretch alone;
    Stretch together;
    if (magnetic)
        startMagnetic();
    if (dispenserTests && panelsSetUp) {
        start820();
        start840();
    }

    // The figures, from wherever the end is noticed: while a device is
    // awaited the tick may come from inside a wait that runs the event loop,
    // so the run ends here and the process exits, devices and all, without
    // unwinding what still waits.
    auto finish = [&]() -> int {
        const Sample end = sample(devices, clock);
        if (magnetic) {
            magneticDone += bench::magneticReads(reader);
        }
        if (dispenserTests && panelsSetUp) {
            run820.cards += p820.autoCount();
            run840.cards += p840.autoCount();
            run820.captured += bench::labelText(p820, "Label82012").toInt();
        }

        std::printf("%s, %.0f s wall\n",
                    idle           ? "both dispenser panels polling every 100 ms, no test running"
                    : magneticOnly ? "magnetic test (KVR-690) alone"
                                   : "magnetic test (KVR-690) and both dispensers' automatic tests",
                    double(end.wallMs) / 1000.0);
        if (magnetic)
            std::printf("  magnetic reads: %d in %d runs (%d stalled)\n", magneticDone,
                        magneticRuns, stalls);
        if (compare && aloneMs > 0) {
            const double ratio =
                alone.perSecond() > 0 ? 100.0 * together.perSecond() / alone.perSecond() : 0;
            std::printf(
                "  magnetic reads/s: %.2f alone (%lld s), %.2f with both dispensers polling "
                "and cycling (%lld s): %.1f %% (target >= 90 %%)\n",
                alone.perSecond(), (alone.toMs - alone.fromMs) / 1000, together.perSecond(),
                (together.toMs - together.fromMs) / 1000, ratio);
        }
        if (dispenserTests) {
            std::printf("  KVR-820 cards dispensed: %d, captured: %d, in %d tests\n", run820.cards,
                        run820.captured, run820.tests);
            std::printf("  KVR-840 cards dispensed: %d in %d tests\n", run840.cards, run840.tests);
        }
        std::printf("  exchanges recorded: %lld (the traffic pane keeps the newest %d)\n",
                    traffic::Session::instance().exchangeCount(), kTrafficRows);
        std::printf("  resident memory: %ld kB at start, %ld kB after warm-up, %ld kB at end "
                    "(peak after warm-up %ld kB)\n",
                    start.residentKb, warm.residentKb, end.residentKb, residentPeakKb);
        std::printf("  heap in use: %ld kB at start, %ld kB after warm-up, %ld kB at end "
                    "(peak after warm-up %ld kB)\n",
                    start.heapKb, warm.heapKb, end.heapKb, heapPeakKb);
        std::printf("  simulated devices' process (not checked): resident %ld kB at start, %ld kB "
                    "after warm-up, %ld kB at end\n",
                    start.devicesKb, warm.devicesKb, end.devicesKb);
        const double share = cpuShare(start, end);
        std::printf("  CPU: %.2f s in %.0f s: %.3f %% of one core (%.3f %% after warm-up)\n",
                    end.cpuS - start.cpuS, double(end.wallMs - start.wallMs) / 1000.0, share,
                    cpuShare(warm, end));
        std::printf("  message boxes: %d\n", boxes.shown);

        bool ok = boxes.shown == 0;
        const long residentGrowth = end.residentKb - warm.residentKb;
        const long heapGrowth = end.heapKb - warm.heapKb;
        if (residentGrowth > kResidentBoundKb || heapGrowth > kHeapBoundKb) {
            std::printf("  MEMORY GREW: resident %+ld kB (bound %ld), heap %+ld kB (bound %ld)\n",
                        residentGrowth, kResidentBoundKb, heapGrowth, kHeapBoundKb);
            ok = false;
        }
        if (idle && share > kIdleCpuLimitPercent) {
            std::printf("  CPU ABOVE %.0f %% OF ONE CORE\n", kIdleCpuLimitPercent);
            ok = false;
        }

        return ok ? 0 : 1;
    };

    QTimer watch;
    watch.setInterval(250);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (magnetic) {
            const int reads = bench::magneticReads(reader);
            if (reads != lastReads) {
                lastReads = reads;
                lastReadAtMs = now;
            }
            const bool stalled = now - lastReadAtMs > kStallMs;
            if (!bench::magneticTestRunning(reader) || stalled) {
                stalls += stalled;
                magneticDone += reads;
                if (stalled)
                    bench::stopMagneticTest(reader);
                startMagnetic();
            }
        }
        if (compare) {
            const qint64 togetherFrom = aloneMs + (qint64(seconds) * 1000 - aloneMs) / 5;
            if (alone.fromMs < 0 && aloneMs > 0 && now >= aloneMs / 5)
                alone = {now, totalReads()};
            if (!panelsSetUp && now >= aloneMs) {
                alone.toMs = now;
                alone.toReads = totalReads();
                std::printf("magnetic test alone: %.2f reads/s; the dispensers join in\n",
                            alone.perSecond());
                std::fflush(stdout);
                setUpPanels();
                start820();
                start840();
            }
            if (together.fromMs < 0 && now >= togetherFrom)
                together = {now, totalReads()};
            together.toMs = now;
            together.toReads = totalReads();
        }
        if (dispenserTests && panelsSetUp) {
            if (!bench::autoTestRunning(p820, "Autostop820")) {
                run820.cards += p820.autoCount();
                run820.captured += bench::labelText(p820, "Label82012").toInt();
                start820();
            }
            if (!bench::autoTestRunning(p840, "AutoStop840")) {
                run840.cards += p840.autoCount();
                start840();
            }
        }
        if (warm.wallMs == 0 && now >= warmUpMs) {
            warm = sample(devices, clock);
            std::printf("after warm-up (%lld s): resident %ld kB, heap in use %ld kB\n",
                        warm.wallMs / 1000, warm.residentKb, warm.heapKb);
            std::fflush(stdout);
        }
        if (warm.wallMs != 0) {
            residentPeakKb = std::max(residentPeakKb, bench::residentKb());
            heapPeakKb = std::max(heapPeakKb, bench::heapInUseKb());
        }
        if (now / 60000 != (now - watch.interval()) / 60000) {
            std::printf("  %3lld min: resident %ld kB, heap in use %ld kB, devices %ld kB, "
                        "magnetic reads %d\n",
                        now / 60000, bench::residentKb(), bench::heapInUseKb(),
                        devices.residentKb(),
                        magneticDone + (magnetic ? bench::magneticReads(reader) : 0));
            std::fflush(stdout);
        }
        if (now >= qint64(seconds) * 1000) {
            const int rc = finish();
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(rc);
        }
    });
    watch.start();
    app.exec();

    // Not reached: finish() ends the process.
    return 1;
}

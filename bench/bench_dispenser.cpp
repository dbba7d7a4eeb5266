// Endurance runs of the dispenser window's automatic tests against the
// simulated machines with shortened motor times, on a virtual clock: every
// frame, wait and timer of the real window runs, but hours of cycles pass in
// seconds. Prints the counters, error rates and the process's resident memory
// at the start, after the first 100 cards and at the end.
//
//   bench_dispenser [--cards N] [--jam-at K]   N cards per run (at most 999);
//                                              with --jam-at the K-th card jams

#include "benchsupport.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "dispenser/kvr840panel.h"
#include "dispenser/windowtimer.h"
#include "link/clock.h"
#include "link/portmap.h"
#include "sim/dispenserdevice820.h"
#include "sim/dispenserdevice840.h"
#include "sim/virtualline.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <functional>

using namespace talvex;

namespace {

class VirtualClock final : public link::Clock {
public:
    qint64 nowMs() const override { return m_now; }
    void sleepMs(qint64 ms) override { m_now += qMax<qint64>(ms, 0); }
    void advanceTo(qint64 t) { m_now = qMax(m_now, t); }

private:
    qint64 m_now = 0;
};

// Fires the panel's timers in due order until done() or nothing is due.
void run(VirtualClock &clock, const QList<dispenser::WindowTimer *> &timers,
         const std::function<bool()> &done, const std::function<void()> &eachStep) {
    while (!done()) {
        dispenser::WindowTimer *next = nullptr;
        for (auto *t : timers) {
            if (t->isActive() && (!next || t->dueMs() < next->dueMs()))
                next = t;
        }
        if (!next)
            return;
        clock.advanceTo(next->dueMs());
        next->fire();
        // What the event loop does between two ticks (widgets post updates
        // to themselves); left undone, those events would pile up.
        QCoreApplication::sendPostedEvents();
        eachStep();
    }
}

struct Outcome {
    QStringList counters;
    int autoCount = 0;
    qint64 virtualMs = 0;
    double wallS = 0;
    long rssStartKb = 0, rss100Kb = 0, rssEndKb = 0;
};

template <typename SetUp, typename Start, typename Count, typename Running>
Outcome runOne(VirtualClock &clock, QWidget &panel, const QList<dispenser::WindowTimer *> &timers,
               SetUp setUp, Start start, Count count, Running running, const QStringList &labels,
               int jamAt, const std::function<void()> &jam) {
    Outcome o;
    setUp();
    o.rssStartKb = bench::residentKb();
    const auto wall = std::chrono::steady_clock::now();
    const qint64 virtualStart = clock.nowMs();
    start();
    bool jammed = false;
    run(
        clock, timers, [&] { return !running(); },
        [&] {
            if (o.rss100Kb == 0 && count() >= 100)
                o.rss100Kb = bench::residentKb();
            if (!jammed && jamAt > 0 && count() == jamAt - 1) {
                jam();
                jammed = true;
            }
        });
    o.wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    o.virtualMs = clock.nowMs() - virtualStart;
    o.rssEndKb = bench::residentKb();
    o.autoCount = count();
    for (const QString &l : labels)
        o.counters << l + QLatin1Char('=') + bench::labelText(panel, qPrintable(l));
    return o;
}

void print(const char *title, const Outcome &o) {
    std::printf("%s\n  cards in the test: %d\n  counters: %s\n"
                "  virtual time: %.1f min, wall time: %.2f s\n"
                "  resident memory: %ld kB at start, %ld kB after 100 cards, %ld kB at end\n",
                title, o.autoCount, qPrintable(o.counters.join(QStringLiteral("  "))),
                double(o.virtualMs) / 60000.0, o.wallS, o.rssStartKb, o.rss100Kb, o.rssEndKb);
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int cards = 999, jamAt = 0;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--cards"))
            cards = qBound(1, args[i + 1].toInt(), 999);
        else if (args[i] == QLatin1String("--jam-at"))
            jamAt = args[i + 1].toInt();
    }

    VirtualClock clock;
    link::ScopedClock scoped(clock);
    bench::CountingBoxes boxes;
    link::setMessageBoxes(&boxes);

    for (int mode = 0; mode < 2; ++mode) {
        sim::DispenserDevice820 device;
        device.setMechanics(bench::kFastMechanics);
        link::portmap::mapBackend(2, [&] { return std::make_unique<sim::VirtualLine>(device); });
        dispenser::Fakamain window;
        auto &p = *window.kvr820();
        const Outcome o = runOne(
            clock, p, p.timers(), [&] { bench::setUpPanel(p, 2); },
            [&] { bench::startAutoTest(p, cards, mode == 1); }, [&] { return p.autoCount(); },
            [&] { return bench::autoTestRunning(p, "Autostop820"); },
            {"Label8205", "Label8206", "Label8207", "Label8208", "Label82012", "Label82011",
             "Label82010", "Label8209"},
            jamAt, [&] { device.injectFault(sim::DispenserFault::Jam); });
        print(mode == 0 ? "KVR-820, \"0 OUT of Door\"" : "KVR-820, \"1 Door && Capture\"", o);
        std::printf("  stacker %d, bin %d\n", device.stackerCards(), device.binCards());
        link::portmap::unmap(2);
    }

    {
        sim::DispenserDevice840 device;
        device.setMechanics(bench::kFastMechanics);
        link::portmap::mapBackend(3, [&] { return std::make_unique<sim::VirtualLine>(device); });
        dispenser::Fakamain window;
        auto &p = *window.kvr840();
        const Outcome o = runOne(
            clock, p, p.timers(), [&] { bench::setUpPanel(p, 3); },
            [&] { bench::startAutoTest(p, cards); }, [&] { return p.autoCount(); },
            [&] { return bench::autoTestRunning(p, "AutoStop840"); },
            {"Label8405", "Label8406", "Label8407", "Label8408"}, jamAt,
            [&] { device.injectFault(sim::DispenserFault::Jam); });
        print("KVR-840", o);
        std::printf("  stacker %d\n", device.stackerCards());
        link::portmap::unmap(3);
    }
    std::printf("message boxes: %d\n", boxes.shown);
    link::setMessageBoxes(nullptr);
    return 0;
}

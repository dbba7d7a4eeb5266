#pragma once

// The dispenser window against both simulated machines on lines that run on a
// fake clock: window timers are fired in the order their due times fall, so
// minutes of cycles pass in moments with every wait and deadline kept.

#include "support/fakeclock.h"
#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "dispenser/kvr840panel.h"
#include "dispenser/windowtimer.h"
#include "link/clock.h"
#include "link/portmap.h"
#include "sim/dispenserdevice820.h"
#include "sim/dispenserdevice840.h"
#include "sim/virtualline.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include <functional>
#include <memory>

namespace talvex::testing {

// The program's writes on a virtual line, with the time each was made.
struct Written {
    qint64 atMs;
    QByteArray bytes;
};

inline std::unique_ptr<sim::VirtualLine> tappedLine(sim::Device &device, QList<Written> &log) {
    auto line = std::make_unique<sim::VirtualLine>(device);
    line->setWriteListener([&log](qint64 atMs, const QByteArray &bytes) {
        log.append({atMs, bytes});
    });
    return line;
}

// The command texts of the frames written (STX text ETX BCC), in order; polls
// ("AP" and, for the KVR-840, "15AP") are left out unless withPolls.
inline QStringList commandTexts(const QList<Written> &writes, bool withPolls = false) {
    QStringList out;
    for (const Written &w : writes) {
        if (w.bytes.size() < 4 || w.bytes.front() != '\x02')
            continue;
        const QString text = QString::fromLatin1(w.bytes.mid(1, w.bytes.size() - 3));
        if (withPolls || !text.endsWith(QLatin1String("AP")))
            out << text;
    }
    return out;
}

class VirtualDispensers {
public:
    static constexpr int kPort820 = 2;
    static constexpr int kPort840 = 3;

    VirtualDispensers() {
        link::portmap::mapBackend(kPort820, [this] { return tappedLine(dev820, writes820); });
        link::portmap::mapBackend(kPort840, [this] { return tappedLine(dev840, writes840); });
        window = std::make_unique<dispenser::Fakamain>();
    }
    ~VirtualDispensers() {
        window.reset();
        link::portmap::unmap(kPort820);
        link::portmap::unmap(kPort840);
    }

    dispenser::Kvr820Panel &k820() { return *window->kvr820(); }
    dispenser::Kvr840Panel &k840() { return *window->kvr840(); }

    // "Comm Setup" with the port typed into the dialog, then "OK".
    bool setUp820(const QString &port = QStringLiteral("COM2")) {
        return setUp([this] { k820().KVR820Setup_Click(); }, port);
    }
    bool setUp840(const QString &port = QStringLiteral("COM3")) {
        return setUp([this] { k840().KVR840Setup_Click(); }, port);
    }

    // Fires the window timers in due order until the clock reaches endMs or
    // done() holds.
    void runUntil(qint64 endMs, const std::function<bool()> &done = {}) {
        for (;;) {
            if (done && done())
                return;
            dispenser::WindowTimer *next = nullptr;
            for (dispenser::WindowTimer *t : k820().timers() + k840().timers()) {
                if (t->isActive() && (!next || t->dueMs() < next->dueMs()))
                    next = t;
            }
            if (!next || next->dueMs() > endMs) {
                clock.advanceTo(endMs);
                return;
            }
            clock.advanceTo(next->dueMs());
            next->fire();
        }
    }
    void runFor(qint64 ms, const std::function<bool()> &done = {}) {
        runUntil(clock.nowMs() + ms, done);
    }

    FakeClock clock;
    link::ScopedClock scopedClock{clock};
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    sim::DispenserDevice820 dev820;
    sim::DispenserDevice840 dev840;
    QList<Written> writes820;
    QList<Written> writes840;
    std::unique_ptr<dispenser::Fakamain> window;

private:
    bool setUp(const std::function<void()> &open, const QString &port) {
        bool accepted = false;
        dialogs.steps.append([&](QDialog &d) {
            child<QComboBox>(d, "PortCombo")->setCurrentText(port);
            child<QPushButton>(d, "Command1")->click();
            settle();
            accepted = d.result() == QDialog::Accepted;
            return d.result();
        });
        open();
        return accepted;
    }
};

} // namespace talvex::testing

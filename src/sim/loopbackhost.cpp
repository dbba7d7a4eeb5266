#include "sim/loopbackhost.h"

#include "link/serialbackend.h"
#include "link/serialerror.h"
#include "sim/device.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <utility>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/prctl.h>

namespace talvex::sim {
namespace {

using namespace std::chrono;

// Bytes change threads as copies of their own: a shared QByteArray would be
// freed by whichever thread lets go last, and thread checkers cannot follow
// Qt's reference counts across that.
QByteArray deepCopy(const QByteArray &bytes) {
    return QByteArray(bytes.constData(), bytes.size());
}

// Bytes the program sent, with the speed its end was set to when it sent them.
struct Sent {
    QByteArray bytes;
    int baud;
};

} // namespace

// One run of the line, from start() to stop() or a hang-up. A backend that
// opened it keeps it alive; once it is down it stays down, and the program
// must open again to reach the next run.
struct LoopbackLine {
    bool up = true;
    bool held = false;         // a backend has it open
    int programBaud = 0;       // 0: no program has set a speed yet
    std::deque<Sent> toDevice; // not yet taken by the device thread
    QByteArray toProgram;      // received, not yet read by the program
    quint64 arrived = 0;       // bytes ever delivered to the program, for its waits
    bool wakeDevice = false;   // a control change wants the deadlines re-read
    bool stopRequested = false;
    // Tells the program's thread that bytes came or the line went down; set
    // while a backend holds the line, called with the mutex held.
    std::function<void()> tellProgram;
};

// What the host and every backend it handed out share. One mutex guards all of
// it; the device thread never holds it while it works on the device.
struct LoopbackPort {
    std::mutex mutex;
    std::condition_variable deviceWake;  // bytes for the device, wake, stop
    std::condition_variable programWake; // bytes for the program, hang-up
    std::shared_ptr<LoopbackLine> line;  // the current run; null while stopped

    void endLine(LoopbackLine &l) {
        l.up = false;
        l.held = false;
        l.toProgram.clear();
        if (l.tellProgram)
            std::exchange(l.tellProgram, nullptr)();
        if (line.get() == &l)
            line.reset();
        programWake.notify_all();
    }
};

namespace {

// The program's end of the line.
class LoopbackBackend final : public link::SerialBackend {
public:
    explicit LoopbackBackend(std::shared_ptr<LoopbackPort> port) : m_port(std::move(port)) {}
    ~LoopbackBackend() override { close(); }
    LoopbackBackend(const LoopbackBackend &) = delete;
    LoopbackBackend &operator=(const LoopbackBackend &) = delete;

    void open(const link::LineSettings &settings) override {
        std::lock_guard lock(m_port->mutex);
        if (m_line && m_line->up)
            throw link::SerialError(link::kPortInUse);
        const std::shared_ptr<LoopbackLine> line = m_port->line;
        if (!line || !line->up)
            throw link::SerialError(link::kPortNotFound);
        if (line->held)
            throw link::SerialError(link::kPortInUse);
        line->held = true;
        line->programBaud = settings.baud;
        line->toProgram.clear();
        // Queued to this thread's event loop; gone with the context object
        // when the backend goes, so nothing reaches a closed backend.
        line->tellProgram = [context = &m_context, this] {
            QMetaObject::invokeMethod(context, [this] { reportArrival(); }, Qt::QueuedConnection);
        };
        m_line = line;
        m_fetched = line->arrived;
    }

    void close() override {
        std::lock_guard lock(m_port->mutex);
        if (m_line && m_line->up) {
            m_line->held = false;
            m_line->toProgram.clear();
        }
        if (m_line)
            m_line->tellProgram = nullptr;
        m_line.reset();
    }

    bool isOpen() const override {
        std::lock_guard lock(m_port->mutex);
        return m_line && m_line->up;
    }

    void applySettings(const link::LineSettings &settings) override {
        std::lock_guard lock(m_port->mutex);
        if (m_line && m_line->up)
            m_line->programBaud = settings.baud;
    }

    qint64 bytesAvailable() override {
        std::lock_guard lock(m_port->mutex);
        if (!m_line || !m_line->up)
            return 0;
        m_fetched = m_line->arrived;
        return m_line->toProgram.size();
    }

    QByteArray read(qint64 maxBytes) override {
        std::lock_guard lock(m_port->mutex);
        if (!m_line || !m_line->up || maxBytes <= 0)
            return {};
        m_fetched = m_line->arrived;
        const QByteArray out = deepCopy(m_line->toProgram.left(maxBytes));
        m_line->toProgram.remove(0, out.size());
        return out;
    }

    void write(const QByteArray &bytes) override {
        std::lock_guard lock(m_port->mutex);
        if (!m_line || !m_line->up || bytes.isEmpty())
            return;
        m_line->toDevice.push_back({deepCopy(bytes), m_line->programBaud});
        m_port->deviceWake.notify_one();
    }

    void discardInput() override {
        std::lock_guard lock(m_port->mutex);
        if (!m_line || !m_line->up)
            return;
        m_line->toProgram.clear();
        m_fetched = m_line->arrived;
    }

    void discardOutput() override {
        std::lock_guard lock(m_port->mutex);
        if (m_line && m_line->up)
            m_line->toDevice.clear();
    }

    bool waitForReadyRead(int ms) override {
        std::unique_lock lock(m_port->mutex);
        if (!m_line || !m_line->up)
            return false;
        // Bytes that arrived since the program last looked count as new even
        // when they came before this call, as unread bytes in a driver do:
        // otherwise a reply landing between a count and this wait would be
        // missed until the time limit.
        LoopbackLine &line = *m_line;
        m_port->programWake.wait_for(lock, milliseconds(std::max(ms, 0)),
                                     [&] { return !line.up || line.arrived != m_fetched; });
        if (!line.up || line.arrived == m_fetched)
            return false;
        m_fetched = line.arrived;
        return true;
    }

    // A loopback has no modem lines; like a pty it ignores them.
    void setDtr(bool) override {}
    void setRts(bool) override {}

private:
    QObject m_context; // lives in the program's thread: the arrival notices go there
    std::shared_ptr<LoopbackPort> m_port;
    std::shared_ptr<LoopbackLine> m_line; // the run this backend opened
    quint64 m_fetched = 0;                // LoopbackLine::arrived when last looked at
};

} // namespace

LoopbackHost::LoopbackHost() : m_port(std::make_shared<LoopbackPort>()) {}

LoopbackHost::~LoopbackHost() {
    stop();
}

bool LoopbackHost::start(QString *error) {
    stop(); // also collects a thread that ended by hanging up
    if (!m_device) {
        if (error)
            *error = QStringLiteral("no device attached");
        return false;
    }
    {
        std::lock_guard lock(m_deviceMutex);
        m_device->resetLine();
    }
    {
        std::lock_guard lock(m_port->mutex);
        m_port->line = std::make_shared<LoopbackLine>();
    }
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void LoopbackHost::stop() {
    {
        std::lock_guard lock(m_port->mutex);
        if (m_port->line) {
            m_port->line->stopRequested = true;
            m_port->deviceWake.notify_all();
        }
    }
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
    // The program sees a stop as the line going away, as it does on a pty.
    std::lock_guard lock(m_port->mutex);
    if (m_port->line)
        m_port->endLine(*m_port->line);
}

bool LoopbackHost::isRunning() const {
    return m_running;
}

QString LoopbackHost::slavePath() const {
    return m_running ? QStringLiteral("loopback") : QString();
}

link::BackendFactory LoopbackHost::backendFactory() const {
    return [port = m_port]() -> std::unique_ptr<link::SerialBackend> {
        return std::make_unique<LoopbackBackend>(port);
    };
}

void LoopbackHost::wake() const {
    std::lock_guard lock(m_port->mutex);
    if (m_port->line) {
        m_port->line->wakeDevice = true;
        m_port->deviceWake.notify_all();
    }
}

void LoopbackHost::run() {
    // The default timer slack of 50 us would let every wake-up drift by a
    // twentieth of a byte time at 9600 bit/s; wire time wants better.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::shared_ptr<LoopbackLine> line;
    {
        std::lock_guard lock(m_port->mutex);
        line = m_port->line;
    }
    if (!line)
        return;

    for (;;) {
        qint64 wakeAt;
        {
            std::lock_guard lock(m_deviceMutex);
            wakeAt = m_device->nextWakeUs();
        }

        std::deque<Sent> arrived;
        {
            std::unique_lock lock(m_port->mutex);
            const auto due = [&] {
                return line->stopRequested || line->wakeDevice || !line->toDevice.empty();
            };
            // The deadline is on the same clock, to the microsecond, as the
            // device's own time: waiting until it never wakes before wakeAt.
            if (wakeAt >= 0)
                m_port->deviceWake.wait_until(lock, steady_clock::time_point(microseconds(wakeAt)),
                                              due);
            else
                m_port->deviceWake.wait(lock, due);
            if (line->stopRequested)
                return;
            line->wakeDevice = false;
            arrived.swap(line->toDevice);
        }

        for (const Sent &sent : arrived)
            feedDevice(sent.bytes, sent.baud);

        bool hangUp = false;
        const QByteArray out = takeDueOutput(&hangUp);

        std::lock_guard lock(m_port->mutex);
        // Nobody listening: a real line loses what it carries.
        if (!out.isEmpty() && line->held) {
            // The program's end keeps a fixed input buffer; the rest is lost.
            const qsizetype room = link::kInBufferSize - line->toProgram.size();
            if (room > 0)
                line->toProgram += deepCopy(out.left(room));
            line->arrived += quint64(out.size());
            m_port->programWake.notify_all();
            if (line->tellProgram)
                line->tellProgram();
        }
        if (hangUp) {
            m_port->endLine(*line);
            m_running = false;
            return;
        }
    }
}

} // namespace talvex::sim

#include "sim/ptyhost.h"

#include "sim/device.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace talvex::sim {
namespace {

int baudOf(speed_t speed) {
    struct Entry {
        speed_t code;
        int baud;
    };
    static constexpr Entry kSpeeds[] = {
        {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},     {B150, 150},
        {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},   {B1800, 1800},
        {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200}, {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    for (const Entry &e : kSpeeds) {
        if (e.code == speed)
            return e.baud;
    }
    return 0; // unknown to us: do not judge the speed
}

bool makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

void closeFd(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PtyHost::PtyHost() : m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PtyHost::~PtyHost() {
    stop();
    closeFd(m_wakeFd);
}

bool PtyHost::start(QString *error) {
    stop(); // also collects a thread that ended by hanging up
    auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                  QString::fromLocal8Bit(std::strerror(errno)));
        closeLine();
        return false;
    };
    if (!m_device) {
        if (error)
            *error = QStringLiteral("no device attached");
        return false;
    }
    if (m_wakeFd < 0)
        return fail("eventfd");

    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return fail("openpty");
    // Raw on both ends: no echo, no line editing, no CR/LF translation, so the
    // line carries binary frames unchanged until the program sets its own mode.
    if (!makeRaw(m_master) || !makeRaw(m_slave))
        return fail("cfmakeraw");
    if (fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0)
        return fail("fcntl");
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);

    quint64 drain = 0;
    while (::read(m_wakeFd, &drain, sizeof drain) > 0) {
    }
    {
        std::lock_guard lock(m_pathMutex);
        m_slavePath = QString::fromLocal8Bit(name);
    }
    {
        std::lock_guard lock(m_deviceMutex);
        m_device->resetLine();
    }
    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void PtyHost::stop() {
    if (m_thread.joinable()) {
        m_stopRequested = true;
        wake();
        m_thread.join();
    }
    m_running = false;
    closeLine();
}

bool PtyHost::isRunning() const {
    return m_running;
}

QString PtyHost::slavePath() const {
    std::lock_guard lock(m_pathMutex);
    return m_slavePath;
}

void PtyHost::wake() const {
    if (m_wakeFd < 0)
        return;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void PtyHost::closeLine() {
    closeFd(m_master);
    closeFd(m_slave);
    std::lock_guard lock(m_pathMutex);
    m_slavePath.clear();
}

// The speed the program set on its end. On Linux the master reports the
// slave's settings, but the kept slave descriptor is asked directly so the
// answer never depends on that.
int PtyHost::lineBaud() const {
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0)
        return 0;
    return baudOf(cfgetospeed(&tio));
}

void PtyHost::run() {
    // The default timer slack of 50 us would let every wake-up drift by a
    // twentieth of a byte time at 9600 bit/s; wire time wants better.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QByteArray pending; // due bytes the master could not take yet
    char buffer[4096];
    while (!m_stopRequested) {
        qint64 wakeAt;
        {
            std::lock_guard lock(m_deviceMutex);
            wakeAt = m_device->nextWakeUs();
        }
        // A timeout rounded to milliseconds would shift every byte of the
        // emulated line; the clock is truncated to microseconds, so waiting
        // for the difference never wakes before wakeAt.
        timespec timeout{};
        if (wakeAt >= 0) {
            const qint64 leftUs = std::max<qint64>(wakeAt - steadyUs(), 0);
            timeout.tv_sec = static_cast<time_t>(leftUs / 1'000'000);
            timeout.tv_nsec = static_cast<long>(leftUs % 1'000'000 * 1000);
        }

        pollfd fds[2] = {
            {m_master, static_cast<short>(POLLIN | (pending.isEmpty() ? 0 : POLLOUT)), 0},
            {m_wakeFd, POLLIN, 0},
        };
        if (::ppoll(fds, 2, wakeAt >= 0 ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            quint64 drain = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &drain, sizeof drain);
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                feedDevice(QByteArray(buffer, n), lineBaud());
        }

        bool hangUp = false;
        pending += takeDueOutput(&hangUp);
        while (!pending.isEmpty()) {
            const ssize_t n = ::write(m_master, pending.constData(), pending.size());
            if (n <= 0)
                break; // full: poll() says when it drains
            pending.remove(0, n);
        }
        if (hangUp) {
            // Closing every descriptor of the pair is what the program sees as
            // the device going away: its reads fail and poll reports a hang-up.
            closeLine();
            m_running = false;
            return;
        }
    }
}

} // namespace talvex::sim

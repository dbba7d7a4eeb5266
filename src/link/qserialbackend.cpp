#include "qserialbackend.h"

#include "serialerror.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace talvex::link {
namespace {

// A write hands its bytes to the driver before it returns; the driver's own
// buffer takes a frame at once, so this limit only matters on a stalled line.
constexpr int kWriteHandOverMs = 50;

// Bounds one fetch of waiting bytes; each round empties the driver's queue, so
// more than one is rare.
constexpr int kFetchRounds = 16;

bool isHangUpError(QSerialPort::SerialPortError e) {
    return e == QSerialPort::ReadError || e == QSerialPort::ResourceError;
}

QSerialPort::Parity toParity(char p) {
    switch (p) {
    case 'o':
        return QSerialPort::OddParity;
    case 'e':
        return QSerialPort::EvenParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

QSerialBackend::QSerialBackend(const QString &devicePath)
    : m_path(devicePath), m_port(std::make_unique<QSerialPort>()) {
    // Reached from the event loop's notifiers while no wait runs. Closing
    // right inside the notifier would delete it under its own feet, so the
    // close is queued; waits and counts close at once through checkHangUp().
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_port.get(),
                     [this](QSerialPort::SerialPortError e) {
                         if (!isHangUpError(e))
                             return;
                         m_hungUp = true;
                         QMetaObject::invokeMethod(
                             m_port.get(), [this] { checkHangUp(); }, Qt::QueuedConnection);
                     });
    // Also reached from the event loop: bytes of a device that keeps sending
    // while nobody reads land in the bounded buffer, not in QSerialPort's.
    QObject::connect(m_port.get(), &QSerialPort::readyRead, m_port.get(),
                     [this] {
                         takeArrivals();
                         reportArrival();
                     });
    // QSerialPort reserves room for a whole read ahead of every read; without
    // a limit each arrival of a few bytes would keep a block of its own.
    m_port->setReadBufferSize(kInBufferSize);
}

QSerialBackend::~QSerialBackend() {
    if (m_port->isOpen())
        m_port->close();
}

void QSerialBackend::open(const LineSettings &settings) {
    if (m_port->isOpen())
        throw SerialError(kPortInUse);
    if (m_path.isEmpty())
        throw SerialError(kPortNotFound);
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(m_path))
        throw SerialError(kPortNotFound);
#endif

    m_hungUp = false;
    m_port->clearError();
    m_port->setPortName(m_path);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    // The framing follows the open: QSerialPort would refuse the whole open
    // over a framing the device cannot take.
    m_port->setBaudRate(settings.baud);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setStopBits(QSerialPort::OneStop);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError e = m_port->error();
        m_port->clearError();
        // PermissionError is what QSerialPort reports for a device the user
        // may not open and for one another program holds or has locked alike;
        // the window shows 8005 for both and names the real cause aside.
        if (e == QSerialPort::PermissionError || e == QSerialPort::OpenError)
            throw SerialError(kPortInUse, openFault());
        throw SerialError(kPortNotFound);
    }
    m_in.clear();
    applyLineSettings(settings);
}

LineFault QSerialBackend::openFault() const {
#ifdef Q_OS_UNIX
    // Opening the device once more, without QSerialPort's lock file or
    // exclusive mode, tells a missing permission from another program's hold.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int error = fd < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    return openFaultFromErrno(error);
#else
    return LineFault::HeldElsewhere;
#endif
}

void QSerialBackend::close() {
    m_hungUp = false;
    m_in.clear();
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

bool QSerialBackend::isOpen() const {
    if (!m_port->isOpen())
        return false;
#ifdef Q_OS_UNIX
    // Every read, write and wait here sees a hang-up for itself, and so does
    // QSerialPort's notifier while the window is idle; a poll() for each of
    // the dozen properties an exchange touches would double its system calls.
    return !m_hungUp;
#else
    return !checkHangUp();
#endif
}

void QSerialBackend::applySettings(const LineSettings &settings) {
    if (isOpen())
        applyLineSettings(settings);
}

void QSerialBackend::applyLineSettings(const LineSettings &s) {
    // A device keeps what it cannot take: a pseudo-terminal always carries
    // 8 bits without parity, and the simulators sit behind one. Each value is
    // set on its own so that one refusal does not hold back the others.
    m_port->setBaudRate(s.baud);
    m_port->setParity(toParity(s.parity));
    m_port->setDataBits(s.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    m_port->setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!checkHangUp())
        m_port->clearError();
}

void QSerialBackend::fetchWaitingBytes() {
    takeArrivals(); // what the event loop had QSerialPort read comes first
#ifdef Q_OS_UNIX
    // Straight from the driver. QSerialPort's own wait of 0 ms costs several
    // system calls each time, and the exchange asks for the count a dozen
    // times; while the line is quiet one count of what the driver holds,
    // cheaper than a read() that finds nothing, is all it costs.
    int waiting = 0;
    if (::ioctl(m_port->handle(), FIONREAD, &waiting) == 0 && waiting == 0)
        return;
    char chunk[kInBufferSize];
    for (int i = 0; i < kFetchRounds; ++i) {
        const ssize_t n = ::read(m_port->handle(), chunk, sizeof chunk);
        if (n > 0) {
            m_in.append(chunk, std::min<qsizetype>(n, kInBufferSize - m_in.size()));
            if (n < qsizetype(sizeof chunk))
                break;
            continue;
        }
        // With no byte waiting a read gives 0 (the line is raw, VMIN 0) or
        // EAGAIN; EIO and the like mean the device end went away.
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            closeAfterHangUp();
        break;
    }
#else
    // Without the event loop QSerialPort reads from the driver only inside a
    // wait; a wait of 0 ms makes the count current without blocking.
    for (int i = 0; i < kFetchRounds && m_port->isOpen(); ++i) {
        if (!m_port->waitForReadyRead(0))
            break;
    }
    takeArrivals();
    checkHangUp();
#endif
}

void QSerialBackend::takeArrivals() {
    const qint64 arrived = m_port->bytesAvailable();
    if (arrived <= 0)
        return;
    const qint64 room = std::min<qint64>(arrived, kInBufferSize - m_in.size());
    if (room > 0)
        m_in += m_port->read(room);
    m_port->skip(arrived - std::max<qint64>(room, 0));
}

qint64 QSerialBackend::bytesAvailable() {
    if (!isOpen())
        return 0;
    fetchWaitingBytes();
    return m_in.size();
}

QByteArray QSerialBackend::read(qint64 maxBytes) {
    if (!isOpen() || maxBytes <= 0)
        return {};
    if (m_in.size() < maxBytes)
        fetchWaitingBytes();
    const QByteArray out = m_in.left(maxBytes);
    m_in.remove(0, out.size());
    return out;
}

void QSerialBackend::write(const QByteArray &bytes) {
    if (!isOpen() || bytes.isEmpty())
        return;
#ifdef Q_OS_UNIX
    // Straight to the driver, which takes a frame at once; only a stalled
    // line makes this wait, and then at most kWriteHandOverMs.
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    QElapsedTimer timer;
    timer.start();
    while (left > 0) {
        const ssize_t n = ::write(m_port->handle(), at, size_t(left));
        if (n > 0) {
            at += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EIO) {
            closeAfterHangUp();
            return;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw SerialError(kPortIoFailed);
        const int wait = kWriteHandOverMs - int(timer.elapsed());
        pollfd p{m_port->handle(), POLLOUT, 0};
        if (wait <= 0 || ::poll(&p, 1, wait) <= 0)
            return;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            closeAfterHangUp();
            return;
        }
    }
#else
    if (m_port->write(bytes) != bytes.size()) {
        m_port->clearError();
        throw SerialError(kPortIoFailed);
    }
    // QSerialPort queues the bytes and sends them from the event loop or a
    // wait; hand them to the driver now, as the caller will not run the loop.
    QElapsedTimer timer;
    timer.start();
    while (m_port->isOpen() && m_port->bytesToWrite() > 0) {
        const int left = kWriteHandOverMs - int(timer.elapsed());
        if (left <= 0 || !m_port->waitForBytesWritten(left))
            break;
    }
    if (checkHangUp())
        return;
    if (m_port->error() == QSerialPort::WriteError) {
        m_port->clearError();
        throw SerialError(kPortIoFailed);
    }
#endif
}

void QSerialBackend::discardInput() {
    m_in.clear();
    if (isOpen()) {
        m_port->clear(QSerialPort::Input);
        m_port->skip(m_port->bytesAvailable());
    }
}

void QSerialBackend::discardOutput() {
    if (isOpen())
        m_port->clear(QSerialPort::Output);
}

bool QSerialBackend::waitForReadyRead(int ms) {
    if (!isOpen())
        return false;
#ifdef Q_OS_UNIX
    // QSerialPort's own wait loops without sleeping while poll() reports
    // nothing but a hang-up; polling here sees the hang-up and sleeps in the
    // kernel otherwise.
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int left = std::max(0, ms - int(timer.elapsed()));
        pollfd p{m_port->handle(), POLLIN, 0};
        const int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            return false;
        if (r > 0) {
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
                closeAfterHangUp();
                return false;
            }
            if (p.revents & POLLIN) {
                const qsizetype before = m_in.size();
                fetchWaitingBytes();
                if (m_hungUp)
                    return false;
                if (m_in.size() > before)
                    return true;
            }
        }
        if (left == 0 || timer.elapsed() >= ms)
            return false;
    }
#else
    const bool got = m_port->waitForReadyRead(ms);
    takeArrivals();
    return !checkHangUp() && got;
#endif
}

void QSerialBackend::setDtr(bool on) {
    if (!isOpen())
        return;
    // A pseudo-terminal has no modem lines; the failure means nothing here.
    m_port->setDataTerminalReady(on);
    if (!checkHangUp())
        m_port->clearError();
}

void QSerialBackend::setRts(bool on) {
    if (!isOpen())
        return;
    m_port->setRequestToSend(on);
    if (!checkHangUp())
        m_port->clearError();
}

bool QSerialBackend::checkHangUp() const {
    if (!m_port->isOpen())
        return m_hungUp;
    bool hungUp = m_hungUp || isHangUpError(m_port->error());
#ifdef Q_OS_UNIX
    if (!hungUp) {
        pollfd p{};
        p.fd = m_port->handle();
        p.events = 0; // hang-up and error are reported regardless
        hungUp = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }
#endif
    if (hungUp)
        closeAfterHangUp();
    return hungUp;
}

void QSerialBackend::closeAfterHangUp() const {
    const bool first = m_port->isOpen();
    m_hungUp = true;
    if (first)
        m_port->close();
    m_port->clearError();
    if (first)
        reportHangUp();
}

} // namespace talvex::link

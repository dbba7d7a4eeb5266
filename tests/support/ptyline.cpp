#include "ptyline.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace talvex::testing {

bool PtyLine::open(const QString &path, int baud) {
    close();
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return m_fd >= 0 && setBaud(baud);
}

QString PtyLine::openPair() {
    close();
    char name[256] = {};
    if (openpty(&m_fd, &m_slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed");
    termios t{};
    tcgetattr(m_fd, &t);
    cfmakeraw(&t);
    tcsetattr(m_fd, TCSANOW, &t);
    return QString::fromLocal8Bit(name);
}

void PtyLine::close() {
    for (int *fd : {&m_fd, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool PtyLine::setBaud(int baud) {
    const int bauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
    const speed_t speeds[] = {B1200, B2400, B4800, B9600, B19200, B38400, B57600};
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    for (int i = 0; i < 7; ++i) {
        if (bauds[i] == baud)
            return cfsetispeed(&tio, speeds[i]) == 0 && cfsetospeed(&tio, speeds[i]) == 0 &&
                   tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }
    return false;
}

termios PtyLine::slaveSettings() const {
    termios t{};
    tcgetattr(m_slave, &t);
    return t;
}

pid_t PtyLine::hangUpLater(int delayMs) {
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(m_slave);
        usleep(useconds_t(delayMs) * 1000);
        _exit(0);
    }
    close();
    return pid;
}

void PtyLine::write(const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

qsizetype PtyLine::writeSome(const QByteArray &bytes) {
    const int flags = fcntl(m_fd, F_GETFL);
    fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
    fcntl(m_fd, F_SETFL, flags);
    return n > 0 ? qsizetype(n) : 0;
}

QByteArray PtyLine::read(int count, int timeoutMs) {
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(timeoutMs - timer.elapsed())) <= 0 ||
            (p.revents & (POLLHUP | POLLERR)))
            break;
        char buf[2048];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

bool PtyLine::waitHangUp(int timeoutMs) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    char c;
    return (p.revents & POLLHUP) || ::read(m_fd, &c, 1) <= 0;
}

} // namespace talvex::testing

#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <termios.h>

namespace talvex::testing {

// One end of a pseudo-terminal in plain POSIX, with none of the code under
// test in between: either the program's end of a simulated line (open), or the
// far end of a line the program opens (openPair; the test then keeps its own
// slave descriptor so that the master does not read EIO while the program has
// the slave closed).
class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine() { close(); }
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    bool open(const QString &path, int baud = 9600);
    QString openPair(); // the slave's path
    void close();       // on a pair: the line hangs up
    bool setBaud(int baud);
    termios slaveSettings() const;
    // Hands the master to a child that closes it after delayMs: the line hangs
    // up while this process is blocked in a wait.
    pid_t hangUpLater(int delayMs);

    void write(const QByteArray &bytes);
    // Writes what the line takes now without blocking; returns how many bytes.
    qsizetype writeSome(const QByteArray &bytes);
    // Reads until count bytes came or timeoutMs passed; returns what came.
    QByteArray read(int count, int timeoutMs = 5000);
    QByteArray drain(int ms) { return read(1 << 20, ms); } // all that comes within ms
    bool waitHangUp(int timeoutMs); // the other end went away within timeoutMs

private:
    int m_fd = -1;
    int m_slave = -1;
};

} // namespace talvex::testing

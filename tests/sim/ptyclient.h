#pragma once

#include <QByteArray>
#include <QString>

// The program's end of a simulated line, in plain POSIX: what a serial port
// component does, without any of the code under test in between.
class PtyClient {
public:
    PtyClient() = default;
    ~PtyClient();
    PtyClient(const PtyClient &) = delete;
    PtyClient &operator=(const PtyClient &) = delete;

    bool open(const QString &path, int baud = 9600);
    void close();
    bool setBaud(int baud);

    void write(const QByteArray &bytes);
    // Reads until count bytes came or timeoutMs passed; returns what came.
    QByteArray read(int count, int timeoutMs);
    // Everything that arrives within ms.
    QByteArray drain(int ms);
    // True when the other end went away within timeoutMs.
    bool waitHangUp(int timeoutMs);

private:
    int m_fd = -1;
};

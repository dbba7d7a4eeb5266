#pragma once

#include <QCoro/QCoroTask>

namespace talvex::link {
class SerialComm;
}

namespace talvex::shell {

// The automatic search for a reader over ports 1 to 16 and the four scan rates.
// Silent: it shows no message and writes no traffic log.
class ReaderScan {
public:
    struct Found {
        int port = 0; // 0: no reader found
        int baud = 0;
    };

    explicit ReaderScan(link::SerialComm &port) : m_port(port) {}

    // Stops at the first port and rate where a reader answers, leaving that
    // port open; otherwise the port is left closed.
    // Awaited; closing the port abandons it.
    QCoro::Task<Found> scan();

    void OpenPortForScan(int portNumber, int baud);
    QCoro::Task<> ProbeReaderForScan();

    bool portOpenOk() const { return m_portOpenOk; }   // PortOpenOk
    bool readerFound() const { return m_readerFound; } // ReaderFound

    static constexpr int kLastPort = 16;

private:
    link::SerialComm &m_port;
    bool m_portOpenOk = false;
    bool m_readerFound = false;
};

} // namespace talvex::shell

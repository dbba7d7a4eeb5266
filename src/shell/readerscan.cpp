#include "readerscan.h"

#include "readerprobe.h"

#include "link/busywait.h"
#include "link/clock.h"
#include "link/frame.h"
#include "link/serialcomm.h"

namespace talvex::shell {

namespace {

// A reader answers ACK well within this; a port where nothing answers then
// costs no more than this per rate.
constexpr int kAnswerDelayMs = 250;
constexpr int kHeaderLimitMs = 5000;
constexpr int kRestLimitMs = 3000;

QCoro::Task<bool> waitFor(link::SerialComm &port, int count, int limitMs) {
    const bool arrived = co_await port.waitForInBufferCount(count, link::clock().nowMs() + limitMs);
    co_return arrived;
}

} // namespace

QCoro::Task<ReaderScan::Found> ReaderScan::scan() {
    const link::BusyStretch waiting;
    m_portOpenOk = false;
    for (int portNumber = 1; portNumber <= kLastPort; ++portNumber) {
        for (int baud : kScanBaudRates) {
            OpenPortForScan(portNumber, baud);
            if (!m_portOpenOk)
                continue;
            m_readerFound = false;
            co_await ProbeReaderForScan();
            if (m_readerFound)
                co_return Found{portNumber, baud};
            m_portOpenOk = false;
            try {
                if (m_port.PortOpen())
                    m_port.setPortOpen(false);
            } catch (const link::SerialError &) {
                // The next open reports whatever is wrong with this port.
            }
        }
    }
    co_return Found{};
}

void ReaderScan::OpenPortForScan(int portNumber, int baud) {
    m_portOpenOk = reopenPort(m_port, portNumber, baud) == 0;
}

QCoro::Task<> ReaderScan::ProbeReaderForScan() {
    try {
        m_port.setOutput(statusQueryFrame());
        co_await link::DelayMs(m_port, kAnswerDelayMs);
        if (m_port.InBufferCount() == 0)
            co_return;
        m_port.setInputLen(1);
        if (byteAt(m_port.Input(), 0) != link::ACK)
            co_return;

        m_port.setOutput(QByteArray(1, static_cast<char>(link::ENQ)));
        const bool headerIn = co_await waitFor(m_port, 3, kHeaderLimitMs);
        if (!headerIn)
            co_return;
        m_port.setInputLen(3);
        const QByteArray header = m_port.Input();
        const int need = byteAt(header, 1) * 256 + byteAt(header, 2) + 2;
        const bool restIn = co_await waitFor(m_port, need, kRestLimitMs);
        if (!restIn)
            co_return;
        m_port.setInputLen(0);
        const QByteArray rest = m_port.Input();
        if (!link::replyBccMatches(header, rest))
            co_return;
        m_readerFound = isReaderStatusByte(byteAt(rest, 2));
    } catch (const link::SerialError &) {
        // A line that fails midway has no reader worth finding on it.
    }
}

} // namespace talvex::shell

#pragma once

#include "link/serialbackend.h"

#include <QByteArray>
#include <functional>

namespace talvex::sim {

class Device;

// A device on a line that runs on the links' clock (link::clock()) instead of
// a thread: the program's writes reach the device at the clock's time, and a
// wait for bytes moves the clock on (through Clock::sleepMs) to the device's
// next deadline. With a test clock, hours of mechanical cycles pass in
// moments while every frame, wait and deadline keeps its order and length.
//
// The device must outlive the line. Not thread-safe: program and device share
// the calling thread.
class VirtualLine final : public link::SerialBackend {
public:
    explicit VirtualLine(Device &device) : m_device(device) {}

    // Told of every write of the program, with the clock's time in ms.
    void setWriteListener(std::function<void(qint64, const QByteArray &)> listener) {
        m_writeListener = std::move(listener);
    }

    void open(const link::LineSettings &settings) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void applySettings(const link::LineSettings &settings) override { m_settings = settings; }
    qint64 bytesAvailable() override;
    QByteArray read(qint64 maxBytes) override;
    void write(const QByteArray &bytes) override;
    void discardInput() override;
    void discardOutput() override {}
    bool waitForReadyRead(int ms) override;
    void setDtr(bool) override {}
    void setRts(bool) override {}

private:
    qint64 nowUs() const;
    void collect();

    Device &m_device;
    std::function<void(qint64, const QByteArray &)> m_writeListener;
    link::LineSettings m_settings;
    QByteArray m_in;
    bool m_open = false;
};

} // namespace talvex::sim

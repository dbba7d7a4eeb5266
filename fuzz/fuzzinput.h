#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace talvex::fuzzing {

// Reads a fuzz input front to back; past its end every read gives zeros or
// nothing, so that any input is a complete script.
class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    std::size_t left() const { return m_size - m_at; }
    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_at++]; }
    int word() { return byte() << 8 | byte(); }
    QByteArray bytes(int n) {
        const std::size_t take = std::min<std::size_t>(std::size_t(std::max(n, 0)), left());
        QByteArray out(reinterpret_cast<const char *>(m_data + m_at), qsizetype(take));
        m_at += take;
        return out;
    }
    QByteArray rest() { return bytes(int(std::min<std::size_t>(left(), 1u << 30))); }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace talvex::fuzzing

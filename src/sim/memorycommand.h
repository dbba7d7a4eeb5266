#pragma once

#include "sim/readermodel.h"
#include "sim/simcard.h"

#include <QByteArray>
#include <variant>

namespace talvex::sim {

class ReaderDevice;

// A fresh memory card of the type at place, as card type detection names it.
SimCard blankMemoryCard(MemoryCardType type, CardPlace place);

// One command to a synchronous memory card. It settles what the reader answers
// before the chip is involved (no card "E", card away from the contacts "W", a
// card of another family "N", no IC module: undefined command) and lays out
// the reply: "P", PM, for the commands whose status stands at index 3 the
// first parameter byte again, the status byte, then the data.
class MemoryCommand {
public:
    MemoryCommand(ReaderDevice &reader, const QByteArray &body, int statusIndex = 2);

    // The chip of the card in the reader when it is of this family and can be
    // worked on; otherwise nullptr, and answer() holds the reader's reply.
    template <typename Chip> Chip *chip() {
        if (!ready())
            return nullptr;
        Chip *found = std::get_if<Chip>(&m_card.memory);
        if (!found)
            m_answer = reply('N');
        return found;
    }
    QByteArray answer() const { return m_answer; }

    // The reply with the status; the chip's state goes back into the reader.
    QByteArray reply(char status, const QByteArray &data = {});
    QByteArray refuse() { return reply('N'); }
    QByteArray ok(const QByteArray &data = {}) { return reply('Y', data); }

    const QByteArray &body() const { return m_body; }
    // Parameter byte i (body byte 2 + i); 0 past the end.
    quint8 param(int i) const;
    int paramCount() const { return int(m_body.size()) - 2; }
    // Body bytes from parameter i on.
    QByteArray params(int from, int count = -1) const;
    char pm() const { return m_body.at(1); }

private:
    bool ready();

    ReaderDevice &m_reader;
    QByteArray m_body;
    int m_statusIndex;
    SimCard m_card;
    QByteArray m_answer;
};

// A password presented to a card that counts wrong attempts: "F" while the
// counter is used up or when this was its last attempt, "Y" (and the counter
// full again) on a match, otherwise "N".
char checkPassword(const QByteArray &given, const QByteArray &stored, int &attemptsLeft,
                   int attempts, bool &verified);

// Write helpers shared by the EEPROM families: whether [address, address + n)
// lies within size with n > 0.
inline bool fits(int address, int n, int size) {
    return n > 0 && address >= 0 && address + n <= size;
}

} // namespace talvex::sim

#include "sim/memorycommand.h"

#include "sim/contactcpucard.h"
#include "sim/readercommands.h"
#include "sim/readerdevice.h"

namespace talvex::sim {

SimCard blankMemoryCard(MemoryCardType type, CardPlace place) {
    SimCard card;
    card.kind = CardKind::MemoryCard;
    card.place = place;
    card.typeCode = memoryCardTypeCode(type);
    card.memory = blankMemoryChip(type);
    return card;
}

char checkPassword(const QByteArray &given, const QByteArray &stored, int &attemptsLeft,
                   int attempts, bool &verified) {
    if (attemptsLeft == 0)
        return 'F';
    verified = given == stored;
    if (verified) {
        attemptsLeft = attempts;
        return 'Y';
    }
    return --attemptsLeft == 0 ? 'F' : 'N';
}

MemoryCommand::MemoryCommand(ReaderDevice &reader, const QByteArray &body, int statusIndex)
    : m_reader(reader), m_body(body), m_statusIndex(statusIndex), m_card(reader.card()) {}

bool MemoryCommand::ready() {
    if (!hasContactIcModule(m_reader.model())) {
        m_answer = negativeReply(m_body, errorcode::kUndefinedCommand);
        return false;
    }
    if (!m_card.present()) {
        m_answer = reply('E');
        return false;
    }
    if (!atContacts(m_reader.model(), m_card)) {
        m_answer = reply('W');
        return false;
    }
    return true;
}

QByteArray MemoryCommand::reply(char status, const QByteArray &data) {
    if (m_card.present())
        m_reader.setCard(m_card);
    QByteArray r("P");
    r += m_body.at(1);
    if (m_statusIndex == 3)
        r += m_body.size() > 2 ? m_body.at(2) : '0';
    r += status;
    return r + data;
}

quint8 MemoryCommand::param(int i) const {
    const qsizetype at = 2 + i;
    return at < m_body.size() ? quint8(m_body.at(at)) : 0;
}

QByteArray MemoryCommand::params(int from, int count) const {
    return m_body.mid(2 + from, count);
}

} // namespace talvex::sim

#include "sim/at88sc1608.h"

#include "sim/memorycommand.h"

namespace talvex::sim {
namespace {

constexpr int kZones = 8;
constexpr int kZoneSize = 256;
constexpr int kConfigurationSize = 128;
constexpr int kSecretAt = 0x60;
constexpr int kAttempts = 8;
constexpr int kSecureCode = 8 + 7; // write password of zone 8

// The password type code as the program's list offers it: 30h-37h the read
// passwords of zones 1-8, 38h-3Eh the write passwords of zones 2-8, 3Fh that
// of zone 1.
int passwordOf(quint8 k) {
    if (k >= 0x30 && k <= 0x37)
        return k - 0x30;
    if (k >= 0x38 && k <= 0x3F)
        return 8 + (k - 0x37) % 8;
    return -1;
}

} // namespace

At88sc1608Card At88sc1608Card::blank() {
    At88sc1608Card card;
    for (int z = 0; z < kZones; ++z)
        card.zones.append(QByteArray(kZoneSize, char(0xFF)));
    card.configuration = QByteArray(kConfigurationSize, char(0xFF));
    card.configuration.replace(kSecretAt, 8, QByteArray(8, '\0'));
    card.passwords = QList<QByteArray>(2 * kZones, QByteArray::fromHex("FFFFFF"));
    card.attemptsLeft = QList<int>(2 * kZones, kAttempts);
    card.verified = QList<bool>(2 * kZones, false);
    card.fuses = QList<bool>(3, false);
    return card;
}

QByteArray at88sc1608Command(ReaderDevice &reader, const QByteArray &body) {
    const char pm = body.at(1);
    const bool zoneCommand = pm == '1' || pm == '2' || pm == '3';
    MemoryCommand cmd(reader, body, zoneCommand ? 3 : 2);
    At88sc1608Card *card = cmd.chip<At88sc1608Card>();
    if (!card)
        return cmd.answer();
    const bool secure = card->verified.at(kSecureCode);

    switch (pm) {
    case '0':
        card->verified = QList<bool>(2 * kZones, false);
        card->challenge.clear();
        card->authenticated = false;
        return cmd.ok();
    case '1': {
        const int k = passwordOf(cmd.param(0));
        if (k < 0 || cmd.paramCount() != 4)
            return cmd.refuse();
        return cmd.reply(checkPassword(cmd.params(1, 3), card->passwords.at(k),
                                       card->attemptsLeft[k], kAttempts, card->verified[k]));
    }
    case '2':
    case '3': {
        const quint8 z = cmd.param(0);
        const int a = cmd.param(1);
        const int n = cmd.param(2);
        if (z == 0x38) {
            if (!fits(a, n, kConfigurationSize))
                return cmd.refuse();
            if (pm == '2')
                return cmd.ok(cmd.params(1, 2) + card->configuration.mid(a, n));
            const QByteArray data = cmd.params(3);
            if (!secure || card->fuses.at(2) || data.size() != n)
                return cmd.refuse();
            card->configuration.replace(a, n, data);
            return cmd.ok();
        }
        const int zone = z - 0x30;
        if (zone < 0 || zone >= kZones || !fits(a, n, kZoneSize))
            return cmd.refuse();
        const bool writeOpen = zone == 0 || card->verified.at(8 + zone);
        if (pm == '2') {
            if (zone == kZones - 1 && !writeOpen && !card->verified.at(zone))
                return cmd.refuse();
            return cmd.ok(cmd.params(1, 2) + card->zones.at(zone).mid(a, n));
        }
        const QByteArray data = cmd.params(3);
        if (!writeOpen || data.size() != n)
            return cmd.refuse();
        card->zones[zone].replace(a, n, data);
        return cmd.ok();
    }
    case '4': {
        QByteArray fuses = QByteArray::fromHex("388003");
        for (bool blown : std::as_const(card->fuses))
            fuses += blown ? '0' : '1';
        return cmd.ok(fuses);
    }
    case '5':
        if (!secure || !card->fuses.contains(false))
            return cmd.refuse();
        card->fuses[card->fuses.indexOf(false)] = true;
        return cmd.ok();
    case '6':
        if (cmd.paramCount() != 8)
            return cmd.refuse();
        card->challenge = cmd.params(0);
        card->authenticated = false;
        return cmd.ok();
    case '7': {
        // The answer the card expects: the host's random number XORed with
        // the secret of the configuration zone.
        if (card->challenge.isEmpty() || cmd.paramCount() != 8)
            return cmd.refuse();
        QByteArray expected = card->challenge;
        for (int i = 0; i < 8; ++i)
            expected[i] = char(expected.at(i) ^ card->configuration.at(kSecretAt + i));
        card->challenge.clear();
        card->authenticated = cmd.params(0) == expected;
        return cmd.reply(card->authenticated ? 'Y' : 'N');
    }
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim

#include "sim/at88sc1604.h"

#include "sim/memorycommand.h"

namespace talvex::sim {
namespace {

constexpr int kPasswords = 9;
constexpr int kAttempts = 8;
constexpr quint8 kUserFuse = 0x32;

// Zone code 30h-33h: application zones 1-4; 34h: the security zone.
int zoneOf(quint8 z) {
    if (z >= 0x30 && z <= 0x33)
        return z - 0x30 + 1;
    return z == 0x34 ? 0 : -1;
}

int passwordOf(quint8 k) {
    return k >= 0x30 && k < 0x30 + kPasswords ? k - 0x30 : -1;
}

} // namespace

int At88sc1604Card::zoneSize(int zone) {
    static constexpr int kSizes[] = {32, 1195, 256, 256, 256};
    return kSizes[zone];
}

At88sc1604Card At88sc1604Card::blank() {
    At88sc1604Card card;
    for (int z = 0; z < 5; ++z)
        card.zones.append(QByteArray(zoneSize(z), char(0xFF)));
    // Transport values: the security code F0F0h, every zone password FFFFh.
    card.passwords.append(QByteArray::fromHex("F0F0"));
    for (int i = 1; i < kPasswords; ++i)
        card.passwords.append(QByteArray::fromHex("FFFF"));
    card.attemptsLeft = QList<int>(kPasswords, kAttempts);
    card.verified = QList<bool>(kPasswords, false);
    return card;
}

QByteArray at88sc1604Command(ReaderDevice &reader, const QByteArray &body) {
    const char pm = body.at(1);
    MemoryCommand cmd(reader, body, pm == '0' ? 2 : 3);
    At88sc1604Card *card = cmd.chip<At88sc1604Card>();
    if (!card)
        return cmd.answer();

    if (pm == '0') {
        card->verified = QList<bool>(kPasswords, false);
        return cmd.ok();
    }
    if (pm == '6') {
        const quint8 m = cmd.param(0);
        if (!card->verified.at(0) || m < 0x30 || m > kUserFuse)
            return cmd.refuse();
        card->fuse = m;
        return cmd.ok();
    }
    if (pm == '1' || pm == '5') {
        const int k = passwordOf(cmd.param(0));
        if (k < 0 || cmd.paramCount() != 3)
            return cmd.refuse();
        if (pm == '5') {
            if (!card->verified.at(0) && !card->verified.at(k))
                return cmd.refuse();
            card->passwords[k] = cmd.params(1, 2);
            return cmd.ok();
        }
        return cmd.reply(checkPassword(cmd.params(1, 2), card->passwords.at(k),
                                       card->attemptsLeft[k], kAttempts, card->verified[k]));
    }

    const int zone = zoneOf(cmd.param(0));
    const int a = cmd.param(1) * 256 + cmd.param(2);
    const int n = cmd.param(3);
    if (zone < 0 || !fits(a, n, At88sc1604Card::zoneSize(zone)))
        return cmd.refuse();
    QByteArray &bytes = card->zones[zone];
    // Zone z: its write password (2z - 1) and its erase password (2z); the
    // security zone answers to the security code and is frozen by the user fuse.
    const bool securityZoneOpen = card->verified.at(0) && card->fuse != kUserFuse;
    switch (pm) {
    case '2':
        return cmd.ok(cmd.params(1, 3) + bytes.mid(a, n));
    case '3':
        if (zone == 0 ? !securityZoneOpen : !card->verified.at(2 * zone))
            return cmd.refuse();
        bytes.replace(a, n, QByteArray(n, char(0xFF)));
        return cmd.ok();
    case '4': {
        const QByteArray data = cmd.params(4);
        if (data.size() != n || (zone == 0 ? !securityZoneOpen : !card->verified.at(2 * zone - 1)))
            return cmd.refuse();
        for (int i = 0; i < n; ++i)
            bytes[a + i] = char(bytes.at(a + i) & data.at(i));
        return cmd.ok();
    }
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim

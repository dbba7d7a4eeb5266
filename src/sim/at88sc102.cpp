#include "sim/at88sc102.h"

#include "sim/memorycommand.h"

namespace talvex::sim {
namespace {

constexpr int kSize = 196;
constexpr int kScAt = 0x0A;
constexpr int kZone1At = 0x16;
constexpr int kEz1At = 0x56;
constexpr int kZone2At = 0x5C;
constexpr int kEz2At = 0x9C;
constexpr int kZoneSize = 64;
constexpr int kAttempts = 4;

bool inZone(int a, int n, int at) {
    return a >= at && a + n <= at + kZoneSize;
}
bool touchesZone(int a, int n, int at) {
    return a < at + kZoneSize && a + n > at;
}

// Zone code z 30h (security area), 31h, 32h: whether [a, a + n) lies in it.
bool inArea(quint8 z, int a, int n) {
    if (!fits(a, n, kSize))
        return false;
    switch (z) {
    case 0x30:
        return !touchesZone(a, n, kZone1At) && !touchesZone(a, n, kZone2At);
    case 0x31:
        return inZone(a, n, kZone1At);
    case 0x32:
        return inZone(a, n, kZone2At);
    default:
        return false;
    }
}

} // namespace

At88sc102Card At88sc102Card::blank() {
    At88sc102Card card;
    card.memory = QByteArray(kSize, char(0xFF));
    card.memory.replace(kScAt, 2, QByteArray::fromHex("F0F0")); // transport code
    return card;
}

QByteArray at88sc102Command(ReaderDevice &reader, const QByteArray &body) {
    const char pm = body.at(1);
    MemoryCommand cmd(reader, body, pm == '0' || pm == '7' ? 2 : 3);
    At88sc102Card *card = cmd.chip<At88sc102Card>();
    if (!card)
        return cmd.answer();
    const quint8 z = cmd.param(0);
    const int a = cmd.param(1);
    const int n = cmd.param(2);
    QByteArray &memory = card->memory;

    switch (pm) {
    case '0':
        card->verified = false;
        return cmd.ok();
    case '1':
        if (cmd.paramCount() != 2)
            return cmd.refuse();
        return cmd.reply(checkPassword(cmd.params(0), memory.mid(kScAt, 2), card->attemptsLeft,
                                       kAttempts, card->verified));
    case '2': {
        if (!inArea(z, a, n))
            return cmd.refuse();
        QByteArray read = memory.mid(a, n);
        // The codes read as FFh until the security code has been presented.
        if (!card->verified) {
            for (int at : {kScAt, kScAt + 1})
                if (at >= a && at < a + n)
                    read[at - a] = char(0xFF);
        }
        return cmd.ok(cmd.params(1, 2) + read);
    }
    case '3':
        if (z == 0x33) {
            if (cmd.params(1) != memory.mid(kEz1At, 6))
                return cmd.refuse();
            memory.replace(kZone1At, kZoneSize, QByteArray(kZoneSize, char(0xFF)));
            return cmd.ok();
        }
        if (z == 0x34) {
            const quint8 flag = cmd.param(1);
            if ((flag != 0x30 && flag != 0x31) || cmd.paramCount() != 6)
                return cmd.refuse();
            if (flag == 0x31 && !card->ec2Invalid) {
                if (card->ec2Left == 0)
                    return cmd.reply('F');
                --card->ec2Left;
            }
            if (cmd.params(2) != memory.mid(kEz2At, 4))
                return cmd.refuse();
            memory.replace(kZone2At, kZoneSize, QByteArray(kZoneSize, char(0xFF)));
            return cmd.ok();
        }
        if (!card->verified || !inArea(z, a, n) || (z == 0x32 && card->zone2ReadOnly()))
            return cmd.refuse();
        memory.replace(a, n, QByteArray(n, char(0xFF)));
        return cmd.ok();
    case '4': {
        const QByteArray data = cmd.params(3);
        if (!card->verified || !inArea(z, a, n) || data.size() != n ||
            (z == 0x32 && card->zone2ReadOnly()))
            return cmd.refuse();
        for (int i = 0; i < n; ++i)
            memory[a + i] = char(memory.at(a + i) & data.at(i));
        return cmd.ok();
    }
    case '5': {
        static constexpr struct {
            quint8 code;
            int at;
            int size;
        } kCodes[] = {{0x30, kScAt, 2}, {0x31, kEz1At, 6}, {0x32, kEz2At, 4}};
        for (const auto &code : kCodes) {
            if (code.code != z)
                continue;
            if (!card->verified || cmd.paramCount() != 1 + code.size)
                return cmd.refuse();
            memory.replace(code.at, code.size, cmd.params(1));
            return cmd.ok();
        }
        return cmd.refuse();
    }
    case '6':
        if (!card->verified || z < 0x30 || z > 0x32)
            return cmd.refuse();
        card->fuse = z;
        return cmd.ok();
    case '7':
        if (!card->verified)
            return cmd.refuse();
        card->ec2Invalid = true;
        return cmd.ok();
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim

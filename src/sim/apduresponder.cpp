#include "sim/apduresponder.h"

#include <QRandomGenerator>

namespace talvex::sim {
namespace {

constexpr char kSelect = char(0xA4);
constexpr char kGetChallenge = char(0x84);
constexpr int kChallengeSize = 8;

const QByteArray kMasterFile = QByteArray::fromHex("3F00");
const QByteArray kPaymentDirectory = QByteArrayLiteral("1PAY.SYS.DDF01");

QByteArray sw(quint8 sw1, quint8 sw2) {
    QByteArray out;
    out += char(sw1);
    out += char(sw2);
    return out;
}

// TLV with a one-byte length: every template here stays below 128 bytes.
QByteArray tlv(const QByteArray &tag, const QByteArray &value) {
    return tag + char(value.size()) + value;
}

QByteArray masterFileFci() {
    return tlv("\x6F", tlv("\x84", kMasterFile) + tlv("\xA5", tlv("\x88", "\x01")));
}

// EMV's directory FCI: the name, then SFI 1 of the directory file and the
// preferred language.
QByteArray paymentDirectoryFci() {
    const QByteArray proprietary = tlv("\x88", "\x01") + tlv("\x5F\x2D", "en");
    return tlv("\x6F", tlv("\x84", kPaymentDirectory) + tlv("\xA5", proprietary));
}

struct Apdu {
    char ins = 0;
    quint8 p1 = 0;
    quint8 p2 = 0;
    QByteArray data;
    int le = -1; // -1: no Le field
};

// Short APDUs: header, then nothing, Le, Lc + data, or Lc + data + Le.
bool parse(const QByteArray &command, Apdu &apdu) {
    if (command.size() < 4)
        return false;
    apdu.ins = command.at(1);
    apdu.p1 = quint8(command.at(2));
    apdu.p2 = quint8(command.at(3));
    if (command.size() == 4)
        return true;
    const int p3 = quint8(command.at(4));
    if (command.size() == 5) {
        apdu.le = p3 == 0 ? 256 : p3;
        return true;
    }
    if (p3 == 0 || command.size() < 5 + p3 || command.size() > 6 + p3)
        return false;
    apdu.data = command.mid(5, p3);
    if (command.size() == 6 + p3)
        apdu.le = quint8(command.back()) == 0 ? 256 : quint8(command.back());
    return true;
}

} // namespace

QByteArray ApduResponder::respond(const QByteArray &command) const {
    Apdu apdu;
    if (!parse(command, apdu))
        return sw(0x67, 0x00);
    if (apdu.ins == kGetChallenge && apdu.data.isEmpty()) {
        if (apdu.le != kChallengeSize && apdu.le != 256 && apdu.le != -1)
            return sw(0x6C, kChallengeSize);
        QByteArray challenge(kChallengeSize, '\0');
        for (char &b : challenge)
            b = char(QRandomGenerator::global()->bounded(256));
        return challenge + sw(0x90, 0x00);
    }
    if (apdu.ins == kSelect) {
        // P2 0Ch asks for no FCI: the status word alone.
        const bool noFci = (apdu.p2 & 0x0C) == 0x0C;
        if (apdu.p1 == 0x00 && apdu.data == kMasterFile)
            return (noFci ? QByteArray() : masterFileFci()) + sw(0x90, 0x00);
        if (apdu.p1 == 0x04 && apdu.data == kPaymentDirectory)
            return paymentDirectoryFci() + sw(0x90, 0x00);
    }
    return sw(0x6D, 0x00);
}

} // namespace talvex::sim

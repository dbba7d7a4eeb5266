#include "contactcommands.h"

#include "link/exchange.h"
#include "link/frame.h"
#include "link/replycodes.h"

namespace talvex::contact {
namespace {

QByteArray bytes(std::initializer_list<char> list) {
    return QByteArray(list.begin(), qsizetype(list.size()));
}

const QString kPosition = QStringLiteral("The card is not on the IC card operation position");
const QString kNoCard = QStringLiteral("No Card In The Reader");

} // namespace

ProtocolFlags &protocolFlags() {
    static ProtocolFlags flags;
    return flags;
}

char protocolByte(qint16 flag) {
    return flag == 0 ? '1' : '2';
}

std::optional<quint8> samSocketCode(const QString &text) {
    static const QString prefix = QStringLiteral("SAM ");
    if (!text.startsWith(prefix))
        return std::nullopt;
    const QStringView digits = QStringView(text).mid(prefix.size());
    if (digits.isEmpty() || digits.size() > 2 || digits.startsWith(QLatin1Char('0')))
        return std::nullopt;
    int number = 0;
    for (const QChar c : digits) {
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
        number = number * 10 + (c.unicode() - '0');
    }
    if (number < 1 || number > 14)
        return std::nullopt;
    return quint8(0x2F + number);
}

QByteArray slotPowerBody(bool on) {
    return bytes({kSlotPower, on ? '0' : '1'});
}

QByteArray coldResetBody(bool isoMode) {
    return bytes({kSlotCpu, '0', isoMode ? '1' : '0'});
}

QByteArray warmResetBody() {
    return bytes({kSlotCpu, '/'});
}

QByteArray slotApduBody(qint16 protocolFlag, const QByteArray &apdu) {
    return bytes({kSlotCpu, protocolByte(protocolFlag)}) + apduLength(int(apdu.size())) + apdu;
}

QByteArray samResetBody(quint8 voltage, quint8 socket, bool emv) {
    return bytes({kSam, char(voltage), char(socket), emv ? '0' : '1'});
}

QByteArray samApduBody(qint16 protocolFlag, quint8 socket, const QByteArray &apdu) {
    return bytes({kSam, protocolByte(protocolFlag), char(socket)}) + apduLength(int(apdu.size())) +
           apdu;
}

QByteArray samPowerOffBody() {
    return bytes({kSamPower, '1'});
}

std::optional<link::MessageRequest> statusBox(const StatusTexts &texts, quint8 status) {
    const QString *text = nullptr;
    bool success = false;
    switch (status) {
    case 'Y':
        text = &texts.y;
        success = true;
        break;
    case 'Z':
        text = &texts.z;
        success = true;
        break;
    case 'N':
        text = &texts.n;
        break;
    case 'E':
        text = &texts.e;
        break;
    case 'W':
        text = &texts.w;
        break;
    default:
        return std::nullopt;
    }
    if (text->isEmpty())
        return std::nullopt;
    const QString &title =
        success || texts.failureTitle.isEmpty() ? texts.title : texts.failureTitle;
    return link::MessageRequest{title, *text, link::MsgIcon::Information, link::MsgButtons::Ok};
}

namespace texts {
namespace {

// The slot card's and the SAM's resets differ only in their title.
StatusTexts resetTexts(const QString &title) {
    return {.title = title,
            .failureTitle = QStringLiteral("Card Reset"),
            .y = QStringLiteral("Reset Success(T=0)"),
            .z = QStringLiteral("Reset Success(T=1)"),
            .n = QStringLiteral("Reset Error"),
            .e = kNoCard,
            .w = kPosition};
}

} // namespace

const StatusTexts &powerOn() {
    static const StatusTexts t{.title = QStringLiteral("Power On"),
                               .y = QStringLiteral("Power On Success"),
                               .n = QStringLiteral("Power On Error"),
                               .w = kPosition};
    return t;
}

const StatusTexts &powerOff() {
    static const StatusTexts t{.title = QStringLiteral("Power Off"),
                               .y = QStringLiteral("Power Off Success"),
                               .n = QStringLiteral("Power Off Error"),
                               .w = kPosition};
    return t;
}

const StatusTexts &cpuReset() {
    static const StatusTexts t = resetTexts(QStringLiteral("CPU Card Reset"));
    return t;
}

const StatusTexts &apdu() {
    static const StatusTexts t{.title = QStringLiteral("C-APDU"),
                               .y = QStringLiteral("Success"),
                               .n = QStringLiteral("Error"),
                               .e = kNoCard,
                               .w = QStringLiteral("The card is not at the IC card position")};
    return t;
}

const StatusTexts &samReset() {
    static const StatusTexts t = resetTexts(QStringLiteral("SAM Card Reset"));
    return t;
}

const StatusTexts &samPowerOff() {
    static const StatusTexts t{.title = QStringLiteral("Power Off"),
                               .y = QStringLiteral("Power Off Success"),
                               .n = QStringLiteral("Power Off Fail")};
    return t;
}

} // namespace texts

quint8 statusAt(const QByteArray &reply, int index) {
    return index < reply.size() ? quint8(reply.at(index)) : 0;
}

void reportStatus(const StatusTexts &texts, quint8 status) {
    if (const std::optional<link::MessageRequest> box = statusBox(texts, status))
        link::showMessage(box->text, box->title, box->icon, box->buttons);
}

} // namespace talvex::contact

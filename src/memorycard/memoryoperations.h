#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace talvex::memorycard {

// The seven families in the order of their pages on the inner tab strip.
enum class Family { Sle4428, Sle4442, At24c, At88sc1604, At88sc1608, At45db041, At88sc102 };
inline constexpr int kFamilyCount = 7;

QString familyCaption(Family family); // "SLE4428", ..., "AT45D041", "AT88SC102"
char familyCode(Family family);       // CM: '9', '8', '6', ';', '>', '<', ':'

// Where an operation takes one part of its body from.
enum class Source {
    Box,          // one byte typed in the parameter box named by `box`
    Length,       // n, typed in the box `box`
    Data,         // grid cells 0 ... n-1
    SavedPsc,     // the SLE4428 PSC pair of the last successful check
    CardType,     // t, from the AT24Cxx type combo
    PasswordType, // k, from the family's password list
    Zone,         // z, from the family's zone list or zone options
    EraseZone,    // AT88SC102: 33h and six erase-key bytes, or 34h, EC2 flag, four
    ChangeCode,   // AT88SC102: 30h and the code, 31h or 32h and an erase key
    Page,         // the AT45DB041 page buffer, 264 bytes
};

struct Part {
    Source source;
    const char *box = nullptr;
};

// What an operation does beyond the common read or write pattern.
enum class Extra {
    None,
    SavePassword,     // SLE4442 and SLE4428 checks keep the PSC they sent
    ProtectionMemory, // always 32 data bytes
    ShowPsc,          // the bytes go into the message, not the grid
    ShowFuses,        // the fuse lines go into the message
    CardTypeSet,      // the address range label follows the type
    PageRead,         // AT45DB041: fills the page buffer
    PageWrite,        // AT45DB041: needs a page read, stores the grid back first
};

struct MemoryOperation {
    Family family;
    const char *button; // objectName of the button
    const char *caption;
    char pm;
    std::vector<Part> parts;
    int statusIndex;
    int dataIndex; // -1: no data in the reply
    const char *title;
    const char *yes;
    const char *no;
    const char *locked = nullptr;      // the "F" message, where the card can answer it
    const char *lockedTitle = nullptr; // its title when not `title`
    Extra extra = Extra::None;
    int lengthLimit = 0x80; // the grid holds 128 bytes; 0: no limit

    bool readsIntoGrid() const { return dataIndex >= 0 && extra != Extra::ShowPsc; }
};

// Every button of the seven pages, page by page.
const std::vector<MemoryOperation> &memoryOperations();
const MemoryOperation *findOperation(const QString &button);

namespace text {
inline const QString NoCard = QStringLiteral("No Card In The Reader");
inline const QString NotAtIc = QStringLiteral("The card is not on the IC card operation position");
inline const QString InputDataFirst = QStringLiteral("Please input the data first");
inline const QString ErrorLength = QStringLiteral("Error Length");
inline const QString FalsePassword = QStringLiteral("False password data");
inline const QString FalseZone = QStringLiteral("False Zone data");
inline const QString PasswordTypeError = QStringLiteral("Password Type Data Error");
inline const QString ZoneNumberError = QStringLiteral("Zoom No. Error");
inline const QString ReadDataFirst = QStringLiteral("Read data first");
inline const QString ReadBeforeWrite =
    QStringLiteral("Read card data first to avoid writing error");
inline const QString FuseModes =
    QStringLiteral("0x30 Fak User Fuse 0x31 Exit Fak User Fuse 0x32 User Fuse");
inline const QString Ec2Modes =
    QStringLiteral("0x30 Means EC2 Function Disabled 0x31 Means EC2 Function Enabled");
} // namespace text

// The result box a reply's status byte calls for: "Y", "N", "E", "W", and "F"
// where the operation knows it; nothing for any other value.
struct ResultBox {
    QString title;
    QString text;
};
std::optional<ResultBox> resultBox(const MemoryOperation &op, const QByteArray &reply,
                                   int replyLength);
// The data bytes of a read reply (reply length - D - 2 of them; the SLE4442
// protection memory always 32).
QByteArray replyData(const MemoryOperation &op, const QByteArray &reply, int replyLength);

// AT24Cxx types: "24C01" ... "24C64", their codes 30h ... 36h and address labels.
const QStringList &at24cTypes();
std::optional<quint8> at24cTypeCode(const QString &text);
QString at24cAddressRange(const QString &text); // "" for a text naming no type

// AT88SC1604 password list, zone list and zone codes.
const QStringList &at88sc1604PasswordTypes();
const QStringList &at88sc1604Zones();
quint8 at88sc1604ZoneCode(int index);
// The transport value of a password type: the security code F0F0h, every
// zone and erase password FFFFh. Two box texts.
QStringList at88sc1604DefaultPassword(int index);

const QStringList &at88sc1608PasswordTypes();
const QStringList &at88sc1608Zones();

// AT88SC102 options `ATC102A4area`, 0-10.
const QStringList &at88sc102Options();
// Options 5-10: the address hint and the address typed in for it.
QString at88sc102AddressHint(int option);
QString at88sc102AddressStart(int option);

} // namespace talvex::memorycard

#include "memoryoperations.h"

#include "link/frame.h"

namespace talvex::memorycard {
namespace {

using S = Source;
using F = Family;

Part box(const char *name) {
    return {S::Box, name};
}
Part length(const char *name) {
    return {S::Length, name};
}
const Part kData{S::Data};
const Part kZone{S::Zone};
const Part kPasswordType{S::PasswordType};
const Part kCardType{S::CardType};

std::vector<MemoryOperation> buildOperations() {
    const char *reset = "Card Reset";
    const char *resetOk = "Reset Success";
    const char *resetError = "Reset Error";
    const char *check = "Check Password";
    const char *change = "Change Password";
    const char *writeOk = "Write Success";
    const char *writeError = "Write Error";
    const char *writeDataOk = "Write Data Success";
    const char *writeDataError = "Write Data Error";
    const char *readOk = "Read Success";
    const char *readError = "Read Error";
    const char *zoneLocked = "Card Deposit Or Zoom Deposit";
    const char *without = "Write Data Without Protection Bit";
    const char *erase102 = "Erase The Main Memory";
    const std::vector<Part> authentication = {
        box("ATC1608Vri01"), box("ATC1608Vri02"), box("ATC1608Vri03"), box("ATC1608Vri04"),
        box("ATC1608Vri05"), box("ATC1608Vri06"), box("ATC1608Vri07"), box("ATC1608Vri08")};

    // One row per button, laid out as a table.
    // clang-format off
    std::vector<MemoryOperation> ops = {
        // SLE4428
        {F::Sle4428, "SL4428RESET", reset, '0', {}, 2, -1, reset, resetOk, resetError},
        {F::Sle4428, "SL4428READAREA", "Read Memory Zone", '1',
         {box("SL4428Add1"), box("SL4428Add2"), length("SL4428Long")}, 2, 6, "Read Memory Zone",
         "Read Data Success", "Read Data Error"},
        {F::Sle4428, "SL4428READBIT", "Read Protection Bit", '2',
         {box("SL4428Add1"), box("SL4428Add2"), length("SL4428Long")}, 2, 6,
         "Read Protection Bit", "Read Protection Bit Success", "Read Protection Bit Error"},
        {F::Sle4428, "SL4428PASS", check, '3', {box("SL4428Pass1"), box("SL4428Pass2")}, 2, -1,
         check, "Check Password Success", "Check Password Error", "Card Deposit", nullptr,
         Extra::SavePassword},
        {F::Sle4428, "SL4428WRITENO", without, '4',
         {box("SL4428Add1"), box("SL4428Add2"), length("SL4428Long"), kData}, 2, -1, without,
         writeOk, writeError},
        {F::Sle4428, "SL4428WRITEYES", "Write Data With Protection Bit", '5',
         {box("SL4428Add1"), box("SL4428Add2"), length("SL4428Long"), kData}, 2, -1, without,
         writeOk, writeError},
        {F::Sle4428, "SL4428CHANGE", change, '6',
         {{S::SavedPsc}, box("SL4428Pass1"), box("SL4428Pass2")}, 2, -1, change,
         "Change Password Success", "Change Password Error"},

        // SLE4442
        {F::Sle4442, "SLE4442RESET", reset, '0', {}, 2, -1, reset, resetOk, resetError},
        {F::Sle4442, "SL4442ReadCenChu", "Read Main Memory", '1',
         {box("SL4442Add1"), length("SL4442Long")}, 2, 5, "Read Main Memory", "Read Data Success",
         "Read Data Error"},
        {F::Sle4442, "SL4442ReadBaoHu", "Read Protection Bit", '2', {}, 2, 3,
         "Read Protection Bit", readOk, readError, nullptr, nullptr, Extra::ProtectionMemory},
        {F::Sle4442, "SL4442ReadAnquan", "Read PSC", '3', {}, 2, 3, "Read PSC", "Read PSC Success",
         "Read PSC Error", nullptr, nullptr, Extra::ShowPsc},
        {F::Sle4442, "SL4442Pass", check, '4',
         {box("SL4442Pass1"), box("SL4442Pass2"), box("SL4442Pass3")}, 2, -1, check,
         "Check Password Success ", "Check Password Error", "Card Deposit", nullptr,
         Extra::SavePassword},
        {F::Sle4442, "SL4442WriteCenChu", "Write Main Memory", '5',
         {box("SL4442Add1"), length("SL4442Long"), kData}, 2, -1, "Write Main Memory", writeOk,
         writeError},
        {F::Sle4442, "SL4442WriteBaoHu", "Write Protection Memory", '6',
         {box("SL4442Add1"), length("SL4442Long"), kData}, 2, -1, without, writeOk, writeError,
         nullptr, nullptr, Extra::None, 0x20},
        {F::Sle4442, "SL4442Change", change, '7',
         {box("SL4442Pass1"), box("SL4442Pass2"), box("SL4442Pass3")}, 2, -1, change,
         "Change Password Success ", "Change Password Error"},

        // AT24Cxx
        {F::At24c, "IC24TYPE", "Card Type", '0', {kCardType}, 2, -1, "Card Type", "setup Success",
         "Setup Error ", nullptr, nullptr, Extra::CardTypeSet},
        {F::At24c, "IC24XXREAD", "Read Data", '1',
         {kCardType, box("IC24XXADD1"), box("IC24XXADD2"), length("IC24XXLONG")}, 3, 7,
         "Read Data", readOk, readError},
        {F::At24c, "IC24XXWRITE", "Write Data Without Parity", '2',
         {kCardType, box("IC24XXADD1"), box("IC24XXADD2"), length("IC24XXLONG"), kData}, 3, -1,
         "Write Data Without Parity", writeOk, writeError},
        {F::At24c, "IC24XXWRITEParity", "Write Data With Parity", '3',
         {kCardType, box("IC24XXADD1"), box("IC24XXADD2"), length("IC24XXLONG"), kData}, 3, -1,
         "Write Data With Parity", writeOk, writeError},

        // AT88SC1604
        {F::At88sc1604, "ATC1604RESET", reset, '0', {}, 2, -1, reset, resetOk, resetError},
        {F::At88sc1604, "ATC1604PASS", check, '1',
         {kPasswordType, box("ATC1604pass1"), box("ATC1604pass2")}, 3, -1, check,
         "Check Password Success", "Check Password Error", zoneLocked},
        {F::At88sc1604, "ATC1604READ", "Read Data", '2',
         {kZone, box("ATC1604add1"), box("ATC1604add2"), length("ATC1604Long")}, 3, 7,
         "Read Data", readOk, readError},
        // Erasing fills the card, not the grid: any length the zone has.
        {F::At88sc1604, "ATC1604EARSEData", "Earse Data", '3',
         {kZone, box("ATC1604add1"), box("ATC1604add2"), length("ATC1604Long")}, 3, -1,
         "Earse Data", "Earse Data Success", "Earse Data Error", nullptr, nullptr, Extra::None, 0},
        {F::At88sc1604, "ATC1604Write", "Write Data", '4',
         {kZone, box("ATC1604add1"), box("ATC1604add2"), length("ATC1604Long"), kData}, 3, -1,
         "Write Data", writeDataOk, writeDataError},
        {F::At88sc1604, "ATC1604CHANGE", change, '5',
         {kPasswordType, box("ATC1604pass1"), box("ATC1604pass2")}, 3, -1, change,
         "Change Password Success", "Change Password Error", zoneLocked, check},
        {F::At88sc1604, "ATC1604Format", "Format", '6', {box("ATC1604A6format")}, 3, -1, "Format",
         "Format Success", "Format Error"},

        // AT88SC1608
        {F::At88sc1608, "ATC1608RESET", reset, '0', {}, 2, -1, reset, resetOk, resetError},
        {F::At88sc1608, "ATC1608PASS", check, '1',
         {kPasswordType, box("ATC1608pass1"), box("ATC1608pass2"), box("ATC1608pass3")}, 3, -1,
         check, "Check Password Success", "Check Password Error", zoneLocked},
        {F::At88sc1608, "ATC1608READ", "Read Data", '2',
         {kZone, box("ATC1608Add"), length("ATC1608Long")}, 3, 6, "Read Data", readOk, readError},
        {F::At88sc1608, "ATC1608Write", "Write Data", '3',
         {kZone, box("ATC1608Add"), length("ATC1608Long"), kData}, 3, -1, "Write Data",
         writeDataOk, writeDataError},
        {F::At88sc1608, "ATC1608READRongsi", "Read fuses", '4', {}, 2, 6, "Read fuses",
         "Read fuses Success", "Read fuses Error", nullptr, nullptr, Extra::ShowFuses},
        {F::At88sc1608, "ATC1608WriteRongsi", "Write Fuses", '5', {}, 2, -1, "Write Fuses",
         "Write Fuses Success", "Write Fuses Error"},
        {F::At88sc1608, "ATC1608Format", "Initialize Authentication", '6', authentication, 2, -1,
         "Initialize Authentication", "Initialize Authentication Success",
         "Initialize Authentication fail"},
        {F::At88sc1608, "ATC1608verify", "Verify  Authentication", '7', authentication, 2, -1,
         "Verify  Authentication", "Verify  Authentication Success",
         "Verify  Authentication fail"},

        // AT45DB041
        {F::At45db041, "AT45D041Reset", reset, '0', {}, 2, -1, reset, resetOk, resetError},
        {F::At45db041, "AT45D041Read", "Read Data", '1',
         {box("AT45D041add1"), box("AT45D041add2")}, 2, 5, "Read Data", readOk, readError,
         nullptr, nullptr, Extra::PageRead},
        {F::At45db041, "AT45D041Write", "Write Data", '2',
         {box("AT45D041add1"), box("AT45D041add2"), {S::Page}}, 2, -1, "Write Data", writeDataOk,
         writeDataError, nullptr, nullptr, Extra::PageWrite},

        // AT88SC102
        {F::At88sc102, "ATC102RESET", reset, '0', {}, 2, -1, reset, resetOk, resetError},
        {F::At88sc102, "ATC102PASS", check, '1', {box("ATC102A1pass01"), box("ATC102A1pass02")},
         3, -1, check, "Check Password Success", "Check Password Error", "Card Deposit"},
        {F::At88sc102, "ATC102READ", "Read Main Memory", '2',
         {kZone, box("ATC102A5add"), length("ATC102A6long")}, 3, 6, "Read Main Memory", readOk,
         readError},
        {F::At88sc102, "ATC102EARSEData", "Erase Data", '3',
         {{S::Zone, "erase"}, box("ATC102A5add01"), length("ATC102A6long01")}, 3, -1, erase102,
         "Erase Success", "Erase Error", nullptr, nullptr, Extra::None, 0},
        {F::At88sc102, "ATC102EARSEZone", "Erase Zone", '3', {{S::EraseZone}}, 3, -1, erase102,
         "Erase Success", "Erase Error", "Zone 2 Deposit, Can Only Read"},
        {F::At88sc102, "ATC102Write", "Write Data To Main Memory", '4',
         {kZone, box("ATC102A5add"), length("ATC102A6long"), kData}, 3, -1,
         "Write Data To Main Memory", writeOk, writeError},
        {F::At88sc102, "ATC102CHANGE", change, '5', {{S::ChangeCode}}, 3, -1, change,
         "Change Password Success", "Change Password Error"},
        {F::At88sc102, "ATC102Format", "Format", '6', {box("ATC102A6Anquan")}, 3, -1, "Format",
         "Format Success", "Format Error"},
        {F::At88sc102, "ATC102ECINVALID", "EC Invalid", '7', {}, 2, -1, "EC Invalid",
         "Operation Success", "Operation Error"},
    };
    // clang-format on
    return ops;
}

} // namespace

QString familyCaption(Family family) {
    static const char *const kCaptions[kFamilyCount] = {
        "SLE4428", "SLE4442", "24CXX", "AT88SC1604", "AT88SC1608", "AT45D041", "AT88SC102"};
    return QString::fromLatin1(kCaptions[int(family)]);
}

char familyCode(Family family) {
    static constexpr char kCodes[kFamilyCount] = {'9', '8', '6', ';', '>', '<', ':'};
    return kCodes[int(family)];
}

const std::vector<MemoryOperation> &memoryOperations() {
    static const std::vector<MemoryOperation> ops = buildOperations();
    return ops;
}

const MemoryOperation *findOperation(const QString &button) {
    for (const MemoryOperation &op : memoryOperations()) {
        if (button == QLatin1String(op.button))
            return &op;
    }
    return nullptr;
}

QByteArray replyData(const MemoryOperation &op, const QByteArray &reply, int replyLength) {
    if (op.dataIndex < 0)
        return {};
    const int count = op.extra == Extra::ProtectionMemory ? 32 : replyLength - op.dataIndex - 2;
    return count > 0 ? reply.mid(op.dataIndex, count) : QByteArray();
}

std::optional<ResultBox> resultBox(const MemoryOperation &op, const QByteArray &reply,
                                   int replyLength) {
    const QString title = QString::fromLatin1(op.title);
    switch (reply.at(op.statusIndex)) {
    case 'Y': {
        QString text = QString::fromLatin1(op.yes);
        if (op.extra == Extra::ShowPsc) {
            text += QStringLiteral("\r\n");
            for (int i = 3; i < replyLength - 2; ++i)
                text += link::byteText(quint8(reply.at(i))) + QLatin1Char(' ');
        } else if (op.extra == Extra::ShowFuses) {
            const auto blown = [&](int index) { return reply.at(index) == '\x30'; };
            text += QStringLiteral("\r\n") +
                    (blown(6) ? QStringLiteral("FAB blown ") : QStringLiteral("FAB  not blown"));
            text += QStringLiteral("\r\n") +
                    (blown(7) ? QStringLiteral("CMA blown") : QStringLiteral("CMA not blown"));
            text += QStringLiteral("\r\n") +
                    (blown(8) ? QStringLiteral("PER blown") : QStringLiteral("PER not blown"));
        }
        return ResultBox{title, text};
    }
    case 'N':
        return ResultBox{title, QString::fromLatin1(op.no)};
    case 'E':
        return ResultBox{title, text::NoCard};
    case 'W':
        return ResultBox{title, text::NotAtIc};
    case 'F':
        if (!op.locked)
            return std::nullopt;
        return ResultBox{op.lockedTitle ? QString::fromLatin1(op.lockedTitle) : title,
                         QString::fromLatin1(op.locked)};
    default:
        return std::nullopt;
    }
}

const QStringList &at24cTypes() {
    static const QStringList types = {QStringLiteral("24C01"), QStringLiteral("24C02"),
                                      QStringLiteral("24C04"), QStringLiteral("24C08"),
                                      QStringLiteral("24C16"), QStringLiteral("24C32"),
                                      QStringLiteral("24C64")};
    return types;
}

std::optional<quint8> at24cTypeCode(const QString &text) {
    const qsizetype index = at24cTypes().indexOf(text);
    if (index < 0)
        return std::nullopt;
    return quint8(0x30 + index);
}

QString at24cAddressRange(const QString &text) {
    const qsizetype index = at24cTypes().indexOf(text);
    if (index < 0)
        return {};
    const int last = (128 << index) - 1;
    return QStringLiteral("Add:0x0000-0x") +
           QStringLiteral("%1").arg(last, 4, 16, QLatin1Char('0')).toUpper();
}

const QStringList &at88sc1604PasswordTypes() {
    static const QStringList rows = {
        QStringLiteral("Security Password"),     QStringLiteral("Zone 1 Password"),
        QStringLiteral("Zone 1 Earse Password"), QStringLiteral("Zone 2 Password"),
        QStringLiteral("Zone 2 Earse Password"), QStringLiteral("Zone 3 Password"),
        QStringLiteral("Zone 3 Earse Password"), QStringLiteral("Zone 4 Password"),
        QStringLiteral("Zone 4 Earse Password")};
    return rows;
}

const QStringList &at88sc1604Zones() {
    static const QStringList rows = {
        QStringLiteral("Security Zone"), QStringLiteral("Application Zone 1"),
        QStringLiteral("Application Zone 2"), QStringLiteral("Application Zone 3"),
        QStringLiteral("Application Zone 4")};
    return rows;
}

quint8 at88sc1604ZoneCode(int index) {
    return index == 0 ? 0x34 : quint8(0x30 + index - 1);
}

QStringList at88sc1604DefaultPassword(int index) {
    return index == 0 ? QStringList{QStringLiteral("F0"), QStringLiteral("F0")}
                      : QStringList{QStringLiteral("FF"), QStringLiteral("FF")};
}

const QStringList &at88sc1608PasswordTypes() {
    static const QStringList rows = [] {
        QStringList r;
        for (int i = 1; i <= 7; ++i)
            r << QStringLiteral("Password Read %1 Zoom").arg(i);
        r << QStringLiteral("Password Read 1 Zoom");
        for (int i = 2; i <= 8; ++i)
            r << QStringLiteral("Password Write %1 Zoom").arg(i);
        return r;
    }();
    return rows;
}

const QStringList &at88sc1608Zones() {
    static const QStringList rows = [] {
        QStringList r;
        for (int i = 1; i <= 8; ++i)
            r << QStringLiteral("%1 Zoom").arg(i);
        r << QStringLiteral("Configuration Zoom");
        return r;
    }();
    return rows;
}

const QStringList &at88sc102Options() {
    static const QStringList rows = {QStringLiteral("Security Code"),
                                     QStringLiteral("Zone 1 Erase Key"),
                                     QStringLiteral("Zone 2 Erase Key"),
                                     QStringLiteral("Zone 1 Erase Key"),
                                     QStringLiteral("Zone 2 Erase Key"),
                                     QStringLiteral("Security Zoom"),
                                     QStringLiteral("Zone 1"),
                                     QStringLiteral("Zone 2"),
                                     QStringLiteral("Security Zoom"),
                                     QStringLiteral("Zone 1"),
                                     QStringLiteral("Zone 2")};
    return rows;
}

QString at88sc102AddressHint(int option) {
    switch (option % 3) {
    case 2: // 5 and 8
        return QStringLiteral("Add:Except Zoom 1,2");
    case 0: // 6 and 9
        return QStringLiteral("Add:0x16-0x55");
    default: // 7 and 10
        return QStringLiteral("Add:0x5C-0x9B");
    }
}

QString at88sc102AddressStart(int option) {
    static const QString starts[] = {QStringLiteral("16"), QStringLiteral("5C"),
                                     QStringLiteral("00")};
    return starts[option % 3];
}

} // namespace talvex::memorycard

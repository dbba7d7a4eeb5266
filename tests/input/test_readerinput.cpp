// Bad text in every box of the reader window's own tabs and of the dialogs it
// opens for the port, the indicator lights and the value blocks: each gives
// its caution and nothing goes on the line.

#include "inputbench.h"

using namespace talvex;
using testing::InputRow;

Q_DECLARE_METATYPE(talvex::testing::InputRow)

namespace {

const QString kNotEffective = QStringLiteral("Caution|Error:Please check the data effective");
const QString kCheckEffective = QStringLiteral("Caution|Error:Please Check The Data Effective");
const QString kEnterCommand = QStringLiteral("Caution|Enter the Command and then Press 'Send'");
const QString kPortInvalid = QStringLiteral("Caution|Comm Port Setup Invalid");
const QString kBaudInvalid = QStringLiteral("Caution|Baud Rate Setup Invalid");
const QString kNoTime = QStringLiteral("Caution|input time value of Indicator light on");
const QString kTimeTooBig =
    QStringLiteral("Caution|time value of Indicator light on  is not unvalid");
const QString kAboveZero = QStringLiteral("Caution|The Value should > 0");
const QString kNoKey = QStringLiteral("Caution|Input Password First");
const QString kNoData = QStringLiteral("Caution|Please input the data first");
const QString kProhibited = QStringLiteral("Caution|Write Prohibit In The Block");
const QString kNoSam = QStringLiteral("Caution|Please Choose SAM Number First");
const QString kErrorLength = QStringLiteral("Caution|Error Length");
const QString kReadFirst = QStringLiteral("Caution|Read data first");
const QString kReadBeforeWrite =
    QStringLiteral("Caution|Read card data first to avoid writing error");

// The names pattern gives for first ... last, such as "p%1" for p1 ... p6.
QStringList cells(const char *pattern, int first, int last) {
    QStringList out;
    for (int i = first; i <= last; ++i)
        out << QString::fromLatin1(pattern).arg(i);
    return out;
}
QStringList filled(const char *name, int first, int last, const char *text) {
    QStringList out;
    for (const QString &cell : cells(name, first, last))
        out << cell + QLatin1Char('=') + QLatin1String(text);
    return out;
}

const QStringList kKey = {"p1=FF", "p2=FF", "p3=FF", "p4=FF", "p5=FF", "p6=FF"};
const QStringList kSector1Key = QStringList{"Option1_1"} + kKey;
const QStringList kBlock1Cells =
    QStringList{"Option1_1", "lockNumberCmd_1"} + filled("RFTextLIST_%1", 0, 15, "00");
const QStringList kUltralightPage3 =
    QStringList{"RFCARDTYPEOption_2", "Option1_3"} + filled("RFTextLIST_%1", 6, 9, "00");
const QStringList kFourCells = QStringList{"SL4442Long=04"} + filled("ICText_%1", 0, 3, "00");
const QString kZone1604 = QStringLiteral("ATC1604AreaModel1=Application Zone 1");
const QString kZone1608 = QStringLiteral("ATC1608AreaModel1=1 Zoom");
// 32768 characters, one more than a line box holds.
const QString kOverlong = QStringLiteral("30 ").repeated(10923).chopped(1);

const QList<InputRow> kRows = {
    // The command line.
    {"ReaderMain", {}, "CommandStr", "", "ExuteCommandBtn", kEnterCommand},
    {"ReaderMain", {}, "CommandStr", "3030", "ExuteCommandBtn", kCheckEffective},
    {"ReaderMain", {}, "CommandStr", "30 3", "ExuteCommandBtn", kCheckEffective},
    {"ReaderMain", {}, "CommandStr", "ZZ", "ExuteCommandBtn", kNotEffective},
    {"ReaderMain", {}, "CommandStr", "30 -1", "ExuteCommandBtn", kNotEffective},
    {"ReaderMain", {}, "CommandStr", "30 0x", "ExuteCommandBtn", kNotEffective},
    {"ReaderMain", {}, "CommandStr", kOverlong, "ExuteCommandBtn", kCheckEffective},

    // The port settings (the dialog's own tests try the near misses).
    {"comportset", {}, "PortCombo", "COM-1", "Command1", kPortInvalid},
    {"comportset", {}, "PortCombo", "COM99999999999999999999", "Command1", kPortInvalid},
    {"comportset", {}, "BaudCombo", "-9600 bits/s", "Command1", kBaudInvalid},

    // The glitter times of both indicator lights.
    {"LEDCMD2FORM", {}, "p1", "", "Command1", kNoTime},
    {"LEDCMD2FORM", {}, "p2", "", "Command1", kNoTime},
    {"LEDCMD2FORM", {}, "p1", "256", "Command1", kTimeTooBig},
    {"LEDCMD2FORM", {}, "p2", "99999999999999999999", "Command1", kTimeTooBig},
    {"LEDCMD2FORM", {}, "p1", "-5", "Command1", kTimeTooBig},
    {"LEDCMD4FORM", {"Option1"}, "p1", "", "Command1", kNoTime},
    {"LEDCMD4FORM", {"Option2"}, "p2", "256", "Command1", kTimeTooBig},
    {"LEDCMD4FORM", {"Option3"}, "p1", "-1", "Command1", kTimeTooBig},

    // The automatic magnetic test's number of reads.
    {"ReaderMain", {}, "LianXuText", "", "RCommand", kAboveZero},
    {"ReaderMain", {}, "LianXuText", "0", "RCommand", kAboveZero},
    {"ReaderMain", {}, "LianXuText", "-5", "RCommand", kAboveZero},

    // Sector keys and block cells.
    {"ReaderMain", kSector1Key, "p3", "", "CmdRpassword", kNoKey},
    {"ReaderMain", kSector1Key, "p3", "G", "CmdRpassword", kNotEffective},
    {"ReaderMain", kSector1Key, "p1", "", "CmdRchange", kNoKey},
    {"ReaderMain", kBlock1Cells, "RFTextLIST_5", "", "CmdRwrite", kNoData},
    {"ReaderMain", kBlock1Cells, "RFTextLIST_15", "7", "CmdRwrite", kNoData},
    {"ReaderMain", kUltralightPage3, "RFTextLIST_7", "", "CmdRwrite", kNoData},

    // Value blocks: amounts and the block list.
    {"RFVELUEOP", {}, "Text2", "-1", "Command3", kNotEffective},
    {"RFVELUEOP", {}, "Text2", "2147483648", "Command3", kNotEffective},
    {"RFVELUEOP", {}, "Text3", "1.5", "Command5", kNotEffective},
    {"RFVELUEOP", {}, "Text3", "-100", "Command5", kNotEffective},
    {"RFVELUEOP", {}, "Text4", "", "Command7", kNotEffective},
    {"RFVELUEOP", {}, "Text4", "0x10", "Command7", kNotEffective},
    {"RFVELUEOP", {}, "Combo2", "GG", "Command1", kNotEffective},
    {"RFVELUEOP", {}, "Combo2", "100", "Command1", kNotEffective},
    {"RFVELUEOP", {}, "Combo2", "-1", "Command5", kNotEffective},
    {"RFVELUEOP", {}, "Combo2", "03", "Command3", kProhibited},

    // The contactless CPU card's command APDU.
    {"ReaderMain", {}, "CmdText", "", "SendCmd", kEnterCommand},
    {"ReaderMain", {}, "CmdText", "00G4000000", "SendCmd", kNotEffective},
    {"ReaderMain", {}, "CmdText", "0084-10008", "SendCmd", kNotEffective},
    {"ReaderMain", {}, "CmdText", "0084  0008", "SendCmd", kNotEffective},
    {"ReaderMain", {}, "CmdText", "008400000", "SendCmd", kCheckEffective},
    {"ReaderMain", {}, "CmdText", QString(504, QLatin1Char('0')), "SendCmd", kNotEffective},
    // The contact CPU card and SAM windows.
    {"CPUCARD", {}, "CmdText", "", "SendCmd", kEnterCommand},
    {"CPUCARD", {}, "CmdText", "00A4G0", "SendCmd", kNotEffective},
    {"CPUCARD", {}, "CmdText", "00A", "SendCmd", kCheckEffective},
    {"CPUCARD", {}, "CmdText", QString(504, QLatin1Char('0')), "SendCmd", kNotEffective},
    {"SimCard", {}, "SimNo1", "", "SimReset", kNoSam},
    {"SimCard", {}, "SimNo1", "SAM 15", "SimReset", kNoSam},
    {"SimCard", {}, "SimNo1", "SAM 0", "SimReset", kNoSam},
    {"SimCard", {}, "SimNo1", "sam 1", "SimReset", kNoSam},
    {"SimCard", {"CmdText=0084000008"}, "SimNo1", "SAM 99999999999", "SendCmd", kNoSam},
    {"SimCard", {}, "CmdText", "", "SendCmd", kEnterCommand},
    {"SimCard", {}, "CmdText", "0084Z00008", "SendCmd", kNotEffective},
    {"SimCard", {}, "CmdText", "0084000", "SendCmd", kCheckEffective},
    {"SimCard", {}, "CmdText", QString(502, QLatin1Char('0')), "SendCmd", kNotEffective},

    // Memory card lengths beyond the grid, types and zones not in their lists
    // (every parameter box has its own sweep below).
    {"ReaderMain", {}, "SL4442Long", "81", "SL4442ReadCenChu", kErrorLength},
    {"ReaderMain", {}, "SL4442Long", "21", "SL4442WriteBaoHu", kErrorLength},
    {"ReaderMain", {}, "IC24XXLONG", "FF", "IC24XXREAD", kErrorLength},
    {"ReaderMain", {}, "ATC102A6long", "81", "ATC102Write", kErrorLength},
    {"ReaderMain", {}, "IC24XXCOMB", "24C99", "IC24TYPE", ""},
    {"ReaderMain", {}, "IC24XXCOMB", "", "IC24XXREAD", ""},
    {"ReaderMain", {}, "ATC1604add1", "00", "ATC1604READ", "Caution|False Zone data"},
    {"ReaderMain", {}, "ATC1608Add", "00", "ATC1608READ", "Caution|Zoom No. Error"},

    // The memory card grid.
    {"ReaderMain", kFourCells, "ICText_2", "", "SL4442WriteCenChu", kNoData},
    {"ReaderMain", kFourCells, "ICText_3", "7", "SL4442WriteCenChu", kNoData},
    {"ReaderMain", kFourCells, "ICText_0", "GG", "SL4442WriteCenChu", kNotEffective},
    {"ReaderMain", kFourCells, "ICText_1", "-1", "SL4442WriteCenChu", kNotEffective},
    {"ReaderMain", {}, "AT45D041add1", "00", "AT45D041Sub2", kReadFirst},
    {"ReaderMain", {}, "AT45D041add1", "00", "AT45D041Write", kReadBeforeWrite},
};

// Every memory card operation with the parameter boxes it reads, after what
// has to be chosen for it.
struct BoxedOperation {
    QStringList before;
    const char *button;
    QStringList boxes;
};
const QStringList k4442Psc = {"SL4442Pass1", "SL4442Pass2", "SL4442Pass3"};
const QStringList k4428Area = {"SL4428Add1", "SL4428Add2", "SL4428Long"};
const QStringList k24Area = {"IC24XXADD1", "IC24XXADD2", "IC24XXLONG"};
const QStringList k1604Area = {"ATC1604add1", "ATC1604add2", "ATC1604Long"};
const QStringList k1608Keys = cells("ATC1608Vri0%1", 1, 8);
const QList<BoxedOperation> kBoxedOperations = {
    {{}, "SL4442ReadCenChu", {"SL4442Add1", "SL4442Long"}},
    {{}, "SL4442Pass", k4442Psc},
    {{}, "SL4442WriteCenChu", {"SL4442Add1", "SL4442Long"}},
    {{}, "SL4442WriteBaoHu", {"SL4442Add1", "SL4442Long"}},
    {{}, "SL4442Change", k4442Psc},
    {{}, "SL4428READAREA", k4428Area},
    {{}, "SL4428READBIT", k4428Area},
    {{}, "SL4428PASS", {"SL4428Pass1", "SL4428Pass2"}},
    {{}, "SL4428WRITENO", k4428Area},
    {{}, "SL4428WRITEYES", k4428Area},
    {{}, "SL4428CHANGE", {"SL4428Pass1", "SL4428Pass2"}},
    {{}, "IC24XXREAD", k24Area},
    {{}, "IC24XXWRITE", k24Area},
    {{}, "IC24XXWRITEParity", k24Area},
    {{}, "ATC1604PASS", {"ATC1604pass1", "ATC1604pass2"}},
    {{kZone1604}, "ATC1604READ", k1604Area},
    {{kZone1604}, "ATC1604EARSEData", k1604Area},
    {{kZone1604}, "ATC1604Write", k1604Area},
    {{}, "ATC1604CHANGE", {"ATC1604pass1", "ATC1604pass2"}},
    {{}, "ATC1604Format", {"ATC1604A6format"}},
    {{}, "ATC1608PASS", {"ATC1608pass1", "ATC1608pass2", "ATC1608pass3"}},
    {{kZone1608}, "ATC1608READ", {"ATC1608Add", "ATC1608Long"}},
    {{kZone1608}, "ATC1608Write", {"ATC1608Add", "ATC1608Long"}},
    {{}, "ATC1608Format", k1608Keys},
    {{}, "ATC1608verify", k1608Keys},
    {{}, "AT45D041Read", {"AT45D041add1", "AT45D041add2"}},
    {{}, "ATC102PASS", {"ATC102A1pass01", "ATC102A1pass02"}},
    {{"ATC102A4area_5"}, "ATC102READ", {"ATC102A5add", "ATC102A6long"}},
    {{"ATC102A4area_8"}, "ATC102EARSEData", {"ATC102A5add01", "ATC102A6long01"}},
    {{"ATC102A4area_5"}, "ATC102Write", {"ATC102A5add", "ATC102A6long"}},
    {{"ATC102A4area_3"}, "ATC102EARSEZone", cells("ATC102A2pass0%1", 1, 6)},
    {{"ATC102A4area_4"},
     "ATC102EARSEZone",
     QStringList{"ATC102A7EC"} + cells("ATC102A3pass0%1", 1, 4)},
    {{"ATC102A4area_0"}, "ATC102CHANGE", {"ATC102A1pass1", "ATC102A1pass2"}},
    {{"ATC102A4area_1"}, "ATC102CHANGE", cells("ATC102A2pass%1", 1, 6)},
    {{"ATC102A4area_2"}, "ATC102CHANGE", cells("ATC102A3pass%1", 1, 4)},
    {{}, "ATC102Format", {"ATC102A6Anquan"}},
};

// The contactless key and data cells, each read by its operations.
const QStringList kKeyCells = cells("p%1", 1, 6);
const QList<BoxedOperation> kCellOperations = {
    {kSector1Key, "CmdRpassword", kKeyCells},
    {kSector1Key, "CmdRchange", kKeyCells},
    {kBlock1Cells, "CmdRwrite", cells("RFTextLIST_%1", 0, 15)},
    {kUltralightPage3, "CmdRwrite", cells("RFTextLIST_%1", 6, 9)},
};

// Texts that look wrong but that the window reads its own way: the body of the
// first frame they send.
struct TakenRow {
    InputRow row;
    QByteArray body;
};
const QList<TakenRow> kTaken = {
    {{"ReaderMain", {}, "LianXuText", "99999999999999999999", "RCommand", ""}, "2f 32 30"},
    {{"ReaderMain", {}, "LianXuText", "5abc", "RCommand", ""}, "2f 32 30"},
    {{"ReaderMain", kSector1Key, "p1", "7", "CmdRpassword", ""}, "35 32 01 07 ff ff ff ff ff"},
    // The most the slot card's one-byte length takes; the SAM refuses it above.
    {{"CPUCARD", {}, "CmdText", QString(502, QLatin1Char('0')), "SendCmd", ""},
     "37 31 00 fb" + QByteArray(" 00").repeated(251)},
    {{"RFVELUEOP", {}, "Combo2", "0E", "Command1", ""}, "35 33 01 0e"},
    {{"RFVELUEOP", {}, "Text3", " 1 ", "Command5", ""}, "35 37 01 01 01 00 00 00"},
};

// The reader window's button that opens each dialog, and what has to be chosen
// first for it to open.
struct Opener {
    const char *button = nullptr;
    QStringList readerSteps;
};
const QHash<QString, Opener> kOpeners = {
    {"comportset", {"IROpencom", {}}},
    {"LEDCMD2FORM", {"IRLEDCMD2", {}}},
    {"LEDCMD4FORM", {"IRLEDCMD4", {}}},
    {"RFVELUEOP", {"CmdRVelue", {"Option1_1", "lockNumberCmd_1"}}},
    {"CPUCARD", {"CPURUN", {}}},
    {"SimCard", {"SIMRUN", {}}},
};
Opener openerOf(const char *window) {
    return kOpeners.value(QLatin1String(window));
}

} // namespace

class TestReaderInput : public QObject {
    Q_OBJECT
private slots:
    void badTextIsRefused_data();
    void badTextIsRefused();
    void everyBoxIsChecked();
    void oddTextIsTakenItsOwnWay();
};

void TestReaderInput::badTextIsRefused_data() {
    QTest::addColumn<InputRow>("row");
    for (const InputRow &row : kRows) {
        const QString name = QStringLiteral("%1 %2 '%3' %4")
                                 .arg(QLatin1String(row.window), QLatin1String(row.box),
                                      row.text.left(24), QLatin1String(row.press));
        QTest::newRow(qPrintable(name)) << row;
    }
}

void TestReaderInput::badTextIsRefused() {
    QFETCH(InputRow, row);
    testing::ReaderBench bench;
    const Opener opener = openerOf(row.window);
    bench.run(row, opener.button, opener.readerSteps);
    QCOMPARE(bench.shown(), row.shown.isEmpty() ? QStringList() : QStringList{row.shown});
    if (!bench.boxes.shown.isEmpty())
        QCOMPARE(bench.boxes.shown.first().icon, link::MsgIcon::Exclamation);
    QCOMPARE(bench.sent().toHex(' '), QByteArray());
    if (QLatin1String(row.window) == QLatin1String("comportset")) {
        // A refused OK has cleared the flag (and the port is not touched), so
        // the window waits for a new set-up.
        QVERIFY(!bench.window.portSetUp());
        QVERIFY(bench.window.readerPort().PortOpen());
    } else {
        QVERIFY(bench.stillUsable());
    }
}

void TestReaderInput::everyBoxIsChecked() {
    testing::ReaderBench bench;
    int tried = 0;
    const auto sweep = [&](const QList<BoxedOperation> &ops, const QStringList &bad) {
        for (const BoxedOperation &op : ops) {
            testing::act(bench.window, op.before);
            for (const QString &name : op.boxes) {
                auto *box = testing::child<QLineEdit>(bench.window, qPrintable(name));
                const QString kept = box->text();
                const QString text = bad.at(tried++ % bad.size());
                box->setText(text);
                bench.boxes.shown.clear();
                testing::child<QAbstractButton>(bench.window, op.button)->click();
                const QString where = QStringLiteral("%1 '%2' %3").arg(name, text, op.button);
                QVERIFY2(bench.shown() == QStringList{kNotEffective}, qPrintable(where));
                QVERIFY2(bench.sent().isEmpty(), qPrintable(where));
                box->setText(kept);
            }
        }
    };
    sweep(kBoxedOperations, {"", "G", "-1", "0x", "Z9", "+F", " F", "-0"});
    // A cell that is empty or holds one character has its own caution.
    sweep(kCellOperations, {"GG", "-1", "0x", "Z9", "+F", " F", "-0"});
    QVERIFY(bench.stillUsable());
}

void TestReaderInput::oddTextIsTakenItsOwnWay() {
    for (const TakenRow &taken : kTaken) {
        testing::ReaderBench bench;
        const Opener opener = openerOf(taken.row.window);
        bench.run(taken.row, opener.button, opener.readerSteps);
        const QByteArray frame = bench.sent();
        QVERIFY2(frame.startsWith('\x02') && frame.size() > 5, taken.row.box);
        const int n = quint8(frame.at(1)) * 256 + quint8(frame.at(2));
        QCOMPARE(frame.mid(3, n).toHex(' '), taken.body);
        // Only the device's answer may come up, no caution.
        for (const link::MessageRequest &box : bench.boxes.shown)
            QVERIFY2(box.title != QLatin1String("Caution"), qPrintable(box.text));
    }
}

QTEST_MAIN(TestReaderInput)
#include "test_readerinput.moc"

// The memory card pages against the simulated reader over a real
// pseudo-terminal: what each button puts on the line, what the card answers,
// and what the grid and the message boxes show.

#include "contact/iccardtab.h"
#include "link/exchange.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "memorycard/memorycardpanel.h"
#include "sim/memorychip.h"
#include "sim/memorycommand.h"
#include "sim/readersim.h"
#include "support/recordingmessageboxes.h"
#include "support/settle.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include <mutex>

using namespace talvex;
using memorycard::MemoryCardPanel;
using sim::MemoryCardType;

namespace {

constexpr int kPort = 14;

QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text));
}

// The reader window's port and link state with a simulated KVR-690 behind it,
// and the memory card pages on a tab strip.
struct Bench {
    explicit Bench(sim::ReaderModel model = sim::ReaderModel::Kvr690)
        : reader(model, 9600, sim::Transport::Pty) {
        reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            if (d == sim::Direction::FromProgram) {
                std::lock_guard lock(mutex);
                sent += bytes;
            }
        });
        started = reader.start();
        reader.mapToPort(kPort);
        port.setCommPort(kPort);
        port.setSettings(QStringLiteral("9600n81"));
        port.setPortOpen(true);
        state.m_portSetUp = true;
        panel.addPagesTo(&tabs);
    }
    ~Bench() {
        port.setPortOpen(false);
        link::portmap::unmap(kPort);
    }

    void insert(MemoryCardType type) {
        reader.setCard(sim::blankMemoryCard(type, sim::CardPlace::IcPosition));
    }
    template <typename T = QWidget> T *find(const QString &name) const {
        T *w = tabs.findChild<T *>(name);
        if (!w)
            w = panel.findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    // "SL4442Add1=10 SL4442Long=03 ICText_0=A1": box and cell texts.
    void type(const QString &settings) {
        for (const QString &setting : settings.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList pair = setting.split(QLatin1Char('='));
            find<QLineEdit>(pair.at(0))->setText(pair.value(1));
        }
    }
    // A click, and the command it started run to its end.
    void click(const QString &name) {
        find<QAbstractButton>(name)->click();
        QVERIFY(testing::settle());
    }
    QString lastText() const { return boxes.shown.isEmpty() ? QString() : boxes.shown.last().text; }
    // The command frames the program sent, ENQs left out.
    QList<QByteArray> frames() {
        std::lock_guard lock(mutex);
        QList<QByteArray> out;
        for (qsizetype i = 0; i + 3 <= sent.size();) {
            if (sent.at(i) != '\x02') {
                ++i;
                continue;
            }
            const int length = quint8(sent.at(i + 1)) * 256 + quint8(sent.at(i + 2));
            out << sent.mid(i, length + 5);
            i += length + 5;
        }
        return out;
    }
    QString grid(int from, int count) const {
        QStringList texts;
        for (int i = from; i < from + count; ++i)
            texts << panel.cell(i)->text();
        return texts.join(QLatin1Char(' '));
    }

    testing::RecordingMessageBoxes boxes;
    std::mutex mutex;
    QByteArray sent;
    sim::ReaderSim reader;
    bool started = false;
    link::SerialComm port;
    link::ReaderLinkState state{port};
    QTabWidget tabs;
    MemoryCardPanel panel{state};
};

struct Click {
    const char *control;
    const char *shows; // the box text after it, "" for none
};
using Clicks = QList<Click>;

} // namespace

Q_DECLARE_METATYPE(talvex::sim::MemoryCardType)

class TestMemoryCardPanel : public QObject {
    Q_OBJECT

private slots:
    void eachButtonSendsItsBody_data();
    void eachButtonSendsItsBody();
    void cautionsSendNothing();
    void familiesAgainstTheirCards_data();
    void familiesAgainstTheirCards();
    void readsFillTheGridAndTheBuffer();
    void sle4428ChangeSendsTheSavedPsc();
    void at45SubPagesKeepEditsAndWriteTheWholePage();
    void listsAndOptionsFillTheirBoxes();
    void parameterBoxesTakeHexOnly();
    void statusBytesChooseTheBox_data();
    void statusBytesChooseTheBox();
    void pagesSitOnTheInnerTabStrip();
};

void TestMemoryCardPanel::eachButtonSendsItsBody_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("option"); // clicked first
    QTest::addColumn<QByteArray>("body");

    const auto row = [](const char *button, const char *body, const char *option = "") {
        QTest::newRow(option[0] ? qPrintable(QStringLiteral("%1 %2").arg(button, option)) : button)
            << QString::fromLatin1(button) << QString::fromLatin1(option) << hex(body);
    };
    row("SLE4442RESET", "38 30");
    row("SL4442ReadCenChu", "38 31 10 03");
    row("SL4442ReadBaoHu", "38 32");
    row("SL4442ReadAnquan", "38 33");
    row("SL4442Pass", "38 34 11 22 33");
    row("SL4442WriteCenChu", "38 35 10 03 A1 B2 C3");
    row("SL4442WriteBaoHu", "38 36 10 03 A1 B2 C3");
    row("SL4442Change", "38 37 11 22 33");
    row("SL4428RESET", "39 30");
    row("SL4428READAREA", "39 31 01 02 03");
    row("SL4428READBIT", "39 32 01 02 03");
    row("SL4428PASS", "39 33 44 55");
    row("SL4428WRITENO", "39 34 01 02 03 A1 B2 C3");
    row("SL4428WRITEYES", "39 35 01 02 03 A1 B2 C3");
    row("SL4428CHANGE", "39 36 00 00 44 55"); // no check yet: nothing saved
    row("IC24TYPE", "36 30 34");
    row("IC24XXREAD", "36 31 34 06 07 03");
    row("IC24XXWRITE", "36 32 34 06 07 03 A1 B2 C3");
    row("IC24XXWRITEParity", "36 33 34 06 07 03 A1 B2 C3");
    row("ATC1604RESET", "3B 30");
    row("ATC1604PASS", "3B 31 33 66 77");
    row("ATC1604READ", "3B 32 34 00 20 03");
    row("ATC1604EARSEData", "3B 33 34 00 20 03");
    row("ATC1604Write", "3B 34 34 00 20 03 A1 B2 C3");
    row("ATC1604CHANGE", "3B 35 33 66 77");
    row("ATC1604Format", "3B 36 31");
    row("ATC1608RESET", "3E 30");
    row("ATC1608PASS", "3E 31 37 88 99 AA"); // eighth row "Password Read 1 Zoom"
    row("ATC1608READ", "3E 32 38 40 03");
    row("ATC1608Write", "3E 33 38 40 03 A1 B2 C3");
    row("ATC1608READRongsi", "3E 34");
    row("ATC1608WriteRongsi", "3E 35");
    row("ATC1608Format", "3E 36 01 02 03 04 05 06 07 08");
    row("ATC1608verify", "3E 37 01 02 03 04 05 06 07 08");
    row("AT45D041Reset", "3C 30");
    row("AT45D041Read", "3C 31 07 FF");
    row("ATC102RESET", "3A 30");
    row("ATC102PASS", "3A 31 F0 F1");
    row("ATC102READ", "3A 32 30 00 03");
    row("ATC102READ", "3A 32 31 16 03", "ATC102A4area_6");
    row("ATC102Write", "3A 34 32 5C 03 A1 B2 C3", "ATC102A4area_7");
    row("ATC102EARSEData", "3A 33 30 00 02");
    row("ATC102EARSEData", "3A 33 31 16 02", "ATC102A4area_9");
    row("ATC102EARSEData", "3A 33 32 5C 02", "ATC102A4area_10");
    row("ATC102EARSEZone", "3A 33 33 41 42 43 44 45 46");
    row("ATC102EARSEZone", "3A 33 34 31 51 52 53 54", "ATC102A4area_4");
    row("ATC102CHANGE", "3A 35 30 12 34");
    row("ATC102CHANGE", "3A 35 31 21 22 23 24 25 26", "ATC102A4area_1");
    row("ATC102CHANGE", "3A 35 32 31 32 33 34", "ATC102A4area_2");
    row("ATC102Format", "3A 36 32");
    row("ATC102ECINVALID", "3A 37");
}

void TestMemoryCardPanel::eachButtonSendsItsBody() {
    QFETCH(QString, button);
    QFETCH(QString, option);
    QFETCH(QByteArray, body);

    Bench bench;
    QVERIFY(bench.started);
    bench.type(QStringLiteral(
        "ICText_0=A1 ICText_1=B2 ICText_2=C3 SL4442Add1=10 SL4442Long=03 SL4442Pass1=11 "
        "SL4442Pass2=22 SL4442Pass3=33 SL4428Add1=01 SL4428Add2=02 SL4428Long=03 SL4428Pass1=44 "
        "SL4428Pass2=55 IC24XXADD1=06 IC24XXADD2=07 IC24XXLONG=03 ATC1604add1=00 "
        "ATC1604add2=20 ATC1604Long=03 ATC1604A6format=31 ATC1608Add=40 ATC1608Long=03 "
        "ATC1608Vri01=01 ATC1608Vri02=02 ATC1608Vri03=03 ATC1608Vri04=04 ATC1608Vri05=05 "
        "ATC1608Vri06=06 ATC1608Vri07=07 ATC1608Vri08=08 AT45D041add1=07 AT45D041add2=FF "
        "ATC102A1pass01=F0 ATC102A1pass02=F1 ATC102A6long=03 ATC102A6long01=02 "
        "ATC102A1pass1=12 ATC102A1pass2=34 ATC102A2pass1=21 ATC102A2pass2=22 ATC102A2pass3=23 "
        "ATC102A2pass4=24 ATC102A2pass5=25 ATC102A2pass6=26 ATC102A3pass1=31 ATC102A3pass2=32 "
        "ATC102A3pass3=33 ATC102A3pass4=34 ATC102A2pass01=41 ATC102A2pass02=42 "
        "ATC102A2pass03=43 ATC102A2pass04=44 ATC102A2pass05=45 ATC102A2pass06=46 "
        "ATC102A3pass01=51 ATC102A3pass02=52 ATC102A3pass03=53 ATC102A3pass04=54 "
        "ATC102A7EC=31 ATC102A6Anquan=32"));
    bench.find<QComboBox>(QStringLiteral("IC24XXCOMB"))->setCurrentText(QStringLiteral("24C16"));
    bench.find<QComboBox>(QStringLiteral("ATC1604PassModel1"))->setCurrentIndex(3);
    bench.type(QStringLiteral("ATC1604pass1=66 ATC1604pass2=77"));
    bench.find<QComboBox>(QStringLiteral("ATC1604AreaModel1"))->setCurrentIndex(0);
    bench.find<QComboBox>(QStringLiteral("ATC1608PassModel1"))->setCurrentIndex(7);
    bench.type(QStringLiteral("ATC1608pass1=88 ATC1608pass2=99 ATC1608pass3=AA"));
    bench.find<QComboBox>(QStringLiteral("ATC1608AreaModel1"))->setCurrentIndex(8);
    if (!option.isEmpty())
        bench.click(option);

    bench.click(button);
    const QList<QByteArray> frames = bench.frames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().mid(3, frames.first().size() - 5).toHex(' '), body.toHex(' '));
}

// A password type list left without a selection (the other cautions are the
// bad-input suite's).
void TestMemoryCardPanel::cautionsSendNothing() {
    const struct {
        const char *list, *button, *caution;
    } cases[] = {{"ATC1604PassModel1", "ATC1604PASS", "False password data"},
                 {"ATC1608PassModel1", "ATC1608PASS", "Password Type Data Error"}};
    for (const auto &c : cases) {
        Bench bench;
        bench.find<QComboBox>(QLatin1String(c.list))->setCurrentIndex(-1);
        bench.click(QLatin1String(c.button));
        QCOMPARE(bench.boxes.shown.size(), 1);
        QCOMPARE(bench.boxes.shown.first().title, QStringLiteral("Caution"));
        QCOMPARE(bench.boxes.shown.first().icon, link::MsgIcon::Exclamation);
        QCOMPARE(bench.lastText(), QLatin1String(c.caution));
        QVERIFY(bench.frames().isEmpty());
    }
}

void TestMemoryCardPanel::familiesAgainstTheirCards_data() {
    QTest::addColumn<MemoryCardType>("card");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Clicks>("clicks");

    QTest::newRow("SLE4442")
        << MemoryCardType::Sle4442
        << "SL4442Add1=40 SL4442Long=02 ICText_0=5A ICText_1=A5 SL4442Pass1=FF SL4442Pass2=FF"
        << Clicks{{"SLE4442RESET", "Reset Success"},
                  {"SL4442WriteCenChu", "Write Error"},
                  {"SL4442Pass", "Check Password Success "},
                  {"SL4442WriteCenChu", "Write Success"},
                  {"SL4442ReadCenChu", "Read Data Success"},
                  {"grid:5A A5", ""},
                  {"SL4442ReadAnquan", "Read PSC Success\r\n07 FF FF FF "},
                  {"SL4442ReadBaoHu", "Read Success"},
                  {"SL4442Pass3=00", ""},
                  {"SL4442Pass", "Check Password Error"},
                  {"SL4442Pass", "Check Password Error"},
                  {"SL4442Pass", "Card Deposit"}};
    QTest::newRow("SLE4428") << MemoryCardType::Sle4428
                             << "SL4428Add1=00 SL4428Add2=20 SL4428Long=01 ICText_0=77"
                             << Clicks{{"SL4428RESET", "Reset Success"},
                                       {"SL4428Pass1=12", ""},
                                       {"SL4428PASS", "Check Password Error"},
                                       {"SL4428Pass1=FF", ""},
                                       {"SL4428PASS", "Check Password Success"},
                                       {"SL4428WRITEYES", "Write Success"},
                                       {"SL4428WRITENO", "Write Error"}, // now protected
                                       {"SL4428READBIT", "Read Protection Bit Success"},
                                       {"grid:00", ""},
                                       {"SL4428READAREA", "Read Data Success"},
                                       {"grid:77", ""}};
    QTest::newRow("24C64") << MemoryCardType::At24c64
                           << "IC24XXADD1=1F IC24XXADD2=FF IC24XXLONG=01 ICText_0=3C"
                           << Clicks{{"IC24XXCOMB=6", ""},
                                     {"IC24TYPE", "setup Success"},
                                     {"IC24XXWRITE", "Write Success"},
                                     {"IC24XXREAD", "Read Success"},
                                     {"grid:3C", ""}};
    QTest::newRow("AT88SC1604") << MemoryCardType::At88sc1604
                                << "ATC1604add2=08 ATC1604Long=01 ICText_0=C3"
                                << Clicks{{"ATC1604RESET", "Reset Success"},
                                          {"ATC1604AreaModel1=1", ""},
                                          {"ATC1604Write", "Write Data Error"},
                                          {"ATC1604PassModel1=1", ""},
                                          {"ATC1604pass2=00", ""},
                                          {"ATC1604PASS", "Check Password Error"},
                                          {"ATC1604pass2=FF", ""},
                                          {"ATC1604PASS", "Check Password Success"},
                                          {"ATC1604Write", "Write Data Success"},
                                          {"ATC1604READ", "Read Success"},
                                          {"grid:C3", ""}};
    QTest::newRow("AT88SC1608")
        << MemoryCardType::At88sc1608
        << "ATC1608Add=10 ATC1608Long=01 ICText_0=E7 ATC1608pass1=FF ATC1608pass2=FF"
        << Clicks{{"ATC1608RESET", "Reset Success"},
                  {"ATC1608AreaModel1=2", ""},
                  {"ATC1608Write", "Write Data Error"},
                  {"ATC1608PassModel1=9", ""}, // "Password Write 3 Zoom"
                  {"ATC1608pass3=00", ""},
                  {"ATC1608PASS", "Check Password Error"},
                  {"ATC1608pass3=FF", ""},
                  {"ATC1608PASS", "Check Password Success"},
                  {"ATC1608Write", "Write Data Success"},
                  {"ATC1608READ", "Read Success"},
                  {"grid:E7", ""},
                  {"ATC1608READRongsi",
                   "Read fuses Success\r\nFAB  not blown\r\nCMA not blown\r\nPER not blown"},
                  {"ATC1608WriteRongsi", "Write Fuses Error"},
                  {"ATC1608PassModel1=14", ""}, // "Password Write 8 Zoom": the secure code
                  {"ATC1608PASS", "Check Password Success"},
                  {"ATC1608WriteRongsi", "Write Fuses Success"},
                  {"ATC1608READRongsi",
                   "Read fuses Success\r\nFAB blown \r\nCMA not blown\r\nPER not blown"},
                  {"ATC1608Format", "Initialize Authentication Success"},
                  {"ATC1608verify", "Verify  Authentication Success"},
                  {"ATC1608verify", "Verify  Authentication fail"}};
    QTest::newRow("AT88SC102") << MemoryCardType::At88sc102
                               << "ATC102A6long=02 ICText_0=0F ICText_1=F0"
                               << Clicks{{"ATC102RESET", "Reset Success"},
                                         {"ATC102A4area_6", ""},
                                         {"ATC102Write", "Write Error"},
                                         {"ATC102A1pass02=F1", ""},
                                         {"ATC102PASS", "Check Password Error"},
                                         {"ATC102A1pass02=F0", ""},
                                         {"ATC102PASS", "Check Password Success"},
                                         {"ATC102Write", "Write Success"},
                                         {"ATC102READ", "Read Success"},
                                         {"grid:0F F0", ""},
                                         {"ATC102A4area_4", ""},
                                         {"ATC102A3pass01=00", ""},
                                         {"ATC102EARSEZone", "Erase Error"},
                                         {"ATC102ECINVALID", "Operation Success"}};
}

// Each click is a button (and the box it shows), a box typed ("name=text"), a
// list row chosen ("list=index") or the grid's first cells ("grid:5A A5").
void TestMemoryCardPanel::familiesAgainstTheirCards() {
    QFETCH(MemoryCardType, card);
    QFETCH(QString, typed);
    QFETCH(Clicks, clicks);

    Bench bench;
    QVERIFY(bench.started);
    bench.insert(card);
    bench.type(typed);
    for (const Click &click : clicks) {
        const QString control = QString::fromLatin1(click.control);
        if (control.startsWith(QLatin1String("grid:"))) {
            const QString expected = control.mid(5);
            QCOMPARE(bench.grid(0, int(expected.size() + 1) / 3), expected);
            continue;
        }
        if (control.contains(QLatin1Char('='))) {
            const QStringList pair = control.split(QLatin1Char('='));
            if (auto *list = bench.panel.findChild<QComboBox *>(pair.at(0));
                list || (list = bench.tabs.findChild<QComboBox *>(pair.at(0))))
                list->setCurrentIndex(pair.at(1).toInt());
            else
                bench.type(control);
            continue;
        }
        const qsizetype before = bench.boxes.shown.size();
        bench.click(control);
        QVERIFY2(bench.boxes.shown.size() == before + (click.shows[0] ? 1 : 0),
                 qPrintable(control));
        if (click.shows[0]) {
            QCOMPARE(bench.lastText(), QString::fromLatin1(click.shows));
            QCOMPARE(bench.boxes.shown.last().icon, link::MsgIcon::Information);
        }
    }
}

void TestMemoryCardPanel::readsFillTheGridAndTheBuffer() {
    Bench bench;
    bench.insert(MemoryCardType::Sle4442);
    bench.type(QStringLiteral("SL4442Add1=00 SL4442Long=06 ICText_100=77"));
    bench.click(QStringLiteral("SL4442ReadCenChu"));
    QCOMPARE(bench.grid(0, 7), QStringLiteral("A2 13 10 91 FF FF "));
    QCOMPARE(bench.panel.cell(100)->text(), QString()); // the read cleared the grid
    QCOMPARE(bench.panel.cardData(), hex("A2 13 10 91 FF FF"));
    QCOMPARE(bench.boxes.shown.last().title, QStringLiteral("Read Main Memory"));

    // The protection memory is always 32 bytes.
    bench.click(QStringLiteral("SL4442ReadBaoHu"));
    QCOMPARE(bench.panel.cardData().size(), 32);
    QCOMPARE(bench.grid(0, 5), QStringLiteral("00 00 00 00 01"));
    QCOMPARE(bench.panel.cell(32)->text(), QString());

    // "Read PSC" tells the bytes in its box and leaves grid and buffer alone.
    bench.click(QStringLiteral("SL4442ReadAnquan"));
    QCOMPARE(bench.panel.cardData().size(), 32);
    QCOMPARE(bench.lastText(), QStringLiteral("Read PSC Success\r\n07 00 00 00 "));
}

void TestMemoryCardPanel::sle4428ChangeSendsTheSavedPsc() {
    Bench bench;
    bench.insert(MemoryCardType::Sle4428);
    bench.type(QStringLiteral("SL4428Pass1=FF SL4428Pass2=FF"));
    bench.click(QStringLiteral("SL4428PASS"));
    QCOMPARE(bench.panel.savedSle4428Psc(), hex("FF FF"));
    bench.type(QStringLiteral("SL4428Pass1=12 SL4428Pass2=34"));
    bench.click(QStringLiteral("SL4428CHANGE"));
    QCOMPARE(bench.lastText(), QStringLiteral("Change Password Success"));
    QCOMPARE(bench.frames().last().mid(3, 6), hex("39 36 FF FF 12 34"));
    // A wrong check keeps the pair of the last right one.
    bench.type(QStringLiteral("SL4428Pass1=00"));
    bench.click(QStringLiteral("SL4428PASS"));
    QCOMPARE(bench.panel.savedSle4428Psc(), hex("FF FF"));
}

void TestMemoryCardPanel::at45SubPagesKeepEditsAndWriteTheWholePage() {
    Bench bench;
    bench.insert(MemoryCardType::At45db041);
    bench.type(QStringLiteral("AT45D041add1=01 AT45D041add2=02"));
    bench.click(QStringLiteral("AT45D041Read"));
    QCOMPARE(bench.lastText(), QStringLiteral("Read Success"));
    QCOMPARE(bench.panel.cardData().size(), 264);
    QCOMPARE(bench.grid(126, 2), QStringLiteral("FF FF"));

    bench.type(QStringLiteral("ICText_0=11 ICText_127=7F"));
    bench.click(QStringLiteral("AT45D041Sub2"));
    QCOMPARE(bench.grid(0, 1), QStringLiteral("FF"));
    bench.type(QStringLiteral("ICText_0=22"));
    bench.click(QStringLiteral("AT45D041Sub3"));
    QCOMPARE(bench.grid(7, 2), QStringLiteral("FF ")); // only eight bytes on page 3
    bench.type(QStringLiteral("ICText_7=33"));
    bench.click(QStringLiteral("AT45D041Sub1"));
    QCOMPARE(bench.grid(0, 1), QStringLiteral("11"));
    QCOMPARE(bench.grid(127, 1), QStringLiteral("7F"));

    bench.click(QStringLiteral("AT45D041Write"));
    QCOMPARE(bench.lastText(), QStringLiteral("Write Data Success"));
    const QByteArray frame = bench.frames().last();
    QCOMPARE(frame.size(), 273);
    QCOMPARE(frame.left(7), hex("02 01 0C 3C 32 01 02"));
    QCOMPARE(frame.mid(7, 1), hex("11"));
    QCOMPARE(frame.mid(7 + 127, 2), hex("7F 22"));
    QCOMPARE(frame.mid(7 + 263, 2), hex("33 03"));

    bench.type(QStringLiteral("ICText_0=00"));
    bench.click(QStringLiteral("AT45D041Read"));
    QCOMPARE(bench.grid(0, 1), QStringLiteral("11"));
    bench.click(QStringLiteral("AT45D041Sub2"));
    QCOMPARE(bench.grid(0, 1), QStringLiteral("22"));

    // A cell that lost its digits keeps the page where it is.
    bench.type(QStringLiteral("ICText_5="));
    bench.click(QStringLiteral("AT45D041Sub1"));
    QCOMPARE(bench.lastText(), QStringLiteral("Please input the data first"));
    QCOMPARE(bench.panel.shownSubPage(), 2);
}

void TestMemoryCardPanel::listsAndOptionsFillTheirBoxes() {
    Bench bench;
    auto *type = bench.find<QComboBox>(QStringLiteral("IC24XXCOMB"));
    auto *range = bench.find<QLabel>(QStringLiteral("IC24XXADDVAID"));
    QCOMPARE(type->currentText(), QStringLiteral("24C01"));
    const QStringList ranges = {"Add:0x0000-0x007F", "Add:0x0000-0x00FF", "Add:0x0000-0x01FF",
                                "Add:0x0000-0x03FF", "Add:0x0000-0x07FF", "Add:0x0000-0x0FFF",
                                "Add:0x0000-0x1FFF"};
    for (int i = 0; i < 7; ++i) {
        type->setCurrentIndex(i);
        QCOMPARE(range->text(), ranges.at(i));
    }

    auto *passwords = bench.find<QComboBox>(QStringLiteral("ATC1604PassModel1"));
    QCOMPARE(passwords->currentIndex(), 0);
    QCOMPARE(passwords->count(), 9);
    auto *pass1 = bench.find<QLineEdit>(QStringLiteral("ATC1604pass1"));
    auto *pass2 = bench.find<QLineEdit>(QStringLiteral("ATC1604pass2"));
    QCOMPARE(pass1->text() + pass2->text(), QStringLiteral("F0F0"));
    passwords->setCurrentIndex(4);
    QCOMPARE(pass1->text() + pass2->text(), QStringLiteral("FFFF"));
    QCOMPARE(bench.find<QComboBox>(QStringLiteral("ATC1608PassModel1"))->count(), 15);
    QCOMPARE(bench.find<QComboBox>(QStringLiteral("ATC1608PassModel1"))->itemText(7),
             QStringLiteral("Password Read 1 Zoom"));
    QCOMPARE(bench.find<QComboBox>(QStringLiteral("ATC1604AreaModel1"))->currentIndex(), -1);

    const struct {
        int option;
        const char *box;
        const char *start;
        const char *hint;
        const char *hintLabel;
    } kZones[] = {{6, "ATC102A5add", "16", "Add:0x16-0x55", "ATC102A5addLabel"},
                  {7, "ATC102A5add", "5C", "Add:0x5C-0x9B", "ATC102A5addLabel"},
                  {5, "ATC102A5add", "00", "Add:Except Zoom 1,2", "ATC102A5addLabel"},
                  {10, "ATC102A5add01", "5C", "Add:0x5C-0x9B", "ATC102A5add01Label"},
                  {9, "ATC102A5add01", "16", "Add:0x16-0x55", "ATC102A5add01Label"}};
    for (const auto &zone : kZones) {
        bench.click(QStringLiteral("ATC102A4area_%1").arg(zone.option));
        QCOMPARE(bench.find<QLineEdit>(QLatin1String(zone.box))->text(), QLatin1String(zone.start));
        QCOMPARE(bench.find<QLabel>(QLatin1String(zone.hintLabel))->text(),
                 QLatin1String(zone.hint));
    }
    // The same choices made without a click (arrow keys, accessibility tools).
    for (const int row : {1, 0, 3}) {
        const auto &zone = kZones[row];
        bench.find<QRadioButton>(QStringLiteral("ATC102A4area_%1").arg(zone.option))
            ->setChecked(true);
        QCOMPARE(bench.find<QLineEdit>(QLatin1String(zone.box))->text(), QLatin1String(zone.start));
        QCOMPARE(bench.find<QLabel>(QLatin1String(zone.hintLabel))->text(),
                 QLatin1String(zone.hint));
    }
    QVERIFY(bench.boxes.shown.isEmpty());

    // A type the list does not know leaves the last range.
    type->setEditText(QStringLiteral("24C99"));
    QCOMPARE(range->text(), QStringLiteral("Add:0x0000-0x1FFF"));
}

void TestMemoryCardPanel::parameterBoxesTakeHexOnly() {
    Bench bench;
    auto *box = bench.find<QLineEdit>(QStringLiteral("SL4442Add1"));
    box->clear();
    QTest::keyClicks(box, QStringLiteral("g-a"));
    QCOMPARE(box->text(), QStringLiteral("A"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, QStringLiteral("c 9f"));
    QCOMPARE(box->text(), QStringLiteral("C9"));
}

void TestMemoryCardPanel::statusBytesChooseTheBox_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply"); // body, ETX and BCC
    QTest::addColumn<QString>("shown");    // "title|text", "" for no box

    QTest::newRow("F under another title") << "ATC1604CHANGE" << hex("50 35 30 46 03 00")
                                           << "Check Password|Card Deposit Or Zoom Deposit";
    QTest::newRow("zone 2 read only") << "ATC102EARSEZone" << hex("50 33 34 46 03 00")
                                      << "Erase The Main Memory|Zone 2 Deposit, Can Only Read";
    QTest::newRow("F elsewhere shows nothing") << "SL4442Change" << hex("50 37 46 03 00") << "";
    QTest::newRow("unknown status") << "ATC1608RESET" << hex("50 30 58 03 00") << "";
    QTest::newRow("status at 3, not at 2")
        << "IC24XXREAD" << hex("50 31 59 4E 03 00") << "Read Data|Read Error";
    QTest::newRow("W") << "AT45D041Reset" << hex("50 30 57 03 00")
                       << "Card Reset|The card is not on the IC card operation position";
    QTest::newRow("W, status at 3") << "ATC1604CHANGE" << hex("50 35 30 57 03 00")
                                    << "Change Password|The card is not on the IC card "
                                       "operation position";
    QTest::newRow("E") << "SLE4442RESET" << hex("50 30 45 03 00")
                       << "Card Reset|No Card In The Reader";
    QTest::newRow("fuses") << "ATC1608READRongsi" << hex("50 34 59 38 80 03 30 30 30 03 00")
                           << "Read fuses|Read fuses Success\r\nFAB blown \r\nCMA blown"
                              "\r\nPER blown";
}

void TestMemoryCardPanel::statusBytesChooseTheBox() {
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    const memorycard::MemoryOperation *op = memorycard::findOperation(button);
    QVERIFY(op);
    const auto box = memorycard::resultBox(*op, reply + QByteArray(16, '\0'), int(reply.size()));
    QCOMPARE(box ? box->title + QLatin1Char('|') + box->text : QString(), shown);
}

void TestMemoryCardPanel::pagesSitOnTheInnerTabStrip() {
    link::SerialComm port;
    link::ReaderLinkState state{port};
    contact::ICCardTab tab(state);
    tab.show();
    QTabWidget *strip = tab.findChild<QTabWidget *>(QStringLiteral("SSTab2"));
    QVERIFY(strip);
    QStringList captions;
    for (int i = 0; i < strip->count(); ++i)
        captions << strip->tabText(i);
    QCOMPARE(captions, QStringList({"CPU", "SAM", "SLE4428", "SLE4442", "24CXX", "AT88SC1604",
                                    "AT88SC1608", "AT45D041", "AT88SC102"}));
    QVERIFY(strip->widget(3)->findChild<QPushButton *>(QStringLiteral("SL4442Pass")));
    QVERIFY(strip->widget(7)->findChild<QPushButton *>(QStringLiteral("AT45D041Sub3")));
    QLineEdit *cell = tab.findChild<QLineEdit *>(QStringLiteral("ICText_127"));
    QVERIFY(cell);
    QVERIFY(!cell->isVisible()); // the grid belongs to the memory cards
    strip->setCurrentIndex(8);
    QVERIFY(cell->isVisible());
    strip->setCurrentIndex(1);
    QVERIFY(!cell->isVisible());
}

QTEST_MAIN(TestMemoryCardPanel)
#include "test_memorycardpanel.moc"

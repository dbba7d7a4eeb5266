// The "MIFARE ONE" tab and its value-block window against the simulated
// reader on a pseudo-terminal: what the user clicks and types, the frames on
// the line, the boxes and cells the user sees.

#include "rfbench.h"
#include "support/scriptedreader.h"

#include "contactless/mifaretab.h"
#include "contactless/rfvelueop.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace talvex;
using talvex::contactless::MifareTab;
using talvex::contactless::RFVELUEOP;
using talvex::testing::hex;
using Bench = talvex::testing::RfBench<MifareTab>;

namespace {

QString name(const char *base, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(index);
}

// For the bench and the scripted tab below.
template <typename B> QLineEdit *dataCell(const B &b, int i) {
    return testing::child<QLineEdit>(b.tab, qPrintable(name("RFTextLIST", i)));
}

template <typename B> QString cellsText(const B &b, int first, int last) {
    QString text;
    for (int i = first; i <= last; ++i)
        text += dataCell(b, i)->text();
    return text;
}

void fillCells(const Bench &b, int first, const QString &digits) {
    for (int i = 0; i < digits.size() / 2; ++i)
        dataCell(b, first + i)->setText(digits.mid(2 * i, 2));
}

QString keyText(const Bench &b) {
    QString text;
    for (int i = 1; i <= 6; ++i)
        text += b.find<QLineEdit>(qPrintable(QStringLiteral("p%1").arg(i)))->text();
    return text;
}

void choose(const Bench &b, const char *base, int index) {
    b.click(qPrintable(name(base, index)));
}

// Sector, then the first preset key, then key A checked on the card.
void openSector(Bench &b, int sector) {
    choose(b, "Option1", sector);
    QTest::keyClick(b.find<QComboBox>("RFPasswordList"), Qt::Key_Home);
    b.tab.RFPasswordList_Click();
    b.click("CmdRpassword");
    QCOMPARE(b.lastBox(), QStringLiteral("Check Password Success"));
    b.takeFrames();
}

// Runs the value window on the current selection; script acts in it.
void inValueWindow(Bench &b, const std::function<void(RFVELUEOP &)> &script) {
    b.dialogs.steps.append([script](QDialog &dialog) {
        script(static_cast<RFVELUEOP &>(dialog));
        return int(QDialog::Accepted);
    });
    b.click("CmdRVelue");
}

void execute(RFVELUEOP &w, int command, const char *box = nullptr, const QString &text = {}) {
    if (box)
        w.findChild<QLineEdit *>(QLatin1String(box))->setText(text);
    QTest::mouseClick(testing::child(w, qPrintable(QStringLiteral("Command%1").arg(command))),
                      Qt::LeftButton);
    QVERIFY(testing::settle());
}

// The tab on a scripted line whose reader gives the reply frames a test
// writes, on the fake clock: a click runs to its end before it returns.
constexpr int kScriptedPort = 18;

struct ScriptedTab {
    ScriptedTab() {
        reader.replyTo = [this](const QByteArray &command) -> std::optional<QByteArray> {
            const QByteArray body = command.mid(3, command.size() - 5);
            if (!replies.contains(body))
                return std::nullopt;
            return link::buildReaderFrame(replies.value(body));
        };
        link::portmap::mapBackend(kScriptedPort, [this] {
            auto backend = std::make_unique<testing::ScriptedBackend>(clock);
            backend->onWrite = [this](const QByteArray &w, testing::ScriptedBackend &l) {
                reader.respond(w, l);
            };
            return backend;
        });
        port.setCommPort(kScriptedPort);
        port.setPortOpen(true);
        state.m_portSetUp = true;
        tab.show();
    }
    ~ScriptedTab() {
        port.setPortOpen(false);
        link::portmap::unmap(kScriptedPort);
    }
    void click(const QString &name) {
        QTest::mouseClick(testing::child(tab, qPrintable(name)), Qt::LeftButton);
    }

    testing::FakeClock clock;
    link::ScopedClock scopedClock{clock};
    testing::ScriptedReader reader;
    QHash<QByteArray, QByteArray> replies; // command body -> reply body
    testing::RecordingMessageBoxes boxes;
    link::SerialComm port;
    testing::StatusLinkState state{port};
    MifareTab tab{state};
};

} // namespace

class TestMifareTab : public QObject {
    Q_OBJECT

private slots:
    void cardKindLayout_data();
    void cardKindLayout();
    void sectorChoiceResetsBlockAndKey();
    void refusalsSendNothing_data();
    void refusalsSendNothing();
    void keyCellsTypedAndSent();
    void blockReadWriteReadBack();
    void keyChangedByTrailerOrCommand();
    void testAndSerialNumber_data();
    void testAndSerialNumber();
    void ultralightPages();
    void valueBlockOperations();
    void valueWindowRefusals_data();
    void valueWindowRefusals();
    void valueReadChecksTheComplement();
    void cardHalfOutOfTheReader();
    void choicesWithoutTheMouse_data();
    void choicesWithoutTheMouse();
    void presetKeyChoice();
    void trailerBoundary_data();
    void trailerBoundary();
    void shortReadReply_data();
    void shortReadReply();
    void secondClickWhileWaiting();
};

void TestMifareTab::cardKindLayout_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("sector"); // chosen after the kind, -1 for none
    QTest::addColumn<int>("sectors");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("firstCell");
    QTest::addColumn<int>("lastCell");
    QTest::addColumn<QString>("header");
    QTest::addColumn<bool>("keyButtons");

    const QString wide = QStringLiteral(
        "00   01    02   03   04    05   06   07    08   09   0A  0B   0C   0D   0E  0F");
    const QString narrow = QStringLiteral("00   01    02   03");
    QTest::newRow("S50") << 0 << -1 << 16 << 4 << 0 << 15 << wide << true;
    QTest::newRow("S70") << 1 << -1 << 40 << 16 << 0 << 15 << wide << true;
    QTest::newRow("S70 sector 31") << 1 << 31 << 40 << 4 << 0 << 15 << wide << true;
    QTest::newRow("S70 sector 32") << 1 << 32 << 40 << 16 << 0 << 15 << wide << true;
    QTest::newRow("Ultralight") << 2 << -1 << 16 << 0 << 6 << 9 << narrow << false;
    QTest::newRow("Ultralight page 3") << 2 << 3 << 16 << 0 << 6 << 9 << narrow << false;
}

void TestMifareTab::cardKindLayout() {
    QFETCH(int, kind);
    QFETCH(int, sector);
    QFETCH(int, sectors);
    QFETCH(int, blocks);
    QFETCH(int, firstCell);
    QFETCH(int, lastCell);
    QFETCH(QString, header);
    QFETCH(bool, keyButtons);

    Bench b;
    dataCell(b, 0)->setText(QStringLiteral("12"));
    choose(b, "RFCARDTYPEOption", kind);
    if (sector >= 0)
        choose(b, "Option1", sector);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(b.find(qPrintable(name("Option1", i)))->isEnabled(), i < sectors);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(b.find(qPrintable(name("lockNumberCmd", i)))->isEnabled(), i < blocks);
        QCOMPARE(dataCell(b, i)->isVisible(), i >= firstCell && i <= lastCell);
        QCOMPARE(dataCell(b, i)->text(), QString());
    }
    QCOMPARE(b.find<QLabel>("RFCardDataLabe")->text(), header);
    for (const char *button : {"CmdRpassword", "CmdRchange", "CmdRVelue"})
        QCOMPARE(b.find(button)->isEnabled(), keyButtons);
    // The key cells keep their content over a kind change.
    if (sector < 0)
        QCOMPARE(keyText(b), QStringLiteral("FFFFFFFFFFFF"));
}

void TestMifareTab::sectorChoiceResetsBlockAndKey() {
    Bench b;
    choose(b, "Option1", 2);
    choose(b, "lockNumberCmd", 1);
    dataCell(b, 3)->setText(QStringLiteral("AB"));
    choose(b, "Option1", 7);
    QCOMPARE(b.find<QLineEdit>("Text1_0")->text(), QStringLiteral("Sector 7"));
    QVERIFY(!b.find<QRadioButton>("lockNumberCmd_1")->isChecked());
    QCOMPARE(dataCell(b, 3)->text(), QString());
    QCOMPARE(keyText(b), QString());
    b.click("CmdRread");
    QCOMPARE(b.lastBox(), QStringLiteral("Select Block First"));
}

void TestMifareTab::refusalsSendNothing_data() {
    QTest::addColumn<bool>("portSetUp");
    QTest::addColumn<int>("sector");
    QTest::addColumn<int>("block");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("caution");

    // Bad key and data cells are the bad-input suite's.
    const QString noSector = QStringLiteral("Select Sector First");
    QTest::newRow("port not set up")
        << false << 1 << 1
        << QStringList{"CmdRfind", "CmdRsn", "CmdRpassword", "CmdRchange", "CmdRread", "CmdRwrite"}
        << "Comm. Port Setup First";
    QTest::newRow("no sector") << true << -1 << -1
                               << QStringList{"CmdRpassword", "CmdRchange", "CmdRread", "CmdRwrite"}
                               << noSector;
    QTest::newRow("value, no sector, no port")
        << false << -1 << -1 << QStringList{"CmdRVelue"} << noSector;
    QTest::newRow("no block") << true << 4 << -1
                              << QStringList{"CmdRread", "CmdRwrite", "CmdRVelue"}
                              << "Select Block First";
    QTest::newRow("write the maker's block")
        << true << 0 << 0 << QStringList{"CmdRwrite"} << "Write Prohibit In The Block";
}

void TestMifareTab::refusalsSendNothing() {
    QFETCH(bool, portSetUp);
    QFETCH(int, sector);
    QFETCH(int, block);
    QFETCH(QStringList, buttons);
    QFETCH(QString, caution);

    Bench b;
    b.present(sim::RfChip::S50);
    b.state.m_portSetUp = portSetUp;
    if (sector >= 0) {
        choose(b, "Option1", sector);
        b.tab.RFPasswordList_Click();
    }
    if (block >= 0)
        choose(b, "lockNumberCmd", block);
    fillCells(b, 0, QStringLiteral("00112233445566778899AABBCCDDEEFF"));
    b.takeFrames();
    for (const QString &button : buttons) {
        b.boxes.shown.clear();
        b.click(qPrintable(button));
        QVERIFY2(b.boxes.shown.size() == 1, qPrintable(button));
        QCOMPARE(b.lastBox(), caution);
        QCOMPARE(b.lastTitle(), QStringLiteral("Caution"));
        QCOMPARE(b.boxes.shown.last().icon, link::MsgIcon::Exclamation);
    }
    QVERIFY(b.dialogs.classes.isEmpty());
    QCOMPARE(b.takeFrames().size(), 0);
}

void TestMifareTab::keyCellsTypedAndSent() {
    Bench b;
    b.present(sim::RfChip::S50);
    b.tab.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b.tab));
    choose(b, "Option1", 1);
    b.find<QLineEdit>("p1")->setFocus();
    for (char c : QByteArray("A1B2C3d4e5f"))
        QTest::keyClick(QApplication::focusWidget(), c);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // "F" becomes "0F"
    QCOMPARE(QApplication::focusWidget(), b.find("p1"));
    b.takeFrames();
    b.click("CmdRpassword");
    QCOMPARE(b.sentBody(), hex("3532 01 A1B2C3D4E50F"));
    QCOMPARE(b.lastBox(), QStringLiteral("Password Error"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Check Password"));

    // Key B and a single digit: "7" is sent as 07h.
    b.click("RfKeyAB2");
    b.find<QLineEdit>("p6")->setText(QStringLiteral("7"));
    b.click("CmdRpassword");
    QCOMPARE(b.sentBody(), hex("3539 01 A1B2C3D4E507"));

    // The Ultralight ring on this tab: cells 6 to 9.
    choose(b, "RFCARDTYPEOption", 2);
    dataCell(b, 9)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), dataCell(b, 6));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), dataCell(b, 9));
}

void TestMifareTab::blockReadWriteReadBack() {
    Bench b(sim::ReaderModel::Kvr634);
    b.present(sim::RfChip::S50);
    choose(b, "Option1", 1);
    b.tab.RFPasswordList_Click();
    b.click("CmdRpassword");
    QCOMPARE(b.takeFrames(), QList<QByteArray>{hex("02 00 09 35 32 01 FF FF FF FF FF FF 03 0E")});
    QCOMPARE(b.lastBox(), QStringLiteral("Check Password Success"));
    QCOMPARE(b.boxes.shown.last().icon, link::MsgIcon::Information);

    choose(b, "lockNumberCmd", 1);
    dataCell(b, 5)->setText(QStringLiteral("EE"));
    b.click("CmdRread");
    QCOMPARE(b.sentBody(), hex("3533 0101"));
    QCOMPARE(b.lastBox(), QStringLiteral("Read Success"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Read RF Card"));
    QCOMPARE(cellsText(b, 0, 15), QString(32, QLatin1Char('0')));

    fillCells(b, 0, QStringLiteral("00112233445566778899AABBCCDDEEFF"));
    b.click("CmdRwrite");
    QCOMPARE(b.sentBody(), hex("3534 0101 00112233445566778899AABBCCDDEEFF"));
    QCOMPARE(b.lastBox(), QStringLiteral("Write Data Success"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Write Data To Block"));

    for (int i = 0; i < 16; ++i)
        dataCell(b, i)->clear();
    b.click("CmdRread");
    QCOMPARE(cellsText(b, 0, 15), QStringLiteral("00112233445566778899AABBCCDDEEFF"));

    // Another sector is not opened by this key check.
    choose(b, "Option1", 2);
    choose(b, "lockNumberCmd", 0);
    b.click("CmdRread");
    QCOMPARE(b.lastBox(), QStringLiteral("Password Wrong"));
    QCOMPARE(cellsText(b, 0, 15), QString());
}

void TestMifareTab::keyChangedByTrailerOrCommand() {
    Bench b;
    b.present(sim::RfChip::S50);
    openSector(b, 1);
    choose(b, "lockNumberCmd", 3);
    fillCells(b, 0, QStringLiteral("B0B1B2B3B4B5FF078069FFFFFFFFFFFF"));

    b.boxes.answers = {link::MsgAnswer::Cancel};
    b.click("CmdRwrite");
    const link::MessageRequest question = b.boxes.shown.last();
    QCOMPARE(question.text, QStringLiteral("Are you sure to modify\r\nthe password of present "
                                           "sector and control key memory area?"));
    QCOMPARE(question.title, QStringLiteral("Caution"));
    QCOMPARE(question.buttons, link::MsgButtons::OkCancel);
    QCOMPARE(b.takeFrames().size(), 0);

    b.click("CmdRwrite");
    QCOMPARE(b.sentBody(), hex("3534 0103 B0B1B2B3B4B5FF078069FFFFFFFFFFFF"));
    QCOMPARE(b.lastBox(), QStringLiteral("Write Data Success"));

    b.tab.RFPasswordList_Click();
    b.click("CmdRpassword");
    QCOMPARE(b.lastBox(), QStringLiteral("Password Error"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Check Password"));
    for (int i = 1; i <= 6; ++i) {
        b.find<QLineEdit>(qPrintable(QStringLiteral("p%1").arg(i)))
            ->setText(QStringLiteral("B%1").arg(i - 1));
    }
    b.click("CmdRpassword");
    QCOMPARE(b.lastBox(), QStringLiteral("Check Password Success"));

    // The change command sets the key the cells hold.
    QTest::keyClick(b.find<QComboBox>("RFPasswordList"), Qt::Key_Down);
    b.takeFrames();
    b.click("CmdRchange");
    QCOMPARE(b.sentBody(), hex("3535 01 A0A1A2A3A4A5"));
    QCOMPARE(b.lastBox(), QStringLiteral("Change Password Success"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Change Sector Password"));
    b.click("CmdRpassword");
    QCOMPARE(b.lastBox(), QStringLiteral("Check Password Success"));
    QTest::keyClick(b.find<QComboBox>("RFPasswordList"), Qt::Key_Up);
    b.click("CmdRpassword");
    QCOMPARE(b.lastBox(), QStringLiteral("Password Error"));
}

void TestMifareTab::testAndSerialNumber_data() {
    QTest::addColumn<int>("chip"); // -1: the reader is empty
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("snBody");
    QTest::addColumn<QString>("testBox");
    QTest::addColumn<QString>("snBox");
    QTest::addColumn<QString>("serial");

    QTest::newRow("S50") << int(sim::RfChip::S50) << 0 << hex("3531") << "Card Test Success"
                         << "Read Card S/N Success"
                         << "8E3F21C4";
    QTest::newRow("S70") << int(sim::RfChip::S70) << 1 << hex("3531") << "Card Test Success"
                         << "Read Card S/N Success"
                         << "5A179CE2";
    QTest::newRow("Ultralight") << int(sim::RfChip::Ultralight) << 2 << hex("3542")
                                << "Card Test Success"
                                << "Read Card S/N Success"
                                << "046F2A1B3C8081";
    QTest::newRow("S50 read as Ultralight")
        << int(sim::RfChip::S50) << 2 << hex("3542") << "Card Test Success"
        << "Read Card S/N Error"
        << "";
    QTest::newRow("empty reader") << -1 << 0 << hex("3531") << "No Card In The Reader"
                                  << "No Card In The Reader"
                                  << "";
}

void TestMifareTab::testAndSerialNumber() {
    QFETCH(int, chip);
    QFETCH(int, kind);
    QFETCH(QByteArray, snBody);
    QFETCH(QString, testBox);
    QFETCH(QString, snBox);
    QFETCH(QString, serial);

    Bench b(sim::ReaderModel::Kvr523);
    if (chip >= 0)
        b.present(sim::RfChip(chip));
    choose(b, "RFCARDTYPEOption", kind);
    b.click("CmdRfind");
    QCOMPARE(b.takeFrames(), QList<QByteArray>{hex("02 00 02 35 30 03 06")});
    QCOMPARE(b.lastBox(), testBox);
    QCOMPARE(b.lastTitle(), QStringLiteral("Test RF Card"));
    b.find<QLabel>("RFmessage")->setText(QStringLiteral("old"));
    b.click("CmdRsn");
    QCOMPARE(b.sentBody(), snBody);
    QCOMPARE(b.lastBox(), snBox);
    QCOMPARE(b.lastTitle(), QStringLiteral("Read Card S/N"));
    QCOMPARE(b.find<QLabel>("RFmessage")->text(), serial);
}

void TestMifareTab::ultralightPages() {
    Bench b;
    b.present(sim::RfChip::Ultralight);
    choose(b, "RFCARDTYPEOption", 2);
    choose(b, "Option1", 4);
    fillCells(b, 6, QStringLiteral("DEADBEEF"));
    b.click("CmdRwrite");
    QCOMPARE(b.sentBody(), hex("3544 04 DEADBEEF"));
    QCOMPARE(b.lastBox(), QStringLiteral("Write Data Success"));

    fillCells(b, 6, QStringLiteral("11111111"));
    b.click("CmdRread");
    QCOMPARE(b.sentBody(), hex("3543 04"));
    QCOMPARE(cellsText(b, 6, 9), QStringLiteral("DEADBEEF"));
    QCOMPARE(b.lastBox(), QStringLiteral("Read Data Success"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Read RF Card"));

    // The card keeps its serial number pages to itself.
    choose(b, "Option1", 1);
    fillCells(b, 6, QStringLiteral("00000000"));
    b.click("CmdRwrite");
    QCOMPARE(b.lastBox(), QStringLiteral("Wrong Block"));
    b.click("CmdRread");
    QCOMPARE(cellsText(b, 6, 9), QStringLiteral("1B3C8081"));
}

void TestMifareTab::valueBlockOperations() {
    Bench b;
    b.present(sim::RfChip::S50);
    openSector(b, 1);
    choose(b, "lockNumberCmd", 1);
    QList<QByteArray> bodies;
    QStringList texts;
    inValueWindow(b, [&](RFVELUEOP &w) {
        QCOMPARE(w.windowTitle(), QStringLiteral("Value Operation"));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label13"))->text(), QStringLiteral("01"));
        const auto *combo = w.findChild<QComboBox *>(QStringLiteral("Combo2"));
        QCOMPARE(combo->currentText(), QStringLiteral("01"));
        QCOMPARE(combo->count(), 15);
        QCOMPARE(combo->itemText(14), QStringLiteral("0E"));
        const auto step = [&](int command, const char *box, const char *value) {
            execute(w, command, box, QString::fromLatin1(value));
            bodies.append(b.sentBody());
            texts.append(b.lastTitle() + QLatin1Char('|') + b.lastBox());
        };
        step(3, "Text2", "100");
        step(5, "Text3", "1");
        step(1, nullptr, nullptr);
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), QStringLiteral("101"));
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("Text5"))->text(),
                 QStringLiteral("00000065"));
        step(7, "Text4", "200");
        step(7, "Text4", "101");
        step(1, nullptr, nullptr);
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), QStringLiteral("0"));
        step(5, "Text3", "2147483647");
    });
    QCOMPARE(b.dialogs.classes, QStringList{QStringLiteral("talvex::contactless::RFVELUEOP")});

    const QList<QByteArray> expectedBodies = {
        hex("3534 0101 64000000 9BFFFFFF 64000000 05FA05FA"),
        hex("3537 0101 01000000"),
        hex("3533 0101"),
        hex("3538 0101 C8000000"),
        hex("3538 0101 65000000"),
        hex("3533 0101"),
        hex("3537 0101 FFFFFF7F"),
    };
    QCOMPARE(bodies, expectedBodies);
    const QStringList expectedTexts = {
        "Write Block Data|Write Block Data Succful",
        "Add Value|Add Value Successful",
        "Read Data|Read Data Successful",
        "Devalue|Devalue Overload",
        "Devalue|Devalue Successful",
        "Read Data|Read Data Successful",
        "Add Value|Add Value Successful",
    };
    QCOMPARE(texts, expectedTexts);
}

void TestMifareTab::valueWindowRefusals_data() {
    QTest::addColumn<int>("sector");
    QTest::addColumn<QString>("block");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caution"); // empty: the frame is sent
    QTest::addColumn<QByteArray>("body");

    const QString prohibit = QStringLiteral("Write Prohibit In The Block");
    for (int command : {1, 3, 5, 7}) {
        QTest::addRow("block 03, command %d", command)
            << 5 << "03" << command << "1" << prohibit << QByteArray();
        QTest::addRow("sector 0 block 00, command %d", command)
            << 0 << "00" << command << "1" << prohibit << QByteArray();
    }
    QTest::newRow("sector 31 block 2") << 31 << "02" << 3 << "0" << QString()
                                       << hex("3534 1F02 00000000 FFFFFFFF 00000000 7E817E81");
    QTest::newRow("sector 32 block 1") << 32 << "01" << 3 << "0" << QString()
                                       << hex("3534 2001 00000000 FFFFFFFF 00000000 817E817E");
    QTest::newRow("block 0E below sector 32")
        << 2 << "0E" << 3 << "0" << QString()
        << hex("3534 020E 00000000 FFFFFFFF 00000000 16E916E9");
    QTest::newRow("sector 0 block 01")
        << 0 << "01" << 5 << "1" << QString() << hex("3537 0001 01000000");
}

void TestMifareTab::valueWindowRefusals() {
    QFETCH(int, sector);
    QFETCH(QString, block);
    QFETCH(int, command);
    QFETCH(QString, value);
    QFETCH(QString, caution);
    QFETCH(QByteArray, body);

    Bench b;
    b.present(sim::RfChip::S70);
    choose(b, "RFCARDTYPEOption", 1);
    choose(b, "Option1", sector);
    choose(b, "lockNumberCmd", 1);
    b.takeFrames();
    inValueWindow(b, [&](RFVELUEOP &w) {
        w.findChild<QComboBox *>(QStringLiteral("Combo2"))->setCurrentText(block);
        const char *box = command == 3 ? "Text2" : command == 5 ? "Text3" : "Text4";
        execute(w, command, command == 1 ? nullptr : box, value);
    });
    if (caution.isEmpty()) {
        QCOMPARE(b.sentBody(), body);
        return;
    }
    QCOMPARE(b.lastBox(), caution);
    QCOMPARE(b.lastTitle(), QStringLiteral("Caution"));
    QCOMPARE(b.takeFrames().size(), 0);
}

void TestMifareTab::valueReadChecksTheComplement() {
    Bench b;
    b.present(sim::RfChip::S50);
    openSector(b, 1);
    choose(b, "lockNumberCmd", 2);
    fillCells(b, 0, QStringLiteral("FFFFFFFF00000000FFFFFFFF06F906F9"));
    b.click("CmdRwrite");
    QCOMPARE(b.lastBox(), QStringLiteral("Write Data Success"));
    inValueWindow(b, [&](RFVELUEOP &w) {
        execute(w, 1);
        QCOMPARE(b.lastTitle(), QStringLiteral("Read Data"));
        QCOMPARE(b.lastBox(), QStringLiteral("Read Data Successful"));
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(),
                 QStringLiteral("4294967295"));
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("Text5"))->text(),
                 QStringLiteral("FFFFFFFF"));
        // Block 1 holds zeros: no complement, and the shown value stays.
        w.findChild<QComboBox *>(QStringLiteral("Combo2"))->setCurrentText(QStringLiteral("01"));
        execute(w, 1);
        QCOMPARE(b.lastTitle(), QStringLiteral(" Read Data"));
        QCOMPARE(b.lastBox(), QStringLiteral("Read Data Failure"));
        QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(),
                 QStringLiteral("4294967295"));
        // A sector the key check did not open.
        b.present(sim::RfChip::S50);
        execute(w, 1);
        QCOMPARE(b.lastTitle(), QStringLiteral(" Read Data"));
        QCOMPARE(b.lastBox(), QStringLiteral("Password Error"));
        b.reader.setCard(sim::SimCard());
        execute(w, 1);
        QCOMPARE(b.lastTitle(), QStringLiteral("Read Data"));
        QCOMPARE(b.lastBox(), QStringLiteral("No Card in Reader"));
        execute(w, 3, "Text2", QStringLiteral("5"));
        QCOMPARE(b.lastBox(), QStringLiteral("No Card In the Reader"));
        execute(w, 7, "Text4", QStringLiteral("5"));
        QCOMPARE(b.lastBox(), QStringLiteral("No Card in the Reader"));
    });
}

void TestMifareTab::cardHalfOutOfTheReader() {
    Bench b;
    sim::SimCard card;
    card.kind = sim::CardKind::Contactless;
    card.place = sim::CardPlace::Front;
    card.contactless = sim::ContactlessCard::fresh(sim::RfChip::S50);
    b.reader.setCard(card);
    choose(b, "Option1", 1);
    b.tab.RFPasswordList_Click();
    b.click("CmdRpassword");
    QCOMPARE(b.lastTitle(), QStringLiteral("Check Password"));
    QCOMPARE(b.lastBox(), QStringLiteral("The card is not on the IC card operation position"));
    choose(b, "lockNumberCmd", 1);
    inValueWindow(b, [&](RFVELUEOP &w) { execute(w, 5, "Text3", QStringLiteral("1")); });
    QCOMPARE(b.lastTitle(), QStringLiteral("Add Value"));
    QCOMPARE(b.lastBox(), QStringLiteral("The card is not at the IC card position"));
}

// A choice made without a mouse click (an assistive technology's toggle, the
// program setting it) counts as the window shows it: the frames carry it.
void TestMifareTab::choicesWithoutTheMouse_data() {
    QTest::addColumn<bool>("accessible");
    QTest::newRow("accessibility toggle action") << true;
    QTest::newRow("checked") << false;
}

void TestMifareTab::choicesWithoutTheMouse() {
    QFETCH(bool, accessible);
    Bench b;
    b.present(sim::RfChip::S70);
    const auto choose = [&](const char *base, int index) {
        auto *option = b.find<QRadioButton>(qPrintable(name(base, index)));
        if (accessible) {
            QAccessibleInterface *item = QAccessible::queryAccessibleInterface(option);
            QVERIFY(item && item->actionInterface());
            item->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        } else {
            option->setChecked(true);
        }
        QVERIFY(option->isChecked());
    };
    choose("RFCARDTYPEOption", 1);
    QVERIFY(b.find("Option1_39")->isEnabled());
    choose("Option1", 35);
    QCOMPARE(b.find<QLineEdit>("Text1_0")->text(), QStringLiteral("Sector 35"));
    QVERIFY(b.find("lockNumberCmd_12")->isEnabled());
    choose("lockNumberCmd", 12);
    // The sector choice emptied the key cells; the list's current entry fills them.
    QCOMPARE(keyText(b), QString());
    b.find<QComboBox>("RFPasswordList")->setCurrentIndex(2);
    QCOMPARE(keyText(b), QStringLiteral("D3F7D3F7D3F7"));

    b.takeFrames();
    b.click("CmdRpassword");
    QCOMPARE(b.sentBody(), hex("3532 23 D3F7D3F7D3F7"));
    b.click("CmdRread");
    QCOMPARE(b.sentBody(), hex("3533 230C"));
    QCOMPARE(b.lastBox(), QStringLiteral("Password Wrong"));
}

// The key cells take the entry as typed digits would: the focus walks on and
// ends in the cell after the last, p1. A click on the entry already shown
// fills the cells again.
void TestMifareTab::presetKeyChoice() {
    Bench b;
    b.tab.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b.tab));
    choose(b, "Option1", 1);
    auto *presets = b.find<QComboBox>("RFPasswordList");
    presets->setFocus();
    QTest::keyClick(presets, Qt::Key_Down);
    QCOMPARE(presets->currentIndex(), 1);
    QCOMPARE(keyText(b), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(QApplication::focusWidget(), b.find("p1"));
    QCOMPARE(b.find<QLineEdit>("p1")->selectedText(), QStringLiteral("A0"));

    b.find<QLineEdit>("p3")->setText(QStringLiteral("00"));
    presets->setFocus();
    emit presets->activated(1);
    QCOMPARE(keyText(b), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(QApplication::focusWidget(), b.find("p1"));
}

// Block 3 is the trailer below sector 32, block 15 from sector 32 on.
void TestMifareTab::trailerBoundary_data() {
    QTest::addColumn<int>("sector");
    QTest::addColumn<int>("block");
    QTest::addColumn<bool>("trailer");
    QTest::newRow("31/3") << 31 << 3 << true;
    QTest::newRow("32/3") << 32 << 3 << false;
    QTest::newRow("32/15") << 32 << 15 << true;
}

void TestMifareTab::trailerBoundary() {
    QFETCH(int, sector);
    QFETCH(int, block);
    QFETCH(bool, trailer);
    Bench b;
    b.present(sim::RfChip::S70);
    choose(b, "RFCARDTYPEOption", 1);
    openSector(b, sector);
    choose(b, "lockNumberCmd", block);
    fillCells(b, 0, QStringLiteral("C0C1C2C3C4C5FF078069FFFFFFFFFFFF"));
    b.boxes.answers = {link::MsgAnswer::Cancel};
    b.click("CmdRwrite");
    if (trailer) {
        QCOMPARE(b.lastTitle(), QStringLiteral("Caution"));
        QCOMPARE(b.boxes.shown.last().buttons, link::MsgButtons::OkCancel);
        QCOMPARE(b.takeFrames().size(), 0);
        return;
    }
    QByteArray body = hex("3534") + char(sector) + char(block);
    QCOMPARE(b.sentBody(), body + hex("C0C1C2C3C4C5FF078069FFFFFFFFFFFF"));
    QCOMPARE(b.lastBox(), QStringLiteral("Write Data Success"));
}

// A "Y" reply that carries fewer data bytes than the block or page holds:
// only the bytes that came are shown, and the status line says so.
void TestMifareTab::shortReadReply_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("cells"); // first ... last of the layout
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("status");

    QTest::newRow("block, 5 of 16")
        << 0 << hex("3533 0101") << hex("5033 0101 59 1122334455") << "1122334455"
        << ""
        << "Read RF Card: the reply was short, 5 of 16 data bytes "
           "came; only those are shown.";
    QTest::newRow("block, none") << 0 << hex("3533 0101") << hex("5033 0101 59") << ""
                                 << ""
                                 << "Read RF Card: the reply was short, 0 of 16 data bytes "
                                    "came; only those are shown.";
    QTest::newRow("page, 2 of 4") << 2 << hex("3543 01") << hex("5043 01 59 DEAD") << "DEAD"
                                  << ""
                                  << "Read RF Card: the reply was short, 2 of 4 data bytes "
                                     "came; only those are shown.";
    QTest::newRow("page, whole") << 2 << hex("3543 01") << hex("5043 01 59 DEADBEEF") << "DEADBEEF"
                                 << "Read Data Success"
                                 << "";
}

void TestMifareTab::shortReadReply() {
    QFETCH(int, kind);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, cells);
    QFETCH(QString, box);
    QFETCH(QString, status);

    ScriptedTab t;
    t.replies.insert(command, reply);
    t.click(name("RFCARDTYPEOption", kind));
    t.click(name("Option1", 1));
    if (kind != 2)
        t.click(name("lockNumberCmd", 1));
    t.click(QStringLiteral("CmdRread"));
    const int first = kind == 2 ? 6 : 0;
    QCOMPARE(cellsText(t, first, kind == 2 ? 9 : 15), cells);
    QCOMPARE(t.boxes.shown.isEmpty() ? QString() : t.boxes.shown.last().text, box);
    QCOMPARE(t.state.statusLine.isEmpty() ? QString() : t.state.statusLine.last(), status);
}

// While an exchange waits on the reader a second click is refused: no second
// frame goes out, and the status line says why.
void TestMifareTab::secondClickWhileWaiting() {
    Bench b;
    b.present(sim::RfChip::S50);
    b.reader.injectFault(sim::Fault::delay(400));
    b.press("CmdRfind");
    QTest::qWait(100);
    QCOMPARE(b.takeFrames(), QList<QByteArray>{hex("02 00 02 35 30 03 06")});
    b.press("CmdRsn");
    QCOMPARE(b.state.statusLine,
             QStringList{"COM17 is busy with the command before; this one was not sent."});
    QVERIFY(testing::settle());
    QCOMPARE(b.takeFrames().size(), 0);
    QCOMPARE(b.boxes.shown.size(), 1);
    QCOMPARE(b.lastBox(), QStringLiteral("Card Test Success"));
    QCOMPARE(b.find<QLabel>("RFmessage")->text(), QString());
}

QTEST_MAIN(TestMifareTab)
#include "test_mifaretab.moc"

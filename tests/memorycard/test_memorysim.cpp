// The simulated reader's memory cards: each family's replies, step by step,
// against the bytes the reader protocol gives them.

#include "sim/memorychip.h"
#include "sim/memorycommand.h"
#include "sim/readercommands.h"
#include "sim/readerdevice.h"

#include <QtTest>

using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::MemoryCardType)

namespace {

struct Step {
    const char *command; // body, hex
    const char *reply;   // reply body, hex
};
using Script = QList<Step>;

QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text));
}

QByteArray answer(ReaderDevice &reader, const QByteArray &body) {
    const ReaderCommand command = findReaderCommand(body.at(0));
    return command ? command(reader, body) : QByteArray("no command");
}

SimCard memoryCard(MemoryCardType type, CardPlace place = CardPlace::IcPosition) {
    return blankMemoryCard(type, place);
}

} // namespace

class TestMemorySim : public QObject {
    Q_OBJECT

private slots:
    void familyScripts_data();
    void familyScripts();
    void theReaderAnswersBeforeTheChip_data();
    void theReaderAnswersBeforeTheChip();
    void at45PagesHold264Bytes();
    void at24cAddressesByTheTypeItIsTold();
    void cardTypeDetectionNamesEachCard_data();
    void cardTypeDetectionNamesEachCard();
};

void TestMemorySim::familyScripts_data() {
    QTest::addColumn<MemoryCardType>("type");
    QTest::addColumn<Script>("script");

    QTest::newRow("SLE4442") << MemoryCardType::Sle4442
                             << Script{
                                    {"38 30", "50 30 59 A2 13 10 91"},
                                    {"38 31 00 04", "50 31 59 00 04 A2 13 10 91"},
                                    {"38 35 20 02 12 34", "50 35 4E"}, // no PSC yet
                                    {"38 33", "50 33 59 07 00 00 00"},
                                    {"38 34 11 22 33", "50 34 4E"},
                                    {"38 33", "50 33 59 03 00 00 00"},
                                    {"38 34 FF FF FF", "50 34 59"},
                                    {"38 33", "50 33 59 07 FF FF FF"},
                                    {"38 35 20 02 12 34", "50 35 59"},
                                    {"38 31 20 02", "50 31 59 20 02 12 34"},
                                    {"38 35 00 01 00", "50 35 4E"}, // the ATR header is protected
                                    {"38 35 10 01 5A", "50 35 59"},
                                    {"38 36 10 01 99", "50 36 4E"}, // data must match
                                    {"38 36 10 01 5A", "50 36 59"},
                                    {"38 35 10 01 00", "50 35 4E"},
                                    {"38 32", "50 32 59 00000000 010101010101010101010101"
                                              "00 010101010101010101010101010101"},
                                    {"38 37 01 02 03", "50 37 59"},
                                    {"38 30", "50 30 59 A2 13 10 91"},
                                    {"38 35 20 01 00", "50 35 4E"}, // reset forgets the PSC
                                    {"38 34 FF FF FF", "50 34 4E"},
                                    {"38 34 FF FF FF", "50 34 4E"},
                                    {"38 34 FF FF FF", "50 34 46"}, // third wrong: locked
                                    {"38 34 01 02 03", "50 34 46"},
                                    {"38 33", "50 33 59 00 00 00 00"},
                                };
    QTest::newRow("SLE4428") << MemoryCardType::Sle4428
                             << Script{
                                    {"39 30", "50 30 59"},
                                    {"39 31 03 FC 04", "50 31 59 03 FC 04 FF FF FF FF"},
                                    {"39 34 01 00 02 AA BB", "50 34 4E"},
                                    {"39 33 12 34", "50 33 4E"},
                                    {"39 31 03 FD 01", "50 31 59 03 FD 01 7F"},
                                    {"39 33 FF FF", "50 33 59"},
                                    {"39 34 01 00 02 AA BB", "50 34 59"},
                                    {"39 35 01 02 01 CC", "50 35 59"},
                                    {"39 31 01 00 03", "50 31 59 01 00 03 AA BB CC"},
                                    {"39 32 01 01 03", "50 32 59 01 01 03 01 00 01"},
                                    {"39 34 01 02 01 00", "50 34 4E"},    // protected
                                    {"39 34 03 FE 02 00 00", "50 34 4E"}, // the PSC itself
                                    {"39 36 12 34 56 78", "50 36 4E"},    // wrong old PSC
                                    {"39 36 FF FF 56 78", "50 36 59"},
                                    {"39 31 03 FE 02", "50 31 59 03 FE 02 56 78"},
                                };
    QTest::newRow("24C02") << MemoryCardType::At24c02
                           << Script{
                                  {"36 30 31", "50 30 59"},
                                  {"36 30 39", "50 30 4E"},
                                  {"36 32 31 00 F0 03 01 02 03", "50 32 31 59"},
                                  {"36 31 31 00 F0 03", "50 31 31 59 00 F0 03 01 02 03"},
                                  {"36 33 31 00 FF 01 44", "50 33 31 59"},
                                  {"36 31 31 00 FE 02", "50 31 31 59 00 FE 02 FF 44"},
                                  {"36 31 31 00 FF 02", "50 31 31 4E"}, // past 24C02's end
                              };
    QTest::newRow("AT88SC1604")
        << MemoryCardType::At88sc1604
        << Script{
               {"3B 30", "50 30 59"},
               {"3B 34 30 00 10 02 12 34", "50 34 30 4E"}, // zone 1 password first
               {"3B 31 31 00 00", "50 31 31 4E"},
               {"3B 31 31 FF FF", "50 31 31 59"},
               {"3B 34 30 00 10 02 12 34", "50 34 30 59"},
               {"3B 32 30 00 10 02", "50 32 30 59 00 10 02 12 34"},
               {"3B 34 30 00 10 01 F0", "50 34 30 59"}, // writing only clears bits
               {"3B 32 30 00 10 01", "50 32 30 59 00 10 01 10"},
               {"3B 33 30 00 10 02", "50 33 30 4E"}, // erase password first
               {"3B 31 32 FF FF", "50 31 32 59"},
               {"3B 33 30 00 10 02", "50 33 30 59"},
               {"3B 32 30 00 10 02", "50 32 30 59 00 10 02 FF FF"},
               {"3B 32 30 04 A9 02", "50 32 30 59 04 A9 02 FF FF"}, // zone 1: 1195 bytes
               {"3B 32 30 04 AA 02", "50 32 30 4E"},
               {"3B 32 31 01 00 01", "50 32 31 4E"},    // zone 2: 256 bytes
               {"3B 34 34 00 00 01 00", "50 34 34 4E"}, // security zone: security code
               {"3B 36 32", "50 36 32 4E"},
               {"3B 31 30 F0 F0", "50 31 30 59"},
               {"3B 34 34 00 00 01 00", "50 34 34 59"},
               {"3B 35 33 11 22", "50 35 33 59"},
               {"3B 36 32", "50 36 32 59"}, // user fuse: the security zone is frozen
               {"3B 34 34 00 01 01 00", "50 34 34 4E"},
               {"3B 30", "50 30 59"},
               {"3B 31 33 FF FF", "50 31 33 4E"},
               {"3B 31 33 11 22", "50 31 33 59"},
           };
    QTest::newRow("AT88SC1608")
        << MemoryCardType::At88sc1608
        << Script{
               {"3E 30", "50 30 59"},
               {"3E 33 30 00 02 12 34", "50 33 30 59"}, // zone 1 is open
               {"3E 32 30 00 02", "50 32 30 59 00 02 12 34"},
               {"3E 33 31 00 01 55", "50 33 31 4E"},
               {"3E 31 38 FF FF FE", "50 31 38 4E"},
               {"3E 31 38 FF FF FF", "50 31 38 59"}, // write password of zone 2
               {"3E 33 31 00 01 55", "50 33 31 59"},
               {"3E 32 31 00 01", "50 32 31 59 00 01 55"},
               {"3E 32 37 00 01", "50 32 37 4E"}, // zone 8 is read protected
               {"3E 31 37 FF FF FF", "50 31 37 59"},
               {"3E 32 37 00 01", "50 32 37 59 00 01 FF"},
               {"3E 32 38 60 02", "50 32 38 59 60 02 00 00"},
               {"3E 34", "50 34 59 38 80 03 31 31 31"},
               {"3E 35", "50 35 4E"}, // the secure code first
               {"3E 31 3E FF FF FF", "50 31 3E 59"},
               {"3E 35", "50 35 59"},
               {"3E 34", "50 34 59 38 80 03 30 31 31"},
               {"3E 37 01 02 03 04 05 06 07 08", "50 37 4E"}, // no authentication begun
               {"3E 36 01 02 03 04 05 06 07 08", "50 36 59"},
               {"3E 37 01 02 03 04 05 06 07 08", "50 37 59"},
               {"3E 36 01 02 03 04 05 06 07 08", "50 36 59"},
               {"3E 37 01 02 03 04 05 06 07 09", "50 37 4E"},
           };
    QTest::newRow("AT88SC102")
        << MemoryCardType::At88sc102
        << Script{
               {"3A 30", "50 30 59"},
               {"3A 32 30 0A 02", "50 32 30 59 0A 02 FF FF"},
               {"3A 34 31 16 02 12 34", "50 34 31 4E"},
               {"3A 31 F0 F1", "50 31 F0 4E"},
               {"3A 31 F0 F0", "50 31 F0 59"},
               {"3A 32 30 0A 02", "50 32 30 59 0A 02 F0 F0"},
               {"3A 34 31 16 02 12 34", "50 34 31 59"},
               {"3A 32 31 16 02", "50 32 31 59 16 02 12 34"},
               {"3A 32 31 15 02", "50 32 31 4E"}, // zone 1 is 16h-55h
               {"3A 32 30 16 01", "50 32 30 4E"}, // not part of the security area
               {"3A 33 31 16 01", "50 33 31 59"},
               {"3A 32 31 16 02", "50 32 31 59 16 02 FF 34"},
               {"3A 34 32 5C 01 00", "50 34 32 59"},
               {"3A 33 33 FF FF FF FF FF FE", "50 33 33 4E"},
               {"3A 33 33 FF FF FF FF FF FF", "50 33 33 59"},
               {"3A 32 31 17 01", "50 32 31 59 17 01 FF"},
               {"3A 35 32 01 02 03 04", "50 35 32 59"},
               {"3A 33 34 31 FF FF FF FF", "50 33 34 4E"},
               {"3A 33 34 31 01 02 03 04", "50 33 34 59"},
               {"3A 32 32 5C 01", "50 32 32 59 5C 01 FF"},
               {"3A 35 30 12 34", "50 35 30 59"},
               {"3A 36 32", "50 36 32 59"},
               {"3A 37", "50 37 59"},
               {"3A 30", "50 30 59"},
               {"3A 31 F0 F0", "50 31 F0 4E"},
               {"3A 31 F0 F0", "50 31 F0 4E"},
               {"3A 31 F0 F0", "50 31 F0 4E"},
               {"3A 31 F0 F0", "50 31 F0 46"}, // four wrong codes lock the card
               {"3A 31 12 34", "50 31 12 46"},
           };
}

void TestMemorySim::familyScripts() {
    QFETCH(MemoryCardType, type);
    QFETCH(Script, script);
    ReaderDevice reader(ReaderModel::Kvr690);
    reader.setCard(memoryCard(type));
    for (const Step &step : script) {
        const QByteArray reply = answer(reader, hex(step.command));
        QVERIFY2(reply == hex(step.reply),
                 qPrintable(QStringLiteral("%1 -> %2, expected %3")
                                .arg(QLatin1String(step.command),
                                     QString::fromLatin1(reply.toHex(' ').toUpper()),
                                     QLatin1String(step.reply))));
    }
}

void TestMemorySim::theReaderAnswersBeforeTheChip_data() {
    QTest::addColumn<ReaderModel>("model");
    QTest::addColumn<SimCard>("card");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("empty reader") << ReaderModel::Kvr690 << SimCard{} << hex("38 30")
                                  << hex("50 30 45");
    QTest::newRow("empty reader, status at 3")
        << ReaderModel::Kvr634 << SimCard{} << hex("3B 31 30 F0 F0") << hex("50 31 30 45");
    QTest::newRow("690: card not at the IC position")
        << ReaderModel::Kvr690 << memoryCard(MemoryCardType::Sle4442, CardPlace::Inside)
        << hex("38 30") << hex("50 30 57");
    QTest::newRow("638: a card inside is at the contacts")
        << ReaderModel::Kvr638 << memoryCard(MemoryCardType::Sle4442, CardPlace::Inside)
        << hex("38 30") << hex("50 30 59 A2 13 10 91");
    QTest::newRow("527: card at the front")
        << ReaderModel::Kvr527 << memoryCard(MemoryCardType::At45db041, CardPlace::Front)
        << hex("3C 30") << hex("50 30 57");
    QTest::newRow("another family") << ReaderModel::Kvr690 << memoryCard(MemoryCardType::Sle4428)
                                    << hex("38 30") << hex("50 30 4E");
    QTest::newRow("plain card") << ReaderModel::Kvr690
                                << SimCard{CardKind::Plain, CardPlace::IcPosition}
                                << hex("3A 31 F0 F0") << hex("50 31 F0 4E");
    QTest::newRow("416 has no IC module")
        << ReaderModel::Kvr416 << memoryCard(MemoryCardType::Sle4442) << hex("38 30")
        << hex("4E 30 00");
}

void TestMemorySim::theReaderAnswersBeforeTheChip() {
    QFETCH(ReaderModel, model);
    QFETCH(SimCard, card);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    ReaderDevice reader(model);
    reader.setCard(card);
    QCOMPARE(answer(reader, command).toHex(' '), reply.toHex(' '));
    QCOMPARE(reader.card(), card);
}

void TestMemorySim::at45PagesHold264Bytes() {
    ReaderDevice reader(ReaderModel::Kvr690);
    reader.setCard(memoryCard(MemoryCardType::At45db041));
    const QByteArray erased(264, '\xFF');
    QCOMPARE(answer(reader, hex("3C 31 07 FF")), hex("50 31 59 07 FF") + erased);
    QByteArray page;
    for (int i = 0; i < 264; ++i)
        page += char(i);
    QCOMPARE(answer(reader, hex("3C 32 07 FF") + page), hex("50 32 59"));
    QCOMPARE(answer(reader, hex("3C 31 07 FF")), hex("50 31 59 07 FF") + page);
    QCOMPARE(answer(reader, hex("3C 31 07 FE")).mid(5), erased);
    QCOMPARE(answer(reader, hex("3C 31 08 00")), hex("50 31 4E")); // 2048 pages
    QCOMPARE(answer(reader, hex("3C 32 00 00") + page.left(263)), hex("50 32 4E"));
}

void TestMemorySim::at24cAddressesByTheTypeItIsTold() {
    ReaderDevice reader(ReaderModel::Kvr690);
    reader.setCard(memoryCard(MemoryCardType::At24c01));
    // A 24C01 told it is a 24C02 wraps at its own 128 bytes.
    QCOMPARE(answer(reader, hex("36 32 31 00 80 01 77")), hex("50 32 31 59"));
    QCOMPARE(answer(reader, hex("36 31 30 00 00 01")), hex("50 31 30 59 00 00 01 77"));
    QCOMPARE(answer(reader, hex("36 31 30 00 80 01")), hex("50 31 30 4E"));
    QCOMPARE(answer(reader, hex("36 31 36 1F FF 01")), hex("50 31 36 59 1F FF 01 FF"));
}

void TestMemorySim::cardTypeDetectionNamesEachCard_data() {
    QTest::addColumn<MemoryCardType>("type");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("SLE4442") << MemoryCardType::Sle4442 << QByteArray("P130");
    QTest::newRow("SLE4428") << MemoryCardType::Sle4428 << QByteArray("P131");
    QTest::newRow("24C01") << MemoryCardType::At24c01 << QByteArray("P120");
    QTest::newRow("24C64") << MemoryCardType::At24c64 << QByteArray("P126");
    QTest::newRow("AT88SC102") << MemoryCardType::At88sc102 << QByteArray("P140");
    QTest::newRow("AT88SC1604") << MemoryCardType::At88sc1604 << QByteArray("P141");
    QTest::newRow("AT45DB041") << MemoryCardType::At45db041 << QByteArray("P142");
    QTest::newRow("AT88SC1608") << MemoryCardType::At88sc1608 << QByteArray("P143");
}

void TestMemorySim::cardTypeDetectionNamesEachCard() {
    QFETCH(MemoryCardType, type);
    QFETCH(QByteArray, reply);
    ReaderDevice reader(ReaderModel::Kvr638);
    reader.setCard(memoryCard(type, CardPlace::Inside));
    QCOMPARE(answer(reader, "11"), reply);
}

QTEST_GUILESS_MAIN(TestMemorySim)
#include "test_memorysim.moc"

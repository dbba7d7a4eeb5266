// The simulated reader's contactless module: sessions of command bodies and
// the reply bodies the reader gives, card by card and model by model.

#include "link/frame.h"
#include "sim/readerdevice.h"

#include <QtTest>

using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::ReaderModel)

namespace {

const QByteArray kEnq("\x05");

QByteArray exchange(ReaderDevice &reader, const QByteArray &body) {
    reader.feed(talvex::link::buildReaderFrame(body), 9600, 0);
    if (reader.takeOutput(0) != "\x06")
        return "no ACK";
    reader.feed(kEnq, 9600, 0);
    const QByteArray frame = reader.takeOutput(0);
    return frame.mid(3, frame.size() - 5);
}

SimCard holding(int chip) {
    SimCard card;
    if (chip >= 0) {
        card.kind = CardKind::Contactless;
        card.contactless = ContactlessCard::fresh(RfChip(chip));
    }
    return card;
}

constexpr int kEmpty = -1;
constexpr int kPlain = -2;
constexpr int kS50AtTheFront = -3;
constexpr int kBareContactless = -4; // the kind alone, no card data

// Blanks in a step are for the reader of this file only.
QByteArray hexOf(QString text) {
    return QByteArray::fromHex(text.remove(QLatin1Char(' ')).toLatin1());
}

} // namespace

class TestContactlessCards : public QObject {
    Q_OBJECT

private slots:
    void sessions_data();
    void sessions();
};

// Each step is "command body > reply body" in hexadecimal; a session runs
// against one reader holding one card, in order.
void TestContactlessCards::sessions_data() {
    QTest::addColumn<ReaderModel>("model");
    QTest::addColumn<int>("chip");
    QTest::addColumn<QStringList>("steps");

    const QString openSector1 = QStringLiteral("3532 01 FFFFFFFFFFFF > 5032 01 59");
    const auto s50 = int(RfChip::S50);

    QTest::newRow("S50 block read, write, read back")
        << ReaderModel::Kvr690 << s50
        << QStringList{
               "3530 > 5030 59",
               "3531 > 5031 59 8E3F21C4",
               "3533 0101 > 5033 0101 33", // no key checked yet
               openSector1,
               "3533 0101 > 5033 0101 59 00000000000000000000000000000000",
               "3534 0101 00112233445566778899AABBCCDDEEFF > 5034 0101 59",
               "3533 0101 > 5033 0101 59 00112233445566778899AABBCCDDEEFF",
               "3533 0103 > 5033 0103 59 000000000000 FF078069 FFFFFFFFFFFF",
               "3533 0201 > 5033 0201 33", // another sector is still closed
               "3533 0104 > 5033 0104 34",
               "3532 10 FFFFFFFFFFFF > 5032 10 31",
               "3530 > 5030 59", // selecting the card again closes the sector
               "3533 0101 > 5033 0101 33",
           };
    QTest::newRow("S50 maker block")
        << ReaderModel::Kvr527 << s50
        << QStringList{
               "3532 00 FFFFFFFFFFFF > 5032 00 59",
               "3533 0000 > 5033 0000 59 8E3F21C4 54 08 0400 6263646566676869",
               "3534 0000 00000000000000000000000000000000 > 5034 0000 34",
           };
    QTest::newRow("S50 value block")
        << ReaderModel::Kvr638 << s50
        << QStringList{
               openSector1,
               "3534 0101 640000009BFFFFFF6400000005FA05FA > 5034 0101 59",
               "3537 0101 01000000 > 5037 0101 59",
               "3533 0101 > 5033 0101 59 650000009AFFFFFF6500000005FA05FA",
               "3538 0101 66000000 > 5038 0101 35",
               "3538 0101 65000000 > 5038 0101 59",
               "3533 0101 > 5033 0101 59 00000000FFFFFFFF0000000005FA05FA",
               "3537 0102 01000000 > 5037 0102 34", // zeros are no value block
               "3538 0103 01000000 > 5038 0103 34", // the trailer
               "3534 0102 FFFFFFFF00000000FFFFFFFF06F906F9 > 5034 0102 59",
               "3537 0102 01000000 > 5037 0102 35",
           };
    // The trailer holds key A (bytes 0-5), the access bytes (6-9) and key B
    // (10-15); each key check compares only its own six bytes.
    QTest::newRow("S50 keys A and B of a trailer")
        << ReaderModel::Kvr690 << s50
        << QStringList{
               openSector1,
               "3534 0103 A0A1A2A3A4A5 FF078069 B0B1B2B3B4B5 > 5034 0103 59",
               "3539 01 B0B1B2B3B4B5 > 5039 01 59",
               "3539 01 69B0B1B2B3B4 > 5039 01 33",
               "3539 01 A0A1A2A3A4A5 > 5039 01 33",
               "3532 01 B0B1B2B3B4B5 > 5032 01 33",
               "3532 01 A0A1A2A3A4A5 > 5032 01 59",
               "3533 0103 > 5033 0103 59 000000000000 FF078069 B0B1B2B3B4B5",
               "3535 01 C0C1C2C3C4C5 > 5035 01 59",
               "3532 01 C0C1C2C3C4C5 > 5032 01 59",
               "3539 01 B0B1B2B3B4B5 > 5039 01 59",
           };
    // Sector 31 ends with block 3; sector 32 is the first of sixteen blocks,
    // its block 3 plain data and block 15 the trailer; sector 39 is the last.
    QTest::newRow("S70 sectors of four and sixteen blocks")
        << ReaderModel::Kvr690 << int(RfChip::S70)
        << QStringList{
               "3531 > 5031 59 5A179CE2",
               "3532 1F FFFFFFFFFFFF > 5032 1F 59",
               "3533 1F03 > 5033 1F03 59 000000000000 FF078069 FFFFFFFFFFFF",
               "3532 20 FFFFFFFFFFFF > 5032 20 59",
               "3534 2003 112233445566778899AABBCCDDEEFF00 > 5034 2003 59",
               "3533 2003 > 5033 2003 59 112233445566778899AABBCCDDEEFF00",
               "3534 200F D0D1D2D3D4D5 FF078069 E0E1E2E3E4E5 > 5034 200F 59",
               "3533 200F > 5033 200F 59 000000000000 FF078069 E0E1E2E3E4E5",
               "3533 2010 > 5033 2010 34",
               "3539 20 E0E1E2E3E4E5 > 5039 20 59",
               "3532 20 D0D1D2D3D4D5 > 5032 20 59",
               "3535 20 F0F1F2F3F4F5 > 5035 20 59",
               "3532 20 F0F1F2F3F4F5 > 5032 20 59",
               "3532 20 D0D1D2D3D4D5 > 5032 20 33",
               "3532 28 FFFFFFFFFFFF > 5032 28 31",
               "3532 27 FFFFFFFFFFFF > 5032 27 59",
           };
    QTest::newRow("Ultralight pages")
        << ReaderModel::Kvr523 << int(RfChip::Ultralight)
        << QStringList{
               "3542 > 5042 59 046F2A1B3C8081", "3543 00 > 5043 00 59 046F2AC9",
               "3543 01 > 5043 01 59 1B3C8081", "3543 02 > 5043 02 59 26480000",
               "3544 04 DEADBEEF > 5044 04 59", "3543 04 > 5043 04 59 DEADBEEF",
               "3544 01 00000000 > 5044 01 34", "3544 03 01000000 > 5044 03 59",
               "3544 03 00000010 > 5044 03 59",
               "3543 03 > 5043 03 59 01000010", // one-time programmable
               "3543 10 > 5043 10 31",          "3532 01 FFFFFFFFFFFF > 5032 01 30",
           };
    QTest::newRow("S50 is no Ultralight") << ReaderModel::Kvr690 << s50
                                          << QStringList{
                                                 "3542 > 5042 4E",
                                                 "3543 04 > 5043 04 30",
                                                 "3560 > 5060 4E",
                                             };
    QTest::newRow("type A CPU card")
        << ReaderModel::Kvr690 << int(RfChip::CpuTypeA)
        << QStringList{
               "3565 0007 00A40000023F00 > 5065 4E", // not polled yet
               "3561 > 5061 4E",
               "3560 > 5060 59 067577810280",
               "3569 > 5069 59 084D1C77",
               "3565 0007 00A40000023F00 > 5065 59 000D 6F0984023F00A503880101 9000",
               "3565 0005 00B0000010 > 5065 59 0002 6D00",
               "3565 0005 00A40000 > 4E65 01", // length field disagrees
               "3568 > 5068 59",
               "3565 0007 00A40000023F00 > 5065 4E",
               "3568 > 5068 4E",
               "3532 01 FFFFFFFFFFFF > 5032 01 30",
           };
    QTest::newRow("empty reader") << ReaderModel::Kvr690 << kEmpty
                                  << QStringList{
                                         "3530 > 5030 45",
                                         "3531 > 5031 45",
                                         "3532 01 FFFFFFFFFFFF > 5032 01 45",
                                         "3533 0101 > 5033 0101 45",
                                         "3543 04 > 5043 04 45",
                                         "3560 > 5060 45",
                                         "3568 > 5068 45",
                                     };
    QTest::newRow("card without a chip") << ReaderModel::Kvr690 << kPlain
                                         << QStringList{
                                                "3530 > 5030 4E",
                                                "3533 0101 > 5033 0101 30",
                                                "3561 > 5061 4E",
                                            };
    QTest::newRow("card half out of the reader") << ReaderModel::Kvr690 << kS50AtTheFront
                                                 << QStringList{
                                                        "3530 > 5030 4E",
                                                        "3532 01 FFFFFFFFFFFF > 5032 01 57",
                                                        "3533 0101 > 5033 0101 57",
                                                        "3538 0101 01000000 > 5038 0101 57",
                                                    };
    QTest::newRow("contactless kind without data")
        << ReaderModel::Kvr690 << kBareContactless << QStringList{"3531 > 5031 59 8E3F21C4"};
    QTest::newRow("KVR-416 has no contactless module")
        << ReaderModel::Kvr416 << s50 << QStringList{"3530 > 4E30 00"};
    QTest::newRow("wrong lengths and parameters") << ReaderModel::Kvr690 << s50
                                                  << QStringList{
                                                         "3533 01 > 4E33 01",
                                                         "3534 0101 00 > 4E34 01",
                                                         "357A > 4E7A 01",
                                                     };
    for (ReaderModel model : {ReaderModel::Kvr523, ReaderModel::Kvr527, ReaderModel::Kvr634,
                              ReaderModel::Kvr638, ReaderModel::Kvr690}) {
        QTest::addRow("key check on %s", qPrintable(readerModelName(model)))
            << model << s50 << QStringList{openSector1, "3539 01 FFFFFFFFFFFE > 5039 01 33"};
    }
}

void TestContactlessCards::sessions() {
    QFETCH(ReaderModel, model);
    QFETCH(int, chip);
    QFETCH(QStringList, steps);

    ReaderDevice reader(model);
    SimCard card = holding(chip < 0 ? kEmpty : chip);
    if (chip == kPlain)
        card.kind = CardKind::Plain;
    if (chip == kBareContactless)
        card.kind = CardKind::Contactless;
    if (chip == kS50AtTheFront) {
        card = holding(int(RfChip::S50));
        card.place = CardPlace::Front;
    }
    reader.setCard(card);
    for (const QString &step : steps) {
        const QStringList parts = step.split(QLatin1Char('>'));
        QCOMPARE(parts.size(), 2);
        const QByteArray reply = exchange(reader, hexOf(parts.at(0)));
        if (reply.toHex().toUpper() != hexOf(parts.at(1)).toHex().toUpper()) {
            QFAIL(qPrintable(QStringLiteral("%1: got %2")
                                 .arg(step, QString::fromLatin1(reply.toHex(' ').toUpper()))));
        }
    }
}

QTEST_MAIN(TestContactlessCards)
#include "test_contactlesscards.moc"

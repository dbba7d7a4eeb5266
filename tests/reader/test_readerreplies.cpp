// The reader control decoders: the status, sensor and card type tables, and
// the text replies.

#include "reader/readerreplies.h"

#include <QtTest>

using namespace talvex::reader;

namespace {

// A reply as the exchange returns it: "P", PM, the data, ETX and a BCC.
QByteArray reply(const QByteArray &data) {
    return "P0" + data + QByteArray("\x03\x00", 2);
}

} // namespace

class TestReaderReplies : public QObject {
    Q_OBJECT

private slots:
    void statusLines_data();
    void statusLines();
    void statusOfTwoLineModels();
    void sensorValues();
    void cardTypes();
    void moveCardBoxes();
    void textReplies();
};

void TestReaderReplies::statusLines_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("index");
    QTest::addColumn<char>("value");
    QTest::addColumn<QString>("line");

    struct Row {
        const char *model;
        int index;
        char value;
        const char *line;
    };
    const Row rows[] = {
        {"KVR-523", 2, 'Y', "Card in the Reader"},
        {"KVR-523", 2, 'Z', "Card do not Reach the Switch"},
        {"KVR-523", 2, 'N', "No Card in the Reader"},
        {"KVR-523", 3, '0', "Operation Success, Can Read"},
        {"KVR-523", 3, '1', "Operation Error, Can Read"},
        {"KVR-523", 3, '2', "No Operation, Can not Read"},
        {"KVR-634", 2, 'Y', "Card is in the Reader"},
        {"KVR-634", 2, 'O', "Card is at front side "},
        {"KVR-634", 2, 'N', "No Card is in the Reader"},
        {"KVR-634", 3, 'Y', "Permit the card in"},
        {"KVR-634", 3, 'N', "Prohibit the card in"},
        {"KVR-638", 2, 'F', "There is long card in the reader"},
        {"KVR-638", 2, 'H', "There is card at the front side"},
        {"KVR-638", 2, 'I', "There is card at the front card-hold position"},
        {"KVR-638", 2, 'J', "There is card in the reader"},
        {"KVR-638", 2, 'K', "There is card at IC card operation position"},
        {"KVR-638", 2, 'L', "There is card at the rear card-hold position"},
        {"KVR-638", 2, 'M', "There is card at the rear side"},
        {"KVR-638", 2, 'N', "No Card In The Reader"},
        {"KVR-638", 3, 'I', "Permit magnetic cards in only from front"},
        {"KVR-638", 3, 'J', "Permit all cards in from front"},
        {"KVR-638", 3, 'K', "Permit card-in by mag signal"},
        {"KVR-638", 3, 'N', "Prohibit the cards in from front"},
        {"KVR-690", 2, 'M', "There is card at the rear side"},
        {"KVR-690", 3, 'K', "Permit card-in by mag signal"},
        {"KVR-690", 4, 'J', "Permit all cards in from rear"},
        {"KVR-690", 4, 'N', "Prohibit the cards in from rear"},
        // Values outside a table leave their line empty.
        {"KVR-638", 2, 'G', ""},
        {"KVR-523", 3, '3', ""},
        {"KVR-634", 2, 'Z', ""},
        {"KVR-690", 4, 'K', ""},
    };
    for (const Row &r : rows)
        QTest::addRow("%s byte %d %c", r.model, r.index, r.value)
            << QString::fromLatin1(r.model) << r.index << r.value << QString::fromLatin1(r.line);
}

void TestReaderReplies::statusLines() {
    QFETCH(QString, model);
    QFETCH(int, index);
    QFETCH(char, value);
    QFETCH(QString, line);

    QByteArray data("???");
    data[index - 2] = value;
    const auto box = statusBox(model, reply(data));
    QVERIFY(box);
    QCOMPARE(box->title, QStringLiteral("Status of  Reader"));
    const QStringList lines = box->text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), model == QLatin1String("KVR-690") ? 3 : 2);
    QCOMPARE(lines.at(index - 2), line);
}

void TestReaderReplies::statusOfTwoLineModels() {
    struct Case {
        const char *model;
        QByteArray data;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"KVR-416", "N", QStringLiteral("No card or card reader is not inserted in place")},
        {"KVR-527", "Y", QStringLiteral("One Card In The Reader")},
        {"KVR-527", "N", QStringLiteral("No card or card reader is not inserted in place")},
        {"KVR-527", "Z", std::nullopt},
        {"", "Y", std::nullopt},
    };
    for (const Case &c : cases) {
        const auto box = statusBox(QString::fromLatin1(c.model), reply(c.data));
        QCOMPARE(box.has_value(), c.text.has_value());
        if (box) {
            QCOMPARE(box->title, QStringLiteral("Reader Status"));
            QCOMPARE(box->text, *c.text);
        }
    }
    QCOMPARE(statusBox(QStringLiteral("KVR-638"), reply("GJ"))->text,
             QStringLiteral("\r\nPermit all cards in from front"));
}

void TestReaderReplies::sensorValues() {
    QCOMPARE(sensorValues638("10x0"), (QStringList{"On", "Off", "", "Off"}));
    QCOMPARE(sensorValues690("01010110"),
             (QStringList{"Off", "On", "Off", "On", "Off", "On", "Mechanical Shutter is Open",
                          "No card is in the Shutter"}));
    QCOMPARE(sensorValues690("00000001").mid(6),
             (QStringList{"Mechanical Shutter is Close", "One card is in the Shutter"}));
    QCOMPARE(sensorValues690("000000?"),
             (QStringList{"Off", "Off", "Off", "Off", "Off", "Off", "", ""}));
}

void TestReaderReplies::cardTypes() {
    using T = CardTypeRow::Target;
    struct Expected {
        const char *pair;
        const char *message;
        T target;
        int tab;
        int index;
    };
    const Expected expected[] = {
        {"N0", "No Card In The Reader ", T::None, -1, 0},
        {"N1", "Unknow Type", T::None, -1, 0},
        {"N2", "The card is not on the IC card operation position上", T::None, -1, 0},
        {"00", "RF S50", T::RfCardType, 1, 0},
        {"01", "RF S70", T::RfCardType, 1, 1},
        {"02", "RF UL", T::RfCardType, 1, 2},
        {"04", "TYPE A CPU", T::TypeA, 2, 0},
        {"05", "TYPE B CPU", T::TypeB, 2, 0},
        {"09", "RF CARD BUT Unknow Type", T::Tab, 1, 0},
        {"10", "CPU Card(T=0)", T::ContactTab, 3, 0},
        {"11", "CPU Card(T=1)", T::ContactTab, 3, 0},
        {"20", "24C01", T::ContactTab, 3, 4},
        {"21", "24C02", T::ContactTab, 3, 4},
        {"22", "24C04", T::ContactTab, 3, 4},
        {"23", "24C08", T::ContactTab, 3, 4},
        {"24", "24C16", T::ContactTab, 3, 4},
        {"25", "24C32", T::ContactTab, 3, 4},
        {"26", "24C64", T::ContactTab, 3, 4},
        {"30", "SLE4442", T::ContactTab, 3, 3},
        {"31", "SLE4428", T::ContactTab, 3, 2},
        {"40", "AT88S102", T::ContactTab, 3, 8},
        {"41", "AT88S1604", T::ContactTab, 3, 5},
        {"42", "AT45D041", T::ContactTab, 3, 7},
        {"43", "AT88S1608", T::ContactTab, 3, 6},
    };
    QCOMPARE(cardTypeTable().size(), std::size(expected));
    for (const Expected &e : expected) {
        const CardTypeRow *row = findCardType(e.pair[0], e.pair[1]);
        QVERIFY2(row, e.pair);
        QCOMPARE(QString::fromUtf8(row->message), QString::fromUtf8(e.message));
        QCOMPARE(row->target, e.target);
        QCOMPARE(row->tab, e.tab);
        if (e.target == T::RfCardType || e.target == T::ContactTab)
            QCOMPARE(row->index, e.index);
    }
    // Between "RF UL" and "TYPE A CPU", and past the table: nothing.
    QVERIFY(!findCardType('0', '3'));
    QVERIFY(!findCardType('4', '4'));
    QVERIFY(!findCardType('5', '0'));
}

void TestReaderReplies::moveCardBoxes() {
    struct Case {
        char pm;
        char result;
        const char *box; // title|text, nullptr for no box
    };
    const Case cases[] = {
        {'7', 'N', "Clean Reader|Set 'Clean Reader' Error"},
        {'7', 'E', "Move card|No Card In The Reader"},
        {'7', 'W', "Move card|The card is not on the IC card operation position"},
        {'0', 'Y', nullptr},
        {'/', 'Y', nullptr},
        {'5', 'N', "Move card|Move card Error"},
        {'.', 'E', "Move card|No Card In The Reader"},
        {'3', 'X', nullptr},
    };
    for (const Case &c : cases) {
        const auto box = moveCardBox(c.pm, c.result);
        const QString shown = box ? box->title + u'|' + box->text : QString();
        QCOMPARE(shown, c.box ? QString::fromLatin1(c.box) : QString());
    }
}

void TestReaderReplies::textReplies() {
    // Reset: the data between the two leading bytes and ETX, BCC.
    const QByteArray version = reply("KVR690 V3.1");
    QCOMPARE(resetReplyText(version, int(version.size())), QStringLiteral("KVR690 V3.1"));
    QCOMPARE(resetReplyText(reply(""), 4), QString());

    // Serial number: length at byte 3, trimmed.
    const QByteArray sn = QByteArray("P:Y\x09 SN-0042 \x03\x00", 15);
    QCOMPARE(serialNumberText(sn, int(sn.size())), QStringLiteral("SN-0042"));
    const QByteArray empty = QByteArray("P:Y\x00\x03\x00", 6);
    QCOMPARE(serialNumberText(empty, int(empty.size())), QString());
    // A count past the reply's end stops at its data.
    const QByteArray overlong = QByteArray("P:Y\x20"
                                           "AB\x03\x00",
                                           8);
    QCOMPARE(serialNumberText(overlong, int(overlong.size())), QStringLiteral("AB"));

    // Result bytes.
    const ResultTexts texts{"T", "yes", "no", nullptr, "w"};
    QCOMPARE(resultBox(texts, 'Y')->text, QStringLiteral("yes"));
    QCOMPARE(resultBox(texts, 'W')->title, QStringLiteral("T"));
    QVERIFY(!resultBox(texts, 'E'));
    QVERIFY(!resultBox(texts, 'X'));
}

QTEST_GUILESS_MAIN(TestReaderReplies)
#include "test_readerreplies.moc"

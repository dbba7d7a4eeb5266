// Bad text in the dispenser window's boxes and lists and in both settings
// dialogs: each gives its caution, nothing goes on either line, and the
// window goes on working.

#include "dispenser/virtualdispensers.h"
#include "typing.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

using namespace talvex;
using testing::child;
using testing::commandTexts;
using testing::InputRow;
using testing::VirtualDispensers;

namespace {

const QString kQuantity = QStringLiteral("Caution|Auto Dispense Q'ty:999 Max");
const QString kPosition = QStringLiteral("Caution|Please Choose the Dispensing Position");
const QString kPort = QStringLiteral("Caution|Invalid Comm Port Setting");
const QString kBaud = QStringLiteral("Caution|Invalid Baud Rate Setting");
const QString kParity = QStringLiteral("Caution|Invalid Parity Setting");
const QString kDataBits = QStringLiteral("Caution|Invalid Data Bits Setting");
const QString kStopBits = QStringLiteral("Caution|Invalid Stop Bits Setting");

const QList<InputRow> kRows = {
    {"ComPortSet820", {}, "PortCombo", "COM16", "Command1", kPort},
    {"ComPortSet840", {}, "PortCombo", "com3", "Command1", kPort},
    {"ComPortSet820", {"PortCombo=COM2"}, "BaudCombo", "57600 bits/s", "Command1", kBaud},
    {"ComPortSet840", {"PortCombo=COM3"}, "BaudCombo", "9600", "Command1", kBaud},
    {"ComPortSet820", {"PortCombo=COM2"}, "ParityCombo", "", "Command1", kParity},
    {"ComPortSet840", {"PortCombo=COM3"}, "DatabitCombo", "-8 bits", "Command1", kDataBits},
    {"ComPortSet820", {"PortCombo=COM2"}, "StopbitCombo", "1.5 bits", "Command1", kStopBits},
    {"Fakamain", {}, "Text8201", "0", "Autofaka820", kQuantity},
    {"Fakamain", {}, "Text8201", "-5", "Autofaka820", kQuantity},
    {"Fakamain", {}, "Text8201", u"\uFF15"_qs, "Autofaka820", kQuantity},
    {"Fakamain", {"Check8401"}, "Autonumber840", "0", "AutoFaka840", kQuantity},
    {"Fakamain", {"Check8401"}, "Autonumber840", u"\u0663"_qs, "AutoFaka840", kQuantity},
    {"Fakamain", {}, "Autonumber840", "5", "AutoFaka840", kQuantity},
    {"Fakamain", {}, "KVR820FcAdd", "", "KVR820FC", kPosition},
    {"Fakamain", {}, "KVR820FcAdd", "to the door", "KVR820FC", kPosition},
    {"Fakamain", {}, "cmbBaut820", "57600", "KVR820CS", kBaud},
    {"Fakamain", {}, "cmbBaut840", "9600 bits/s", "KVR840CS", kBaud},
};

} // namespace

Q_DECLARE_METATYPE(talvex::testing::InputRow)

class TestDispenserInput : public QObject {
    Q_OBJECT
private slots:
    void badTextIsRefused_data();
    void badTextIsRefused();
    void oddTextIsTakenItsOwnWay();
};

void TestDispenserInput::badTextIsRefused_data() {
    QTest::addColumn<InputRow>("row");
    for (const InputRow &row : kRows) {
        QTest::newRow(
            qPrintable(QStringLiteral("%1 %2 '%3'")
                           .arg(QLatin1String(row.window), QLatin1String(row.box), row.text)))
            << row;
    }
}

void TestDispenserInput::badTextIsRefused() {
    QFETCH(InputRow, row);
    const QString window = QString::fromLatin1(row.window);
    const bool dialog = window.startsWith(QLatin1String("ComPortSet"));
    const bool is820 =
        dialog ? window.endsWith(QLatin1String("820"))
               : QByteArray(row.box).contains("820") || QByteArray(row.press).contains("820");
    VirtualDispensers v;
    QVERIFY(dialog || (v.setUp820() && v.setUp840()));
    v.boxes.shown.clear();
    v.writes820.clear();
    v.writes840.clear();

    const auto type = [&row](QWidget &w) {
        testing::act(w, row.before);
        testing::act(w, {QStringLiteral("%1=%2").arg(QLatin1String(row.box), row.text), row.press});
    };
    bool okUsable = false;
    if (dialog) {
        v.dialogs.steps.append([&](QDialog &d) {
            type(d);
            okUsable = child<QPushButton>(d, "Command1")->isEnabled();
            return int(QDialog::Rejected);
        });
        is820 ? v.k820().KVR820Setup_Click() : v.k840().KVR840Setup_Click();
        QCOMPARE(v.dialogs.titles, QStringList{"Communication Setting"});
        QVERIFY(okUsable);
    } else {
        type(*v.window);
    }

    QCOMPARE(v.boxes.shown.size(), 1);
    QCOMPARE(testing::shownBox(v.boxes.shown.first()), row.shown);
    QCOMPARE(v.boxes.shown.first().icon, link::MsgIcon::Exclamation);
    QCOMPARE(v.writes820.size() + v.writes840.size(), 0);

    // The same model still works: set up after a refused setting, or asked
    // for its status after a refused command.
    if (dialog) {
        QVERIFY(!(is820 ? v.k820().port() : v.k840().port()).PortOpen());
        QVERIFY(is820 ? v.setUp820() : v.setUp840());
    } else if (is820) {
        v.k820().KVR820RF_Click();
        QCOMPARE(commandTexts(v.writes820), QStringList{"RF"});
    } else {
        v.k840().KVR840RS_Click();
        QCOMPARE(commandTexts(v.writes840), QStringList{"15RS"});
    }
}

// Texts the window reads its own way, and the first command they send.
void TestDispenserInput::oddTextIsTakenItsOwnWay() {
    const struct {
        QStringList steps;
        QString command;
    } rows[] = {
        // Three characters at most: the fourth never gets in.
        {{"Option8202_0", "Text8201=1234", "Autofaka820"}, "FC0"},
        {{"Check8401", "Autonumber840=5abc", "AutoFaka840"}, "15DC"},
        // The address is a fixed list: typing cannot put another in.
        {{"cmbAddress840=7", "KVR840DC"}, "15DC"},
    };
    for (const auto &row : rows) {
        VirtualDispensers v;
        QVERIFY(v.setUp820() && v.setUp840());
        v.writes820.clear();
        v.writes840.clear();
        testing::act(*v.window, row.steps);
        QCOMPARE(commandTexts(v.writes820) + commandTexts(v.writes840), QStringList{row.command});
        for (const link::MessageRequest &box : v.boxes.shown)
            QVERIFY2(box.title != QLatin1String("Caution"), qPrintable(box.text));
    }
}

QTEST_MAIN(TestDispenserInput)
#include "test_dispenserinput.moc"

// The one-byte entry cells driven the way a user drives them: key clicks into
// the cell that has the focus.

#include "contactless/hexcells.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QtTest>

using talvex::contactless::HexCells;

namespace {

// A window with one row of cells, shown and active so that focus moves.
struct Row {
    Row(const QString &name, int count, int maxLength = 0) {
        auto *layout = new QHBoxLayout(&window);
        for (QLineEdit *box : HexCells::makeCells(&window, name, count, maxLength))
            layout->addWidget(box);
        cells = new HexCells(window.findChildren<QLineEdit *>(), &window);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QLineEdit *cell(int i) const { return cells->cell(i); }
    int focused() const { return int(cells->cells().indexOf(QApplication::focusWidget())); }
    // Keys go where the focus is, as they would from a keyboard.
    void type(const QString &keys) const {
        for (QChar c : keys)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) const {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    void focus(int i) const {
        cell(i)->setFocus(Qt::OtherFocusReason);
        QCOMPARE(focused(), i);
    }

    QWidget window;
    HexCells *cells = nullptr;
};

// Key cells are six separate boxes p1 ... p6.
struct KeyRow : Row {
    KeyRow() : Row(QStringLiteral("p"), 6) { cells->setAdvanceOnlyIntoEnabled(true); }
};

} // namespace

class TestHexCells : public QObject {
    Q_OBJECT

private slots:
    void keyRow();
    void keys_data();
    void keys();
    void ringWrapsAround_data();
    void ringWrapsAround();
    void memoryRowWithLengthLimit();
    void filledByTheProgramKeepsTheFocus();
};

void TestHexCells::keyRow() {
    KeyRow row;
    row.cell(1)->setText(QStringLiteral("99"));
    row.focus(0);
    row.type(QStringLiteral("A1B2C3"));
    QCOMPARE(row.cell(0)->text(), QStringLiteral("A1"));
    QCOMPARE(row.cell(1)->text(), QStringLiteral("B2")); // "99" was selected and replaced
    QCOMPARE(row.cell(2)->text(), QStringLiteral("C3"));
    QCOMPARE(row.focused(), 3);
    // Typing on in a full cell keeps the last two characters.
    row.cell(3)->setText(QStringLiteral("12"));
    row.cell(3)->setCursorPosition(2);
    row.type(QStringLiteral("7"));
    QCOMPARE(row.cell(3)->text(), QStringLiteral("27"));
    QCOMPARE(row.focused(), 4);

    // The ring of six, and a disabled cell is not entered.
    row.focus(0);
    row.key(Qt::Key_Left);
    QCOMPARE(row.focused(), 5);
    row.type(QStringLiteral("FF"));
    QCOMPARE(row.focused(), 0);
    row.cell(1)->setEnabled(false);
    row.type(QStringLiteral("12"));
    QCOMPARE(row.cell(0)->text(), QStringLiteral("12"));
    QCOMPARE(row.focused(), 0);
}

// A key in cell 4 that holds "before": what the cell then holds, and where
// the focus is.
void TestHexCells::keys_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("focusTo");

    const int none = Qt::NoModifier;
    QTest::newRow("g") << "" << int(Qt::Key_G) << none << "" << 4;
    QTest::newRow("hyphen") << "" << int(Qt::Key_Minus) << none << "" << 4;
    QTest::newRow("lower c") << "" << int(Qt::Key_C) << none << "C" << 4;
    QTest::newRow("digit 9") << "" << int(Qt::Key_9) << none << "9" << 4;
    QTest::newRow("backspace") << "A" << int(Qt::Key_Backspace) << none << "" << 4;
    QTest::newRow("paste") << "" << int(Qt::Key_V) << int(Qt::ControlModifier) << "" << 4;
    QTest::newRow("tab away") << "7" << int(Qt::Key_Tab) << none << "07" << 5;
    QTest::newRow("enter") << "7" << int(Qt::Key_Return) << none << "07" << 5;
    QTest::newRow("left arrow") << "7" << int(Qt::Key_Left) << none << "07" << 3;
    QTest::newRow("empty stays empty") << "" << int(Qt::Key_Right) << none << "" << 5;
    QTest::newRow("escape empties and stays") << "7" << int(Qt::Key_Escape) << none << "" << 4;
}

void TestHexCells::keys() {
    QFETCH(QString, before);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, after);
    QFETCH(int, focusTo);

    QApplication::clipboard()->setText(QStringLiteral("AB"));
    Row row(QStringLiteral("RFTextLIST"), 16);
    row.cell(4)->setText(before);
    row.focus(4);
    row.cell(4)->end(false);
    row.key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(row.cell(4)->text(), after);
    QCOMPARE(row.focused(), focusTo);
}

void TestHexCells::ringWrapsAround_data() {
    QTest::addColumn<int>("from");     // in the ring of cells 6 to 9
    QTest::addColumn<QString>("keys"); // R right, L left, E enter, or hex digits
    QTest::addColumn<int>("to");

    QTest::newRow("right in 9") << 9 << "R" << 6;
    QTest::newRow("left in 6") << 6 << "L" << 9;
    QTest::newRow("enter in 9") << 9 << "E" << 6;
    QTest::newRow("full 9") << 9 << "AB" << 6;
    QTest::newRow("stream") << 6 << "0102030405" << 7;
}

void TestHexCells::ringWrapsAround() {
    QFETCH(int, from);
    QFETCH(QString, keys);
    QFETCH(int, to);

    Row row(QStringLiteral("RFTextLIST"), 16);
    row.cells->setRing(6, 9);
    row.focus(from);
    for (QChar c : keys) {
        if (c == QLatin1Char('R'))
            row.key(Qt::Key_Right);
        else if (c == QLatin1Char('L'))
            row.key(Qt::Key_Left);
        else if (c == QLatin1Char('E'))
            row.key(Qt::Key_Return);
        else
            row.type(QString(c));
    }
    QCOMPARE(row.focused(), to);
}

void TestHexCells::memoryRowWithLengthLimit() {
    Row row(QStringLiteral("ICText"), 128, 2);
    QCOMPARE(row.cell(127)->objectName(), QStringLiteral("ICText_127"));
    row.focus(127);
    row.type(QStringLiteral("5a"));
    QCOMPARE(row.cell(127)->text(), QStringLiteral("5A"));
    QCOMPARE(row.focused(), 0);
    row.key(Qt::Key_Left);
    QCOMPARE(row.focused(), 127);
    // Focus selected the whole text: the next digit replaces it.
    row.type(QStringLiteral("3"));
    QCOMPARE(row.cell(127)->text(), QStringLiteral("3"));
}

void TestHexCells::filledByTheProgramKeepsTheFocus() {
    Row row(QStringLiteral("RFTextLIST"), 16);
    row.focus(0);
    for (int i = 0; i < 16; ++i)
        row.cell(i)->setText(QStringLiteral("A5"));
    row.cell(3)->setText(QStringLiteral("ABC"));
    QCOMPARE(row.focused(), 0);
    QCOMPARE(row.cell(15)->text(), QStringLiteral("A5"));
    QCOMPARE(row.cell(3)->text(), QStringLiteral("BC"));
}

QTEST_MAIN(TestHexCells)
#include "test_hexcells.moc"

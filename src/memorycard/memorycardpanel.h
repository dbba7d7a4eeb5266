#pragma once

#include "memoryoperations.h"

#include "link/operations.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace talvex::link {
class ReaderLinkContext;
}
namespace talvex::contactless {
class HexCells;
}

namespace talvex::memorycard {

// The memory card operations of the "IC CARD" tab: one page per card family
// for the inner tab strip, and the grid of 128 data cells (`ICText`) that the
// reads fill and the writes take their data from. Every button runs the one
// operation pattern with its row of memoryOperations().
class MemoryCardPanel : public QWidget {
    Q_OBJECT
public:
    explicit MemoryCardPanel(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    // The seven pages in the strip's order ("SLE4428" ... "AT88SC102"); they
    // belong to this panel until a tab strip takes them.
    const QList<QWidget *> &pages() const { return m_pages; }
    void addPagesTo(QTabWidget *tabs);

    // Starts the button's operation, as its click does: refused, on the
    // status line, while the reader's line is busy with another command.
    void run(const MemoryOperation &op);
    // The operation itself: gathers the body, exchanges it, shows the result.
    QCoro::Task<> operate(const MemoryOperation *op);

    QLineEdit *cell(int index) const;
    QLineEdit *box(const QString &name) const { return m_boxes.value(name); }
    QPushButton *button(const QString &name) const { return m_buttons.value(name); }
    QComboBox *at24cTypeCombo() const { return m_ic24Type; } // IC24XXCOMB

    // The bytes of the last successful read.
    const QByteArray &cardData() const { return m_cardData; }
    const QByteArray &savedSle4442Psc() const { return m_saved4442; }
    const QByteArray &savedSle4428Psc() const { return m_saved4428; }
    const QByteArray &pageBuffer() const { return m_page; }
    int shownSubPage() const { return m_subPage; }

    void showSubPage(int subPage); // `AT45D041Sub1` ... `AT45D041Sub3`

private:
    QWidget *buildSle4428();
    QWidget *buildSle4442();
    QWidget *buildAt24c();
    QWidget *buildAt88sc1604();
    QWidget *buildAt88sc1608();
    QWidget *buildAt45db041();
    QWidget *buildAt88sc102();

    QLineEdit *newBox(QWidget *parent, const char *name, const QString &start = {});
    QPushButton *newButton(QWidget *parent, const char *name);
    QLabel *newLabel(QWidget *parent, const QString &text, const char *name = nullptr);

    std::optional<QByteArray> gather(const MemoryOperation &op);
    std::optional<quint8> boxValue(const char *name);
    std::optional<quint8> listCode(const MemoryOperation &op, Source source);
    void succeeded(const MemoryOperation &op, const QByteArray &body, const QByteArray &reply,
                   int replyLength);

    void clearGrid();
    void showBytes(const QByteArray &bytes);
    // Stores the grid into the page buffer at the sub-page shown; false (and
    // the caution) when a cell does not hold two digits.
    bool storeSubPage();
    void at24cTypeChanged(const QString &text);
    void at88sc102ZoneChosen(int option);

    link::ReaderLinkContext &m_reader;
    QList<QWidget *> m_pages;
    QList<QLineEdit *> m_cells;
    contactless::HexCells *m_hexCells = nullptr;
    QHash<QString, QLineEdit *> m_boxes;
    QHash<QString, QPushButton *> m_buttons;
    QComboBox *m_ic24Type = nullptr;
    QLabel *m_ic24Range = nullptr;
    QComboBox *m_1604Password = nullptr;
    QComboBox *m_1604Zone = nullptr;
    QComboBox *m_1608Password = nullptr;
    QComboBox *m_1608Zone = nullptr;
    QButtonGroup *m_102Change = nullptr;    // options 0-2
    QButtonGroup *m_102ZoneErase = nullptr; // 3-4
    QButtonGroup *m_102Zone = nullptr;      // 5-7
    QButtonGroup *m_102EraseZone = nullptr; // 8-10
    QLabel *m_102ZoneHint = nullptr;
    QLabel *m_102EraseHint = nullptr;

    QByteArray m_cardData;
    QByteArray m_saved4442 = QByteArray(3, '\0');
    QByteArray m_saved4428 = QByteArray(2, '\0');
    QByteArray m_page = QByteArray(264, '\0');
    bool m_pageRead = false;
    int m_subPage = 0;
    link::Operations m_operations;
};

} // namespace talvex::memorycard

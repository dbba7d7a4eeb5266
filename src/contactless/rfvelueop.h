#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contactless {

// "Value Operation": one block of an S50 or S70 card used as a value block
// (V, ~V, V least significant byte first, then the address byte A, ~A, A, ~A).
// Reads, initialises, adds to and subtracts from it in the sector chosen on the
// "MIFARE ONE" tab; the block can be chosen again here.
class RFVELUEOP : public QDialog {
    Q_OBJECT
public:
    RFVELUEOP(link::ReaderLinkContext &reader, quint8 sector, quint8 block,
              QWidget *parent = nullptr);

    QCoro::Task<> Command1_Click(); // Read
    QCoro::Task<> Command3_Click(); // Initialize
    QCoro::Task<> Command5_Click(); // Add value
    QCoro::Task<> Command7_Click(); // Devalue

private:
    QWidget *buildTab(int tab);
    // The block of Combo2 once it passes the common checks; a message and
    // nothing otherwise.
    std::optional<quint8> checkedBlock() const;
    // The amount typed into box as four bytes, least significant first.
    static std::optional<QByteArray> amountBytes(const QLineEdit *box);
    QCoro::Task<> changeValue(char pm, const QLineEdit *amount, QString title,
                              const char *formatError, const char *overload,
                              const char *noCardInReader);

    link::ReaderLinkContext &m_reader;
    link::Operations m_operations;
    quint8 m_sector;
    QLabel *m_sectorLabel = nullptr; // Label13
    QComboBox *m_block = nullptr;    // Combo2
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_text1 = nullptr; // DEC
    QLineEdit *m_text5 = nullptr; // HEX
    QLineEdit *m_text2 = nullptr; // initial value
    QLineEdit *m_text3 = nullptr; // amount to add
    QLineEdit *m_text4 = nullptr; // amount to subtract
};

// The block's absolute number on the card, its value-block address byte:
// sector x 4 + block below sector 32, 128 + (sector - 32) x 16 + block above.
int valueBlockAddress(int sector, int block);

} // namespace talvex::contactless

#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QWidget>

#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contactless {

class HexCells;

// The "MIFARE ONE" tab: sector and block operations on contactless memory
// cards (S50, S70, Ultralight). It owns the sector and block selection that
// the value-block window works on.
class MifareTab : public QWidget {
    Q_OBJECT
public:
    explicit MifareTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QGroupBox *commandFrame() const { return m_rfcardFrame1; } // RFcardFrame1

    // 0-39 (Ultralight: the page), or kNothingSelected.
    quint8 selectedSector() const { return m_sector; }
    // 0-15 within the sector, or kNothingSelected.
    quint8 selectedBlock() const { return m_block; }
    static constexpr quint8 kNothingSelected = 100;

    HexCells *blockCells() const { return m_dataCells; }
    HexCells *keyCells() const { return m_keyCells; }

    void RFCARDTYPEOption_Click(int index);
    void Option1_Click(int index);
    void lockNumberCmd_Click(int index);
    void RFPasswordList_Click();

    // Each awaits the reader; the buttons start them one at a time on the line.
    QCoro::Task<> CmdRfind_Click();
    QCoro::Task<> CmdRsn_Click();
    QCoro::Task<> CmdRpassword_Click();
    QCoro::Task<> CmdRchange_Click();
    QCoro::Task<> CmdRread_Click();
    QCoro::Task<> CmdRwrite_Click();
    void CmdRVelue_Click(); // sends nothing: opens the value window

private:
    QWidget *buildSelection();
    QWidget *buildData();
    QWidget *buildKeys();
    QGroupBox *buildCommands();

    bool ultralight() const;
    bool discardWaitingBytes();
    QLineEdit *cell(int index) const;
    // k1 ... k6 from the key cells; a message and nothing when one is empty or
    // no hexadecimal byte.
    std::optional<QByteArray> keyBytes() const;
    // The cells first ... last, each of exactly two hex digits; a message and
    // nothing otherwise.
    std::optional<QByteArray> cellBytes(int first, int last) const;
    // Shows the caution and answers false when no sector, or no block where
    // one is needed, is chosen.
    bool selectionMade(bool needsBlock) const;
    // Sends body and shows the data of a "Y" in cells first ... last.
    QCoro::Task<> readCells(QByteArray body, int first, int last, const char *success);
    // Sends body followed by the values of cells first ... last.
    QCoro::Task<> writeCells(QByteArray body, int first, int last);
    // The key of the chosen preset entry into the key cells.
    void showPresetKey();

    link::ReaderLinkContext &m_reader;
    link::Operations m_operations;
    quint8 m_sector = kNothingSelected;
    quint8 m_block = kNothingSelected;

    QList<QRadioButton *> m_cardType;     // RFCARDTYPEOption
    QList<QRadioButton *> m_sectorOption; // Option1
    QList<QRadioButton *> m_blockOption;  // lockNumberCmd
    QLineEdit *m_text1 = nullptr;         // Text1_0, "Sector N"
    QLabel *m_dataHeader = nullptr;       // RFCardDataLabe
    HexCells *m_dataCells = nullptr;      // RFTextLIST
    HexCells *m_keyCells = nullptr;       // p1 ... p6
    QComboBox *m_presetKeys = nullptr;    // RFPasswordList
    QRadioButton *m_keyA = nullptr;       // RfKeyAB1
    QLabel *m_serial = nullptr;           // RFmessage
    QGroupBox *m_rfcardFrame1 = nullptr;
    QPushButton *m_checkPassword = nullptr;
    QPushButton *m_changePassword = nullptr;
    QPushButton *m_valueOperation = nullptr;
};

} // namespace talvex::contactless

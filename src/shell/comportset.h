#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::shell {

// The reader's "Communication Setting" dialog: picks port and line speed,
// opens the reader's line and checks that a reader answers; unfolded it can
// also scan the ports for a reader.
class comportset : public QDialog {
    Q_OBJECT
public:
    explicit comportset(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    bool showScanArea() const { return m_showScanArea; }             // ShowScanArea
    bool negativeProbeReply() const { return m_negativeProbeReply; } // NegativeProbeReply

    static constexpr int kFoldedTwips = 3165;
    static constexpr int kUnfoldedTwips = 4485;

    // OK and SCAN await the reader; their buttons start them through the
    // dialog's operations. Cancel is never refused: closing the dialog
    // abandons whatever still waits.
    QCoro::Task<> Command1_Click(); // "OK"
    void Command2_Click();          // "Cancel"
    QCoro::Task<> Command3_Click(); // "SCAN"
    void AutoLabel_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    int twipsToPixels(int twips) const;
    void applyFold();

    link::ReaderLinkContext &m_reader;
    QComboBox *m_portCombo = nullptr;
    QComboBox *m_baudCombo = nullptr;
    QLabel *m_autoLabel = nullptr;
    QWidget *m_scanArea = nullptr;
    QLabel *m_label1 = nullptr;
    bool m_showScanArea = false;
    bool m_negativeProbeReply = false;
    link::Operations m_operations;
};

} // namespace talvex::shell

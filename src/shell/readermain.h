#pragma once

#include "link/exchange.h"
#include "link/operations.h"
#include "link/recordfile.h"
#include "link/serialcomm.h"
#include "reader/readerwindow.h"

#include <QCoro/QCoroTask>
#include <QWidget>

class QCheckBox;
class QColor;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace talvex::magnetic {
class MagneticTab;
}
namespace talvex::contactless {
class MifareTab;
class TypeABTab;
} // namespace talvex::contactless
namespace talvex::contact {
class ICCardTab;
}
namespace talvex::ui {
class StatusLine;
}
namespace talvex::reader {
class CommonFrame;
class ExtendFunctionTab;
} // namespace talvex::reader

namespace talvex::shell {

// The reader test window. It owns the reader's port (MSComm1), the connection
// flag PortSetUp, the traffic log and the record file controls, and is the
// window state that every reader exchange reads and writes.
class ReaderMain : public QWidget, public reader::ReaderWindow {
    Q_OBJECT
public:
    explicit ReaderMain(QWidget *parent = nullptr);
    ~ReaderMain() override;

    // ReaderLinkContext
    bool portSetUp() const override { return m_portSetUp; }
    void setPortSetUp(bool on) override { m_portSetUp = on; }
    link::SerialComm &readerPort() override { return m_mscomm1; }
    QString trafficLog() const override { return m_log; }
    void clearTrafficLog() override;
    void appendTrafficLog(const QString &text) override;
    bool keepTrafficLog() const override;
    void setExchangeTime(const QString &ms) override;
    bool recordingToFile() const override;
    void appendRecord(const QString &text) override;
    void showStatus(const QString &text) override { showLineReason(text); }

    // ReaderWindow: the current model is TypeLabel's caption, empty while
    // none is known.
    QString currentModel() const override;
    void setKeepTrafficLog(bool on) override;

    // The status line at the foot of the window: what really went wrong where
    // a message box's fixed text does not say it (the reader's line went away,
    // permission denied, a file that could not be written). Empty clears it.
    void showLineReason(const QString &reason);
    QString lineReason() const;
    // A file of the window written, or not: a failure shows in the status line.
    void noteFileWrite(const link::FileWrite &write);

    // Asks the reader its model (body "00") and lays the window out for it.
    QCoro::Task<> DetectReaderModel();
    void ApplyModelLayout();
    void LockForAutoRead();

    // The settings dialog, then the model detection as a command of the window.
    void IROpencom_Click();
    // "Close Comm", "Exit" and closing the window are never refused: they close
    // the port, which abandons whatever command still waits on it.
    void IRCLOSECOM_Click();
    void EXITGRM_Click();
    QCoro::Task<> ExuteCommandBtn_Click();
    void ClearSDTDText_Click();
    void CheckRecordToFile_Click();
    void OpenRecFileBtn_Click();
    void OpenshuomingFormLabel1_Click();

    magnetic::MagneticTab *magneticTab() const { return m_magneticTab; }
    contactless::MifareTab *mifareTab() const { return m_mifareTab; }
    contactless::TypeABTab *typeABTab() const { return m_typeABTab; }
    contact::ICCardTab *icCardTab() const { return m_icCardTab; }
    reader::ExtendFunctionTab *extendTab() const { return m_extendTab; }
    reader::CommonFrame *commonFrame() const { return m_frameComm; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildMonitorTab();
    QWidget *buildSideColumn();
    QWidget *control(const QString &objectName) const;

    void applyUploadCheckBoxRule();
    // Detection of a KVR-523 also tells it how to read, with initiative
    // uploading off.
    QCoro::Task<> setMethodOfReadingAfterDetection();
    // The detection right after setup keeps its reset in the traffic log.
    QCoro::Task<> detectAfterSetup();
    void showNoModel();
    void closeReaderPort();
    void setLinkLabelColour(const QColor &colour);

    link::SerialComm m_mscomm1;
    bool m_portSetUp = false;
    // SDTDText's text as the exchange wrote it, CR LF included; the widget
    // shows it with plain line breaks.
    QString m_log;

    QTabWidget *m_ssTab1 = nullptr;
    magnetic::MagneticTab *m_magneticTab = nullptr;
    contactless::MifareTab *m_mifareTab = nullptr;
    contactless::TypeABTab *m_typeABTab = nullptr;
    contact::ICCardTab *m_icCardTab = nullptr;
    reader::ExtendFunctionTab *m_extendTab = nullptr;
    reader::CommonFrame *m_frameComm = nullptr;

    QPlainTextEdit *m_sdtdText = nullptr;
    QPushButton *m_clearSdtdText = nullptr;
    QCheckBox *m_checkRecord = nullptr;
    QGroupBox *m_commandLineFrame = nullptr;
    QLineEdit *m_commandStr = nullptr;
    QPushButton *m_exuteCommandBtn = nullptr;
    QLabel *m_linkLabel = nullptr; // OpenshuomingFormLabel1

    QLabel *m_typeLabel = nullptr;
    QList<QLabel *> m_typeImage;
    QLabel *m_timeStr = nullptr;
    QCheckBox *m_checkRecordToFile = nullptr;
    QLabel *m_saveToFileNameLabel = nullptr;
    QPushButton *m_openRecFileBtn = nullptr;
    QPushButton *m_exitGrm = nullptr;
    ui::StatusLine *m_statusLine = nullptr;
    // After the port: destroyed first, so that what still waits is abandoned
    // while the line is there.
    link::Operations m_operations;
};

} // namespace talvex::shell

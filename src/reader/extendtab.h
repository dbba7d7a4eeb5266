#pragma once

#include "link/operations.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QWidget>

class QGroupBox;
class QPushButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::reader {

// The "Extend Function" tab: the reader's serial number and its indicator lights.
class ExtendFunctionTab : public QWidget {
    Q_OBJECT
public:
    explicit ExtendFunctionTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QGroupBox *serialNumberFrame() const { return m_otherFrame1; } // OTHERFRAME1
    QGroupBox *shutterLightFrame() const { return m_otherFrame2; } // OTHERFRAME2
    QGroupBox *colourLightFrame() const { return m_otherFrame3; }  // OTHERFRAME3

    // Each awaits the reader; its button starts it as a command of the tab.
    QCoro::Task<> IRLEDCMD1_Click();
    QCoro::Task<> IRLEDCMD2_Click();
    QCoro::Task<> IRLEDCMD3_Click();
    QCoro::Task<> IRLEDCMD4_Click();
    QCoro::Task<> Type523Readsn_Click();

    // The last serial number read.
    QString serialNumber() const { return m_serialNumber; }

private:
    // Frames body, runs the exchange, returns the result byte at reply byte 2,
    // or 00h when there is no reply to judge.
    QCoro::Task<char> send(QByteArray body);
    bool portReady() const;

    link::ReaderLinkContext &m_reader;
    link::Operations m_operations;
    QByteArray m_reply;
    qint16 m_replyLength = 0;
    QString m_serialNumber;

    QGroupBox *m_otherFrame1 = nullptr;
    QGroupBox *m_otherFrame2 = nullptr;
    QGroupBox *m_otherFrame3 = nullptr;
};

} // namespace talvex::reader

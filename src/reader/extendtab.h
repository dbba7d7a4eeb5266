#pragma once

#include <QByteArray>
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

    void IRLEDCMD1_Click();
    void IRLEDCMD2_Click();
    void IRLEDCMD3_Click();
    void IRLEDCMD4_Click();
    void Type523Readsn_Click();

    // The last serial number read.
    QString serialNumber() const { return m_serialNumber; }

private:
    // Frames body, runs the exchange, returns the result byte at reply byte 2,
    // or 00h when there is no reply to judge.
    char send(const QByteArray &body);
    bool portReady() const;

    link::ReaderLinkContext &m_reader;
    QByteArray m_reply;
    qint16 m_replyLength = 0;
    QString m_serialNumber;

    QGroupBox *m_otherFrame1 = nullptr;
    QGroupBox *m_otherFrame2 = nullptr;
    QGroupBox *m_otherFrame3 = nullptr;
};

} // namespace talvex::reader

#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::magnetic {

// The "MAGNETIC CARD" tab: on-demand track reading ("Read Tracks Data") and the
// automatic endurance test ("AutoTestMagneticCard").
class MagneticTab : public QWidget {
    Q_OBJECT
public:
    explicit MagneticTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QGroupBox *readTracksFrame() const { return m_mcardFrame1; }    // McardFrame1
    QGroupBox *autoTestFrame() const { return m_mcardFrame2; }      // McardFrame2
    QPushButton *readTrackButton() const { return m_readCardComm; } // ReadCardComm
    QPushButton *clearBufferButton() const { return m_clearReaderBuffer; }
    QCheckBox *initiativeUploadBox() const { return m_readCardType523; } // ReadCardType523

    void ClearReaderBuffer_Click();

private:
    link::ReaderLinkContext &m_reader;
    QGroupBox *m_mcardFrame1 = nullptr;
    QGroupBox *m_mcardFrame2 = nullptr;
    QPushButton *m_readCardComm = nullptr;
    QPushButton *m_clearReaderBuffer = nullptr;
    QCheckBox *m_readCardType523 = nullptr;
};

} // namespace talvex::magnetic

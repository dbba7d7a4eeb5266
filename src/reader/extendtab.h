#pragma once

#include <QWidget>

class QGroupBox;

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

private:
    link::ReaderLinkContext &m_reader;
    QGroupBox *m_otherFrame1 = nullptr;
    QGroupBox *m_otherFrame2 = nullptr;
    QGroupBox *m_otherFrame3 = nullptr;
};

} // namespace talvex::reader

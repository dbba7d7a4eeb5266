#pragma once

#include <QWidget>

class QGroupBox;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contactless {

// The "TYPE A /TYPE B" tab: ISO/IEC 14443 processor cards.
class TypeABTab : public QWidget {
    Q_OBJECT
public:
    explicit TypeABTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QGroupBox *cpuCardFrame() const { return m_rfcardFrame2; } // RFcardFrame2

private:
    link::ReaderLinkContext &m_reader;
    QGroupBox *m_rfcardFrame2 = nullptr;
};

} // namespace talvex::contactless

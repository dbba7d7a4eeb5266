#pragma once

#include <QWidget>

class QGroupBox;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contactless {

// The "MIFARE ONE" tab: sector and block operations on contactless memory cards.
class MifareTab : public QWidget {
    Q_OBJECT
public:
    explicit MifareTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QGroupBox *commandFrame() const { return m_rfcardFrame1; } // RFcardFrame1

private:
    link::ReaderLinkContext &m_reader;
    QGroupBox *m_rfcardFrame1 = nullptr;
};

} // namespace talvex::contactless

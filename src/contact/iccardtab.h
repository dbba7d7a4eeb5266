#pragma once

#include <QWidget>

class QTabWidget;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contact {

// The "IC CARD" tab: contact CPU cards, SAMs and the memory card families, one
// page each of the inner tab strip.
class ICCardTab : public QWidget {
    Q_OBJECT
public:
    explicit ICCardTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QTabWidget *cardTabs() const { return m_ssTab2; } // SSTab2
    // The page for a card family, by its caption ("CPU", "SLE4442", ...).
    QWidget *page(const QString &caption) const;

private:
    link::ReaderLinkContext &m_reader;
    QTabWidget *m_ssTab2 = nullptr;
};

} // namespace talvex::contact

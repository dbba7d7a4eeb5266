#include "iccardtab.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex::contact {

ICCardTab::ICCardTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader) {
    m_ssTab2 = new QTabWidget(this);
    m_ssTab2->setObjectName(QStringLiteral("SSTab2"));
    // Card type detection brings these pages to the front by index: keep the order.
    const QStringList captions = {
        QStringLiteral("CPU"),        QStringLiteral("SAM"),      QStringLiteral("SLE4428"),
        QStringLiteral("SLE4442"),    QStringLiteral("24CXX"),    QStringLiteral("AT88SC1604"),
        QStringLiteral("AT88SC1608"), QStringLiteral("AT45D041"), QStringLiteral("AT88SC102")};
    for (const QString &caption : captions) {
        auto *page = new QWidget(m_ssTab2);
        page->setObjectName(QStringLiteral("ICPage") + caption);
        m_ssTab2->addTab(page, caption);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_ssTab2);
}

QWidget *ICCardTab::page(const QString &caption) const {
    for (int i = 0; i < m_ssTab2->count(); ++i) {
        if (m_ssTab2->tabText(i) == caption)
            return m_ssTab2->widget(i);
    }
    return nullptr;
}

} // namespace talvex::contact

#include "extendtab.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::reader {
namespace {

QGroupBox *makeFrame(const QString &name, const QString &caption,
                     const QList<QPair<QString, QString>> &buttons, QWidget *parent) {
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    auto *layout = new QHBoxLayout(frame);
    for (const auto &[buttonName, buttonCaption] : buttons) {
        auto *button = new QPushButton(buttonCaption, frame);
        button->setObjectName(buttonName);
        layout->addWidget(button);
    }
    layout->addStretch();
    return frame;
}

} // namespace

ExtendFunctionTab::ExtendFunctionTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader) {
    m_otherFrame1 = makeFrame(QStringLiteral("OTHERFRAME1"), QStringLiteral("Reader SN"),
                              {{QStringLiteral("Type523Readsn"), QStringLiteral("Read SN")}}, this);
    m_otherFrame2 =
        makeFrame(QStringLiteral("OTHERFRAME2"), QStringLiteral("Indicator Light Function"),
                  {{QStringLiteral("IRLEDCMD1"), QStringLiteral("Indicator Light On/Off")},
                   {QStringLiteral("IRLEDCMD2"), QStringLiteral("Indicator Light Glitter")}},
                  this);
    m_otherFrame3 =
        makeFrame(QStringLiteral("OTHERFRAME3"), QStringLiteral("Indicator Light Function (AT)"),
                  {{QStringLiteral("IRLEDCMD3"), QStringLiteral("Indicator Light On/Off")},
                   {QStringLiteral("IRLEDCMD4"), QStringLiteral("Indicator Light Glitter")}},
                  this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_otherFrame1);
    layout->addWidget(m_otherFrame2);
    layout->addWidget(m_otherFrame3);
    layout->addStretch();
}

} // namespace talvex::reader

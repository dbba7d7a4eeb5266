#include "commonframe.h"

#include <QGridLayout>
#include <QPushButton>

namespace talvex::reader {

CommonFrame::CommonFrame(link::ReaderLinkContext &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("COMMON"), parent), m_reader(reader) {
    setObjectName(QStringLiteral("FrameComm"));
    auto make = [this](const char *name, const char *caption) {
        auto *button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    m_irreset = make("IRRESET", "Reader Reset");
    m_irstatus = make("IRStatus", "Status");
    m_sensorState = make("SensorState", "Sensor Status");
    m_irweizhi = make("IRWeizhi", "Card Stop Position");
    m_ircomb = make("IRcomb", "Set Baud Rate");
    m_irpop = make("IRPOP", "Eject");
    m_iropencom = make("IROpencom", "Setup Comm");
    m_irclosecom = make("IRCLOSECOM", "Close Comm");
    m_ircardtype = make("IRCARDTYPE", "AutoTestCardType");
    m_irprohibit = make("IRProhibit", "Enter Control");

    auto *grid = new QGridLayout(this);
    const QList<QPushButton *> order = {m_irreset,    m_irstatus,  m_sensorState, m_irweizhi,
                                        m_ircomb,     m_irpop,     m_iropencom,   m_irclosecom,
                                        m_ircardtype, m_irprohibit};
    for (int i = 0; i < order.size(); ++i)
        grid->addWidget(order.at(i), i / 2, i % 2);
}

} // namespace talvex::reader

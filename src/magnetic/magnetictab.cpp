#include "magnetictab.h"

#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::magnetic {
namespace {

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QLabel *makeLabel(const QString &name, const QString &caption, QWidget *parent) {
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

MagneticTab::MagneticTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader) {
    // "Read Tracks Data": the manual read and its companions.
    m_mcardFrame1 = new QGroupBox(QStringLiteral("Read Tracks Data"), this);
    m_mcardFrame1->setObjectName(QStringLiteral("McardFrame1"));
    m_readCardComm = makeButton(QStringLiteral("ReadCardComm"), QStringLiteral("Read Track Data"),
                                m_mcardFrame1);
    auto *save =
        makeButton(QStringLiteral("MCARDSave"), QStringLiteral("Save Data"), m_mcardFrame1);
    auto *clear = makeButton(QStringLiteral("MCleartrack"), QStringLiteral("Clear"), m_mcardFrame1);
    m_clearReaderBuffer = makeButton(QStringLiteral("ClearReaderBuffer"),
                                     QStringLiteral("Clear Buffer Data"), m_mcardFrame1);
    auto *ascii = new QRadioButton(QStringLiteral("ASCII"), m_mcardFrame1);
    ascii->setObjectName(QStringLiteral("MreadOption1"));
    ascii->setChecked(true);
    auto *bin = new QRadioButton(QStringLiteral("BIN"), m_mcardFrame1);
    bin->setObjectName(QStringLiteral("MreadOption2"));

    auto *trackFrame = new QGroupBox(QStringLiteral("Track Data"), m_mcardFrame1);
    trackFrame->setObjectName(QStringLiteral("TrackDataFrame"));
    auto *trackGrid = new QGridLayout(trackFrame);
    for (int track = 1; track <= 3; ++track) {
        auto *check = new QCheckBox(QStringLiteral("Track %1").arg(track), trackFrame);
        check->setObjectName(QStringLiteral("Track%1Check").arg(track));
        check->setChecked(true);
        auto *text = new QPlainTextEdit(trackFrame);
        text->setObjectName(QStringLiteral("TrackText%1").arg(track));
        text->setReadOnly(true);
        text->setMaximumHeight(48);
        trackGrid->addWidget(check, track - 1, 0);
        trackGrid->addWidget(text, track - 1, 1);
    }

    auto *buttons1 = new QHBoxLayout;
    buttons1->addWidget(m_readCardComm);
    buttons1->addWidget(save);
    buttons1->addWidget(clear);
    buttons1->addWidget(m_clearReaderBuffer);
    buttons1->addStretch();
    buttons1->addWidget(ascii);
    buttons1->addWidget(bin);
    auto *frame1Layout = new QVBoxLayout(m_mcardFrame1);
    frame1Layout->addLayout(buttons1);
    frame1Layout->addWidget(trackFrame);

    // "AutoTestMagneticCard": the endurance test.
    m_mcardFrame2 = new QGroupBox(QStringLiteral("AutoTestMagneticCard"), this);
    m_mcardFrame2->setObjectName(QStringLiteral("McardFrame2"));
    auto *times = new QLineEdit(QStringLiteral("100"), m_mcardFrame2);
    times->setObjectName(QStringLiteral("LianXuText"));
    auto *grid2 = new QGridLayout(m_mcardFrame2);
    grid2->addWidget(new QLabel(QStringLiteral("Times Setting"), m_mcardFrame2), 0, 0);
    grid2->addWidget(times, 0, 1);
    grid2->addWidget(makeButton(QStringLiteral("RCommand"), QStringLiteral("Read"), m_mcardFrame2),
                     0, 2);
    grid2->addWidget(makeButton(QStringLiteral("RsCommand"), QStringLiteral("Stop"), m_mcardFrame2),
                     0, 3);
    grid2->addWidget(new QLabel(QStringLiteral("Read Times"), m_mcardFrame2), 1, 0);
    grid2->addWidget(makeLabel(QStringLiteral("ReadNumLabel"), QStringLiteral("0"), m_mcardFrame2),
                     1, 1);
    grid2->addWidget(new QLabel(QStringLiteral("Error Times"), m_mcardFrame2), 1, 2);
    grid2->addWidget(makeLabel(QStringLiteral("ErrNumLabel"), QStringLiteral("0"), m_mcardFrame2),
                     1, 3);
    grid2->addWidget(new QLabel(QStringLiteral("Error Rate"), m_mcardFrame2), 2, 0);
    grid2->addWidget(makeLabel(QStringLiteral("Rate"), QString(), m_mcardFrame2), 2, 1);
    grid2->addWidget(makeButton(QStringLiteral("OpenMagFileBtn"),
                                QStringLiteral("OPEN Mag-Card LOG"), m_mcardFrame2),
                     2, 2, 1, 2);

    // Outside "AutoTestMagneticCard": the test frame is disabled while the box
    // is clear, and the box is what starts the KVR-523's uploading test.
    m_readCardType523 = new QCheckBox(QStringLiteral("Permit Initiative Uploading"), this);
    m_readCardType523->setObjectName(QStringLiteral("ReadCardType523"));
    m_readCardType523->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_mcardFrame1, 3);
    layout->addWidget(m_readCardType523);
    layout->addWidget(m_mcardFrame2, 1);

    connect(m_clearReaderBuffer, &QPushButton::clicked, this,
            &MagneticTab::ClearReaderBuffer_Click);
}

void MagneticTab::ClearReaderBuffer_Click() {
    // No PortSetUp test of its own: the exchange refuses and says why.
    const QByteArray frame = link::buildReaderFrame(QByteArrayLiteral("E9"));
    QByteArray reply = link::newReplyBuffer();
    qint16 replyLength = 0;
    const link::ReplyStatus status =
        link::SendReaderCommand(m_reader, frame, int(frame.size()), reply, replyLength);
    if (status != link::kReplyOk || replyLength == 0)
        return;
    const QString title = QStringLiteral("Clear Buffer Data");
    switch (reply.at(2)) {
    case 'Y':
        link::showMessage(QStringLiteral("Clear Buffer Data Success"), title,
                          link::MsgIcon::Information);
        break;
    case 'N':
        link::showMessage(QStringLiteral("Clear Buffer Data Error"), title,
                          link::MsgIcon::Information);
        break;
    default:
        break;
    }
}

} // namespace talvex::magnetic

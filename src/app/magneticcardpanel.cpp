#include "magneticcardpanel.h"

#include "sim/readersim.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace talvex::app {
namespace {

using Fault = sim::MagneticTrack::Fault;

struct FaultChoice {
    Fault fault;
    const char *text;
};

constexpr FaultChoice kFaultChoices[] = {
    {Fault::None, "Reads well"},
    {Fault::NoStart, "E1h no start sentinel"},
    {Fault::NoEnd, "E2h no end sentinel"},
    {Fault::Parity, "E3h character parity"},
    {Fault::Lrc, "E4h LRC"},
    {Fault::Blank, "E5h blank track"},
    {Fault::NotRead, "\"O\" not read"},
};

} // namespace

MagneticCardPanel::MagneticCardPanel(sim::ReaderSim &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("Magnetic card"), parent), m_reader(reader) {
    setObjectName(QStringLiteral("SimMagneticCard"));
    auto *form = new QFormLayout(this);
    for (int t = 0; t < 3; ++t) {
        m_track[t] = new QLineEdit(this);
        m_track[t]->setObjectName(QStringLiteral("SimTrack%1").arg(t + 1));
        m_track[t]->setMaxLength(t == 0 ? 79 : t == 1 ? 40 : 107);
        m_fault[t] = new QComboBox(this);
        m_fault[t]->setObjectName(QStringLiteral("SimTrack%1Fault").arg(t + 1));
        for (const FaultChoice &choice : kFaultChoices)
            m_fault[t]->addItem(QString::fromLatin1(choice.text), int(choice.fault));
        auto *row = new QHBoxLayout;
        row->addWidget(m_track[t], 1);
        row->addWidget(m_fault[t]);
        form->addRow(QStringLiteral("Track %1").arg(t + 1), row);
        connect(m_track[t], &QLineEdit::editingFinished, this, &MagneticCardPanel::applyCard);
        connect(m_fault[t], &QComboBox::activated, this, &MagneticCardPanel::applyCard);
    }

    auto *swipe = new QPushButton(QStringLiteral("Swipe / insert card"), this);
    swipe->setObjectName(QStringLiteral("SimSwipeCard"));
    swipe->setToolTip(QStringLiteral("A swipe reader reads the card (and the KVR-523 uploads it "
                                     "when initiative uploading is on); a motorised reader "
                                     "takes it in"));
    auto *testData = new QPushButton(QStringLiteral("Test data"), this);
    testData->setObjectName(QStringLiteral("SimTrackTestData"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(swipe);
    buttons->addWidget(testData);
    buttons->addStretch();
    form->addRow(QString(), buttons);

    m_feeder = new QCheckBox(QStringLiteral("Feed the next card"), this);
    m_feeder->setObjectName(QStringLiteral("SimFeeder"));
    m_feedDelay = new QSpinBox(this);
    m_feedDelay->setObjectName(QStringLiteral("SimFeedDelay"));
    m_feedDelay->setRange(0, 60000);
    m_feedDelay->setSingleStep(100);
    m_feedDelay->setValue(500);
    m_feedDelay->setSuffix(QStringLiteral(" ms after each eject or upload"));
    auto *feederRow = new QHBoxLayout;
    feederRow->addWidget(m_feeder);
    feederRow->addWidget(m_feedDelay, 1);
    form->addRow(QStringLiteral("Feeder"), feederRow);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("SimTrackProblem"));
    form->addRow(QString(), m_problem);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("SimMagneticState"));
    form->addRow(QStringLiteral("Uploading"), m_state);

    connect(swipe, &QPushButton::clicked, this, [this] {
        applyCard();
        m_reader.swipeCard();
    });
    connect(testData, &QPushButton::clicked, this, &MagneticCardPanel::restoreTestData);
    connect(m_feeder, &QCheckBox::toggled, this, &MagneticCardPanel::applyFeeder);
    connect(m_feedDelay, &QSpinBox::valueChanged, this, &MagneticCardPanel::applyFeeder);

    showCard();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MagneticCardPanel::refresh);
    timer->start(500);
    refresh();
}

void MagneticCardPanel::showCard() {
    const sim::MagneticCard card = m_reader.nextMagneticCard();
    for (int t = 0; t < 3; ++t) {
        m_track[t]->setText(QString::fromLatin1(card.tracks[t].data));
        m_fault[t]->setCurrentIndex(m_fault[t]->findData(int(card.tracks[t].fault)));
    }
}

void MagneticCardPanel::applyCard() {
    sim::MagneticCard card;
    QStringList problems;
    for (int t = 0; t < 3; ++t) {
        const QByteArray typed = m_track[t]->text().toLatin1();
        const qsizetype bad = sim::invalidTrackCharacter(t + 1, typed);
        if (bad >= 0) {
            // A stripe cannot hold the character: the card keeps its old track.
            problems << QStringLiteral("track %1 cannot hold \"%2\"")
                            .arg(t + 1)
                            .arg(m_track[t]->text().at(bad));
            card.tracks[t] = m_reader.nextMagneticCard().tracks[t];
            continue;
        }
        card.tracks[t].data = typed;
        card.tracks[t].fault = Fault(m_fault[t]->currentData().toInt());
    }
    m_reader.setNextMagneticCard(card);
    m_problem->setText(problems.join(QStringLiteral("; ")));
}

void MagneticCardPanel::restoreTestData() {
    m_reader.setNextMagneticCard(sim::MagneticCard::testCard());
    showCard();
}

void MagneticCardPanel::applyFeeder() {
    m_reader.setFeeder(m_feeder->isChecked(), m_feedDelay->value());
}

void MagneticCardPanel::refresh() {
    m_state->setText(m_reader.initiativeUploading() ? QStringLiteral("on (KVR-523)")
                                                    : QStringLiteral("off"));
}

} // namespace talvex::app

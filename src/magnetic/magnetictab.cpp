#include "magnetictab.h"

#include "labelcount.h"

#include "link/bodyexchange.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "reader/readerreplies.h"
#include "reader/readerwindow.h"
#include "reader/readingmethod.h"
#include "ui/seams.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
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

QTimer *makeTimer(const QString &name, QObject *parent) {
    auto *timer = new QTimer(parent);
    timer->setObjectName(name);
    // A coarse timer may fire 5 % late: 5 ms on every 100 ms poll of a run.
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

void setFontSize(QWidget *widget, int points) {
    QFont font = widget->font();
    font.setPointSize(points);
    widget->setFont(font);
}

// Track boxes keep CR LF line breaks as the lines of a plain text box.
void showTrackText(QPlainTextEdit *box, const QString &text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box->setPlainText(shown);
}

// Blanks off both ends, line breaks kept.
QString trimBlanks(const QString &text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && text.at(to - 1) == QLatin1Char(' '))
        --to;
    return text.mid(from, to - from);
}

const char *const kErrorTypeCaptions[] = {"STX", "ETX", "Parity", "LRC", "BLANK"};

} // namespace

MagneticTab::MagneticTab(reader::ReaderWindow &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
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
    auto *buttons1 = new QHBoxLayout(m_mcardFrame1);
    buttons1->addWidget(m_readCardComm);
    buttons1->addWidget(save);
    buttons1->addWidget(clear);
    buttons1->addWidget(m_clearReaderBuffer);
    buttons1->addStretch();

    // Outside "AutoTestMagneticCard": the test frame is disabled while the box
    // is clear, and the box is what starts the KVR-523's uploading test.
    m_readCardType523 = new QCheckBox(QStringLiteral("Permit Initiative Uploading"), this);
    m_readCardType523->setObjectName(QStringLiteral("ReadCardType523"));
    m_readCardType523->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_mcardFrame1);
    layout->addWidget(buildTrackFrame(), 1);
    layout->addWidget(m_readCardType523);
    layout->addWidget(buildAutoTestFrame());

    m_readTrackTime = makeTimer(QStringLiteral("ReadTrackTime"), this);
    m_timera = makeTimer(QStringLiteral("Timera"), this);
    m_timer634a = makeTimer(QStringLiteral("Timer634a"), this);
    m_timer634b = makeTimer(QStringLiteral("Timer634b"), this);
    m_timer523a = makeTimer(QStringLiteral("Timer523a"), this);
    m_timer523b = makeTimer(QStringLiteral("Timer523b"), this);

    connect(m_readCardComm, &QPushButton::clicked, this,
            [this] { startClick(&MagneticTab::ReadCardComm_Click); });
    connect(save, &QPushButton::clicked, this, &MagneticTab::MCARDSave_Click);
    connect(clear, &QPushButton::clicked, this, &MagneticTab::MCleartrack_Click);
    connect(m_clearReaderBuffer, &QPushButton::clicked, this,
            [this] { startClick(&MagneticTab::ClearReaderBuffer_Click); });
    connect(m_rCommand, &QPushButton::clicked, this,
            [this] { startClick(&MagneticTab::RCommand_Click); });
    connect(m_rsCommand, &QPushButton::clicked, this, &MagneticTab::stopAutoTest);
    connect(m_openMagFileBtn, &QPushButton::clicked, this, &MagneticTab::OpenMagFileBtn_Click);
    connect(m_readCardType523, &QCheckBox::toggled, this, &MagneticTab::ReadCardType523_Click);
    connect(m_readTrackTime, &QTimer::timeout, this, &MagneticTab::ReadTrackTime_Timer);
    connect(m_timera, &QTimer::timeout, this, [this] { startStep(&MagneticTab::Timera_Timer); });
    connect(m_timer634a, &QTimer::timeout, this,
            [this] { startStep(&MagneticTab::Timer634a_Timer); });
    connect(m_timer634b, &QTimer::timeout, this,
            [this] { startStep(&MagneticTab::Timer634b_Timer); });
    connect(m_timer523a, &QTimer::timeout, this,
            [this] { startStep(&MagneticTab::Timer523a_Timer); });
    connect(m_timer523b, &QTimer::timeout, this,
            [this] { startStep(&MagneticTab::Timer523b_Timer); });
}

void MagneticTab::startStep(QCoro::Task<> (MagneticTab::*step)()) {
    m_operations.run(
        m_reader.readerPort(), [this, step] { return (this->*step)(); },
        link::Operations::Start::Timer);
}

void MagneticTab::startClick(QCoro::Task<> (MagneticTab::*handler)()) {
    m_operations.run(m_reader.readerPort(), [this, handler] { return (this->*handler)(); });
}

MagneticTab::~MagneticTab() = default;

QWidget *MagneticTab::buildTrackFrame() {
    auto *frame = new QGroupBox(QStringLiteral("Track Data"), this);
    frame->setObjectName(QStringLiteral("TrackDataFrame"));

    m_ascii = new QRadioButton(QStringLiteral("ASCII"), frame);
    m_ascii->setObjectName(QStringLiteral("MreadOption1"));
    m_ascii->setChecked(true);
    m_bin = new QRadioButton(QStringLiteral("BIN"), frame);
    m_bin->setObjectName(QStringLiteral("MreadOption2"));

    auto *grid = new QGridLayout(frame);
    auto *formRow = new QHBoxLayout;
    formRow->addWidget(m_ascii);
    formRow->addWidget(m_bin);
    formRow->addStretch();
    grid->addLayout(formRow, 0, 0, 1, 4);

    for (int t = 0; t < 3; ++t) {
        TrackWidgets &w = m_tracks[t];
        const int track = t + 1;
        w.check = new QCheckBox(QStringLiteral("Track %1").arg(track), frame);
        w.check->setObjectName(QStringLiteral("Track%1Check").arg(track));
        w.check->setChecked(true);
        w.text = new QPlainTextEdit(frame);
        w.text->setObjectName(QStringLiteral("Track%1Text1").arg(track));
        w.text->setReadOnly(true);
        w.text->setMinimumHeight(44);
        setFontSize(w.text, 9);
        w.length =
            makeLabel(QStringLiteral("TrackLen_%1").arg(track), QStringLiteral("0 Byte"), frame);

        auto *counters = new QGridLayout;
        const char *const countCaptions[] = {"ReadCount", "ErrorCount", "ErrorRate"};
        QLabel *countLabels[3];
        for (int k = 0; k < 3; ++k) {
            counters->addWidget(new QLabel(QLatin1String(countCaptions[k]), frame), 0, 2 * k);
            countLabels[k] = makeLabel(QStringLiteral("MCErrorNumS_%1").arg(3 * t + k),
                                       QStringLiteral("0"), frame);
            countLabels[k]->setMinimumWidth(36);
            counters->addWidget(countLabels[k], 0, 2 * k + 1);
        }
        w.readCount = countLabels[0];
        w.errorCount = countLabels[1];
        w.errorRate = countLabels[2];
        auto *types = new QHBoxLayout;
        for (int k = 0; k < 5; ++k) {
            types->addWidget(new QLabel(QLatin1String(kErrorTypeCaptions[k]), frame));
            QLabel *count = makeLabel(QStringLiteral("MCErrorNumS11_%1").arg(5 * t + k),
                                      QStringLiteral("0"), frame);
            count->setMinimumWidth(24);
            w.errorTypes.append(count);
            types->addWidget(count);
        }
        types->addStretch();
        counters->addLayout(types, 1, 0, 1, 6);

        const int row = 1 + 2 * t;
        grid->addWidget(w.check, row, 0);
        grid->addWidget(w.text, row, 1, 2, 1);
        grid->addWidget(w.length, row, 2);
        grid->addLayout(counters, row, 3, 2, 1);
    }
    grid->setColumnStretch(1, 1);
    return frame;
}

QWidget *MagneticTab::buildAutoTestFrame() {
    m_mcardFrame2 = new QGroupBox(QStringLiteral("AutoTestMagneticCard"), this);
    m_mcardFrame2->setObjectName(QStringLiteral("McardFrame2"));
    m_lianXuText = new QLineEdit(QStringLiteral("100"), m_mcardFrame2);
    m_lianXuText->setObjectName(QStringLiteral("LianXuText"));
    m_rCommand = makeButton(QStringLiteral("RCommand"), QStringLiteral("Read"), m_mcardFrame2);
    m_rsCommand = makeButton(QStringLiteral("RsCommand"), QStringLiteral("Stop"), m_mcardFrame2);
    m_rsCommand->setEnabled(false);
    m_readNumLabel = makeLabel(QStringLiteral("ReadNumLabel"), QStringLiteral("0"), m_mcardFrame2);
    m_errNumLabel = makeLabel(QStringLiteral("ErrNumLabel"), QStringLiteral("0"), m_mcardFrame2);
    m_rate = makeLabel(QStringLiteral("Rate"), QStringLiteral("0"), m_mcardFrame2);
    m_openMagFileBtn = makeButton(QStringLiteral("OpenMagFileBtn"),
                                  QStringLiteral("OPEN Mag-Card LOG"), m_mcardFrame2);

    auto *grid = new QGridLayout(m_mcardFrame2);
    grid->addWidget(new QLabel(QStringLiteral("Times Setting"), m_mcardFrame2), 0, 0);
    grid->addWidget(m_lianXuText, 0, 1);
    grid->addWidget(m_rCommand, 0, 2);
    grid->addWidget(m_rsCommand, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Read Times"), m_mcardFrame2), 1, 0);
    grid->addWidget(m_readNumLabel, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Error Times"), m_mcardFrame2), 1, 2);
    grid->addWidget(m_errNumLabel, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Error Rate"), m_mcardFrame2), 2, 0);
    grid->addWidget(m_rate, 2, 1);
    grid->addWidget(m_openMagFileBtn, 2, 2, 1, 2);
    return m_mcardFrame2;
}

QString MagneticTab::model() const {
    return m_reader.currentModel();
}

// --- track reading --------------------------------------------------------

char MagneticTab::modeByte() {
    if (m_ascii->isChecked()) {
        m_binDisplay = false;
        return '0';
    }
    if (m_bin->isChecked()) {
        m_binDisplay = true;
        return '1';
    }
    return 0x00;
}

char MagneticTab::trackCodeByte() const {
    return trackCode(m_tracks[0].check->isChecked(), m_tracks[1].check->isChecked(),
                     m_tracks[2].check->isChecked());
}

QByteArray MagneticTab::readCommandBody() {
    QByteArray body("E0");
    body += modeByte();
    body += trackCodeByte();
    return body;
}

void MagneticTab::clearTrackDisplay() {
    for (TrackWidgets &w : m_tracks) {
        w.text->clear();
        w.length->setText(QStringLiteral("0 Byte"));
    }
}

QCoro::Task<> MagneticTab::ReadCardComm_Click() {
    if (!m_reader.portSetUp()) {
        link::showCaution(link::text::PortSetupFirst);
        co_return;
    }
    // A second click while the read waits is refused by the line's holder.
    if (m_hooks.setReaderControlEnabled)
        m_hooks.setReaderControlEnabled(false);
    m_readCardComm->setEnabled(false);
    clearTrackDisplay();

    const QByteArray frame = link::buildReaderFrame(readCommandBody());
    m_lastReply = link::newReplyBuffer();
    qint16 replyLength = 0;
    const link::ReplyStatus status = co_await link::SendReaderCommand(
        m_reader, frame, int(frame.size()), m_lastReply, replyLength);
    m_lastReplyLength = replyLength;
    if (status == link::kReplyOk && replyLength != 0) {
        m_readTrackTime->setInterval(50);
        m_readTrackTime->start();
        // No track sections follow these two answers: the box stays empty,
        // so the status line says why.
        const char result = reader::replyByte(m_lastReply, 2);
        if (result == 'E')
            m_reader.showStatus(QStringLiteral("Read Track Data: No Card In The Reader"));
        else if (result == 'W')
            m_reader.showStatus(QStringLiteral(
                "Read Track Data: The card is not on the IC card operation position"));
    }

    if (m_hooks.setReaderControlEnabled)
        m_hooks.setReaderControlEnabled(true);
    m_readCardComm->setEnabled(true);
}

void MagneticTab::ReadTrackTime_Timer() {
    m_readTrackTime->stop();
    TrackSections sections;
    if (parseTrackReply(m_lastReply, m_lastReplyLength, sections))
        showTracks(sections);
}

bool MagneticTab::showTracks(const TrackSections &sections) {
    bool anyError = false;
    for (TrackWidgets &w : m_tracks)
        setFontSize(w.text, 9);
    for (int t = 0; t < 3; ++t) {
        const TrackSection &section = sections[t];
        TrackWidgets &w = m_tracks[t];
        QString text;
        if (!trackDisplayText(section, m_binDisplay, text))
            continue;
        showTrackText(w.text, text);
        if (section.status == kTrackRead) {
            setFontSize(w.text, 12);
            addOneTo(w.readCount);
            w.length->setText(QLatin1Char(' ') + QString::number(text.size()) +
                              QStringLiteral("Bytes"));
        } else if (section.status == kTrackError) {
            anyError = true;
            const int type = trackErrorTypeIndex(section.errorCode());
            if (type >= 0)
                addOneTo(w.errorTypes.at(type));
            addOneTo(w.readCount);
            addOneTo(w.errorCount);
        } else {
            continue;
        }
        w.errorRate->setText(
            errorRateText(labelNumberOf(w.errorCount), labelNumberOf(w.readCount)));
    }
    return anyError;
}

void MagneticTab::MCleartrack_Click() {
    for (TrackWidgets &w : m_tracks) {
        for (QLabel *label : {w.readCount, w.errorCount, w.errorRate})
            label->setText(QStringLiteral("0"));
        for (QLabel *label : std::as_const(w.errorTypes))
            label->setText(QStringLiteral("0"));
    }
}

void MagneticTab::MCARDSave_Click() {
    const QString path = ui::askTextSavePath(this);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    link::showMessage(QStringLiteral("File Name is ") + info.fileName() + QStringLiteral("\r\n") +
                          QStringLiteral("Full path and file is ") + info.absoluteFilePath(),
                      QStringLiteral("Save As..."), link::MsgIcon::None);

    // Each line ends with CR LF, the last one too. Only blanks are trimmed:
    // the line break of an error text without detail stays.
    QString contents;
    for (int t = 0; t < 3; ++t) {
        QString text = trimBlanks(m_tracks[t].text->toPlainText());
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        contents += QStringLiteral("Track%1=").arg(t + 1) + text + QStringLiteral("\r\n");
    }
    // An unwritable place ends the save without a box, as it always has; the
    // status line names the cause.
    noteFileWrite(link::writeTextFile(path, contents, link::WriteMode::Replace));
}

QCoro::Task<> MagneticTab::ClearReaderBuffer_Click() {
    // No PortSetUp test of its own: the exchange refuses and says why.
    const std::optional<QByteArray> reply =
        co_await link::exchangeBody(m_reader, QByteArrayLiteral("E9"));
    if (!reply)
        co_return;
    const QString title = QStringLiteral("Clear Buffer Data");
    switch (reader::replyByte(*reply, 2)) {
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

void MagneticTab::setReadTrackControlsEnabled(bool on) {
    m_readCardComm->setEnabled(on);
    m_ascii->setEnabled(on);
    m_bin->setEnabled(on);
    for (TrackWidgets &w : m_tracks)
        w.check->setEnabled(on);
}

QCoro::Task<> MagneticTab::setMethodOfReading(char upload) {
    const bool set =
        co_await reader::SetMethodOfReading(m_reader, modeByte(), trackCodeByte(), upload, this);
    if (set && upload == '1') {
        setReadTrackControlsEnabled(true);
        m_mcardFrame2->setEnabled(false);
    }
}

void MagneticTab::sendReadingMethod(char upload) {
    m_operations.run(m_reader.readerPort(), [this, upload] { return setMethodOfReading(upload); });
}

} // namespace talvex::magnetic

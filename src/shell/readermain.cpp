#include "readermain.h"

#include "link/journal.h"
#include "traffic/trafficpane.h"

#include "comportset.h"
#include "modeltable.h"
#include "shuomingform.h"

#include "contact/iccardtab.h"
#include "contactless/mifaretab.h"
#include "contactless/typeabtab.h"
#include "link/bodyexchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/recordfile.h"
#include "link/replycodes.h"
#include "magnetic/magnetictab.h"
#include "reader/commonframe.h"
#include "reader/extendtab.h"
#include "reader/readingmethod.h"
#include "ui/busycursor.h"
#include "ui/seams.h"
#include "ui/statusline.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex::shell {
namespace {

constexpr int kPictureCount = 6;

// The model pictures: a reader seen from the front with its model number;
// picture 0 is the same reader without a number, for "no model known".
QPixmap modelPicture(int index) {
    QString caption;
    for (const ReaderModelKey &row : readerModelKeys()) {
        if (row.picture == index)
            caption = row.name;
    }
    QPixmap pixmap(104, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF body(2, 8, 100, 50);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, caption.isEmpty() ? QColor(190, 190, 190) : QColor(92, 98, 110));
    shade.setColorAt(1, caption.isEmpty() ? QColor(140, 140, 140) : QColor(40, 44, 52));
    painter.setPen(QPen(QColor(30, 30, 30), 1.5));
    painter.setBrush(shade);
    painter.drawRoundedRect(body, 8, 8);

    // The card slot with a card half inserted.
    painter.setBrush(QColor(15, 15, 15));
    painter.drawRoundedRect(QRectF(14, 16, 76, 6), 3, 3);
    painter.setBrush(QColor(230, 200, 90));
    painter.setPen(QPen(QColor(120, 100, 30), 1));
    painter.drawRect(QRectF(30, 2, 44, 17));

    // Status light: green when the model is known.
    painter.setPen(Qt::NoPen);
    painter.setBrush(caption.isEmpty() ? QColor(110, 110, 110) : QColor(60, 220, 90));
    painter.drawEllipse(QPointF(92, 48), 3.5, 3.5);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(caption.isEmpty() ? QColor(80, 80, 80) : Qt::white);
    painter.drawText(QRectF(4, 28, 84, 26), Qt::AlignCenter,
                     caption.isEmpty() ? QStringLiteral("?") : caption);
    return pixmap;
}

// Blanks only, as the command line has always trimmed: a tab typed at either
// end is part of the text and fails the length rule like any other character.
QString trimBlanks(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

ReaderMain::ReaderMain(QWidget *parent)
    : QWidget(parent),
      m_operations([this](link::SerialComm &line) { showLineReason(link::busyLineText(line)); }) {
    setObjectName(QStringLiteral("ReaderMain"));
    setWindowTitle(QStringLiteral("Talvex5.0_EN"));

    m_ssTab1 = new QTabWidget(this);
    m_ssTab1->setObjectName(QStringLiteral("SSTab1"));
    m_magneticTab = new magnetic::MagneticTab(*this, m_ssTab1);
    m_mifareTab = new contactless::MifareTab(*this, m_ssTab1);
    m_typeABTab = new contactless::TypeABTab(*this, m_ssTab1);
    m_icCardTab = new contact::ICCardTab(*this, m_ssTab1);
    m_extendTab = new reader::ExtendFunctionTab(*this, m_ssTab1);
    // Card type detection selects these tabs by index: keep the order.
    m_ssTab1->addTab(m_magneticTab, QStringLiteral("MAGNETIC CARD"));
    m_ssTab1->addTab(m_mifareTab, QStringLiteral("MIFARE ONE"));
    m_ssTab1->addTab(m_typeABTab, QStringLiteral("TYPE A /TYPE B"));
    m_ssTab1->addTab(m_icCardTab, QStringLiteral("IC CARD"));
    m_ssTab1->addTab(m_extendTab, QStringLiteral("Extend Function"));
    m_ssTab1->addTab(buildMonitorTab(), QStringLiteral("MONITOR"));

    m_statusLine = new ui::StatusLine(this);
    ui::showBusyCursorDuringLongWaits();

    auto *columns = new QHBoxLayout;
    columns->addWidget(m_ssTab1, 1);
    columns->addWidget(buildSideColumn());
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(m_statusLine);
    resize(1220, 700);

    m_mscomm1.setTroubleListener([this](const QString &reason) { showLineReason(reason); });

    connect(m_frameComm->setupCommButton(), &QPushButton::clicked, this,
            &ReaderMain::IROpencom_Click);
    connect(m_frameComm->closeCommButton(), &QPushButton::clicked, this,
            &ReaderMain::IRCLOSECOM_Click);
    connect(m_exitGrm, &QPushButton::clicked, this, &ReaderMain::EXITGRM_Click);
    connect(m_exuteCommandBtn, &QPushButton::clicked, this,
            [this] { m_operations.run(m_mscomm1, [this] { return ExuteCommandBtn_Click(); }); });
    connect(m_clearSdtdText, &QPushButton::clicked, this, &ReaderMain::ClearSDTDText_Click);
    connect(m_checkRecordToFile, &QCheckBox::toggled, this, &ReaderMain::CheckRecordToFile_Click);
    connect(m_openRecFileBtn, &QPushButton::clicked, this, &ReaderMain::OpenRecFileBtn_Click);
    m_magneticTab->setWindowHooks({
        [this](bool on) { m_frameComm->setEnabled(on); },
        [this] {
            LockForAutoRead();
            m_icCardTab->setEnabled(false);
        },
        [this] {
            ApplyModelLayout();
            m_frameComm->setEnabled(true);
            m_icCardTab->setEnabled(true);
        },
        [this] { m_checkRecordToFile->setChecked(false); },
        [this](const link::FileWrite &write) { noteFileWrite(write); },
    });
    connect(m_magneticTab->initiativeUploadBox(), &QCheckBox::toggled, this, [this] {
        if (currentModel() == QLatin1String("KVR-523"))
            applyUploadCheckBoxRule();
    });

    showNoModel();
}

ReaderMain::~ReaderMain() {
    closeReaderPort();
}

QWidget *ReaderMain::buildMonitorTab() {
    auto *tab = new QWidget(m_ssTab1);
    tab->setObjectName(QStringLiteral("MonitorTab"));

    m_sdtdText = new QPlainTextEdit(tab);
    m_sdtdText->setObjectName(QStringLiteral("SDTDText"));
    m_sdtdText->setReadOnly(true);
    m_sdtdText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_sdtdText->setLineWrapMode(QPlainTextEdit::NoWrap);

    m_clearSdtdText = new QPushButton(QStringLiteral("Clear Data"), tab);
    m_clearSdtdText->setObjectName(QStringLiteral("ClearSDTDText"));
    m_checkRecord = new QCheckBox(QStringLiteral("Record Data"), tab);
    m_checkRecord->setObjectName(QStringLiteral("CheckRecord"));

    m_commandLineFrame = new QGroupBox(QStringLiteral("Command Line"), tab);
    m_commandLineFrame->setObjectName(QStringLiteral("CommandLineFrame"));
    m_commandLineFrame->setMouseTracking(true);
    m_commandLineFrame->installEventFilter(this);
    m_commandStr = new QLineEdit(QStringLiteral("30 30"), m_commandLineFrame);
    m_commandStr->setObjectName(QStringLiteral("CommandStr"));
    m_commandStr->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_exuteCommandBtn = new QPushButton(QStringLiteral("Run"), m_commandLineFrame);
    m_exuteCommandBtn->setObjectName(QStringLiteral("ExuteCommandBtn"));
    m_linkLabel = new QLabel(
        QStringLiteral("The command line, do not enter the STX (02), length (LH, LL), ETX (03) "
                       "and the BCC, just enter the command and parameters and data packet 16 "
                       "hex strings (for details please click here to see instructions)"),
        m_commandLineFrame);
    m_linkLabel->setObjectName(QStringLiteral("OpenshuomingFormLabel1"));
    m_linkLabel->setWordWrap(true);
    m_linkLabel->setCursor(Qt::PointingHandCursor);
    m_linkLabel->setMouseTracking(true);
    m_linkLabel->installEventFilter(this);
    setLinkLabelColour(QApplication::palette().color(QPalette::ButtonText));

    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(m_commandStr, 1);
    commandRow->addWidget(m_exuteCommandBtn);
    auto *frameLayout = new QVBoxLayout(m_commandLineFrame);
    frameLayout->addLayout(commandRow);
    frameLayout->addWidget(m_linkLabel);

    auto *logButtons = new QHBoxLayout;
    logButtons->addWidget(m_clearSdtdText);
    logButtons->addWidget(m_checkRecord);
    logButtons->addStretch();

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(m_sdtdText, 1);
    layout->addLayout(logButtons);
    layout->addWidget(m_commandLineFrame);
    traffic::attachPane(tab, [this](const QString &text) { showStatus(text); }, m_sdtdText);
    return tab;
}

QWidget *ReaderMain::buildSideColumn() {
    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("SideColumn"));
    column->setFixedWidth(340);

    m_frameComm = new reader::CommonFrame(*this, column);

    auto *modelFrame = new QGroupBox(column);
    modelFrame->setObjectName(QStringLiteral("ModelFrame"));
    auto *presentModel = new QLabel(QStringLiteral("Present Model"), modelFrame);
    presentModel->setObjectName(QStringLiteral("PresentModelLabel"));
    m_typeLabel = new QLabel(modelFrame);
    m_typeLabel->setObjectName(QStringLiteral("TypeLabel"));
    QFont modelFont = m_typeLabel->font();
    modelFont.setBold(true);
    m_typeLabel->setFont(modelFont);
    auto *pictures = new QGridLayout;
    for (int i = 0; i < kPictureCount; ++i) {
        auto *picture = new QLabel(modelFrame);
        picture->setObjectName(QStringLiteral("TypeImage_%1").arg(i));
        picture->setPixmap(modelPicture(i));
        m_typeImage.append(picture);
        pictures->addWidget(picture, i / 3, i % 3);
    }
    auto *modelRow = new QHBoxLayout;
    modelRow->addWidget(presentModel);
    modelRow->addWidget(m_typeLabel, 1);
    auto *modelLayout = new QVBoxLayout(modelFrame);
    modelLayout->addLayout(modelRow);
    modelLayout->addLayout(pictures);

    auto *timeRow = new QHBoxLayout;
    auto *timeCaption =
        new QLabel(QStringLiteral("Finally a command execution time spent:"), column);
    timeCaption->setObjectName(QStringLiteral("TimeCaptionLabel"));
    m_timeStr = new QLabel(QStringLiteral("0"), column);
    m_timeStr->setObjectName(QStringLiteral("TIMESTR"));
    auto *msCaption = new QLabel(QStringLiteral("ms"), column);
    msCaption->setObjectName(QStringLiteral("TimeUnitLabel"));
    timeRow->addWidget(timeCaption);
    timeRow->addWidget(m_timeStr);
    timeRow->addWidget(msCaption);
    timeRow->addStretch();

    auto *recordFrame = new QGroupBox(column);
    recordFrame->setObjectName(QStringLiteral("RecordFrame"));
    m_checkRecordToFile =
        new QCheckBox(QStringLiteral("Now save the communication log to a file"), recordFrame);
    m_checkRecordToFile->setObjectName(QStringLiteral("CheckRecordToFile"));
    m_saveToFileNameLabel = new QLabel(recordFrame);
    m_saveToFileNameLabel->setObjectName(QStringLiteral("SaveToFileNameLabel"));
    m_saveToFileNameLabel->setWordWrap(true);
    m_saveToFileNameLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openRecFileBtn = new QPushButton(QStringLiteral("OPEN Command LOG"), recordFrame);
    m_openRecFileBtn->setObjectName(QStringLiteral("OpenRecFileBtn"));
    auto *recordLayout = new QVBoxLayout(recordFrame);
    recordLayout->addWidget(m_checkRecordToFile);
    recordLayout->addWidget(m_saveToFileNameLabel);
    recordLayout->addWidget(m_openRecFileBtn);

    m_exitGrm = new QPushButton(QStringLiteral("Exit"), column);
    m_exitGrm->setObjectName(QStringLiteral("EXITGRM"));

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frameComm);
    layout->addWidget(modelFrame);
    layout->addLayout(timeRow);
    layout->addWidget(recordFrame);
    layout->addStretch();
    layout->addWidget(m_exitGrm);
    return column;
}

QWidget *ReaderMain::control(const QString &objectName) const {
    auto *widget = findChild<QWidget *>(objectName);
    Q_ASSERT_X(widget, "ReaderMain::control", qPrintable(objectName));
    return widget;
}

// --- window state the exchange uses ---------------------------------------

void ReaderMain::clearTrafficLog() {
    m_log.clear();
    m_sdtdText->clear();
}

void ReaderMain::appendTrafficLog(const QString &text) {
    m_log += text;
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    m_sdtdText->moveCursor(QTextCursor::End);
    m_sdtdText->insertPlainText(shown);
}

bool ReaderMain::keepTrafficLog() const {
    return m_checkRecord->isChecked();
}

void ReaderMain::setExchangeTime(const QString &ms) {
    m_timeStr->setText(ms);
}

bool ReaderMain::recordingToFile() const {
    return m_checkRecordToFile->isChecked();
}

void ReaderMain::appendRecord(const QString &text) {
    noteFileWrite(link::AppendRecordFile(m_saveToFileNameLabel->text(), text));
}

QString ReaderMain::currentModel() const {
    return m_typeLabel->text();
}

void ReaderMain::showLineReason(const QString &reason) {
    m_statusLine->showReason(reason);
}

void ReaderMain::noteFileWrite(const link::FileWrite &write) {
    m_statusLine->noteFileWrite(write);
}

QString ReaderMain::lineReason() const {
    return m_statusLine->text();
}

void ReaderMain::setKeepTrafficLog(bool on) {
    m_checkRecord->setChecked(on);
}

// --- model detection and layout -------------------------------------------

QCoro::Task<> ReaderMain::DetectReaderModel() {
    const std::optional<QByteArray> reply =
        co_await link::exchangeBody(*this, QByteArrayLiteral("00"));
    if (!reply)
        co_return;

    // The data: from byte 2 up to the last body byte, without ETX and BCC.
    const QString replyData = QString::fromLatin1(reply->mid(2, qMax(0, reply->size() - 4)));
    m_frameComm->ejectButton()->setText(QStringLiteral("Eject"));
    for (const ReaderModelKey &row : modelKeysFound(replyData)) {
        m_typeLabel->setText(row.name);
        link::journal().setReaderModel(row.name);
        if (row.picture >= 0)
            m_typeImage.at(row.picture)->show();
        m_frameComm->ejectButton()->setText(row.ejectCaption);
        if (row.setsReadingMethod)
            co_await setMethodOfReadingAfterDetection();
    }
    ApplyModelLayout();
}

void ReaderMain::ApplyModelLayout() {
    const QString model = currentModel();
    if (model.isEmpty())
        return;
    m_frameComm->sensorButton()->setEnabled(false);
    m_frameComm->stopPositionButton()->setEnabled(false);
    m_frameComm->enterControlButton()->setEnabled(false);
    m_magneticTab->clearBufferButton()->setEnabled(false);
    m_exuteCommandBtn->setEnabled(true);
    m_magneticTab->initiativeUploadBox()->hide();

    const int column = modelColumn(model);
    if (column < 0) {
        link::showMessage(QStringLiteral("本演示程序暂时还没有编写你所选机型的代码"),
                          QStringLiteral("自动检测机型"), link::MsgIcon::Information);
        return;
    }
    for (const LayoutRow &row : modelLayout()) {
        QWidget *widget = control(row.control);
        const LayoutCell cell = row.cells.at(std::size_t(column));
        if (cell == LayoutCell::ByUploadCheckBox)
            applyUploadCheckBoxRule();
        else if (row.visibility)
            widget->setVisible(cell == LayoutCell::On);
        else
            widget->setEnabled(cell == LayoutCell::On);
    }
}

QCoro::Task<> ReaderMain::setMethodOfReadingAfterDetection() {
    co_await m_magneticTab->setMethodOfReading('1');
}

void ReaderMain::applyUploadCheckBoxRule() {
    const bool uploading = m_magneticTab->initiativeUploadBox()->isChecked();
    m_magneticTab->readTrackButton()->setEnabled(!uploading);
    m_magneticTab->autoTestFrame()->setEnabled(uploading);
}

void ReaderMain::LockForAutoRead() {
    if (currentModel().isEmpty())
        return;
    m_exuteCommandBtn->setEnabled(false);
    m_frameComm->setEnabled(false);
    m_magneticTab->readTracksFrame()->setEnabled(false);
    m_mifareTab->commandFrame()->setEnabled(false);
    m_typeABTab->cpuCardFrame()->setEnabled(false);
    m_extendTab->serialNumberFrame()->setEnabled(false);
    m_extendTab->shutterLightFrame()->setEnabled(false);
    m_extendTab->colourLightFrame()->setEnabled(false);
    m_magneticTab->autoTestFrame()->setEnabled(true);
}

void ReaderMain::showNoModel() {
    for (int i = 1; i < kPictureCount; ++i)
        m_typeImage.at(i)->hide();
    m_typeImage.at(0)->show();
    m_typeLabel->clear();
}

// --- port -----------------------------------------------------------------

void ReaderMain::IROpencom_Click() {
    // The dialog reopens the port: not under a command that waits on it.
    if (m_mscomm1.busy()) {
        showLineReason(link::busyLineText(m_mscomm1));
        return;
    }
    {
        comportset dialog(*this, this);
        ui::execModal(dialog);
    }
    if (!m_portSetUp)
        return;
    m_operations.run(m_mscomm1, [this] { return detectAfterSetup(); });
}

QCoro::Task<> ReaderMain::detectAfterSetup() {
    for (QLabel *picture : std::as_const(m_typeImage))
        picture->hide();
    // The log keeps the dialog's probe and adds the detection's reset to it.
    m_checkRecord->setChecked(true);
    co_await DetectReaderModel();
    m_checkRecord->setChecked(false);
}

void ReaderMain::closeReaderPort() {
    // A line that hung up may not close; the command waiting on it ends anyway.
    m_mscomm1.abandonWait();
    try {
        if (m_mscomm1.PortOpen()) {
            m_mscomm1.setRTSEnable(false);
            m_mscomm1.setDTREnable(false);
            m_mscomm1.setPortOpen(false);
        }
    } catch (const link::SerialError &) {
        // A line that hung up in the meantime is as closed as it gets.
    }
}

void ReaderMain::IRCLOSECOM_Click() {
    closeReaderPort();
    m_portSetUp = false;
    showNoModel();
}

void ReaderMain::EXITGRM_Click() {
    close();
}

void ReaderMain::closeEvent(QCloseEvent *event) {
    closeReaderPort();
    event->accept();
    // The launcher is gone by now: the reader window is the program.
    QCoreApplication::quit();
}

// --- command line ---------------------------------------------------------

QCoro::Task<> ReaderMain::ExuteCommandBtn_Click() {
    if (!m_portSetUp) {
        link::showCaution(link::text::PortSetupFirst);
        co_return;
    }
    const QString text = trimBlanks(m_commandStr->text());
    m_commandStr->setText(text);
    const qsizetype length = text.size();
    if (length == 0) {
        link::showCaution(QStringLiteral("Enter the Command and then Press 'Send'"));
        co_return;
    }
    if ((length + 1) % 3 != 0) {
        link::showCaution(QStringLiteral("Error:Please Check The Data Effective"));
        co_return;
    }
    const int byteCount = int((length + 1) / 3);
    if (const std::optional<QByteArray> body = link::parseTypedHex(text, byteCount)) {
        const QByteArray frame = link::buildReaderFrame(*body);
        QByteArray reply = link::newReplyBuffer();
        qint16 replyLength = 0;
        // The exchange has reported whatever went wrong; the line only sends.
        co_await link::SendReaderCommand(*this, frame, byteCount + 5, reply, replyLength);
    } else {
        link::showCaution(link::text::DataNotEffective);
    }
    appendTrafficLog(QStringLiteral("\r\n"));
    m_sdtdText->moveCursor(QTextCursor::End);
    m_sdtdText->ensureCursorVisible();
}

void ReaderMain::ClearSDTDText_Click() {
    clearTrafficLog();
}

void ReaderMain::setLinkLabelColour(const QColor &colour) {
    QPalette palette = m_linkLabel->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_linkLabel->setPalette(palette);
}

void ReaderMain::OpenshuomingFormLabel1_Click() {
    setLinkLabelColour(QApplication::palette().color(QPalette::ButtonText));
    ShuoMingForm form(this);
    ui::execModal(form);
}

bool ReaderMain::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_linkLabel) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            setLinkLabelColour(QColor(255, 0, 0));
            break;
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton &&
                m_linkLabel->rect().contains(mouse->position().toPoint()))
                OpenshuomingFormLabel1_Click();
            break;
        }
        default:
            break;
        }
    } else if (watched == m_commandLineFrame && event->type() == QEvent::MouseMove) {
        setLinkLabelColour(QApplication::palette().color(QPalette::ButtonText));
    }
    return QWidget::eventFilter(watched, event);
}

// --- record file ----------------------------------------------------------

void ReaderMain::CheckRecordToFile_Click() {
    if (!m_checkRecordToFile->isChecked()) {
        m_saveToFileNameLabel->clear();
        return;
    }
    if (!m_portSetUp) {
        m_checkRecordToFile->setChecked(false);
        link::showCaution(link::text::PortSetupFirst);
        return;
    }
    clearTrafficLog();
    const QString path = link::recordFilePath();
    // A file that cannot be created leaves recording on with nowhere to go:
    // every append is then dropped, as appends are whenever the file fails,
    // and the status line says why.
    noteFileWrite(link::startRecordFile(path, currentModel()));
    m_saveToFileNameLabel->setText(QDir::toNativeSeparators(path));
}

void ReaderMain::OpenRecFileBtn_Click() {
    if (m_checkRecordToFile->isChecked()) {
        link::showCaution(QStringLiteral("Please stop the record and then execute this command"));
        return;
    }
    ui::openTextFileInEditor(this, link::recordFolder(), QStringLiteral("KVR_Record*.TXT"));
}

} // namespace talvex::shell

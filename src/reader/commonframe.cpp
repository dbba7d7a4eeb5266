#include "commonframe.h"

#include "cardposition.h"
#include "combot.h"
#include "irprohibitoptionform634.h"
#include "irprohibitoptionform638.h"
#include "irprohibitoptionform690.h"
#include "popoptionform638.h"
#include "popoptionform690.h"
#include "readerreplies.h"
#include "readerwindow.h"
#include "resetoptionform638.h"
#include "resetoptionform690.h"
#include "sensorstateform638.h"
#include "sensorstateform690.h"

#include "link/frame.h"
#include "link/messages.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "ui/seams.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QPushButton>
#include <QTabWidget>

namespace talvex::reader {
namespace {

void showInformation(const MessageBox &box) {
    link::showMessage(box.text, box.title, link::MsgIcon::Information);
}

void showResult(const ResultTexts &texts, char result) {
    if (const std::optional<MessageBox> box = resultBox(texts, result))
        showInformation(*box);
}

QByteArray body(char cm, char pm) {
    return QByteArray(1, cm) + pm;
}

constexpr ResultTexts kEnterControl{"Enter Control", "Enter Control Success", "Enter Control Error",
                                    nullptr, nullptr};
constexpr ResultTexts kEject634{"Eject Card", "Eject Card Success", "Eject Card Error",
                                "No Card In The Reader", nullptr};
constexpr ResultTexts kEject527{"Eject Card", "Eject Card Success", "Eject Card Error",
                                "No Card In The Reader or Card is not inserted in place", nullptr};
constexpr ResultTexts kMoveToIc{"Move Card", nullptr, "Move Card Error", "No Card In The Reader",
                                "The card is not on the IC card operation position"};
constexpr ResultTexts kStopPosition{"Set the card stop position", "Success", "Error", nullptr,
                                    nullptr};
constexpr ResultTexts kBaudRate{"Set Baud Rate", "Reader Baud Rate Setup Success",
                                "Reader Baud Rate Setup Error", nullptr, nullptr};

} // namespace

CommonFrame::CommonFrame(ReaderWindow &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("COMMON"), parent), m_reader(reader),
      m_operations(
          [this](link::SerialComm &line) { m_reader.showStatus(link::busyLineText(line)); }) {
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

    using Command = QCoro::Task<> (CommonFrame::*)();
    auto wire = [this](QPushButton *button, Command handler) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { start([this, handler] { return (this->*handler)(); }); });
    };
    wire(m_irreset, &CommonFrame::IRRESET_Click);
    wire(m_irstatus, &CommonFrame::IRStatus_Click);
    wire(m_sensorState, &CommonFrame::SensorState_Click);
    wire(m_irprohibit, &CommonFrame::IRProhibit_Click);
    wire(m_ircardtype, &CommonFrame::IRCARDTYPE_Click);
    wire(m_ircomb, &CommonFrame::IRcomb_Click);
    connect(m_irpop, &QPushButton::clicked, this, &CommonFrame::IRPOP_Click);
    connect(m_irweizhi, &QPushButton::clicked, this, &CommonFrame::IRWeizhi_Click);
}

void CommonFrame::start(const link::Operations::Handler &handler) {
    m_operations.run(m_reader.readerPort(), handler);
}

QCoro::Task<bool> CommonFrame::send(QByteArray commandBody) {
    const QByteArray frame = link::buildReaderFrame(commandBody);
    m_reply = link::newReplyBuffer();
    m_replyLength = 0;
    const link::ReplyStatus status = co_await link::SendReaderCommand(
        m_reader, frame, int(frame.size()), m_reply, m_replyLength);
    co_return status == link::kReplyOk &&m_replyLength != 0;
}

bool CommonFrame::portReady() const {
    if (m_reader.portSetUp())
        return true;
    link::showCaution(link::text::PortSetupFirst);
    return false;
}

// --- reset, status, sensors -------------------------------------------------

QCoro::Task<> CommonFrame::IRRESET_Click() {
    if (!portReady())
        co_return;
    const QString model = m_reader.currentModel();
    char pm = '\0';
    if (model == QLatin1String("KVR-416") || model == QLatin1String("KVR-523")) {
        pm = '0';
    } else {
        // 1 without eject, 2 to the front, 3 to the rear; 0 when cancelled.
        int resetOption = 0;
        if (model == QLatin1String("KVR-690")) {
            ResetOptionForm690 dialog(this);
            ui::execModal(dialog);
            resetOption = dialog.value();
        } else if (!model.isEmpty()) {
            ResetOptionForm638 dialog(this);
            ui::execModal(dialog);
            resetOption = dialog.value();
        }
        if (resetOption >= 1 && resetOption <= 3)
            pm = char('0' + resetOption - 1);
    }
    if (pm == '\0')
        co_return;
    const bool replied = co_await send(body('0', pm));
    if (!replied)
        co_return;
    link::showMessage(resetReplyText(m_reply, m_replyLength), QStringLiteral("Reader Reset"),
                      link::MsgIcon::Information);
}

QCoro::Task<> CommonFrame::IRStatus_Click() {
    if (!portReady())
        co_return;
    const bool replied = co_await send("10");
    if (!replied)
        co_return;
    if (const std::optional<MessageBox> box = statusBox(m_reader.currentModel(), m_reply))
        showInformation(*box);
}

QCoro::Task<> CommonFrame::SensorState_Click() {
    if (!portReady())
        co_return;
    const bool replied = co_await send("1.");
    if (!replied)
        co_return;
    const QString model = m_reader.currentModel();
    if (model == QLatin1String("KVR-638")) {
        m_sensors638 = m_reply.mid(2, 4);
        SensorStateForm638 window(m_sensors638, this);
        ui::execModal(window);
    } else if (model == QLatin1String("KVR-690")) {
        m_sensors690 = m_reply.mid(2, 8);
        SensorStateForm690 window(m_sensors690, this);
        ui::execModal(window);
    }
}

// --- card entry ---------------------------------------------------------------

QCoro::Task<> CommonFrame::silentStatusQuery() {
    const bool replied = co_await send("10");
    if (!replied)
        co_return;
    if (const int front = reader::frontEntryState(replyByte(m_reply, 3)))
        m_frontEntryState = front;
    if (const int rear = reader::rearEntryState(replyByte(m_reply, 4)))
        m_rearEntryState = rear;
}

QCoro::Task<> CommonFrame::IRProhibit_Click() {
    if (!portReady())
        co_return;
    const QString model = m_reader.currentModel();
    if (model == QLatin1String("KVR-634")) {
        IRProhibitOptionForm634 dialog(this);
        ui::execModal(dialog);
        const int value = dialog.value();
        if (value == 0)
            co_return;
        const bool replied = co_await send(body('/', value == 1 ? '1' : '0'));
        if (replied)
            showResult(kEnterControl, replyByte(m_reply, 2));
    } else if (model == QLatin1String("KVR-638")) {
        co_await enterControl638();
    } else if (model == QLatin1String("KVR-690")) {
        co_await enterControl690();
    }
}

QCoro::Task<> CommonFrame::enterControl638() {
    co_await silentStatusQuery();
    m_reader.setKeepTrafficLog(true);
    int front = 0;
    {
        IRProhibitOptionForm638 dialog(m_frontEntryState, this);
        ui::execModal(dialog);
        front = dialog.value();
    }
    if (front >= 1 && front <= 3) {
        const bool replied = co_await send(QByteArray("/") + char('0' + front) + '1');
        if (replied)
            showResult(kEnterControl, replyByte(m_reply, 2));
    }
    m_reader.setKeepTrafficLog(false);
}

QCoro::Task<> CommonFrame::enterControl690() {
    co_await silentStatusQuery();
    m_reader.setKeepTrafficLog(true);
    int front = 0;
    int rear = 0;
    {
        IRProhibitOptionForm690 dialog(m_frontEntryState, m_rearEntryState, this);
        ui::execModal(dialog);
        front = dialog.frontValue();
        rear = dialog.rearValue();
    }
    if (front >= 1 && front <= 4 && rear >= 1 && rear <= 2) {
        const bool replied =
            co_await send(QByteArray("/") + char('0' + front) + char('0' + rear - 1));
        if (replied)
            showResult(kEnterControl, replyByte(m_reply, 3));
    }
    m_reader.setKeepTrafficLog(false);
}

// --- eject and card moves -----------------------------------------------------

void CommonFrame::IRPOP_Click() {
    if (m_reader.currentModel() == QLatin1String("KVR-690") && m_reader.portSetUp()) {
        // The dialog stays up for one move after the other; each "OK" is a
        // command of its own, refused while the one before still waits.
        PopOptionForm690 dialog(
            [this](int value) { start([this, value] { return moveCard690(value); }); }, this);
        ui::execModal(dialog);
        return;
    }
    start([this] { return eject(); });
}

QCoro::Task<> CommonFrame::eject() {
    if (!portReady())
        co_return;
    const QString model = m_reader.currentModel();
    if (model == QLatin1String("KVR-634") || model == QLatin1String("KVR-527")) {
        const bool replied = co_await send("20");
        if (replied)
            showResult(model == QLatin1String("KVR-634") ? kEject634 : kEject527,
                       replyByte(m_reply, 2));
    } else if (model == QLatin1String("KVR-638")) {
        int option = 0;
        {
            PopOptionForm638 dialog(this);
            ui::execModal(dialog);
            option = dialog.value();
        }
        if (option != 1 && option != 2)
            co_return;
        const bool replied = co_await send(body('2', option == 1 ? '0' : '1'));
        if (replied)
            showResult(kEject634, replyByte(m_reply, 2));
    } else {
        link::showCaution(QStringLiteral("No ejection command for this sample"));
    }
}

QCoro::Task<> CommonFrame::moveCard690(int value) {
    const char pm = PopOptionForm690::parameterCode(value);
    if (pm == '\0')
        co_return;
    if (pm == '7') {
        // Cleaning needs an empty reader; a query that fails counts as a card.
        bool cardPresent = true;
        const bool replied = co_await send("10");
        if (replied && replyByte(m_reply, 2) == 'N')
            cardPresent = false;
        if (cardPresent) {
            link::showMessage(
                QStringLiteral("Please first remove the cards, then use 'Clean Reader' command"),
                QStringLiteral("Reader Status"), link::MsgIcon::Information);
            co_return;
        }
    }
    const bool moved = co_await send(body('2', pm));
    if (!moved)
        co_return;
    if (const std::optional<MessageBox> box = moveCardBox(pm, replyByte(m_reply, 2)))
        showInformation(*box);
}

QCoro::Task<> CommonFrame::MoveCardToIcPosition() {
    m_cardMoved = false;
    const bool replied = co_await send("2/");
    if (!replied)
        co_return;
    const char result = replyByte(m_reply, 2);
    if (result == 'Y')
        m_cardMoved = true;
    else
        showResult(kMoveToIc, result);
}

// --- stop position ------------------------------------------------------------

void CommonFrame::IRWeizhi_Click() {
    if (m_reader.readerPort().busy()) {
        m_reader.showStatus(link::busyLineText(m_reader.readerPort()));
        return;
    }
    if (!portReady())
        return;
    CardPosition dialog(m_currentStopPosition, m_chosenStopPosition, this);
    QPointer<CardPosition> open(&dialog);
    // "OK" sends the position, shows the result, then closes the dialog.
    dialog.setOkAction([this, open] {
        const char pm = open->parameterCode();
        start([this, open, pm] { return setStopPosition(open, pm); });
    });
    ui::execModal(dialog);
}

QCoro::Task<> CommonFrame::setStopPosition(QPointer<CardPosition> dialog, char pm) {
    const bool replied = co_await send(body('.', pm));
    if (replied) {
        const char result = replyByte(m_reply, 2);
        if (result == 'Y')
            m_currentStopPosition = m_chosenStopPosition;
        showResult(kStopPosition, result);
    }
    if (dialog)
        dialog->accept();
}

// --- card type ----------------------------------------------------------------

QCoro::Task<> CommonFrame::IRCARDTYPE_Click() {
    if (!portReady())
        co_return;
    const QString model = m_reader.currentModel();
    if (model == QLatin1String("KVR-690")) {
        co_await MoveCardToIcPosition();
        if (m_cardMoved) {
            m_reader.setKeepTrafficLog(true);
            co_await detectCardType();
            m_reader.setKeepTrafficLog(false);
        }
    } else if (!model.isEmpty()) {
        co_await detectCardType();
    } else {
        link::showCaution(QStringLiteral("No AutoTest command for this sample"));
    }
}

namespace {

// Sets an option as a user's click would, so that its own handler runs.
void choose(QAbstractButton *button) {
    if (!button)
        return;
    if (button->isEnabled())
        button->click();
    else
        button->setChecked(true);
}

void selectTab(QWidget *window, const char *name, int index) {
    if (auto *tabs = window->findChild<QTabWidget *>(QLatin1String(name)))
        tabs->setCurrentIndex(index);
}

} // namespace

QCoro::Task<> CommonFrame::detectCardType() {
    const bool replied = co_await send("11");
    if (!replied)
        co_return;
    const CardTypeRow *row = findCardType(replyByte(m_reply, 2), replyByte(m_reply, 3));
    if (!row)
        co_return;
    QWidget *top = window();
    using T = CardTypeRow::Target;
    if (row->tab >= 0)
        selectTab(top, "SSTab1", row->tab);
    switch (row->target) {
    case T::RfCardType:
        choose(top->findChild<QAbstractButton *>(
            QStringLiteral("RFCARDTYPEOption_%1").arg(row->index)));
        break;
    case T::TypeA:
        choose(top->findChild<QAbstractButton *>(QStringLiteral("CPUOption1")));
        break;
    case T::TypeB:
        choose(top->findChild<QAbstractButton *>(QStringLiteral("CPUOption2")));
        break;
    case T::ContactTab:
        selectTab(top, "SSTab2", row->index);
        break;
    case T::None:
    case T::Tab:
        break;
    }
    link::showMessage(QString::fromUtf8(row->message), QStringLiteral("AutoTestCardType"),
                      link::MsgIcon::Information);
}

// --- reader speed -------------------------------------------------------------

QCoro::Task<> CommonFrame::IRcomb_Click() {
    if (!portReady())
        co_return;
    int choice = 0;
    {
        Combot dialog(this);
        ui::execModal(dialog);
        choice = dialog.value();
    }
    // 57600 bit/s has an option but no code the reader knows: nothing is sent,
    // and the status line says so.
    if (choice == 1) {
        m_reader.showStatus(QStringLiteral("57600 bits/s is not offered by the reader; "
                                           "nothing was sent."));
        co_return;
    }
    if (choice < 4 || choice > 6)
        co_return;
    const bool replied = co_await send(body('4', char('3' + choice - 4)));
    if (replied)
        showResult(kBaudRate, replyByte(m_reply, 2));
}

} // namespace talvex::reader

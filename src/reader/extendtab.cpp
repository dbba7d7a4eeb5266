#include "extendtab.h"

#include "ledcmd1form.h"
#include "ledcmd2form.h"
#include "ledcmd3form.h"
#include "ledcmd4form.h"
#include "readerreplies.h"
#include "readsnform.h"

#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "ui/seams.h"

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

constexpr ResultTexts kOnOff{"Indicator light on/off", "Control Shutter Indicator Light Success",
                             "Control Shutter Indicator Light Fail", nullptr, nullptr};
constexpr ResultTexts kGlitter{"Indicator Light Glitter Operation",
                               "Control Glitter Indicator Light Success",
                               "Control Glitter Indicator Light Fail", nullptr, nullptr};

void showResult(const ResultTexts &texts, char result) {
    if (const std::optional<MessageBox> box = resultBox(texts, result))
        link::showMessage(box->text, box->title, link::MsgIcon::Information);
}

} // namespace

ExtendFunctionTab::ExtendFunctionTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
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

    auto wire = [this](const char *name, QCoro::Task<> (ExtendFunctionTab::*handler)()) {
        connect(findChild<QPushButton *>(QLatin1String(name)), &QPushButton::clicked, this,
                [this, handler] {
                    m_operations.run(m_reader.readerPort(),
                                     [this, handler] { return (this->*handler)(); });
                });
    };
    wire("Type523Readsn", &ExtendFunctionTab::Type523Readsn_Click);
    wire("IRLEDCMD1", &ExtendFunctionTab::IRLEDCMD1_Click);
    wire("IRLEDCMD2", &ExtendFunctionTab::IRLEDCMD2_Click);
    wire("IRLEDCMD3", &ExtendFunctionTab::IRLEDCMD3_Click);
    wire("IRLEDCMD4", &ExtendFunctionTab::IRLEDCMD4_Click);
}

bool ExtendFunctionTab::portReady() const {
    if (m_reader.portSetUp())
        return true;
    link::showCaution(link::text::PortSetupFirst);
    return false;
}

QCoro::Task<char> ExtendFunctionTab::send(QByteArray body) {
    const QByteArray frame = link::buildReaderFrame(body);
    m_reply = link::newReplyBuffer();
    m_replyLength = 0;
    const link::ReplyStatus status = co_await link::SendReaderCommand(
        m_reader, frame, int(frame.size()), m_reply, m_replyLength);
    if (status != link::kReplyOk || m_replyLength == 0)
        co_return '\0';
    co_return replyByte(m_reply, 2);
}

// The shutter light takes "0" for on; the three-colour light "1".
QCoro::Task<> ExtendFunctionTab::IRLEDCMD1_Click() {
    if (!portReady())
        co_return;
    int value = 0;
    {
        LEDCMD1FORM dialog(this);
        ui::execModal(dialog);
        value = dialog.value();
    }
    if (value != 1 && value != 2)
        co_return;
    const char result = co_await send(QByteArray("F") + (value == 1 ? '0' : '1'));
    showResult(kOnOff, result);
}

QCoro::Task<> ExtendFunctionTab::IRLEDCMD2_Click() {
    if (!portReady())
        co_return;
    int on = -1;
    int off = -1;
    {
        LEDCMD2FORM dialog(this);
        ui::execModal(dialog);
        on = dialog.onTime();
        off = dialog.offTime();
    }
    if (on < 0 || off < 0)
        co_return;
    const char result = co_await send(QByteArray("I") + char(on) + char(off));
    showResult(kGlitter, result);
}

QCoro::Task<> ExtendFunctionTab::IRLEDCMD3_Click() {
    if (!portReady())
        co_return;
    QByteArray body("\x80");
    {
        LEDCMD3FORM dialog(this);
        ui::execModal(dialog);
        if (dialog.colour() == 0 || dialog.action() == 0)
            co_return;
        body += char('0' + dialog.colour() - 1);
        body += dialog.action() == 2 ? '1' : '0';
    }
    const char result = co_await send(body);
    showResult(kOnOff, result);
}

QCoro::Task<> ExtendFunctionTab::IRLEDCMD4_Click() {
    if (!portReady())
        co_return;
    QByteArray body("\x81");
    {
        LEDCMD4FORM dialog(this);
        ui::execModal(dialog);
        if (dialog.colourCode() == '\0' || dialog.onTime() < 0 || dialog.offTime() < 0)
            co_return;
        body += dialog.colourCode();
        body += char(dialog.onTime());
        body += char(dialog.offTime());
    }
    const char result = co_await send(body);
    showResult(kGlitter, result);
}

QCoro::Task<> ExtendFunctionTab::Type523Readsn_Click() {
    if (!portReady())
        co_return;
    const char result = co_await send("0:");
    if (result == 'Y') {
        m_serialNumber = serialNumberText(m_reply, m_replyLength);
        ReadSnForm form(m_serialNumber, this);
        ui::execModal(form);
    } else if (result == 'N') {
        link::showMessage(QStringLiteral("Read SN of Card Reader Error"),
                          QStringLiteral("Read SN of Card Reader"), link::MsgIcon::Information);
    }
}

} // namespace talvex::reader

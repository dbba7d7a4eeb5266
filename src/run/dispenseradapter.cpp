#include "run/dispenseradapter.h"

#include "dispenser/dispenserlink.h"
#include "dispenser/dispenserstatus.h"

namespace talvex::run {

namespace {

class Log final : public dispenser::TrafficLog {
public:
    bool keep() const override { return false; }
    void clear() override { m_text.clear(); }
    void append(const QString &text) override { m_text += text; }
    QString m_text;
};

// The 820's status reply comes this long after an accepted "AP", as in the window.
constexpr int kStatusReplyWaitMs = 500;

} // namespace

struct DispenserAdapter::Impl {
    Impl(link::SerialComm &port, bool kvr840, QByteArray addressText)
        : is840(kvr840), address(std::move(addressText)),
          link820(port, log, [this](int number) { portError = number; }),
          link840(port, log, [this](int number) { portError = number; }) {}

    bool is840;
    QByteArray address;
    Log log;
    int portError = 0;
    dispenser::Link820 link820;
    dispenser::Link840 link840;
    dispenser::State820 state820;
    dispenser::State840 state840;
};

DispenserAdapter::DispenserAdapter(link::SerialComm &port, bool is840, QByteArray address)
    : m_impl(std::make_unique<Impl>(port, is840, std::move(address))) {}

DispenserAdapter::~DispenserAdapter() = default;

QString DispenserAdapter::trafficLog() const {
    return m_impl->log.m_text;
}

QCoro::Task<DispenserReply> DispenserAdapter::command(QByteArray text) {
    Impl &d = *m_impl;
    d.portError = 0;
    DispenserReply reply;
    if (d.is840) {
        const QString word = co_await d.link840.SendCommand840(d.address, text);
        reply.word = word;
    } else {
        const QString word = co_await d.link820.SendCommand820(text);
        reply.word = word;
    }
    reply.portError = d.portError;
    co_return reply;
}

QCoro::Task<DispenserReply> DispenserAdapter::status() {
    Impl &d = *m_impl;
    d.portError = 0;
    DispenserReply reply;
    if (d.is840) {
        QByteArray chars;
        const QString word = co_await d.link840.QueryStatus840(
            d.address, [&chars](const QByteArray &c) { chars = c; });
        reply.word = word;
        if (!chars.isEmpty()) {
            const auto decoded = dispenser::decodeStatus840Display(chars, d.state840);
            d.state840 = decoded.state;
            reply.status = chars;
            reply.texts = decoded.texts;
        }
    } else {
        const QString word = co_await d.link820.SendCommand820(QByteArrayLiteral("AP"));
        reply.word = word;
        if (reply.word == dispenser::kOk) {
            const QByteArray bytes = co_await d.link820.readReplyAfter(kStatusReplyWaitMs, 9, 'F');
            if (dispenser::validStatusReply820(bytes, 9, 'F')) {
                reply.status = bytes.mid(3, 4);
                const auto decoded = dispenser::DecodeStatus820(reply.status, d.state820);
                d.state820 = decoded.state;
                reply.texts = decoded.texts;
            }
        }
    }
    reply.portError = d.portError;
    co_return reply;
}

} // namespace talvex::run

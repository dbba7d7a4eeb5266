#include "sim/readerdevice.h"

#include "sim/bcc.h"
#include "sim/readercommands.h"

#include <algorithm>

namespace talvex::sim {
namespace {

qsizetype announcedFrameSize(const QByteArray &frame) {
    const int n = static_cast<quint8>(frame.at(1)) * 256 + static_cast<quint8>(frame.at(2));
    return 3 + n + 2;
}

} // namespace

ReaderDevice::ReaderDevice(ReaderModel model) : m_model(model) {}

void ReaderDevice::setModel(ReaderModel model) {
    m_model = model;
    // The serial number is the one thing the window set that a reader keeps.
    const QByteArray serialNumber = m_control.serialNumber;
    m_control = ReaderControlState{};
    m_control.serialNumber = serialNumber;
    resetLine();
}

void ReaderDevice::restart() {
    m_frame.clear();
    m_pendingBody.clear();
    m_awaitingEnq = false;
    m_faultInForce = Fault::none();
    m_head.reset();
}

void ReaderDevice::expire(qint64 nowUs) {
    if (!m_frame.isEmpty() && nowUs - m_lastByteUs >= kFrameRestUs)
        m_frame.clear();
    send(m_head.due(*this, nowUs), nowUs);
}

qint64 ReaderDevice::ownWakeUs() const {
    const qint64 frameWake = m_frame.isEmpty() ? -1 : m_lastByteUs + kFrameRestUs;
    const qint64 headWake = m_head.wakeUs(*this);
    if (frameWake < 0 || headWake < 0)
        return std::max(frameWake, headWake);
    return std::min(frameWake, headWake);
}

void ReaderDevice::receive(const QByteArray &bytes, qint64 nowUs) {
    expire(nowUs);
    for (char byte : bytes) {
        if (m_frame.isEmpty()) {
            if (byte == kStx) {
                m_head.abandonUpload();
                m_frame += byte;
                m_lastByteUs = nowUs;
            } else if (byte == kEnq && m_awaitingEnq) {
                enquiry(nowUs);
            } else if (byte == kAck && m_head.awaitingAck()) {
                send(m_head.acknowledged(), nowUs);
            }
            // Anything else between frames is line noise to the reader.
            continue;
        }
        m_frame += byte;
        m_lastByteUs = nowUs;
        if (m_frame.size() >= 3 && m_frame.size() == announcedFrameSize(m_frame))
            frameComplete(nowUs);
    }
}

void ReaderDevice::frameComplete(qint64 nowUs) {
    const QByteArray frame = m_frame;
    m_frame.clear();
    // A new command cancels one still waiting for its ENQ.
    m_awaitingEnq = false;
    m_faultInForce = m_fault;
    m_fault = Fault::none();

    qint64 at = nowUs;
    switch (m_faultInForce.kind) {
    case Fault::Kind::Silence:
        return;
    case Fault::Kind::HangUp:
        hangUp(nowUs);
        return;
    case Fault::Kind::Nak:
        send(QByteArray(1, kNak), at);
        return;
    case Fault::Kind::Delay:
        at += qint64(m_faultInForce.delayMs) * 1000;
        break;
    default:
        break;
    }

    const qsizetype last = frame.size() - 1;
    if (xorOf(frame, 0, last) != static_cast<quint8>(frame.at(last))) {
        send(QByteArray(1, kNak), at);
        return;
    }
    send(QByteArray(1, kAck), at);
    m_pendingBody = frame.mid(3, frame.size() - 5);
    m_awaitingEnq = true;
}

void ReaderDevice::enquiry(qint64 nowUs) {
    m_awaitingEnq = false;
    const Fault fault = m_faultInForce;
    m_faultInForce = Fault::none();
    if (fault.kind == Fault::Kind::AckOnly)
        return;

    m_replyDelayUs = 0;
    m_baudAfterReply = 0;
    QByteArray body;
    if (fault.kind == Fault::Kind::NegativeReply) {
        body = negativeReply(m_pendingBody, fault.errorCode);
    } else if (fault.kind == Fault::Kind::OverlongReply) {
        // Body, ETX and BCC together overrun the program's reply buffer.
        body = replyBody(m_pendingBody);
        body += QByteArray(kReplyBufferSize + 16 - body.size(), '0');
    } else {
        body = replyBody(m_pendingBody);
    }

    QByteArray frame = readerFrame(body);
    qint64 at = nowUs + m_replyDelayUs;
    if (fault.kind == Fault::Kind::DelayReply)
        at += qint64(fault.delayMs) * 1000;
    switch (fault.kind) {
    case Fault::Kind::DelayRest:
        send(frame.left(3), at);
        frame.remove(0, 3);
        at += qint64(fault.delayMs) * 1000;
        break;
    case Fault::Kind::HeaderOnly:
        frame = frame.left(3);
        break;
    case Fault::Kind::TruncatedBody:
        frame = frame.left(3 + body.size() / 2);
        break;
    case Fault::Kind::WrongBcc:
        frame[frame.size() - 1] = static_cast<char>(frame.back() ^ 0xFF);
        break;
    case Fault::Kind::ExtraBytes:
        frame += QByteArray("\x00\xFF\x55", 3);
        break;
    default:
        break;
    }
    send(frame, at);
    if (m_baudAfterReply != 0)
        setBaud(m_baudAfterReply);
}

QByteArray ReaderDevice::replyBody(const QByteArray &commandBody) {
    if (commandBody.size() < 2)
        return negativeReply(commandBody, errorcode::kUndefinedCommand);
    const ReaderCommand command = findReaderCommand(commandBody.at(0));
    if (!command)
        return negativeReply(commandBody, errorcode::kUndefinedCommand);
    return command(*this, commandBody);
}

} // namespace talvex::sim

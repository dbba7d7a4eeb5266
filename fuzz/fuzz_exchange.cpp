// The reader exchange against a device that sends whatever the input says,
// whenever it says, on a driven clock: no input may crash it, make it wait
// past its limits, send more than the frame and one ENQ, touch the caller's
// buffer on a failure, or leave the line unusable for the next command.
//
// Input layout:
//   byte 0   flags: bit 0 "Record Data", bit 1 record file, bit 2 port not
//            set up, bits 3-4 the command frame, bits 5-6 the count passed
//   then     device chunks: control (1), delay in ms (2, big-endian),
//            length (2, big-endian), bytes. Control bit 0: the chunk and those
//            after it answer the program's next write; bit 1: the line hangs
//            up at that moment instead. Delays add up within a group; the
//            first group is on the line before the command goes out.

#include "fuzzcheck.h"
#include "fuzzline.h"
#include "link/blockon.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/portmap.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "support/fakeclock.h"
#include "support/scriptedbackend.h"

#include <QCoreApplication>
#include <QList>
#include <cstdint>
#include <memory>

using namespace talvex;
using namespace talvex::link;
using talvex::testing::FakeClock;
using talvex::testing::ScriptedBackend;
using namespace talvex::fuzzing;

namespace {

constexpr int kPort = 9;
// The three limits end to end: 3 s for ACK, 8 s for the header, 3 s for the rest.
constexpr qint64 kLongestExchangeMs = 3000 + 8000 + 3000;

class Boxes final : public MessageBoxes {
public:
    MsgAnswer show(const MessageRequest &request) override {
        shown.append(request);
        return MsgAnswer::Ok;
    }
    QList<MessageRequest> shown;
};

QByteArray commandFrame(int choice) {
    switch (choice) {
    case 0:
        return QByteArray::fromHex("02000230300303"); // reset, parameter "0"
    case 1:
        return buildReaderFrame("10");
    case 2:
        return buildReaderFrame(QByteArray(55, 'C')); // 60 bytes: three log lines
    default:
        return buildReaderFrame(QByteArray(300, 'D')); // LH other than 0
    }
}

// The exchange is awaited: running it to its end takes an event loop, which
// wants an application object (on the driven clock it never has to spin).
void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "fuzz_exchange";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ensureApplication();
    Input in(data, size);
    const std::uint8_t flags = in.byte();
    const QList<QList<Chunk>> groups = parseScript(in);

    FakeClock fakeClock;
    ScopedClock clockInForce(fakeClock);
    Boxes boxes;
    setMessageBoxes(&boxes);

    ScriptedBackend scripted(fakeClock);
    ScriptedBackend *line = &scripted;
    qint64 lastScriptedMs = fakeClock.nowMs();
    int writesAnswered = 0;
    portmap::mapBackend(kPort,
                        [&] { return std::make_unique<testing::ScriptedLineHandle>(scripted); });

    const bool scriptedHangUp = hangsUp(groups);

    {
        SerialComm port;
        port.setCommPort(kPort);
        port.setPortOpen(true);
        ReaderLinkState state(port);
        state.m_keepLog = flags & 1;
        state.m_recording = flags & 2;
        state.m_portSetUp = !(flags & 4);

        line->onWrite = [&](const QByteArray &, ScriptedBackend &l) {
            if (++writesAnswered < groups.size())
                play(groups[writesAnswered], l, fakeClock.nowMs(), &lastScriptedMs);
        };
        play(groups[0], *line, fakeClock.nowMs(), &lastScriptedMs);

        const QByteArray frame = commandFrame(flags >> 3 & 3);
        const int countChoice = flags >> 5 & 3;
        const int count = countChoice == 0   ? int(frame.size())
                          : countChoice == 1 ? int(frame.size()) - 1
                          : countChoice == 2 ? int(frame.size()) + 1
                                             : -1;
        const bool countFits = count >= 0 && count <= frame.size();

        const QByteArray untouched(kReplyBufferSize, '\x5A');
        QByteArray reply = untouched;
        qint16 replyLength = -7;
        const qint64 started = fakeClock.nowMs();
        QCoro::Task<ReplyStatus> exchange =
            SendReaderCommand(state, frame, count, reply, replyLength);
        // On the driven clock every wait passes at once: the exchange is over
        // before the call returns, as a click under the tests' clock is.
        FUZZ_CHECK(exchange.isReady());
        const ReplyStatus status = link::blockOn(std::move(exchange));
        const qint64 elapsed = fakeClock.nowMs() - started;

        FUZZ_CHECK(status == 0 || status == -1 || status == -3);
        FUZZ_CHECK(elapsed <= kLongestExchangeMs);
        FUZZ_CHECK(reply.size() == kReplyBufferSize);
        FUZZ_CHECK(boxes.shown.size() <= 1);

        // Nothing but the command, then one ENQ after an ACK.
        const QList<QByteArray> writes = line->writes();
        FUZZ_CHECK(writes.size() <= 2);
        if (!state.m_portSetUp || !countFits)
            FUZZ_CHECK(writes.isEmpty());
        if (!writes.isEmpty())
            FUZZ_CHECK(writes[0] == frame.left(count));
        if (writes.size() == 2)
            FUZZ_CHECK(writes[1] == QByteArray("\x05"));

        if (status == -1 || replyLength == -7) {
            FUZZ_CHECK(replyLength == -7);
            FUZZ_CHECK(reply == untouched);
        } else {
            FUZZ_CHECK(writes.size() == 2);
            FUZZ_CHECK(replyLength >= 2 && replyLength <= kReplyBufferSize);
            FUZZ_CHECK((status == -3) == (reply.at(0) == 'N'));
        }
        if (status == -3) {
            const auto expected = readerErrorMessage(quint8(reply.at(2)));
            FUZZ_CHECK(boxes.shown.size() == (expected ? 1 : 0));
            if (expected)
                FUZZ_CHECK(boxes.shown[0].text == expected->text);
        }

        bool timeIsNumber = false;
        const int shownMs = state.m_time.toInt(&timeIsNumber);
        FUZZ_CHECK(timeIsNumber && shownMs >= 0 && shownMs <= kLongestExchangeMs);
        FUZZ_CHECK(state.m_log.isEmpty() || (state.m_log.startsWith(QLatin1String("SD: ")) &&
                                             state.m_log.endsWith(QLatin1String("\r\n"))));
        FUZZ_CHECK(state.m_records.size() <= (state.m_recording ? 1 : 0));
        if (!state.m_records.isEmpty())
            FUZZ_CHECK(state.m_records[0] == state.m_log);

        // Whatever the device did, the next command on a line that is still
        // there gets through, once the device has had its say.
        if (state.m_portSetUp && !scriptedHangUp) {
            fakeClock.advanceTo(lastScriptedMs + 1);
            line->onWrite = [](const QByteArray &written, ScriptedBackend &l) {
                if (written.startsWith('\x02'))
                    l.feedAfter(5, "\x06");
                else
                    l.feedAfter(5, QByteArray::fromHex("020003313059035A"));
            };
            boxes.shown.clear();
            QByteArray next(kReplyBufferSize, '\0');
            qint16 nextLength = 0;
            const ReplyStatus again = link::blockOn(SendReaderCommand(
                state, QByteArray::fromHex("02000231300302"), 7, next, nextLength));
            FUZZ_CHECK(again == 0);
            FUZZ_CHECK(nextLength == 5);
            FUZZ_CHECK(next.left(5) == QByteArray::fromHex("313059035A"));
            FUZZ_CHECK(boxes.shown.isEmpty());
        }
    }

    portmap::unmap(kPort);
    setMessageBoxes(nullptr);
    return 0;
}

// The session capture reader on any file, and the replay device on what it
// read. A file is refused with one line naming the line, or read with every
// unreadable line skipped and counted; what was read writes back to the same
// bytes and replays without a crash.

#include "fuzzcheck.h"
#include "link/capturefile.h"
#include "sim/replaydevice.h"
#include "sim/replaysession.h"

#include <QBuffer>
#include <cstdint>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const link::CaptureContents contents = link::readCapture(buffer);

    FUZZ_CHECK(contents.ok == contents.error.isEmpty());
    FUZZ_CHECK(!contents.error.contains(QLatin1Char('\n')));
    FUZZ_CHECK(contents.error.isEmpty() || contents.error.startsWith(QLatin1String("line 1: ")));
    FUZZ_CHECK(contents.skipped.size() <= link::kSkippedNamed);
    FUZZ_CHECK(contents.skippedCount >= contents.skipped.size());
    if (!contents.ok)
        return 0;

    for (const link::ExchangeRecord &e : contents.exchanges) {
        FUZZ_CHECK(!e.sent.isEmpty() || !e.answer.isEmpty());
        // What was read is written back as it was read.
        QByteArray again = link::captureHeaderLine(QDateTime()) + link::captureLine(e, {});
        QBuffer againBuffer(&again);
        againBuffer.open(QIODevice::ReadOnly);
        const auto reread = link::readCapture(againBuffer);
        FUZZ_CHECK(reread.ok && reread.exchanges.size() == 1 && reread.skippedCount == 0);
        FUZZ_CHECK(reread.exchanges.first().sent == e.sent);
        FUZZ_CHECK(reread.exchanges.first().answer == e.answer);
        FUZZ_CHECK(reread.exchanges.first().reply == e.reply);
    }

    const sim::ReplayPlan plan = sim::planReplay(contents, {});
    if (!plan.ok)
        return 0;
    sim::ReplayDevice device(plan.kind, plan.exchanges);
    qint64 now = 0;
    for (const link::ExchangeRecord &e : plan.exchanges) {
        device.feed(e.sent, 0, now);
        device.feed(QByteArray(1, '\x05'), 0, now + 1000);
        now += 2'000'000;
        device.takeOutput(now);
    }
    return 0;
}

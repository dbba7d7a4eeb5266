// The dispensers' status decoders over any run of status replies, and the
// KVR-820 and KVR-840 links against a device that sends whatever the input
// says. A decoder shows only its tables' texts, in column order; a success or
// an error is counted at most once per accepted dispense or capture; the
// manual status buttons count nothing. A link sends nothing but its frame, the
// ENQ after an acknowledgement and the status acknowledgement after a valid
// status reply, and keeps to its waits.
//
// Input: byte 0 bits 0-1 pick the part: 0 KVR-820 decoders, 1 KVR-840
// decoders, 2 the KVR-820 link, 3 the KVR-840 link.
//   decoders: a start state (2 bytes), then steps of a kind byte and the
//             status characters (4 for the KVR-820, 2 for the KVR-840);
//   links:    byte 1 the command and the address, then the device's script
//             (fuzzline.h).

#include "dispenser/dispenserlink.h"
#include "dispenser/dispenserstatus.h"
#include "fuzzcheck.h"
#include "fuzzline.h"
#include "link/blockon.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "support/fakeclock.h"

#include <QSet>
#include <QStringList>
#include <bit>
#include <cstdint>
#include <memory>

using namespace talvex;
using namespace talvex::dispenser;
using namespace talvex::fuzzing;
using talvex::testing::FakeClock;
using talvex::testing::ScriptedBackend;

namespace {

// --- KVR-820 ---------------------------------------------------------------

QStringList textsOfZ(char z) {
    if (z == '1')
        return {"Error Card Bin Is Full"};
    if (z == '2')
        return {"Dispenser Error Alarm"};
    return {};
}

QStringList textsOfA(char a, const State820 &before) {
    QStringList texts;
    switch (a) {
    case '0':
        if (before.dispenseDone)
            texts << "Card Dispense Success";
        else if (before.captureDone)
            texts << "Card Capture Success";
        if (before.dispenseRunning)
            texts << "Card Dispense Success";
        else if (before.captureRunning)
            texts << "Card Capture Success";
        return texts;
    case '8':
        return {"Card Is Dispensing"};
    case '4':
        return {"Card Is Capturing"};
    case '2':
        return {"Card Dispense Error"};
    case '1':
        return {"Card Capture Error"};
    default:
        return {};
    }
}

QStringList textsOfB(char b) {
    if (b == '1')
        return {"Stacker Is Pre-empty"};
    if (b == '2' || b == '3')
        return {"Card Dispenser Clip Card"};
    if (b == '4')
        return {"Card Overlapped"};
    return {};
}

struct RowC {
    char c;
    QStringList texts;
    bool dispense, capture; // allowed after; "A", "B", "C", "E" allow both after "AP"
    Marks position;         // the position mark shown; 0: none or by the "FC" target
    bool stackerHidden;
};

const QList<RowC> &rowsOfC() {
    static const QList<RowC> rows = {
        {'0', {}, true, false, 0, false},
        {'1', {"Card Stopped at the Door"}, false, true, 0, false},
        {'2', {}, false, true, 0, false},
        {'3', {"Card Stopped at the Reading Position"}, false, true, 0, false},
        {'4', {"Card Pre-dispense", "Waiting for Dispensing"}, true, false, P1, false},
        {'6', {}, false, true, 0, false},
        {'8', {"Stacker Is Empty"}, false, false, 0, true},
        {'9', {"Stacker Is Empty"}, false, true, P6, true},
        {'A', {}, false, true, P3, false},
        {'B', {"Stacker Is Empty"}, false, true, P4, false},
        {'C', {"Stacker Is Empty"}, false, true, P1, false},
        {'E', {"Stacker Is Empty"}, false, true, P2, false},
    };
    return rows;
}

const RowC *rowOfC(char c) {
    for (const RowC &row : rowsOfC())
        if (row.c == c)
            return &row;
    return nullptr;
}

State820 state820From(Input &in) {
    const std::uint8_t bits = in.byte();
    State820 s;
    s.dispenseRunning = bits & 1;
    s.captureRunning = bits & 2;
    s.dispenseDone = bits & 4;
    s.captureDone = bits & 8;
    s.dispenseAllowed = bits & 16;
    s.captureAllowed = bits & 32;
    s.autoRunning = bits & 64;
    const std::uint8_t more = in.byte();
    s.fcTarget = more % 7;
    // At most one card position shown, as on the window.
    s.marks = (more & 0x80 ? kStackerMarks : StackerLower) | (more & 0x40 ? P1 << (more % 6) : 0);
    return s;
}

void check820(const QByteArray &chars, bool ap, const State820 &before, const Decoded820 &d) {
    const State820 &s = d.state;
    FUZZ_CHECK(s.fcTarget == before.fcTarget);
    FUZZ_CHECK((s.marks & ~(kStackerMarks | kPositionMarks820)) == 0);
    FUZZ_CHECK(std::popcount(s.marks & kPositionMarks820) <= 1);

    const char z = ap ? chars.at(0) : '\0';
    const char a = chars.at(ap ? 1 : 0), b = chars.at(ap ? 2 : 1), c = chars.at(ap ? 3 : 2);
    const RowC *row = rowOfC(c);
    const QStringList expected =
        textsOfZ(z) + textsOfA(a, before) + textsOfB(b) + (row ? row->texts : QStringList());
    FUZZ_CHECK(d.texts == expected);

    // One outcome per operation under way, and only from its own status.
    FUZZ_CHECK(d.dispensed + d.dispenseErrors + d.captured + d.captureErrors <= 1);
    FUZZ_CHECK(!d.dispensed || (before.dispenseRunning && a == '0'));
    FUZZ_CHECK(!d.captured || (before.captureRunning && !before.dispenseRunning && a == '0'));
    FUZZ_CHECK(!d.dispenseErrors || (before.dispenseRunning && a == '2'));
    FUZZ_CHECK(!d.captureErrors || (before.captureRunning && a == '1'));
    FUZZ_CHECK(d.dispenseSucceeded == bool(d.dispensed));
    FUZZ_CHECK(d.captureSucceeded == bool(d.captured));
    FUZZ_CHECK(!d.stopAutoTest || (before.autoRunning && !s.autoRunning));
    FUZZ_CHECK(s.autoRunning == (before.autoRunning && !d.stopAutoTest));
    if (!ap) {
        FUZZ_CHECK(d.dispensed + d.dispenseErrors + d.captured + d.captureErrors == 0);
        FUZZ_CHECK(!d.dispenseRateChanged && !d.captureRateChanged && !d.stopAutoTest &&
                   !d.disableButtons);
    }

    if (row) {
        const bool both = ap && QByteArrayLiteral("ABCE").contains(c);
        FUZZ_CHECK(s.dispenseAllowed == (row->dispense || both));
        FUZZ_CHECK(s.captureAllowed == row->capture);
        if (row->position)
            FUZZ_CHECK((s.marks & kPositionMarks820) == row->position);
        if (c == '0' || c == '8')
            FUZZ_CHECK((s.marks & kPositionMarks820) == 0);
        if (row->stackerHidden)
            FUZZ_CHECK((s.marks & kStackerMarks) == 0);
    }
    // Characters outside every table leave everything as it was.
    const bool known = (ap && QByteArrayLiteral("12").contains(z)) ||
                       QByteArrayLiteral("08421").contains(a) ||
                       QByteArrayLiteral("01234").contains(b) || row;
    if (!known)
        FUZZ_CHECK(s == before && d.texts.isEmpty() && !d.disableButtons);
}

void run820Decoders(Input &in) {
    State820 state = state820From(in);
    int underWay = int(state.dispenseRunning) + int(state.captureRunning);
    int outcomes = 0;
    while (!in.atEnd()) {
        const bool ap = in.byte() & 1;
        const QByteArray chars = in.bytes(ap ? 4 : 3);
        const Decoded820 d =
            ap ? DecodeStatus820(chars, state) : DecodeStatus820Short(chars, state);
        if (chars.size() < (ap ? 4 : 3)) {
            FUZZ_CHECK(d.texts.isEmpty() && d.state == state);
            break;
        }
        check820(chars, ap, state, d);
        underWay += QByteArrayLiteral("84").contains(chars.at(ap ? 1 : 0));
        outcomes += d.dispensed + d.dispenseErrors + d.captured + d.captureErrors;
        FUZZ_CHECK(outcomes <= underWay);
        state = d.state;
    }
}

// --- KVR-840 ---------------------------------------------------------------

const QStringList kTextsOfS1 = {"Waiting for Dispensing",
                                "Card Is Dispensing",
                                "Waiting for Card to be Taken",
                                "Card Dispense Success",
                                "Card Dispensing Error",
                                "Card Pre-dispense",
                                "Dispensing Command can not be Executed"};

void check840(char s1, char s2, bool counting, const State840 &before, const Decoded840 &d) {
    const State840 &s = d.state;
    QStringList expected;
    if (s1 >= '0' && s1 <= '6' && !(counting && s1 == '0' && s2 == '2'))
        expected << kTextsOfS1[s1 - '0'];
    if (s2 == '1')
        expected << "Stacker Is Pre-empty";
    if (s2 == '2')
        expected << "Stacker Is Empty";
    FUZZ_CHECK(d.texts == expected);
    FUZZ_CHECK((s.marks & ~(kStackerMarks | kCardMarks840)) == 0);
    FUZZ_CHECK(std::popcount(s.marks & kCardMarks840) <= 1);
    if (s2 == '0')
        FUZZ_CHECK((s.marks & kStackerMarks) == kStackerMarks);
    if (s2 == '2')
        FUZZ_CHECK((s.marks & kStackerMarks) == 0);

    FUZZ_CHECK(d.dispensed + d.errors <= 1);
    FUZZ_CHECK(!d.dispensed || (before.dispensePending && !before.successCounted && s1 == '3'));
    FUZZ_CHECK(!d.errors || (before.dispensePending && s1 == '4'));
    FUZZ_CHECK(!d.dispenseSucceeded || (d.dispensed && before.autoRunning));
    FUZZ_CHECK(!d.stopAutoTest || (before.autoRunning && !s.autoRunning));
    FUZZ_CHECK(!s.dispensePending || before.dispensePending);
    if (!counting) {
        // "Status(AP)" shows; it neither counts nor changes what the poll decides.
        FUZZ_CHECK(d.dispensed == 0 && d.errors == 0 && !d.rateChanged && !d.stopAutoTest);
        FUZZ_CHECK(s.dispenseAllowed == before.dispenseAllowed &&
                   s.dispensePending == before.dispensePending &&
                   s.successCounted == before.successCounted &&
                   s.autoRunning == before.autoRunning);
    } else if (s1 == '0' && (s2 == '0' || s2 == '1')) {
        FUZZ_CHECK(s.dispenseAllowed);
    }

    // The card mark each S1 shows; the poll shows Q1 only while cards wait.
    const Marks card = s.marks & kCardMarks840;
    switch (s1) {
    case '0':
        if (!counting)
            FUZZ_CHECK(card == Q1);
        else if (s2 != '2')
            FUZZ_CHECK(card == (s2 == '0' || s2 == '1' ? Marks(Q1) : 0));
        break;
    case '1':
        if (!counting)
            FUZZ_CHECK(card == Q2);
        break;
    case '2':
        FUZZ_CHECK(card == Q3);
        break;
    case '3':
    case '4':
        FUZZ_CHECK(card == 0);
        break;
    default:
        break;
    }
}

void run840Decoders(Input &in) {
    const std::uint8_t bits = in.byte();
    State840 state;
    state.dispenseAllowed = bits & 1;
    state.dispensePending = bits & 2;
    state.successCounted = bits & 4;
    state.autoRunning = bits & 8;
    state.marks = (bits & 16 ? kStackerMarks : 0) | (bits & 32 ? Q1 << (bits >> 6 & 1) : 0);
    in.byte();
    int accepted = state.dispensePending, counted = 0, errors = 0;
    while (!in.atEnd()) {
        const std::uint8_t kind = in.byte();
        if (kind % 4 == 3) {
            // The window's "DC" was accepted: one more outcome to wait for.
            state.dispensePending = true;
            state.successCounted = false;
            ++accepted;
            continue;
        }
        const bool counting = kind % 4 != 0;
        const QByteArray chars = in.bytes(2);
        const Decoded840 d =
            counting ? decodeStatus840Counting(chars, state) : decodeStatus840Display(chars, state);
        if (chars.size() < 2) {
            FUZZ_CHECK(d.texts.isEmpty() && d.state == state);
            break;
        }
        check840(chars.at(0), chars.at(1), counting, state, d);
        counted += d.dispensed;
        errors += d.errors;
        FUZZ_CHECK(counted + errors <= accepted);
        if (d.rateChanged) {
            // The rate as the window shows it, from its counters.
            const double rate = errorRate840(errors, accepted).toDouble();
            FUZZ_CHECK(std::abs(rate - 100.0 * errors / accepted) < 1e-9);
            const double rate820 = errorRate820(errors, accepted).toDouble();
            FUZZ_CHECK(std::abs(rate820 - 100.0 * errors / accepted) <= 0.005 + 1e-9);
        }
        state = d.state;
    }
}

// --- the links -------------------------------------------------------------

constexpr int kPort = 11;

class Log final : public TrafficLog {
public:
    bool keep() const override { return kept; }
    void clear() override { text.clear(); }
    void append(const QString &line) override { text += line; }
    bool kept = false;
    QString text;
};

// Every line of the log is a traffic line or the empty line that ends an exchange.
void checkLog(const QString &log) {
    FUZZ_CHECK(log.isEmpty() || log.endsWith(QLatin1String("\r\n")));
    for (const QString &line : log.split(QStringLiteral("\r\n")))
        FUZZ_CHECK(line.isEmpty() || line.startsWith(QLatin1String("SD: ")) ||
                   line.startsWith(QLatin1String("RD: ")) ||
                   line.startsWith(QLatin1String("    ")));
}

// The bytes the device has sent by `at` since the program's first write.
QByteArray sentBy(const QList<QList<Chunk>> &groups, qint64 from, qint64 at) {
    QByteArray bytes;
    qint64 t = from;
    for (const Chunk &chunk : groups.value(1)) {
        t += chunk.delayMs;
        if (t <= at)
            bytes += chunk.bytes;
    }
    return bytes;
}

void runLinks(Input &in, bool model840) {
    const std::uint8_t choice = in.byte();
    const QList<QList<Chunk>> groups = parseScript(in);

    FakeClock fakeClock;
    link::ScopedClock clockInForce(fakeClock);
    ScriptedBackend line(fakeClock);
    qint64 lastMs = fakeClock.nowMs();
    int writes = 0;
    link::portmap::mapBackend(kPort,
                              [&] { return std::make_unique<testing::ScriptedLineHandle>(line); });
    const bool quietBefore = groups[0].isEmpty();
    const bool hangUp = hangsUp(groups);
    {
        link::SerialComm port;
        port.setCommPort(kPort);
        port.setPortOpen(true);
        Log log;
        log.kept = choice & 0x10;
        QList<int> portErrors;
        const auto portError = [&](int number) { portErrors.append(number); };
        line.onWrite = [&](const QByteArray &, ScriptedBackend &l) {
            if (++writes < groups.size())
                play(groups[writes], l, fakeClock.nowMs(), &lastMs);
        };
        play(groups[0], line, fakeClock.nowMs(), &lastMs);
        const qint64 started = fakeClock.nowMs();

        if (!model840) {
            Link820 link(port, log, portError);
            const QByteArray command = QByteArray(choice & 1 ? "AP" : "RS");
            const bool logged = choice & 2;
            const QString word =
                logged ? talvex::link::blockOn(link.SendCommand820(command))
                       : talvex::link::blockOn(link.SendCommand820Quiet(command));
            const qint64 elapsed = fakeClock.nowMs() - started;
            FUZZ_CHECK(word == kOk || word == kError);
            FUZZ_CHECK(elapsed <= Link820::kAckLimitMs);
            const QList<QByteArray> sent = line.writes();
            FUZZ_CHECK(sent.size() == (word == kOk ? 2 : portErrors.isEmpty() ? 1 : sent.size()));
            FUZZ_CHECK(sent.size() <= 2 && (sent.isEmpty() || sent[0] == commandFrame(command)));
            if (word == kOk)
                FUZZ_CHECK(sent[1] == QByteArray("\x05"));
            // On a quiet line the first bytes that come decide, 06 first or not.
            if (quietBefore && !hangUp) {
                const QByteArray first = sentBy(groups, started, started + elapsed);
                if (word == kOk)
                    FUZZ_CHECK(first.startsWith('\x06'));
                else if (elapsed < Link820::kAckLimitMs)
                    FUZZ_CHECK(!first.startsWith('\x06'));
            }
            if (logged && !hangUp && word == kOk)
                FUZZ_CHECK(log.text ==
                           trafficLine("SD: ", commandFrame(command)) + "RD: 06\r\nSD: 05\r\n");
            if (word == kOk) {
                const int size = command == "AP" ? 9 : 8;
                const QByteArray reply = talvex::link::blockOn(link.readReplyAfter(500, size, 'F'));
                if (validStatusReply820(reply, size, 'F')) {
                    FUZZ_CHECK(reply.size() == size && reply.mid(1, 2) == "SF");
                    const Decoded820 d = DecodeStatus820(reply.mid(3, 4), State820{});
                    FUZZ_CHECK(d.texts.size() <= 6);
                }
            }
        } else {
            Link840 link(port, log, portError);
            const QByteArray address =
                QByteArray::number((choice >> 5 & 7) + 8).rightJustified(2, '0');
            const int part = choice & 3;
            int decoded = 0;
            QByteArray shown;
            const auto decode = [&](const QByteArray &chars) {
                ++decoded;
                shown = chars;
            };
            QString word;
            if (part == 0)
                word = talvex::link::blockOn(link.SendCommand840(address, QByteArray(choice & 4 ? "DC" : "RS")));
            else if (part == 1)
                word = talvex::link::blockOn(link.QueryStatus840(address, decode));
            else
                word = talvex::link::blockOn(link.AutoStatus840(address, decode));
            const qint64 elapsed = fakeClock.nowMs() - started;
            const QList<QByteArray> sent = line.writes();
            FUZZ_CHECK(sent.size() <= 2 &&
                       (sent.isEmpty() ||
                        sent[0] == commandFrame(address +
                                                (part == 0 ? (choice & 4 ? "DC" : "RS") : "AP"))));
            FUZZ_CHECK(!sent.isEmpty() || !portErrors.isEmpty());
            FUZZ_CHECK(elapsed <=
                       (part == 2 ? Link840::kPollAnswerWaitMs : Link840::kAnswerWaitMs));
            FUZZ_CHECK(decoded <= 1 && (part != 0 || decoded == 0));
            // A status decoded yet answered "ERROR": the line failed after the
            // reply came, and the port error says so.
            FUZZ_CHECK(word != kOk || part == 0 || decoded == 1);
            FUZZ_CHECK(decoded == 0 || word == kOk || !portErrors.isEmpty());
            if (part == 0) {
                FUZZ_CHECK(sent.size() <= 1);
                FUZZ_CHECK(word == kOk || word == kError || word == kError1 || word.isEmpty());
            } else {
                FUZZ_CHECK(word == kOk || word == kError);
                FUZZ_CHECK(sent.size() <= (decoded ? 2 : 1));
                if (word == kOk) {
                    FUZZ_CHECK(sent.size() == 2 && sent[1] == QByteArray("\x06") + address);
                    FUZZ_CHECK(shown.size() == 2);
                }
            }
            // What the device had sent by the end of the wait decides, judged
            // by the reply checks alone.
            if (quietBefore && !hangUp && portErrors.isEmpty()) {
                const QByteArray reply = sentBy(groups, started, started + elapsed);
                if (part == 0) {
                    FUZZ_CHECK(word == commandReplyWord840(reply, address));
                } else {
                    FUZZ_CHECK(shown == statusCharacters840(reply, address));
                    if (groups.size() <= 2)
                        FUZZ_CHECK(port.InBufferCount() == 0);
                }
            }
        }
        FUZZ_CHECK(portErrors.size() <= 1);
        checkLog(log.text);
    }
    link::portmap::unmap(kPort);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Input in(data, size);
    switch (in.byte() & 3) {
    case 0:
        run820Decoders(in);
        break;
    case 1:
        run840Decoders(in);
        break;
    default:
        runLinks(in, (data[0] & 3) == 3);
        break;
    }
    return 0;
}

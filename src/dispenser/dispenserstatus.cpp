#include "dispenserstatus.h"

#include <cmath>

namespace talvex::dispenser {
namespace {

const QString kDispenseSuccess = QStringLiteral("Card Dispense Success");
const QString kCaptureSuccess = QStringLiteral("Card Capture Success");
const QString kStackerEmpty = QStringLiteral("Stacker Is Empty");

void showOnly(Marks &marks, Marks group, Mark mark) {
    marks = (marks & ~group) | mark;
}

// An error ends a running automatic test.
template <class Decoded> void endAutoTest(Decoded &d) {
    if (d.state.autoRunning) {
        d.state.autoRunning = false;
        d.stopAutoTest = true;
    }
}

void setAllowed(State820 &s, bool dispense, bool capture) {
    s.dispenseAllowed = dispense;
    s.captureAllowed = capture;
}

void decodeZ(char z, Decoded820 &d) {
    if (z == '1') {
        d.texts << QStringLiteral("Error Card Bin Is Full");
    } else if (z == '2') {
        d.texts << QStringLiteral("Dispenser Error Alarm");
        setAllowed(d.state, false, false);
    }
}

// Character A "0" while a dispense (or else a capture) ran: its success.
void finishRun(bool dispense, bool ap, Decoded820 &d) {
    State820 &s = d.state;
    d.texts << (dispense ? kDispenseSuccess : kCaptureSuccess);
    (dispense ? s.dispenseRunning : s.captureRunning) = false;
    s.dispenseDone = dispense;
    s.captureDone = !dispense;
    if (ap) {
        (dispense ? d.dispensed : d.captured) = 1;
        (dispense ? d.dispenseRateChanged : d.captureRateChanged) = true;
        (dispense ? d.dispenseSucceeded : d.captureSucceeded) = true;
    }
}

void decodeA(char a, bool ap, Decoded820 &d) {
    State820 &s = d.state;
    switch (a) {
    case '0':
        if (s.dispenseDone || s.captureDone) {
            d.texts << (s.dispenseDone ? kDispenseSuccess : kCaptureSuccess);
            if (ap)
                setAllowed(s, !s.dispenseDone, s.dispenseDone);
        }
        if (s.dispenseRunning || s.captureRunning)
            finishRun(s.dispenseRunning, ap, d);
        break;
    case '8':
    case '4':
        d.texts << (a == '8' ? QStringLiteral("Card Is Dispensing")
                             : QStringLiteral("Card Is Capturing"));
        (a == '8' ? s.dispenseRunning : s.captureRunning) = true;
        s.dispenseDone = false;
        s.captureDone = false;
        if (ap) {
            setAllowed(s, false, false);
            d.disableButtons = true;
        }
        break;
    case '2':
    case '1': {
        const bool dispense = a == '2';
        d.texts << (dispense ? QStringLiteral("Card Dispense Error")
                             : QStringLiteral("Card Capture Error"));
        s.dispenseDone = false;
        s.captureDone = false;
        bool &running = dispense ? s.dispenseRunning : s.captureRunning;
        if (running) {
            running = false;
            if (ap) {
                (dispense ? d.dispenseErrors : d.captureErrors) = 1;
                setAllowed(s, false, false);
                d.disableButtons = true;
            }
        }
        if (ap) {
            (dispense ? d.dispenseRateChanged : d.captureRateChanged) = true;
            endAutoTest(d);
        }
        break;
    }
    default:
        break;
    }
}

void decodeB(char b, bool ap, Decoded820 &d) {
    State820 &s = d.state;
    switch (b) {
    case '0':
        s.marks |= kStackerMarks;
        break;
    case '1':
        d.texts << QStringLiteral("Stacker Is Pre-empty");
        s.marks &= ~Marks(StackerUpper);
        if (ap)
            setAllowed(s, true, false);
        break;
    case '2':
    case '3':
    case '4':
        d.texts << (b == '4' ? QStringLiteral("Card Overlapped")
                             : QStringLiteral("Card Dispenser Clip Card"));
        if (ap) {
            setAllowed(s, false, false);
            d.disableButtons = true;
        }
        break;
    default:
        break;
    }
}

void decodeC(char c, bool ap, Decoded820 &d) {
    State820 &s = d.state;
    switch (c) {
    case '0':
        s.marks &= ~kPositionMarks820;
        setAllowed(s, true, false);
        break;
    case '1':
        d.texts << QStringLiteral("Card Stopped at the Door");
        if (s.fcTarget == 5)
            showOnly(s.marks, kPositionMarks820, P6);
        else if (s.fcTarget == 3)
            showOnly(s.marks, kPositionMarks820, P5);
        setAllowed(s, false, true);
        break;
    case '2':
        if (s.fcTarget == 2)
            showOnly(s.marks, kPositionMarks820, P3);
        setAllowed(s, false, true);
        break;
    case '3':
        d.texts << QStringLiteral("Card Stopped at the Reading Position");
        if (s.fcTarget == 4)
            showOnly(s.marks, kPositionMarks820, P4);
        setAllowed(s, false, true);
        break;
    case '4':
        d.texts << QStringLiteral("Card Pre-dispense") << QStringLiteral("Waiting for Dispensing");
        showOnly(s.marks, kPositionMarks820, P1);
        setAllowed(s, true, false);
        break;
    case '6':
        if (s.fcTarget == 1 || s.fcTarget == 2)
            showOnly(s.marks, kPositionMarks820, P2);
        setAllowed(s, false, true);
        break;
    case '8':
        d.texts << kStackerEmpty;
        s.marks &= ~(kStackerMarks | kPositionMarks820);
        setAllowed(s, false, false);
        break;
    case '9':
        d.texts << kStackerEmpty;
        s.marks &= ~kStackerMarks;
        showOnly(s.marks, kPositionMarks820, P6);
        setAllowed(s, false, true);
        break;
    case 'A':
    case 'B':
    case 'C':
    case 'E':
        // The stacker is empty, yet a card still lies in the channel.
        if (c != 'A')
            d.texts << kStackerEmpty;
        showOnly(s.marks, kPositionMarks820, c == 'A' ? P3 : c == 'B' ? P4 : c == 'C' ? P1 : P2);
        setAllowed(s, ap, true);
        break;
    default:
        break;
    }
}

// "AP" leads with character Z and alone counts, allows and runs the test.
Decoded820 decode820(const QByteArray &chars, const State820 &state, bool ap) {
    Decoded820 d;
    d.state = state;
    const int a = ap ? 1 : 0;
    if (chars.size() < a + 3)
        return d;
    if (ap)
        decodeZ(chars.at(0), d);
    decodeA(chars.at(a), ap, d);
    decodeB(chars.at(a + 1), ap, d);
    decodeC(chars.at(a + 2), ap, d);
    return d;
}

} // namespace

Decoded820 DecodeStatus820Short(const QByteArray &abc, const State820 &state) {
    return decode820(abc, state, false);
}

Decoded820 DecodeStatus820(const QByteArray &zabc, const State820 &state) {
    return decode820(zabc, state, true);
}

bool cardInChannel820(char position) {
    return position == '1' || position == '2' || position == '3' || position == '9';
}

namespace {

// A dispense that will not happen: nothing to count, but the rate is shown
// again and an automatic test ends.
void abandonPending(Decoded840 &d) {
    State840 &s = d.state;
    if (!s.dispensePending)
        return;
    s.dispensePending = false;
    d.rateChanged = true;
    endAutoTest(d);
}

void decodeS1(char s1, char s2, bool counting, Decoded840 &d) {
    State840 &s = d.state;
    switch (s1) {
    case '0':
        if (!counting) {
            d.texts << QStringLiteral("Waiting for Dispensing");
            showOnly(s.marks, kCardMarks840, Q1);
        } else if (s2 != '2') {
            d.texts << QStringLiteral("Waiting for Dispensing");
            s.dispenseAllowed = true;
        }
        break;
    case '1':
        d.texts << QStringLiteral("Card Is Dispensing");
        if (counting)
            s.dispenseAllowed = false;
        else
            showOnly(s.marks, kCardMarks840, Q2);
        break;
    case '2':
        d.texts << QStringLiteral("Waiting for Card to be Taken");
        if (counting)
            s.dispenseAllowed = false;
        showOnly(s.marks, kCardMarks840, Q3);
        break;
    case '3':
        d.texts << QStringLiteral("Card Dispense Success");
        s.marks &= ~kCardMarks840;
        if (!counting)
            break;
        s.dispenseAllowed = true;
        if (s.dispensePending && !s.successCounted) {
            d.dispensed = 1;
            s.dispensePending = false;
            d.rateChanged = true;
            s.successCounted = true;
            d.dispenseSucceeded = s.autoRunning;
        }
        break;
    case '4':
        d.texts << QStringLiteral("Card Dispensing Error");
        s.marks &= ~kCardMarks840;
        if (!counting)
            break;
        s.dispenseAllowed = false;
        if (s.dispensePending) {
            d.errors = 1;
            s.dispensePending = false;
            d.rateChanged = true;
            endAutoTest(d);
        }
        s.successCounted = false;
        break;
    case '5':
        d.texts << QStringLiteral("Card Pre-dispense");
        if (counting)
            s.dispenseAllowed = false;
        break;
    case '6':
        d.texts << QStringLiteral("Dispensing Command can not be Executed");
        if (!counting)
            break;
        s.dispenseAllowed = false;
        abandonPending(d);
        break;
    default:
        break;
    }
}

void decodeS2(char s2, bool counting, Decoded840 &d) {
    State840 &s = d.state;
    switch (s2) {
    case '0':
        s.marks |= kStackerMarks;
        break;
    case '1':
        d.texts << QStringLiteral("Stacker Is Pre-empty");
        s.marks = (s.marks & ~Marks(StackerUpper)) | StackerLower;
        break;
    case '2':
        d.texts << kStackerEmpty;
        s.marks &= ~kStackerMarks;
        if (!counting)
            break;
        s.dispenseAllowed = false;
        abandonPending(d);
        break;
    default:
        break;
    }
}

Decoded840 decode840(const QByteArray &s1s2, const State840 &state, bool counting) {
    Decoded840 d;
    d.state = state;
    if (s1s2.size() < 2)
        return d;
    const char s1 = s1s2.at(0), s2 = s1s2.at(1);
    decodeS1(s1, s2, counting, d);
    decodeS2(s2, counting, d);
    if (counting && s1 == '0' && s2 != '2') {
        d.state.marks &= ~kCardMarks840;
        if (s2 == '0' || s2 == '1')
            d.state.marks |= Q1;
    }
    return d;
}

} // namespace

Decoded840 decodeStatus840Display(const QByteArray &s1s2, const State840 &state) {
    return decode840(s1s2, state, false);
}

Decoded840 decodeStatus840Counting(const QByteArray &s1s2, const State840 &state) {
    return decode840(s1s2, state, true);
}

QString errorRate820(int errors, int commands) {
    // std::nearbyint rounds halves to even in the default rounding mode.
    const double hundredths = std::nearbyint(double(errors) / double(commands) * 10000.0);
    return QString::number(hundredths / 100.0, 'g', 15);
}

QString errorRate840(int errors, int commands) {
    return QString::number(double(errors) / double(commands) * 100.0, 'g', 15);
}

} // namespace talvex::dispenser

#pragma once

#include <QString>
#include <QStringList>

namespace talvex::dispenser {

// Marks of the dispenser pictures. Both models share the two stacker marks;
// the KVR-820 has six card positions P1-P6, the KVR-840 three card marks Q1-Q3.
enum Mark : unsigned {
    StackerUpper = 1u << 0, // cards above the pre-empty point
    StackerLower = 1u << 1, // cards in the stacker
    P1 = 1u << 2,
    P2 = 1u << 3,
    P3 = 1u << 4,
    P4 = 1u << 5,
    P5 = 1u << 6,
    P6 = 1u << 7,
    Q1 = 1u << 8,
    Q2 = 1u << 9,
    Q3 = 1u << 10,
};
using Marks = unsigned;
constexpr Marks kStackerMarks = StackerUpper | StackerLower;
constexpr Marks kPositionMarks820 = P1 | P2 | P3 | P4 | P5 | P6;
constexpr Marks kCardMarks840 = Q1 | Q2 | Q3;

// The KVR-820 window state that its status characters read and change.
struct State820 {
    bool dispenseRunning = false;
    bool captureRunning = false;
    bool dispenseDone = false;
    bool captureDone = false;
    bool dispenseAllowed = false;
    bool captureAllowed = false;
    bool autoRunning = false;
    int fcTarget = 0; // the last "FC" position code, 0-6
    Marks marks = 0;  // visible picture marks
    bool operator==(const State820 &) const = default;
};

// What one decoding tells the window to do besides showing texts.
struct Decoded820 {
    QStringList texts;
    State820 state;
    int dispensed = 0; // added to Label8206
    int dispenseErrors = 0;
    int captured = 0;
    int captureErrors = 0;
    bool dispenseRateChanged = false; // recompute Label8208
    bool captureRateChanged = false;  // recompute Label8209
    bool disableButtons = false;      // Dispense and Capture
    bool dispenseSucceeded = false;   // advance the automatic test
    bool captureSucceeded = false;
    bool stopAutoTest = false;
};

// "RF": characters A, B, C. Counters, allowed flags of rows A and B and the
// automatic test are the "AP" decoder's only.
Decoded820 DecodeStatus820Short(const QByteArray &abc, const State820 &state);
// "AP" and the poll: characters Z, A, B, C.
Decoded820 DecodeStatus820(const QByteArray &zabc, const State820 &state);

// The position character of an "AP" reply says a card lies in the channel.
bool cardInChannel820(char position);

struct State840 {
    bool dispenseAllowed = false;
    bool dispensePending = false;
    bool successCounted = false;
    bool autoRunning = false;
    Marks marks = 0;
    bool operator==(const State840 &) const = default;
};

struct Decoded840 {
    QStringList texts;
    State840 state;
    int dispensed = 0; // added to Label8406
    int errors = 0;    // added to Label8407
    bool rateChanged = false;
    bool dispenseSucceeded = false; // a counted success while the test runs
    bool stopAutoTest = false;
};

// "Status(AP)": texts and picture only.
Decoded840 decodeStatus840Display(const QByteArray &s1s2, const State840 &state);
// The poll: texts, picture, flags, counters and the automatic test.
Decoded840 decodeStatus840Counting(const QByteArray &s1s2, const State840 &state);

// Error rates as the counters show them. The KVR-820's is rounded to two
// decimals, halves to even; the KVR-840's keeps every digit.
QString errorRate820(int errors, int commands);
QString errorRate840(int errors, int commands);

} // namespace talvex::dispenser

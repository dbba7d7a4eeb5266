#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

namespace talvex::run {

// What stands at the other end of the line: decides what "status" and
// "reset" mean in a script.
enum class DeviceKind { Reader, Dispenser820, Dispenser840 };

enum class StepKind {
    Open,      // open the line named on the command line
    Close,     // close it
    Detect,    // reset "0" and read the model out of the reply
    Model,     // take the named model without asking the reader
    Reader,    // one reader command; body laid out at parse time where it can be
    Send,      // a raw body, framed and exchanged
    Dispenser, // one dispenser command
    Expect,    // a check on the last reply's decoded fields
    Repeat,    // the steps in braces, count times
    Wait,      // a pause on the line
};

// The reader commands a script names.
enum class ReaderOp {
    Reset, // pm: the parameter code the option gives
    Status,
    Sensors,
    ReadTracks, // body complete
    CardType,
    RfRead,   // keyCheck and body
    Apdu,     // data: the APDU; the protocol byte is known only at run time
    CpuReset, // body complete
    MemRead,  // body complete
    MemWrite, // body complete
};

enum class DispenserOp { Reset, Status, Dispense, DispenseDoor, Capture };

enum class ExpectOp { Equal, NotEqual, Matches };

struct Step {
    StepKind kind = StepKind::Open;
    int line = 0;
    int column = 0;
    QString text; // the step as written, without its comment

    ReaderOp readerOp = ReaderOp::Status;
    DispenserOp dispenserOp = DispenserOp::Status;
    QByteArray body;     // reader body, the check of rf-read, or a send's body
    QByteArray keyCheck; // rf-read: the key check that goes first
    QByteArray data;     // apdu bytes
    char pm = '0';       // reset parameter code

    QString field; // expect
    ExpectOp op = ExpectOp::Equal;
    QString value;

    QString model; // model
    int count = 0; // repeat
    int ms = 0;    // wait
    std::vector<Step> steps;
};

struct Script {
    QString file;
    std::vector<Step> steps;
};

// A script that cannot run: where and why, as one line "FILE:LINE:COLUMN: why".
struct ScriptError {
    QString file;
    int line = 0;
    int column = 0;
    QString message;
    QString text() const;
};

// The fields an expectation may name.
const QStringList &expectFields();

// Reads a whole script. Nothing is sent before a script parsed whole, so every
// fault of the text is found here: an unknown step, a bad parameter, a brace
// that does not close, bytes that are no text.
std::variant<Script, ScriptError> parseScript(const QByteArray &source, const QString &file,
                                              DeviceKind device);

} // namespace talvex::run

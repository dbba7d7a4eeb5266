#pragma once

#include "run/script.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace talvex::link {
class SerialComm;
}

namespace talvex::run {

class DispenserAdapter;

// Exit statuses of talvex-run.
constexpr int kAllHeld = 0;
constexpr int kCheckFailed = 1;
constexpr int kScriptOrPortError = 2;

// One step as it ran, for the printout and the report.
struct StepRecord {
    int line = 0;
    QString text;
    bool passed = true;
    QString failure; // what was expected and what came, or what went wrong
    QString output;  // the decoded reply
    qint64 ms = 0;
};

// Runs a parsed script against the device behind a port number, awaiting the
// same link the windows use. Boxes the link raises are taken as the step's
// result (field "box"), never shown.
class Runner {
public:
    struct Line {
        int port = 1; // the port number the device is mapped behind
        int baud = 9600;
        DeviceKind device = DeviceKind::Reader;
        QByteArray address = "15"; // KVR-840
    };

    Runner(const Script &script, Line line);
    ~Runner();
    Runner(const Runner &) = delete;
    Runner &operator=(const Runner &) = delete;

    // Each finished step, as it ends.
    void setStepListener(std::function<void(const StepRecord &)> listener) {
        m_listener = std::move(listener);
    }
    // Traffic lines of each exchange ("SD: ..."), for --verbose.
    void setTrafficListener(std::function<void(const QString &)> listener) {
        m_traffic = std::move(listener);
    }

    // Runs the whole script; the exit status.
    QCoro::Task<int> run();

    // Ends the run at once (an operator's Ctrl-C): the step in progress is
    // abandoned and recorded as failed with reason, and run() returns 1.
    void interrupt(const QString &reason);

    const std::vector<StepRecord> &records() const { return m_records; }
    // Why the run stopped early, if it did.
    QString stopReason() const { return m_stop; }

private:
    enum class Outcome { Go, Stop };
    QCoro::Task<Outcome> runSteps(const std::vector<Step> &steps);
    QCoro::Task<Outcome> runStep(const Step &step);
    QCoro::Task<bool> readerStep(const Step &step);
    QCoro::Task<bool> dispenserStep(const Step &step);
    QCoro::Task<bool> exchange(QByteArray body);
    bool judge(const Step &step, QString &failure) const;
    bool lineLost() const;

    const Script &m_script;
    Line m_line;
    std::unique_ptr<link::SerialComm> m_port;
    struct Context;
    std::unique_ptr<Context> m_ctx;
    std::unique_ptr<DispenserAdapter> m_dispenser;
    QString m_model;
    QMap<QString, QString> m_fields; // the decoded fields of the last device step
    QByteArray m_reply;
    int m_replyLength = 0;
    std::vector<StepRecord> m_records;
    std::function<void(const StepRecord &)> m_listener;
    std::function<void(const QString &)> m_traffic;
    QString m_stop;
    int m_status = kAllHeld;
    bool m_interrupted = false;
    const Step *m_current = nullptr;
};

// "line 3: expected status = card-at-ic, came no-card" and friends.
QString describeExpect(const Step &step);

} // namespace talvex::run

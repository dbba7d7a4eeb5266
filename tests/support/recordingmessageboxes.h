#pragma once

#include "link/messages.h"

#include <QList>

namespace talvex::testing {

// Records every message box and answers from a queue (OK when it is empty).
// Installs itself for its lifetime.
class RecordingMessageBoxes final : public link::MessageBoxes {
public:
    RecordingMessageBoxes() { link::setMessageBoxes(this); }
    ~RecordingMessageBoxes() override { link::setMessageBoxes(nullptr); }

    link::MsgAnswer show(const link::MessageRequest &request) override
    {
        shown.append(request);
        return answers.isEmpty() ? link::MsgAnswer::Ok : answers.takeFirst();
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &r : shown)
            out << r.text;
        return out;
    }

    QList<link::MessageRequest> shown;
    QList<link::MsgAnswer> answers;
};

} // namespace talvex::testing

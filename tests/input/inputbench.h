#pragma once

// Bad text typed into the reader window and its dialogs: a reader window set
// up with a scripted KVR-690 that answers every command.

#include "link/blockon.h"
#include "support/fakeclock.h"
#include "support/recordingmessageboxes.h"
#include "support/scriptedbackend.h"
#include "support/scripteddialogs.h"
#include "support/scriptedreader.h"
#include "typing.h"

#include "link/frame.h"
#include "link/portmap.h"
#include "shell/readermain.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QtTest>

namespace talvex::testing {

struct ReaderBench {
    static constexpr int kPort = 9;

    ReaderBench() {
        reader.replyTo = [](const QByteArray &command) -> std::optional<QByteArray> {
            const QByteArray body = command.mid(3, command.size() - 5);
            return link::buildReaderFrame(body == "00" ? QByteArray("P0KVR690 V3.1")
                                                       : body.left(2) + "Y");
        };
        link::portmap::mapBackend(kPort, [this] {
            auto backend = std::make_unique<ScriptedBackend>(clock);
            line = backend.get();
            line->onWrite = [this](const QByteArray &w, ScriptedBackend &l) {
                reader.respond(w, l);
            };
            return backend;
        });
        window.readerPort().setCommPort(kPort);
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
        link::blockOn(window.DetectReaderModel());
        boxes.shown.clear();
        writesBefore = line->writes().size();
    }
    ~ReaderBench() { link::portmap::unmap(kPort); }

    QByteArray sent() const {
        QByteArray out;
        for (const QByteArray &w : line->writes().mid(writesBefore))
            out += w;
        return out;
    }
    QStringList shown() const {
        QStringList out;
        for (const auto &r : boxes.shown)
            out << shownBox(r);
        return out;
    }

    // Runs the row; a dialog is opened by its button on the reader window after
    // the clicks that make the button open it (readerSteps).
    void run(const InputRow &row, const char *opener = nullptr,
             const QStringList &readerSteps = {}) {
        const auto type = [&row](QWidget &w) {
            act(w, row.before);
            enter(w, QString::fromLatin1(row.box), row.text);
            child<QAbstractButton>(w, row.press)->click();
        };
        if (!opener) {
            type(window);
            return;
        }
        act(window, readerSteps);
        boxes.shown.clear();
        dialogs.steps.append([&](QDialog &d) {
            type(d);
            return int(QDialog::Rejected);
        });
        child<QAbstractButton>(window, opener)->click();
        QCOMPARE(dialogs.classes.size(), 1);
        QCOMPARE(dialogs.classes.first().section(QStringLiteral("::"), -1),
                 QString::fromLatin1(row.window));
    }

    // The window still answers: the command line sends the status query.
    bool stillUsable() {
        boxes.shown.clear();
        const qsizetype before = line->writes().size();
        child<QLineEdit>(window, "CommandStr")->setText(QStringLiteral("31 30"));
        child<QAbstractButton>(window, "ExuteCommandBtn")->click();
        const QList<QByteArray> writes = line->writes().mid(before);
        return boxes.shown.isEmpty() && !writes.isEmpty() &&
               writes.first() == QByteArray::fromHex("02000231300302");
    }

    FakeClock clock;
    link::ScopedClock scopedClock{clock};
    ScriptedReader reader;
    ScriptedBackend *line = nullptr;
    qsizetype writesBefore = 0;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    shell::ReaderMain window;
};

} // namespace talvex::testing

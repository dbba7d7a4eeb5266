#pragma once

// A contactless tab on a real pseudo-terminal with a simulated reader behind
// it, holding the card the test presents.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "link/exchange.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/readersim.h"

#include <QApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QtTest>

namespace talvex::testing {

constexpr int kRfBenchPort = 17;

// The reader window's context, keeping what the status line was told.
class StatusLinkState : public link::ReaderLinkState {
public:
    using link::ReaderLinkState::ReaderLinkState;
    void showStatus(const QString &text) override { statusLine.append(text); }
    QStringList statusLine;
};

template <typename Tab> class RfBench {
public:
    explicit RfBench(sim::ReaderModel model = sim::ReaderModel::Kvr690)
        : reader(model, 9600, sim::Transport::Pty) {
        // Buttons take mouse clicks only when shown.
        tab.show();
        reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            if (d == sim::Direction::FromProgram) {
                QMutexLocker lock(&m_mutex);
                m_fromProgram += bytes;
            }
        });
        QString error;
        started = reader.start(&error);
        if (!started) {
            qWarning("simulated reader did not start: %s", qPrintable(error));
            return;
        }
        reader.mapToPort(kRfBenchPort);
        port.setCommPort(kRfBenchPort);
        port.setPortOpen(true);
        state.m_portSetUp = true;
    }
    ~RfBench() {
        if (port.PortOpen())
            port.setPortOpen(false);
        link::portmap::unmap(kRfBenchPort);
    }

    void present(sim::RfChip chip) {
        sim::SimCard card;
        card.kind = sim::CardKind::Contactless;
        card.contactless = sim::ContactlessCard::fresh(chip);
        reader.setCard(card);
    }
    // The command frames the program sent since the last call.
    QList<QByteArray> takeFrames() {
        QMutexLocker lock(&m_mutex);
        QList<QByteArray> frames;
        QByteArray bytes = m_fromProgram;
        m_fromProgram.clear();
        while (!bytes.isEmpty()) {
            if (bytes.at(0) != 0x02 || bytes.size() < 3) {
                bytes.remove(0, 1);
                continue;
            }
            const int size = 5 + quint8(bytes.at(1)) * 256 + quint8(bytes.at(2));
            frames.append(bytes.left(size));
            bytes.remove(0, size);
        }
        return frames;
    }
    // The body of the one frame sent since the last call.
    QByteArray sentBody() {
        const QList<QByteArray> frames = takeFrames();
        if (frames.size() != 1)
            return QByteArray("frames sent: ") + QByteArray::number(frames.size());
        return frames.first().mid(3, frames.first().size() - 5);
    }
    QString lastBox() const { return boxes.shown.isEmpty() ? QString() : boxes.shown.last().text; }
    QString lastTitle() const {
        return boxes.shown.isEmpty() ? QString() : boxes.shown.last().title;
    }
    template <typename T = QWidget> T *find(const char *name) const { return child<T>(tab, name); }
    // A click, and the command it started run to its end.
    void click(const char *name) const {
        press(name);
        QVERIFY(settle());
    }
    // A click alone: the command it started may still wait on the reader.
    void press(const char *name) const { QTest::mouseClick(find(name), Qt::LeftButton); }

    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    link::SerialComm port;
    StatusLinkState state{port};
    Tab tab{state};
    sim::ReaderSim reader;
    bool started = false;

private:
    QMutex m_mutex;
    QByteArray m_fromProgram;
};

inline QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace talvex::testing

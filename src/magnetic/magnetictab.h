#pragma once

#include "link/operations.h"
#include "link/recordfile.h"
#include "magnetic/trackparser.h"

#include <QCoro/QCoroTask>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace talvex::reader {
class ReaderWindow;
}

namespace talvex::magnetic {

// What the tab changes in the window around it. Every member may stay empty
// (a tab on its own): there is then nothing to lock.
struct MagneticWindowHooks {
    std::function<void(bool)> setReaderControlEnabled; // FrameComm
    // Every command frame but the automatic test's, and the contact-card tab strip.
    std::function<void()> lockForAutoTest;
    // The frames by model again, FrameComm and the contact-card tab strip.
    std::function<void()> unlockAfterAutoTest;
    std::function<void()> stopRecordingToFile; // CheckRecordToFile
    // The day's log or a track file written, or not: for the status line.
    std::function<void(const link::FileWrite &)> noteFileWrite;
};

// The "MAGNETIC CARD" tab: on-demand track reading ("Read Tracks Data" and
// "Track Data") and the automatic endurance test ("AutoTestMagneticCard") with
// its daily log.
class MagneticTab : public QWidget {
    Q_OBJECT
public:
    explicit MagneticTab(reader::ReaderWindow &reader, QWidget *parent = nullptr);
    ~MagneticTab() override;

    void setWindowHooks(MagneticWindowHooks hooks) { m_hooks = std::move(hooks); }

    QGroupBox *readTracksFrame() const { return m_mcardFrame1; }    // McardFrame1
    QGroupBox *autoTestFrame() const { return m_mcardFrame2; }      // McardFrame2
    QPushButton *readTrackButton() const { return m_readCardComm; } // ReadCardComm
    QPushButton *clearBufferButton() const { return m_clearReaderBuffer; }
    QCheckBox *initiativeUploadBox() const { return m_readCardType523; } // ReadCardType523
    bool autoTestRunning() const { return m_running; }

    // Track reading. The handlers that talk to the reader are awaited; the
    // buttons start them on the reader's line through operations().
    QCoro::Task<> ReadCardComm_Click();
    void ReadTrackTime_Timer();
    void MCARDSave_Click();
    void MCleartrack_Click();
    QCoro::Task<> ClearReaderBuffer_Click();
    void clearTrackDisplay();

    // The automatic test. Each timer's tick starts its step on the line as a
    // timer start: a tick that finds the line busy is skipped.
    QCoro::Task<> RCommand_Click();
    QCoro::Task<> RsCommand_Click();
    void ReadCardType523_Click();
    void OpenMagFileBtn_Click();
    QCoro::Task<> Timera_Timer();
    QCoro::Task<> Timer634a_Timer();
    QCoro::Task<> Timer634b_Timer();
    QCoro::Task<> Timer523a_Timer();
    QCoro::Task<> Timer523b_Timer();

    // "Stop" as the button does it: the test's step waiting on the line is
    // given up, then the test stops (on the KVR-523 with the reading method).
    void stopAutoTest();

    // The KVR-523 reading method through the ordinary exchange, with this
    // tab's data form and tracks; upload "1" (initiative uploading off) gives
    // the read controls back and closes the test frame on success.
    QCoro::Task<> setMethodOfReading(char upload);
    // The same, started on the reader's line as a click.
    void sendReadingMethod(char upload);

    link::Operations &operations() { return m_operations; }

private:
    struct TrackWidgets {
        QCheckBox *check = nullptr;
        QPlainTextEdit *text = nullptr;
        QLabel *length = nullptr;
        QLabel *readCount = nullptr;
        QLabel *errorCount = nullptr;
        QLabel *errorRate = nullptr;
        QList<QLabel *> errorTypes; // STX, ETX, Parity, LRC, BLANK
    };

    QWidget *buildTrackFrame();
    QWidget *buildAutoTestFrame();

    QString model() const;
    // The mode byte ("0" ASCII, "1" BIN, 00h with neither; sets the
    // BIN-display flag as the window always did) and the track code.
    char modeByte();
    char trackCodeByte() const;
    // The read command body for the window's choices: "E0", mode byte, track code.
    QByteArray readCommandBody();
    // Shows the sections and counts them per track; true when any track said "N".
    bool showTracks(const TrackSections &sections);
    void setReadTrackControlsEnabled(bool on);

    // Automatic test steps and their line handling (magautotest.cpp).
    void lockWindowForTest();
    QCoro::Task<bool> prepareEntryControl(char rear);
    QCoro::Task<> prepareStopPosition();
    QCoro::Task<> prepareReadingMethod();
    QCoro::Task<> ejectAfterRead();
    void countAutoRead(bool anyError);
    bool judgeAutoRead(const QByteArray &reply);
    void logUploadChatter(const QByteArray &got);
    void pollAgainAfter(int ms);
    QCoro::Task<> failStep(); // comm failure box, an empty line, the test stops
    QCoro::Task<std::optional<QByteArray>> directExchange(QByteArray body, int delayAfterEnqMs,
                                                          int minReplyBytes, int replyLimitMs);
    // Starts a step of the test on the reader's line from its timer.
    void startStep(QCoro::Task<> (MagneticTab::*step)());
    void startClick(QCoro::Task<> (MagneticTab::*handler)());
    void startLog();
    void log(const QString &line); // one line of the day's log
    void noteFileWrite(const link::FileWrite &write);

    reader::ReaderWindow &m_reader;
    MagneticWindowHooks m_hooks;

    QGroupBox *m_mcardFrame1 = nullptr;
    QGroupBox *m_mcardFrame2 = nullptr;
    QPushButton *m_readCardComm = nullptr;
    QPushButton *m_clearReaderBuffer = nullptr;
    QRadioButton *m_ascii = nullptr; // MreadOption1
    QRadioButton *m_bin = nullptr;   // MreadOption2
    TrackWidgets m_tracks[3];
    QCheckBox *m_readCardType523 = nullptr;

    QLineEdit *m_lianXuText = nullptr;
    QPushButton *m_rCommand = nullptr;
    QPushButton *m_rsCommand = nullptr;
    QPushButton *m_openMagFileBtn = nullptr;
    QLabel *m_readNumLabel = nullptr;
    QLabel *m_errNumLabel = nullptr;
    QLabel *m_rate = nullptr;

    QTimer *m_readTrackTime = nullptr;
    QTimer *m_timera = nullptr;
    QTimer *m_timer634a = nullptr;
    QTimer *m_timer634b = nullptr;
    QTimer *m_timer523a = nullptr;
    QTimer *m_timer523b = nullptr;

    // Track reading state kept between the read and its parse.
    bool m_binDisplay = false;
    QByteArray m_lastReply;
    int m_lastReplyLength = 0;

    // Automatic test state.
    bool m_running = false;
    qint64 m_target = 0;
    quint8 m_lastStatus = 0;
    qint64 m_pollCount = 0;
    bool m_quiet = false;
    // Bytes of line noise written to the day's log by the uploading watch in
    // this run; beyond kChatterLogLimit they are only counted.
    static constexpr qint64 kChatterLogLimit = 4096;
    qint64 m_chatterLogged = 0;
    bool m_chatterCutNoted = false;

    // Last member: going first, it gives up a command still waiting before
    // any widget it uses goes.
    link::Operations m_operations;
};

} // namespace talvex::magnetic

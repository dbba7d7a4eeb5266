#pragma once

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

    // Track reading.
    void ReadCardComm_Click();
    void ReadTrackTime_Timer();
    void MCARDSave_Click();
    void MCleartrack_Click();
    void ClearReaderBuffer_Click();
    void clearTrackDisplay();

    // The automatic test.
    void RCommand_Click();
    void RsCommand_Click();
    void ReadCardType523_Click();
    void OpenMagFileBtn_Click();
    void Timera_Timer();
    void Timer634a_Timer();
    void Timer634b_Timer();
    void Timer523a_Timer();
    void Timer523b_Timer();

    // The KVR-523 reading method through the ordinary exchange, with this
    // tab's data form and tracks; upload "1" (initiative uploading off) gives
    // the read controls back and closes the test frame on success.
    QCoro::Task<> sendReadingMethod(char upload);

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
    bool prepareEntryControl(char rear);
    void prepareStopPosition();
    void prepareReadingMethod();
    void ejectAfterRead();
    void countAutoRead(bool anyError);
    void pollAgainAfter(int ms);
    void failStep(); // comm failure box, an empty line, the test stops
    std::optional<QByteArray> directExchange(const QByteArray &body, int delayAfterEnqMs,
                                             int minReplyBytes, int replyLimitMs);
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
    bool m_readBusy = false;
    bool m_binDisplay = false;
    QByteArray m_lastReply;
    int m_lastReplyLength = 0;

    // Automatic test state.
    bool m_running = false;
    qint64 m_target = 0;
    quint8 m_lastStatus = 0;
    qint64 m_pollCount = 0;
    bool m_quiet = false;
};

} // namespace talvex::magnetic

// The program's text files in places that refuse them: a folder that is a
// plain file (refused to every user, root included) and the full device. No
// message box beyond the usual ones, the program goes on, the status line
// names the file and the reason, and clears once the same file takes a write
// again. The windows talk to simulated devices over pseudo-terminals.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "link/blockon.h"
#include "link/portmap.h"
#include "link/recordfile.h"
#include "magnetic/magnetictab.h"
#include "shell/readermain.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"
#include "ui/seams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace talvex;
using testing::child;

namespace {

enum class TextFile { RecordStart, RecordAppend, MagneticLog, SaveData, SaveTo };

// The file's path; arm() makes that very path refuse writes, repair() undoes it.
struct Trap {
    Trap(bool fullDevice, const QString &name) : m_full(fullDevice), m_name(name) { repair(); }
    QString folder() const { return m_dir.filePath(QStringLiteral("folder")); }
    QString path() const { return folder() + QLatin1Char('/') + m_name; }
    void arm() {
        if (m_full)
            QFile::remove(path()), QFile::link(QStringLiteral("/dev/full"), path());
        else
            QDir(folder()).removeRecursively(), QFile(folder()).open(QIODevice::WriteOnly);
    }
    void repair() {
        QFile::remove(m_full ? path() : folder());
        QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    }

    QTemporaryDir m_dir;
    bool m_full;
    QString m_name;
};

struct SaveDialog final : ui::FileDialogs {
    SaveDialog() { ui::setFileDialogs(this); }
    ~SaveDialog() override { ui::setFileDialogs(nullptr); }
    QString openFile(const ui::OpenFileRequest &) override { return {}; }
    QString saveFile(const ui::SaveFileRequest &) override { return answer; }
    QString answer;
};

// The reader window on a simulated KVR-634 (COM5), or the dispenser window on
// a simulated KVR-820 (COM6), set up.
struct Rig {
    explicit Rig(bool reader) : isReader(reader) {
        QString error;
        if (reader) {
            QVERIFY2(readerSim.start(&error), qPrintable(error));
            readerSim.mapToPort(5);
            readerWindow.readerPort().setCommPort(5);
            readerWindow.readerPort().setPortOpen(true);
            readerWindow.setPortSetUp(true);
            link::blockOn(readerWindow.DetectReaderModel());
            QCOMPARE(readerWindow.currentModel(), QStringLiteral("KVR-634"));
        } else {
            QVERIFY2(dispenserSim.start(&error), qPrintable(error));
            dispenserSim.mapToPort(6);
            dialogs.steps.append([](QDialog &d) {
                child<QComboBox>(d, "PortCombo")->setCurrentText(QStringLiteral("COM6"));
                child<QPushButton>(d, "Command1")->click();
                talvex::testing::settle(); // the detection that "OK" started
                return d.result();
            });
            dispenserWindow.kvr820()->KVR820Setup_Click();
        }
        boxes.shown.clear();
    }
    ~Rig() {
        readerWindow.IRCLOSECOM_Click();
        dispenserWindow.kvr820()->KVR820Close_Click();
        link::portmap::clear();
    }
    QString statusLine() const {
        return isReader ? readerWindow.lineReason() : dispenserWindow.lineReason();
    }
    // A status query and its reply: the line is as usable as ever.
    bool statusAnswered() {
        if (!isReader) {
            dispenserWindow.ClearData_Click();
            // Through the button, so that a status poll on the line is waited
            // for rather than crossed.
            child<QPushButton>(*dispenserWindow.kvr820(), "KVR820RF")->click();
            if (!talvex::testing::settle())
                return false;
            return dispenserWindow.trafficLog().contains(QStringLiteral("RD:"));
        }
        readerWindow.ClearSDTDText_Click();
        child<QLineEdit>(readerWindow, "CommandStr")->setText(QStringLiteral("31 30"));
        link::blockOn(readerWindow.ExuteCommandBtn_Click());
        return readerWindow.trafficLog().contains(QStringLiteral("RD: 02 00 "));
    }
    void toggleRecording() {
        child<QCheckBox>(readerWindow, "CheckRecordToFile")->setChecked(false);
        child<QCheckBox>(readerWindow, "CheckRecordToFile")->setChecked(true);
    }
    void write(TextFile file) {
        magnetic::MagneticTab &tab = *readerWindow.magneticTab();
        switch (file) {
        case TextFile::RecordStart:
            return toggleRecording();
        case TextFile::RecordAppend:
            return void(statusAnswered());
        case TextFile::MagneticLog:
            child<QLineEdit>(tab, "LianXuText")->setText(QStringLiteral("1"));
            link::blockOn(tab.RCommand_Click());
            link::blockOn(tab.Timera_Timer());
            link::blockOn(tab.RsCommand_Click());
            return;
        case TextFile::SaveData:
            return tab.MCARDSave_Click();
        case TextFile::SaveTo:
            return dispenserWindow.SaveTo_Click();
        }
    }

    bool isReader;
    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    sim::ReaderSim readerSim{sim::ReaderModel::Kvr634};
    sim::DispenserSim dispenserSim{sim::DispenserModel::Kvr820};
    shell::ReaderMain readerWindow;
    dispenser::Fakamain dispenserWindow;
};

} // namespace

Q_DECLARE_METATYPE(TextFile)

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void refusedFilesAreNamedAndTheProgramGoesOn_data();
    void refusedFilesAreNamedAndTheProgramGoesOn();
};

void TestFiles::refusedFilesAreNamedAndTheProgramGoesOn_data() {
    QTest::addColumn<TextFile>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written"); // how the file starts once it can be written
    const QString date = link::fileDateText(QDate::currentDate());
    const auto add = [](const char *row, TextFile file, const QString &name,
                        const QString &written) {
        for (const char *trap : {"folder is a file", "full device"})
            QTest::addRow("%s, %s", row, trap) << file << name << written;
    };
    add("record file started", TextFile::RecordStart, "KVR_Record" + date + ".txt",
        "这个文件是KVR-634要求保留历史记录时产生的文件\r\n\r\n\r\n");
    add("record file appended", TextFile::RecordAppend, "KVR_Record" + date + ".txt",
        "SD: 02 00 02 31 30 03 02 \r\nRD: 06\r\nSD: 05\r\nRD: 02 00 ");
    add("magnetic log", TextFile::MagneticLog, "MagAuto" + date + ".txt",
        "This file is generated by magnetic automated test log files by KVR-634\r\n\r\n\r\n"
        "SD: 02 00 02 31 30 03 02 \r\n");
    add("Save Data", TextFile::SaveData, "tracks.TXT", "Track1=\r\nTrack2=\r\nTrack3=");
    add("Save to", TextFile::SaveTo, "trace.TXT", "SD: 02 52 46 03 ");
}

void TestFiles::refusedFilesAreNamedAndTheProgramGoesOn() {
    QFETCH(TextFile, file);
    QFETCH(QString, name);
    QFETCH(QString, written);
    const bool full = QByteArray(QTest::currentDataTag()).endsWith("full device");

    Trap trap(full, name);
    link::setRecordFolder(trap.folder());
    SaveDialog saveDialog;
    saveDialog.answer = trap.path();
    Rig rig(file != TextFile::SaveTo);
    if (QTest::currentTestFailed())
        return;
    if (file == TextFile::RecordAppend)
        rig.toggleRecording();
    const QStringList partBoxes = file == TextFile::SaveData || file == TextFile::SaveTo
                                      ? QStringList{QStringLiteral("Save As...")}
                                      : QStringList{};

    trap.arm();
    rig.write(file);
    QCOMPARE(rig.statusLine(), trap.path() + QStringLiteral(" was not written: ") +
                                   (full ? QStringLiteral("No space left on device")
                                         : QStringLiteral("Not a directory")));
    QVERIFY(rig.statusAnswered());
    QStringList titles;
    for (const link::MessageRequest &box : std::as_const(rig.boxes.shown))
        titles << box.title;
    QCOMPARE(titles, partBoxes);

    trap.repair();
    rig.write(file);
    QCOMPARE(rig.statusLine(), QString());
    QFile result(trap.path());
    QVERIFY(result.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(result.readAll());
    QVERIFY2(text.startsWith(written), qPrintable(text));
    link::setRecordFolder(QString());
}

QTEST_MAIN(TestFiles)
#include "test_files.moc"

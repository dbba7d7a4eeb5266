// The program's text files in places that refuse them: a folder that is a
// plain file (refused to every user, root included) and the full device. No
// message box beyond the usual ones, the program goes on, the window's status
// line names the file and the reason, and it clears once the same file can be
// written again. The windows talk to the simulated devices over real
// pseudo-terminals.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
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
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace talvex;
using testing::child;

namespace {

enum class TextFile { RecordStart, RecordAppend, MagneticLog, SaveData, SaveTo };
enum class Place { FolderIsAFile, FullDevice };

constexpr int kReaderPort = 5;
constexpr int kDispenserPort = 6;

QString readSystemText(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    QStringDecoder decoder(QStringConverter::System);
    return decoder.decode(file.readAll());
}

// One file name in a folder of the temporary dir; arm() makes that very path
// refuse writes, repair() gives it back.
class Trap {
public:
    Trap(Place place, const QString &name) : m_place(place), m_name(name) {
        QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    }
    QString folder() const { return m_dir.filePath(QStringLiteral("folder")); }
    QString path() const { return folder() + QLatin1Char('/') + m_name; }

    void arm() {
        if (m_place == Place::FolderIsAFile) {
            QDir(folder()).removeRecursively();
            QFile plain(folder());
            QVERIFY(plain.open(QIODevice::WriteOnly));
        } else {
            QFile::remove(path());
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path()));
        }
    }
    void repair() {
        if (m_place == Place::FolderIsAFile) {
            QVERIFY(QFile::remove(folder()));
            QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
        } else {
            QVERIFY(QFile::remove(path()));
        }
    }

private:
    QTemporaryDir m_dir;
    Place m_place;
    QString m_name;
};

struct SaveDialog final : ui::FileDialogs {
    SaveDialog() { ui::setFileDialogs(this); }
    ~SaveDialog() override { ui::setFileDialogs(nullptr); }
    QString openFile(const ui::OpenFileRequest &) override { return {}; }
    QString saveFile(const ui::SaveFileRequest &) override { return answer; }
    QString answer;
};

// The reader window on a simulated KVR-634, the model known.
struct ReaderRig {
    ReaderRig() {
        QString error;
        QVERIFY2(reader.start(&error), qPrintable(error));
        reader.mapToPort(kReaderPort);
        link::SerialComm &port = window.readerPort();
        port.setCommPort(kReaderPort);
        port.setSettings(QStringLiteral("9600n81"));
        port.setPortOpen(true);
        window.setPortSetUp(true);
        window.DetectReaderModel();
        QCOMPARE(window.currentModel(), QStringLiteral("KVR-634"));
        boxes.shown.clear();
    }
    ~ReaderRig() {
        window.IRCLOSECOM_Click();
        link::portmap::unmap(kReaderPort);
    }
    // The status query from the command line; true when its reply came.
    bool statusQueryAnswered() {
        window.ClearSDTDText_Click();
        child<QLineEdit>(window, "CommandStr")->setText(QStringLiteral("31 30"));
        window.ExuteCommandBtn_Click();
        return window.trafficLog().contains(QStringLiteral("RD: 02 00 "));
    }
    void toggleRecording() {
        auto *box = child<QCheckBox>(window, "CheckRecordToFile");
        box->setChecked(false);
        box->setChecked(true);
    }
    void autoTestPollOnce() {
        magnetic::MagneticTab &tab = *window.magneticTab();
        child<QLineEdit>(tab, "LianXuText")->setText(QStringLiteral("1"));
        tab.RCommand_Click();
        tab.Timera_Timer();
        tab.RsCommand_Click();
    }

    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    sim::ReaderSim reader{sim::ReaderModel::Kvr634};
    shell::ReaderMain window;
};

// The dispenser window on a simulated KVR-820, its port set up.
struct DispenserRig {
    DispenserRig() {
        QString error;
        QVERIFY2(machine.start(&error), qPrintable(error));
        machine.mapToPort(kDispenserPort);
        dialogs.steps.append([](QDialog &d) {
            child<QComboBox>(d, "PortCombo")->setCurrentText(QStringLiteral("COM6"));
            child<QPushButton>(d, "Command1")->click();
            return d.result();
        });
        window.kvr820()->KVR820Setup_Click();
        QVERIFY(window.kvr820()->port().PortOpen());
        boxes.shown.clear();
    }
    ~DispenserRig() {
        window.kvr820()->KVR820Close_Click();
        link::portmap::unmap(kDispenserPort);
    }
    bool statusAnswered() {
        window.ClearData_Click();
        window.kvr820()->KVR820RF_Click();
        return window.trafficLog().contains(QStringLiteral("RD:"));
    }

    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    sim::DispenserSim machine{sim::DispenserModel::Kvr820};
    dispenser::Fakamain window;
};

QString dayName(const char *prefix) {
    return QLatin1String(prefix) + link::fileDateText(QDate::currentDate()) +
           QStringLiteral(".txt");
}

} // namespace

Q_DECLARE_METATYPE(TextFile)
Q_DECLARE_METATYPE(Place)

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void refusedFilesAreNamedAndTheProgramGoesOn_data();
    void refusedFilesAreNamedAndTheProgramGoesOn();
};

void TestFiles::refusedFilesAreNamedAndTheProgramGoesOn_data() {
    QTest::addColumn<TextFile>("file");
    QTest::addColumn<Place>("place");
    QTest::addColumn<QString>("reason");
    const struct {
        const char *name;
        TextFile file;
    } files[] = {
        {"record file started", TextFile::RecordStart},
        {"record file appended", TextFile::RecordAppend},
        {"magnetic log", TextFile::MagneticLog},
        {"Save Data", TextFile::SaveData},
        {"Save to", TextFile::SaveTo},
    };
    for (const auto &f : files) {
        QTest::addRow("%s, folder is a file", f.name)
            << f.file << Place::FolderIsAFile << QStringLiteral("Not a directory");
        QTest::addRow("%s, full device", f.name)
            << f.file << Place::FullDevice << QStringLiteral("No space left on device");
    }
}

void TestFiles::refusedFilesAreNamedAndTheProgramGoesOn() {
    QFETCH(TextFile, file);
    QFETCH(Place, place);
    QFETCH(QString, reason);

    SaveDialog saveDialog;
    const bool reader = file != TextFile::SaveTo;
    const QString name = file == TextFile::MagneticLog ? dayName("MagAuto")
                         : file == TextFile::SaveData  ? QStringLiteral("tracks.TXT")
                         : file == TextFile::SaveTo    ? QStringLiteral("trace.TXT")
                                                       : dayName("KVR_Record");
    Trap trap(place, name);
    link::setRecordFolder(trap.folder());
    saveDialog.answer = trap.path();
    std::unique_ptr<ReaderRig> r;
    std::unique_ptr<DispenserRig> d;
    if (reader)
        r = std::make_unique<ReaderRig>();
    else
        d = std::make_unique<DispenserRig>();
    if (QTest::currentTestFailed())
        return;
    if (file == TextFile::RecordAppend)
        r->toggleRecording();

    const auto write = [&] {
        switch (file) {
        case TextFile::RecordStart:
            r->toggleRecording();
            break;
        case TextFile::RecordAppend:
            r->statusQueryAnswered();
            break;
        case TextFile::MagneticLog:
            r->autoTestPollOnce();
            break;
        case TextFile::SaveData:
            child<QPushButton>(r->window, "MCARDSave")->click();
            break;
        case TextFile::SaveTo:
            d->window.SaveTo_Click();
            break;
        }
    };
    const auto statusLine = [&] {
        return reader ? r->window.lineReason() : d->window.lineReason();
    };
    const auto boxTitles = [&] {
        QStringList titles;
        for (const link::MessageRequest &box : (reader ? r->boxes : d->boxes).shown)
            titles << box.title;
        return titles;
    };
    const QStringList partBoxes = file == TextFile::SaveData || file == TextFile::SaveTo
                                      ? QStringList{QStringLiteral("Save As...")}
                                      : QStringList{};

    trap.arm();
    write();
    QCOMPARE(statusLine(), trap.path() + QStringLiteral(" was not written: ") + reason);
    QCOMPARE(boxTitles(), partBoxes);
    // The line is as usable as before.
    QVERIFY(reader ? r->statusQueryAnswered() : d->statusAnswered());
    QCOMPARE(boxTitles(), partBoxes);

    trap.repair();
    write();
    QCOMPARE(statusLine(), QString());
    const QString text = readSystemText(trap.path());
    switch (file) {
    case TextFile::RecordStart:
        QCOMPARE(text, QStringLiteral("这个文件是KVR-634要求保留历史记录时产生的文件\r\n\r\n\r\n"));
        break;
    case TextFile::RecordAppend:
        QVERIFY2(text.startsWith(QStringLiteral("SD: 02 00 02 31 30 03 02 \r\nRD: 06\r\n")),
                 qPrintable(text));
        break;
    case TextFile::MagneticLog:
        QVERIFY2(text.startsWith(QStringLiteral("This file is generated by magnetic automated "
                                                "test log files by KVR-634\r\n\r\n\r\nSD: ")),
                 qPrintable(text));
        break;
    case TextFile::SaveData:
        QCOMPARE(text, QStringLiteral("Track1=\r\nTrack2=\r\nTrack3="));
        break;
    case TextFile::SaveTo:
        QVERIFY2(text.startsWith(QStringLiteral("SD: 02 52 46 03 ")), qPrintable(text));
        break;
    }
    link::setRecordFolder(QString());
}

QTEST_MAIN(TestFiles)
#include "test_files.moc"

#include "benchsupport.h"

#include "dispenser/kvr820panel.h"
#include "dispenser/kvr840panel.h"
#include "link/recordfile.h"
#include "link/serialcomm.h"
#include "magnetic/magnetictab.h"
#include "shell/readermain.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace talvex::bench {

long residentKb(pid_t pid) {
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                         : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

long heapInUseKb() {
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

link::MsgAnswer CountingBoxes::show(const link::MessageRequest &request) {
    std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
    ++shown;
    return link::MsgAnswer::Ok;
}

int NoDialogs::exec(QDialog &) {
    return QDialog::Rejected;
}

Unattended::Unattended() {
    link::setRecordFolder(m_folder.path());
    link::setMessageBoxes(&boxes);
    ui::setDialogRunner(&m_dialogs);
}

Unattended::~Unattended() {
    link::setMessageBoxes(nullptr);
    ui::setDialogRunner(nullptr);
}

void feedMagneticCards(sim::ReaderSim &reader) {
    reader.setMoveTimeMs(0);
    sim::SimCard card;
    card.kind = sim::CardKind::Magnetic;
    card.magnetic = sim::MagneticCard::testCard();
    reader.setCard(card);
    reader.setFeeder(true, 0);
}

bool runEventsUntil(const std::function<bool()> &done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

bool clickButton(QWidget &window, const char *name) {
    auto *button = window.findChild<QAbstractButton *>(QLatin1String(name));
    if (!button) {
        std::fprintf(stderr, "no button %s\n", name);
        return false;
    }
    button->click();
    return true;
}

bool setUpKvr690(shell::ReaderMain &window, int port) {
    window.readerPort().setCommPort(port);
    try {
        window.readerPort().setPortOpen(true);
    } catch (const link::SerialError &e) {
        std::fprintf(stderr, "reader port: run-time error %d\n", e.number());
        return false;
    }
    window.setPortSetUp(true);
    window.DetectReaderModel();
    // Detection talks to the reader; it may go on after the call returns.
    runEventsUntil([&] { return window.currentModel() == QLatin1String("KVR-690"); }, 15000);
    if (window.currentModel() != QLatin1String("KVR-690")) {
        std::fprintf(stderr, "no KVR-690 detected\n");
        return false;
    }
    return true;
}

void startMagneticTest(shell::ReaderMain &window, int reads) {
    window.findChild<QLineEdit *>(QStringLiteral("LianXuText"))->setText(QString::number(reads));
    clickButton(window, "RCommand");
}

void stopMagneticTest(shell::ReaderMain &window) {
    clickButton(window, "RsCommand");
}

bool magneticTestRunning(shell::ReaderMain &window) {
    return window.magneticTab()->autoTestRunning();
}

int magneticReads(const shell::ReaderMain &window) {
    return window.findChild<QLabel *>(QStringLiteral("ReadNumLabel"))->text().toInt();
}

void setUpPanel(dispenser::Kvr820Panel &panel, int port) {
    panel.port().setCommPort(port);
    panel.port().setPortOpen(true);
    panel.portSetUp();
}

void setUpPanel(dispenser::Kvr840Panel &panel, int port) {
    panel.port().setCommPort(port);
    panel.port().setPortOpen(true);
    panel.portSetUp();
}

void startAutoTest(dispenser::Kvr820Panel &panel, int quantity, bool capture) {
    panel.findChild<QLineEdit *>(QStringLiteral("Text8201"))->setText(QString::number(quantity));
    panel
        .findChild<QRadioButton *>(capture ? QStringLiteral("Option8202_1")
                                           : QStringLiteral("Option8202_0"))
        ->setChecked(true);
    clickButton(panel, "Autofaka820");
}

void startAutoTest(dispenser::Kvr840Panel &panel, int quantity) {
    auto *check = panel.findChild<QCheckBox *>(QStringLiteral("Check8401"));
    if (!check->isChecked())
        check->click();
    panel.findChild<QLineEdit *>(QStringLiteral("Autonumber840"))
        ->setText(QString::number(quantity));
    clickButton(panel, "AutoFaka840");
}

void stopAutoTest(dispenser::Kvr820Panel &panel) {
    clickButton(panel, "Autostop820");
}

void stopAutoTest(dispenser::Kvr840Panel &panel) {
    clickButton(panel, "AutoStop840");
}

bool autoTestRunning(const QWidget &panel, const char *stopButton) {
    return panel.findChild<QWidget *>(QLatin1String(stopButton))->isEnabled();
}

QString labelText(const QWidget &panel, const char *name) {
    return panel.findChild<QLabel *>(QLatin1String(name))->text();
}

namespace {

// The child's side: start the devices, report their paths one a line, then
// live until the parent goes (its end of the pipe closes).
[[noreturn]] void runDevices(const SimChildDevices &devices, int report, int keepAlive) {
    QString error;
    QByteArray paths;
    bool ok = true;
    std::unique_ptr<sim::ReaderSim> reader;
    std::vector<std::unique_ptr<sim::DispenserSim>> dispensers;
    if (devices.magneticReader) {
        reader = std::make_unique<sim::ReaderSim>(sim::ReaderModel::Kvr690);
        feedMagneticCards(*reader);
        ok = reader->start(&error);
        paths += reader->slavePath().toLocal8Bit() + '\n';
    }
    for (auto [wanted, model] : {std::pair{devices.kvr820, sim::DispenserModel::Kvr820},
                                 std::pair{devices.kvr840, sim::DispenserModel::Kvr840}}) {
        if (!wanted || !ok)
            continue;
        auto &d = dispensers.emplace_back(std::make_unique<sim::DispenserSim>(model));
        d->setMechanics(devices.mechanics);
        ok = d->start(&error);
        paths += d->slavePath().toLocal8Bit() + '\n';
    }
    if (!ok)
        paths = "error: " + error.toLocal8Bit() + '\n';
    if (::write(report, paths.constData(), size_t(paths.size())) != paths.size())
        ok = false;
    ::close(report);
    char byte;
    ssize_t n = 0;
    do {
        n = ok ? ::read(keepAlive, &byte, 1) : 0;
    } while (n < 0 && errno == EINTR);
    // Skips the parent's static destructors, which are not the child's.
    _exit(ok ? 0 : 1);
}

} // namespace

SimChild::~SimChild() {
    stop();
}

bool SimChild::start(const SimChildDevices &devices, QStringList *paths) {
    int report[2];
    int keepAlive[2];
    if (::pipe(report) != 0 || ::pipe(keepAlive) != 0) {
        std::perror("pipe");
        return false;
    }
    m_pid = ::fork();
    if (m_pid < 0) {
        std::perror("fork");
        return false;
    }
    if (m_pid == 0) {
        ::close(report[0]);
        ::close(keepAlive[1]);
        runDevices(devices, report[1], keepAlive[0]);
    }
    ::close(report[1]);
    ::close(keepAlive[0]);
    m_keepAlive = keepAlive[1];
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(report[0], buf, sizeof buf)) != 0;) {
        if (n > 0)
            text.append(buf, n);
        else if (errno != EINTR)
            break;
    }
    ::close(report[0]);
    paths->clear();
    for (const QByteArray &line : text.split('\n')) {
        if (!line.isEmpty())
            *paths << QString::fromLocal8Bit(line);
    }
    const qsizetype wanted = qsizetype(devices.magneticReader) + devices.kvr820 + devices.kvr840;
    if (paths->size() != wanted || paths->first().startsWith(QLatin1String("error: "))) {
        std::fprintf(stderr, "simulated devices: %s\n", text.constData());
        stop();
        return false;
    }
    return true;
}

void SimChild::stop() {
    if (m_keepAlive >= 0)
        ::close(m_keepAlive);
    m_keepAlive = -1;
    if (m_pid > 0)
        ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace talvex::bench

#include "screenshots.h"

#include "demodevices.h"
#include "simdevicesdialog.h"

#include "contact/cpucard.h"
#include "contact/samcard.h"
#include "contactless/mifaretab.h"
#include "contactless/typeabtab.h"
#include "dispenser/comportset820.h"
#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "dispenser/kvr840panel.h"
#include "link/exchange.h"
#include "link/operations.h"
#include "link/serialcomm.h"
#include "shell/aboutdialog.h"
#include "shell/comportset.h"
#include "shell/readermain.h"
#include "sim/readersim.h"
#include "ui/seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QTabWidget>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace talvex::app {

namespace {

// Lets the commands that clicks started run to their end, as a user waits for
// a reply before looking: handlers await their devices while the loop runs.
void settleCommands() {
    const QDeadlineTimer until(30000);
    while (link::Operations::runningAnywhere() > 0 && !until.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

// Answers the port dialog as a user who knows where the reader is would.
class SetupScript final : public ui::DialogRunner {
public:
    int exec(QDialog &dialog) override {
        auto *settings = qobject_cast<shell::comportset *>(&dialog);
        if (settings == nullptr)
            return QDialog::Rejected;
        settings->findChild<QComboBox *>(QStringLiteral("PortCombo"))
            ->setCurrentText(QStringLiteral("COM%1").arg(DemoDevices::kReaderPort));
        settings->findChild<QComboBox *>(QStringLiteral("BaudCombo"))
            ->setCurrentText(QStringLiteral("9600 bits/s"));
        settings->findChild<QAbstractButton *>(QStringLiteral("Command1"))->click();
        settleCommands();
        return settings->result();
    }
};

class Saver {
public:
    explicit Saver(const QString &directory) : m_dir(directory) {}

    void save(QWidget &widget, const QString &name) {
        widget.show();
        // Layouts and fonts settle on the first passes of the event loop; this
        // is a one-off tool, not a wait on a device.
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        const QString path = m_dir.filePath(name + QStringLiteral(".png"));
        if (!widget.grab().save(path)) {
            std::fprintf(stderr, "talvex: cannot write %s\n", qPrintable(path));
            m_failed = true;
        }
    }
    bool failed() const { return m_failed; }

private:
    QDir m_dir;
    bool m_failed = false;
};

// Answers a dispenser's port dialog with the port its simulator sits on.
class DispenserSetupScript final : public ui::DialogRunner {
public:
    explicit DispenserSetupScript(int port) : m_port(port) {}
    int exec(QDialog &dialog) override {
        auto *settings = qobject_cast<dispenser::DispenserPortDialog *>(&dialog);
        if (settings == nullptr)
            return QDialog::Rejected;
        settings->findChild<QComboBox *>(QStringLiteral("PortCombo"))
            ->setCurrentText(QStringLiteral("COM%1").arg(m_port));
        settings->findChild<QAbstractButton *>(QStringLiteral("Command1"))->click();
        settleCommands();
        return settings->result();
    }

private:
    int m_port;
};

// Lets the window's timers run for a while, as a user watching would.
void watch(int ms) {
    const QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

void click(QWidget &window, const char *name) {
    if (auto *button = window.findChild<QAbstractButton *>(QString::fromLatin1(name))) {
        button->click();
        settleCommands();
    } else
        std::fprintf(stderr, "talvex: no button %s\n", name);
}

} // namespace

int takeScreenshots(const QString &directory, DemoDevices &devices) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "talvex: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    Saver saver(directory);

    {
        shell::AboutDialog launcher;
        saver.save(launcher, QStringLiteral("launcher"));
        launcher.hide();
    }
    {
        SimDevicesDialog panel(devices.reader(), DemoDevices::kReaderPort, devices.kvr820(),
                               DemoDevices::kKvr820Port, devices.kvr840(),
                               DemoDevices::kKvr840Port);
        saver.save(panel, QStringLiteral("simdevices"));
        panel.hide();
    }
    {
        dispenser::Fakamain dispenserWindow;
        saver.save(dispenserWindow, QStringLiteral("fakamain"));
        // Each model set up, one card dispensed and its status polled.
        DispenserSetupScript at820(DemoDevices::kKvr820Port);
        ui::setDialogRunner(&at820);
        dispenserWindow.kvr820()->KVR820Setup_Click();
        watch(500);
        click(dispenserWindow, "KVR820DC");
        watch(2500);
        saver.save(dispenserWindow, QStringLiteral("fakamain-820"));
        DispenserSetupScript at840(DemoDevices::kKvr840Port);
        ui::setDialogRunner(&at840);
        dispenserWindow.findChild<QTabWidget *>()->setCurrentIndex(1);
        dispenserWindow.kvr840()->KVR840Setup_Click();
        watch(500);
        click(dispenserWindow, "KVR840DC");
        watch(2500);
        saver.save(dispenserWindow, QStringLiteral("fakamain-840"));
        ui::setDialogRunner(nullptr);
        dispenserWindow.kvr820()->KVR820Close_Click();
        dispenserWindow.kvr840()->KVR840Close_Click();
        dispenserWindow.hide();
    }

    shell::ReaderMain readerWindow;
    {
        shell::comportset settings(readerWindow);
        saver.save(settings, QStringLiteral("comportset-folded"));
        settings.AutoLabel_Click();
        click(settings, "Command3");
        saver.save(settings, QStringLiteral("comportset-unfolded"));
        settings.hide();
    }

    SetupScript script;
    ui::setDialogRunner(&script);
    for (sim::ReaderModel model : sim::kAllReaderModels) {
        devices.reader().setModel(model);
        click(readerWindow, "IRCLOSECOM");
        click(readerWindow, "IROpencom");
        const auto *type = readerWindow.findChild<QLabel *>(QStringLiteral("TypeLabel"));
        const QString name = sim::readerModelName(model);
        if (type == nullptr || type->text() != name) {
            std::fprintf(stderr, "talvex: %s was detected as \"%s\"\n", qPrintable(name),
                         type ? qPrintable(type->text()) : "?");
        }
        saver.save(readerWindow, QStringLiteral("readermain-") + name);
    }
    ui::setDialogRunner(nullptr);
    {
        // The contact card windows after a reset and an APDU, with a T=1 card.
        const sim::SimCard before = devices.reader().card();
        devices.reader().setCard(
            sim::contactCpuCard(sim::CardProtocol::T1, sim::CardPlace::IcPosition));
        contact::CPUCARD cpuCard(readerWindow, &readerWindow);
        click(cpuCard, "CPUColdReset");
        click(cpuCard, "SendCmd");
        saver.save(cpuCard, QStringLiteral("cpucard"));
        cpuCard.hide();
        contact::SimCard samCard(readerWindow, &readerWindow);
        click(samCard, "SimReset");
        click(samCard, "SendCmd");
        saver.save(samCard, QStringLiteral("samcard"));
        samCard.hide();
        devices.reader().setCard(before);
    }
    {
        // The contactless tabs after a block read of an S50 card and an APDU to
        // a type A processor card.
        const sim::SimCard before = devices.reader().card();
        auto *tabs = readerWindow.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
        sim::SimCard card;
        card.kind = sim::CardKind::Contactless;
        card.place = sim::CardPlace::RfPosition;
        card.contactless = sim::ContactlessCard::fresh(sim::RfChip::S50);
        devices.reader().setCard(card);
        tabs->setCurrentWidget(readerWindow.mifareTab());
        click(readerWindow, "Option1_1");
        readerWindow.mifareTab()->RFPasswordList_Click();
        for (const char *name : {"CmdRpassword", "lockNumberCmd_3", "CmdRread", "CmdRsn"})
            click(readerWindow, name);
        saver.save(readerWindow, QStringLiteral("mifareone"));

        card.contactless = sim::ContactlessCard::fresh(sim::RfChip::CpuTypeA);
        devices.reader().setCard(card);
        tabs->setCurrentWidget(readerWindow.typeABTab());
        for (const char *name : {"select_Card", "CPUTypeASNCmd", "SendCmd"})
            click(readerWindow, name);
        saver.save(readerWindow, QStringLiteral("typeab"));
        // The decoded view of what these clicks put on the line.
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == QStringLiteral("MONITOR"))
                tabs->setCurrentIndex(i);
        }
        saver.save(readerWindow, QStringLiteral("traffic"));
        tabs->setCurrentIndex(0);
        devices.reader().setCard(before);
    }
    click(readerWindow, "IRCLOSECOM");
    return saver.failed() ? 1 : 0;
}

} // namespace talvex::app

// talvex-run: runs a check script against one reader or dispenser, on a serial
// line or on a simulated device, without a window.

#include "run/junitreport.h"
#include "run/runner.h"
#include "run/script.h"

#include "link/portmap.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace talvex;
using namespace talvex::run;

namespace {

// The port number the device is put behind, whatever carries it.
constexpr int kPort = 1;

void say(const QString &text) {
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

int fail(const QString &text) {
    std::fprintf(stderr, "talvex-run: %s\n", qPrintable(text));
    return kScriptOrPortError;
}

const char kUsage[] =
    "usage: talvex-run (--port DEVICE [--device reader|KVR-820|KVR-840] | --sim MODEL)\n"
    "                  [--baud 9600] [--address 15] [--sim-card none|plain|magnetic|s50|cpu]\n"
    "                  [--junit FILE] [--verbose] SCRIPT\n"
    "       talvex-run --version\n"
    "MODEL: KVR-416, KVR-523, KVR-527, KVR-634, KVR-638, KVR-690, dispenser820, dispenser840\n";

// SIGINT and SIGTERM reach the event loop through a pipe, so that the run
// ends its step there and still writes its report.
int g_signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int signal) {
    const char byte = char(signal);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

QCoro::Task<> runToExit(Runner &runner, int &status) {
    status = co_await runner.run();
    QCoreApplication::exit(0);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));

    QStringList args = app.arguments().mid(1);
    QString portPath;
    QString simName;
    QString deviceName = QStringLiteral("reader");
    QString simCard = QStringLiteral("none");
    QString junit;
    QString address = QStringLiteral("15");
    QString scriptPath;
    int baud = 9600;
    bool verbose = false;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--version")) {
            say(QStringLiteral("talvex-run %1").arg(QStringLiteral(TALVEX_VERSION)));
            return 0;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == QLatin1String("--verbose")) {
            verbose = true;
            continue;
        }
        if (a.startsWith(QLatin1String("--"))) {
            if (args.isEmpty())
                return fail(QStringLiteral("%1 needs a value\n%2").arg(a, QLatin1String(kUsage)));
            const QString v = args.takeFirst();
            bool ok = true;
            if (a == QLatin1String("--port"))
                portPath = v;
            else if (a == QLatin1String("--sim"))
                simName = v;
            else if (a == QLatin1String("--device"))
                deviceName = v;
            else if (a == QLatin1String("--sim-card"))
                simCard = v;
            else if (a == QLatin1String("--junit"))
                junit = v;
            else if (a == QLatin1String("--address"))
                address = v;
            else if (a == QLatin1String("--baud"))
                baud = v.toInt(&ok);
            else
                return fail(QStringLiteral("unknown option %1\n%2").arg(a, QLatin1String(kUsage)));
            if (!ok || baud <= 0)
                return fail(QStringLiteral("bad speed %1").arg(v));
            continue;
        }
        if (!scriptPath.isEmpty())
            return fail(QStringLiteral("one script at a time\n%1").arg(QLatin1String(kUsage)));
        scriptPath = a;
    }
    if (scriptPath.isEmpty() || portPath.isEmpty() == simName.isEmpty())
        return fail(
            QStringLiteral("a script and either --port or --sim\n%1").arg(QLatin1String(kUsage)));
    if (address.size() != 2)
        return fail(QStringLiteral("an address is two characters"));

    // What stands at the other end.
    DeviceKind device = DeviceKind::Reader;
    std::optional<sim::ReaderModel> simModel;
    const QString kind = simName.isEmpty() ? deviceName : simName;
    if (kind == QLatin1String("dispenser820") || kind == QLatin1String("KVR-820")) {
        device = DeviceKind::Dispenser820;
    } else if (kind == QLatin1String("dispenser840") || kind == QLatin1String("KVR-840")) {
        device = DeviceKind::Dispenser840;
    } else if (!simName.isEmpty()) {
        simModel = sim::readerModelFromName(simName);
        if (!simModel)
            return fail(QStringLiteral("unknown simulated device %1").arg(simName));
    } else if (deviceName != QLatin1String("reader")) {
        return fail(QStringLiteral("unknown device %1").arg(deviceName));
    }

    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: cannot read: %2").arg(scriptPath, file.errorString()));
    auto parsed = parseScript(file.readAll(), scriptPath, device);
    if (const auto *error = std::get_if<ScriptError>(&parsed)) {
        // The report says it too, so that a CI job shows why nothing ran.
        if (!junit.isEmpty()) {
            StepRecord record;
            record.line = error->line;
            record.text = QStringLiteral("script");
            record.passed = false;
            record.failure = error->text();
            writeJUnitReport(junit, scriptPath, {record}, error->text());
        }
        return fail(error->text());
    }
    const Script script = std::get<Script>(std::move(parsed));

    std::unique_ptr<sim::ReaderSim> readerSim;
    std::unique_ptr<sim::DispenserSim> dispenserSim;
    QString startError;
    if (simModel) {
        readerSim = std::make_unique<sim::ReaderSim>(*simModel, baud, sim::Transport::Loopback);
        if (simCard == QLatin1String("magnetic")) {
            sim::SimCard card;
            card.kind = sim::CardKind::Magnetic;
            card.magnetic = sim::MagneticCard::testCard();
            readerSim->setCard(card);
            readerSim->setNextMagneticCard(sim::MagneticCard::testCard());
        } else if (simCard == QLatin1String("s50")) {
            sim::SimCard card;
            card.kind = sim::CardKind::Contactless;
            card.place = sim::CardPlace::RfPosition;
            card.contactless = sim::ContactlessCard::fresh(sim::RfChip::S50);
            card.typeCode = sim::rfTypeCode(sim::RfChip::S50);
            readerSim->setCard(card);
        } else if (simCard == QLatin1String("cpu")) {
            sim::SimCard card;
            card.kind = sim::CardKind::ContactCpu;
            card.place = sim::CardPlace::IcPosition;
            card.typeCode = QByteArrayLiteral("10");
            readerSim->setCard(card);
        } else if (simCard == QLatin1String("plain")) {
            sim::SimCard card;
            card.kind = sim::CardKind::Plain;
            readerSim->setCard(card);
        } else if (simCard != QLatin1String("none")) {
            return fail(QStringLiteral("unknown simulated card %1").arg(simCard));
        }
        if (!readerSim->start(&startError))
            return fail(QStringLiteral("cannot start the simulated reader: %1").arg(startError));
        readerSim->mapToPort(kPort);
    } else if (!simName.isEmpty()) {
        dispenserSim = std::make_unique<sim::DispenserSim>(device == DeviceKind::Dispenser840
                                                               ? sim::DispenserModel::Kvr840
                                                               : sim::DispenserModel::Kvr820,
                                                           baud, sim::Transport::Loopback);
        dispenserSim->setAddress(address.toLatin1());
        if (!dispenserSim->start(&startError))
            return fail(QStringLiteral("cannot start the simulated dispenser: %1").arg(startError));
        dispenserSim->mapToPort(kPort);
    } else {
        link::portmap::mapPath(kPort, portPath);
    }

    Runner::Line line;
    line.port = kPort;
    line.baud = baud;
    line.device = device;
    line.address = address.toLatin1();
    Runner runner(script, line);
    runner.setStepListener([&scriptPath](const StepRecord &r) {
        const QString head = QStringLiteral("%1 %2").arg(r.line, 4).arg(r.text);
        say(r.output.isEmpty() ? head : QStringLiteral("%1  ->  %2").arg(head, r.output));
        if (!r.passed)
            std::fprintf(stderr, "%s:%d: FAILED %s: %s\n", qPrintable(scriptPath), r.line,
                         qPrintable(r.text), qPrintable(r.failure));
    });
    if (verbose)
        runner.setTrafficListener([](const QString &log) {
            QString text = log;
            text.replace(QLatin1String("\r\n"), QLatin1String("\n        "));
            say(QStringLiteral("        ") + text.trimmed());
        });

    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (::pipe(g_signalPipe) == 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &app, [&runner] {
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
            runner.interrupt(QStringLiteral("interrupted by signal %1").arg(int(byte)));
        });
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }

    int status = kScriptOrPortError;
    std::optional<QCoro::Task<>> task;
    QTimer::singleShot(0, &app, [&] { task.emplace(runToExit(runner, status)); });
    app.exec();

    int failed = 0;
    for (const StepRecord &r : runner.records())
        failed += r.passed ? 0 : 1;
    say(QStringLiteral("%1: %2 steps, %3 failed%4")
            .arg(scriptPath)
            .arg(runner.records().size())
            .arg(failed)
            .arg(runner.stopReason().isEmpty()
                     ? QString()
                     : QStringLiteral("; stopped: ") + runner.stopReason()));
    if (!junit.isEmpty() &&
        !writeJUnitReport(junit, scriptPath, runner.records(), runner.stopReason()))
        return fail(QStringLiteral("cannot write %1").arg(junit));
    return status;
}

// talvex-sim: a simulated reader or dispenser on a pseudo-terminal, for trying
// the program (or anything else) without hardware.

#include "sim/devicehost.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"
#include "sim/replaydevice.h"
#include "sim/replaysession.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <unistd.h>

using namespace talvex::sim;

namespace {

int usage(QTextStream &err) {
    err << "usage: talvex-sim reader [--model KVR-690] [--baud 9600] [--wire]\n"
           "       talvex-sim dispenser820 [--baud 9600] [--wire]\n"
           "       talvex-sim dispenser840 [--baud 9600] [--address 15] [--wire]\n"
           "       talvex-sim replay FILE [--port-name COM1] [--timing] [--baud 9600]\n";
    return 2;
}

void blockStopSignals(sigset_t &stopSignals) {
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
}

// Plays the device side of a captured session on a pseudo-terminal.
int replay(QStringList args, QTextStream &out, QTextStream &err) {
    if (args.isEmpty())
        return usage(err);
    const QString file = args.takeFirst();
    QString port;
    bool timing = false;
    int baud = 9600;
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--timing")) {
            timing = true;
            continue;
        }
        if (args.isEmpty())
            return usage(err);
        const QString value = args.takeFirst();
        bool ok = true;
        if (opt == QLatin1String("--port-name"))
            port = value;
        else if (opt == QLatin1String("--baud"))
            baud = value.toInt(&ok);
        else
            ok = false;
        if (!ok || baud <= 0)
            return usage(err);
    }

    const ReplayPlan plan = planReplay(talvex::link::readCaptureFile(file), port);
    for (const QString &note : plan.notes)
        err << "talvex-sim replay: " << file << ": " << note << "\n";
    if (!plan.ok) {
        err << "talvex-sim replay: " << file << ": " << plan.error << Qt::endl;
        return 1;
    }
    err.flush();

    sigset_t stopSignals;
    blockStopSignals(stopSignals);

    ReplayDevice device(plan.kind, plan.exchanges);
    device.setBaud(baud);
    device.setTiming(timing);
    // Called on the device thread; stderr is unbuffered and each line is one write.
    device.setNotice([](const QString &text) {
        const QByteArray line = "talvex-sim replay: " + text.toLocal8Bit() + "\n";
        fputs(line.constData(), stderr);
    });
    auto host = createHost(Transport::Pty);
    host->attach(&device);
    QString error;
    if (!host->start(&error)) {
        err << "cannot start: " << error << "\n";
        return 1;
    }
    out << "Replaying " << plan.exchanges.size() << " exchanges of "
        << (plan.port.isEmpty() ? QStringLiteral("the capture") : plan.port) << " ("
        << (plan.model.isEmpty() ? talvex::link::lineKindName(plan.kind) : plan.model) << ") on "
        << host->slavePath() << " at " << baud << " bit/s" << Qt::endl;

    const timespec second{1, 0};
    while (sigtimedwait(&stopSignals, nullptr, &second) < 0) {
        if (!host->isRunning())
            break;
    }
    host->stop();
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(err);
    const QString kind = args.takeFirst();
    if (kind == QLatin1String("replay"))
        return replay(args, out, err);

    QString modelName = QStringLiteral("KVR-690");
    QString address = QStringLiteral("15");
    int baud = 9600;
    bool wire = false;
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--wire")) {
            wire = true;
            continue;
        }
        if (args.isEmpty())
            return usage(err);
        const QString value = args.takeFirst();
        bool ok = true;
        if (opt == QLatin1String("--model"))
            modelName = value;
        else if (opt == QLatin1String("--baud"))
            baud = value.toInt(&ok);
        else if (opt == QLatin1String("--address"))
            address = value;
        else
            ok = false;
        if (!ok || baud <= 0)
            return usage(err);
    }

    // SIGINT and SIGTERM are taken by this thread alone, with sigtimedwait:
    // blocked here, before the device thread starts, so it inherits the mask
    // and a signal never lands where nobody waits for it.
    sigset_t stopSignals;
    blockStopSignals(stopSignals);

    std::unique_ptr<ReaderSim> reader;
    std::unique_ptr<DispenserSim> dispenser;
    QString what;
    QString error;
    bool started = false;
    if (kind == QLatin1String("reader")) {
        const auto model = readerModelFromName(modelName);
        if (!model) {
            err << "unknown model " << modelName << " (KVR-416, KVR-523, KVR-527, KVR-634, "
                << "KVR-638 or KVR-690)\n";
            return 2;
        }
        reader = std::make_unique<ReaderSim>(*model, baud);
        reader->setWireTime(wire);
        started = reader->start(&error);
        what = readerModelName(*model) + QStringLiteral(" reader on ") + reader->slavePath();
    } else if (kind == QLatin1String("dispenser820") || kind == QLatin1String("dispenser840")) {
        const bool is840 = kind.endsWith(QLatin1String("840"));
        if (is840 && address.size() != 2)
            return usage(err);
        dispenser = std::make_unique<DispenserSim>(
            is840 ? DispenserModel::Kvr840 : DispenserModel::Kvr820, baud);
        dispenser->setWireTime(wire);
        dispenser->setAddress(address.toLatin1());
        started = dispenser->start(&error);
        what = (is840 ? QStringLiteral("KVR-840 dispenser (address %1) on ").arg(address)
                      : QStringLiteral("KVR-820 dispenser on ")) +
               dispenser->slavePath();
    } else {
        return usage(err);
    }
    if (!started) {
        err << "cannot start: " << error << "\n";
        return 1;
    }
    out << what << " at " << baud << " bit/s" << Qt::endl;

    // Wait for a signal, looking once a second whether the device hung up.
    const timespec second{1, 0};
    while (sigtimedwait(&stopSignals, nullptr, &second) < 0) {
        if ((reader && !reader->isRunning()) || (dispenser && !dispenser->isRunning()))
            break;
    }
    return 0;
}

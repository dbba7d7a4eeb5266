#include "traffic/session.h"
#include "demodevices.h"
#include "launchtime.h"
#include "screenshots.h"
#include "simdevicesdialog.h"

#include "link/messages.h"
#include "link/portmap.h"
#include "shell/aboutdialog.h"
#include "sim/readermodel.h"
#include "ui/seams.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>

#include <cstdio>
#include <optional>

using namespace talvex;

int main(int argc, char *argv[]) {
    // Answered before the window system is asked for, so that it works anywhere.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("talvex %s\n", TALVEX_VERSION);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talvex"));
    QApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));

    QStringList portErrors;
    const QStringList arguments =
        link::portmap::applyCommandLine(QApplication::arguments(), &portErrors);
    for (const QString &error : portErrors)
        std::fprintf(stderr, "talvex: %s\n", qPrintable(error));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Bench tool for card readers and card dispensers on serial lines.\n"
                       "--port COMn=PATH puts a device path behind a port number."));
    parser.addHelpOption();
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Simulated reader on COM1, KVR-820 on COM2 and KVR-840 on COM3."));
    const QCommandLineOption modelOption(QStringLiteral("reader-model"),
                                         QStringLiteral("Model of the simulated reader."),
                                         QStringLiteral("KVR-xxx"), QStringLiteral("KVR-690"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshots"),
        QStringLiteral("Save pictures of the windows in DIR (simulated devices) and exit."),
        QStringLiteral("DIR"));
    const QCommandLineOption loopbackOption(
        QStringLiteral("loopback"),
        QStringLiteral("Run the simulated devices in-process instead of on pseudo-terminals."));
    const QCommandLineOption captureOption(
        QStringLiteral("capture"),
        QStringLiteral("Write every exchange of the session to FILE (JSON Lines)."),
        QStringLiteral("FILE"));
    parser.addOptions({demoOption, modelOption, screenshotOption, loopbackOption, captureOption});
    parser.process(arguments);

    const std::optional<sim::ReaderModel> model =
        sim::readerModelFromName(parser.value(modelOption));
    if (!model) {
        std::fprintf(stderr, "talvex: unknown reader model %s\n",
                     qPrintable(parser.value(modelOption)));
        return 2;
    }

    std::optional<app::DemoDevices> devices;
    if (parser.isSet(demoOption) || parser.isSet(screenshotOption)) {
        devices.emplace(*model);
        QString error;
        if (!devices->start(&error, parser.isSet(loopbackOption))) {
            std::fprintf(stderr, "talvex: cannot start the simulated devices: %s\n",
                         qPrintable(error));
            return 1;
        }
    }

    if (parser.isSet(captureOption))
        traffic::startCapture(parser.value(captureOption), [](const QString &text) {
            std::fprintf(stderr, "talvex: %s\n", qPrintable(text));
        });

    if (parser.isSet(screenshotOption)) {
        // Unattended: message boxes go to stderr and are answered OK.
        return app::takeScreenshots(parser.value(screenshotOption), *devices);
    }

    ui::WidgetMessageBoxes messageBoxes;
    link::setMessageBoxes(&messageBoxes);
    // The program ends with the device window the launcher opened, not with the
    // last window: the demo's panel may outlive it.
    QApplication::setQuitOnLastWindowClosed(false);

    if (devices) {
        auto *panel = new app::SimDevicesDialog(devices->reader(), app::DemoDevices::kReaderPort,
                                                devices->kvr820(), app::DemoDevices::kKvr820Port,
                                                devices->kvr840(), app::DemoDevices::kKvr840Port);
        panel->show();
    }

    auto *launcher = new shell::AboutDialog;
    launcher->setAttribute(Qt::WA_DeleteOnClose);
    app::reportLaunchTime(*launcher);
    launcher->show();

    const int code = QApplication::exec();

    // Windows still alive close their ports here, while the simulated lines
    // behind them still exist.
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->parentWidget() == nullptr)
            windows.append(window);
    }
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
    link::setMessageBoxes(nullptr);
    return code;
}

// The decoded traffic view over a long session: memory must stay flat once
// the history is full, however many exchanges follow.
//
//   bench_traffic [--rows N]     (default 100000)
//
// Journals N exchanges (reader status queries and track reads, KVR-820 and
// KVR-840 commands, a few unknown commands) into a traffic pane shown
// offscreen, with the session spooled to its scratch file as in the program.
// Reports the heap in use once the history is full and at the end, and the
// time per exchange. Exits 1 when the heap grew by more than 2 MB after the
// history filled, or when the model holds more rows than its limit.

#include "link/journal.h"
#include "traffic/trafficpane.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <malloc.h>

using namespace talvex;

namespace {

long heapInUseKb() {
    const struct mallinfo2 info = mallinfo2();
    return long(info.uordblks / 1024);
}

link::ExchangeRecord exchangeNumber(int i) {
    link::ExchangeRecord e;
    e.time = QDateTime::currentDateTime();
    e.elapsedMs = i % 50;
    switch (i % 5) {
    case 0:
        e.kind = link::LineKind::Reader;
        e.port = QStringLiteral("COM1");
        e.model = QStringLiteral("KVR-690");
        e.sent = QByteArray::fromHex("02000231300302");
        e.answer = QByteArray::fromHex("06");
        e.reply = QByteArray::fromHex("0200055030593030030B");
        break;
    case 1:
        e.kind = link::LineKind::Reader;
        e.port = QStringLiteral("COM1");
        e.model = QStringLiteral("KVR-690");
        e.sent = QByteArray::fromHex("0200044530370347");
        e.answer = QByteArray::fromHex("06");
        e.reply = QByteArray::fromHex("02001A5030593030305925423431313131313131313131313131"
                                      "1F4EE31F4F0300");
        break;
    case 2:
        e.kind = link::LineKind::Dispenser820;
        e.port = QStringLiteral("COM2");
        e.sent = QByteArray::fromHex("024643340330");
        e.answer = QByteArray::fromHex("06");
        break;
    case 3:
        e.kind = link::LineKind::Dispenser840;
        e.port = QStringLiteral("COM3");
        e.sent = QByteArray::fromHex("02313541500314");
        e.answer = QByteArray::fromHex("063135023135303003FF");
        break;
    default:
        e.kind = link::LineKind::Reader;
        e.port = QStringLiteral("COM1");
        e.sent = QByteArray::fromHex("0200025A5A0303");
        e.answer = QByteArray::fromHex("06");
        e.reply = QByteArray::fromHex("0200034E5A000316");
        break;
    }
    return e;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rows = 100000;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--rows"));
    if (at > 0 && at + 1 < args.size())
        rows = args.at(at + 1).toInt();

    traffic::TrafficPane pane;
    pane.resize(900, 400);
    pane.show();
    const int limit = pane.model().limit();

    long fullKb = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rows; ++i) {
        link::journal().record(exchangeNumber(i));
        if (i % 1000 == 999)
            app.processEvents();
        if (i == limit + 999)
            fullKb = heapInUseKb();
    }
    app.processEvents();
    const double usPerRow = double(timer.nsecsElapsed()) / 1000.0 / qMax(1, rows);
    const long endKb = heapInUseKb();
    const int held = pane.model().rowCount();

    std::printf("bench_traffic: %d exchanges, %d rows held (limit %d)\n", rows, held, limit);
    std::printf("heap in use: %ld kB when full, %ld kB at the end (%+ld kB)\n", fullKb, endKb,
                endKb - fullKb);
    std::printf("%.1f us per exchange (decode, spool, model, view)\n", usPerRow);
    bool ok = held <= limit;
    if (rows > limit + 1000 && endKb - fullKb > 2048)
        ok = false;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

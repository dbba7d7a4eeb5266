// The decoded traffic pane: rows as exchanges are journalled, a bounded
// history, Ctrl+C copying the selected rows, and "Save Session…" writing what
// passed before and everything after.

#include "link/capturefile.h"
#include "link/journal.h"
#include "traffic/session.h"
#include "traffic/trafficpane.h"
#include "ui/seams.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using namespace talvex;

namespace {

link::ExchangeRecord statusQuery(int ms) {
    link::ExchangeRecord e;
    e.time = QDateTime(QDate(2026, 12, 7), QTime(4, 20, 0, 123));
    e.port = QStringLiteral("COM1");
    e.model = QStringLiteral("KVR-416");
    e.sent = QByteArray::fromHex("02000231300302");
    e.answer = QByteArray::fromHex("06");
    e.reply = QByteArray::fromHex("020003503059033B");
    e.elapsedMs = ms;
    return e;
}

class OneSavePath final : public ui::FileDialogs {
public:
    explicit OneSavePath(QString path) : m_path(std::move(path)) {}
    QString openFile(const ui::OpenFileRequest &) override { return {}; }
    QString saveFile(const ui::SaveFileRequest &request) override {
        title = request.title;
        return m_path;
    }
    QString title;

private:
    QString m_path;
};

} // namespace

class TestTrafficPane : public QObject {
    Q_OBJECT

private slots:
    void rowsInWordsAndCopied();
    void historyKeepsTheNewest();
    void dispenserLinksRecordInOneCall();
    void saveSessionWritesBeforeAndAfter();
};

void TestTrafficPane::rowsInWordsAndCopied() {
    traffic::TrafficPane pane;
    link::journal().record(statusQuery(12));
    QCOMPARE(pane.model().rowCount(), 1);
    const QString row = QStringLiteral("04:20:00.123\tCOM1\tSD+RD\tStatus query\t"
                                       "P: positive; One Card In The Reader\t59\tY\t12");
    QCOMPARE(pane.model().rowText(0), row);

    pane.view().selectRow(0);
    QTest::keyClick(&pane.view(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), row);

    // Sorting by time taken, longest first.
    link::journal().record(statusQuery(40));
    link::journal().record(statusQuery(3));
    pane.view().sortByColumn(traffic::TrafficModel::Ms, Qt::DescendingOrder);
    QStringList ms;
    for (int i = 0; i < 3; ++i)
        ms << pane.view().model()->index(i, traffic::TrafficModel::Ms).data().toString();
    QCOMPARE(ms, (QStringList{"40", "12", "3"}));
}

void TestTrafficPane::historyKeepsTheNewest() {
    traffic::TrafficModel model(nullptr, 3);
    for (int ms = 1; ms <= 5; ++ms)
        model.append(traffic::trafficRow(statusQuery(ms)));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0, traffic::TrafficModel::Ms).data().toString(), QStringLiteral("3"));
    QCOMPARE(model.index(2, traffic::TrafficModel::Ms).data().toString(), QStringLiteral("5"));

    // A shorter history drops the oldest at once and keeps to its length.
    model.setLimit(2);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, traffic::TrafficModel::Ms).data().toString(), QStringLiteral("4"));
    model.append(traffic::trafficRow(statusQuery(6)));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, traffic::TrafficModel::Ms).data().toString(), QStringLiteral("5"));
    QCOMPARE(model.index(1, traffic::TrafficModel::Ms).data().toString(), QStringLiteral("6"));
}

void TestTrafficPane::dispenserLinksRecordInOneCall() {
    traffic::TrafficPane pane;
    link::recordDispenserExchange(link::LineKind::Dispenser820, 2,
                                  QByteArray::fromHex("024643340330"), "\x06");
    link::recordDispenserExchange(link::LineKind::Dispenser820, 2, {}, {}); // nothing read
    link::recordDispenserExchange(link::LineKind::Dispenser840, 3,
                                  QByteArray::fromHex("02313544430302"), {});
    QCOMPARE(pane.model().rowCount(), 2);
    QCOMPARE(pane.model().rowText(0).section(QLatin1Char('\t'), 1),
             QStringLiteral("COM2\tSD+RD\tDispense to the door\tACK: accepted\t06\t.\t0"));
    QCOMPARE(pane.model().rowText(1).section(QLatin1Char('\t'), 1),
             QStringLiteral("COM3\tSD\tDispense\tNo answer\t\t\t0"));
}

void TestTrafficPane::saveSessionWritesBeforeAndAfter() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.jsonl"));
    OneSavePath dialogs(path);
    ui::setFileDialogs(&dialogs);
    QStringList statusLine;
    traffic::TrafficPane *pane = nullptr;
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *log = new QWidget(&window);
    layout->addWidget(log);
    layout->addWidget(new QWidget(&window));
    pane = traffic::attachPane(
        &window, [&statusLine](const QString &t) { statusLine << t; }, log);
    QCOMPARE(layout->indexOf(pane), 1); // right below the log

    const qint64 before = traffic::Session::instance().exchangeCount();
    link::journal().record(statusQuery(7)); // before the file was chosen
    pane->findChild<QPushButton *>(QStringLiteral("SaveSession"))->click();
    link::journal().record(statusQuery(8)); // after
    ui::setFileDialogs(nullptr);

    QCOMPARE(dialogs.title, QStringLiteral("Save Session"));
    QCOMPARE(statusLine, QStringList{QStringLiteral("Capturing the session to ") + path});
    const auto contents = link::readCaptureFile(path);
    QVERIFY(contents.ok);
    // Every exchange of the session, the earlier tests' included.
    QCOMPARE(contents.exchanges.size(), before + 2);
    QCOMPARE(contents.exchanges.at(contents.exchanges.size() - 2).elapsedMs, 7);
    QCOMPARE(contents.exchanges.last().elapsedMs, 8);
    QCOMPARE(contents.exchanges.last().sent, QByteArray::fromHex("02000231300302"));
}

QTEST_MAIN(TestTrafficPane)
#include "tst_trafficpane.moc"

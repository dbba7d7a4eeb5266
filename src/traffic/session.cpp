#include "session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace talvex::traffic {

Session &Session::instance() {
    // Made after the journal it listens to, so it goes before it.
    static Session session;
    return session;
}

Session::Session()
    : m_spool([this](const QString &text) { say(text); }),
      m_capture([this](const QString &text) { say(text); }) {
    m_spoolPath = QDir::temp().filePath(
        QStringLiteral("talvex-session-%1.jsonl").arg(QCoreApplication::applicationPid()));
    m_spool.open(m_spoolPath);
    m_listenKey = link::journal().listen([this](const link::ExchangeRecord &e) { onExchange(e); });
}

Session::~Session() {
    link::journal().unlisten(m_listenKey);
    m_spool.close();
    QFile::remove(m_spoolPath);
}

void Session::say(const QString &text) const {
    if (m_report)
        m_report(text);
}

void Session::onExchange(const link::ExchangeRecord &exchange) {
    ++m_count;
    const TrafficRow row = trafficRow(exchange);
    const link::DecodedFields fields = decodedFields(row.decoded);
    m_spool.write(exchange, fields);
    m_capture.write(exchange, fields);
    emit exchangeAdded(row);
}

bool Session::captureTo(const QString &path) {
    if (!m_capture.open(path))
        return false;
    // The session so far, from the scratch file (its own header skipped).
    QFile spool(m_spoolPath);
    if (m_spool.isOpen() && spool.open(QIODevice::ReadOnly)) {
        spool.readLine();
        while (!spool.atEnd() && m_capture.isOpen())
            m_capture.writeRaw(spool.read(1 << 16));
    }
    return m_capture.isOpen();
}

QString Session::capturePath() const {
    return m_capture.isOpen() ? m_capture.path() : QString();
}

bool startCapture(const QString &path, Session::Report report) {
    Session &session = Session::instance();
    if (report)
        session.setReport(std::move(report));
    return session.captureTo(path);
}

} // namespace talvex::traffic

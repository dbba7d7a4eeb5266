#pragma once

#include "link/capturefile.h"
#include "traffic/trafficmodel.h"

#include <QObject>

#include <functional>

namespace talvex::traffic {

// The session's traffic: every exchange the journal sees, decoded once for
// every view, spooled to a scratch file so that "Save Session…" can write the
// whole session however long it ran, and written to the capture file as it
// goes once one is chosen. Window thread only.
class Session : public QObject {
    Q_OBJECT
public:
    using Report = std::function<void(const QString &text)>;

    static Session &instance();
    ~Session() override;

    // Writes what passed so far to path, then every further exchange as it
    // comes. False (and the reason said through the report) when the file
    // cannot be written.
    bool captureTo(const QString &path);
    QString capturePath() const;
    // Where trouble with the files is said: the window's status line.
    void setReport(Report report) { m_report = std::move(report); }
    qint64 exchangeCount() const { return m_count; }

signals:
    void exchangeAdded(const talvex::traffic::TrafficRow &row);

private:
    Session();
    void onExchange(const link::ExchangeRecord &exchange);
    void say(const QString &text) const;

    int m_listenKey = 0;
    QString m_spoolPath;
    link::CaptureWriter m_spool;
    link::CaptureWriter m_capture;
    Report m_report;
    qint64 m_count = 0;
};

// For `talvex --capture FILE`: capture the session from launch. report says
// trouble on the status line (may be empty until a window gives one).
bool startCapture(const QString &path, Session::Report report = {});

} // namespace talvex::traffic

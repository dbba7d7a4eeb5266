#pragma once

#include "traffic/trafficdecoder.h"

#include <QAbstractTableModel>
#include <QDateTime>

#include <deque>

namespace talvex::traffic {

// One row of the decoded traffic view.
struct TrafficRow {
    QDateTime time;
    QString port;
    qint64 elapsedMs = 0;
    DecodedExchange decoded;
};

TrafficRow trafficRow(const link::ExchangeRecord &exchange);

// The decoded exchanges of the session, newest last. The history is bounded:
// past the limit the oldest row goes, so memory stays flat however long the
// session runs.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Port, Direction, Command, Status, DataHex, DataText, Ms, ColumnCount };
    static constexpr int kDefaultLimit = 10000;

    explicit TrafficModel(QObject *parent = nullptr, int limit = kDefaultLimit);

    void append(const TrafficRow &row);
    void clear();
    int limit() const { return m_limit; }
    // A new limit; the oldest rows beyond it go at once.
    void setLimit(int limit);
    const TrafficRow &row(int index) const { return m_rows[size_t(index)]; }

    // Tab-separated text of rows, one a line, in the columns' order.
    QString rowText(int index) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString cellText(const TrafficRow &row, int column) const;

    std::deque<TrafficRow> m_rows;
    int m_limit;
};

} // namespace talvex::traffic

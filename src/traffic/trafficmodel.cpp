#include "trafficmodel.h"

#include <QBrush>
#include <QStringList>

namespace talvex::traffic {

TrafficRow trafficRow(const link::ExchangeRecord &exchange) {
    return {exchange.time, exchange.port, exchange.elapsedMs, decodeExchange(exchange)};
}

TrafficModel::TrafficModel(QObject *parent, int limit)
    : QAbstractTableModel(parent), m_limit(qMax(1, limit)) {}

void TrafficModel::append(const TrafficRow &row) {
    if (int(m_rows.size()) >= m_limit) {
        beginRemoveRows({}, 0, 0);
        m_rows.pop_front();
        endRemoveRows();
    }
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.push_back(row);
    endInsertRows();
}

void TrafficModel::setLimit(int limit) {
    m_limit = qMax(1, limit);
    const int excess = int(m_rows.size()) - m_limit;
    if (excess <= 0)
        return;
    beginRemoveRows({}, 0, excess - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + excess);
    endRemoveRows();
}

void TrafficModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

int TrafficModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString TrafficModel::cellText(const TrafficRow &row, int column) const {
    switch (column) {
    case Time:
        return row.time.toString(QStringLiteral("HH:mm:ss.zzz"));
    case Port:
        return row.port;
    case Direction:
        return row.decoded.direction;
    case Command:
        return row.decoded.command;
    case Status:
        return row.decoded.status;
    case DataHex:
        return row.decoded.dataHex;
    case DataText:
        return row.decoded.dataText;
    case Ms:
        return QString::number(row.elapsedMs);
    default:
        return {};
    }
}

QString TrafficModel::rowText(int index) const {
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells << cellText(m_rows[size_t(index)], c);
    return cells.join(QLatin1Char('\t'));
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const TrafficRow &row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(row, index.column());
    case Qt::UserRole: // sorting: times and durations by value
        if (index.column() == Time)
            return row.time;
        if (index.column() == Ms)
            return row.elapsedMs;
        return cellText(row, index.column());
    case Qt::ForegroundRole:
        if (!row.decoded.known && index.column() == Command)
            return QBrush(Qt::darkRed);
        return {};
    default:
        return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const kHeaders[] = {"Time",   "Port",       "Dir",  "Command",
                                           "Status", "Data (hex)", "Text", "ms"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeaders[section])
                                                 : QVariant();
}

} // namespace talvex::traffic

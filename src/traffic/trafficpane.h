#pragma once

#include "traffic/trafficmodel.h"

#include <QTableView>
#include <QWidget>

#include <functional>

class QLabel;
class QSortFilterProxyModel;

namespace talvex::traffic {

// A table view whose Ctrl+C copies the selected rows as tab-separated text.
class TrafficView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    QString selectedText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// The decoded traffic of the session, beside the byte-exact log: one row per
// exchange, sortable, selectable, copyable, with "Save Session…". It fills
// whether or not "Record Data" is ticked.
class TrafficPane : public QWidget {
    Q_OBJECT
public:
    using StatusLine = std::function<void(const QString &text)>;

    explicit TrafficPane(QWidget *parent = nullptr, StatusLine statusLine = {});

    TrafficModel &model() { return *m_model; }
    TrafficView &view() { return *m_view; }

    // Asks for a file and writes the session to it from now on.
    void saveSession();

private:
    TrafficModel *m_model;
    QSortFilterProxyModel *m_sorted;
    TrafficView *m_view;
    StatusLine m_statusLine;
};

// Puts a traffic pane into parent and returns it: right after the widget
// after when parent's layout is a box layout holding it, else at the end of
// parent's layout, if it has one. statusLine shows file trouble on the
// window's status line.
TrafficPane *attachPane(QWidget *parent, TrafficPane::StatusLine statusLine = {},
                        QWidget *after = nullptr);

} // namespace talvex::traffic

#include "trafficpane.h"

#include "traffic/session.h"
#include "ui/seams.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

#include <set>

namespace talvex::traffic {

QString TrafficView::selectedText() const {
    std::set<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows.insert(index.row());
    QStringList lines;
    for (int row : rows) {
        QStringList cells;
        for (int c = 0; c < model()->columnCount(); ++c)
            cells << model()->index(row, c).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void TrafficView::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Copy) && selectionModel()) {
        QApplication::clipboard()->setText(selectedText());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

TrafficPane::TrafficPane(QWidget *parent, StatusLine statusLine)
    : QWidget(parent), m_model(new TrafficModel(this)), m_sorted(new QSortFilterProxyModel(this)),
      m_view(new TrafficView(this)), m_statusLine(std::move(statusLine)) {
    setObjectName(QStringLiteral("TrafficPane"));
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(Qt::UserRole);
    m_view->setObjectName(QStringLiteral("TrafficView"));
    m_view->setModel(m_sorted);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(-1, Qt::AscendingOrder); // arrival order until a header is clicked
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->setVisible(false);
    m_view->horizontalHeader()->setStretchLastSection(false);
    m_view->horizontalHeader()->setSectionResizeMode(TrafficModel::Status, QHeaderView::Stretch);

    auto *save = new QPushButton(QStringLiteral("Save Session…"), this);
    save->setObjectName(QStringLiteral("SaveSession"));
    auto *clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("ClearTraffic"));
    connect(save, &QPushButton::clicked, this, &TrafficPane::saveSession);
    connect(clear, &QPushButton::clicked, m_model, &TrafficModel::clear);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(clear);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    layout->addLayout(buttons);

    Session &session = Session::instance();
    if (m_statusLine)
        session.setReport(m_statusLine);
    connect(&session, &Session::exchangeAdded, m_model, &TrafficModel::append);
}

void TrafficPane::saveSession() {
    ui::SaveFileRequest request;
    request.parent = this;
    request.title = QStringLiteral("Save Session");
    request.fileName = QStringLiteral("session.jsonl");
    request.filter = QStringLiteral("Session capture (*.jsonl);;All files (*)");
    const QString path = ui::fileDialogs().saveFile(request);
    if (path.isEmpty())
        return;
    if (Session::instance().captureTo(path) && m_statusLine)
        m_statusLine(QStringLiteral("Capturing the session to %1").arg(path));
}

TrafficPane *attachPane(QWidget *parent, TrafficPane::StatusLine statusLine, QWidget *after) {
    auto *pane = new TrafficPane(parent, std::move(statusLine));
    QLayout *layout = parent ? parent->layout() : nullptr;
    if (!layout)
        return pane;
    auto *box = qobject_cast<QBoxLayout *>(layout);
    const int at = after ? layout->indexOf(after) : -1;
    if (box && at >= 0)
        box->insertWidget(at + 1, pane, 1);
    else
        layout->addWidget(pane);
    return pane;
}

} // namespace talvex::traffic

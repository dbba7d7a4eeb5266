#pragma once

#include <QWidget>

class QTabWidget;

namespace talvex::dispenser {

// The dispenser test window: one tab per dispenser model and the shared
// controls below them. Closing it ends the program.
class Fakamain : public QWidget {
    Q_OBJECT
public:
    explicit Fakamain(QWidget *parent = nullptr);

    QWidget *page820() const { return m_page820; }
    QWidget *page840() const { return m_page840; }

    void EXIT_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QTabWidget *m_tabs = nullptr;
    QWidget *m_page820 = nullptr;
    QWidget *m_page840 = nullptr;
};

} // namespace talvex::dispenser

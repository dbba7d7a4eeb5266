#pragma once

#include <QDialog>
#include <QPointer>

namespace talvex::shell {

// The launcher: the user picks the reader or the dispenser window, and that
// window serves the rest of the run.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    void Command1_Click(); // "Reader"
    void Command2_Click(); // "Dispenser"

    // The window opened by the choice, while it lives.
    QWidget *deviceWindow() const { return m_deviceWindow; }

    // The launcher's picture, drawn rather than shipped as a file.
    static QPixmap picture(const QSize &size);

public slots:
    void reject() override;

private:
    void openDeviceWindow(QWidget *window);

    bool m_chosen = false;
    QPointer<QWidget> m_deviceWindow;
};

} // namespace talvex::shell

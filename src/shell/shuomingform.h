#pragma once

#include <QDialog>

namespace talvex::shell {

// "Command-line description": how a command is typed on the command line.
class ShuoMingForm : public QDialog {
    Q_OBJECT
public:
    explicit ShuoMingForm(QWidget *parent = nullptr);
};

} // namespace talvex::shell

#pragma once

#include <QDialog>

namespace talvex::reader {

// Shows the reader's serial number in `Text1`; "OK" closes.
class ReadSnForm : public QDialog {
    Q_OBJECT
public:
    explicit ReadSnForm(const QString &serialNumber, QWidget *parent = nullptr);
};

} // namespace talvex::reader

#pragma once

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace talvex::reader {

// The common shape of the reader's small modal dialogs: frames of option
// buttons `Option1` … , then "OK" (`Command1`) and "Cancel" (`Command2`). Each
// dialog opens with nothing chosen; "OK" runs okClicked(), "Cancel" closes.
class OptionForm : public QDialog {
    Q_OBJECT
public:
    // The option button numbered n, or nullptr.
    QRadioButton *option(int n) const;

protected:
    OptionForm(const QString &objectName, const QString &caption, QWidget *parent);

    QGroupBox *addFrame(const QString &caption);
    QRadioButton *addOption(QGroupBox *frame, int n, const QString &caption);
    // The number of the checked option among first … last, 0 when none is.
    int checkedOption(int first, int last) const;
    // Adds "OK" and "Cancel" below everything added so far.
    void addButtons();
    virtual void okClicked() { accept(); }

    QVBoxLayout *m_layout = nullptr;
    QPushButton *m_ok = nullptr;     // Command1
    QPushButton *m_cancel = nullptr; // Command2
    int m_lastOption = 0;            // the highest option number added
};

// A dialog whose options answer one question. "OK" stores the number of the
// checked option and closes; value() is 0 until then, and when none was checked.
class ChoiceForm : public OptionForm {
    Q_OBJECT
public:
    int value() const { return m_value; }

protected:
    using OptionForm::OptionForm;
    void okClicked() override;

    int m_value = 0;
};

} // namespace talvex::reader

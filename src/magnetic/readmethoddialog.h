#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QRadioButton;

namespace talvex::magnetic {

// "Set the reading method" of the KVR-523: read while inserting the card
// (value 0) or while pulling it (value 1); 2 while nothing was chosen.
class KVR523SetReadType : public QDialog {
    Q_OBJECT
public:
    explicit KVR523SetReadType(QWidget *parent = nullptr);

    int method() const { return m_method; }

    // Shows the dialog through the modal seam; the parameter byte R ("0" or
    // "1") of the choice, or nothing when the user cancelled.
    static std::optional<char> choose(QWidget *parent);

private:
    void updateNotice();

    QRadioButton *m_option1 = nullptr;
    QRadioButton *m_option2 = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_noticeText = nullptr;
    int m_method = 2;
};

} // namespace talvex::magnetic

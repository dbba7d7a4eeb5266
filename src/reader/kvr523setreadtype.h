#pragma once

#include "optionform.h"

class QLabel;

namespace talvex::reader {

// How the KVR-523 reads a swiped card: 0 while inserting, 1 while pulling;
// 2 until "OK" stores a choice.
class KVR523SetReadType : public OptionForm {
    Q_OBJECT
public:
    explicit KVR523SetReadType(QWidget *parent = nullptr);
    int value() const { return m_value; }

protected:
    void okClicked() override;

private:
    int m_value = 2;
    QLabel *m_notice = nullptr;
    QLabel *m_noticeText = nullptr;
};

} // namespace talvex::reader

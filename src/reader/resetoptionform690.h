#pragma once

#include "optionform.h"

namespace talvex::reader {

// Reset option of the KVR-690: 1 without eject, 2 eject to the front, 3 to the rear.
// value() is 0 until "OK" stores the chosen option.
class ResetOptionForm690 : public OptionForm {
    Q_OBJECT
public:
    explicit ResetOptionForm690(QWidget *parent = nullptr);
    int value() const { return m_value; }

protected:
    void okClicked() override;

private:
    int m_value = 0;
};

} // namespace talvex::reader

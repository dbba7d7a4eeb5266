#pragma once

#include "optionform.h"

namespace talvex::reader {

// Reset option of the KVR-527, KVR-634 and KVR-638: 1 without eject, 2 eject to the front.
// value() is 0 until "OK" stores the chosen option.
class ResetOptionForm638 : public OptionForm {
    Q_OBJECT
public:
    explicit ResetOptionForm638(QWidget *parent = nullptr);
    int value() const { return m_value; }

protected:
    void okClicked() override;

private:
    int m_value = 0;
};

} // namespace talvex::reader

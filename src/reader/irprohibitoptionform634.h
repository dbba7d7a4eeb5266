#pragma once

#include "optionform.h"

namespace talvex::reader {

// Card entry of the KVR-634: 1 prohibit, 2 permit.
// value() is 0 until "OK" stores the chosen option.
class IRProhibitOptionForm634 : public OptionForm {
    Q_OBJECT
public:
    explicit IRProhibitOptionForm634(QWidget *parent = nullptr);
    int value() const { return m_value; }

protected:
    void okClicked() override;

private:
    int m_value = 0;
};

} // namespace talvex::reader

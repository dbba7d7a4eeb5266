#pragma once

#include "optionform.h"

namespace talvex::reader {

// Card entry of the KVR-690, front (1 prohibit, 2 by magnetic signal and
// switch, 3 all cards, 4 by magnetic signal) and rear (1 permit, 2 prohibit).
// Opens on the states the reader reported.
class IRProhibitOptionForm690 : public OptionForm {
    Q_OBJECT
public:
    IRProhibitOptionForm690(int frontEntryState, int rearEntryState, QWidget *parent = nullptr);
    int frontValue() const { return m_front; }
    int rearValue() const { return m_rear; }

protected:
    void okClicked() override;

private:
    int m_front = 0;
    int m_rear = 0;
};

} // namespace talvex::reader

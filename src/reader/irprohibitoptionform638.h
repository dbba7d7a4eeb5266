#pragma once

#include "optionform.h"

namespace talvex::reader {

// Front card entry of the KVR-638: 1 prohibit, 2 by magnetic signal and
// switch (shown but not offered), 3 all cards. Opens on the option of the
// front entry state the reader reported (1 … 3; 4 and 0 select nothing).
class IRProhibitOptionForm638 : public ChoiceForm {
    Q_OBJECT
public:
    explicit IRProhibitOptionForm638(int frontEntryState, QWidget *parent = nullptr);
};

} // namespace talvex::reader

#pragma once

#include "optionform.h"

namespace talvex::reader {

// Card entry of the KVR-634: 1 prohibit, 2 permit.
class IRProhibitOptionForm634 : public ChoiceForm {
    Q_OBJECT
public:
    explicit IRProhibitOptionForm634(QWidget *parent = nullptr);
};

} // namespace talvex::reader

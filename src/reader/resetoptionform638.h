#pragma once

#include "optionform.h"

namespace talvex::reader {

// Reset option of the KVR-527, KVR-634 and KVR-638: 1 without eject, 2 eject to the front.
class ResetOptionForm638 : public ChoiceForm {
    Q_OBJECT
public:
    explicit ResetOptionForm638(QWidget *parent = nullptr);
};

} // namespace talvex::reader

#pragma once

#include "optionform.h"

namespace talvex::reader {

// Reset option of the KVR-690: 1 without eject, 2 eject to the front, 3 to the rear.
class ResetOptionForm690 : public ChoiceForm {
    Q_OBJECT
public:
    explicit ResetOptionForm690(QWidget *parent = nullptr);
};

} // namespace talvex::reader

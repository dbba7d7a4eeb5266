#pragma once

#include "optionform.h"

namespace talvex::reader {

// Shutter light: 1 on, 2 off.
class LEDCMD1FORM : public ChoiceForm {
    Q_OBJECT
public:
    explicit LEDCMD1FORM(QWidget *parent = nullptr);
};

} // namespace talvex::reader

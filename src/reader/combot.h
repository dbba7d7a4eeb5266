#pragma once

#include "optionform.h"

namespace talvex::reader {

// Reader speed: the option's number, 4 9600, 5 19200, 6 38400, 1 57600 bit/s.
class Combot : public ChoiceForm {
    Q_OBJECT
public:
    explicit Combot(QWidget *parent = nullptr);
};

} // namespace talvex::reader

#pragma once

#include "optionform.h"

namespace talvex::reader {

// Reader speed: the option's number, 4 9600, 5 19200, 6 38400, 1 57600 bit/s.
// value() is 0 until "OK" stores the chosen option.
class Combot : public OptionForm {
    Q_OBJECT
public:
    explicit Combot(QWidget *parent = nullptr);
    int value() const { return m_value; }

protected:
    void okClicked() override;

private:
    int m_value = 0;
};

} // namespace talvex::reader

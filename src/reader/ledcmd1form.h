#pragma once

#include "optionform.h"

namespace talvex::reader {

// Shutter light: 1 on, 2 off.
// value() is 0 until "OK" stores the chosen option.
class LEDCMD1FORM : public OptionForm {
    Q_OBJECT
public:
    explicit LEDCMD1FORM(QWidget *parent = nullptr);
    int value() const { return m_value; }

protected:
    void okClicked() override;

private:
    int m_value = 0;
};

} // namespace talvex::reader

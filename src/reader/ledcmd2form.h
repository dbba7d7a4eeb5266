#pragma once

#include "optionform.h"

namespace talvex::reader {

class GlitterTimes;

// Blinking of the shutter light: on and off times in quarter seconds,
// -1 until "OK" accepts both.
class LEDCMD2FORM : public OptionForm {
    Q_OBJECT
public:
    explicit LEDCMD2FORM(QWidget *parent = nullptr);
    int onTime() const { return m_on; }
    int offTime() const { return m_off; }

protected:
    void okClicked() override;

private:
    GlitterTimes *m_times = nullptr;
    int m_on = -1;
    int m_off = -1;
};

} // namespace talvex::reader

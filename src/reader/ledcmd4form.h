#pragma once

#include "optionform.h"

namespace talvex::reader {

class GlitterTimes;

// Blinking of the three-colour light: the colour code ("0" red, "1" blue,
// "2" orange; 00h for none) and the on and off times, -1 until "OK" accepts
// both.
class LEDCMD4FORM : public OptionForm {
    Q_OBJECT
public:
    explicit LEDCMD4FORM(QWidget *parent = nullptr);
    char colourCode() const { return m_colour; }
    int onTime() const { return m_on; }
    int offTime() const { return m_off; }

protected:
    void okClicked() override;

private:
    GlitterTimes *m_times = nullptr;
    char m_colour = '\0';
    int m_on = -1;
    int m_off = -1;
};

} // namespace talvex::reader

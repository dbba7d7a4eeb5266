#pragma once

#include "glittertimes.h"

namespace talvex::reader {

// Blinking of the three-colour light: the colour code ("0" red, "1" blue,
// "2" orange; 00h for none, and until "OK" accepts) and the on and off times.
class LEDCMD4FORM : public GlitterForm {
    Q_OBJECT
public:
    explicit LEDCMD4FORM(QWidget *parent = nullptr);
    char colourCode() const { return m_colour; }

protected:
    void okClicked() override;

private:
    char m_colour = '\0';
};

} // namespace talvex::reader

#pragma once

#include "optionform.h"

namespace talvex::reader {

// The three-colour light: colour 1 red, 2 blue, 3 orange; action 1 off, 2 on;
// 0 where "OK" found nothing chosen.
class LEDCMD3FORM : public OptionForm {
    Q_OBJECT
public:
    explicit LEDCMD3FORM(QWidget *parent = nullptr);
    int colour() const { return m_colour; }
    int action() const { return m_action; }

protected:
    void okClicked() override;

private:
    int m_colour = 0;
    int m_action = 0;
};

} // namespace talvex::reader

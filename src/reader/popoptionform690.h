#pragma once

#include "optionform.h"

#include <functional>

namespace talvex::reader {

// Card moves of the KVR-690 (values 1 … 8, "Clean Reader" last). The dialog
// stays open: each "OK" hands the chosen value to move, so that a card can be
// walked through the reader; "Cancel" and the third button close it.
class PopOptionForm690 : public ChoiceForm {
    Q_OBJECT
public:
    PopOptionForm690(std::function<void(int)> move, QWidget *parent = nullptr);

    // The move option's parameter code, 0 for none.
    static char parameterCode(int value);

protected:
    void okClicked() override;

private:
    std::function<void(int)> m_move;
};

} // namespace talvex::reader

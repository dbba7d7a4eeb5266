#pragma once

#include "optionform.h"

namespace talvex::reader {

// Eject of the KVR-638: 1 stop at the front, 2 stop at the front holding the
// card. "OK" stores 2 for anything but the first option, none included.
class PopOptionForm638 : public ChoiceForm {
    Q_OBJECT
public:
    explicit PopOptionForm638(QWidget *parent = nullptr);

protected:
    void okClicked() override;
};

} // namespace talvex::reader

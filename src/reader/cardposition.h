#pragma once

#include "optionform.h"

#include <functional>

namespace talvex::reader {

// Where the card stops after an operation (1 front … 6 rear). Opens on the
// current stop position; every selection, the one made on opening included,
// is recorded as the chosen stop position at once.
class CardPosition : public OptionForm {
    Q_OBJECT
public:
    CardPosition(int currentStopPosition, int &chosenStopPosition, QWidget *parent = nullptr);
    // The selected option's parameter code, 00h when none is selected.
    char parameterCode() const;
    // What "OK" does instead of closing at once: the window sends the
    // position, shows the result and then closes the dialog itself.
    void setOkAction(std::function<void()> action) { m_okAction = std::move(action); }

protected:
    void okClicked() override;

private:
    std::function<void()> m_okAction;
};

} // namespace talvex::reader

#pragma once

namespace talvex::ui {

// Shows the wait cursor over every window of the program while an exchange or
// a scan has been blocking for longer than link::kBusyAfterMs, and takes it
// away when the wait ends. Windows call it as they are built; once is enough.
void showBusyCursorDuringLongWaits();

} // namespace talvex::ui

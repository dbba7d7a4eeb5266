#pragma once

#include "link/exchange.h"

#include <QString>

namespace talvex::reader {

// What the reader control handlers need of the reader window beyond the link:
// the current model (TypeLabel's caption) and the "Record Data" box, which the
// two-step operations check so that both exchanges stay in the traffic log.
class ReaderWindow : public link::ReaderLinkContext {
public:
    virtual QString currentModel() const = 0;
    virtual void setKeepTrafficLog(bool on) = 0; // CheckRecord
};

} // namespace talvex::reader

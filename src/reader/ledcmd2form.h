#pragma once

#include "glittertimes.h"

namespace talvex::reader {

// Blinking of the shutter light: on and off times in quarter seconds.
class LEDCMD2FORM : public GlitterForm {
    Q_OBJECT
public:
    explicit LEDCMD2FORM(QWidget *parent = nullptr);
};

} // namespace talvex::reader

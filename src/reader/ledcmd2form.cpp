#include "ledcmd2form.h"

namespace talvex::reader {

LEDCMD2FORM::LEDCMD2FORM(QWidget *parent) : GlitterForm(QStringLiteral("LEDCMD2FORM"), parent) {
    addTimes();
}

} // namespace talvex::reader

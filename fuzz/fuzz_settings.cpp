// The serial settings text ("9600n81", "9600,n,8,1") and the --port options of
// the command line, on arbitrary text.

#include "fuzzcheck.h"
#include "link/portmap.h"
#include "link/serialbackend.h"

#include <QString>
#include <QStringList>
#include <cstdint>

using namespace talvex::link;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    LineSettings settings;
    if (parseLineSettings(text, &settings)) {
        FUZZ_CHECK(settings.baud > 0);
        FUZZ_CHECK(settings.parity == 'n' || settings.parity == 'o' || settings.parity == 'e');
        FUZZ_CHECK(settings.dataBits == 7 || settings.dataBits == 8);
        FUZZ_CHECK(settings.stopBits == 1 || settings.stopBits == 2);
        LineSettings again;
        FUZZ_CHECK(parseLineSettings(lineSettingsText(settings), &again) && again == settings);
    }

    // Every --port option is taken out, good or bad; the rest stays in order.
    const QStringList arguments =
        QStringList{QStringLiteral("talvex")} + text.split(QLatin1Char('\n'));
    QStringList errors;
    const QStringList rest = portmap::applyCommandLine(arguments, &errors);
    FUZZ_CHECK(rest.size() <= arguments.size());
    for (const QString &kept : rest) {
        FUZZ_CHECK(arguments.contains(kept));
        FUZZ_CHECK(kept != QLatin1String("--port") && !kept.startsWith(QLatin1String("--port=")));
    }
    portmap::clear();
    return 0;
}

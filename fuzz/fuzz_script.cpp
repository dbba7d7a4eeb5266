// The check script parser on arbitrary bytes: it never crashes, a fault names a
// place inside the text, and a script it takes holds only steps the line can
// carry.

#include "fuzzcheck.h"
#include "run/script.h"

#include <QByteArray>
#include <cstdint>

using namespace talvex::run;

namespace {

void checkSteps(const std::vector<Step> &steps, int lines, int depth) {
    for (const Step &s : steps) {
        FUZZ_CHECK(s.line >= 1 && s.line <= lines);
        FUZZ_CHECK(s.column >= 1);
        switch (s.kind) {
        case StepKind::Repeat:
            FUZZ_CHECK(s.count >= 1 && s.count <= 1000000);
            checkSteps(s.steps, lines, depth + 1);
            break;
        case StepKind::Reader:
            if (s.readerOp == ReaderOp::ReadTracks) {
                FUZZ_CHECK(s.body.size() == 4);
                FUZZ_CHECK(s.body.at(0) == 'E' && s.body.at(1) == '0');
                FUZZ_CHECK(s.body.at(3) >= '1' && s.body.at(3) <= '7');
            }
            if (s.readerOp == ReaderOp::RfRead) {
                FUZZ_CHECK(s.keyCheck.size() == 9);
                FUZZ_CHECK(s.body.size() == 4);
            }
            if (s.readerOp == ReaderOp::Apdu)
                FUZZ_CHECK(s.data.size() >= 4 && s.data.size() <= 251);
            if (s.readerOp == ReaderOp::Reset)
                FUZZ_CHECK(s.pm >= '0' && s.pm <= '2');
            break;
        case StepKind::Send:
            FUZZ_CHECK(!s.body.isEmpty() && s.body.size() <= 1024);
            break;
        case StepKind::Wait:
            FUZZ_CHECK(s.ms >= 0 && s.ms <= 3600000);
            break;
        case StepKind::Expect:
            FUZZ_CHECK(expectFields().contains(s.field));
            break;
        default:
            FUZZ_CHECK(s.steps.empty());
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const int lines = int(text.count('\n')) + 1;
    for (DeviceKind device : {DeviceKind::Reader, DeviceKind::Dispenser820}) {
        const auto result = parseScript(text, QStringLiteral("f.tvx"), device);
        if (const auto *error = std::get_if<ScriptError>(&result)) {
            FUZZ_CHECK(error->line >= 1 && error->line <= lines);
            FUZZ_CHECK(error->column >= 1);
            FUZZ_CHECK(!error->message.isEmpty());
            FUZZ_CHECK(error->text().startsWith(QStringLiteral("f.tvx:")));
        } else {
            checkSteps(std::get<Script>(result).steps, lines, 0);
        }
    }
    return 0;
}

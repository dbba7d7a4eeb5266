// The error-code lookup of negative replies: every code raises the box of its
// row or none, and ShowReaderError answers 1 whatever the code.

#include "fuzzcheck.h"
#include "link/messages.h"
#include "link/replycodes.h"

#include <QList>
#include <cstdint>

using namespace talvex::link;

namespace {

class Boxes final : public MessageBoxes {
public:
    MsgAnswer show(const MessageRequest &request) override {
        shown.append(request);
        return MsgAnswer::Ok;
    }
    QList<MessageRequest> shown;
};

bool hasBox(quint8 code) {
    return code <= 0x07 && code != 0x03;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Boxes boxes;
    setMessageBoxes(&boxes);
    for (std::size_t i = 0; i < size; ++i) {
        const quint8 code = data[i];
        boxes.shown.clear();
        const auto message = readerErrorMessage(code);
        FUZZ_CHECK(message.has_value() == hasBox(code));
        FUZZ_CHECK(ShowReaderError(code) == 1);
        FUZZ_CHECK(boxes.shown.size() == (hasBox(code) ? 1 : 0));
        if (message) {
            const MessageRequest &box = boxes.shown.first();
            FUZZ_CHECK(box.icon == MsgIcon::Information && box.buttons == MsgButtons::Ok);
            FUZZ_CHECK(box.text == message->text && box.title == message->title);
            FUZZ_CHECK(!box.text.isEmpty());
            FUZZ_CHECK(box.title == (code == 0x05
                                         ? QStringLiteral("The input power supply is not in "
                                                          "the operation range")
                                         : QStringLiteral("Error")));
        }
    }
    setMessageBoxes(nullptr);
    return 0;
}

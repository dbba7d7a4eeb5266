#include "messages.h"

#include <cstdio>

namespace talvex::link {
namespace {

// Until a window installs real boxes, messages go to stderr and answer OK.
class StderrMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const MessageRequest &request) override
    {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(request.title), qPrintable(request.text));
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
};

MessageBoxes *g_boxes = nullptr;

} // namespace

MessageBoxes &messageBoxes()
{
    static StderrMessageBoxes fallback;
    return g_boxes ? *g_boxes : fallback;
}

void setMessageBoxes(MessageBoxes *boxes) { g_boxes = boxes; }

MsgAnswer showMessage(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons)
{
    return messageBoxes().show(MessageRequest{title, text, icon, buttons});
}

void showCaution(const QString &text)
{
    showMessage(text, QStringLiteral("Caution"), MsgIcon::Exclamation);
}

} // namespace talvex::link

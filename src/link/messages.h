#pragma once

#include <QString>

namespace talvex::link {

enum class MsgIcon { None, Information, Exclamation, Question };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString title;
    QString text; // lines separated by "\r\n", exactly as shown
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

// Every message box of the program goes through this seam: the windows install
// a QMessageBox-backed implementation, tests install one that records and answers.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const MessageRequest &request) = 0;
};

MessageBoxes &messageBoxes();
void setMessageBoxes(MessageBoxes *boxes); // nullptr restores the default (stderr, answers Ok)

MsgAnswer showMessage(const QString &text, const QString &title, MsgIcon icon,
                      MsgButtons buttons = MsgButtons::Ok);

// The most common box: title "Caution", exclamation icon, OK.
void showCaution(const QString &text);

} // namespace talvex::link

#pragma once

#include "link/messages.h"

#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QMessageBox;
class QWidget;

namespace talvex::ui {

// The box for a request: its text always plain, CR LF as line breaks.
std::unique_ptr<QMessageBox> makeMessageBox(const link::MessageRequest &request, QWidget *parent);

// Message boxes as QMessageBox, owned by the window that is active.
class WidgetMessageBoxes final : public link::MessageBoxes {
public:
    link::MsgAnswer show(const link::MessageRequest &request) override;
};

// Modal dialogs run through here so that tests can script them: a script gets
// the dialog, already built and loaded, clicks or fills its controls, and
// returns the dialog's result instead of entering its event loop.
using DialogScript = std::function<int(QDialog &)>;
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    virtual int exec(QDialog &dialog) = 0;
};
int execModal(QDialog &dialog);
void setDialogRunner(DialogRunner *runner); // nullptr: QDialog::exec()

struct OpenFileRequest {
    QWidget *parent = nullptr;
    QString title;
    QString directory;
    QString fileName;      // preset text of the name field
    QString filter;        // Qt filter text, e.g. "All files (*.TXT)"
    bool existingOnly = true;
    bool hideReadOnly = true;
};
struct SaveFileRequest {
    QWidget *parent = nullptr;
    QString title;
    QString directory;
    QString fileName;
    QString filter;
};

// System file dialogs; an empty result means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString openFile(const OpenFileRequest &request) = 0;
    virtual QString saveFile(const SaveFileRequest &request) = 0;
};
FileDialogs &fileDialogs();
void setFileDialogs(FileDialogs *dialogs);

// "Save As..." for a text file in winDir; a name typed without an extension
// gets ".TXT". Empty when the user cancelled.
QString askTextSavePath(QWidget *parent);
// "Open file" on the program's own text files (pattern such as "MagAuto*.TXT")
// in folder, and the chosen one in the system text editor.
void openTextFileInEditor(QWidget *parent, const QString &folder, const QString &pattern);

// The system text editor, started with one file.
class EditorLauncher {
public:
    virtual ~EditorLauncher() = default;
    virtual bool openInEditor(const QString &path) = 0;
};
EditorLauncher &editorLauncher();
void setEditorLauncher(EditorLauncher *launcher);

} // namespace talvex::ui

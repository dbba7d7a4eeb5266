#include "seams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace talvex::ui {

using link::MsgAnswer;
using link::MsgButtons;
using link::MsgIcon;

std::unique_ptr<QMessageBox> makeMessageBox(const link::MessageRequest &request, QWidget *parent)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (request.icon) {
    case MsgIcon::Information: icon = QMessageBox::Information; break;
    case MsgIcon::Exclamation: icon = QMessageBox::Warning; break;
    case MsgIcon::Question: icon = QMessageBox::Question; break;
    case MsgIcon::None: break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.buttons == MsgButtons::OkCancel)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (request.buttons == MsgButtons::YesNo)
        buttons = QMessageBox::Yes | QMessageBox::No;

    QString text = request.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto box = std::make_unique<QMessageBox>(icon, request.title, text, buttons, parent);
    // Boxes carry what readers and users sent: shown as it is, never as markup.
    box->setTextFormat(Qt::PlainText);
    return box;
}

MsgAnswer WidgetMessageBoxes::show(const link::MessageRequest &request)
{
    const std::unique_ptr<QMessageBox> box = makeMessageBox(request, QApplication::activeWindow());
    switch (box->exec()) {
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default: return MsgAnswer::Ok;
    }
}

namespace {

DialogRunner *g_runner = nullptr;
FileDialogs *g_fileDialogs = nullptr;
EditorLauncher *g_editor = nullptr;

class SystemFileDialogs final : public FileDialogs {
public:
    QString openFile(const OpenFileRequest &r) override
    {
        QFileDialog dialog(r.parent, r.title, r.directory, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(r.existingOnly ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!r.fileName.isEmpty())
            dialog.selectFile(r.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
    QString saveFile(const SaveFileRequest &r) override
    {
        QFileDialog dialog(r.parent, r.title, r.directory, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        if (!r.fileName.isEmpty())
            dialog.selectFile(r.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

class DesktopEditor final : public EditorLauncher {
public:
    // The desktop's default application for text files; no shell is involved.
    bool openInEditor(const QString &path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

} // namespace

int execModal(QDialog &dialog) { return g_runner ? g_runner->exec(dialog) : dialog.exec(); }
void setDialogRunner(DialogRunner *runner) { g_runner = runner; }

FileDialogs &fileDialogs()
{
    static SystemFileDialogs system;
    return g_fileDialogs ? *g_fileDialogs : system;
}
void setFileDialogs(FileDialogs *dialogs) { g_fileDialogs = dialogs; }

EditorLauncher &editorLauncher()
{
    static DesktopEditor desktop;
    return g_editor ? *g_editor : desktop;
}
void setEditorLauncher(EditorLauncher *launcher) { g_editor = launcher; }

QString askTextSavePath(QWidget *parent) {
    SaveFileRequest request;
    request.parent = parent;
    request.title = QStringLiteral("Save As...");
    request.directory = qEnvironmentVariable("winDir");
    request.filter = QStringLiteral("Text Files (*.TXT)");
    QString path = fileDialogs().saveFile(request);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".TXT");
    return path;
}

void openTextFileInEditor(QWidget *parent, const QString &folder, const QString &pattern) {
    OpenFileRequest request;
    request.parent = parent;
    request.title = QStringLiteral("Open file");
    request.directory = folder;
    request.fileName = pattern;
    // The files are written as ".txt": both cases, for dialogs that match by case.
    request.filter = QStringLiteral("All files (*.TXT *.txt)");
    request.existingOnly = true;
    request.hideReadOnly = true;
    const QString path = fileDialogs().openFile(request);
    if (!path.isEmpty())
        editorLauncher().openInEditor(path);
}

} // namespace talvex::ui

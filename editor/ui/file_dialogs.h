// The editor's file dialogs (dlgSohranit, dlgZagruzit, dlgVibratPoverhnosti): a filter written
// as "description|pattern|description|pattern" and a default extension appended to a typed name
// without one. No title of their own.
//
// Their lists are decorated from a file's name and kind alone, never from its contents: the
// toolkit's own icon provider guesses a file's type by reading its first bytes on the GUI
// thread, and files of special file systems block such a read for good (as root, /proc/kmsg
// waits for the next kernel message) or lose what is read from them.
#pragma once

#include <QFileDialog>
#include <QFileIconProvider>
#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace ui {

// "Датчики (*.dt)|*.dt|Все файлы (*.*)|*.*" -> "Датчики (*.dt);;Все файлы (*.*)". A
// description that does not end in its patterns gets them appended in brackets.
QString qtNameFilters(const QString& pipeFilter);

// Icons and type names by a file's kind and the extension of its name; no file is opened.
class NameOnlyIconProvider : public QFileIconProvider {
  public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
};

// Sets a dialog up as the editor's file dialogs are: filter, default extension, mode, the
// dialog folder, and a list that reads no file's contents (the toolkit's own dialog where the
// platform's would be used, so that the name-only provider decorates it).
void prepareFileDialog(QFileDialog& dialog, const char* pipeFilter, const char* defaultExtension,
                       QFileDialog::AcceptMode mode);

// The confirmed full file name, or nothing when the user cancelled. The dialog folder stays as
// it is: see makeFolderCurrent.
std::optional<QString> askOpenFileName(QWidget* owner, const char* pipeFilter,
                                       const char* defaultExtension);
// Appending to a probe file is never a replacement: no overwrite question.
std::optional<QString> askSaveFileName(QWidget* owner, const char* pipeFilter,
                                       const char* defaultExtension);

// Once an operation has read or written the file a dialog chose, its folder becomes the one
// where the next dialog opens. A failed operation leaves the folder where it was. The process's
// working folder is never changed: names without a folder are still looked for where the editor
// was started.
void makeFolderCurrent(const QString& fileName);
// Where the next file dialog opens: the folder of the last file used, at first the working
// folder.
QString dialogFolder();
void setDialogFolder(const QString& folder);

// A text as the libraries take it: NUL-terminated cp1251 (file names included; the libraries
// turn them back into the file system's names).
std::string toLibraryText(const QString& text);

}  // namespace ui

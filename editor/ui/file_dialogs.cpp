#include "editor/ui/file_dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStringList>

#include "platform/cp1251.h"

namespace ui {

QString qtNameFilters(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    // Kinds come from the file system's own records (stat), which never block on a file.
    if (info.isRoot()) return icon(QFileIconProvider::Drive);
    if (info.isDir()) return icon(QFileIconProvider::Folder);
    return icon(QFileIconProvider::File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    // Folders and drives by their kind, in the editor's language whatever the toolkit's
    // translation holds; plain files by their name's type (the base class would read them).
    if (info.isRoot()) return QString::fromUtf8("Диск");
    if (info.isDir()) return QString::fromUtf8("Папка");
    if (!info.isFile()) return QString::fromUtf8("Файл");
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

void prepareFileDialog(QFileDialog& dialog, const char* pipeFilter, const char* defaultExtension,
                       QFileDialog::AcceptMode mode) {
    // One provider for every dialog: a dialog only borrows it.
    static NameOnlyIconProvider nameOnly;
    QFileDialog::Options options = QFileDialog::DontUseCustomDirectoryIcons;
#if !defined(Q_OS_WIN)
    // Dialogs of the desktop's own would decorate their lists as they please; the system's
    // dialogs on Windows read no special file systems.
    options |= QFileDialog::DontUseNativeDialog;
#endif
    if (mode == QFileDialog::AcceptSave) options |= QFileDialog::DontConfirmOverwrite;
    dialog.setOptions(options);
    dialog.setIconProvider(&nameOnly);
    dialog.setDirectory(dialogFolder());  // where the last operation succeeded
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(qtNameFilters(QString::fromUtf8(pipeFilter)));
    dialog.setDefaultSuffix(QString::fromUtf8(defaultExtension));
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
}

namespace {

std::optional<QString> ask(QWidget* owner, const char* pipeFilter, const char* defaultExtension,
                           QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner);
    prepareFileDialog(dialog, pipeFilter, defaultExtension, mode);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

namespace {
QString& lastFolder() {
    static QString folder;
    return folder;
}
}  // namespace

void makeFolderCurrent(const QString& fileName) {
    lastFolder() = QFileInfo(fileName).absolutePath();
}

QString dialogFolder() {
    return lastFolder().isEmpty() ? QDir::currentPath() : lastFolder();
}

void setDialogFolder(const QString& folder) {
    lastFolder() = folder;
}

std::optional<QString> askOpenFileName(QWidget* owner, const char* pipeFilter,
                                       const char* defaultExtension) {
    return ask(owner, pipeFilter, defaultExtension, QFileDialog::AcceptOpen);
}

std::optional<QString> askSaveFileName(QWidget* owner, const char* pipeFilter,
                                       const char* defaultExtension) {
    return ask(owner, pipeFilter, defaultExtension, QFileDialog::AcceptSave);
}

std::string toLibraryText(const QString& text) {
    return platform::utf8ToCp1251(text.toStdString());
}

}  // namespace ui

#include "editor/ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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

namespace {

std::optional<QString> ask(QWidget* owner, const char* pipeFilter, const char* defaultExtension,
                           QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner);
    dialog.setDirectory(QDir::currentPath());  // where the last confirmed choice was made
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(qtNameFilters(QString::fromUtf8(pipeFilter)));
    dialog.setDefaultSuffix(QString::fromUtf8(defaultExtension));
    if (mode == QFileDialog::AcceptSave) {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    // As the system's own file dialogs do, a confirmed choice makes the chosen file's folder the
    // current one: the next dialog opens there, and a name the probe keeps without a folder (its
    // surface file) is looked for beside the probe file that was just opened.
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return chosen;
}

}  // namespace

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

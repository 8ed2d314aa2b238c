// The editor's file dialogs (dlgSohranit, dlgZagruzit, dlgVibratPoverhnosti): a filter written
// as "description|pattern|description|pattern" and a default extension appended to a typed name
// without one. No title or options of their own.
#pragma once

#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace ui {

// "Датчики (*.dt)|*.dt|Все файлы (*.*)|*.*" -> "Датчики (*.dt);;Все файлы (*.*)". A
// description that does not end in its patterns gets them appended in brackets.
QString qtNameFilters(const QString& pipeFilter);

// The confirmed full file name, or nothing when the user cancelled.
std::optional<QString> askOpenFileName(QWidget* owner, const char* pipeFilter,
                                       const char* defaultExtension);
// Appending to a probe file is never a replacement: no overwrite question.
std::optional<QString> askSaveFileName(QWidget* owner, const char* pipeFilter,
                                       const char* defaultExtension);

// A text as the libraries take it: NUL-terminated cp1251 (file names included; the libraries
// turn them back into the file system's names).
std::string toLibraryText(const QString& text);

}  // namespace ui

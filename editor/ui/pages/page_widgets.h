// The widgets the page builders make, each with its object name (the control's name) set.
#pragma once

#include <QColor>
#include <QString>
#include <optional>
#include <span>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QWidget;

namespace ui {

QString fromUtf8(const char* utf8);
QString fromUtf8(const std::string& utf8);

// A combo box offering `items`, nothing chosen.
QComboBox* fixedList(QWidget* parent, const char* name, std::span<const char* const> items);
// An editable combo box whose typed texts never join its drop-down list.
QComboBox* editField(QWidget* parent, const char* name);
QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption);
// A multi-line field without line wrap, which Tab leaves.
QPlainTextEdit* memo(QWidget* parent, const char* name);
QLabel* label(QWidget* parent, const char* text);

// The background of a field whose text will not be stored as typed.
QColor notStoredTint();
// Tints `field` and gives it `note` as its tool tip, or takes both away when there is no note.
void markNotStored(QWidget* field, const std::optional<std::string>& note);

}  // namespace ui

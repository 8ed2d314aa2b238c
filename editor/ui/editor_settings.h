// The editor's own settings: the window's place, the recent files and the last folder, in the
// user's settings folder (probe-tools/probe_editor).
#pragma once

#include <QSettings>

namespace ui {

inline QSettings editorSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("probe-tools"),
                     QStringLiteral("probe_editor"));
}

}  // namespace ui

// The main window's place on screen and what it keeps between runs: the frame, the recent files
// and the last folder.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "editor/collections/recent_files.h"
#include "editor/ui/editor_settings.h"
#include "editor/ui/file_dialogs.h"
#include "editor/ui/main_window.h"

namespace ui {

namespace {

std::vector<std::string> toStrings(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& s : list) out.push_back(s.toStdString());
    return out;
}

}  // namespace

void TfrmRedaktor::loadRecentFiles() {
    if (rememberState) {
        const collections::RecentFiles kept(
            toStrings(editorSettings().value(QStringLiteral("recentFiles")).toStringList()));
        for (const std::string& path : kept.paths()) recent_ << QString::fromStdString(path);
    }
    rebuildRecentMenu();
}

void TfrmRedaktor::placeAgainWithFrame() {
    if (placedWithFrame_ || !isVisible() || frameGeometry().size() == geometry().size()) return;
    placedWithFrame_ = true;
    placeOnScreen();
}

void TfrmRedaktor::placeOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect whole = screen->geometry();
    const QRect free = screen->availableGeometry();
    const QSize borders = frameGeometry().size() - geometry().size();
    const QSize preferred(lifecycle::kClientWidth, lifecycle::kClientHeight +
                                                       menuBar()->sizeHint().height() +
                                                       statusBar()->sizeHint().height());
    // Today's size is the least the window takes, unless the screen is smaller still.
    setMinimumSize(preferred.boundedTo(free.size() - borders));

    std::optional<lifecycle::Rect> saved;
    if (rememberState) {
        const QRect kept = editorSettings().value(QStringLiteral("window/frame")).toRect();
        if (kept.isValid())
            saved = lifecycle::Rect{kept.x(), kept.y(), kept.width(), kept.height()};
    }
    const lifecycle::Rect r = lifecycle::placeOnScreen(
        {whole.x(), whole.y(), whole.width(), whole.height()},
        {free.x(), free.y(), free.width(), free.height()}, saved,
        {preferred.width() + borders.width(), preferred.height() + borders.height()});
    resize(r.width - borders.width(), r.height - borders.height());
    move(r.left, r.top);
}

void TfrmRedaktor::saveWindowState() {
    if (!rememberState) return;
    QSettings settings = editorSettings();
    settings.setValue(QStringLiteral("window/frame"), frameGeometry());
    settings.setValue(QStringLiteral("recentFiles"), recent_);
    settings.setValue(QStringLiteral("lastFolder"), dialogFolder());
}

QStringList TfrmRedaktor::recentFiles() const {
    return recent_;
}

void TfrmRedaktor::useRecentFile(const QString& path) {
    collections::RecentFiles list(toStrings(recent_));
    list.use(path.toStdString());
    recent_.clear();
    for (const std::string& p : list.paths()) recent_ << QString::fromStdString(p);
    rebuildRecentMenu();
    if (rememberState) editorSettings().setValue(QStringLiteral("recentFiles"), recent_);
}

void TfrmRedaktor::rebuildRecentMenu() {
    qDeleteAll(recentActions_);
    recentActions_.clear();
    if (recentSeparator_ == nullptr) {
        recentSeparator_ = menuProbes->addSeparator();
        recentSeparator_->setObjectName(QStringLiteral("recentFilesSeparator"));
    }
    recentSeparator_->setVisible(!recent_.isEmpty());
    const std::vector<std::string> captions =
        collections::RecentFiles(toStrings(recent_)).captions();
    int number = 1;
    for (const QString& path : recent_) {
        const auto i = static_cast<std::size_t>(number - 1);
        const QString name =
            i < captions.size() ? QString::fromStdString(captions[i]) : QFileInfo(path).fileName();
        QString caption = QStringLiteral("&%1 %2").arg(number++).arg(name);
        QAction* action = menuProbes->addAction(caption);
        action->setObjectName(QStringLiteral("recentFile"));
        action->setToolTip(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [this, path] { openProbeFile(path); });
        recentActions_ << action;
    }
}

}  // namespace ui

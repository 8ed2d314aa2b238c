// The main window's menu and its commands: each command runs its logic, then the title, the
// undo steps and the commands' availability follow what it did.
#include <QAction>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "editor/ui/collections_binding.h"
#include "editor/ui/main_window.h"
#include "editor/ui/pages/probe_pages.h"
#include "platform/cp1251.h"

namespace ui {

void TfrmRedaktor::createMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    // Captions carry a mnemonic marker ('&' before a letter of the caption); the caption's
    // letters stay as they are.
    auto item = [this](QMenu* menu, const char* name, const char* caption,
                       const QKeySequence& keys = {}) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        return action;
    };

    menuProbe = bar->addMenu(QString::fromUtf8("&Датчик"));
    menuProbe->setObjectName(QStringLiteral("menuProbe"));
    miInicializirovat = item(menuProbe, "miInicializirovat", "&Инициализировать");
    // Outside a text field; a field with the keyboard keeps these keys for its own undo.
    undoAction = item(menuProbe, "undoAction", "&Отменить", QKeySequence(QStringLiteral("Ctrl+Z")));
    redoAction =
        item(menuProbe, "redoAction", "&Повторить", QKeySequence(QStringLiteral("Ctrl+Y")));
    redoAction->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    miSohranitOdin = item(menuProbe, "miSohranitOdin", "&Добавить в файл...",
                          QKeySequence(QStringLiteral("Ctrl+S")));
    menuProbe->addSeparator();
    miVibratDatchik = item(menuProbe, "miVibratDatchik", "В&ыбрать");
    menuProbe->addSeparator();
    miVihod = item(menuProbe, "miVihod", "Вы&ход", QKeySequence(QStringLiteral("Ctrl+Q")));

    menuProbes = bar->addMenu(QString::fromUtf8("Д&атчики"));
    menuProbes->setObjectName(QStringLiteral("menuProbes"));
    miSohranit = item(menuProbes, "miSohranit", "&Добавить в файл...",
                      QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    miZagruzit = item(menuProbes, "miZagruzit", "&Загрузить из файла...",
                      QKeySequence(QStringLiteral("Ctrl+O")));

    // "О программе" has no items: the menu bar entry itself is the command.
    N3 = bar->addAction(QString::fromUtf8("&О программе"));
    N3->setObjectName(QStringLiteral("N3"));

    connect(miInicializirovat, &QAction::triggered, this, &TfrmRedaktor::miInicializirovatClick);
    connect(undoAction, &QAction::triggered, this, [this] {
        if (!loader_.isLoaded(biblioteki::kProbeStore)) return;
        history_->undo();
        refreshChanges();
        updateUndo();
    });
    connect(redoAction, &QAction::triggered, this, [this] {
        if (!loader_.isLoaded(biblioteki::kProbeStore)) return;
        history_->redo();
        refreshChanges();
        updateUndo();
    });
    connect(miSohranitOdin, &QAction::triggered, this, &TfrmRedaktor::miSohranitOdinClick);
    connect(miVibratDatchik, &QAction::triggered, this, &TfrmRedaktor::miVibratDatchikClick);
    connect(miVihod, &QAction::triggered, this, &TfrmRedaktor::miVihodClick);
    connect(miSohranit, &QAction::triggered, this, &TfrmRedaktor::miSohranitClick);
    connect(miZagruzit, &QAction::triggered, this, &TfrmRedaktor::miZagruzitClick);
    connect(N3, &QAction::triggered, this, &TfrmRedaktor::N3Click);

    // Esc leaves the title panel; the action is on only while the panel is up.
    auto* leaveTitle = new QAction(this);
    leaveTitle->setObjectName(QStringLiteral("leaveTitlePanel"));
    leaveTitle->setShortcut(Qt::Key_Escape);
    addAction(leaveTitle);
    connect(leaveTitle, &QAction::triggered, this, [this] {
        if (pnlNazvanie && pnlNazvanie->isVisible()) pnlNazvanieClick();
    });
}

void TfrmRedaktor::refreshChanges() {
    auto* b = CollectionsBinding::of(this);
    QString title = QString::fromUtf8(lifecycle::kApplicationTitle);
    if (b == nullptr) {
        setWindowTitle(title);
        return;
    }
    const std::string& file = b->files().collectionFile();
    if (!file.empty())
        title += QStringLiteral(" — ") +
                 QFileInfo(QString::fromStdString(platform::cp1251ToUtf8(file))).fileName();
    if (b->files().noteCurrentProbe()) title += QStringLiteral(" *");
    setWindowTitle(title);
}

void TfrmRedaktor::updateUndo() {
    const bool store = loader_.isLoaded(biblioteki::kProbeStore);
    if (undoAction) undoAction->setEnabled(store && history_ && history_->canUndo());
    if (redoAction) redoAction->setEnabled(store && history_ && history_->canRedo());
    // Only a current probe can be added to a file.
    if (miSohranitOdin)
        miSohranitOdin->setEnabled(store && selection_.current != nullptr &&
                                   selection_.currentIndex < selection_.probeCount);
}

void TfrmRedaktor::noteChange() {
    if (history_ && loader_.isLoaded(biblioteki::kProbeStore)) history_->note();
    refreshChanges();
    updateUndo();
}

void TfrmRedaktor::followCollection() {
    auto* b = CollectionsBinding::of(this);
    if (b == nullptr || !history_) return;
    if (b->files().collectionGeneration() != generation_) {
        generation_ = b->files().collectionGeneration();
        history_->clear();
    } else {
        history_->follow();
    }
}

void TfrmRedaktor::FormActivate() {
    lifecycle_->FormActivate();
}
void TfrmRedaktor::FormDestroy() {
    lifecycle_->FormDestroy();
}
void TfrmRedaktor::miInicializirovatClick() {
    // What the page shows is stored first: as a step of its own, it is not lost to the reset,
    // which is one step more.
    if (loader_.isLoaded(biblioteki::kProbeStore) && selection_.current != nullptr) {
        probePages_->storeActivePage();
        noteChange();
    }
    lifecycle_->miInicializirovatClick();
    noteChange();
}
void TfrmRedaktor::miVihodClick() {
    lifecycle_->miVihodClick();
}

// --- probe file commands ---
void TfrmRedaktor::miSohranitOdinClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miSohranitOdinClick();
    refreshChanges();
    updateUndo();
}
void TfrmRedaktor::miVibratDatchikClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miVibratDatchikClick();
    followCollection();
    refreshChanges();
    updateUndo();
}
void TfrmRedaktor::miSohranitClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miSohranitClick();
    refreshChanges();
}
void TfrmRedaktor::miZagruzitClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miZagruzitClick();
    followCollection();
    refreshChanges();
    updateUndo();
}

// --- title panel ---
void TfrmRedaktor::N3Click() {
    if (auto* b = CollectionsBinding::of(this)) b->titlePanel().N3Click();
}
void TfrmRedaktor::pnlNazvanieClick() {
    if (auto* b = CollectionsBinding::of(this)) b->titlePanel().pnlNazvanieClick();
}
void TfrmRedaktor::bnDataKeyUp(int virtualKey) {
    if (auto* b = CollectionsBinding::of(this)) b->titlePanel().bnDataKeyUp(virtualKey);
}

// --- surface viewing ---
void TfrmRedaktor::tmZakritModalnuyuTimer() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().tmZakritModalnuyuTimer();
}
void TfrmRedaktor::bnIFsPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIFsPClick();
    // The chosen file was stored into the probe: a change like any field's.
    noteChange();
}
void TfrmRedaktor::bnIIPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIIPClick();
}
void TfrmRedaktor::bnIIIPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIIIPClick();
}
void TfrmRedaktor::bnIIPPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIIPPClick();
}

}  // namespace ui

// The editor's main window "Редактор ЖУВ": main menu, the page control with its eight pages,
// the hidden title panel and the timer that closes the surface viewing box.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>

#include "editor/lifecycle/edit_history.h"
#include "editor/lifecycle/lifecycle.h"
#include "editor/probe/selection.h"
#include "probe_core/biblioteki/biblioteki.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QWidget;

namespace ui {

class ProbePages;

class TfrmRedaktor : public QMainWindow {
    Q_OBJECT

  public:
    // Runs FormCreate: places the window, loads the probe store and selects record 0.
    TfrmRedaktor(biblioteki::Biblioteki& loader, probe::ProbeSelection& selection,
                 QWidget* parent = nullptr);
    // Runs FormDestroy: stores the active page and frees every library.
    ~TfrmRedaktor() override;

    // Whether the window keeps its size and place, the recent files and the last folder between
    // runs (in the user's settings of the editor). Off unless the program turns it on, so that
    // windows made by tests neither read nor change them.
    static inline bool rememberState = false;

    // Loads a probe file named outside the file dialog: the command line, a recent file, a drop.
    bool openProbeFile(const QString& path);
    // The probe files offered under "Датчики", newest first.
    QStringList recentFiles() const;

    biblioteki::Biblioteki& loader() { return loader_; }
    probe::ProbeSelection& selection() { return selection_; }
    lifecycle::Lifecycle& lifecycle() { return *lifecycle_; }
    lifecycle::EditHistory& history() { return *history_; }

    // Menus and commands of MainMenu1.
    QMenu* menuProbe = nullptr;   // "Датчик"
    QMenu* menuProbes = nullptr;  // "Датчики"
    QAction* miInicializirovat = nullptr;
    QAction* miSohranitOdin = nullptr;
    QAction* miVibratDatchik = nullptr;
    QAction* miVihod = nullptr;
    QAction* undoAction = nullptr;  // "Отменить": undoes the last stored change
    QAction* redoAction = nullptr;  // "Повторить": does again what "Отменить" undid
    QAction* miSohranit = nullptr;
    QAction* miZagruzit = nullptr;
    QAction* N3 = nullptr;  // "О программе": the menu bar entry is itself the command

    // The main panel with the page control, and the title panel that replaces it on request;
    // both fill the client area.
    QWidget* pnlGlavnaya = nullptr;
    QFrame* pnlNazvanie = nullptr;
    QTabWidget* pcParametri = nullptr;
    // The page of pcParametri with this object name (its control name), or null.
    QWidget* page(const char* objectName) const;

    QTimer* tmZakritModalnuyu = nullptr;
    QLabel* statusLine = nullptr;  // what the last probe file command did

  public slots:
    void FormActivate();
    void FormDestroy();
    void miInicializirovatClick();
    void miVihodClick();

    // Probe file commands.
    void miSohranitOdinClick();
    void miVibratDatchikClick();
    void miSohranitClick();
    void miZagruzitClick();
    // About and the title panel.
    void N3Click();
    void pnlNazvanieClick();
    // Surface viewing.
    void tmZakritModalnuyuTimer();
    void bnIFsPClick();
    void bnIIPClick();
    void bnIIIPClick();
    void bnIIPPClick();
    void bnDataKeyUp(int virtualKey);

  protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class WindowOps;

    void createMenu();
    void loadRecentFiles();
    // After a store: the change becomes a step, and the title and the commands follow.
    void noteChange();
    // After a command that may have replaced the collection or chosen another probe.
    void followCollection();
    void createPages();
    void placeAgainWithFrame();
    void placeOnScreen();
    void saveWindowState();
    void useRecentFile(const QString& path);
    void rebuildRecentMenu();
    void refreshChanges();
    void updateUndo();

    biblioteki::Biblioteki& loader_;
    probe::ProbeSelection& selection_;
    std::unique_ptr<WindowOps> ops_;
    std::unique_ptr<lifecycle::Lifecycle> lifecycle_;
    std::unique_ptr<lifecycle::EditHistory> history_;
    std::uint64_t generation_ = 0;  // the collection the history's steps belong to
    ProbePages* probePages_ = nullptr;
    QStringList recent_;             // full paths, newest first
    QList<QAction*> recentActions_;  // their items under "Датчики"
    QAction* recentSeparator_ = nullptr;
    bool placedWithFrame_ = false;
};

}  // namespace ui

// The editor's main window "Редактор ЖУВ": main menu, the page control with its eight pages,
// the hidden title panel and the timer that closes the surface viewing box.
#pragma once

#include <QMainWindow>
#include <memory>

#include "editor/biblioteki/biblioteki.h"
#include "editor/lifecycle/lifecycle.h"
#include "editor/probe/selection.h"

class QAction;
class QFrame;
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

    biblioteki::Biblioteki& loader() { return loader_; }
    probe::ProbeSelection& selection() { return selection_; }
    lifecycle::Lifecycle& lifecycle() { return *lifecycle_; }

    // Menus and commands of MainMenu1.
    QMenu* menuProbe = nullptr;   // "Датчик"
    QMenu* menuProbes = nullptr;  // "Датчики"
    QAction* miInicializirovat = nullptr;
    QAction* miSohranitOdin = nullptr;
    QAction* miVibratDatchik = nullptr;
    QAction* miVihod = nullptr;
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

  private:
    class WindowOps;

    void createMenu();
    void createPages();
    void placeAgainWithFrame();

    biblioteki::Biblioteki& loader_;
    probe::ProbeSelection& selection_;
    std::unique_ptr<WindowOps> ops_;
    std::unique_ptr<lifecycle::Lifecycle> lifecycle_;
    ProbePages* probePages_ = nullptr;
    bool placedWithFrame_ = false;
};

}  // namespace ui

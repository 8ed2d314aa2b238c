// The main window's probe file commands, surface viewing and title panel, bound to their widgets:
// the file dialogs, the message box, TfrmVibor, TfrmModal, the timer tmZakritModalnuyu, the
// page-8 fields and buttons, bnData and the two panels. The main window creates one as its child
// and forwards its slots to it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "editor/collections/probe_files.h"
#include "editor/collections/surface_viewing.h"
#include "editor/probe/page.h"
#include "editor/probe/selection.h"
#include "editor/probe/surface_libraries.h"
#include "editor/title/title_panel.h"
#include "probe_core/biblioteki/biblioteki.h"

class QComboBox;
class QFrame;
class QTimer;

namespace ui {

class ProbePages;
class QtTitlePanel;
class TfrmModal;

struct CollectionsWidgets {
    QWidget* mainForm = nullptr;
    QWidget* pnlGlavnaya = nullptr;
    QFrame* pnlNazvanie = nullptr;
    QTimer* tmZakritModalnuyu = nullptr;
};

class CollectionsBinding : public QObject {
    Q_OBJECT

  public:
    CollectionsBinding(const CollectionsWidgets& widgets, biblioteki::Biblioteki& loader,
                       probe::ProbeSelection& selection);
    ~CollectionsBinding() override;

    // The binding of the main window, when it has one.
    static CollectionsBinding* of(QObject* mainForm);

    // The pages: the active page for the whole-record steps and page 8's fields for surface
    // viewing.
    void setPages(ProbePages* pages);
    // The active page alone (for windows without the full pages).
    void setActivePage(probe::ActivePage* page) { activePage_.target = page; }

    collections::ProbeFileCommands& files() { return *files_; }
    collections::SurfaceViewing& surfaces() { return *viewing_; }
    title::TitlePanel& titlePanel() { return *title_; }

    // The wait box of the viewing in progress, null when there is none.
    TfrmModal* waitBox() const { return waitBox_; }

    // Loads a probe file named by the user outside the dialog (the command line, the recent
    // files, a drop) as "Загрузить из файла..." loads the file its dialog chose. A file that is
    // not there is reported. Returns whether the collection was replaced.
    bool loadProbeFile(const QString& path);
    // What the probe file commands report: a status line, and a probe file read or written
    // (its full path).
    std::function<void(const QString& status)> onStatus;
    std::function<void(const QString& path)> onFileUsed;
    // Runs after every store of the active page a command makes.
    std::function<void()> onStored;
    QtTitlePanel* titleWidgets() const { return titleWidgets_; }

  private:
    struct ForwardPage : probe::ActivePage {
        probe::ActivePage* target = nullptr;
        CollectionsBinding* binding = nullptr;
        void storeActivePage() override {
            if (!target) return;
            target->storeActivePage();
            if (binding && binding->onStored) binding->onStored();
        }
        void loadActivePage() override {
            if (target) target->loadActivePage();
        }
    };
    class FileUi;
    class ViewingUi;
    friend class ViewingUi;

    CollectionsWidgets w_;
    ProbePages* pages_ = nullptr;
    TfrmModal* waitBox_ = nullptr;
    QtTitlePanel* titleWidgets_ = nullptr;
    ForwardPage activePage_;
    std::unique_ptr<FileUi> fileUi_;
    std::unique_ptr<ViewingUi> viewingUi_;
    probe::LoaderSurfaceLibraries libraries_;
    std::unique_ptr<collections::ProbeFileCommands> files_;
    std::unique_ptr<collections::SurfaceViewing> viewing_;
    std::unique_ptr<title::TitlePanel> title_;
};

}  // namespace ui

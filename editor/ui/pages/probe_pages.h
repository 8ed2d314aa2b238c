// The contents of the editor's eight tab pages and their binding to the page logic. The page
// control itself (pcParametri, with its eight empty pages) belongs to the main window; this
// object fills the pages with their controls, forwards the controls' events to the pages' store
// operations and runs the load and store of the page being entered and left.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "abi/probestore.h"
#include "editor/probe/page.h"
#include "editor/probe/pages.h"
#include "editor/probe/selection.h"
#include "editor/probe/surface_libraries.h"
#include "probe_core/biblioteki/biblioteki.h"
#include "probe_core/record/conversions.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace ui {

class ControlAdapters;

// What the pages work with. `storeReady` says whether the probe store may be called; once it
// says no (the libraries were freed), control events store nothing.
struct PageServices {
    probe::ProbeSelection* selection = nullptr;
    const contracts::ProbeStoreApi* store = nullptr;
    probe::SurfaceLibraries* surfaces = nullptr;
    probe::UserLocale locale;
    probe::TodayFn today;
    std::function<bool()> storeReady;
};

class ProbePages : public QObject, public probe::ActivePage {
    Q_OBJECT

  public:
    // The editor's own: the probe store and the surface libraries come from the loader, the
    // locale from the system, today from the system clock.
    ProbePages(QTabWidget* pcParametri, biblioteki::Biblioteki& loader,
               probe::ProbeSelection& selection);
    ProbePages(QTabWidget* pcParametri, PageServices services);
    ~ProbePages() override;

    // The active page's store and load, for whole-record operations.
    void storeActivePage() override;
    void loadActivePage() override;

    probe::PageControl& pageControl() { return *pageControl_; }
    probe::TransducersPage& transducers() { return *transducers_; }
    probe::FocusingPage& focusing() { return *focusing_; }
    probe::DeflectionPage& deflection() { return *deflection_; }
    probe::ScanningPage& scanning() { return *scanning_; }
    probe::PreprocessingPage& preprocessing() { return *preprocessing_; }
    probe::IdentificationPage& identification() { return *identification_; }
    probe::ParametersPage& parameters() { return *parameters_; }
    probe::ModelObjectsPage& modelObjects() { return *modelObjects_; }

    // The key-release event of bnData, with the virtual-key code of the key (virtual_keys.h).
    void setBnDataKeyUp(std::function<void(int virtualKey)> handler) {
        bnDataKeyUp_ = std::move(handler);
    }
    // Runs after every store a control event triggered.
    void setAfterStore(std::function<void()> handler) { afterStore_ = std::move(handler); }

    // Page 1.
    QComboBox *cbKDpC = nullptr, *cbKDpKP = nullptr, *cbKDpRIP = nullptr, *cbKDpFIP1 = nullptr,
              *cbKDpFIP2 = nullptr, *cbLSK = nullptr, *cbSDkPI = nullptr, *cbSDkPP = nullptr,
              *cbTIPBI = nullptr, *cbTIPBP = nullptr;
    // Page 2.
    QCheckBox* ckSAL = nullptr;
    QComboBox* cbKL = nullptr;
    QCheckBox* ckMSAL = nullptr;
    QComboBox* cbSSL = nullptr;
    QCheckBox *ckVFIP1 = nullptr, *ckVFIP2 = nullptr, *ckVSDF = nullptr;
    // Page 3.
    QCheckBox *ckEP = nullptr, *ck2VFIP1 = nullptr, *ck2VFIP2 = nullptr, *ckVoFIP1 = nullptr,
              *ckVoFIP2 = nullptr, *ckVSDO = nullptr;
    // Page 4.
    QCheckBox *ckVSUP = nullptr, *ckVSUPV = nullptr, *ckVSUDO = nullptr, *ckVSUDF = nullptr,
              *ckVSUMSAL = nullptr;
    // Page 5.
    QPlainTextEdit* mSPO = nullptr;
    // Page 6.
    QComboBox *cbProizvoditel = nullptr, *cbModel = nullptr, *cbNazvanie = nullptr,
              *cbCena = nullptr, *cbData = nullptr;
    QPlainTextEdit* mPribori = nullptr;
    QPushButton* bnData = nullptr;
    // Page 7.
    QComboBox *cbRKIP1 = nullptr, *cbRKIP2 = nullptr, *cbOCHIP = nullptr, *cbTP = nullptr,
              *cbMU = nullptr;
    QPlainTextEdit* mParametri = nullptr;
    // Page 8. The row of cbIIPP (label, field, button) is hidden; the field still loads and
    // stores.
    QComboBox *cbIFsP = nullptr, *cbIIP = nullptr, *cbIIIP = nullptr, *cbIIPP = nullptr,
              *cbMasshtabProstranstva = nullptr;
    QPushButton *bnIFsP = nullptr, *bnIIP = nullptr, *bnIIIP = nullptr, *bnIIPP = nullptr;
    QLabel* receptionPatternLabel = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ProbePages(QTabWidget* pcParametri, PageServices services,
               std::unique_ptr<probe::LoaderSurfaceLibraries> loaderSurfaces);
    static PageServices loaderServices(biblioteki::Biblioteki& loader,
                                       probe::ProbeSelection& selection);
    static probe::SurfaceLibraries& noSurfaces();
    // One row per page, in page order: the page's object name, its caption (UTF-8) and its
    // builder, which fills the page with its controls, creates the page's load and store logic
    // over them and binds their events. The table is in page_table.cpp, each builder in a file
    // of its own; the pages' logic in editor/probe/pages.h.
    struct PageEntry {
        const char* objectName;
        const char* caption;
        probe::Page& (ProbePages::*build)(QWidget* page);
    };
    static std::span<const PageEntry> pageTable();
    probe::Page& buildTransducersPage(QWidget* page);  // transducers_page.cpp
    probe::Page& buildFocusingPage(QWidget* page);     // means_pages.cpp
    probe::Page& buildDeflectionPage(QWidget* page);
    probe::Page& buildScanningPage(QWidget* page);
    probe::Page& buildPreprocessingPage(QWidget* page);
    probe::Page& buildIdentificationPage(QWidget* page);  // identification_page.cpp
    probe::Page& buildParametersPage(QWidget* page);      // parameters_page.cpp
    probe::Page& buildModelObjectsPage(QWidget* page);    // model_objects_page.cpp
    // What the builders bind (page_events.cpp): a list's change, a box's click or a text
    // control's exit runs `store`.
    void storeOnChange(QComboBox* list, std::function<void()> store);
    void storeOnClick(QCheckBox* box, std::function<void()> store);
    void storeOnExit(QWidget* control, std::function<void()> store);
    void connectPageSwitch();
    void connectFieldMarks();  // field_marks.cpp
    // Runs a store triggered by a control event, unless the probe store is gone.
    void stored(const std::function<void()>& store);
    void onFocusChanged(QWidget* old, QWidget* now);

    QTabWidget* pcParametri_;
    PageServices services_;
    std::unique_ptr<probe::LoaderSurfaceLibraries> loaderSurfaces_;
    std::unique_ptr<ControlAdapters> adapters_;
    std::unique_ptr<probe::TransducersPage> transducers_;
    std::unique_ptr<probe::FocusingPage> focusing_;
    std::unique_ptr<probe::DeflectionPage> deflection_;
    std::unique_ptr<probe::ScanningPage> scanning_;
    std::unique_ptr<probe::PreprocessingPage> preprocessing_;
    std::unique_ptr<probe::IdentificationPage> identification_;
    std::unique_ptr<probe::ParametersPage> parameters_;
    std::unique_ptr<probe::ModelObjectsPage> modelObjects_;
    std::unique_ptr<probe::PageControl> pageControl_;
    // Text controls whose exit stores a page, with that page's store.
    std::vector<std::pair<QWidget*, std::function<void()>>> exitHandlers_;
    std::function<void(int)> bnDataKeyUp_;
    std::function<void()> afterStore_;
    bool shown_ = false;
};

}  // namespace ui

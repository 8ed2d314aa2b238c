// The page set: its services, the eight pages' logic over the controls' adapters, and the active
// page's load and store. The pages' contents are built in one file per page or group of pages,
// the event wiring in page_events.cpp.
#include "editor/ui/pages/probe_pages.h"
#include "editor/probe/captions.h"

#include <QTabWidget>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/user_locale.h"

namespace ui {

namespace captions = probe::captions;

namespace {
// Surface access for a page set built without libraries: nothing can be listed.
class NoSurfaces final : public probe::SurfaceTables {
  public:
    bool ZagruzitBiblioteki(std::uint32_t) override { return false; }
    const biblioteki::SlotTable& keeperTable() const override { return empty_; }
    const biblioteki::SlotTable& archiverTable() const override { return empty_; }

  private:
    biblioteki::SlotTable empty_{};
};
}  // namespace

probe::SurfaceTables& ProbePages::noSurfaces() {
    static NoSurfaces none;
    return none;
}

PageServices ProbePages::loaderServices(biblioteki::Biblioteki& loader,
                                        probe::ProbeSelection& selection) {
    PageServices s;
    s.selection = &selection;
    s.store = &loader.probeStore();
    s.locale = systemLocale();
    s.today = probe::systemToday();
    s.storeReady = [&loader] { return loader.isLoaded(biblioteki::kProbeStore); };
    return s;
}

ProbePages::ProbePages(QTabWidget* pcParametri, biblioteki::Biblioteki& loader,
                       probe::ProbeSelection& selection)
    : ProbePages(pcParametri, loaderServices(loader, selection),
                 std::make_unique<probe::LoaderSurfaceTables>(loader)) {}

ProbePages::ProbePages(QTabWidget* pcParametri, PageServices services)
    : ProbePages(pcParametri, std::move(services), nullptr) {}

ProbePages::ProbePages(QTabWidget* pcParametri, PageServices services,
                       std::unique_ptr<probe::LoaderSurfaceTables> loaderSurfaces)
    : QObject(pcParametri),
      pcParametri_(pcParametri),
      services_(std::move(services)),
      loaderSurfaces_(std::move(loaderSurfaces)),
      adapters_(std::make_unique<ControlAdapters>()) {
    if (loaderSurfaces_) services_.surfaces = loaderSurfaces_.get();
    if (!services_.surfaces) services_.surfaces = &noSurfaces();
    if (!services_.today) services_.today = probe::systemToday();
    if (!services_.storeReady) services_.storeReady = [] { return true; };
    setObjectName(QStringLiteral("ProbePages"));
    static const char* const kNames[8] = {"tbPiezoelementi", "tbFokusirovka",
                                          "tbOtklonenie",    "tbSkanirovanie",
                                          "tbObrabotka",     "tbIdentifikacionnayaInformaciya",
                                          "tsParametri",     "tsObekti"};
    while (pcParametri_->count() < 8) {
        auto* page = new QWidget(pcParametri_);
        page->setObjectName(QString::fromLatin1(kNames[pcParametri_->count()]));
        pcParametri_->addTab(
            page, fromUtf8(captions::kPages[static_cast<std::size_t>(pcParametri_->count())]));
    }
    buildTransducersPage(pcParametri_->widget(0));
    buildFocusingPage(pcParametri_->widget(1));
    buildDeflectionPage(pcParametri_->widget(2));
    buildScanningPage(pcParametri_->widget(3));
    buildPreprocessingPage(pcParametri_->widget(4));
    buildIdentificationPage(pcParametri_->widget(5));
    buildParametersPage(pcParametri_->widget(6));
    buildModelObjectsPage(pcParametri_->widget(7));
    createLogic();
    connectEvents();
    connectFieldMarks();
}

ProbePages::~ProbePages() = default;

void ProbePages::createLogic() {
    ControlAdapters& a = *adapters_;
    probe::ProbeSelection& sel = *services_.selection;
    const contracts::ProbeStoreApi& store = *services_.store;
    transducers_ = std::make_unique<probe::TransducersPage>(
        sel, probe::TransducersControls{a.list(cbKDpC), a.list(cbKDpKP), a.list(cbKDpRIP),
                                        a.list(cbKDpFIP1), a.list(cbKDpFIP2), a.list(cbLSK),
                                        a.list(cbSDkPI), a.list(cbSDkPP), a.list(cbTIPBI),
                                        a.list(cbTIPBP)});
    focusing_ = std::make_unique<probe::FocusingPage>(
        sel, probe::FocusingControls{a.box(ckSAL), a.list(cbKL), a.box(ckMSAL), a.list(cbSSL),
                                     a.box(ckVFIP1), a.box(ckVFIP2), a.box(ckVSDF)});
    deflection_ = std::make_unique<probe::DeflectionPage>(
        sel, probe::DeflectionControls{a.box(ckEP), a.box(ck2VFIP1), a.box(ck2VFIP2),
                                       a.box(ckVoFIP1), a.box(ckVoFIP2), a.box(ckVSDO)});
    scanning_ = std::make_unique<probe::ScanningPage>(
        sel, probe::ScanningControls{a.box(ckVSUP), a.box(ckVSUPV), a.box(ckVSUDO), a.box(ckVSUDF),
                                     a.box(ckVSUMSAL)});
    preprocessing_ = std::make_unique<probe::PreprocessingPage>(sel, store, *a.memo(mSPO));
    identification_ = std::make_unique<probe::IdentificationPage>(
        sel, store,
        probe::IdentificationControls{a.text(cbProizvoditel), a.text(cbModel), a.text(cbNazvanie),
                                      a.text(cbCena), a.memo(mPribori), a.text(cbData)},
        services_.locale, services_.today);
    parameters_ = std::make_unique<probe::ParametersPage>(
        sel, store,
        probe::ParametersControls{a.text(cbRKIP1), a.text(cbRKIP2), a.text(cbOCHIP), a.text(cbTP),
                                  a.text(cbMU), a.memo(mParametri)},
        services_.locale);
    modelObjects_ = std::make_unique<probe::ModelObjectsPage>(
        sel, store, *services_.surfaces,
        probe::ModelObjectsControls{a.text(cbIFsP), a.text(cbIIP), a.text(cbIIIP), a.text(cbIIPP),
                                    a.list(cbMasshtabProstranstva)});
    pageControl_ = std::make_unique<probe::PageControl>(std::array<probe::Page*, 8>{
        transducers_.get(), focusing_.get(), deflection_.get(), scanning_.get(),
        preprocessing_.get(), identification_.get(), parameters_.get(), modelObjects_.get()});
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
}

void ProbePages::storeActivePage() {
    if (!services_.storeReady()) return;  // the record's library is gone
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
    pageControl_->storeActivePage();
}

void ProbePages::loadActivePage() {
    if (!services_.storeReady()) return;  // the record went with its library
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
    pageControl_->loadActivePage();
}

}  // namespace ui

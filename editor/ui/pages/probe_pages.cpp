// The page set: its services, the pages made from the page table, and the active page's load and
// store. Each page's contents, logic and events are made by its builder, in one file per page or
// group of pages; the shared event wiring is in page_events.cpp.
#include "editor/ui/pages/probe_pages.h"

#include <QTabWidget>
#include <QWidget>

#include "editor/ui/pages/control_adapters.h"
#include "editor/ui/pages/page_widgets.h"
#include "editor/ui/pages/user_locale.h"

namespace ui {

namespace {
// Surface access for a page set built without libraries: nothing can be listed.
class NoSurfaces final : public probe::TableSurfaceLibraries {
  public:
    bool ZagruzitBiblioteki(std::uint32_t) override { return false; }
    void VigruzitBiblioteki(std::uint32_t) override {}
    void OpredelitFlagi(std::uint32_t) override {}
    bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor*) override { return false; }

  protected:
    const biblioteki::SlotTable* keeperTable() const override { return nullptr; }
    const biblioteki::SlotTable* archiverTable() const override { return nullptr; }
};
}  // namespace

probe::SurfaceLibraries& ProbePages::noSurfaces() {
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
                 std::make_unique<probe::LoaderSurfaceLibraries>(loader)) {}

ProbePages::ProbePages(QTabWidget* pcParametri, PageServices services)
    : ProbePages(pcParametri, std::move(services), nullptr) {}

ProbePages::ProbePages(QTabWidget* pcParametri, PageServices services,
                       std::unique_ptr<probe::LoaderSurfaceLibraries> loaderSurfaces)
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
    std::vector<probe::Page*> logic;
    for (const PageEntry& entry : pageTable()) {
        auto* page = new QWidget(pcParametri_);
        page->setObjectName(QString::fromLatin1(entry.objectName));
        pcParametri_->addTab(page, fromUtf8(entry.caption));
        logic.push_back(&(this->*entry.build)(page));
    }
    pageControl_ = std::make_unique<probe::PageControl>(logic);
    pageControl_->setActiveIndex(pcParametri_->currentIndex());
    connectPageSwitch();
    connectFieldMarks();
}

ProbePages::~ProbePages() = default;

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

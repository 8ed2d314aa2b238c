// The editor's pages, in the order of their captions: a new page is one row here, its builder
// and its load and store logic.
#include "editor/ui/pages/probe_pages.h"
#include "probe_core/record/captions.h"

namespace ui {

std::span<const ProbePages::PageEntry> ProbePages::pageTable() {
    namespace captions = probe::captions;
    static const PageEntry kPages[] = {
        {"tbPiezoelementi", captions::kPages[0], &ProbePages::buildTransducersPage},
        {"tbFokusirovka", captions::kPages[1], &ProbePages::buildFocusingPage},
        {"tbOtklonenie", captions::kPages[2], &ProbePages::buildDeflectionPage},
        {"tbSkanirovanie", captions::kPages[3], &ProbePages::buildScanningPage},
        {"tbObrabotka", captions::kPages[4], &ProbePages::buildPreprocessingPage},
        {"tbIdentifikacionnayaInformaciya", captions::kPages[5],
         &ProbePages::buildIdentificationPage},
        {"tsParametri", captions::kPages[6], &ProbePages::buildParametersPage},
        {"tsObekti", captions::kPages[7], &ProbePages::buildModelObjectsPage},
    };
    return kPages;
}

}  // namespace ui

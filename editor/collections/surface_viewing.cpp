#include "editor/collections/surface_viewing.h"

#include <cstring>

#include "platform/cp1251.h"

namespace collections {

SurfaceViewing::SurfaceViewing(SurfaceLibraries& libraries, probe::ProbeSelection& selection,
                               SurfaceViewingUi& ui)
    : libs_(libraries), selection_(selection), ui_(ui) {}

void SurfaceViewing::bnIFsPClick() {
    std::optional<std::string> fileName = ui_.askSurfaceFileName();
    if (!fileName) return;
    ui_.setIFsPText(*fileName);
    ui_.cbIFsPExit();
}

void SurfaceViewing::showSurfaceOf(SurfaceCombo combo) {
    if (!selection_.current) return;
    // The file is the record's stored copy; the name is what the combo box shows right now.
    PokazatPoverhnost(selection_.current->IFsP.tekst, platform::utf8ToCp1251(ui_.comboText(combo)));
}

void SurfaceViewing::PokazatPoverhnost(const char* fileName, const std::string& surfaceName) {
    if (!libs_.ZagruzitBiblioteki(kMaskKeeperArchiver)) return;
    if (!fileName) return;

    const std::int32_t n = libs_.ZagruzitKolichestvoPoverhnostey(fileName);
    std::int32_t found = -1;
    std::uint32_t parameter2 = 0;
    if (n > 0 && libs_.VidelitPamyatDlyaPoverhnostey(1)) {
        contracts::SurfaceSetDescriptor* set = libs_.PoluchitSpisokPoverhnostey();
        void* first = set ? set->pervaya : nullptr;
        // Every surface before the wanted one is read in full into the keeper's single record.
        // A keeper that hands out no descriptor has no record to read into: nothing is searched.
        for (std::int32_t i = 0; set && i < n; ++i) {
            const auto index = static_cast<std::uint32_t>(i);
            const std::int32_t parameter1 = libs_.ZagruzitParametr1Poverhnosti(fileName, index);
            parameter2 = libs_.ZagruzitParametr2Poverhnosti(fileName, index);
            libs_.PodgotovitPoverhnost(libs_.PoluchitPoverhnostPoIndeksu(0), parameter1,
                                       parameter2);
            if (!libs_.ZagruzitPoverhnost(fileName, first, index)) continue;
            const char* name = libs_.PoluchitImyaPoverhnosti(libs_.PoluchitPoverhnostPoIndeksu(0));
            if (name && surfaceName == name) {
                found = i;
                break;
            }
        }
    }

    contracts::SurfaceSetDescriptor* set = libs_.PoluchitSpisokPoverhnostey();
    if (found < 0) return;
    if (!set || set->kolichestvo == 0) return;
    set->kolichestvo = 1;

    if (!libs_.ZagruzitBiblioteki(kMaskViewer)) return;
    libs_.OpredelitFlagi(parameter2 != 0 ? kFlagsWithSecondParameter
                                         : kFlagsWithoutSecondParameter);
    libs_.OpredelitPriznakPoverhnosti(libs_.PoluchitPoverhnostPoIndeksu(0), 1);
    libs_.OpredelitPoverhnosti(set);
    ui_.hideMainForm();

    if (!waitBox_) {
        ui_.createWaitBox();
        waitBox_ = true;
    }
    ui_.setWaitBoxCloseCallback([this] { waitBoxClosed(); });
    ui_.showWaitBox();
    state_ = ViewingState::viewing;
}

void SurfaceViewing::waitBoxClosed() {
    ui_.setTimerEnabled(true);
    state_ = ViewingState::closing;
}

void SurfaceViewing::tmZakritModalnuyuTimer() {
    ui_.setTimerEnabled(false);
    if (waitBox_) {
        ui_.destroyWaitBox();
        waitBox_ = false;
    }
    ui_.showMainForm();
    libs_.OpredelitPoverhnosti(nullptr);
    libs_.VigruzitBiblioteki(kMaskViewer);
    state_ = ViewingState::editing;
}

}  // namespace collections

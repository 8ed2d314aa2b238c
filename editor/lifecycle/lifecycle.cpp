#include "editor/lifecycle/lifecycle.h"

#include <algorithm>

namespace lifecycle {

Position placeAtRightEdge(Size screen, Size outer) {
    return {screen.width - outer.width, screen.height - outer.height - kBottomGap};
}

Rect placeOnScreen(Rect screen, Rect free, const std::optional<Rect>& saved, Size preferred) {
    Rect r;
    if (saved && saved->width > 0 && saved->height > 0) {
        r = *saved;
    } else {
        const Position p = placeAtRightEdge({screen.width, screen.height}, preferred);
        r = {screen.left + p.left, screen.top + p.top, preferred.width, preferred.height};
    }
    // A free area that reports no room cannot hold anything: nothing is moved into it.
    if (free.width <= 0 || free.height <= 0) return r;
    r.width = std::min(r.width, free.width);
    r.height = std::min(r.height, free.height);
    r.left = std::clamp(r.left, free.left, free.left + free.width - r.width);
    r.top = std::clamp(r.top, free.top, free.top + free.height - r.height);
    return r;
}

std::string probeStoreMissingText(const std::string& fileName) {
    return "Для нормальной работы приложения библиотека \r\n" + fileName + "\r\n" +
           "должна быть открыта.";
}

Lifecycle::Lifecycle(probe::ProbeSelection& selection, biblioteki::Biblioteki& loader,
                     MainWindowOps& window)
    : selection_(selection), loader_(loader), window_(window) {}

void Lifecycle::FormCreate() {
    window_.moveWindow(placeAtRightEdge(window_.screenSize(), window_.outerSize()));
    if (!loader_.ZagruzitBiblioteki(biblioteki::kProbeStore)) return;

    const auto& store = loader_.probeStore();
    selection_.probeCount = 1;
    store.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32);
    selection_.currentIndex = 0;
    store.VibratDatchikPoIndeksu(0);
    selection_.current = store.PoluchitVibranniyDatchik();
}

void Lifecycle::FormActivate() {
    // Showing the box activates the window again; that activation must not ask a second time.
    if (closing_ || (loader_.notLoadedMask() & biblioteki::kProbeStore) == 0) return;
    closing_ = true;
    window_.bringToFront();
    window_.messageBox(kEditorErrorTitle,
                       probeStoreMissingText(loader_.fileName(biblioteki::kSlotProbeStore)));
    window_.closeWindow();
}

void Lifecycle::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // Without a current record the page has nowhere to store to.
    if (page_ != nullptr && selection_.current != nullptr) page_->storeActivePage();
    loader_.VigruzitBiblioteki(biblioteki::kAllSlots);
    // The record lived in the probe store's memory, which is gone now.
    selection_.current = nullptr;
}

void Lifecycle::miInicializirovatClick() {
    // The probe store's entry points are only valid while it is loaded.
    if (!loader_.isLoaded(biblioteki::kProbeStore)) return;
    loader_.probeStore().InicializirovatDatchik();
    if (page_ != nullptr) page_->loadActivePage();
}

void Lifecycle::miVihodClick() {
    window_.closeWindow();
}

}  // namespace lifecycle

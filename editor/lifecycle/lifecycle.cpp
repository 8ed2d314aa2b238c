#include "editor/lifecycle/lifecycle.h"

#include <algorithm>

namespace lifecycle {

Position placeAtRightEdge(Size screen, Size outer) {
    return {screen.width - outer.width, screen.height - outer.height - kBottomGap};
}

Rect placeOnScreen(Rect screen, const std::optional<Rect>& saved, Size preferred) {
    Rect r;
    // A screen that reports no area cannot hold anything: nothing is moved onto it.
    if (screen.width <= 0 || screen.height <= 0)
        return saved ? *saved : Rect{screen.left, screen.top, preferred.width, preferred.height};
    if (saved && saved->width > 0 && saved->height > 0) {
        r = *saved;
    } else {
        r.width = preferred.width;
        r.height = preferred.height;
        r.left = screen.left + (screen.width - std::min(preferred.width, screen.width)) / 2;
        r.top = screen.top + (screen.height - std::min(preferred.height, screen.height)) / 2;
    }
    r.width = std::min(r.width, screen.width);
    r.height = std::min(r.height, screen.height);
    r.left = std::clamp(r.left, screen.left, screen.left + screen.width - r.width);
    r.top = std::clamp(r.top, screen.top, screen.top + screen.height - r.height);
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
    std::optional<probe::ProbeContents> before;
    if (selection_.current != nullptr) before = probe::contentsOf(*selection_.current);
    loader_.probeStore().InicializirovatDatchik();
    // A probe that held nothing more than the reset gives it has nothing to undo.
    if (before && selection_.current != nullptr &&
        *before != probe::contentsOf(*selection_.current))
        undo_ = ResetProbe{selection_.currentIndex, selection_.current, std::move(*before)};
    if (page_ != nullptr) page_->loadActivePage();
}

bool Lifecycle::canUndo() const {
    return undo_ && loader_.isLoaded(biblioteki::kProbeStore) &&
           selection_.current == undo_->record && selection_.currentIndex == undo_->index;
}

void Lifecycle::undo() {
    if (!canUndo()) return;
    probe::restoreContents(loader_.probeStore(), *selection_.current, undo_->contents);
    undo_.reset();
    if (page_ != nullptr) page_->loadActivePage();
}

void Lifecycle::miVihodClick() {
    window_.closeWindow();
}

}  // namespace lifecycle

#include "editor/lifecycle/edit_history.h"

#include <utility>

namespace lifecycle {

EditHistory::EditHistory(const contracts::ProbeStoreApi& store, probe::ProbeSelection& selection,
                         probe::ActivePage& page, std::size_t limit)
    : store_(store), selection_(selection), page_(page), limit_(limit == 0 ? 1 : limit) {}

void EditHistory::clear() {
    undo_.clear();
    redo_.clear();
    follow();
}

void EditHistory::follow() {
    baseIndex_ = selection_.currentIndex;
    if (selection_.current != nullptr && selection_.currentIndex < selection_.probeCount)
        base_ = probe::contentsOf(*selection_.current);
    else
        base_.reset();
}

bool EditHistory::note() {
    if (selection_.current == nullptr || selection_.currentIndex >= selection_.probeCount) {
        base_.reset();
        return false;
    }
    probe::ProbeContents now = probe::contentsOf(*selection_.current);
    // A page loaded by undo or redo may store what it shows: that is where the probe stands,
    // not a change of the user's.
    if (restoring_ || !base_ || baseIndex_ != selection_.currentIndex) {
        baseIndex_ = selection_.currentIndex;
        base_ = std::move(now);
        return false;
    }
    if (now == *base_) return false;
    undo_.push_back({baseIndex_, std::move(*base_), now});
    if (undo_.size() > limit_) undo_.pop_front();
    redo_.clear();
    base_ = std::move(now);
    return true;
}

void EditHistory::put(std::uint32_t index, const probe::ProbeContents& contents) {
    if (index != selection_.currentIndex) {
        selection_.currentIndex = index;
        store_.VibratDatchikPoIndeksu(index);
        selection_.current = store_.PoluchitVibranniyDatchik();
    }
    if (selection_.current != nullptr)
        probe::restoreContents(store_, *selection_.current, contents);
    baseIndex_ = index;
    base_ =
        selection_.current ? std::optional(probe::contentsOf(*selection_.current)) : std::nullopt;
    restoring_ = true;
    page_.loadActivePage();
    restoring_ = false;
}

void EditHistory::undo() {
    page_.storeActivePage();
    note();
    if (undo_.empty()) return;
    Step step = std::move(undo_.back());
    undo_.pop_back();
    // A step of a probe the collection no longer has cannot be put back.
    if (step.index >= selection_.probeCount) return clear();
    put(step.index, step.before);
    redo_.push_back(std::move(step));
}

void EditHistory::redo() {
    page_.storeActivePage();
    // A change stored since the last undo starts a new line of steps: nothing to redo then.
    if (note() || redo_.empty()) return;
    Step step = std::move(redo_.back());
    redo_.pop_back();
    if (step.index >= selection_.probeCount) return clear();
    put(step.index, step.after);
    undo_.push_back(std::move(step));
}

}  // namespace lifecycle

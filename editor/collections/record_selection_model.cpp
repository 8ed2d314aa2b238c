#include "editor/collections/record_selection_model.h"

#include <algorithm>

namespace collections {

void RecordSelectionModel::addLine(std::string text) {
    lines_.push_back(std::move(text));
    marks_.push_back(false);
}

void RecordSelectionModel::bnVidelitVseClick() {
    // The count is read anew at each step; in single-choice mode the window allows one mark only,
    // and the button is hidden there anyway.
    for (std::size_t p = 0; p < lines_.size(); ++p) setSelected(p, true);
}

void RecordSelectionModel::setFocusedPosition(int p) {
    if (p < 0 || static_cast<std::size_t>(p) >= lines_.size()) {
        focused_ = -1;
        return;
    }
    focused_ = p;
    if (!multiSelect_) setSelected(static_cast<std::size_t>(p), true);
}

void RecordSelectionModel::FormActivate() {
    multiSelect_ = loadMode_;
    selectAllVisible_ = loadMode_;
    caption_ = loadMode_ ? kSelectionLoadCaption : kSelectionChoiceCaption;
    if (!multiSelect_) {
        // One line at most is chosen, and it is the focused line.
        std::fill(marks_.begin(), marks_.end(), false);
        if (focused_ >= 0) marks_[static_cast<std::size_t>(focused_)] = true;
    }
}

void RecordSelectionModel::setSelected(std::size_t p, bool selected) {
    if (p >= marks_.size()) return;
    if (!multiSelect_ && selected) {
        std::fill(marks_.begin(), marks_.end(), false);
        focused_ = static_cast<int>(p);
    }
    marks_[p] = selected;
}

std::uint32_t RecordSelectionModel::selectedCount() const {
    return static_cast<std::uint32_t>(std::count(marks_.begin(), marks_.end(), true));
}

}  // namespace collections

// The record selection dialog TfrmVibor without its window: the lines, one selected mark per
// line, the focused position, the mode and the modal result. The probe file commands drive it
// directly; the Qt dialog (ui::TfrmVibor) only mirrors it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace collections {

// Modal results of the dialog.
inline constexpr int kResultChosen = 1;     // "Выбрать"
inline constexpr int kResultCancelled = 2;  // "Отменить" or the close box

inline constexpr const char* kSelectionDesignCaption = "Выбор записей";
inline constexpr const char* kSelectionLoadCaption = "Выбор записей для загрузки";
inline constexpr const char* kSelectionChoiceCaption = "Выбор датчика";

class RecordSelectionModel {
  public:
    // A new dialog is in load mode (the constructor's default) and multi-select from the start.
    RecordSelectionModel() = default;

    // Appends a line (UTF-8) at the end of the list, unselected.
    void addLine(std::string text);
    std::size_t lineCount() const { return lines_.size(); }
    const std::string& line(std::size_t p) const { return lines_.at(p); }

    // Marks every line as selected.
    void bnVidelitVseClick();

    // Makes line p the focused line; a position outside the list leaves no line focused. In
    // single-choice mode the focused line is also the one selected line.
    void setFocusedPosition(int p);
    int focusedPosition() const { return focused_; }

    // Takes effect at the next activation.
    void setLoadMode(bool load) { loadMode_ = load; }
    bool loadMode() const { return loadMode_; }

    // Applies the mode, each time the window becomes active: multi-select, the visibility of
    // "Выделить все" and the caption follow the load mode flag. Lines and focus are kept.
    void FormActivate();
    bool multiSelect() const { return multiSelect_; }
    bool selectAllVisible() const { return selectAllVisible_; }
    const std::string& caption() const { return caption_; }

    // Marks as the user (or the window mirroring the model) sets them. Out-of-range positions
    // are ignored; in single-choice mode selecting a line deselects every other one.
    void setSelected(std::size_t p, bool selected);
    bool isSelected(std::size_t p) const { return p < marks_.size() && marks_[p]; }
    std::uint32_t selectedCount() const;

    void setResult(int result) { result_ = result; }
    int result() const { return result_; }

  private:
    std::vector<std::string> lines_;
    std::vector<bool> marks_;
    int focused_ = -1;
    bool loadMode_ = true;
    bool multiSelect_ = true;
    bool selectAllVisible_ = true;
    std::string caption_ = kSelectionDesignCaption;
    int result_ = 0;
};

}  // namespace collections

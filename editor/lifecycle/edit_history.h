// Undo and redo of the changes to the collection's probes. Each stored change of the current
// probe (a field, a list, a box, "Инициализировать") is one step: the probe's contents before and
// after it. A step is undone and redone in the probe it was made in, which then becomes the
// current probe again, and the active page shows the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "abi/probestore.h"
#include "editor/probe/page.h"
#include "editor/probe/selection.h"
#include "probe_core/record/probe_contents.h"

namespace lifecycle {

// How many steps are kept; the oldest go first.
inline constexpr std::size_t kUndoSteps = 100;

class EditHistory {
  public:
    EditHistory(const contracts::ProbeStoreApi& store, probe::ProbeSelection& selection,
                probe::ActivePage& page, std::size_t limit = kUndoSteps);

    // The collection was replaced: no step of the one before is kept, and the current probe as
    // it is now is where the next step starts.
    void clear();
    // Another probe became the current one: its contents now are where its next step starts.
    void follow();
    // After a store into the current probe: a difference from where it stood is one step, and
    // the steps undone before it can no longer be redone. Returns whether a step was added.
    bool note();

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    std::size_t undoSteps() const { return undo_.size(); }
    // Stores the active page first, so that a change still in its fields counts as the last
    // step.
    void undo();
    void redo();

  private:
    struct Step {
        std::uint32_t index;
        probe::ProbeContents before, after;
    };
    // Makes probe `index` the current one and puts `contents` into it.
    void put(std::uint32_t index, const probe::ProbeContents& contents);

    const contracts::ProbeStoreApi& store_;
    probe::ProbeSelection& selection_;
    probe::ActivePage& page_;
    std::size_t limit_;
    std::deque<Step> undo_;
    std::vector<Step> redo_;
    // Where the current probe stood after the last step: its slot and contents.
    std::uint32_t baseIndex_ = 0;
    std::optional<probe::ProbeContents> base_;
    bool restoring_ = false;  // the page is being loaded by undo or redo
};

}  // namespace lifecycle

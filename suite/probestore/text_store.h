// The texts and line lists that probe records point to. Every block the store hands out is
// registered, so that a release frees only what this store created (a foreign or already released
// pointer in a field is dropped without being freed) and a list is freed by the length it was
// created with, whatever count the field holds by then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "abi/plugin.h"
#include "abi/probe_record.h"
#include "suite/probestore/block_registry.h"

namespace probestore {

// More lines than this in one list are refused: no editor control holds that many, and the
// bound keeps a wrong count from a caller from asking for gigabytes.
inline constexpr std::uint32_t kMaxListLines = 1u << 20;

class TextStore {
  public:
    TextStore() = default;
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;
    ~TextStore();

    // A registered NUL-terminated copy of `text`. Throws std::bad_alloc.
    char* copyText(std::string_view text);
    // A registered, null-filled array of `count` line pointers (count > 0). Throws std::bad_alloc.
    char** newLineArray(std::uint32_t count);

    // Frees a text made by copyText; anything else is left alone.
    void releaseText(char* text) noexcept;
    // Frees an array made by newLineArray and every line it holds.
    void releaseLineArray(char** lines) noexcept;

    // The cell operations the probe store exports. A null callback result reads as the empty
    // text. Each releases what the cell held first, so a missing release never leaks.
    bool createTextCell(Stroka* field, TextCallback text, void* context);
    bool releaseTextCell(Stroka* field) noexcept;
    bool createListCell(Spisok* field, TextCallback line, std::uint32_t count, void* context);
    bool releaseListCell(Spisok* field) noexcept;

    // Releases every text and list a record points to and leaves those cells empty.
    void releaseRecordTexts(ProbeRecord& record) noexcept;

    // The number of lines a list cell may be read with: its count, cut to the length of the
    // array when the array is one of this store's.
    std::uint32_t readableLines(const Spisok& list) const;

    bool ownsText(const char* text) const { return texts_.find(text); }
    // Blocks handed out and not yet released (texts plus line arrays).
    std::size_t liveBlocks() const { return texts_.size() + arrays_.size(); }

  private:
    BlockRegistry texts_;
    BlockRegistry arrays_;  // array -> number of lines it was made for
};

}  // namespace probestore

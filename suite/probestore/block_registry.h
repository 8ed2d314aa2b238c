// The registry of the blocks a text store handed out: block address -> a number (a line array's
// length; 0 for a text). Loading a record registers a handful of blocks and releases as many, so
// the registry is an open-addressed table of addresses (linear probing, deletion by moving later
// entries back, at most half full): one probe into one array per operation, no allocation except
// when it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace probestore {

class BlockRegistry {
  public:
    // Registers `block` (not null, not registered) with `value`. Throws std::bad_alloc.
    void insert(const void* block, std::uint32_t value);
    // Whether `block` is registered; its number in `value` when given.
    bool find(const void* block, std::uint32_t* value = nullptr) const;
    // Unregisters `block`; false when it was not registered.
    bool erase(const void* block) noexcept;
    std::size_t size() const { return size_; }

    // Calls fn(block, value) for every registered block.
    template <typename Fn>
    void forEach(Fn fn) const {
        for (const Slot& s : slots_)
            if (s.block != nullptr) fn(s.block, s.value);
    }

  private:
    struct Slot {
        const void* block = nullptr;
        std::uint32_t value = 0;
    };
    std::size_t home(const void* block) const;
    void grow();

    std::vector<Slot> slots_;  // empty, or a power of two of slots
    std::size_t size_ = 0;
};

}  // namespace probestore

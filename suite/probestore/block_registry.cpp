#include "suite/probestore/block_registry.h"

#include <bit>
#include <new>
#include <utility>

namespace probestore {
namespace {

constexpr std::size_t kFirstCapacity = 64;

}  // namespace

std::size_t BlockRegistry::home(const void* block) const {
    // Fibonacci hashing: the address's low bits are alike (alignment), its high bits spread them.
    const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block));
    const int bits = std::countr_zero(slots_.size());
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

bool BlockRegistry::find(const void* block, std::uint32_t* value) const {
    if (slots_.empty() || block == nullptr) return false;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = home(block);; i = (i + 1) & mask) {
        if (slots_[i].block == block) {
            if (value != nullptr) *value = slots_[i].value;
            return true;
        }
        if (slots_[i].block == nullptr) return false;
    }
}

void BlockRegistry::insert(const void* block, std::uint32_t value) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = home(block);
    while (slots_[i].block != nullptr) i = (i + 1) & mask;
    slots_[i] = {block, value};
    ++size_;
}

bool BlockRegistry::erase(const void* block) noexcept {
    if (slots_.empty() || block == nullptr) return false;
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = home(block);
    while (slots_[i].block != block) {
        if (slots_[i].block == nullptr) return false;
        i = (i + 1) & mask;
    }
    // Entries after the freed slot move back into it unless their home lies after it (cyclically
    // in (i, j]), so that every entry stays reachable from its home without tombstones.
    for (std::size_t j = i;;) {
        j = (j + 1) & mask;
        if (slots_[j].block == nullptr) break;
        const std::size_t k = home(slots_[j].block);
        if (i <= j ? (i < k && k <= j) : (i < k || k <= j)) continue;
        slots_[i] = slots_[j];
        i = j;
    }
    slots_[i] = Slot{};
    --size_;
    return true;
}

void BlockRegistry::grow() {
    std::vector<Slot> old(slots_.empty() ? kFirstCapacity : 2 * slots_.size());
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (s.block == nullptr) continue;
        std::size_t i = home(s.block);
        while (slots_[i].block != nullptr) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

}  // namespace probestore

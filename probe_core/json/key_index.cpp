#include "probe_core/json/key_index.h"

#include <algorithm>

namespace probejson::rules {

namespace {

// FNV-1a: the same 64 bits on every platform; 0 marks a free slot.
std::uint64_t keyHash(std::string_view key) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h == 0 ? 1 : h;
}

}  // namespace

bool KeyIndex::add(std::string_view key) {
    for (std::size_t i = 0, from = 0; i < ends_.size(); from = ends_[i++])
        if (std::string_view(text_.data() + from, ends_[i] - from) == key) return false;
    if (ends_.size() < kExactKeys) {
        const bool grows =
            text_.size() + key.size() > text_.capacity() || ends_.size() == ends_.capacity();
        text_ += key;
        ends_.push_back(text_.size());
        if (grows) bytes_ = measured();
        return true;
    }
    if (2 * (hashed_ + 1) > slots_.size()) {
        // At most half full: a look-up ends at a free slot after a few steps.
        std::vector<std::uint64_t> grown(std::max<std::size_t>(64, 2 * slots_.size()), 0);
        for (std::uint64_t h : slots_) {
            if (h == 0) continue;
            std::size_t i = h & (grown.size() - 1);
            while (grown[i] != 0) i = (i + 1) & (grown.size() - 1);
            grown[i] = h;
        }
        slots_.swap(grown);
        bytes_ = measured();
    }
    const std::uint64_t h = keyHash(key);
    std::size_t i = h & (slots_.size() - 1);
    for (; slots_[i] != 0; i = (i + 1) & (slots_.size() - 1))
        if (slots_[i] == h) return false;
    slots_[i] = h;
    ++hashed_;
    return true;
}

void KeyIndex::clear() {
    text_.clear();
    ends_.clear();
    std::fill(slots_.begin(), slots_.end(), 0);
    hashed_ = 0;
}

void KeyIndex::release() {
    clear();
    std::vector<std::uint64_t>().swap(slots_);
    bytes_ = measured();
}

std::size_t KeyIndex::measured() const {
    return text_.capacity() + ends_.capacity() * sizeof(std::size_t) +
           slots_.capacity() * sizeof(std::uint64_t);
}

}  // namespace probejson::rules

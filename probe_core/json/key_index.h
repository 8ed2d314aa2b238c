// The keys of one object seen so far, to find a key given twice. An object of a probe document has
// at most 16 keys, which are kept as they are; a larger object (which holds an unknown key or a
// repeated one anyway) keeps its later keys as 64-bit hashes only, so that its memory does not
// grow with the length of its keys. Internal to the probe_json library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace probejson::rules {

class KeyIndex {
  public:
    static constexpr std::size_t kExactKeys = 16;

    // Whether `key` was not yet among the keys; it is added if so.
    bool add(std::string_view key);
    // Forgets the keys and keeps the memory of the first ones for the next object.
    void clear();
    // Forgets the keys and gives back the hashes' memory.
    void release();
    // The bytes the index takes.
    std::size_t bytes() const { return bytes_; }

  private:
    std::string text_;                  // the first keys, one after another
    std::vector<std::size_t> ends_;     // where each of them ends
    std::vector<std::uint64_t> slots_;  // the later keys' hashes, open addressing (0: free)
    std::size_t hashed_ = 0;
    std::size_t bytes_ = 0;

    std::size_t measured() const;
};

}  // namespace probejson::rules

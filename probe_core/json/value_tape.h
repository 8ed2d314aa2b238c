// One probe's value (or the document around the probes) held between reading and checking, in a
// compact form: one byte string of tagged values, so that a value costs about as many bytes as its
// JSON text or fewer, where a tree of library values costs 16 to 32 bytes for every value and
// member. Only what the checks can read is held: the members of an object or an array nested more
// than kDeepestKept levels below the value's root are dropped (the container itself stays, empty,
// so that its kind is still seen), as no field of a probe is deeper. Internal to the probe_json
// library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "probe_core/json/json_rules.h"

namespace probejson::tape {

// A probe's deepest values: a word's sub-field code, a date's parts, a list's lines (probe object,
// word or group, sub-field or field, its part). Containers at this depth keep no members.
inline constexpr std::size_t kDeepestKept = 3;

// The bytes of a tape in one block that grows through realloc: a large block grows where it lies
// or by moving its pages, so that the bytes are not held twice while it grows, and the room not
// yet written takes no memory.
class Bytes {
  public:
    Bytes() = default;
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;
    ~Bytes() { std::free(data_); }

    void push(char c) {
        if (size_ == capacity_) grow(1);
        data_[size_++] = c;
    }
    void append(std::string_view bytes);
    void clear() { size_ = 0; }
    void truncate(std::size_t size) { size_ = size; }
    char& at(std::size_t i) { return data_[i]; }
    std::size_t size() const { return size_; }
    char& back() { return data_[size_ - 1]; }
    std::string_view view() const { return {data_, size_}; }

  private:
    void grow(std::size_t more);

    char* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

// Takes the events of one whole value into its tape.
class TapeBuilder : public rules::ValueSink {
  public:
    void begin() override;
    void null() override;
    void boolean(bool b) override;
    void signedInteger(std::int64_t i) override;
    void unsignedInteger(std::uint64_t u) override;
    void real(double d, std::string_view token) override;
    void string(std::string_view s) override;
    void startObject() override { open(true); }
    void key(std::string_view s) override;
    void endObject(std::size_t) override { close(true); }
    void startArray() override { open(false); }
    void endArray(std::size_t) override { close(false); }

    // The value's bytes since `begin`; valid until the next `begin`.
    std::string_view bytes() const { return tape_.view(); }
    // The most bytes one value has held.
    std::size_t largest() const { return std::max(largest_, tape_.size()); }

  private:
    bool skipping() const { return skipFrom_ != 0; }
    void put(char tag);
    void putNumber(std::uint64_t v);
    void putText(char tag, std::string_view s);
    void open(bool object);
    void close(bool object);

    Bytes tape_;
    std::size_t largest_ = 0;
    std::size_t depth_ = 0;     // containers open
    std::size_t skipFrom_ = 0;  // nonzero: the depth of the container whose members are dropped
    std::vector<std::size_t> opened_;  // where each open container that keeps members begins
};

// A value of a tape, read through the calls the checks use (probe_reader.h). Element i of an
// array is found from the last one asked for and the size is counted once, so walking an array
// costs its length once.
class TapeView {
  public:
    TapeView(std::string_view tape, std::size_t at) : tape_(tape), at_(at) {}
    bool isObject() const;
    bool isArray() const;
    bool isString() const;
    bool isNull() const;
    bool isInteger() const;
    bool isUnsigned() const;
    bool isNumber() const;
    std::int64_t asSigned() const;
    std::uint64_t asUnsigned() const;
    double asDouble() const;
    std::string_view string() const;
    std::size_t size() const;
    TapeView operator[](std::size_t i) const;
    template <typename F>
    void forEachMember(F&& f) const {
        if (tag() != kObjectTag) return;  // an empty object has no members to walk
        for (std::size_t p = firstMember(); p < tape_.size() && tape_[p] != kObjectEnd;) {
            std::size_t next = p;
            const std::string_view key = textAt(next);
            const TapeView value(tape_, next);
            f(key, value);
            p = skip(next);
        }
    }

    static constexpr char kObjectTag = '{', kObjectEnd = '}';
    // After the tag of a container that holds members: 4 bytes of its length up to its end tag
    // included (0: longer than 4 bytes count), so that passing over it does not walk its members.
    static constexpr std::size_t kLengthBytes = 4;

  private:
    // Where the members of a container that holds some begin.
    std::size_t firstMember() const { return at_ + 1 + kLengthBytes; }
    std::size_t lengthAt(std::size_t p) const;
    char tag() const { return at_ < tape_.size() ? tape_[at_] : '\0'; }
    // The text of a string or key at `p`; `p` moves past it.
    std::string_view textAt(std::size_t& p) const;
    std::uint64_t numberAt(std::size_t& p) const;
    // Where the value at `p` ends.
    std::size_t skip(std::size_t p) const;

    std::string_view tape_;
    std::size_t at_;
    static constexpr std::size_t kUncounted = ~std::size_t{0};
    mutable std::size_t lastIndex_ = 0, lastAt_ = 0, size_ = kUncounted;
};

}  // namespace probejson::tape

// The probe document's rules on top of the JSON library's SAX reader: a key given twice in one
// object (at any depth), numbers a double cannot hold ("1e400", "1e-400"), "-0" keeping its sign,
// the line and column of every syntax error, and bounds on nesting and on the keys of an object.
// The reader's events are handed on to a sink, those of each element of the top-level "probes"
// array to a sink of its own, one element at a time. Internal to the probe_json library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "probe_core/json/key_index.h"
#include "probe_core/json/probe_json.h"

namespace probejson::rules {

// No probe document nests deeper than a few levels; a deeper one is refused before its levels
// take memory.
inline constexpr std::size_t kDeepestNesting = 512;
// No object of a probe document has more than 16 keys; one with more than this is refused before
// its keys take memory.
inline constexpr std::size_t kMostObjectKeys = 4096;
// The number text shown in a message is cut to this length.
inline constexpr std::size_t kShownNumber = 64;

// Receives the events of whole values.
class ValueSink {
  public:
    virtual ~ValueSink() = default;
    // A new value begins.
    virtual void begin() {}
    virtual void null() = 0;
    virtual void boolean(bool b) = 0;
    virtual void signedInteger(std::int64_t i) = 0;
    virtual void unsignedInteger(std::uint64_t u) = 0;
    // `token`: the number's text when it reads back as `d` exactly (empty when unknown).
    virtual void real(double d, std::string_view token) = 0;
    virtual void string(std::string_view s) = 0;
    virtual void startObject() = 0;
    virtual void key(std::string_view s) = 0;
    virtual void endObject(std::size_t members) = 0;
    virtual void startArray() = 0;
    virtual void endArray(std::size_t elements) = 0;
};

// A syntax error as the reader reports it: line, column and a few characters before `at`, the
// offset of the character at which reading stopped (the text's size: at its end).
std::string syntaxMessage(std::string_view text, std::size_t at);

class RuleReader {
  public:
    // Faults outside the "probes" array name probe `number` (0: the document itself).
    RuleReader(std::string_view text, Problems& problems, std::size_t number)
        : text_(text), problems_(problems), number_(number) {}

    // Where the events go (none by default).
    void setSink(ValueSink* sink) { sink_ = sink; }
    // The elements of the top-level "probes" array go to `sink` instead; `done(index)` is called
    // as each one ends.
    void onProbes(ValueSink* sink, std::function<void(std::size_t index)> done) {
        probeSink_ = sink;
        probeDone_ = std::move(done);
    }
    // Reads the text; true when it is one whole JSON value and no rule stopped the reading.
    bool run();
    // The most bytes the objects' keys, kept to find a key given twice, took at once.
    std::size_t largestKeyIndex() const { return largestKeyBytes_; }

    // The SAX reader's events.
    bool Null();
    bool Bool(bool b);
    bool Int(int i) { return Int64(i); }
    bool Uint(unsigned u) { return Uint64(u); }
    bool Int64(std::int64_t i);
    bool Uint64(std::uint64_t u);
    bool Double(double d);
    bool RawNumber(const char* text, unsigned length, bool copy);
    bool String(const char* text, unsigned length, bool copy);
    bool StartObject();
    bool Key(const char* text, unsigned length, bool copy);
    bool EndObject(unsigned members);
    bool StartArray();
    bool EndArray(unsigned elements);

  private:
    struct Level {
        bool object = false;
        std::string key;            // object: the current member's key
        std::size_t index = 0;      // array: elements ended; object: members begun
        std::size_t forwarded = 0;  // members or elements handed to the sink
        KeyIndex keys;              // object: its keys so far
    };

    ValueSink* sink() const {
        if (mutedAt_ != 0) return nullptr;
        return inProbe_ ? probeSink_ : sink_;
    }
    bool inProbes() const {
        return stack_.size() >= 2 && stack_[0].object && stack_[0].key == "probes" &&
               !stack_[1].object;
    }
    std::size_t probeNumber() const { return inProbes() ? stack_[1].index + 1 : number_; }
    std::string pathOf(std::size_t depth) const;
    // A fault of the value being read, at its pointer (spelled out only for a fault kept).
    void fault(std::string message);
    // Reading stops at a fault of the document's own.
    bool stop(std::string message);
    bool syntaxError(std::size_t at);
    bool tooLarge(std::string_view token);
    bool real(double d, std::string_view token);
    void beginValue();
    void endValue();
    bool open(bool object);

    std::string_view text_;
    Problems& problems_;
    std::size_t number_;
    std::size_t skipped_ = 0;       // a byte order mark before the value
    const void* stream_ = nullptr;  // the reader's stream, for where a string ends
    ValueSink* sink_ = nullptr;
    ValueSink* probeSink_ = nullptr;
    std::function<void(std::size_t)> probeDone_;
    bool inProbe_ = false;
    bool stopped_ = false;
    bool mayHoldSurrogates_ = false;
    // The value of a key given twice is not handed on: its object keeps the key's first value.
    // Nonzero while such a value is read: the depth of its object.
    std::size_t mutedAt_ = 0;
    std::vector<Level> stack_;
    // Levels left, kept with their memory for the next object or array.
    std::vector<Level> spare_;
    std::size_t keyBytes_ = 0;  // what the levels' keys take now
    std::size_t largestKeyBytes_ = 0;
    void push(bool object);
    void pop();
};

}  // namespace probejson::rules

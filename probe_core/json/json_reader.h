// The reader of JSON text into a tree of values (json_tree.h): its state and its steps. Internal
// to the probe_json library. json_parse.cpp holds the structure (objects, arrays, keys, probes),
// json_scalars.cpp the strings, numbers and literals.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "probe_core/json/json_tree.h"
#include "probe_core/json/probe_fields.h"

namespace probejson::tree {

// No probe document nests deeper than a few levels; a deeper one is refused before its levels
// take memory.
inline constexpr std::size_t kDeepestNesting = 512;
// No object of a probe has more than a few dozen keys; one with more than this is refused before
// its members take memory (each unknown key would otherwise be kept to the object's end).
inline constexpr std::size_t kMostProbeObjectKeys = 65536;
inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// The number text shown in a message is cut to this length.
inline constexpr std::size_t kShownNumber = 64;

// A syntax error as the reader reports it: line, column and a few characters before `at`, the
// offset of the character at which reading stopped (the text's size: at its end).
std::string syntaxMessage(std::string_view text, std::size_t at);

class Parser {
  public:
    using OnProbe = std::function<void(std::size_t, StagedProbe&)>;

    // With `onProbe`, each element of the top-level "probes" array is checked as a probe when it
    // ends, handed to `onProbe` while no fault has been found, and dropped from the tree.
    Parser(std::string_view text, Problems& problems, const OnProbe* onProbe)
        : text_(text), problems_(problems), onProbe_(onProbe) {}

    // Reads the text; true when it is one whole JSON value, then at `root` of `tree`. Faults
    // inside a whole value (keys given twice, numbers that became 0) are in the problems.
    bool run();

    tree::Tree tree;
    std::size_t root = 0;

  private:
    // An object or array being read, with its members so far in `pending_` from `pendingFrom`.
    struct Open {
        std::size_t node;
        std::size_t pendingFrom;
        bool object;
        std::string_view key;          // the current member's key
        std::size_t replaces = kNone;  // the pending member of a key given before
        std::size_t index = 0;         // the current element
        // A large object's keys and their pending members: a look-up that does not grow with it.
        std::unique_ptr<std::unordered_map<std::string_view, std::size_t>> keys;
    };
    // Where the tree stood when the current probe began.
    struct Mark {
        std::size_t nodes = 0, members = 0, decoded = 0;
    };

    bool fail(std::size_t at) {
        problems_.add(0, "", syntaxMessage(text_, at));
        return false;
    }
    // A fault of the value being read, at its pointer (spelled out only for a fault that is kept).
    void fault(std::string message) {
        problems_.add(probeNumber(), problems_.full() ? std::string() : pathOf(stack_.size()),
                      std::move(message));
    }
    void skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool inProbes() const {
        return stack_.size() >= 2 && stack_[0].object && stack_[0].key == "probes" &&
               !stack_[1].object;
    }
    bool streaming() const { return onProbe_ != nullptr && stack_.size() == 2 && inProbes(); }
    std::size_t probeNumber() const { return inProbes() ? stack_[1].index + 1 : 0; }
    std::string pathOf(std::size_t depth) const {
        std::string path;
        for (std::size_t i = 0; i < depth; ++i)
            path = stack_[i].object ? fields::child(path, std::string(stack_[i].key))
                                    : fields::child(path, stack_[i].index);
        return path;
    }
    std::size_t newNode(Kind kind) {
        tree.nodes.emplace_back().kind = kind;
        return tree.nodes.size() - 1;
    }
    void beginElement() {
        if (streaming()) mark_ = {tree.nodes.size(), tree.members.size(), tree.decoded.size()};
    }

    bool open(bool object);
    std::size_t close();
    bool key();
    void attach(std::size_t node);
    bool scalar(std::size_t& node);
    bool string(std::string_view& out);
    bool escapedString(std::size_t start, std::string_view& out);
    bool utf8Sequence();
    bool number(std::size_t& node);
    bool literal(std::string_view word);

    std::string_view text_;
    Problems& problems_;
    const OnProbe* onProbe_;
    std::size_t pos_ = 0;
    std::vector<Open> stack_;
    std::vector<tree::Member> pending_;
    Mark mark_;
};

}  // namespace probejson::tree

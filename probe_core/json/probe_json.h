// The JSON form of probe records (docs/probe_json.md): a record to the JSON object export writes
// for it, a JSON object checked and turned into a record ready to be written, and the document
// around the probes. Used by probetool and by the Python module; neither needs the probe store
// for it: records come in and go out as plain probe records.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "abi/probe_record.h"
#include "probe_core/record/staged_record.h"

namespace probejson {

inline constexpr const char* kFormatName = "probe-descriptions";
inline constexpr int kFormatVersion = 1;

// One fault found in an imported document: the probe's number (1-based, 0 for the document
// itself), the JSON pointer of the offending value and what is wrong with it (Russian).
struct Problem {
    std::size_t probe;
    std::string path;
    std::string message;
};

// The faults found in a document, in the order found. Only the first kKept are kept; the rest
// are counted, so that a hostile document of millions of faulty values costs no more than its
// first faults. A kept fault's pointer and message are cut to kLongestText bytes (a key can be as
// long as the document).
class Problems {
  public:
    static constexpr std::size_t kKept = 1000;
    static constexpr std::size_t kLongestText = 4096;

    void add(std::size_t probe, std::string path, std::string message);
    // No fault found.
    bool empty() const { return count_ == 0; }
    // Every fault found, kept or only counted.
    std::size_t count() const { return count_; }
    // The first faults found, at most kKept.
    const std::vector<Problem>& kept() const { return kept_; }
    // Whether a fault found now would only be counted: its pointer need not be spelled out.
    bool full() const { return kept_.size() >= kKept; }

  private:
    std::vector<Problem> kept_;
    std::size_t count_ = 0;
};

// The most bytes a record may carry after the known fields: a record's frame in a probe file
// holds at most 64 MiB.
inline constexpr std::size_t kMostLaterVersionBytes = std::size_t{64} << 20;

// A probe read from JSON and checked: a record holding its own texts, and the bytes a later minor
// version of the probe file added after its fields (empty when the probe has none).
struct StagedProbe : probe::StagedRecord {
    std::vector<std::uint8_t> laterVersionBytes;
};

// ---- record -> JSON ----

// Every field of a record as a JSON object, laid out as export writes it: the object's lines
// after the first are indented by `indent` spaces. Texts of the record are read as cp1251. The
// bytes a later minor version added to the record, when there are any, follow as the last key.
void appendProbe(std::string& out, const ProbeRecord& record, int indent,
                 std::span<const std::uint8_t> laterVersionBytes = {});

// The same object as a text of its own (indent 0).
std::string probeToJsonText(const ProbeRecord& record);

// Writes a document probe by probe, in the layout export uses: two-space indentation, one line
// per sub-field, line and list entry.
class DocumentWriter {
  public:
    explicit DocumentWriter(std::ostream& out);
    void probe(const ProbeRecord& record, std::span<const std::uint8_t> laterVersionBytes = {});
    // Closes the document; returns false when the stream failed anywhere on the way.
    bool finish();

  private:
    std::ostream& out_;
    std::string buffer_;
    std::size_t probes_ = 0;
};

// ---- JSON -> record ----

// The JSON text of one probe object checked field by field: paths start at its root, faults name
// probe 1. Every fault is added to `problems`; the result is meaningful only when none was added.
// Keys left out leave their field as in a fresh record.
std::unique_ptr<StagedProbe> probeFromJsonText(std::string_view text, Problems& problems);

// Checks that a text is one JSON value under the rules of a probe document, without reading it
// as probes: a syntax error (with its line and column), nesting deeper than 512 levels, a number
// beyond the range of double, a key given twice in one object and a non-zero number that would
// become 0 are reported. True when nothing was reported.
bool checkJsonText(std::string_view text, Problems& problems);

// A whole document read in one pass that keeps one probe at a time: the syntax checked as
// checkJsonText checks it, the header checked, and each probe checked as soon as it is read and,
// while no fault has been found in the document, handed to `onProbe` with its number (from 1);
// it is dropped afterwards. Stops at nothing but a syntax error: every fault is counted. The
// document is good when `problems` stays empty to the end, so a caller keeps what it was handed
// until then.
// `storage`, when given, receives what the reader held at most meanwhile.
struct ReaderStorage {
    std::size_t largestValue = 0;     // bytes of one probe's value, or of the document around them
    std::size_t largestKeyIndex = 0;  // bytes of the keys kept to find a key given twice
};
void readDocument(std::string_view text, Problems& problems,
                  const std::function<void(std::size_t number, StagedProbe& probe)>& onProbe,
                  ReaderStorage* storage = nullptr);

}  // namespace probejson

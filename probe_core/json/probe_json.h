// The JSON form of probe records (docs/probe_json.md): a record to the JSON object export writes
// for it, a JSON object checked and turned into a record ready to be written, and the document
// around the probes. Used by probetool and by the Python module; neither needs the probe store
// for it: records come in and go out as plain probe records.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "abi/probe_record.h"

namespace probejson {

// Keys keep the order in which they are written, so that the output reads like the pages.
using Json = nlohmann::ordered_json;

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

// A probe read from JSON and checked. Its plain fields are in `record`; its text and list cells
// point into cp1251 copies owned here, so the record reads like one the store hands out, and
// stays valid as long as this object. Neither copied nor moved: the cells point into it.
class StagedProbe {
  public:
    StagedProbe() = default;
    StagedProbe(const StagedProbe&) = delete;
    StagedProbe& operator=(const StagedProbe&) = delete;

    ProbeRecord record{};
    void setText(Stroka& cell, std::string cp1251);
    void setLines(Spisok& cell, std::vector<std::string> cp1251);

  private:
    std::deque<std::string> texts_;
    std::deque<std::vector<char*>> arrays_;
};

// ---- record -> JSON ----

// Every field of a record as a JSON object, laid out as export writes it: the object's lines
// after the first are indented by `indent` spaces. Texts of the record are read as cp1251.
void appendProbe(std::string& out, const ProbeRecord& record, int indent);

// The same object as a text of its own (indent 0) and as a JSON value: the keys and values
// export writes for the record, in its order.
std::string probeToJsonText(const ProbeRecord& record);
Json probeToJson(const ProbeRecord& record);

// Writes a document probe by probe, in the layout export uses: two-space indentation, one line
// per sub-field, line and list entry.
class DocumentWriter {
  public:
    explicit DocumentWriter(std::ostream& out);
    void probe(const ProbeRecord& record);
    // Closes the document; returns false when the stream failed anywhere on the way.
    bool finish();

  private:
    std::ostream& out_;
    std::string buffer_;
    std::size_t probes_ = 0;
};

// ---- JSON -> record ----

// The probe object at `path` (the probe's number is `number`) checked field by field. Every fault
// is added to `problems`; the result is meaningful only when none was added. Keys left out leave
// their field as in a fresh record.
std::unique_ptr<StagedProbe> probeFromJson(const Json& value, const std::string& path,
                                           std::size_t number, Problems& problems);
// One probe object on its own: paths start at its root, faults name probe 1.
std::unique_ptr<StagedProbe> probeFromJson(const Json& value, Problems& problems);

// A whole document: header checked, then every probe. Stops at nothing: every fault is counted.
std::vector<std::unique_ptr<StagedProbe>> documentFromJson(const Json& document,
                                                           Problems& problems);

// Parses JSON text. A syntax error (with its line and column), nesting deeper than 512 levels or a
// number beyond the range of double is reported as a problem and gives null; a key given twice in
// one object (its last value kept) or a non-zero number that would become 0 is reported and the
// value is given. "-0" keeps its sign.
Json parseJson(std::string_view text, Problems& problems);

// parseJson and documentFromJson in one pass that keeps one probe at a time: each probe is
// checked as soon as it is read and, while no fault has been found in the document, handed to
// `onProbe` with its number (from 1); it is dropped afterwards. The document is good when
// `problems` stays empty to the end, so a caller keeps what it was handed until then.
void readDocument(std::string_view text, Problems& problems,
                  const std::function<void(std::size_t number, StagedProbe& probe)>& onProbe);

}  // namespace probejson

// Probe records and Python values: a record as the dict of its JSON form, built straight from the
// record by walking the field table, and a Python value as a JSON value for the probe reader,
// with every number checked on the way.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include <pybind11/pybind11.h>

#include "abi/probe_record.h"
#include "probe_core/json/probe_json.h"

namespace probe_python {

// While one lives, the dicts this thread builds share their short texts (a maker, a name, a list
// entry that recurs from record to record): the dicts of a whole file take far less memory. Used
// with the interpreter held; at most kShared texts are kept.
class SharedTexts {
  public:
    static constexpr std::size_t kLongest = 64;
    static constexpr std::size_t kShared = 1 << 16;

    SharedTexts();
    ~SharedTexts();
    SharedTexts(const SharedTexts&) = delete;
    SharedTexts& operator=(const SharedTexts&) = delete;

    pybind11::object text(const std::string& utf8);

  private:
    std::unordered_map<std::string, pybind11::object> made_;
    SharedTexts* outer_;
};

// The record as a dict with the keys and value shapes of the JSON form: json.dumps of it equals
// that of the probe in `probetool export`. Needs the interpreter; reads nothing but the record.
pybind11::dict probeDict(const ProbeRecord& record);

// A fault in a Python value that has no JSON form: where it sits (a JSON pointer) and what it is.
struct ValueFault {
    std::string path;
    std::string message;
};

// The value as JSON: dicts with str keys, lists and tuples, str, bool, int (and whatever has
// __index__), float, None. An int beyond 64 bits that no double holds, an infinity and a NaN are
// faults, as is anything else that has no JSON form; a fault gives null in its place.
probejson::Json jsonOf(pybind11::handle value, const std::string& path,
                       std::vector<ValueFault>& faults);

}  // namespace probe_python

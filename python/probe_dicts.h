// A probe record as the dict of its JSON form, built straight from the record by visiting its
// fields in the order of the field table.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include <pybind11/pybind11.h>

#include "abi/probe_record.h"

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

}  // namespace probe_python

// A Python value as a probe: checked for what a probe object can hold (every number on the way),
// then read field by field through the same checks and fault texts as a document's probes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "probe_core/json/probe_json.h"

namespace probe_python {

// A fault in a Python value that no probe object holds: where it sits (a JSON pointer) and what
// it is.
struct ValueFault {
    std::string path;
    std::string message;
};

// Whether the value is made of dicts with str keys, lists and tuples, str, bool, int (and whatever
// has __index__), float and None. An int beyond 64 bits that no double holds, an infinity, a NaN,
// a str that UTF-8 cannot carry and anything else are faults.
void checkValue(pybind11::handle value, const std::string& path, std::vector<ValueFault>& faults);

// The checked value at `path` (probe `number`, from 1) as a staged record; the probe checks add
// their faults to `problems`. An int beyond 64 bits reads as a float, which a field that wants an
// integer refuses with its own message.
std::unique_ptr<probejson::StagedProbe> stagedProbe(pybind11::handle value, const std::string& path,
                                                    std::size_t number,
                                                    probejson::Problems& problems);

}  // namespace probe_python

// Probe files from Python: the records as the dicts of the probe JSON form, read and appended
// through the probe store bound at run time, as probetool does.
#pragma once

#include <cstdint>

#include <pybind11/pybind11.h>

namespace probe_python {

// The records that load, as dicts with the keys of the JSON form (those of `numbers`, from 1, when
// given). A record that does not load is left out with a warning (RuntimeWarning).
pybind11::list readProbes(const pybind11::object& path, const pybind11::object& numbers);

// An iterator over the records, one dict at a time.
pybind11::object iterProbes(const pybind11::object& path);

std::uint32_t countProbes(const pybind11::object& path);

// Checks every probe first, then appends them all through the probe store's batch. A fault in
// any probe raises ProbeValueError naming each faulty probe and key, and nothing is written.
void appendProbes(const pybind11::object& path, const pybind11::sequence& probes);

// The numbers (from 1) of the records that do not load; empty when every record loads.
pybind11::list checkProbes(const pybind11::object& path);

void bindProbeFiles(pybind11::module_& m);

}  // namespace probe_python

// Probe files from Python: the records as the dicts of the probe JSON form, read and appended
// through the probe store bound at run time, as probetool does.
#pragma once

#include <pybind11/pybind11.h>

namespace probe_python {

// Every record of the file that loads, as a list of dicts with the keys of the JSON form. A
// record that does not load is left out with a warning (RuntimeWarning).
pybind11::list readProbes(const pybind11::object& path);

// Checks every probe first, then appends them one by one through the probe store. A fault in any
// probe raises ValueError naming each faulty probe and key, and nothing is written.
void appendProbes(const pybind11::object& path, const pybind11::sequence& probes);

// The numbers (from 1) of the records that do not load; empty when every record loads.
pybind11::list checkProbes(const pybind11::object& path);

void bindProbeFiles(pybind11::module_& m);

}  // namespace probe_python

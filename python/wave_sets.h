// Wave sets from Python: the class WaveSet over a set of abi/wave_set.h made by wavelib, its rays
// and waves as numpy arrays over the records, and wavelib2's operations called through the
// version 1.1 table that wavelib2 hands out, as any host calls them.
#pragma once

#include <pybind11/pybind11.h>

namespace probe_python {

void bindWaveSets(pybind11::module_& m);

}  // namespace probe_python

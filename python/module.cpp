// The Python module probe_tools: probe files and wave sets of the probe tool set.
#include <pybind11/pybind11.h>

#include "python/probe_files.h"
#include "python/wave_sets.h"

PYBIND11_MODULE(probe_tools, m) {
    m.doc() = R"(Probe files and wave sets of the probe tool set.

Probe files (*.dt) are read into and appended from dicts in the probe JSON form, through the probe
store library that the editor and probetool use. Wave sets of the wave processors are numpy arrays
over their own records, worked on by wavelib2 through the version 1.1 table it hands out to any
host. Messages of the tool set's own errors are in Russian, as everywhere in the tool set.)";
    probe_python::bindProbeFiles(m);
    probe_python::bindWaveSets(m);
}

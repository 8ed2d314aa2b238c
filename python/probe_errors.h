// The module's exceptions: a small hierarchy under ProbeError, each class also under the built-in
// class callers caught before it existed (OSError, ValueError, RuntimeError), and the system's
// own OSError subclasses (FileNotFoundError, IsADirectoryError, ...) for what the system refused.
// The probe-file client's errors are raised here, by their code; their text is the client's.
#pragma once

#include <pybind11/pybind11.h>

#include "probe_core/files/file_error.h"
#include "probe_core/files/probe_files.h"

namespace probe_python {

void bindErrors(pybind11::module_& m);

// Raises the client's error as the exception of its kind, with messageOf(error) as its text and
// error.file as its `filename` where a file is at fault.
[[noreturn]] void raise(const probefiles::Error& error);

// ProbeValueError for the faults of the probes given to append(): the shown ones, one line each,
// those beyond only counted; `faults` and `count` say the same as values.
[[noreturn]] void raiseFaults(const probefiles::ProbeFaults& faults);

// The error as a RuntimeWarning; a warning filter that turns it into an error raises that error.
void warn(const probefiles::Error& error);

}  // namespace probe_python

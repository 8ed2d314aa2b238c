// The module's exceptions: a small hierarchy under ProbeError, each class also under the built-in
// class callers caught before it existed (OSError, ValueError, RuntimeError), and the system's
// own OSError subclasses (FileNotFoundError, IsADirectoryError, ...) for what the system refused.
// Messages are Russian, as everywhere in the tool set.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

namespace probe_python {

// One refused value of a probe given to append: the probe's number (from 1), the JSON pointer of
// the value within the sequence given, and what is wrong with it.
struct ProbeFault {
    std::size_t probe;
    std::string path;
    std::string message;
};

void bindErrors(pybind11::module_& m);

// OSError(errno, message, file): Python picks the subclass for the errno.
[[noreturn]] void raiseSystemError(int errnum, const std::string& message, const std::string& file);
// NotAProbeFileError (a ValueError): the file is no probe file, or its header is unreadable.
[[noreturn]] void raiseNotProbeFile(const std::string& message, const std::string& file);
// ProbeValueError (a ValueError): probes refused; `faults` are the ones shown, `count` all.
[[noreturn]] void raiseRefused(const std::string& message, const std::vector<ProbeFault>& faults,
                               std::size_t count);
// ProbeWriteError (an OSError): the probe store did not write; errnum 0 when no reason is known.
[[noreturn]] void raiseWriteFailed(int errnum, const std::string& message, const std::string& file);
// ProbeLibraryError (a RuntimeError): the probe store library is missing or unusable.
[[noreturn]] void raiseLibrary(const std::string& message);

}  // namespace probe_python

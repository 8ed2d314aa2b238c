#include "python/probe_errors.h"

#include <cstring>

namespace py = pybind11;

namespace probe_python {

namespace {

// The classes, made once when the module is imported and kept for the life of the process.
struct ErrorClasses {
    PyObject* notProbeFile = nullptr;
    PyObject* refused = nullptr;
    PyObject* writeFailed = nullptr;
    PyObject* library = nullptr;
};

ErrorClasses& classes() {
    static ErrorClasses made;
    return made;
}

PyObject* makeClass(py::module_& m, const char* name, const py::tuple& bases, const char* doc) {
    py::dict body;
    body["__doc__"] = doc;
    body["__module__"] = m.attr("__name__");
    py::object made = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type))(
        name, bases, body);
    m.attr(name) = made;
    return made.release().ptr();
}

[[noreturn]] void raise(PyObject* type, const py::object& instance) {
    PyErr_SetObject(type, instance.ptr());
    throw py::error_already_set();
}

}  // namespace

void bindErrors(py::module_& m) {
    const py::handle builtins = PyEval_GetBuiltins();
    const auto builtin = [&](const char* name) {
        return py::reinterpret_borrow<py::object>(PyDict_GetItemString(builtins.ptr(), name));
    };
    PyObject* base = makeClass(m, "ProbeError", py::make_tuple(builtin("Exception")),
                               "Base class of the errors of probe files.");
    const py::object probeError = py::reinterpret_borrow<py::object>(base);
    ErrorClasses& c = classes();
    c.notProbeFile =
        makeClass(m, "NotAProbeFileError", py::make_tuple(probeError, builtin("ValueError")),
                  "The file is not a probe file, or its header is cut off, damaged or of a "
                  "version this library does not read. `filename` names the file.");
    c.refused = makeClass(
        m, "ProbeValueError", py::make_tuple(probeError, builtin("ValueError")),
        "Probes given to append() were refused; nothing was written. `faults` lists the faults "
        "shown in the message as (probe number from 1, JSON pointer, message) tuples, `count` "
        "counts every fault found.");
    c.writeFailed = makeClass(
        m, "ProbeWriteError", py::make_tuple(probeError, builtin("OSError")),
        "The probe store did not write the probes (no room, no permission, the file takes no "
        "records); the file is as it was. `errno` and `strerror` give the system's reason when "
        "one is known, `filename` the file.");
    c.library =
        makeClass(m, "ProbeLibraryError", py::make_tuple(probeError, builtin("RuntimeError")),
                  "The probe store library cannot be loaded or lacks what is needed.");
}

void raiseSystemError(int errnum, const std::string& message, const std::string& file) {
    raise(PyExc_OSError, py::make_tuple(errnum, message, file));
}

void raiseNotProbeFile(const std::string& message, const std::string& file) {
    py::object error = py::reinterpret_borrow<py::object>(classes().notProbeFile)(message);
    error.attr("filename") = file;
    raise(classes().notProbeFile, error);
}

void raiseRefused(const std::string& message, const std::vector<ProbeFault>& faults,
                  std::size_t count) {
    py::list shown;
    for (const ProbeFault& f : faults) shown.append(py::make_tuple(f.probe, f.path, f.message));
    py::object error = py::reinterpret_borrow<py::object>(classes().refused)(message);
    error.attr("faults") = shown;
    error.attr("count") = count;
    raise(classes().refused, error);
}

void raiseWriteFailed(int errnum, const std::string& message, const std::string& file) {
    py::object type = py::reinterpret_borrow<py::object>(classes().writeFailed);
    py::object error =
        errnum != 0 ? type(errnum, message + ": " + std::strerror(errnum), file) : type(message);
    if (errnum == 0) error.attr("filename") = file;
    raise(classes().writeFailed, error);
}

void raiseLibrary(const std::string& message) {
    raise(classes().library, py::reinterpret_borrow<py::object>(classes().library)(message));
}

}  // namespace probe_python

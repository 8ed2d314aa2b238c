#include "python/probe_errors.h"

#include <cerrno>
#include <map>
#include <string>

namespace py = pybind11;

namespace probe_python {

namespace {

using probefiles::Error;
using probefiles::ErrorCode;

// The classes, made once when the module is imported and kept for the life of the process.
struct ErrorClasses {
    PyObject* base = nullptr;
    PyObject* notProbeFile = nullptr;
    PyObject* refused = nullptr;
    PyObject* writeFailed = nullptr;
    PyObject* library = nullptr;
    // ProbeWriteError joined with each of the system's OSError subclasses, by that subclass.
    std::map<PyObject*, PyObject*> writeFailedAs;
    std::string module;
};

ErrorClasses& classes() {
    static ErrorClasses made;
    return made;
}

py::object borrowed(PyObject* object) {
    return py::reinterpret_borrow<py::object>(object);
}

// A class of the module; `outer` ("Class.") when it is found as an attribute of another.
PyObject* makeClass(const char* name, const py::tuple& bases, const char* doc,
                    const std::string& outer = {}) {
    py::dict body;
    body["__doc__"] = doc;
    body["__module__"] = classes().module;
    body["__qualname__"] = outer + name;
    return borrowed(reinterpret_cast<PyObject*>(&PyType_Type))(name, bases, body).release().ptr();
}

const char* const kWriteFailedDoc =
    "The probe store did not write the probes (no room, no permission, the file takes no "
    "records); the file is as it was. `errno` and `strerror` give the system's reason when one is "
    "known, `filename` the file; with an errno the error is also an instance of its own OSError "
    "subclass (PermissionError, FileNotFoundError, ...).";

[[noreturn]] void throwInstance(const py::object& instance) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(instance.ptr())), instance.ptr());
    throw py::error_already_set();
}

// An instance of `type` with the message alone and the file as its `filename`.
[[noreturn]] void throwNamed(PyObject* type, const Error& e) {
    py::object error = borrowed(type)(probefiles::messageOf(e));
    if (!e.file.empty()) error.attr("filename") = e.file;
    throwInstance(error);
}

// OSError(errno, message, file): Python picks the subclass for the errno.
[[noreturn]] void throwSystem(int errnum, const Error& e) {
    throwInstance(borrowed(PyExc_OSError)(errnum, probefiles::messageOf(e), e.file));
}

// ProbeWriteError joined with one of the system's OSError subclasses (PermissionError,
// FileNotFoundError, ...), so that callers catching either catch it. It is found as
// ProbeWriteError.PermissionError and so on: it pickles (and so crosses to another process) as the
// module's other classes do.
PyObject* joinedWriteFailed(PyObject* own) {
    ErrorClasses& c = classes();
    PyObject*& joined = c.writeFailedAs[own];
    if (joined == nullptr) {
        const py::object ownName = borrowed(own).attr("__name__");
        joined = makeClass(ownName.cast<std::string>().c_str(),
                           py::make_tuple(borrowed(c.writeFailed), borrowed(own)), kWriteFailedDoc,
                           "ProbeWriteError.");
        borrowed(c.writeFailed).attr(ownName) = borrowed(joined);
    }
    return joined;
}

// The OSError subclass the system's errno has; OSError itself for most.
PyObject* ownClassOf(int errnum) {
    const py::object sample = borrowed(PyExc_OSError)(errnum, "");
    return reinterpret_cast<PyObject*>(Py_TYPE(sample.ptr()));
}

py::object writeFailedClass(int errnum) {
    PyObject* own = errnum != 0 ? ownClassOf(errnum) : PyExc_OSError;
    return borrowed(own == PyExc_OSError ? classes().writeFailed : joinedWriteFailed(own));
}

[[noreturn]] void throwWriteFailed(const Error& e) {
    const py::object type = writeFailedClass(e.systemError);
    if (e.systemError != 0) throwInstance(type(e.systemError, probefiles::messageOf(e), e.file));
    throwNamed(type.ptr(), e);
}

[[noreturn]] void throwRefused(const std::string& message, const py::list& faults,
                               std::size_t count) {
    py::object error = borrowed(classes().refused)(message);
    error.attr("faults") = faults;
    error.attr("count") = count;
    throwInstance(error);
}

}  // namespace

void bindErrors(py::module_& m) {
    const py::handle builtins = PyEval_GetBuiltins();
    const auto builtin = [&](const char* name) {
        return borrowed(PyDict_GetItemString(builtins.ptr(), name));
    };
    ErrorClasses& c = classes();
    c.module = m.attr("__name__").cast<std::string>();
    c.base = makeClass("ProbeError", py::make_tuple(builtin("Exception")),
                       "Base class of the errors of probe files.");
    const py::object probeError = borrowed(c.base);
    c.notProbeFile =
        makeClass("NotAProbeFileError", py::make_tuple(probeError, builtin("ValueError")),
                  "The file is not a probe file, or its header is damaged or of a version this "
                  "library does not read. `filename` names the file.");
    c.refused = makeClass(
        "ProbeValueError", py::make_tuple(probeError, builtin("ValueError")),
        "Probes given to append() were refused; nothing was written. `faults` lists the faults "
        "shown in the message as (probe number from 1, JSON pointer, message) tuples, `count` "
        "counts every fault found.");
    c.writeFailed = makeClass("ProbeWriteError", py::make_tuple(probeError, builtin("OSError")),
                              kWriteFailedDoc);
    c.library = makeClass("ProbeLibraryError", py::make_tuple(probeError, builtin("RuntimeError")),
                          "The probe store library cannot be loaded or lacks what is needed.");
    // Every joined class is there from the start, for an error pickled by another process.
    for (const auto& [errnum, name] :
         py::module_::import("errno").attr("errorcode").cast<py::dict>())
        if (PyObject* own = ownClassOf(errnum.cast<int>()); own != PyExc_OSError)
            joinedWriteFailed(own);
    for (const auto& [name, type] :
         {std::pair{"ProbeError", c.base}, std::pair{"NotAProbeFileError", c.notProbeFile},
          std::pair{"ProbeValueError", c.refused}, std::pair{"ProbeWriteError", c.writeFailed},
          std::pair{"ProbeLibraryError", c.library}})
        m.attr(name) = borrowed(type);
}

void raise(const Error& e) {
    switch (e.code) {
        case ErrorCode::kEmptyName:
        case ErrorCode::kNameHasNul:
        case ErrorCode::kNameNotInCp1251:
            throw py::value_error(probefiles::messageOf(e));
        case ErrorCode::kNotFound:
            throwSystem(e.systemError != 0 ? e.systemError : ENOENT, e);
        case ErrorCode::kTargetIsFolder:
            throwSystem(EISDIR, e);
        case ErrorCode::kCannotLook:
        case ErrorCode::kCannotRead:
            if (e.systemError != 0) throwSystem(e.systemError, e);
            throwNamed(PyExc_OSError, e);
        case ErrorCode::kNotAFile:
            // A folder comes with the system's EISDIR; a device or a pipe is no probe file.
            if (e.systemError != 0) throwSystem(e.systemError, e);
            throwNamed(classes().notProbeFile, e);
        case ErrorCode::kNotProbeFile:
        case ErrorCode::kHeaderUnreadable:
        case ErrorCode::kHeaderDamaged:
        case ErrorCode::kNotSurfaceFile:
            throwNamed(classes().notProbeFile, e);
        case ErrorCode::kRecordDamaged:
            throwNamed(classes().base, e);
        case ErrorCode::kNoSuchRecord:
            throw py::index_error(probefiles::messageOf(e));
        case ErrorCode::kStoreNotLoaded:
        case ErrorCode::kStoreNoMemory:
        case ErrorCode::kStoreNoBatches:
            throwNamed(classes().library, e);
        case ErrorCode::kInvalidProbe:
        case ErrorCode::kProbeTooLarge: {
            const std::string message = probefiles::messageOf(e);
            py::list faults;
            faults.append(py::make_tuple(e.probe, e.key, e.detail.empty() ? message : e.detail));
            throwRefused(message, faults, 1);
        }
        case ErrorCode::kCannotWrite:
        case ErrorCode::kAppendRefused:
        case ErrorCode::kSameFile:
        case ErrorCode::kTargetExists:
        case ErrorCode::kTargetIsProbeFile:
        case ErrorCode::kTargetIsSurfaceFile:
        case ErrorCode::kTargetNotJson:
        case ErrorCode::kTargetNotEmpty:
            throwWriteFailed(e);
    }
    throwNamed(classes().base, e);
}

void raiseFaults(const probefiles::ProbeFaults& faults) {
    std::string message;
    for (const std::string& line : probefiles::listingOf(faults)) message += line + '\n';
    message += "Ничего не добавлено: ошибок: " + std::to_string(faults.count);
    py::list shown;
    for (const Error& e : faults.shown) shown.append(py::make_tuple(e.probe, e.key, e.detail));
    throwRefused(message, shown, faults.count);
}

void warn(const Error& e) {
    const std::string text = probefiles::messageOf(e);
    if (PyErr_WarnEx(PyExc_RuntimeWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

}  // namespace probe_python

// The Python module probe_tools: probe files and wave sets of the probe tool set.
#include <cstring>
#include <string>

#include <pybind11/pybind11.h>

#include "python/probe_files.h"
#include "python/wave_sets.h"

namespace py = pybind11;

namespace {

const char* const kModuleDoc = R"(Probe files and wave sets of the probe tool set.

Probe files (*.dt) are read into and appended from dicts in the probe JSON form, through the probe
store library that the editor and probetool use; numpy is not needed for them. Wave sets of the
wave processors are numpy arrays over their own records, worked on by wavelib2 through the
version 1.1 table it hands out to any host; numpy is imported when a wave set is first used.
Messages of the tool set's own errors are in Russian, as everywhere in the tool set.)";

py::module_::module_def moduleDef;

// The interpreter that imports the module, for messages.
std::string runningInterpreter() {
    PyObject* executable = PySys_GetObject("executable");  // borrowed
    const char* path = executable != nullptr ? PyUnicode_AsUTF8(executable) : nullptr;
    if (path == nullptr) PyErr_Clear();
    return (path != nullptr && *path != '\0' ? std::string(path) : std::string("?")) + " (Python " +
           std::string(Py_GetVersion()).substr(0, std::strcspn(Py_GetVersion(), " ")) + ")";
}

}  // namespace

// The import entry point. The module is built for one interpreter's version: an import by
// another (a pyenv or conda python3 first on the PATH) is refused with a message naming the
// interpreter it was built for, before anything of the module runs.
extern "C" PYBIND11_EXPORT PyObject* PyInit_probe_tools() {
    const char* built = PYBIND11_TOSTRING(PY_MAJOR_VERSION) "." PYBIND11_TOSTRING(PY_MINOR_VERSION);
    const char* running = Py_GetVersion();
    const std::size_t length = std::strlen(built);
    if (std::strncmp(running, built, length) != 0 ||
        (running[length] >= '0' && running[length] <= '9')) {
        const std::string text = "Модуль probe_tools собран для " PROBE_PYTHON_EXECUTABLE
                                 " (Python " +
                                 std::string(built) + "), а импортирован из " +
                                 runningInterpreter() + ": запустите " PROBE_PYTHON_EXECUTABLE;
        PyErr_SetString(PyExc_ImportError, text.c_str());
        return nullptr;
    }
    PYBIND11_ENSURE_INTERNALS_READY
    auto m = py::module_::create_extension_module("probe_tools", kModuleDoc, &moduleDef);
    try {
        m.attr("__version__") = PROBE_VERSION;
        probe_python::bindProbeFiles(m);
        probe_python::bindWaveSets(m);
        return m.release().ptr();
    }
    PYBIND11_CATCH_INIT_EXCEPTIONS
}

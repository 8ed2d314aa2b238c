#include "python/wave_library.h"

#include <cstddef>
#include <stdexcept>
#include <vector>

#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "platform/table_request.h"

namespace probe_python {

WaveLibrary::WaveLibrary() {
    if (platform::loadLibrary(kWavelibFileName) == nullptr) {
        error_ = "не удалось загрузить " + std::string(kWavelibFileName) + ": " +
                 platform::lastErrorText();
        return;
    }
    platform::Module module = platform::loadLibrary("wavelib2.dll");
    if (module == nullptr) {
        error_ = "не удалось загрузить wavelib2.dll: " + platform::lastErrorText();
        return;
    }
    if (!platform::requestTable(module, &table_, sizeof(table_), kWaveProcessorTable11Name)) {
        error_ = "wavelib2 не выдал таблицу версии 1.1";
        return;
    }
    // The placement and storage tables are wavelib's; wavelib2 passes the requests on.
    if (!platform::requestTable(module, placement_.data(), sizeof(placement_),
                                kPlacementTableName) ||
        !platform::requestTable(module, storage_.data(), sizeof(storage_), kStorageTableName)) {
        error_ = "wavelib не выдал таблицы размещения и хранения наборов";
    }
}

std::string WaveLibrary::errorText() const {
    const char* text = table_.errorText != nullptr ? table_.errorText() : nullptr;
    return text != nullptr ? platform::cp1251ToUtf8(text) : std::string();
}

[[noreturn]] void failed(const char* operation) {
    const std::string text = WaveLibrary::instance().errorText();
    throw std::runtime_error(std::string(operation) + ": " +
                             (text.empty() ? std::string("wavelib сообщил о неудаче") : text));
}

// ---- the record types as numpy sees them ----

namespace {

// numpy is imported when a wave set first needs it, so that probe files are read without it. Its
// absence is named, with the interpreter that lacks it and the one the module was built for.
void requireNumpy() {
    static bool found = false;
    if (found) return;
    try {
        py::module_::import("numpy");
        found = true;
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError)) throw;
        const std::string running =
            py::str(py::module_::import("sys").attr("executable")).cast<std::string>();
        throw py::import_error(
            "Для наборов волн нужен numpy, а интерпретатор " + running + " его не находит (" +
            e.what() +
            "). Модуль probe_tools собран для " PROBE_PYTHON_EXECUTABLE
            ", у которого numpy из пакета python3-numpy: запустите скрипт им или установите numpy "
            "для этого интерпретатора");
    }
}

struct FieldSpec {
    const char* name;
    std::size_t offset;
    const char* format;
};

py::dtype makeDtype(const std::vector<FieldSpec>& fields, std::size_t size) {
    py::list names;
    py::list formats;
    py::list offsets;
    for (const FieldSpec& f : fields) {
        names.append(f.name);
        formats.append(f.format);
        offsets.append(f.offset);
    }
    py::dict layout;
    layout["names"] = names;
    layout["formats"] = formats;
    layout["offsets"] = offsets;
    layout["itemsize"] = size;
    return py::dtype::from_args(layout);
}

}  // namespace

// The dtypes live as long as the process (a static Python object would be released after the
// interpreter has gone).
const py::dtype& rayDtype() {
    requireNumpy();
    static const py::dtype* dtype = new py::dtype(makeDtype(
        {
            {"direction", offsetof(Ray, direction), "(3,)<f8"},
            {"origin", offsetof(Ray, origin), "(3,)<f8"},
            {"edge1", offsetof(Ray, edge1), "(3,)<f8"},
            {"edge2", offsetof(Ray, edge2), "(3,)<f8"},
            {"length", offsetof(Ray, length), "<f8"},
            {"flags", offsetof(Ray, flags), "<u4"},
        },
        sizeof(Ray)));
    return *dtype;
}

const py::dtype& waveDtype() {
    requireNumpy();
    static const py::dtype* dtype = new py::dtype(makeDtype(
        {
            {"step_length", offsetof(Wave, stepLength), "<f8"},
            {"cos_incidence", offsetof(Wave, incidenceCosine), "<f8"},
            {"cos_refraction", offsetof(Wave, refractionCosine), "<f8"},
            {"time1", offsetof(Wave, time1), "<f8"},
            {"time2", offsetof(Wave, time2), "<f8"},
            {"attenuation_factor", offsetof(Wave, attenuationFactor), "<f8"},
            {"phase", offsetof(Wave, phase), "<f8"},
            {"amplitude", offsetof(Wave, amplitude), "<f8"},
            {"energy", offsetof(Wave, energy), "<f8"},
            {"carried1", offsetof(Wave, carried1), "<f8"},
            {"carried2", offsetof(Wave, carried2), "<f8"},
            {"path_length", offsetof(Wave, path), "<f8"},
            {"angular_width", offsetof(Wave, angularWidth), "<f8"},
        },
        sizeof(Wave)));
    return *dtype;
}

}  // namespace probe_python

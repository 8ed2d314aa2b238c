#include "python/wave_sets.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "abi/placement_tables.h"
#include "abi/plugin.h"
#include "abi/wave_set.h"
#include "abi/wavelib.h"
#include "abi/wavelib2.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "platform/table_request.h"

namespace py = pybind11;

namespace probe_python {

namespace {

// ---- the library ----

// wavelib2 loaded once for the process and never unloaded: sets made by wavelib live in Python
// objects whose last reference may go at any time, up to the interpreter's exit.
//
// The programs of the tool set find their libraries in their own folder. This module runs inside
// the Python interpreter, whose folder holds none: the libraries are named bare and found through
// the module's run path (the program folder). wavelib2 in turn loads wavelib by its bare name,
// which the dynamic linker's search would not find from wavelib2; wavelib is therefore opened
// here first under that bare name, and wavelib2's load of it then finds the library already
// loaded under that name.
class WaveLibrary {
  public:
    static WaveLibrary& instance() {
        static WaveLibrary* library = new WaveLibrary();
        if (!library->error_.empty()) throw std::runtime_error(library->error_);
        return *library;
    }

    const WaveProcessorTable11& table() const { return table_; }
    TableCell* placement() { return placement_.data(); }
    TableCell* storage() { return storage_.data(); }

    // wavelib's current error text (entry 7), UTF-8.
    std::string errorText() const {
        const char* text = table_.errorText != nullptr ? table_.errorText() : nullptr;
        return text != nullptr ? platform::cp1251ToUtf8(text) : std::string();
    }

  private:
    WaveLibrary() {
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

    WaveProcessorTable11 table_{};
    std::array<TableCell, kPlacementTableCells> placement_{};
    std::array<TableCell, kStorageTableEntries> storage_{};
    std::string error_;
};

// A failed entry: RuntimeError with wavelib's text, named by the entry's own name.
[[noreturn]] void failed(const char* operation) {
    const std::string text = WaveLibrary::instance().errorText();
    throw std::runtime_error(std::string(operation) +
                             (text.empty() ? std::string(" failed") : ": " + text));
}

// ---- the record types as numpy sees them ----

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

// The dtypes live as long as the process (a static Python object would be released after the
// interpreter has gone).
const py::dtype& rayDtype() {
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

// ---- media ----

// The three fields of a medium block that the wave processors read; the rest of the block
// belongs to wavelib and is kept as it is when a medium is set.
struct PyMedium {
    double speed = 0.0;
    double density = 0.0;
    double attenuation = 0.0;
};

PyMedium mediumOf(const Medium& m) {
    return {m.speed, m.density, m.attenuation};
}

void setMedium(Medium& m, const PyMedium& value) {
    m.speed = value.speed;
    m.density = value.density;
    m.attenuation = value.attenuation;
}

// ---- the sets ----

class PyWaveSet {
  public:
    explicit PyWaveSet(std::uint32_t count) : library_(WaveLibrary::instance()) {
        set_ = library_.table().createSet(count);
        if (set_ == nullptr) failed("createSet");
    }
    ~PyWaveSet() {
        if (set_ != nullptr) library_.table().deleteSet(set_);
    }
    PyWaveSet(const PyWaveSet&) = delete;
    PyWaveSet& operator=(const PyWaveSet&) = delete;

    WaveLibrary& library() { return library_; }
    const WaveProcessorTable11& table() { return library_.table(); }

    WaveSet* set() const {
        if (set_ == nullptr) throw py::value_error("the wave set has been released");
        return set_;
    }
    bool released() const { return set_ == nullptr; }

    // Raises when a numpy view of the arrays is alive: the operation may move them.
    void requireNoViews(const char* operation) const {
        set();
        if (views_ != 0) {
            throw py::buffer_error(
                std::string(operation) + ": " + std::to_string(views_) +
                " numpy view(s) of this wave set's rays or waves are still "
                "alive and the operation may move the arrays; delete them first");
        }
    }

    void release() {
        if (set_ == nullptr) return;
        requireNoViews("release");
        table().deleteSet(set_);
        set_ = nullptr;
    }

    int views_ = 0;

  private:
    WaveLibrary& library_;
    WaveSet* set_ = nullptr;
};

struct ViewGuard {
    py::object owner;  // the WaveSet, kept alive by the view
};

// A numpy array over the first `count` rays or waves of the set, no copy. The view keeps the set
// alive, and the set refuses what would move its arrays while a view lives.
py::array viewOf(const py::object& self, bool rays) {
    PyWaveSet& s = self.cast<PyWaveSet&>();
    WaveSet* set = s.set();
    const py::dtype& dtype = rays ? rayDtype() : waveDtype();
    void* data = rays ? static_cast<void*>(set->rays) : static_cast<void*>(set->waves);
    if (set->count == 0 || data == nullptr) return py::array(dtype, {0}, {dtype.itemsize()});
    auto* guard = new ViewGuard{self};
    ++s.views_;
    py::capsule base(guard, [](void* p) {
        auto* g = static_cast<ViewGuard*>(p);
        --g->owner.cast<PyWaveSet&>().views_;
        delete g;
    });
    return py::array(dtype, {static_cast<py::ssize_t>(set->count)}, {dtype.itemsize()}, data, base);
}

// An array given by the caller, checked to be of `dtype` exactly.
py::array recordsOf(const py::handle& value, const py::dtype& dtype, const char* what,
                    const char* dtypeName) {
    py::array array = py::array::ensure(value);
    if (!array || !array.dtype().equal(dtype))
        throw py::value_error(std::string(what) + " must be a numpy array of dtype " + dtypeName);
    return py::array::ensure(array, py::array::c_style);
}

std::array<double, 3> pointOf(const py::handle& value, const char* what) {
    std::vector<double> v = value.cast<std::vector<double>>();
    if (v.size() != 3) throw py::value_error(std::string(what) + " must have three coordinates");
    return {v[0], v[1], v[2]};
}

std::unique_ptr<PyWaveSet> fromArrays(const py::handle& raysValue, const py::handle& wavesValue) {
    const py::array rays = recordsOf(raysValue, rayDtype(), "rays", "RAY_DTYPE");
    const auto n = static_cast<std::size_t>(rays.size());
    const bool withWaves = !wavesValue.is_none();
    py::array waves;
    if (withWaves) {
        waves = recordsOf(wavesValue, waveDtype(), "waves", "WAVE_DTYPE");
        if (static_cast<std::size_t>(waves.size()) != n)
            throw py::value_error("rays and waves must have the same length");
    }
    // The element count is 32 bits wide: a longer array must not be cut down to fit it.
    if (n > std::numeric_limits<std::uint32_t>::max())
        throw py::value_error("too many elements for one wave set");
    auto s = std::make_unique<PyWaveSet>(static_cast<std::uint32_t>(n));
    if (n != 0) {
        std::memcpy(s->set()->rays, rays.data(), n * sizeof(Ray));
        if (withWaves) std::memcpy(s->set()->waves, waves.data(), n * sizeof(Wave));
    }
    return s;
}

std::unique_ptr<PyWaveSet> plane(const py::handle& point, const py::handle& normal,
                                 const PyMedium& first, const PyMedium& second,
                                 double referenceLength, bool phaseOnly) {
    auto s = std::make_unique<PyWaveSet>(1);
    WaveSet* set = s->set();
    const auto o = pointOf(point, "point");
    const auto d = pointOf(normal, "normal");
    std::memcpy(set->rays[0].origin, o.data(), sizeof o);
    std::memcpy(set->rays[0].direction, d.data(), sizeof d);
    if (phaseOnly) set->rays[0].flags |= kRayPhaseOnly;
    setMedium(set->medium, first);
    setMedium(set->medium2, second);
    set->referenceLength = referenceLength;
    return s;
}

bool sameMedium(const Medium& a, const Medium& b) {
    return a.density == b.density && a.speed == b.speed;
}

py::tuple split(PyWaveSet& incident, PyWaveSet& interface, std::uint64_t plane, double threshold,
                py::object reflected, py::object transmitted) {
    WaveSet* i = incident.set();
    WaveSet* s = interface.set();
    if (!sameMedium(i->medium, s->medium) && !sameMedium(i->medium, s->medium2)) {
        throw std::runtime_error(
            "OtrazitIPrelomit: the incident set's medium (speed and density) is on neither side "
            "of the interface set");
    }
    if (reflected.is_none()) reflected = py::cast(std::make_unique<PyWaveSet>(0));
    if (transmitted.is_none()) transmitted = py::cast(std::make_unique<PyWaveSet>(0));
    PyWaveSet& r = reflected.cast<PyWaveSet&>();
    PyWaveSet& t = transmitted.cast<PyWaveSet&>();
    const PyWaveSet* all[] = {&r, &t, &interface, &incident};
    for (std::size_t a = 0; a < 4; ++a)
        for (std::size_t b = a + 1; b < 4; ++b)
            if (all[a] == all[b])
                throw py::value_error(
                    "split: the reflected, transmitted, interface and incident sets must be four "
                    "different sets");
    // wavelib gives the new sets their room: their arrays may move.
    r.requireNoViews("split (reflected set)");
    t.requireNoViews("split (transmitted set)");
    if (!isTrue(incident.table().otrazitIPrelomit(r.set(), t.set(), s, i, &plane, &threshold)))
        failed("OtrazitIPrelomit");
    return py::make_tuple(reflected, transmitted);
}

void pointSource(PyWaveSet& s, double energy, const py::object& templateWave,
                 const py::object& impedance) {
    WaveSet* set = s.set();
    Wave pattern{};
    if (!templateWave.is_none()) {
        py::array a = recordsOf(templateWave, waveDtype(), "template", "WAVE_DTYPE");
        if (a.size() != 1) throw py::value_error("template must hold exactly one wave");
        std::memcpy(&pattern, a.data(), sizeof pattern);
    }
    double pair[2] = {set->medium.speed, set->medium.density};
    if (!impedance.is_none()) {
        const auto v = impedance.cast<std::vector<double>>();
        if (v.size() != 2) throw py::value_error("impedance must be two numbers");
        pair[0] = v[0];
        pair[1] = v[1];
    }
    if (!isTrue(s.table().inicializirovatVolny(set, &pattern, energy, pair)))
        failed("InicializirovatVolny");
}

std::unique_ptr<PyWaveSet> replicate(PyWaveSet& placement, PyWaveSet& pattern) {
    WaveSet* a = placement.set();
    WaveSet* b = pattern.set();
    auto collection = std::make_unique<PyWaveSet>(0);
    PyWaveSet work(0);
    WaveLibrary& library = placement.library();
    if (!isTrue(library.table().razmnozhitNabor(collection->set(), a, b, work.set(),
                                                library.placement(), library.storage())))
        failed("RazmnozhitNabor");
    return collection;
}

const char* const kWaveSetDoc = R"(A wave set of the wave processors, made by wavelib.

Element i is ray i with wave i. `rays` and `waves` are numpy arrays of dtype RAY_DTYPE and
WAVE_DTYPE laid over the set's own records: writing into them writes the set, and an operation's
results show in them. They show the first `count` elements as the set held when they were taken;
take them again after an operation that changes the count. While such an array (or one derived
from it) is alive, what may move the set's arrays (resize, release, receiving the results of a
split) raises BufferError instead.

Lengths, speeds and times are in one consistent system of units of the caller's choice.)";

}  // namespace

void bindWaveSets(py::module_& m) {
    m.attr("RAY_DTYPE") = rayDtype();
    m.attr("WAVE_DTYPE") = waveDtype();
    m.attr("RAY_REACHED") = kRayReached;
    m.attr("RAY_PHASE_ONLY") = kRayPhaseOnly;
    m.attr("RAY_REMOVE") = kRayRemove;
    m.attr("SET_FROM_SOURCE") = kSetBuiltFromSource;

    py::class_<PyMedium>(m, "Medium",
                         "A medium: speed of sound, density and attenuation coefficient.")
        .def(py::init([](double speed, double density, double attenuation) {
                 return PyMedium{speed, density, attenuation};
             }),
             py::arg("speed") = 0.0, py::arg("density") = 0.0, py::arg("attenuation") = 0.0)
        .def_readwrite("speed", &PyMedium::speed)
        .def_readwrite("density", &PyMedium::density)
        .def_readwrite("attenuation", &PyMedium::attenuation)
        .def_property_readonly(
            "impedance", [](const PyMedium& me) { return me.density * me.speed; },
            "Acoustic impedance: density times speed.")
        .def("__eq__",
             [](const PyMedium& a, const PyMedium& b) {
                 return a.speed == b.speed && a.density == b.density &&
                        a.attenuation == b.attenuation;
             })
        .def("__repr__", [](const PyMedium& me) {
            return "Medium(speed=" + py::repr(py::float_(me.speed)).cast<std::string>() +
                   ", density=" + py::repr(py::float_(me.density)).cast<std::string>() +
                   ", attenuation=" + py::repr(py::float_(me.attenuation)).cast<std::string>() +
                   ")";
        });

    py::class_<PyWaveSet>(m, "WaveSet", kWaveSetDoc)
        .def(py::init([](std::uint32_t count) { return std::make_unique<PyWaveSet>(count); }),
             py::arg("count") = 0, "A set of `count` zeroed elements with zeroed media.")
        .def_static("from_arrays", &fromArrays, py::arg("rays"), py::arg("waves") = py::none(),
                    "A set holding copies of the given records (RAY_DTYPE, WAVE_DTYPE; the waves "
                    "zeroed when not given).")
        .def_static("plane", &plane, py::arg("point"), py::arg("normal"), py::arg("first"),
                    py::arg("second"), py::arg("reference_length"), py::arg("phase_only") = false,
                    "An interface set: the plane through `point` with `normal` (ray 0), the media "
                    "`first` and `second` on its two sides, and the reference length whose "
                    "quarter is the first step of the sets a split makes. With `phase_only` only "
                    "the phase rule applies at the plane.")
        .def_property_readonly(
            "count", [](const PyWaveSet& s) { return s.set()->count; }, "Element count.")
        .def("__len__", [](const PyWaveSet& s) { return s.set()->count; })
        .def_property_readonly(
            "rays", [](const py::object& self) { return viewOf(self, true); },
            "The ray records (RAY_DTYPE), a view of the set's own array.")
        .def_property_readonly(
            "waves", [](const py::object& self) { return viewOf(self, false); },
            "The wave records (WAVE_DTYPE), a view of the set's own array.")
        .def_property(
            "medium", [](const PyWaveSet& s) { return mediumOf(s.set()->medium); },
            [](PyWaveSet& s, const PyMedium& v) { setMedium(s.set()->medium, v); },
            "The medium in which the set's waves travel.")
        .def_property(
            "second_medium", [](const PyWaveSet& s) { return mediumOf(s.set()->medium2); },
            [](PyWaveSet& s, const PyMedium& v) { setMedium(s.set()->medium2, v); },
            "On an interface set, the medium on its other side.")
        .def_property(
            "source",
            [](const PyWaveSet& s) {
                const double* p = s.set()->source;
                return py::make_tuple(p[0], p[1], p[2]);
            },
            [](PyWaveSet& s, const py::handle& v) {
                const auto p = pointOf(v, "source");
                std::memcpy(s.set()->source, p.data(), sizeof p);
            },
            "The source point (x, y, z).")
        .def_property(
            "reference_length", [](const PyWaveSet& s) { return s.set()->referenceLength; },
            [](PyWaveSet& s, double v) { s.set()->referenceLength = v; },
            "The reference length; a split's new sets first step a quarter of the interface's.")
        .def_property(
            "second_length", [](const PyWaveSet& s) { return s.set()->length2; },
            [](PyWaveSet& s, double v) { s.set()->length2 = v; }, "The second length.")
        .def_property(
            "flags", [](const PyWaveSet& s) { return s.set()->flags; },
            [](PyWaveSet& s, std::uint32_t v) { s.set()->flags = v; },
            "The set's flags word (SET_FROM_SOURCE: its waves were built from the source point).")
        .def_property_readonly("released", &PyWaveSet::released)
        .def(
            "resize",
            [](PyWaveSet& s, std::uint32_t n) {
                s.requireNoViews("resize");
                if (!isTrue(s.table().resizeSet(s.set(), n))) failed("resizeSet");
            },
            py::arg("count"),
            "Element count becomes `count`: the first elements are kept, new ones zeroed.")
        .def(
            "propagate",
            [](PyWaveSet& s, double step) {
                if (!isTrue(s.table().prodvinutVolny(s.set(), step))) failed("ProdvinutVolny");
            },
            py::arg("step"),
            "Advance every ray by `step` along its direction and update its wave (path, times, "
            "attenuation): entry 6.")
        .def(
            "scale",
            [](PyWaveSet& s, double factor) {
                if (!isTrue(s.table().izmenitMasshtab(s.set(), factor))) failed("IzmenitMasshtab");
            },
            py::arg("factor"),
            "Multiply every length of the geometry by `factor` (rays, source point, reference "
            "and second length; not the waves, not the media): entry 9.")
        .def("point_source", &pointSource, py::arg("energy") = 1.0,
             py::arg("template") = py::none(), py::arg("impedance") = py::none(),
             "Build the rays and waves from the source point (entry 10): each ray runs from the "
             "source point through its former origin, the energy `energy` is shared in proportion "
             "to those distances, amplitudes follow from the impedance pair (default: the set's "
             "medium's speed and density). Times, phase, attenuation factor and the carried "
             "values come from `template` (one record of WAVE_DTYPE; zeros when not given). Does "
             "nothing on a set whose waves were already built so.")
        .def("replicate", &replicate, py::arg("pattern"),
             "A new set: a copy of `pattern` placed at every ray of this set, shifted to the ray's "
             "origin and turned onto its direction (entry 11), with this set's source point.")
        .def(
            "remove_weak",
            [](PyWaveSet& s, double threshold) {
                s.table().otbrositSlabyeVolny(s.set(), &threshold);
            },
            py::arg("threshold"),
            "Remove the elements whose energy is not at least `threshold` (entry 12); the last "
            "element takes a removed one's place.")
        .def(
            "remove_marked", [](PyWaveSet& s) { s.table().udalitOtmechennye(s.set()); },
            "Remove the elements whose ray carries RAY_REMOVE (entry 13); the last element takes "
            "a removed one's place.")
        .def("split", &split, py::arg("interface"), py::arg("plane") = 0,
             py::arg("threshold") = 0.0, py::arg("reflected") = py::none(),
             py::arg("transmitted") = py::none(),
             "Reflect and transmit this incident set at the interface set (entry 8): returns the "
             "reflected and the transmitted set. `plane` is the ray of the interface set that "
             "holds the plane, `threshold` the least energy a new wave keeps. The elements that "
             "reached the interface leave this set. Sets given as `reflected` and `transmitted` "
             "are reused (their room kept from one split to the next).")
        .def("release", &PyWaveSet::release,
             "Give the set back to wavelib now; any later use raises ValueError.")
        .def("__enter__", [](const py::object& self) { return self; })
        .def("__exit__",
             [](PyWaveSet& s, const py::args&) {
                 s.release();
                 return false;
             })
        .def("__repr__", [](const PyWaveSet& s) {
            if (s.released()) return std::string("WaveSet(released)");
            return "WaveSet(count=" + std::to_string(s.set()->count) + ")";
        });
}

}  // namespace probe_python

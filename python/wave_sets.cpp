#include "python/wave_sets.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "python/wave_library.h"

namespace py = pybind11;

namespace probe_python {

namespace {

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
        g->owner.cast<PyWaveSet&>().viewGone();
        delete g;
    });
    return py::array(dtype, {static_cast<py::ssize_t>(set->count)}, {dtype.itemsize()}, data, base);
}

// An array given by the caller, checked to be of `dtype` exactly.
py::array recordsOf(const py::handle& value, const py::dtype& dtype, const char* what,
                    const char* dtypeName) {
    py::array array = py::array::ensure(value);
    if (!array || !array.dtype().equal(dtype))
        throw py::value_error(std::string(what) + " — это массив numpy с dtype " + dtypeName);
    return py::array::ensure(array, py::array::c_style);
}

// `count` numbers given as a sequence; TypeError for anything else, ValueError for another count.
std::vector<double> numbersOf(const py::handle& value, const char* what, std::size_t count) {
    std::vector<double> v;
    try {
        v = value.cast<std::vector<double>>();
    } catch (const py::cast_error&) {
        throw py::type_error(
            std::string(what) + " — последовательность чисел, а не " +
            py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
    }
    if (v.size() != count)
        throw py::value_error(std::string(what) + ": нужно чисел " + std::to_string(count) +
                              ", дано " + std::to_string(v.size()));
    return v;
}

std::array<double, 3> pointOf(const py::handle& value, const char* what) {
    const std::vector<double> v = numbersOf(value, what, 3);
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
            throw py::value_error("В rays и waves должно быть поровну элементов");
    }
    // The element count is 32 bits wide: a longer array must not be cut down to fit it.
    if (n > std::numeric_limits<std::uint32_t>::max())
        throw py::value_error("Слишком много элементов для одного набора волн");
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
            "OtrazitIPrelomit: среда падающего набора (скорость и плотность) не совпадает ни с "
            "одной "
            "из сред по сторонам границы: задайте её, например s.medium = среда_над_границей");
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
                    "split: отражённый, прошедший, граничный и падающий наборы должны быть "
                    "четырьмя "
                    "разными наборами");
    // wavelib gives the new sets their room: their arrays may move.
    r.requireNoViews("split (reflected set)");
    t.requireNoViews("split (transmitted set)");
    // The split runs without the interpreter; the four sets refuse every use meanwhile.
    const std::uint32_t before = i->count;
    WaveSet* reflectedSet = r.set();
    WaveSet* transmittedSet = t.set();
    PyWaveSet* sets[] = {&r, &t, &interface, &incident};
    for (PyWaveSet* set : sets) set->setBusy(true);
    bool done = false;
    std::string reason;
    {
        py::gil_scoped_release unlocked;
        const auto lock = incident.library().lockCalls();
        done = isTrue(incident.table().otrazitIPrelomit(reflectedSet, transmittedSet, s, i, &plane,
                                                        &threshold));
        if (!done) reason = incident.library().errorText();
    }
    for (PyWaveSet* set : sets) set->setBusy(false);
    // Each new set starts from a copy of every element that reached the interface.
    const std::uint32_t reached = before - std::min(before, i->count);
    r.dropped_ = reached - std::min(reached, reflectedSet->count);
    t.dropped_ = reached - std::min(reached, transmittedSet->count);
    if (!done) {
        throw std::runtime_error(
            "OtrazitIPrelomit: " +
            (reason.empty() ? std::string("wavelib сообщил о неудаче") : reason));
    }
    return py::make_tuple(reflected, transmitted);
}

void pointSource(PyWaveSet& s, double energy, const py::object& templateWave,
                 const py::object& impedance) {
    WaveSet* set = s.set();
    Wave pattern{};
    if (!templateWave.is_none()) {
        py::array a = recordsOf(templateWave, waveDtype(), "template", "WAVE_DTYPE");
        if (a.size() != 1) throw py::value_error("В template должна быть ровно одна волна");
        std::memcpy(&pattern, a.data(), sizeof pattern);
    }
    double pair[2] = {set->medium.speed, set->medium.density};
    if (!impedance.is_none()) {
        const std::vector<double> v = numbersOf(impedance, "impedance", 2);
        pair[0] = v[0];
        pair[1] = v[1];
    }
    const auto lock = s.library().lockCalls();
    if (!isTrue(s.table().inicializirovatVolny(set, &pattern, energy, pair)))
        failed("InicializirovatVolny");
}

std::unique_ptr<PyWaveSet> replicate(PyWaveSet& placement, PyWaveSet& pattern) {
    WaveSet* a = placement.set();
    WaveSet* b = pattern.set();
    auto collection = std::make_unique<PyWaveSet>(0);
    PyWaveSet work(0);
    WaveLibrary& library = placement.library();
    const auto lock = library.lockCalls();
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
    // The dtypes are made on first use: making them imports numpy.
    m.def("__getattr__", [](const std::string& name) -> py::object {
        if (name == "RAY_DTYPE") return rayDtype();
        if (name == "WAVE_DTYPE") return waveDtype();
        throw py::attribute_error("module 'probe_tools' has no attribute '" + name + "'");
    });
    m.def("__dir__", []() {
        py::list names = py::module_::import("builtins")
                             .attr("list")(py::module_::import("probe_tools").attr("__dict__"));
        names.append("RAY_DTYPE");
        names.append("WAVE_DTYPE");
        return names;
    });
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
        .def_readwrite("speed", &PyMedium::speed,
                       "Speed of sound, in the caller's length unit per time unit (e.g. mm/µs).")
        .def_readwrite("density", &PyMedium::density,
                       "Density, in the caller's unit (e.g. g/cm³): only ratios of impedances "
                       "matter.")
        .def_readwrite("attenuation", &PyMedium::attenuation,
                       "Attenuation coefficient, per length unit of the caller's system.")
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
        .def_property_readonly(
            "dropped", [](const PyWaveSet& s) { return s.dropped_; },
            "For a set a split made: how many of the elements that reached the interface did not "
            "enter it (marked, past the grazing limit, or weaker than the threshold); 0 otherwise.")
        .def_property_readonly("released", &PyWaveSet::released,
                               "Whether the set was given back to wavelib (release() or the end "
                               "of a with block); any use of a released set raises ValueError.")
        .def(
            "resize",
            [](PyWaveSet& s, std::uint32_t n) {
                s.requireNoViews("resize");
                const auto lock = s.library().lockCalls();
                if (!isTrue(s.table().resizeSet(s.set(), n))) failed("resizeSet");
            },
            py::arg("count"),
            "Element count becomes `count`: the first elements are kept, new ones zeroed.")
        .def(
            "propagate",
            [](PyWaveSet& s, double step) {
                const auto lock = s.library().lockCalls();
                if (!isTrue(s.table().prodvinutVolny(s.set(), step))) failed("ProdvinutVolny");
            },
            py::arg("step"),
            "Advance every ray by `step` along its direction and update its wave (path, times, "
            "attenuation): entry 6.")
        .def(
            "scale",
            [](PyWaveSet& s, double factor) {
                const auto lock = s.library().lockCalls();
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
                WaveSet* set = s.set();
                const auto lock = s.library().lockCalls();
                s.table().otbrositSlabyeVolny(set, &threshold);
            },
            py::arg("threshold"),
            "Remove the elements whose energy is not at least `threshold` (entry 12); the last "
            "element takes a removed one's place.")
        .def(
            "remove_marked",
            [](PyWaveSet& s) {
                WaveSet* set = s.set();
                const auto lock = s.library().lockCalls();
                s.table().udalitOtmechennye(set);
            },
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
        // Never raises: an exception of the block's body must come through as it was.
        .def("__exit__",
             [](PyWaveSet& s, const py::args&) {
                 s.close();
                 return false;
             })
        .def("__repr__", [](const PyWaveSet& s) {
            if (s.released()) return std::string("WaveSet(released)");
            return "WaveSet(count=" + std::to_string(s.set()->count) + ")";
        });
}

}  // namespace probe_python

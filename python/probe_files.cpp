#include "python/probe_files.h"

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "probe_core/files/probe_files.h"
#include "python/probe_dicts.h"
#include "python/probe_errors.h"
#include "python/probe_values.h"
#include "python/store_session.h"

namespace py = pybind11;

namespace probe_python {

namespace {

using probefiles::Error;
using probefiles::ErrorCode;
using probefiles::FileName;
using probefiles::OpenedFile;

// A long read lets the other threads run every so many records.
constexpr std::uint32_t kRecordsBetweenPauses = 256;

// A file name given from Python (str or os.PathLike giving str), checked by the client.
FileName fileName(const py::object& path) {
    const py::object name = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(name))
        throw py::type_error("Имя файла должно быть str или os.PathLike, дающим str");
    auto checked = probefiles::nameOf(name.cast<std::string>());
    if (!checked) raise(checked.error());
    return std::move(*checked);
}

// Opens a probe file for reading in the session, without holding the interpreter meanwhile.
OpenedFile openFile(StoreSession& session, const FileName& f) {
    std::optional<probefiles::Result<OpenedFile>> opened;
    {
        py::gil_scoped_release unlocked;
        opened.emplace(session.files().open(f));
    }
    if (!*opened) raise(opened->error());
    return std::move(**opened);
}

// Warned when records are read past a damaged header: they load, but the file takes no appends.
void warnHeader(const OpenedFile& opened) {
    if (opened.headerDamaged) warn(Error{ErrorCode::kHeaderDamaged, opened.file.shown});
}

void warnDamaged(const OpenedFile& opened, std::uint32_t index) {
    Error e{ErrorCode::kRecordDamaged, opened.file.shown};
    e.probe = std::size_t{index} + 1;
    warn(e);
}

// Record `index` as a dict, or nothing when it does not load.
std::optional<py::dict> loadDict(StoreSession& session, const OpenedFile& opened,
                                 std::uint32_t index) {
    auto record = session.files().read(opened, index);
    if (!record) return std::nullopt;
    return probeDict(**record);
}

// One probe at a time; the client is held only while a record is taken.
class ProbeIterator {
  public:
    explicit ProbeIterator(const FileName& file) {
        {
            StoreSession session;
            opened_ = openFile(session, file);
        }
        warnHeader(opened_);
    }

    py::dict next() {
        while (next_ < opened_.count) {
            const std::uint32_t index = next_++;
            std::optional<py::dict> probe;
            {
                StoreSession session;
                probe = loadDict(session, opened_, index);
            }
            if (probe) return std::move(*probe);
            warnDamaged(opened_, index);
        }
        throw py::stop_iteration();
    }

  private:
    OpenedFile opened_;
    std::uint32_t next_ = 0;
};

// The numbers asked for (from 1), taken before the client is held: the iterable may run any code.
std::vector<long long> numbersOf(const py::iterable& numbers) {
    std::vector<long long> taken;
    for (py::handle item : numbers) {
        if (PyBool_Check(item.ptr()) || !PyIndex_Check(item.ptr()))
            throw py::type_error("Номера датчиков должны быть целыми числами");
        const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(item.ptr()));
        int overflow = 0;
        const long long n = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
        // Beyond 64 bits a number is out of every file's range: it is kept as the nearest.
        taken.push_back(overflow > 0   ? std::numeric_limits<long long>::max()
                        : overflow < 0 ? std::numeric_limits<long long>::min()
                                       : n);
    }
    return taken;
}

// The numbers as record indexes; IndexError for one the file lacks.
std::vector<std::uint32_t> indexesOf(const std::vector<long long>& numbers,
                                     const OpenedFile& opened) {
    std::vector<std::uint32_t> indexes;
    indexes.reserve(numbers.size());
    for (long long n : numbers) {
        if (n < 1)
            throw py::index_error("Номер датчика " + std::to_string(n) +
                                  " меньше 1: датчики нумеруются с 1");
        if (n > opened.count) {
            Error e{ErrorCode::kNoSuchRecord, opened.file.shown};
            e.probe = static_cast<std::size_t>(n);
            e.count = opened.count;
            raise(e);
        }
        indexes.push_back(static_cast<std::uint32_t>(n - 1));
    }
    return indexes;
}

}  // namespace

py::list readProbes(const py::object& path, const py::object& numbers) {
    const FileName f = fileName(path);
    const bool chosen = !numbers.is_none();
    const std::vector<long long> asked = chosen ? numbersOf(numbers) : std::vector<long long>();
    py::list probes;
    std::optional<OpenedFile> opened;
    std::vector<std::uint32_t> damaged;
    {
        SharedTexts shared;
        StoreSession session;
        opened = openFile(session, f);
        std::vector<std::uint32_t> indexes;
        if (chosen) {
            indexes = indexesOf(asked, *opened);
        } else {
            indexes.resize(opened->count);
            for (std::uint32_t i = 0; i < opened->count; ++i) indexes[i] = i;
        }
        std::uint32_t sincePause = 0;
        for (std::uint32_t index : indexes) {
            if (++sincePause == kRecordsBetweenPauses) {
                sincePause = 0;
                py::gil_scoped_release pause;
            }
            if (std::optional<py::dict> probe = loadDict(session, *opened, index)) {
                if (PyList_Append(probes.ptr(), probe->ptr()) != 0) throw py::error_already_set();
                continue;
            }
            damaged.push_back(index);
            // Numbers asked for keep their places: a damaged one's place holds None.
            if (chosen && PyList_Append(probes.ptr(), Py_None) != 0) throw py::error_already_set();
        }
    }
    // Warned once the client is given up: a warning hook may run any code.
    warnHeader(*opened);
    for (std::uint32_t index : damaged) warnDamaged(*opened, index);
    return probes;
}

py::object iterProbes(const py::object& path) {
    return py::cast(std::make_unique<ProbeIterator>(fileName(path)));
}

std::uint32_t countProbes(const py::object& path) {
    const FileName f = fileName(path);
    StoreSession session;
    return openFile(session, f).count;
}

void appendProbes(const py::object& path, const py::sequence& probes) {
    const FileName f = fileName(path);
    if (py::isinstance<py::str>(probes) || py::isinstance<py::dict>(probes))
        throw py::type_error("probes — это последовательность словарей, а не один словарь");

    // Every probe is checked before the first is written.
    probejson::Problems problems;
    std::vector<std::unique_ptr<probejson::StagedProbe>> staged;
    const std::size_t n = py::len(probes);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string at = "/" + std::to_string(i);
        std::vector<ValueFault> faults;
        const py::object probe = probes[i];
        checkValue(probe, at, faults);
        for (ValueFault& u : faults) problems.add(i + 1, std::move(u.path), std::move(u.message));
        if (!faults.empty()) continue;
        staged.push_back(stagedProbe(probe, at, i + 1, problems));
    }
    if (!problems.empty()) raiseFaults(probefiles::faultsOf("", problems));

    std::vector<const ProbeRecord*> records;
    records.reserve(staged.size());
    for (const auto& s : staged) records.push_back(&s->record);
    StoreSession session;
    probefiles::MaybeError failed;
    {
        // The whole sequence goes into the file as one unit: all of it or, on any failure and in
        // whatever state a kill leaves, none of it.
        py::gil_scoped_release unlocked;
        failed = session.files().appendAll(f, records);
    }
    if (!failed) return;
    // A record too large for a frame: named by its place in `probes`, as the other faults are.
    if (failed->code == ErrorCode::kProbeTooLarge)
        failed->key = "/" + std::to_string(failed->probe - 1);
    raise(*failed);
}

py::list checkProbes(const py::object& path) {
    const FileName f = fileName(path);
    std::optional<OpenedFile> opened;
    std::vector<std::uint32_t> numbers;
    {
        StoreSession session;
        opened = openFile(session, f);
        py::gil_scoped_release unlocked;
        for (std::uint32_t i = 0; i < opened->count; ++i)
            if (!session.files().read(*opened, i)) numbers.push_back(i + 1);
    }
    warnHeader(*opened);
    py::list damaged;
    for (std::uint32_t number : numbers) damaged.append(number);
    return damaged;
}

void bindProbeFiles(py::module_& m) {
    bindErrors(m);
    py::class_<ProbeIterator>(m, "ProbeIterator",
                              "The probes of a file one at a time, as iter() gives them.")
        .def("__iter__", [](const py::object& self) { return self; })
        .def("__next__", &ProbeIterator::next);
    m.def("read", &readProbes, py::arg("path"), py::arg("numbers") = py::none(),
          R"(Read the records of a probe file (*.dt) that load.

Returns a list of dicts, one per record, with exactly the keys and value shapes of the probe JSON
form (docs/probe_json.md): json.dumps of a dict equals that of the same probe in the output of
`probetool export`. Quantities are floats; one the file holds as an infinity or a NaN comes as
the hexadecimal digits of its bits, as export writes it. Records that do not load are left out,
each with a RuntimeWarning (a warning filter set to "error" raises it instead); so is a damaged
header warned of, past which the records are read by their own checksums.

With `numbers` (an iterable of ints, counted from 1 as probetool counts), only those records, in
the order asked; a record that does not load gives None in its place, with the warning. A number
the file lacks raises IndexError. For a large file, iter() holds one probe at a time.

Raises FileNotFoundError, IsADirectoryError or another OSError (with errno) for a file that
cannot be read, NotAProbeFileError (a ValueError) for a file that is no probe file or whose header
is of a version this library does not read, ProbeLibraryError (a RuntimeError) when the probe
store library cannot be loaded. A file shorter than a header, whose bytes are those of a header
begun, is what an interrupted first append leaves: it holds no records.)");
    m.def("iter", &iterProbes, py::arg("path"),
          R"(The records of a probe file one at a time, as read() gives them.

Memory does not grow with the file's size. The file is counted when iter() is called; records
appended after that are not given. Raises as read() does.)");
    m.def("count", &countProbes, py::arg("path"),
          R"(The number of records in a probe file, those that do not load included.

Raises as read() does.)");
    m.def("append", &appendProbes, py::arg("path"), py::arg("probes"),
          R"(Append probes (dicts in the probe JSON form) to a probe file, all or nothing.

Keys left out mean "not given", as in a fresh record. Every probe is checked first: an unknown
key, a value of the wrong type, a number outside its field's range (an int no double holds, an
infinity, a NaN), a code outside its sub-field, a text that code page 1251 cannot carry and the
like raise ProbeValueError (a ValueError), one line per fault naming the probe (counted from 1)
and the JSON pointer of the value within `probes` (e.g. "датчик 3, /2/identification/price:
..."); the file is then left untouched. The probes then go into the file as one unit: a failed
write or a kill leaves the file as it was. A file that does not exist is created; an existing file
must be a probe file whose header is intact (NotAProbeFileError otherwise). ProbeWriteError (an
OSError) when the store fails to write; with the system's errno it is also that errno's OSError
subclass (FileNotFoundError for a missing folder, PermissionError, ...).)");
    m.def("check", &checkProbes, py::arg("path"),
          R"(Try to load every record of a probe file.

Returns the numbers (counted from 1) of the records that do not load; an empty list when every
record loads. Raises as read() does.)");
}

}  // namespace probe_python

#include "python/probe_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cp1251.h"
#include "python/probe_dicts.h"
#include "python/probe_errors.h"
#include "python/probe_values.h"
#include "python/store_session.h"
#include "suite/probestore/probe_file_format.h"

namespace py = pybind11;

namespace probe_python {

namespace {

namespace fs = std::filesystem;

// The faults listed in one error, as probetool lists them; the rest are counted.
constexpr std::size_t kFaultsShown = 100;
// A long read lets the other threads run every so many records.
constexpr std::uint32_t kRecordsBetweenPauses = 256;

std::string inQuotes(const std::string& text) {
    return "«" + text + "»";
}

// A file name given from Python: as given (UTF-8, for messages), in cp1251 (for the probe store)
// and as the system's path.
struct FileName {
    std::string shown;
    std::string forStore;
    fs::path path;
};

FileName fileName(const py::object& path) {
    const py::object name = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(name))
        throw py::type_error("Имя файла должно быть str или os.PathLike, дающим str");
    std::string utf8 = name.cast<std::string>();
    if (utf8.empty()) throw py::value_error("Пустое имя файла");
    // The store takes a C string: a name with a null character would name another file.
    if (utf8.find('\0') != std::string::npos)
        throw py::value_error("Имя файла содержит нулевой знак (null)");
    std::string cp1251 = platform::utf8ToCp1251(utf8);
    if (platform::cp1251ToUtf8(cp1251) != utf8) {
        throw py::value_error("Имя файла " + inQuotes(utf8) +
                              " содержит знаки, которых нет в кодовой странице 1251: библиотека "
                              "датчиков не сможет его открыть");
    }
    fs::path system(std::u8string(utf8.begin(), utf8.end()));
    return {std::move(utf8), std::move(cp1251), std::move(system)};
}

// Raises unless the file is empty or starts with a whole probe file header's magic. The probe
// store counts no records in a file that is no probe file, or whose header is cut off, which
// would read as an empty probe file.
void requireProbeFile(const FileName& f) {
    std::ifstream in(f.path, std::ios::binary);
    if (!in) raiseSystemError(errno, "Файл " + inQuotes(f.shown) + " не открывается", f.shown);
    char head[probestore::kFileHeaderSize] = {};
    in.read(head, sizeof head);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) return;
    const std::size_t magic = sizeof probestore::kFileMagic;
    if (got < magic || std::memcmp(head, probestore::kFileMagic, magic) != 0)
        raiseNotProbeFile(inQuotes(f.shown) + " — не файл датчиков", f.shown);
    if (got < sizeof head)
        raiseNotProbeFile("Файл " + inQuotes(f.shown) + " обрезан внутри заголовка", f.shown);
}

// A file that is read: it must exist, be a regular file and a probe file.
void requireReadable(const FileName& f) {
    std::error_code ec;
    const fs::file_status status = fs::status(f.path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        raiseSystemError(ec.value(), "Файл " + inQuotes(f.shown) + " недоступен", f.shown);
    if (!fs::exists(status))
        raiseSystemError(ENOENT, "Файл " + inQuotes(f.shown) + " не найден", f.shown);
    if (fs::is_directory(status))
        raiseSystemError(EISDIR, inQuotes(f.shown) + " — папка, а не файл", f.shown);
    if (!fs::is_regular_file(status))
        raiseNotProbeFile(inQuotes(f.shown) + " — не обычный файл, а не файл датчиков", f.shown);
    requireProbeFile(f);
}

// A file that is appended to: a probe file, or a new one in a folder that exists.
void requireWritable(const FileName& f) {
    std::error_code ec;
    const fs::file_status status = fs::status(f.path, ec);
    if (fs::exists(status)) {
        requireReadable(f);
        return;
    }
    const fs::path folder = f.path.has_parent_path() ? f.path.parent_path() : fs::path(".");
    const fs::file_status folderStatus = fs::status(folder, ec);
    if (!fs::exists(folderStatus)) {
        const auto shown = folder.u8string();
        const std::string name(shown.begin(), shown.end());
        raiseSystemError(
            ENOENT, "Папки " + inQuotes(name) + " для файла " + inQuotes(f.shown) + " нет", name);
    }
    if (!fs::is_directory(folderStatus))
        raiseSystemError(ENOTDIR, "Путь к файлу " + inQuotes(f.shown) + " идёт через файл",
                         f.shown);
}

std::uint32_t countRecords(probetool::ProbeStore& store, const FileName& f) {
    std::uint32_t count = 0;
    {
        py::gil_scoped_release unlocked;
        count = store.count(f.forStore);
    }
    std::error_code ec;
    // A probe file longer than its header that shows no record has a header the store refuses.
    const std::uintmax_t size = fs::file_size(f.path, ec);
    if (count == 0 && !ec && size > probestore::kFileHeaderSize) {
        raiseNotProbeFile("Файл " + inQuotes(f.shown) +
                              ": заголовок повреждён или версия файла не поддерживается, записи "
                              "не читаются",
                          f.shown);
    }
    return count;
}

// A RuntimeWarning; one the filters turn into an error raises that error.
void warnDamaged(std::uint32_t index, const FileName& f) {
    const std::string text = "Запись " + std::to_string(index + 1) + " файла " + inQuotes(f.shown) +
                             " повреждена и не загружается";
    if (PyErr_WarnEx(PyExc_RuntimeWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

// Record `index` as a dict, or nothing when it does not load.
std::optional<py::dict> loadDict(StoreSession& session, const FileName& f, std::uint32_t index) {
    const ProbeRecord* record = session.store().load(f.forStore, index);
    if (record == nullptr) return std::nullopt;
    return probeDict(*record);
}

// One probe at a time; the store is held only while a record is taken.
class ProbeIterator {
  public:
    explicit ProbeIterator(FileName file) : file_(std::move(file)) {
        requireReadable(file_);
        StoreSession session;
        count_ = countRecords(session.store(), file_);
    }

    py::dict next() {
        while (next_ < count_) {
            const std::uint32_t index = next_++;
            std::optional<py::dict> probe;
            {
                StoreSession session;
                probe = loadDict(session, file_, index);
            }
            if (probe) return std::move(*probe);
            warnDamaged(index, file_);
        }
        throw py::stop_iteration();
    }

  private:
    FileName file_;
    std::uint32_t count_ = 0;
    std::uint32_t next_ = 0;
};

// The numbers asked for (from 1), taken before the store is held: the iterable may run any code.
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
std::vector<std::uint32_t> indexesOf(const std::vector<long long>& numbers, std::uint32_t count,
                                     const FileName& f) {
    std::vector<std::uint32_t> indexes;
    indexes.reserve(numbers.size());
    for (long long n : numbers) {
        if (n < 1 || n > count) {
            throw py::index_error("В файле " + inQuotes(f.shown) +
                                  " датчиков: " + std::to_string(count) + "; датчика с номером " +
                                  std::to_string(n) + " нет (номера с 1)");
        }
        indexes.push_back(static_cast<std::uint32_t>(n - 1));
    }
    return indexes;
}

}  // namespace

py::list readProbes(const py::object& path, const py::object& numbers) {
    const FileName f = fileName(path);
    requireReadable(f);
    const bool chosen = !numbers.is_none();
    const std::vector<long long> asked = chosen ? numbersOf(numbers) : std::vector<long long>();
    py::list probes;
    std::vector<std::uint32_t> damaged;
    {
        SharedTexts shared;
        StoreSession session;
        const std::uint32_t count = countRecords(session.store(), f);
        std::vector<std::uint32_t> indexes;
        if (chosen) {
            indexes = indexesOf(asked, count, f);
        } else {
            indexes.resize(count);
            for (std::uint32_t i = 0; i < count; ++i) indexes[i] = i;
        }
        std::uint32_t sincePause = 0;
        for (std::uint32_t index : indexes) {
            if (++sincePause == kRecordsBetweenPauses) {
                sincePause = 0;
                py::gil_scoped_release pause;
            }
            if (std::optional<py::dict> probe = loadDict(session, f, index)) {
                if (PyList_Append(probes.ptr(), probe->ptr()) != 0) throw py::error_already_set();
                continue;
            }
            damaged.push_back(index);
            // Numbers asked for keep their places: a damaged one's place holds None.
            if (chosen && PyList_Append(probes.ptr(), Py_None) != 0) throw py::error_already_set();
        }
    }
    // Warned once the store is given up: a warning hook may run any code.
    for (std::uint32_t index : damaged) warnDamaged(index, f);
    return probes;
}

py::object iterProbes(const py::object& path) {
    return py::cast(std::make_unique<ProbeIterator>(fileName(path)));
}

std::uint32_t countProbes(const py::object& path) {
    const FileName f = fileName(path);
    requireReadable(f);
    StoreSession session;
    return countRecords(session.store(), f);
}

void appendProbes(const py::object& path, const py::sequence& probes) {
    const FileName f = fileName(path);
    if (py::isinstance<py::str>(probes) || py::isinstance<py::dict>(probes))
        throw py::type_error("probes — это последовательность словарей, а не один словарь");

    // Every probe is checked before the first is written. The faults shown are kept, the other
    // faults only counted.
    std::vector<ProbeFault> shown;
    std::size_t faultCount = 0;
    const auto note = [&](std::size_t probe, const std::string& at, const std::string& message) {
        if (++faultCount <= kFaultsShown) shown.push_back({probe, at, message});
    };
    std::vector<std::unique_ptr<probejson::StagedProbe>> staged;
    const std::size_t n = py::len(probes);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string at = "/" + std::to_string(i);
        std::vector<ValueFault> faults;
        const py::object probe = probes[i];
        checkValue(probe, at, faults);
        for (const ValueFault& u : faults) note(i + 1, u.path, u.message);
        if (!faults.empty()) continue;
        probejson::Problems problems;
        staged.push_back(stagedProbe(probe, at, i + 1, problems));
        for (const probejson::Problem& p : problems.kept()) note(p.probe, p.path, p.message);
        faultCount += problems.count() - problems.kept().size();
    }
    const auto refuse = [&] {
        std::string text;
        for (const ProbeFault& p : shown)
            text += (p.probe != 0 ? "датчик " + std::to_string(p.probe) + ", " : std::string()) +
                    (p.path.empty() ? std::string() : p.path + ": ") + p.message + "\n";
        if (faultCount > kFaultsShown)
            text += "… и ещё ошибок: " + std::to_string(faultCount - kFaultsShown) + "\n";
        text += "Ничего не добавлено: ошибок: " + std::to_string(faultCount);
        raiseRefused(text, shown, faultCount);
    };
    if (faultCount != 0) refuse();

    requireWritable(f);
    StoreSession session;
    probetool::ProbeStore& store = session.store();
    if (!store.hasBatches())
        raiseLibrary(
            "Библиотека probestore.dll не умеет добавлять датчики одним целым: ничего не "
            "добавлено");
    // The whole sequence goes into the file as one unit: all of it or, on any failure and in
    // whatever state a kill leaves, none of it.
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (!store.addToBatch(staged[i]->record)) {
            store.dropBatch();
            note(i + 1, "/" + std::to_string(i),
                 "датчик не удаётся записать: его запись длиннее 64 МиБ");
            refuse();
        }
    }
    bool written = false;
    int reason = 0;
    {
        py::gil_scoped_release unlocked;
        errno = 0;
        written = store.commitBatch(f.forStore);
        reason = errno;
    }
    if (!written) {
        raiseWriteFailed(
            reason, "Датчики не удалось добавить в " + inQuotes(f.shown) + ": ничего не добавлено",
            f.shown);
    }
}

py::list checkProbes(const py::object& path) {
    const FileName f = fileName(path);
    requireReadable(f);
    std::vector<std::uint32_t> numbers;
    {
        StoreSession session;
        const std::uint32_t count = countRecords(session.store(), f);
        py::gil_scoped_release unlocked;
        for (std::uint32_t i = 0; i < count; ++i)
            if (session.store().load(f.forStore, i) == nullptr) numbers.push_back(i + 1);
    }
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
each with a RuntimeWarning (a warning filter set to "error" raises it instead).

With `numbers` (an iterable of ints, counted from 1 as probetool counts), only those records, in
the order asked; a record that does not load gives None in its place, with the warning. A number
the file lacks raises IndexError. For a large file, iter() holds one probe at a time.

Raises FileNotFoundError, IsADirectoryError or another OSError (with errno) for a file that
cannot be read, NotAProbeFileError (a ValueError) for a file that is no probe file or whose header
is cut off or refused, ProbeLibraryError (a RuntimeError) when the probe store library cannot be
loaded.)");
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
must be a probe file (NotAProbeFileError otherwise). ProbeWriteError (an OSError) when the store
fails to write; FileNotFoundError when the folder does not exist.)");
    m.def("check", &checkProbes, py::arg("path"),
          R"(Try to load every record of a probe file.

Returns the numbers (counted from 1) of the records that do not load; an empty list when every
record loads. Raises as read() does.)");
}

}  // namespace probe_python

#include "python/probe_files.h"

#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/cp1251.h"
#include "probe_core/files/probe_store.h"
#include "probe_core/json/probe_fields.h"
#include "probe_core/json/probe_json.h"
#include "probe_core/json/probe_reader.h"

namespace py = pybind11;

namespace probe_python {

namespace {

namespace fs = std::filesystem;
using probejson::Problem;

// The problems listed in one error, as probetool lists them; the rest are counted.
constexpr std::size_t kProblemsShown = 100;

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
        throw py::type_error("path must be a str or an os.PathLike of str");
    std::string utf8 = name.cast<std::string>();
    if (utf8.empty()) throw py::value_error("Пустое имя файла");
    // The store takes a C string: a name with a null character would name another file.
    if (utf8.find('\0') != std::string::npos)
        throw py::value_error("embedded null character in path");
    std::string cp1251 = platform::utf8ToCp1251(utf8);
    if (platform::cp1251ToUtf8(cp1251) != utf8) {
        throw py::value_error("Имя файла " + inQuotes(utf8) +
                              " содержит знаки, которых нет в кодовой странице 1251: библиотека "
                              "датчиков не сможет его открыть");
    }
    fs::path system(std::u8string(utf8.begin(), utf8.end()));
    return {std::move(utf8), std::move(cp1251), std::move(system)};
}

// What a probe file starts with (docs/probe_file_format.md).
constexpr char kProbeFileMagic[8] = {'D', 'A', 'T', 'C', 'H', 'I', 'K', 'I'};

// Raises unless the file is empty or starts like a probe file. The probe store counts no records
// in a file that is no probe file, which would read as an empty probe file.
void requireProbeFile(const FileName& f) {
    std::ifstream in(f.path, std::ios::binary);
    if (!in) {
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, f.shown.c_str());
        throw py::error_already_set();
    }
    char magic[sizeof kProbeFileMagic] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() == 0) return;
    if (in.gcount() != sizeof magic || std::memcmp(magic, kProbeFileMagic, sizeof magic) != 0)
        throw py::value_error(inQuotes(f.shown) + " — не файл датчиков");
}

// A file that is read: it must exist and be a regular file.
void requireReadable(const FileName& f) {
    std::error_code ec;
    const fs::file_status status = fs::status(f.path, ec);
    if (!fs::exists(status)) {
        py::object error = py::module_::import("builtins").attr("FileNotFoundError");
        PyErr_SetObject(
            error.ptr(),
            py::make_tuple(2, "Файл " + inQuotes(f.shown) + " не найден", f.shown).ptr());
        throw py::error_already_set();
    }
    if (!fs::is_regular_file(status)) {
        py::object error = py::module_::import("builtins").attr("IsADirectoryError");
        PyErr_SetObject(error.ptr(),
                        py::make_tuple(21, inQuotes(f.shown) + " — не файл", f.shown).ptr());
        throw py::error_already_set();
    }
    requireProbeFile(f);
}

// The probe store for one call; OSError with the loader's message when it does not load.
class Store {
  public:
    Store() : store_(messages_) {
        if (!store_.ready()) {
            std::string text = messages_.str();
            while (!text.empty() && text.back() == '\n') text.pop_back();
            throw std::runtime_error(text.empty() ? "Библиотека probestore.dll не загружена"
                                                  : text);
        }
    }
    probetool::ProbeStore& operator*() { return store_; }
    probetool::ProbeStore* operator->() { return &store_; }

  private:
    std::ostringstream messages_;
    probetool::ProbeStore store_;
};

std::uint32_t countRecords(probetool::ProbeStore& store, const FileName& f) {
    const std::uint32_t count = store.count(f.forStore);
    std::error_code ec;
    // A probe file longer than its header that shows no record has a header the store refuses.
    constexpr std::uintmax_t kHeaderSize = 24;
    const std::uintmax_t size = fs::file_size(f.path, ec);
    if (count == 0 && !ec && size > kHeaderSize) {
        throw py::value_error("Файл " + inQuotes(f.shown) +
                              ": заголовок повреждён или версия файла не поддерживается, записи "
                              "не читаются");
    }
    return count;
}

void warn(const std::string& text) {
    PyErr_WarnEx(PyExc_RuntimeWarning, text.c_str(), 1);
}

// ---- Python values -> JSON values ----

// A Python value that has no JSON form: reported at `path` of probe `number`.
struct Unconvertible {
    std::string path;
    std::string message;
};

// Deeper than any probe: a list that holds itself must not take the stack.
constexpr int kDeepestNesting = 32;

// Whether the value is made of what a probe object can hold: dicts with str keys, lists and
// tuples, str, bool, int, float, None; what is not is reported.
void checkConvertible(py::handle value, const std::string& path, std::vector<Unconvertible>& faults,
                      int depth = 0) {
    if (depth > kDeepestNesting) {
        faults.push_back({path, "слишком глубокая вложенность"});
        return;
    }
    if (value.is_none() || py::isinstance<py::bool_>(value) || py::isinstance<py::int_>(value) ||
        py::isinstance<py::float_>(value) || py::isinstance<py::str>(value))
        return;
    if (py::isinstance<py::dict>(value)) {
        for (auto [key, item] : value.cast<py::dict>()) {
            if (!py::isinstance<py::str>(key)) {
                faults.push_back(
                    {path, "ключ " + py::repr(key).cast<std::string>() + " — не строка"});
                continue;
            }
            checkConvertible(item, probejson::fields::child(path, key.cast<std::string>()), faults,
                             depth + 1);
        }
        return;
    }
    if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
        std::size_t i = 0;
        for (py::handle item : value)
            checkConvertible(item, path + "/" + std::to_string(i++), faults, depth + 1);
        return;
    }
    faults.push_back(
        {path, "значение типа " +
                   py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>() +
                   " не переводится в JSON"});
}

// A checked Python value read through the calls of the probe checks (probe_reader.h). An int
// past 64 bits reads as a float, which the field's own check then refuses with its own message.
class PythonView {
  public:
    explicit PythonView(py::handle value) : value_(py::reinterpret_borrow<py::object>(value)) {}
    bool isObject() const { return py::isinstance<py::dict>(value_); }
    bool isArray() const {
        return py::isinstance<py::list>(value_) || py::isinstance<py::tuple>(value_);
    }
    bool isString() const { return py::isinstance<py::str>(value_); }
    bool isNull() const { return value_.is_none(); }
    bool isInteger() const { return isInt() && fits(); }
    bool isUnsigned() const { return isInteger() && asSigned() >= 0; }
    bool isNumber() const { return isInt() || py::isinstance<py::float_>(value_); }
    std::int64_t asSigned() const { return PyLong_AsLongLong(value_.ptr()); }
    std::uint64_t asUnsigned() const { return static_cast<std::uint64_t>(asSigned()); }
    double asDouble() const {
        if (!isInt()) return value_.cast<double>();
        return fits() ? static_cast<double>(asSigned()) : PyLong_AsDouble(value_.ptr());
    }
    std::string_view string() const {
        text_ = value_.cast<std::string>();
        return text_;
    }
    std::size_t size() const { return py::len(value_); }
    PythonView operator[](std::size_t i) const {
        return PythonView(py::object(py::sequence(value_)[static_cast<py::ssize_t>(i)]));
    }
    template <typename F>
    void forEachMember(F&& f) const {
        for (auto [key, item] : value_.cast<py::dict>()) {
            const std::string name = py::cast<std::string>(key);
            f(std::string_view(name), PythonView(item));
        }
    }

  private:
    bool isInt() const {
        return py::isinstance<py::int_>(value_) && !py::isinstance<py::bool_>(value_);
    }
    bool fits() const {
        int overflow = 0;
        PyLong_AsLongLongAndOverflow(value_.ptr(), &overflow);
        return overflow == 0;
    }
    py::object value_;
    mutable std::string text_;
};

std::string problemLine(std::size_t probe, const std::string& path, const std::string& message) {
    std::string line;
    if (probe != 0) line += "датчик " + std::to_string(probe) + ", ";
    if (!path.empty()) line += path + ": ";
    return line + message;
}

// Turns JSON text into Python objects as json.loads does: objects to dicts, arrays to lists,
// numbers with a fraction or an exponent to float, other numbers to int (the same doubles: both
// round correctly). It reads the text the export's writer has just written, straight into
// objects, without a JSON tree in between; keys and the short texts that repeat from record to
// record (list entries, "да", "нет") are made once and shared.
class PythonBuilder {
  public:
    py::object parse(std::string_view text) {
        at_ = text.data();
        end_ = at_ + text.size();
        place_ = 0;
        skipSpace();
        py::object result = value();
        skipSpace();
        if (at_ != end_) fail();
        return result;
    }

  private:
    static constexpr std::size_t kSharedTextSize = 64;

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    [[noreturn]] static void fail() {
        throw std::runtime_error("the probe's JSON text could not be read back");
    }
    void skipSpace() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) ++at_;
    }
    void expect(char c) {
        if (at_ == end_ || *at_ != c) fail();
        ++at_;
    }
    void literal(std::string_view word) {
        if (static_cast<std::size_t>(end_ - at_) < word.size() ||
            std::string_view(at_, word.size()) != word)
            fail();
        at_ += word.size();
    }
    static py::object steal(PyObject* object) {
        if (object == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(object);
    }

    py::object value() {
        if (at_ == end_) fail();
        switch (*at_) {
            case '{':
                return object();
            case '[':
                return array();
            case '"':
                return text();
            case 't':
                literal("true");
                return py::bool_(true);
            case 'f':
                literal("false");
                return py::bool_(false);
            case 'n':
                literal("null");
                return py::none();
            default:
                return number();
        }
    }

    py::object object() {
        ++at_;
        py::object dict = steal(PyDict_New());
        skipSpace();
        if (at_ != end_ && *at_ == '}') {
            ++at_;
            return dict;
        }
        for (;;) {
            skipSpace();
            if (at_ == end_ || *at_ != '"') fail();
            py::object key = text();
            skipSpace();
            expect(':');
            skipSpace();
            py::object item = value();
            if (PyDict_SetItem(dict.ptr(), key.ptr(), item.ptr()) != 0)
                throw py::error_already_set();
            skipSpace();
            if (at_ != end_ && *at_ == ',') {
                ++at_;
                continue;
            }
            expect('}');
            return dict;
        }
    }

    py::object array() {
        ++at_;
        py::object list = steal(PyList_New(0));
        skipSpace();
        if (at_ != end_ && *at_ == ']') {
            ++at_;
            return list;
        }
        for (;;) {
            skipSpace();
            py::object item = value();
            if (PyList_Append(list.ptr(), item.ptr()) != 0) throw py::error_already_set();
            skipSpace();
            if (at_ != end_ && *at_ == ',') {
                ++at_;
                continue;
            }
            expect(']');
            return list;
        }
    }

    static void appendUtf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    std::uint32_t hex4() {
        std::uint32_t c = 0;
        if (end_ - at_ < 4) fail();
        auto res = std::from_chars(at_, at_ + 4, c, 16);
        if (res.ptr != at_ + 4) fail();
        at_ += 4;
        return c;
    }

    py::object text() {
        ++at_;
        const char* start = at_;
        while (at_ != end_ && *at_ != '"' && *at_ != '\\') ++at_;
        if (at_ == end_) fail();
        if (*at_ == '"') {
            const std::string_view plain(start, static_cast<std::size_t>(at_ - start));
            ++at_;
            return stringObject(plain);
        }
        std::string decoded(start, at_);
        while (at_ != end_ && *at_ != '"') {
            if (*at_ != '\\') {
                decoded += *at_++;
                continue;
            }
            if (++at_ == end_) fail();
            const char e = *at_++;
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    decoded += e;
                    break;
                case 'b':
                    decoded += '\b';
                    break;
                case 'f':
                    decoded += '\f';
                    break;
                case 'n':
                    decoded += '\n';
                    break;
                case 'r':
                    decoded += '\r';
                    break;
                case 't':
                    decoded += '\t';
                    break;
                case 'u': {
                    std::uint32_t c = hex4();
                    if (c >= 0xD800 && c < 0xDC00 && end_ - at_ >= 6 && at_[0] == '\\' &&
                        at_[1] == 'u') {
                        at_ += 2;
                        const std::uint32_t low = hex4();
                        if (low < 0xDC00 || low >= 0xE000) fail();
                        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(decoded, c);
                    break;
                }
                default:
                    fail();
            }
        }
        expect('"');
        return stringObject(decoded);
    }

    // Records of one file mostly hold the same keys and list entries at the same places: the
    // text at the same place in the previous record is tried first, then those seen anywhere.
    py::object stringObject(std::string_view utf8) {
        const std::size_t place = place_++;
        if (utf8.size() > kSharedTextSize)
            return steal(PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()),
                                              "surrogatepass"));
        if (place < byPlace_.size() && byPlace_[place].first == utf8) return byPlace_[place].second;
        auto it = shared_.find(utf8);
        if (it == shared_.end()) {
            py::object made = steal(PyUnicode_DecodeUTF8(
                utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "surrogatepass"));
            it = shared_.emplace(std::string(utf8), std::move(made)).first;
        }
        if (place >= byPlace_.size()) byPlace_.resize(place + 1);
        byPlace_[place] = {it->first, it->second};
        return it->second;
    }

    py::object number() {
        const char* start = at_;
        bool fraction = false;
        while (at_ != end_ && ((*at_ >= '0' && *at_ <= '9') || *at_ == '-' || *at_ == '+' ||
                               *at_ == '.' || *at_ == 'e' || *at_ == 'E')) {
            fraction = fraction || *at_ == '.' || *at_ == 'e' || *at_ == 'E';
            ++at_;
        }
        if (start == at_) fail();
        if (fraction) {
            double v = 0.0;
            auto res = std::from_chars(start, at_, v);
            if (res.ptr != at_ || res.ec != std::errc()) fail();
            return steal(PyFloat_FromDouble(v));
        }
        long long v = 0;
        auto res = std::from_chars(start, at_, v);
        if (res.ptr == at_ && res.ec == std::errc()) return steal(PyLong_FromLongLong(v));
        const std::string digits(start, at_);
        return steal(PyLong_FromString(digits.c_str(), nullptr, 10));
    }

    const char* at_ = nullptr;
    const char* end_ = nullptr;
    std::unordered_map<std::string, py::object, Hash, std::equal_to<>> shared_;
    std::vector<std::pair<std::string_view, py::object>> byPlace_;  // views of shared_'s keys
    std::size_t place_ = 0;
};

}  // namespace

// Reads the records of a file in a thread of its own and hands over the export's text of each,
// so that the probe store and the writer run beside the building of the Python objects, which
// holds the interpreter. The store is used by that thread alone while it runs.
class RecordTexts {
  public:
    struct Item {
        std::uint32_t index = 0;
        bool loaded = false;
        std::string text;
    };

    RecordTexts(probetool::ProbeStore& store, std::string file, std::uint32_t count)
        : worker_([this, &store, file = std::move(file), count] { run(store, file, count); }) {}
    ~RecordTexts() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    RecordTexts(const RecordTexts&) = delete;
    RecordTexts& operator=(const RecordTexts&) = delete;

    // The next record in file order; false after the last one. Waits without the interpreter.
    bool next(Item& item) {
        if (taken_ == batch_.size()) {
            batch_.clear();
            taken_ = 0;
            py::gil_scoped_release unlocked;
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty() || done_; });
            if (ready_.empty()) return false;
            batch_ = std::move(ready_.front());
            ready_.pop_front();
            changed_.notify_all();
        }
        item = std::move(batch_[taken_++]);
        return true;
    }

  private:
    // Records travel in batches, so that the two threads meet once every so many records.
    static constexpr std::size_t kBatch = 32;
    static constexpr std::size_t kBatchesAhead = 4;

    void run(probetool::ProbeStore& store, const std::string& file, std::uint32_t count) {
        std::vector<Item> batch;
        for (std::uint32_t i = 0; i < count; ++i) {
            Item item{i, false, {}};
            if (const ProbeRecord* r = store.load(file, i)) {
                item.loaded = true;
                probejson::appendProbe(item.text, *r, 0);
            }
            batch.push_back(std::move(item));
            if (batch.size() < kBatch && i + 1 < count) continue;
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return ready_.size() < kBatchesAhead || stopped_; });
            if (stopped_) break;
            ready_.push_back(std::move(batch));
            batch.clear();
            changed_.notify_all();
        }
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Item>> ready_;
    std::vector<Item> batch_;  // the batch being handed out, by the interpreter's thread
    std::size_t taken_ = 0;
    bool done_ = false;
    bool stopped_ = false;
    std::thread worker_;  // last: it starts once everything above exists
};

py::list readProbes(const py::object& path) {
    const FileName f = fileName(path);
    requireReadable(f);
    Store store;
    const std::uint32_t count = countRecords(*store, f);

    // The export's text of each record is turned straight into Python objects: the dicts are
    // what json.loads gives for the export, key for key. The collector is held off meanwhile: it
    // would walk the growing list of dicts again and again.
    py::list probes;
    PythonBuilder builder;
    const int collecting = PyGC_Disable();
    try {
        RecordTexts texts(*store, f.forStore, count);
        RecordTexts::Item item;
        while (texts.next(item)) {
            if (!item.loaded) {
                warn("Запись " + std::to_string(item.index + 1) + " файла " + inQuotes(f.shown) +
                     " повреждена и не загружается");
                continue;
            }
            if (PyList_Append(probes.ptr(), builder.parse(item.text).ptr()) != 0)
                throw py::error_already_set();
        }
    } catch (...) {
        if (collecting != 0) PyGC_Enable();
        throw;
    }
    if (collecting != 0) PyGC_Enable();
    return probes;
}

void appendProbes(const py::object& path, const py::sequence& probes) {
    const FileName f = fileName(path);
    if (py::isinstance<py::str>(probes) || py::isinstance<py::dict>(probes))
        throw py::type_error("probes must be a sequence of dicts");

    // Every probe is checked before the first is written. The lines shown are kept, the other
    // faults only counted.
    std::vector<std::string> lines;
    std::size_t faultCount = 0;
    const auto note = [&](std::size_t probe, const std::string& at, const std::string& message) {
        if (++faultCount <= kProblemsShown) lines.push_back(problemLine(probe, at, message));
    };
    std::vector<std::unique_ptr<probejson::StagedProbe>> staged;
    const std::size_t n = py::len(probes);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string at = "/" + std::to_string(i);
        std::vector<Unconvertible> faults;
        const py::object value = probes[i];
        checkConvertible(value, at, faults);
        for (const Unconvertible& u : faults) note(i + 1, u.path, u.message);
        if (!faults.empty()) continue;
        probejson::Problems problems;
        staged.push_back(probejson::readProbe(PythonView(value), at, i + 1, problems));
        for (const Problem& p : problems.kept()) note(p.probe, p.path, p.message);
        faultCount += problems.count() - problems.kept().size();
    }
    if (faultCount != 0) {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        if (faultCount > kProblemsShown)
            text += "… и ещё ошибок: " + std::to_string(faultCount - kProblemsShown) + "\n";
        text += "Ничего не добавлено: ошибок: " + std::to_string(faultCount);
        throw py::value_error(text);
    }

    std::error_code ec;
    if (fs::exists(fs::status(f.path, ec))) requireProbeFile(f);
    Store store;
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (!store->append(f.forStore, staged[i]->record)) {
            PyErr_SetString(PyExc_OSError,
                            ("Датчик " + std::to_string(i + 1) + " не удалось добавить в " +
                             inQuotes(f.shown) + "; добавлено датчиков: " + std::to_string(i) +
                             " из " + std::to_string(staged.size()))
                                .c_str());
            throw py::error_already_set();
        }
    }
}

py::list checkProbes(const py::object& path) {
    const FileName f = fileName(path);
    requireReadable(f);
    Store store;
    const std::uint32_t count = countRecords(*store, f);
    py::list damaged;
    for (std::uint32_t i = 0; i < count; ++i)
        if (store->load(f.forStore, i) == nullptr) damaged.append(i + 1);
    return damaged;
}

void bindProbeFiles(py::module_& m) {
    m.def("read", &readProbes, py::arg("path"),
          R"(Read every record of a probe file (*.dt) that loads.

Returns a list of dicts, one per record, with exactly the keys and value shapes of the probe JSON
form (docs/probe_json.md): json.dumps of a dict equals that of the same probe in the output of
`probetool export`. Records that do not load are left out, each with a RuntimeWarning.

Raises FileNotFoundError for a missing file, ValueError for a file that is no probe file or whose
header the probe store refuses, RuntimeError when the probe store library cannot be loaded.)");
    m.def("append", &appendProbes, py::arg("path"), py::arg("probes"),
          R"(Append probes (dicts in the probe JSON form) to a probe file through the probe store.

Keys left out mean "not given", as in a fresh record. Every probe is checked first: an unknown
key, a value of the wrong type, a code outside its sub-field, a text that code page 1251 cannot
carry and the like raise ValueError, one line per fault naming the probe (counted from 1) and the
JSON pointer of the value within `probes` (e.g. "датчик 3, /2/identification/price: ..."); the
file is then left untouched. A file that does not exist is created; an existing file must be a
probe file (ValueError otherwise). OSError when the store fails to write a probe.)");
    m.def("check", &checkProbes, py::arg("path"),
          R"(Try to load every record of a probe file.

Returns the numbers (counted from 1) of the records that do not load; an empty list when every
record loads. Raises as read() does for a file that cannot be read.)");
}

}  // namespace probe_python

#include "python/probe_dicts.h"

#include <bit>
#include <cmath>
#include <span>
#include <unordered_map>

#include "probe_core/json/probe_fields.h"
#include "probe_core/record/encodings.h"

namespace py = pybind11;

namespace probe_python {

namespace {

using namespace probejson::fields;
using probejson::Json;

py::object steal(PyObject* object) {
    if (object == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(object);
}

// The texts of the tables (keys, list entries, "да", "нет") live as long as the process: each is
// made into a Python string once and shared by every dict. Used with the interpreter held.
py::object tableText(const char* text) {
    static auto* made = new std::unordered_map<const char*, PyObject*>();
    auto it = made->find(text);
    if (it == made->end()) {
        PyObject* object = PyUnicode_InternFromString(text);
        if (object == nullptr) throw py::error_already_set();
        it = made->emplace(text, object).first;
    }
    return py::reinterpret_borrow<py::object>(it->second);
}

py::object newText(const std::string& utf8) {
    return steal(
        PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "replace"));
}

thread_local SharedTexts* innermost = nullptr;

py::object text(const std::string& utf8) {
    SharedTexts* shared = innermost;
    return shared != nullptr ? shared->text(utf8) : newText(utf8);
}

// A finite double as a float; an infinity or a NaN as the hexadecimal digits of its bits, as
// export writes it (JSON has no form for them).
py::object quantity(double value) {
    if (std::isfinite(value)) return steal(PyFloat_FromDouble(value));
    return text(hexBits(std::bit_cast<std::uint64_t>(value), 16));
}

void set(py::dict& dict, const char* key, const py::object& value) {
    if (PyDict_SetItem(dict.ptr(), tableText(key).ptr(), value.ptr()) != 0)
        throw py::error_already_set();
}

py::dict coded(std::int64_t code, const char* entry) {
    py::dict out;
    set(out, kCode, steal(PyLong_FromLongLong(code)));
    set(out, kText, entry != nullptr ? tableText(entry) : py::none());
    return out;
}

const char* itemText(std::uint32_t value, const probe::SubField& f) {
    if (f.items.empty()) return value <= 1 ? kBoxTexts[value] : nullptr;
    return value >= 1 && value <= f.items.size() ? f.items[value - 1] : nullptr;
}

py::dict entriesDict(const std::vector<Entry>& entries, const ProbeRecord& r);

py::object memberValue(const Member& member, const ProbeRecord& r) {
    return std::visit(
        Overloaded{
            [&](const WordField& w) -> py::object {
                const std::uint32_t word = r.*w.word;
                py::dict out;
                for (std::size_t i = 0; i < w.fields.size(); ++i) {
                    const std::uint32_t value = probe::extractSubField(word, w.fields[i]);
                    set(out, w.keys[i].key, coded(value, itemText(value, w.fields[i])));
                }
                set(out, kOtherBits, text(hexBits(word & ~subFieldBits(w.fields), 8)));
                return out;
            },
            [&](const TextField& t) -> py::object { return text(probe::readTextCell(r.*t.cell)); },
            [&](const LinesField& l) -> py::object {
                py::list out;
                for (const std::string& line : probe::readListCell(r.*l.cell))
                    if (PyList_Append(out.ptr(), text(line).ptr()) != 0)
                        throw py::error_already_set();
                return out;
            },
            [&](const QuantityField& q) -> py::object { return quantity(r.*q.value); },
            [&](const PriceField& p) -> py::object { return steal(PyLong_FromLong(r.*p.value)); },
            [&](const DateField& d) -> py::object {
                const Json iso = isoOf(r.*d.value);
                py::dict out;
                set(out, "iso",
                    iso.is_string() ? text(iso.get_ref<const std::string&>())
                                    : py::object(py::none()));
                set(out, "day_number", quantity(r.*d.value));
                return out;
            },
            [&](const ScaleField& s) -> py::object {
                const int position = probe::positionFromScale(r.*s.value);
                return coded(r.*s.value,
                             position >= 0
                                 ? probe::kMasshtabProstranstva[static_cast<std::size_t>(position)]
                                 : nullptr);
            },
            [&](const ReservedField& f) -> py::object {
                // Trailing zero bytes are left out: an all-zero range reads as "".
                std::span<const std::uint8_t> bytes = f.read(r);
                std::size_t used = bytes.size();
                while (used > 0 && bytes[used - 1] == 0) --used;
                static const char kDigits[] = "0123456789abcdef";
                std::string hex;
                for (std::size_t i = 0; i < used; ++i) {
                    hex += kDigits[bytes[i] >> 4];
                    hex += kDigits[bytes[i] & 0xF];
                }
                return text(hex);
            },
            [&](const GroupField& g) -> py::object { return entriesDict(*g.entries, r); },
        },
        member);
}

py::dict entriesDict(const std::vector<Entry>& entries, const ProbeRecord& r) {
    py::dict out;
    for (const Entry& e : entries) set(out, e.key, memberValue(e.member, r));
    return out;
}

// Deeper than any probe: a list that holds itself must not take the stack.
constexpr int kDeepestNesting = 32;

std::string typeName(py::handle value) {
    return py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>();
}

// A Python int as a JSON number: 64 bits as they are, beyond that a double when one holds it
// (the field's own check then refuses it where a double does not belong).
Json integer(py::handle value, const std::string& path, std::vector<ValueFault>& faults) {
    const py::object index = steal(PyNumber_Index(value.ptr()));
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow == 0) {
        if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
        return static_cast<std::int64_t>(v);
    }
    const double d = PyLong_AsDouble(index.ptr());
    if (d == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        faults.push_back({path,
                          "целое число вне диапазона поля: в нём больше 300 десятичных "
                          "знаков, его не вмещает ни одно поле датчика"});
        return nullptr;
    }
    return d;
}

Json jsonAt(py::handle value, const std::string& path, std::vector<ValueFault>& faults, int depth) {
    if (depth > kDeepestNesting) {
        faults.push_back({path, "слишком глубокая вложенность"});
        return nullptr;
    }
    if (value.is_none()) return nullptr;
    if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
    if (PyFloat_Check(value.ptr())) {
        const double v = PyFloat_AS_DOUBLE(value.ptr());
        if (!std::isfinite(v)) {
            faults.push_back({path, "число " + py::repr(value).cast<std::string>() +
                                        " не записывается: бесконечность и NaN не бывают "
                                        "значениями полей датчика"});
            return nullptr;
        }
        return v;
    }
    if (PyLong_Check(value.ptr()) || (PyIndex_Check(value.ptr()) && !PyUnicode_Check(value.ptr())))
        return integer(value, path, faults);
    if (PyUnicode_Check(value.ptr())) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
        if (utf8 == nullptr) {
            PyErr_Clear();
            faults.push_back({path, "строка содержит суррогатные знаки, их нет в UTF-8"});
            return nullptr;
        }
        return std::string(utf8, static_cast<std::size_t>(size));
    }
    if (PyDict_Check(value.ptr())) {
        Json object = Json::object();
        PyObject* key = nullptr;
        PyObject* item = nullptr;
        Py_ssize_t at = 0;
        while (PyDict_Next(value.ptr(), &at, &key, &item)) {
            if (!PyUnicode_Check(key)) {
                faults.push_back(
                    {path, "ключ " + py::repr(key).cast<std::string>() + " — не строка"});
                continue;
            }
            const std::string k = py::reinterpret_borrow<py::str>(key).cast<std::string>();
            object[k] = jsonAt(item, child(path, k), faults, depth + 1);
        }
        return object;
    }
    if (PyList_Check(value.ptr()) || PyTuple_Check(value.ptr())) {
        Json array = Json::array();
        std::size_t i = 0;
        for (py::handle item : value)
            array.push_back(jsonAt(item, child(path, i++), faults, depth + 1));
        return array;
    }
    faults.push_back({path, "значение типа " + typeName(value) + " не переводится в JSON"});
    return nullptr;
}

}  // namespace

SharedTexts::SharedTexts() : outer_(innermost) {
    innermost = this;
}

SharedTexts::~SharedTexts() {
    innermost = outer_;
}

py::object SharedTexts::text(const std::string& utf8) {
    if (utf8.size() > kLongest) return newText(utf8);
    if (auto it = made_.find(utf8); it != made_.end()) return it->second;
    py::object made = newText(utf8);
    if (made_.size() < kShared) made_.emplace(utf8, made);
    return made;
}

py::dict probeDict(const ProbeRecord& record) {
    return entriesDict(probeEntries(), record);
}

Json jsonOf(py::handle value, const std::string& path, std::vector<ValueFault>& faults) {
    return jsonAt(value, path, faults, 0);
}

}  // namespace probe_python

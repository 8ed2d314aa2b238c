#include "python/probe_dicts.h"

#include <bit>
#include <cmath>
#include <span>
#include <unordered_map>

#include "probe_core/json/probe_fields.h"
#include "probe_core/record/encodings.h"
#include "probe_core/record/field_values.h"

namespace py = pybind11;

namespace probe_python {

namespace {

using namespace probe::fields;
using probejson::fields::hexBits;

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

py::object newText(std::string_view utf8) {
    return steal(
        PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "replace"));
}

thread_local SharedTexts* innermost = nullptr;

py::object textOf(std::string_view utf8) {
    SharedTexts* shared = innermost;
    return shared != nullptr ? shared->text(std::string(utf8)) : newText(utf8);
}

// A finite double as a float; an infinity or a NaN as the hexadecimal digits of its bits, as
// export writes it (JSON has no form for them).
py::object quantityOf(double value) {
    if (std::isfinite(value)) return steal(PyFloat_FromDouble(value));
    return textOf(hexBits(std::bit_cast<std::uint64_t>(value), 16));
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

// The fields of a record put into dicts as they are visited: the probe's dict, and the dict of
// the group being visited.
class DictBuilder : public FieldVisitor {
  public:
    py::dict take() { return std::move(probe_); }

    void groupBegin(const char* key) override {
        group_ = py::dict();
        set(probe_, key, *group_);
    }
    void groupEnd() override { group_.reset(); }

    void word(const Field& field, const Word& w, std::uint32_t value) override {
        py::dict out;
        for (const probe::SubField& f : w.subFields) {
            const std::uint32_t code = probe::extractSubField(value, f);
            set(out, f.key, coded(code, codeText(code, f)));
        }
        set(out, kOtherBits, textOf(hexBits(value & ~subFieldBits(w.subFields), 8)));
        put(field, out);
    }
    void text(const Field& field, std::string_view utf8) override { put(field, textOf(utf8)); }
    void lines(const Field& field, const std::vector<std::string>& utf8) override {
        py::list out;
        for (const std::string& line : utf8)
            if (PyList_Append(out.ptr(), textOf(line).ptr()) != 0) throw py::error_already_set();
        put(field, out);
    }
    void quantity(const Field& field, double value) override { put(field, quantityOf(value)); }
    void price(const Field& field, std::int32_t value) override {
        put(field, steal(PyLong_FromLong(value)));
    }
    void date(const Field& field, double dayNumber) override {
        py::dict out;
        const std::optional<std::string> iso = isoDate(dayNumber);
        set(out, kIso, iso ? textOf(*iso) : py::object(py::none()));
        set(out, kDayNumber, quantityOf(dayNumber));
        put(field, out);
    }
    void scale(const Field& field, std::int32_t exponent) override {
        put(field, coded(exponent, scaleText(exponent)));
    }
    void reserved(const Field& field, std::span<const std::uint8_t> bytes) override {
        // Trailing zero bytes are left out: an all-zero range reads as "".
        std::size_t used = bytes.size();
        while (used > 0 && bytes[used - 1] == 0) --used;
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (std::size_t i = 0; i < used; ++i) {
            hex += kDigits[bytes[i] >> 4];
            hex += kDigits[bytes[i] & 0xF];
        }
        put(field, textOf(hex));
    }

  private:
    void put(const Field& field, const py::object& value) {
        set(group_ ? *group_ : probe_, field.key, value);
    }

    py::dict probe_;
    std::optional<py::dict> group_;
};

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
    DictBuilder builder;
    visitFields(record, builder);
    return builder.take();
}

}  // namespace probe_python

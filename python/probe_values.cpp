#include "python/probe_values.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "probe_core/json/probe_fields.h"
#include "probe_core/json/probe_reader.h"

namespace py = pybind11;

namespace probe_python {

namespace {

// Deeper than any probe: a list that holds itself must not take the stack.
constexpr int kDeepestNesting = 32;

py::object steal(PyObject* object) {
    if (object == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(object);
}

std::string typeName(py::handle value) {
    return py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>();
}

// An int, or a value that is one through __index__ (numpy's integers): not a bool, a str or a
// float.
bool isIndex(py::handle value) {
    PyObject* o = value.ptr();
    if (PyBool_Check(o) || PyFloat_Check(o) || PyUnicode_Check(o)) return false;
    return PyLong_Check(o) || PyIndex_Check(o);
}

void checkAt(py::handle value, const std::string& path, std::vector<ValueFault>& faults,
             int depth) {
    using probejson::fields::child;
    if (depth > kDeepestNesting) {
        faults.push_back({path, "слишком глубокая вложенность"});
        return;
    }
    PyObject* o = value.ptr();
    if (value.is_none() || PyBool_Check(o)) return;
    if (PyFloat_Check(o)) {
        if (!std::isfinite(PyFloat_AS_DOUBLE(o)))
            faults.push_back({path, "число " + py::repr(value).cast<std::string>() +
                                        " не записывается: бесконечность и NaN не бывают "
                                        "значениями полей датчика"});
        return;
    }
    if (isIndex(value)) {
        const py::object index = steal(PyNumber_Index(o));
        int overflow = 0;
        PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
        if (overflow != 0 && PyLong_AsDouble(index.ptr()) == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            faults.push_back({path,
                              "целое число вне диапазона поля: в нём больше 300 десятичных "
                              "знаков, его не вмещает ни одно поле датчика"});
        }
        return;
    }
    if (PyUnicode_Check(o)) {
        if (PyUnicode_AsUTF8AndSize(o, nullptr) == nullptr) {
            PyErr_Clear();
            faults.push_back({path, "строка содержит суррогатные знаки, их нет в UTF-8"});
        }
        return;
    }
    if (PyDict_Check(o)) {
        PyObject* key = nullptr;
        PyObject* item = nullptr;
        Py_ssize_t at = 0;
        while (PyDict_Next(o, &at, &key, &item)) {
            if (!PyUnicode_Check(key)) {
                faults.push_back(
                    {path, "ключ " + py::repr(key).cast<std::string>() + " — не строка"});
                continue;
            }
            const std::string k = py::reinterpret_borrow<py::str>(key).cast<std::string>();
            checkAt(item, child(path, k), faults, depth + 1);
        }
        return;
    }
    if (PyList_Check(o) || PyTuple_Check(o)) {
        std::size_t i = 0;
        for (py::handle item : value) checkAt(item, child(path, i++), faults, depth + 1);
        return;
    }
    faults.push_back({path, "значение типа " + typeName(value) + " не переводится в JSON"});
}

// A checked Python value read through the calls of the probe checks (probe_reader.h). A value
// with __index__ is turned into its int once, when the view is made; each view holds its object.
class PythonView {
  public:
    explicit PythonView(py::handle value) : value_(py::reinterpret_borrow<py::object>(value)) {
        if (!isIndex(value_)) return;
        value_ = steal(PyNumber_Index(value_.ptr()));
        int overflow = 0;
        signed_ = PyLong_AsLongLongAndOverflow(value_.ptr(), &overflow);
        if (overflow == 0) {
            kind_ = Kind::kInteger;
        } else {
            kind_ = Kind::kLargeInteger;
            large_ = PyLong_AsDouble(value_.ptr());
            if (large_ == -1.0 && PyErr_Occurred()) throw py::error_already_set();
        }
    }

    bool isObject() const { return PyDict_Check(value_.ptr()); }
    bool isArray() const { return PyList_Check(value_.ptr()) || PyTuple_Check(value_.ptr()); }
    bool isString() const { return PyUnicode_Check(value_.ptr()); }
    bool isNull() const { return value_.is_none(); }
    bool isInteger() const { return kind_ == Kind::kInteger; }
    bool isUnsigned() const { return isInteger() && signed_ >= 0; }
    bool isNumber() const { return kind_ != Kind::kOther || PyFloat_Check(value_.ptr()); }
    std::int64_t asSigned() const { return signed_; }
    std::uint64_t asUnsigned() const { return static_cast<std::uint64_t>(signed_); }
    double asDouble() const {
        if (kind_ == Kind::kInteger) return static_cast<double>(signed_);
        if (kind_ == Kind::kLargeInteger) return large_;
        return PyFloat_AsDouble(value_.ptr());
    }
    // The str's own UTF-8 form: it lives as long as the str, which this view holds.
    std::string_view string() const {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(value_.ptr(), &size);
        if (utf8 == nullptr) throw py::error_already_set();
        return {utf8, static_cast<std::size_t>(size)};
    }
    std::size_t size() const {
        const Py_ssize_t size = PySequence_Size(value_.ptr());
        if (size < 0) throw py::error_already_set();
        return static_cast<std::size_t>(size);
    }
    PythonView operator[](std::size_t i) const {
        return PythonView(steal(PySequence_GetItem(value_.ptr(), static_cast<Py_ssize_t>(i))));
    }
    template <typename F>
    void forEachMember(F&& f) const {
        PyObject* key = nullptr;
        PyObject* item = nullptr;
        Py_ssize_t at = 0;
        while (PyDict_Next(value_.ptr(), &at, &key, &item)) {
            const PythonView name(key);
            const PythonView member(item);
            f(name.string(), member);
        }
    }

  private:
    enum class Kind { kOther, kInteger, kLargeInteger };

    py::object value_;
    Kind kind_ = Kind::kOther;
    std::int64_t signed_ = 0;
    double large_ = 0.0;
};

}  // namespace

void checkValue(py::handle value, const std::string& path, std::vector<ValueFault>& faults) {
    checkAt(value, path, faults, 0);
}

std::unique_ptr<probejson::StagedProbe> stagedProbe(py::handle value, const std::string& path,
                                                    std::size_t number,
                                                    probejson::Problems& problems) {
    return probejson::readProbe(PythonView(value), path, number, problems);
}

}  // namespace probe_python

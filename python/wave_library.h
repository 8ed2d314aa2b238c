// The wave library as the module's wave sets use it: wavelib2 loaded once for the process with
// its version 1.1 table, wavelib's placement and storage tables, the record types as numpy sees
// them (numpy imported on first use), and the Python side of a wave set.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

#include <pybind11/numpy.h>

#include "abi/placement_tables.h"
#include "abi/plugin.h"
#include "abi/wave_set.h"
#include "abi/wavelib.h"
#include "abi/wavelib2.h"

namespace probe_python {

namespace py = pybind11;

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
    // wavelib's entries are called by one thread at a time: a split runs without the interpreter
    // and the entries share wavelib's state (its error text, for one). The holder of the lock
    // never waits for the interpreter, so a thread may wait for the lock while holding it.
    std::unique_lock<std::mutex> lockCalls() { return std::unique_lock(calls_); }
    TableCell* placement() { return placement_.data(); }
    TableCell* storage() { return storage_.data(); }

    // wavelib's current error text (entry 7), UTF-8.
    std::string errorText() const;

  private:
    WaveLibrary();

    WaveProcessorTable11 table_{};
    std::array<TableCell, kPlacementTableCells> placement_{};
    std::array<TableCell, kStorageTableEntries> storage_{};
    std::string error_;
    std::mutex calls_;
};

// A failed entry: RuntimeError with wavelib's text, named by the entry's own name. Called with the
// library's lock held.
[[noreturn]] void failed(const char* operation);

// The record types as numpy sees them; making them imports numpy, whose absence is named.
const py::dtype& rayDtype();
const py::dtype& waveDtype();

// ---- media ----

// The three fields of a medium block that the wave processors read; the rest of the block
// belongs to wavelib and is kept as it is when a medium is set.
struct PyMedium {
    double speed = 0.0;
    double density = 0.0;
    double attenuation = 0.0;
};

inline PyMedium mediumOf(const Medium& m) {
    return {m.speed, m.density, m.attenuation};
}

inline void setMedium(Medium& m, const PyMedium& value) {
    m.speed = value.speed;
    m.density = value.density;
    m.attenuation = value.attenuation;
}

// ---- the sets ----

class PyWaveSet {
  public:
    explicit PyWaveSet(std::uint32_t count) : library_(WaveLibrary::instance()) {
        const auto lock = library_.lockCalls();
        set_ = library_.table().createSet(count);
        if (set_ == nullptr) failed("createSet");
    }
    ~PyWaveSet() {
        if (set_ == nullptr) return;
        const auto lock = library_.lockCalls();
        library_.table().deleteSet(set_);
    }
    PyWaveSet(const PyWaveSet&) = delete;
    PyWaveSet& operator=(const PyWaveSet&) = delete;

    WaveLibrary& library() { return library_; }
    const WaveProcessorTable11& table() { return library_.table(); }

    WaveSet* set() const {
        if (set_ == nullptr || closed_) throw py::value_error("Набор волн уже освобождён");
        if (busy_) throw py::value_error("Набор волн занят: с ним идёт split в другом потоке");
        return set_;
    }
    bool released() const { return set_ == nullptr || closed_; }

    // Raises when a numpy view of the arrays is alive: the operation may move them.
    void requireNoViews(const char* operation) const {
        set();
        if (views_ != 0) {
            throw py::buffer_error(
                std::string(operation) + ": живы представления numpy (" + std::to_string(views_) +
                ") лучей или волн этого набора, а операция может переместить массивы; сначала "
                "удалите их");
        }
    }

    void release() {
        if (set_ == nullptr) return;
        requireNoViews("release");
        deleteNow();
    }

    // The end of a `with` block: the set is released now, or, while numpy views of its arrays
    // are alive, as soon as the last of them goes. Either way it is unusable from now on.
    void close() {
        if (views_ == 0 && !busy_) {
            release();
            return;
        }
        closed_ = true;
    }
    void viewGone() {
        --views_;
        deleteIfClosed();
    }
    // A split in another thread works on the set: every use raises meanwhile.
    void setBusy(bool busy) {
        busy_ = busy;
        deleteIfClosed();
    }

    int views_ = 0;
    // For a set a split made: the elements that reached the interface but did not enter this
    // set (marked, past the grazing limit or weaker than the threshold).
    std::uint32_t dropped_ = 0;

  private:
    void deleteIfClosed() {
        if (closed_ && views_ == 0 && !busy_ && set_ != nullptr) deleteNow();
    }
    void deleteNow() {
        const auto lock = library_.lockCalls();
        table().deleteSet(set_);
        set_ = nullptr;
    }

    bool closed_ = false;
    bool busy_ = false;
    WaveLibrary& library_;
    WaveSet* set_ = nullptr;
};

}  // namespace probe_python

#include "python/store_session.h"

#include <memory>
#include <optional>
#include <stdexcept>

#include <pybind11/pybind11.h>

#include "python/probe_errors.h"

namespace py = pybind11;

namespace probe_python {

namespace {

std::mutex& storeMutex() {
    static auto* mutex = new std::mutex();
    return *mutex;
}

thread_local bool holding = false;

// Never destroyed: the library stays loaded, as the interpreter's exit may come in any order. A
// client whose store did not load is not kept: the next session tries again.
probefiles::ProbeFiles* loaded = nullptr;

}  // namespace

StoreSession::StoreSession() : lock_(storeMutex(), std::defer_lock) {
    if (holding) {
        throw std::runtime_error(
            "Вызов probe_tools изнутри другого вызова probe_tools (из финализатора или обработчика "
            "предупреждений) не поддерживается");
    }
    {
        py::gil_scoped_release unlocked;
        lock_.lock();
    }
    holding = true;
    if (loaded == nullptr) {
        std::optional<probefiles::Error> failed;
        try {
            auto made = std::make_unique<probefiles::ProbeFiles>();
            if (const probefiles::Error* e = made->loadError())
                failed = *e;
            else
                loaded = made.release();
        } catch (...) {
            end();
            throw;
        }
        if (failed) {
            end();
            raise(*failed);
        }
    }
    files_ = loaded;
}

StoreSession::~StoreSession() {
    end();
}

void StoreSession::end() {
    if (!lock_.owns_lock()) return;
    holding = false;
    lock_.unlock();
}

}  // namespace probe_python

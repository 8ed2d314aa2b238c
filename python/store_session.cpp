#include "python/store_session.h"

#include <memory>
#include <sstream>
#include <string>

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

// The store with the stream its loader's messages go to; never destroyed: the library stays
// loaded, as the interpreter's exit may come in any order.
struct LoadedStore {
    std::ostringstream messages;
    probetool::ProbeStore store{messages};
};

LoadedStore* loaded = nullptr;

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
        std::string text;
        try {
            auto made = std::make_unique<LoadedStore>();
            if (made->store.ready())
                loaded = made.release();
            else
                text = made->messages.str();
        } catch (...) {
            end();
            throw;
        }
        if (loaded == nullptr) {
            end();
            while (!text.empty() && text.back() == '\n') text.pop_back();
            raiseLibrary(text.empty() ? "Библиотека probestore.dll не загружена" : text);
        }
    }
    store_ = &loaded->store;
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

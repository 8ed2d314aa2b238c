// The probe store as the module's calls use it. The store library keeps its state (the selected
// record, the batch, the index of the last file read) in the process, so there is one store for
// the process and one caller at a time: a session holds it. The store is loaded on first use and
// kept to the end of the process.
#pragma once

#include <mutex>

#include "probe_core/files/probe_store.h"

namespace probe_python {

class StoreSession {
  public:
    // Waits for the store without holding the interpreter, then holds the store. Raises
    // ProbeLibraryError when the library does not load, RuntimeError when the thread already
    // holds the store (a call made from inside another, through a finaliser or a warning hook).
    StoreSession();
    ~StoreSession();
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    probetool::ProbeStore& store() { return *store_; }
    // Gives the store up before the session ends.
    void end();

  private:
    std::unique_lock<std::mutex> lock_;
    probetool::ProbeStore* store_ = nullptr;
};

}  // namespace probe_python

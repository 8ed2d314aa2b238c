// The probe-file client as the module's calls use it. The probe store library keeps its state (the
// selected record, the batch, the index of the last file read) in the process, so there is one
// client for the process and one caller at a time: a session holds it. The client is made on
// first use and kept to the end of the process.
#pragma once

#include <mutex>

#include "probe_core/files/probe_files.h"

namespace probe_python {

class StoreSession {
  public:
    // Waits for the client without holding the interpreter, then holds it. Raises
    // ProbeLibraryError when the probe store does not load, RuntimeError when the thread already
    // holds the client (a call made from inside another, through a finaliser or a warning hook).
    StoreSession();
    ~StoreSession();
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    probefiles::ProbeFiles& files() { return *files_; }
    // Gives the client up before the session ends.
    void end();

  private:
    std::unique_lock<std::mutex> lock_;
    probefiles::ProbeFiles* files_ = nullptr;
};

}  // namespace probe_python

// The part of appending that both systems share: waiting a bounded time for the append lock, and
// the observer of the writes.
#include <algorithm>
#include <thread>

#include "platform/append_file.h"

namespace platform {
namespace {

FileOpObserver* gObserver = nullptr;

}  // namespace

FileOpObserver* setFileOpObserver(FileOpObserver* observer) {
    FileOpObserver* old = gObserver;
    gObserver = observer;
    return old;
}

FileOpObserver* AppendFile::observer() {
    return gObserver;
}

AppendFile::Status AppendFile::takeLock(std::chrono::milliseconds wait) {
    // Waiting by polling: neither system's lock call takes a time limit (it waits for ever or
    // not at all). The pauses grow from 50 us to 5 ms, so a short save by another writer costs
    // little and a long one costs no busy loop.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait;
    std::chrono::microseconds pause{50};
    for (;;) {
        switch (tryLock()) {
            case LockAttempt::kTaken:
                locked_ = true;
                return Status::kOk;
            case LockAttempt::kNone:
                return Status::kOk;
            case LockAttempt::kFailed:
                close();
                return Status::kCannotOpen;
            case LockAttempt::kBusy:
                break;
        }
        if (Clock::now() >= deadline) {
            close();
            return Status::kBusy;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(5));
    }
}

// The rest of opening, once the system has handed out the open file: note it, make a file created
// here last through a crash (its folder entry synced), take the append lock, and open again when
// another writer replaced the file under the name while this one waited for the lock.
AppendFile::Status AppendFile::finishOpening(const std::filesystem::path& path, bool created,
                                             std::chrono::milliseconds wait, int attempt) {
    path_ = path;
    created_ = created;
    if (created_) {
        if (FileOpObserver* o = observer()) o->created(path_);
        syncFolder();
    }
    const Status locked = takeLock(wait);
    if (locked != Status::kOk || nameStillOpen()) return locked;
    // Replaced while this writer waited: the name's file now is the one to append to.
    close();
    if (attempt >= kReopenAttempts) return Status::kBusy;
    return openAttempt(path, wait, attempt + 1);
}

}  // namespace platform

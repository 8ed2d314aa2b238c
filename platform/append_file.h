// Appending to a file that other programs append to at the same time.
//
// A writer opens the file for appending (it is created when missing) and takes the file's append
// lock, waiting a bounded time while another writer holds it. Holding the lock it reads what it
// needs of the file (a header to check, the size that tells a new file) and adds its bytes in one
// unbuffered write at the end of the file; closing releases the lock. So two writers never
// interleave their bytes, and a new file gets its header from whichever writer comes first.
//
// The lock is advisory and lies on one byte far beyond the end of any real file
// (kAppendLockOffset). It stands for the whole file among writers that take it, and it keeps no
// one from reading the file: on Windows a locked range cannot be read through other handles, and
// a range lock taken over a network share behaves like that everywhere. POSIX and Windows writers
// lock the same byte, so writers of both systems exclude each other on a share that maps locks.
// Where the file system has no locks at all, the writer goes on without one.
//
// A successful append is durable: the written bytes, and the size that reaches them, are on disk
// (fdatasync, FlushFileBuffers) before append() reports success; a file that open() created has
// its folder synced too, so that its name survives a power cut.
//
// On Windows the file is opened shared for read, write and delete, like every file the tool set
// opens, so that a writer never locks another program out of the file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/replace_file.h"

namespace platform {

class SpoolFile;

inline constexpr std::uint64_t kAppendLockOffset = std::uint64_t{1} << 62;
// A writer holds the lock for one write; this long only a stuck writer keeps it.
inline constexpr std::chrono::milliseconds kAppendLockWait{10000};
// The new file of replaceAppending() is named "<file name><kReplacementMark><number>.tmp" (the
// name shortened as temporaryNamePrefix() says); one left behind tells of a replacement cut short.
inline constexpr const char* kReplacementMark = ".replacing-";

// What writers do to files, for tests that replay it into the states a crash can leave behind.
// Called on the writer's thread, after each step succeeded.
class FileOpObserver {
  public:
    virtual ~FileOpObserver() = default;
    virtual void created(const std::filesystem::path& file) = 0;
    virtual void wrote(const std::filesystem::path& file, std::uint64_t offset, const void* data,
                       std::size_t n) = 0;
    virtual void truncated(const std::filesystem::path& file, std::uint64_t size) = 0;
    virtual void synced(const std::filesystem::path& file) = 0;
    virtual void folderSynced(const std::filesystem::path& folder) = 0;
};
// Installs an observer for every AppendFile of the process (null for none); returns the old one.
FileOpObserver* setFileOpObserver(FileOpObserver* observer);

class AppendFile {
  public:
    enum class Status {
        kOk,
        kCannotOpen,  // missing folder, no rights, a directory
        kNotRegular,  // a pipe, a device: never written
        kBusy,        // another writer held the lock for longer than the wait
    };

    AppendFile() = default;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile() { close(); }

    // Opens `path` (created when missing) and takes the append lock.
    Status open(const std::filesystem::path& path,
                std::chrono::milliseconds wait = kAppendLockWait);
    bool isOpen() const;
    // Whether the append lock is held (false where the file system has no locks).
    bool locked() const { return locked_; }
    // Whether open() created the file.
    bool created() const { return created_; }

    // The file's size now.
    bool size(std::uint64_t& out) const;
    // Exactly `n` bytes from `offset`; false when fewer are there or the read fails.
    bool readAt(std::uint64_t offset, void* buffer, std::size_t n) const;
    // Adds `n` bytes at the end of the file in one write. When the write fails part-way, the part
    // written is cut off again (unless someone else has appended since), so a failed append
    // leaves the file as it was. Returns true only once the bytes are on disk (sync()).
    bool append(const void* data, std::size_t n);
    // Makes the file's data and size durable.
    bool sync();
    // Cuts the file to `size` bytes, durably.
    bool truncate(std::uint64_t size);

    // Replaces the file, in one step, by its first `keep` bytes followed by `n` bytes of `data`.
    // A new file beside it (same folder, named after it with kReplacementMark, the file's
    // permissions) receives both and is synced, then takes the file's name, and the folder is
    // synced. A cut at any moment leaves the old file whole or the new one whole, and at worst the
    // new file under its own name; any failure leaves the old file and removes the new one. The
    // lock stays on the old file until close(): a writer that waited for it finds the name taken
    // by the new file and opens that instead (open() looks). Where the system cannot replace a
    // file that is held open (Windows before 10 1709), the bytes are appended in one write
    // under the lock instead: failures leave the file as it was, a kill mid-write may not.
    bool replaceAppending(std::uint64_t keep, const void* data, std::size_t n);
    // Replaces the file, in one step, by the bytes it holds then followed by those of `tail`, like
    // replaceAppending(), but without keeping other writers waiting for the copy: the lock is let
    // go while the file's bytes (by data ranges, holes kept) and the tail are copied, and taken
    // again to catch up with what was appended meanwhile; only after a few rounds of appends
    // that kept coming is the last catching-up done under the lock. `replacedMeanwhile` is set
    // when the name was given to another file while the lock was let go: nothing is replaced, and
    // the caller opens the name again. The file must be open, locked and not empty. (Windows:
    // replaceAppending() with the tail read into memory.)
    // With `head` given the file is begun anew instead: its bytes (what a crash left of a new
    // file's header, or nothing) give way to the `headSize` bytes of `head`, then the tail.
    ReplaceError replaceExtending(const void* head, std::size_t headSize, const SpoolFile& tail,
                                  bool& replacedMeanwhile);
    // After a failed write into a file that open() created: removes it again while it is still
    // empty and still has its name, so that a failure leaves no empty file behind.
    void removeIfCreatedEmpty();
    // Why the last open() or replacement failed.
    ReplaceError lastError() const { return error_; }

    // Releases the lock and closes the file.
    void close();

  private:
    // How often open() follows a name that was replaced while it waited for the lock.
    static constexpr int kReopenAttempts = 20;
    Status openAttempt(const std::filesystem::path& path, std::chrono::milliseconds wait,
                       int attempt);
    Status finishOpening(const std::filesystem::path& path, bool created,
                         std::chrono::milliseconds wait, int attempt);
    // One attempt at the append lock, without waiting (one body per system).
    enum class LockAttempt { kTaken, kBusy, kNone, kFailed };
    LockAttempt tryLock();
    // Tries the lock until it is taken, the file system turns out to have none, or `wait` has
    // passed; closes the file on failure. Shared by both systems.
    Status takeLock(std::chrono::milliseconds wait);
    // The observer's record of a step (shared by both systems).
    static FileOpObserver* observer();
    // Syncs the folder of a file just created (POSIX; NTFS journals the name itself).
    void syncFolder();
    // Whether the name still names the open file (another writer may have replaced it while
    // this one waited for the lock).
    bool nameStillOpen() const;
    // Lets the append lock go, the file kept open (takeLock() takes it again).
    void unlock();

#if defined(_WIN32)
    void* handle_ = nullptr;  // HANDLE; null when closed
#else
    int fd_ = -1;
#endif
    bool locked_ = false;
    bool created_ = false;
    ReplaceError error_ = ReplaceError::kNone;
    std::filesystem::path path_;
};

}  // namespace platform

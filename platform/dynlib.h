// Dynamic libraries and the last system error, the same calls on Windows and on POSIX.
//
// On POSIX a library file name ending in ".dll" is mapped to ".so"; a bare name is looked up in
// the directory of the running executable first and then through the dynamic linker's own search.
// A library may export `extern "C" int DllEntry(int reason)`: it is called with 1 right after the
// library is first mapped (a zero result fails the load, after a call with 0) and with 0 before
// the last unmap. The last failure's code and text are kept per thread.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using Module = void*;

// LoadLibraryA: null on failure (see lastErrorCode/lastErrorText).
Module loadLibrary(const char* fileName);
// GetProcAddress: null when the module has no such export.
void* findExport(Module module, const char* name);
// FreeLibrary: false on failure.
bool freeLibrary(Module module);

// GetLastError and FormatMessageA (from the system message table, language 0) for that code.
std::uint32_t lastErrorCode();
std::string lastErrorText();  // cp1251 on Windows, UTF-8 on POSIX

// Error codes the POSIX layer reports, with the values of the home platform.
inline constexpr std::uint32_t kErrorModNotFound = 126;
inline constexpr std::uint32_t kErrorProcNotFound = 127;
inline constexpr std::uint32_t kErrorDllInitFailed = 1114;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;

// Takes the current directory out of this process's library search. Windows searches it after
// the system folders, so a library planted beside a document opened from a shared or download
// folder (the file dialogs make that folder the current one) would be loaded by its bare name.
// POSIX never searches it unless told to by the environment: nothing to do there.
void keepCurrentDirectoryOutOfLibrarySearch();

// ".dll" at the end of a name becomes ".so" (POSIX only; identity on Windows).
std::string mapLibraryName(const std::string& fileName);
// Directory of the running executable, without a trailing separator; empty if unknown.
std::string executableDirectory();

}  // namespace platform

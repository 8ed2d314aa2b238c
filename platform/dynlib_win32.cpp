// The home platform's own library and error calls, behind the same interface as on POSIX.
#include "platform/dynlib.h"

#include "platform/windows_system.h"

namespace platform {

std::string mapLibraryName(const std::string& fileName) {
    return fileName;
}

std::string executableDirectory() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string path(buf, n);
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}

void keepCurrentDirectoryOutOfLibrarySearch() {
    // An empty name removes the current directory from the search.
    SetDllDirectoryW(L"");
    // Where the system has it, the search is narrowed to the program's own folder and the system
    // folder (wine, which ignores the empty name above, honours only this one). Looked up rather
    // than imported: systems without it would refuse to start the program.
    using SetDefaultDirsFn = BOOL(WINAPI*)(DWORD);
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        if (auto set = reinterpret_cast<SetDefaultDirsFn>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))) {
            set(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        }
    }
}

Module loadLibrary(const char* fileName) {
    return LoadLibraryA(fileName != nullptr ? fileName : "");
}

void* findExport(Module module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool freeLibrary(Module module) {
    return FreeLibrary(static_cast<HMODULE>(module)) != 0;
}

std::uint32_t lastErrorCode() {
    return GetLastError();
}

std::string lastErrorText() {
    // The system allocates the buffer: into a fixed one a message longer than the buffer is not
    // cut but fails as a whole. Callers cut the text to the length they show.
    char* buf = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, GetLastError(), 0, reinterpret_cast<LPSTR>(&buf), 0, nullptr);
    std::string text;
    if (n != 0 && buf != nullptr) text.assign(buf, n);
    if (buf != nullptr) LocalFree(buf);
    return text;
}

}  // namespace platform

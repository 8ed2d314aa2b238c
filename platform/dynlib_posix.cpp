// POSIX stand-ins for LoadLibraryA, GetProcAddress, FreeLibrary and the last error.
#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <system_error>

#include "abi/plugin.h"
#include "platform/dynlib.h"

namespace platform {
namespace {

struct LastError {
    std::uint32_t code = 0;
    std::string text;
};
thread_local LastError tLastError;

void setLastError(std::uint32_t code, std::string text) {
    tLastError.code = code;
    tLastError.text = std::move(text);
}

std::string systemText(std::uint32_t code) {
    switch (code) {
        case 0:
            return "Операция успешно завершена.";
        case kErrorInvalidHandle:
            return "Неверный дескриптор.";
        case kErrorModNotFound:
            return "Не найден указанный модуль.";
        case kErrorProcNotFound:
            return "Не найдена указанная процедура.";
        case kErrorDllInitFailed:
            return "Произошел сбой в программе инициализации библиотеки динамической компоновки "
                   "(DLL).";
        default:
            return {};
    }
}

std::string withDetail(std::uint32_t code, const char* detail) {
    std::string text = systemText(code);
    if (detail != nullptr && *detail != '\0') text += std::string("\r\n") + detail;
    return text;
}

using EntryFn = int (*)(int);

// Our own reference counts: DllEntry(1) runs when a handle first appears here and DllEntry(0)
// before the count returns to zero, whatever the dynamic linker's own count is.
std::recursive_mutex gMutex;
std::map<void*, int> gRefs;

// dlsym with a handle also answers from the libraries the module depends on; a module's own
// exports are only those defined in the module itself, as on the home platform.
void* ownSymbol(void* module, const char* name) {
    void* sym = dlsym(module, name);
#if defined(__GLIBC__)
    if (sym != nullptr) {
        Dl_info info;
        void* owner = nullptr;
        void* self = nullptr;
        if (dladdr1(sym, &info, &owner, RTLD_DL_LINKMAP) == 0 ||
            dlinfo(module, RTLD_DI_LINKMAP, &self) != 0 || owner != self) {
            return nullptr;
        }
    }
#endif
    return sym;
}

void* openFile(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::string mapLibraryName(const std::string& fileName) {
    constexpr std::string_view kDll = ".dll";
    if (fileName.size() >= kDll.size()) {
        std::string tail = fileName.substr(fileName.size() - kDll.size());
        for (char& c : tail) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        if (tail == kDll) return fileName.substr(0, fileName.size() - kDll.size()) + ".so";
    }
    return fileName;
}

std::string executableDirectory() {
    std::string buf(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    buf.resize(static_cast<std::size_t>(n));
    const auto slash = buf.rfind('/');
    return slash == std::string::npos ? std::string{} : buf.substr(0, slash);
}

void keepCurrentDirectoryOutOfLibrarySearch() {}

Module loadLibrary(const char* fileName) {
    const std::string name = mapLibraryName(fileName != nullptr ? fileName : "");
    if (name.empty()) {
        setLastError(kErrorModNotFound, systemText(kErrorModNotFound));
        return nullptr;
    }
    std::lock_guard lock(gMutex);
    // The first file of that name in the search order is the library, as on the home platform:
    // one beside the executable that cannot be loaded fails the load with its own reason
    // instead of handing over to a file of the same name elsewhere.
    std::string path = name;
    if (name.find('/') == std::string::npos) {
        const std::string dir = executableDirectory();
        if (!dir.empty() && access((dir + "/" + name).c_str(), F_OK) == 0) path = dir + "/" + name;
    }
    void* handle = openFile(path);
    if (handle == nullptr) {
        const char* e = dlerror();
        setLastError(kErrorModNotFound, withDetail(kErrorModNotFound, e));
        return nullptr;
    }
    int& refs = gRefs[handle];
    if (refs == 0) {
        auto entry = reinterpret_cast<EntryFn>(ownSymbol(handle, "DllEntry"));
        if (entry != nullptr && entry(kProcessAttach) == 0) {
            entry(kProcessDetach);
            gRefs.erase(handle);
            dlclose(handle);
            setLastError(kErrorDllInitFailed, withDetail(kErrorDllInitFailed, name.c_str()));
            return nullptr;
        }
    }
    ++refs;
    return handle;
}

void* findExport(Module module, const char* name) {
    if (module == nullptr || name == nullptr) {
        setLastError(kErrorInvalidHandle, systemText(kErrorInvalidHandle));
        return nullptr;
    }
    dlerror();
    void* sym = ownSymbol(module, name);
    if (sym == nullptr) {
        setLastError(kErrorProcNotFound, withDetail(kErrorProcNotFound, name));
    }
    return sym;
}

bool freeLibrary(Module module) {
    std::lock_guard lock(gMutex);
    auto it = gRefs.find(module);
    if (module == nullptr || it == gRefs.end()) {
        setLastError(kErrorInvalidHandle, systemText(kErrorInvalidHandle));
        return false;
    }
    if (--it->second == 0) {
        gRefs.erase(it);
        if (auto entry = reinterpret_cast<EntryFn>(ownSymbol(module, "DllEntry"))) {
            entry(kProcessDetach);
        }
    }
    if (dlclose(module) != 0) {
        const char* e = dlerror();
        setLastError(kErrorInvalidHandle, withDetail(kErrorInvalidHandle, e));
        return false;
    }
    return true;
}

std::uint32_t lastErrorCode() {
    return tLastError.code;
}

std::string lastErrorText() {
    if (tLastError.code == 0 && tLastError.text.empty()) return systemText(0);
    return tLastError.text;
}

}  // namespace platform

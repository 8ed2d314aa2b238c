// A program's command-line arguments as cp1251 texts. Apart from the other file calls so that
// only the programs that read their arguments link the system's command-line parser (shell32 on
// Windows), not every plug-in library.
#include <filesystem>
#include <system_error>

#include "platform/cp1251.h"
#include "platform/files.h"

#if defined(_WIN32)
#include "platform/windows_system.h"
// after the system header, which it needs
#include <shellapi.h>
#endif

namespace platform {

std::vector<std::string> cp1251Arguments(int argc, char** argv) {
    std::vector<std::string> out;
#if defined(_WIN32)
    int n = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i) {
            const std::wstring_view w(wide[i]);
            out.push_back(utf16ToCp1251(std::u16string(w.begin(), w.end())));
        }
        LocalFree(wide);
        return out;
    }
    // Without the system's parser: the ANSI arguments as they are.
    for (int i = 0; i < argc; ++i) out.push_back(argv[i] != nullptr ? argv[i] : "");
#else
    for (int i = 0; i < argc; ++i) out.push_back(utf8ToCp1251(argv[i] != nullptr ? argv[i] : ""));
#endif
    return out;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    std::vector<std::string> out;
#if defined(_WIN32)
    SetConsoleOutputCP(CP_UTF8);
    int n = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i) {
            // The standard library's path does the UTF-16 to UTF-8 conversion; an argument that
            // is not valid UTF-16 (a lone surrogate) becomes empty instead of ending the program.
            try {
                const std::u8string u = std::filesystem::path(std::wstring(wide[i])).u8string();
                out.emplace_back(u.begin(), u.end());
            } catch (const std::system_error&) {
                out.emplace_back();
            }
        }
        LocalFree(wide);
        return out;
    }
    for (int i = 0; i < argc; ++i) out.push_back(argv[i] != nullptr ? argv[i] : "");
#else
    for (int i = 0; i < argc; ++i) out.push_back(argv[i] != nullptr ? argv[i] : "");
#endif
    return out;
}

}  // namespace platform

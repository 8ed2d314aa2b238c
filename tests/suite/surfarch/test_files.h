// Scratch files for the surface file tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace surftest {

// A path in a fresh temporary folder of this test process; `name` is UTF-8.
inline std::filesystem::path scratchPath(const std::string& name) {
    namespace fs = std::filesystem;
    // The folder goes away with the test process.
    struct Folder {
        fs::path path = fs::temp_directory_path() / ("surfarch_tests_" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    };
    static const Folder dir;
    const fs::path p = dir.path / fs::path(std::u8string(name.begin(), name.end()));
    fs::remove(p);
    return p;
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace surftest

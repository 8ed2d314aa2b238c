// Scratch files for the surface file tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace surftest {

// A path in a fresh temporary folder of this test process; `name` is UTF-8.
inline std::string scratchPath(const std::string& name) {
    namespace fs = std::filesystem;
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("surfarch_tests_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    const fs::path p = dir / fs::path(name);
    fs::remove(p);
    return p.string();
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace surftest

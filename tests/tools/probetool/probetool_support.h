// What the probetool tests share: running a command line in-process, temporary files, bytes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/probetool/commands.h"

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = probetool::run(args, out, err);
    return {status, out.str(), err.str()};
}

// A fresh name in the temporary folder; the file is removed when the test program ends.
std::string temp(const std::string& name) {
    static struct Files {
        std::vector<std::filesystem::path> paths;
        ~Files() {
            std::error_code ec;
            for (const std::filesystem::path& p : paths) std::filesystem::remove(p, ec);
        }
    } files;
    // `name` is UTF-8; a path made from narrow text would read it in the system's code page.
    const std::string utf8 = "probetool_" + std::to_string(::getpid()) + "_" + name;
    const std::filesystem::path p =
        std::filesystem::temp_directory_path() / std::u8string(utf8.begin(), utf8.end());
    std::filesystem::remove(p);
    files.paths.push_back(p);
    // UTF-8, as probetool takes its arguments on every system.
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

// libFuzzer target for the surface file reader (built with clang: target surfarch_fuzz). Each
// input is written to a scratch file of this process, since the reader reads files.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/suite/surfarch/read_surface_bytes.h"

namespace {

const std::string& scratch() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("surfarch_fuzz_" + std::to_string(getpid()) + ".pv"))
                                        .string();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!surftest::readSurfaceBytes(scratch(), data, size)) std::abort();
    return 0;
}

// libFuzzer target for the probe file reader (built with clang: target probestore_fuzz).
#include <cstdlib>

#include "tests/suite/probestore/read_probe_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!probestore_test::readProbeBytes(data, size)) std::abort();
    return 0;
}

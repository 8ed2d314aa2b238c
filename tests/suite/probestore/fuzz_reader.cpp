// libFuzzer target for the probe file reader (built with clang: target probestore_fuzz): each
// input is read by the byte-level reader, then written to a scratch file of this process and
// counted, loaded and appended to through the probe store's exports, which are compiled into the
// target.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/suite/probestore/read_probe_bytes.h"
#include "tests/suite/probestore/read_probe_file.h"

extern "C" {
BoolByte PLUGIN_CALL VibratVremenniyDatchik();
ProbeRecord* PLUGIN_CALL PoluchitVibranniyDatchik();
BoolByte PLUGIN_CALL InicializirovatDatchik();
BoolByte PLUGIN_CALL SohranitDatchik(const char* fileName);
std::uint32_t PLUGIN_CALL ZagruzitKolichestvoDatchikov(const char* fileName);
BoolByte PLUGIN_CALL ZagruzitDatchik(const char* fileName, std::uint32_t number);
}

namespace {

const contracts::ProbeStoreApi& api() {
    static const contracts::ProbeStoreApi table = [] {
        contracts::ProbeStoreApi t;
        t.VibratVremenniyDatchik = &VibratVremenniyDatchik;
        t.PoluchitVibranniyDatchik = &PoluchitVibranniyDatchik;
        t.InicializirovatDatchik = &InicializirovatDatchik;
        t.SohranitDatchik = &SohranitDatchik;
        t.ZagruzitKolichestvoDatchikov = &ZagruzitKolichestvoDatchikov;
        t.ZagruzitDatchik = &ZagruzitDatchik;
        return t;
    }();
    return table;
}

const std::string& scratch() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("probestore_fuzz_" + std::to_string(getpid()) + ".dt"))
                                        .string();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!probestore_test::readProbeBytes(data, size)) std::abort();
    if (!probestore_test::readProbeFile(api(), scratch(), data, size)) std::abort();
    return 0;
}

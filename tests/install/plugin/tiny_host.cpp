// Loads the tiny plug-in given on the command line, asks it for its table and calls both entries.
// Prints the probe record's size as the plug-in sees it; exit status 0 when everything answered.
#include <dlfcn.h>

#include <cstdio>

#include "abi/plugin.h"
#include "abi/probe_record.h"

using IsReady = BoolByte PLUGIN_CALL (*)();
using RecordSize = std::uint32_t PLUGIN_CALL (*)();

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return std::fprintf(stderr, "%s\n", dlerror()), 1;
    auto request = reinterpret_cast<TableRequest3>(dlsym(library, "PoluchitTablicuFunkciyPoImeni"));
    if (request == nullptr) return std::fprintf(stderr, "no table request export\n"), 1;
    TableCell table[2] = {};
    if (request(table, sizeof table, "Tiny, 1.0") != table) return 1;
    if (!isTrue(cellAs<IsReady>(table[0])())) return 1;
    const std::uint32_t size = cellAs<RecordSize>(table[1])();
    std::printf("record %u\n", size);
    return size == sizeof(ProbeRecord) ? 0 : 1;
}

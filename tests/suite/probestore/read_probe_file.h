// What the file fuzz target and the corpus test do with one input through the probe store's
// exports: write it to a file, count it and load every record it lists, then append the record
// last loaded and look again. Returns false when a property does not hold:
//   - a count never exceeds the file's size, and no record past the count loads;
//   - an append succeeds exactly when the file was empty, a probe file that takes appends or a new
//     file's header cut short by a crash (begun again), adds exactly one frame after the bytes
//     that were there and otherwise leaves the file as it was;
//   - appended to a file whose every record loaded, the new record loads last with the content
//     appended, and every earlier record loads as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "abi/probestore.h"
#include "suite/probestore/probe_file.h"

namespace probestore_test {

inline std::vector<std::uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// `path` must be ASCII (the same bytes in cp1251 and UTF-8).
inline bool readProbeFile(const contracts::ProbeStoreApi& api, const std::string& path,
                          const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> before(data, data + size);
    {
        // A new file each time: rewriting one in place can make the file system flush it.
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) return true;  // nothing to read: not a property of the store
    }
    const char* file = path.c_str();
    bool ok = true;
    api.VibratVremenniyDatchik();
    const ProbeRecord* scratch = api.PoluchitVibranniyDatchik();
    const std::uint32_t n = api.ZagruzitKolichestvoDatchikov(file);
    ok = ok && n <= size;
    std::vector<std::vector<std::uint8_t>> loaded(n);  // encoded records; empty: did not load
    bool allLoaded = true;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (api.ZagruzitDatchik(file, i))
            loaded[i] = probestore::encodeRecord(*scratch);
        else
            allLoaded = false;
    }
    ok = ok && !api.ZagruzitDatchik(file, n);

    probestore::MemorySource source(data, size);
    const bool beginsAgain = probestore::unfinishedHeader(data, size);
    const bool takesAppends = beginsAgain || probestore::headerAcceptsAppend(source);
    const std::vector<std::uint8_t> appended = probestore::encodeRecord(*scratch);
    const bool saved = api.SohranitDatchik(file);
    const std::vector<std::uint8_t> after = bytesOf(path);
    ok = ok && saved == takesAppends;
    if (!saved) {
        ok = ok && after == before;
    } else {
        std::vector<std::uint8_t> expected = before;
        if (beginsAgain) expected = probestore::encodeFileHeader();
        const std::vector<std::uint8_t> frame = probestore::encodeFrame(appended);
        expected.insert(expected.end(), frame.begin(), frame.end());
        ok = ok && after == expected;
        if (allLoaded) {
            ok = ok && api.ZagruzitKolichestvoDatchikov(file) == n + 1;
            for (std::uint32_t i = 0; i < n; ++i)
                ok = ok && api.ZagruzitDatchik(file, i) &&
                     probestore::encodeRecord(*scratch) == loaded[i];
            ok = ok && api.ZagruzitDatchik(file, n) &&
                 probestore::encodeRecord(*scratch) == appended;
        }
    }
    api.InicializirovatDatchik();  // releases the scratch record's texts
    return ok;
}

}  // namespace probestore_test

// What the surface reader fuzz target and the corpus test do with one input: write it to a file,
// walk it as a surface file, read every surface it lists, and decode it as a bare body. Returns
// false when a property of the reader does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "suite/surfarch/pv_format.h"

namespace surftest {

// A surface that decodes must pass the writer's own check and encode to the very bytes it was
// read from.
inline bool reencodes(const surfaces::pv::Surface& s, std::span<const unsigned char> body) {
    if (surfaces::pv::check(s) != surfaces::pv::Status::kOk) return false;
    const std::string block = surfaces::pv::encodeBlock(s);
    return block.size() == surfaces::pv::kBlockHeaderSize + body.size() &&
           block.compare(surfaces::pv::kBlockHeaderSize, std::string::npos,
                         reinterpret_cast<const char*>(body.data()), body.size()) == 0;
}

inline bool readSurfaceBytes(const std::filesystem::path& path, const std::uint8_t* data,
                             std::size_t size) {
    namespace pv = surfaces::pv;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) return true;  // nothing to read: not a property of the reader
    }
    bool ok = true;
    pv::File file;
    if (file.open(path) == pv::Status::kOk) {
        const auto& blocks = file.blocks();
        ok = ok && file.count() == blocks.size() && file.size() == size;
        // Whole blocks and damaged stretches follow one another from the header to the end of
        // the file; a damaged stretch runs up to the next whole block. The first starts where the
        // header says, or right after its 16 bytes when the header is damaged.
        std::uint64_t next = file.headerDamaged()
                                 ? pv::kHeaderSize
                                 : (std::uint64_t{data[10]} | std::uint64_t{data[11]} << 8);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const pv::Block& b = blocks[i];
            ok = ok && b.offset == next;
            if (!b.damaged) {
                next = b.offset + pv::kBlockHeaderSize + b.length;
                ok = ok && next <= size;
            } else if (i + 1 < blocks.size()) {
                next = blocks[i + 1].offset;
                ok = ok && !blocks[i + 1].damaged && next > b.offset && b.length == 0;
            } else {
                next = size;
            }
        }
        ok = ok && next == size && file.endsCleanly() == (blocks.empty() || !blocks.back().damaged);
        // Counting without keeping places, and walking only up to a block, agree with the walk.
        pv::File counted;
        ok = ok && counted.open(path, SIZE_MAX, false) == pv::Status::kOk &&
             counted.count() == blocks.size() && counted.blocks().empty();
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            pv::File upTo;
            ok = ok && upTo.open(path, i + 1) == pv::Status::kOk && upTo.count() == i + 1 &&
                 upTo.blocks().back().offset == blocks[i].offset;
            std::vector<unsigned char> body;
            const pv::Status read = file.readBody(i, body);
            pv::Surface s;
            const pv::Status decoded = file.readSurface(i, s);
            std::uint32_t v = 0, t = 0;
            const pv::Status counts = file.readCounts(i, v, t);
            if (read != pv::Status::kOk) {
                ok = ok && decoded == read && counts == read;
                continue;
            }
            if (decoded == pv::Status::kOk) {
                ok = ok && reencodes(s, body) && counts == pv::Status::kOk &&
                     v == s.vertexCount() && t == s.triangleCount();
            }
        }
    }
    pv::Surface s;
    const std::span<const unsigned char> whole(data, size);
    if (pv::decodeBody(whole, s) == pv::Status::kOk) ok = ok && reencodes(s, whole);
    return ok;
}

}  // namespace surftest

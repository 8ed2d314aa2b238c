#include "suite/surfarch/pv_format.h"

#include <zlib.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "abi/surfstore.h"

namespace surfaces::pv {
namespace {

// Little-endian fixed-width fields, written and read byte by byte so that every platform gives
// and takes the same bytes.
void putU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void putU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint16_t getU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t getU32(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
std::uint64_t getU64(const unsigned char* p) {
    return std::uint64_t{getU32(p)} | (std::uint64_t{getU32(p + 4)} << 32);
}

std::uint32_t crcOf(const unsigned char* data, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

// Body length for the given counts; 64-bit so that no count overflows it.
std::uint64_t bodyLength(std::size_t nameLength, std::uint64_t vertices, std::uint64_t triangles) {
    return kBodyFixedSize + nameLength + vertices * 24 + triangles * 12;
}

Status checkCounts(std::uint32_t vertices, std::uint32_t triangles) {
    if (vertices > contracts::kMaxVertices || triangles > contracts::kMaxTriangles)
        return Status::kTooLarge;
    return Status::kOk;
}

Status readExactly(std::ifstream& in, std::uint64_t offset, unsigned char* to, std::size_t n) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return Status::kCannotOpen;
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
    return in.gcount() == static_cast<std::streamsize>(n) ? Status::kOk : Status::kCannotOpen;
}

}  // namespace

Status check(const Surface& s) {
    if (s.name.size() > contracts::kMaxNameLength) return Status::kBadContents;
    if (s.name.find('\0') != std::string::npos) return Status::kBadContents;
    if (s.vertices.size() % 3 != 0 || s.triangles.size() % 3 != 0) return Status::kBadContents;
    if (s.vertices.size() / 3 > contracts::kMaxVertices ||
        s.triangles.size() / 3 > contracts::kMaxTriangles) {
        return Status::kTooLarge;
    }
    for (double c : s.vertices) {
        if (!std::isfinite(c)) return Status::kBadContents;
    }
    const std::uint32_t n = s.vertexCount();
    for (std::uint32_t index : s.triangles) {
        if (index >= n) return Status::kBadContents;
    }
    return Status::kOk;
}

std::string encodeHeader() {
    std::string out(kMagic, sizeof kMagic);
    putU16(out, kVersion);
    putU16(out, static_cast<std::uint16_t>(kHeaderSize));
    putU32(out, 0);
    return out;
}

std::string encodeBlock(const Surface& s) {
    std::string body;
    body.reserve(bodyLength(s.name.size(), s.vertexCount(), s.triangleCount()));
    putU16(body, static_cast<std::uint16_t>(s.name.size()));
    body += s.name;
    putU32(body, s.vertexCount());
    putU32(body, s.triangleCount());
    for (double c : s.vertices) putU64(body, std::bit_cast<std::uint64_t>(c));
    for (std::uint32_t index : s.triangles) putU32(body, index);

    std::string block;
    block.reserve(kBlockHeaderSize + body.size());
    putU32(block, static_cast<std::uint32_t>(body.size()));
    putU32(block, crcOf(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
    block += body;
    return block;
}

Status decodeCounts(std::span<const unsigned char> body, std::uint32_t& vertices,
                    std::uint32_t& triangles) {
    if (body.size() < kBodyFixedSize) return Status::kBadContents;
    const std::size_t nameLength = getU16(body.data());
    if (nameLength > contracts::kMaxNameLength || body.size() < kBodyFixedSize + nameLength) {
        return Status::kBadContents;
    }
    const unsigned char* counts = body.data() + 2 + nameLength;
    const std::uint32_t v = getU32(counts);
    const std::uint32_t t = getU32(counts + 4);
    if (Status s = checkCounts(v, t); s != Status::kOk) return s;
    if (bodyLength(nameLength, v, t) != body.size()) return Status::kBadContents;
    vertices = v;
    triangles = t;
    return Status::kOk;
}

Status decodeBody(std::span<const unsigned char> body, Surface& out) {
    std::uint32_t v = 0;
    std::uint32_t t = 0;
    if (Status s = decodeCounts(body, v, t); s != Status::kOk) return s;
    const std::size_t nameLength = getU16(body.data());
    Surface result;
    result.name.assign(reinterpret_cast<const char*>(body.data() + 2), nameLength);
    if (result.name.find('\0') != std::string::npos) return Status::kBadContents;
    // The counts have been matched against the body's real length above, so these sizes are
    // bounded by bytes that exist.
    result.vertices.resize(std::size_t{v} * 3);
    result.triangles.resize(std::size_t{t} * 3);
    const unsigned char* p = body.data() + kBodyFixedSize + nameLength;
    for (double& c : result.vertices) {
        c = std::bit_cast<double>(getU64(p));
        if (!std::isfinite(c)) return Status::kBadContents;
        p += 8;
    }
    for (std::uint32_t& index : result.triangles) {
        index = getU32(p);
        if (index >= v) return Status::kBadContents;
        p += 4;
    }
    out = std::move(result);
    return Status::kOk;
}

Status File::open(const std::filesystem::path& path, std::size_t limit, bool keepPlaces) {
    path_ = path;
    blocks_.clear();
    count_ = 0;
    size_ = 0;
    endsCleanly_ = false;
    // Only a regular file: opening a pipe or a device could wait for a writer forever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Status::kCannotOpen;
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::kCannotOpen;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) return Status::kCannotOpen;
    size_ = static_cast<std::uint64_t>(end);

    unsigned char header[kHeaderSize];
    if (size_ < kHeaderSize) return Status::kNotSurfaceFile;
    if (readExactly(in, 0, header, kHeaderSize) != Status::kOk) return Status::kCannotOpen;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return Status::kNotSurfaceFile;
    if (getU16(header + 8) != kVersion) return Status::kUnsupportedVersion;
    const std::uint16_t headerSize = getU16(header + 10);
    if (headerSize < kHeaderSize || headerSize > size_) return Status::kNotSurfaceFile;

    std::uint64_t at = headerSize;
    while (count_ < limit && size_ - at >= kBlockHeaderSize) {
        unsigned char blockHeader[kBlockHeaderSize];
        if (readExactly(in, at, blockHeader, kBlockHeaderSize) != Status::kOk) {
            return Status::kCannotOpen;
        }
        const std::uint32_t length = getU32(blockHeader);
        if (length > size_ - at - kBlockHeaderSize) break;  // cut short or lying: not a surface
        if (keepPlaces) blocks_.push_back(Block{at, length});
        ++count_;
        at += kBlockHeaderSize + length;
    }
    endsCleanly_ = at == size_;  // a walk stopped by `limit` short of the end is not clean
    return Status::kOk;
}

Status File::readBody(std::size_t index, std::vector<unsigned char>& body) {
    if (index >= blocks_.size()) return Status::kNoSuchSurface;
    const Block& b = blocks_[index];
    std::ifstream in(path_, std::ios::binary);
    if (!in) return Status::kCannotOpen;
    unsigned char blockHeader[kBlockHeaderSize];
    if (readExactly(in, b.offset, blockHeader, kBlockHeaderSize) != Status::kOk ||
        getU32(blockHeader) != b.length) {
        return Status::kCannotOpen;  // the file changed since it was opened
    }
    // The length was checked against the file's size when the block was listed.
    body.resize(b.length);
    if (readExactly(in, b.offset + kBlockHeaderSize, body.data(), body.size()) != Status::kOk) {
        return Status::kCannotOpen;
    }
    if (crcOf(body.data(), body.size()) != getU32(blockHeader + 4)) return Status::kDamaged;
    return Status::kOk;
}

Status File::readSurface(std::size_t index, Surface& out) {
    std::vector<unsigned char> body;
    if (Status s = readBody(index, body); s != Status::kOk) return s;
    return decodeBody(body, out);
}

Status File::readCounts(std::size_t index, std::uint32_t& vertices, std::uint32_t& triangles) {
    std::vector<unsigned char> body;
    if (Status s = readBody(index, body); s != Status::kOk) return s;
    return decodeCounts(body, vertices, triangles);
}

Status appendSurface(const std::filesystem::path& path, const Surface& s) {
    if (Status st = check(s); st != Status::kOk) return st;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    const bool empty = !exists || std::filesystem::file_size(path, ec) == 0;
    if (ec && exists) return Status::kCannotOpen;
    if (!empty) {
        File f;
        if (Status st = f.open(path); st != Status::kOk) return st;
        if (!f.endsCleanly()) return Status::kBadContents;
    }
    std::string bytes = empty ? encodeHeader() : std::string();
    bytes += encodeBlock(s);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out) return Status::kCannotWrite;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return out ? Status::kOk : Status::kCannotWrite;
}

}  // namespace surfaces::pv

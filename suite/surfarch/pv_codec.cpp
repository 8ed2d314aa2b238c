// One surface as bytes: the checks before writing, the file header and a block, and a block's
// body read back (the walk over a file's blocks is in pv_format.cpp).
#include <bit>
#include <cmath>

#include "abi/surfstore.h"
#include "platform/crc32.h"
#include "platform/little_endian.h"
#include "suite/surfarch/pv_format.h"

namespace surfaces::pv {

using platform::le::appendU16;
using platform::le::appendU32;
using platform::le::appendU64;
using platform::le::getU16;
using platform::le::getU32;
using platform::le::getU64;

std::uint64_t bodyLength(std::size_t nameLength, std::uint64_t vertices, std::uint64_t triangles) {
    return kBodyFixedSize + nameLength + vertices * 24 + triangles * 12;
}

Status checkCounts(std::uint32_t vertices, std::uint32_t triangles) {
    if (vertices > contracts::kMaxVertices || triangles > contracts::kMaxTriangles)
        return Status::kTooLarge;
    return Status::kOk;
}

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
    appendU16(out, kVersion);
    appendU16(out, static_cast<std::uint16_t>(kHeaderSize));
    appendU32(out, 0);
    return out;
}

std::string encodeBlock(const Surface& s) {
    std::string body;
    body.reserve(bodyLength(s.name.size(), s.vertexCount(), s.triangleCount()));
    appendU16(body, static_cast<std::uint16_t>(s.name.size()));
    body += s.name;
    appendU32(body, s.vertexCount());
    appendU32(body, s.triangleCount());
    for (double c : s.vertices) appendU64(body, std::bit_cast<std::uint64_t>(c));
    for (std::uint32_t index : s.triangles) appendU32(body, index);

    std::string block;
    block.reserve(kBlockHeaderSize + body.size());
    appendU32(block, static_cast<std::uint32_t>(body.size()));
    appendU32(block,
              platform::crc32Of(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
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

}  // namespace surfaces::pv

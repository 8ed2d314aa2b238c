// The surface file (*.pv): encoding and decoding, shared by the archiver "surfarch.dll", the
// sample-file generator and the tests. The layout is described in docs/surface_file_format.md.
//
// A file is a 16-byte header followed by surface blocks up to its end. Each block carries its
// body length and the body's CRC-32, so one damaged surface fails alone while the others stay
// readable, and a damaged stretch of any length (a torn append, a zero-filled tail) counts as one
// surface that cannot be read. Nothing read from a file sizes an allocation or a count before it
// has been checked against the bytes the file really has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace surfaces::pv {

inline constexpr char kMagic[8] = {'P', 'V', 'S', 'U', 'R', 'F', '\r', '\n'};
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kBlockHeaderSize = 8;  // body length, CRC-32 of the body
// Fixed part of a body: name length (2), vertex count (4), triangle count (4).
inline constexpr std::size_t kBodyFixedSize = 10;

// One surface as the file holds it. A surface without triangles is a line through its vertices
// in order.
struct Surface {
    std::string name;                      // cp1251, at most 255 bytes, no NUL byte
    std::vector<double> vertices;          // x, y, z per vertex
    std::vector<std::uint32_t> triangles;  // three vertex indices per triangle

    std::uint32_t vertexCount() const { return static_cast<std::uint32_t>(vertices.size() / 3); }
    std::uint32_t triangleCount() const { return static_cast<std::uint32_t>(triangles.size() / 3); }
};

enum class Status {
    kOk,
    kCannotOpen,      // the file cannot be opened or read
    kNotSurfaceFile,  // no surface file header
    kUnsupportedVersion,
    kNoSuchSurface,  // fewer complete surfaces than the number asked for
    kDamaged,        // the body's CRC-32 does not match
    kBadContents,    // lengths, counts, indices or coordinates that cannot be right
    kTooLarge,       // counts beyond what a surface may hold
    kCannotWrite,
};

// The longest fixed part a block can have: block header, fixed body fields and a 255-byte name.
inline constexpr std::size_t kLongestFixedPart = kBlockHeaderSize + kBodyFixedSize + 255;

// Where one surface lies in a file: a whole block, or a damaged stretch that counts as one
// surface that cannot be read and runs up to the next block (or the end of the file).
struct Block {
    std::uint64_t offset = 0;    // of the block header, or of the damaged stretch
    std::uint32_t length = 0;    // of the body; 0 for a damaged stretch
    std::uint32_t vertices = 0;  // V and T as the block's body states them
    std::uint32_t triangles = 0;
    bool damaged = false;
};

// The length of a body with a name of `nameLength` bytes and the given counts; 64-bit, so that
// no count overflows it.
std::uint64_t bodyLength(std::size_t nameLength, std::uint64_t vertices, std::uint64_t triangles);
// kTooLarge for counts beyond the archive's bounds.
Status checkCounts(std::uint32_t vertices, std::uint32_t triangles);

// Whether `s` can be written: name length and bytes, whole vertex and index triples, counts
// within the bounds, indices naming vertices, finite coordinates.
Status check(const Surface& s);

// The file header, and one whole block (header and body) for `s`; `s` must pass check().
std::string encodeHeader();
std::string encodeBlock(const Surface& s);

// Decodes a body (without the block header) into `out`; `out` is changed only on success.
Status decodeBody(std::span<const unsigned char> body, Surface& out);
// Reads only the vertex and triangle counts of a body.
Status decodeCounts(std::span<const unsigned char> body, std::uint32_t& vertices,
                    std::uint32_t& triangles);

// An opened surface file: the header is checked and the surfaces are found on open.
class File {
  public:
    // Opens `path` and walks its blocks from the header on, stopping after `limit` surfaces. A
    // block is whole when its length fits in the file, its fixed fields agree with its length and
    // its CRC-32 matches; anything else starts a damaged stretch that runs up to the next whole
    // block. With `keepPlaces` false the surfaces are only counted (counting a file then takes no
    // memory in proportion to it).
    Status open(const std::filesystem::path& path, std::size_t limit = SIZE_MAX,
                bool keepPlaces = true);

    // Surfaces found by the walk, damaged stretches included.
    std::uint64_t count() const { return count_; }
    const std::vector<Block>& blocks() const { return blocks_; }
    std::uint64_t size() const { return size_; }
    // Whether the walk reached the end of the file and the last surface is a whole block.
    bool endsCleanly() const { return endsCleanly_; }
    // Whether the surfaces were read past a damaged header (a wrong magic or version); such a
    // file takes no appends.
    bool headerDamaged() const { return headerDamaged_; }
    // Whole blocks that start between the 16-byte header and a longer header size the file
    // states: surfaces a reader of that size does not count. A file with any takes no appends.
    std::uint64_t uncountedSurfaces() const { return uncounted_; }

    // The body of surface `index`, read from the file again and its CRC-32 checked.
    Status readBody(std::size_t index, std::vector<unsigned char>& body);
    Status readSurface(std::size_t index, Surface& out);
    // The vertex and triangle counts of surface `index` as the walk found them (nothing is read).
    Status readCounts(std::size_t index, std::uint32_t& vertices, std::uint32_t& triangles) const;

  private:
    std::filesystem::path path_;
    std::uint64_t size_ = 0;
    std::vector<Block> blocks_;
    std::uint64_t count_ = 0;
    bool endsCleanly_ = false;
    bool headerDamaged_ = false;
    std::uint64_t uncounted_ = 0;
};

// Appends `s` to the file at `path` in one write under the file's append lock, writing the header
// first when the file is missing or empty. A file that is not a surface file is left untouched; a
// file whose tail is torn or damaged gets the block after it (the tail stays one damaged surface).
Status appendSurface(const std::filesystem::path& path, const Surface& s);

}  // namespace surfaces::pv

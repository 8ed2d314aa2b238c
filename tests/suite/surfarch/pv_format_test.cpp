// The surface file codec: round trips and files that are damaged, cut short, lying or of
// another kind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/cp1251.h"
#include "suite/surfarch/pv_format.h"
#include "test_files.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace pv = surfaces::pv;
using pv::Status;
using surftest::readBytes;
using surftest::scratchPath;
using surftest::writeBytes;

pv::Surface tetrahedron(const std::string& nameUtf8) {
    pv::Surface s;
    s.name = platform::utf8ToCp1251(nameUtf8);
    s.vertices = {0, 0, 0, 1.5, 0, 0, 0, -2.25, 0, 0, 0, 1e-300};
    s.triangles = {0, 1, 2, 0, 1, 3, 1, 2, 3, 0, 2, 3};
    return s;
}

pv::Surface line() {
    pv::Surface s;
    s.name = "cut";
    s.vertices = {-1, 0, 0, 0, 0, 1, 1, 0, 0};
    return s;
}

std::string fileOf(const std::vector<pv::Surface>& surfaces) {
    std::string bytes = pv::encodeHeader();
    for (const auto& s : surfaces) bytes += pv::encodeBlock(s);
    return bytes;
}

void put32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST(SurfaceFileTest, SurfacesRoundTripExactly) {
    pv::Surface a = tetrahedron("Излучающая поверхность");
    a.vertices[1] = -0.0;
    a.vertices[2] = std::numeric_limits<double>::denorm_min();
    const std::filesystem::path path = scratchPath("round.pv");
    writeBytes(path, fileOf({a, line(), pv::Surface{}}));

    pv::File f;
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 3u);
    EXPECT_TRUE(f.endsCleanly());
    pv::Surface back;
    ASSERT_EQ(f.readSurface(0, back), Status::kOk);
    EXPECT_EQ(back.name, a.name);
    EXPECT_EQ(back.triangles, a.triangles);
    ASSERT_EQ(back.vertices.size(), a.vertices.size());
    EXPECT_EQ(std::memcmp(back.vertices.data(), a.vertices.data(), a.vertices.size() * 8), 0);

    std::uint32_t v = 9, t = 9;
    ASSERT_EQ(f.readCounts(1, v, t), Status::kOk);
    EXPECT_EQ(v, 3u);
    EXPECT_EQ(t, 0u);
    ASSERT_EQ(f.readSurface(2, back), Status::kOk);
    EXPECT_TRUE(back.name.empty());
    EXPECT_TRUE(back.vertices.empty());
    EXPECT_EQ(f.readSurface(3, back), Status::kNoSuchSurface);

    // A walk stopped early knows only the blocks before the stop; counting keeps no places.
    ASSERT_EQ(f.open(path, 2), Status::kOk);
    EXPECT_EQ(f.count(), 2u);
    EXPECT_FALSE(f.endsCleanly());
    EXPECT_EQ(f.readSurface(2, back), Status::kNoSuchSurface);
    ASSERT_EQ(f.open(path, SIZE_MAX, false), Status::kOk);
    EXPECT_EQ(f.count(), 3u);
    EXPECT_TRUE(f.blocks().empty());
}

TEST(SurfaceFileTest, LayoutIsLittleEndianWithFramedBodies) {
    const std::string bytes = fileOf({line()});
    ASSERT_EQ(bytes.size(), pv::kHeaderSize + pv::kBlockHeaderSize + 10 + 3 + 3 * 24);
    EXPECT_EQ(bytes.substr(0, 8), std::string("PVSURF\r\n"));
    EXPECT_EQ(bytes.substr(8, 4), std::string("\x01\x00\x10\x00", 4));
    EXPECT_EQ(bytes.substr(16, 4), std::string("\x55\x00\x00\x00", 4));  // body length 85
    EXPECT_EQ(bytes.substr(24, 5), std::string("\x03\x00"
                                               "cut",
                                               5));
    EXPECT_EQ(bytes.substr(29, 8), std::string("\x03\x00\x00\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(bytes.substr(37, 8), std::string("\x00\x00\x00\x00\x00\x00\xF0\xBF", 8));  // -1.0
}

TEST(SurfaceFileTest, DamagedSurfaceFailsAloneAndCutShortTailIsNoSurface) {
    const std::filesystem::path path = scratchPath("damaged.pv");
    std::string bytes = fileOf({tetrahedron("a"), tetrahedron("b"), line()});
    const std::size_t second = pv::kHeaderSize + pv::encodeBlock(tetrahedron("a")).size();
    bytes[second + pv::kBlockHeaderSize + 5] ^= 0x40;  // a byte of the second body
    bytes.resize(bytes.size() - 1);                    // the third block cut short
    writeBytes(path, bytes);

    // The damaged second block and the cut third one are one damaged stretch.
    pv::File f;
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 2u);
    EXPECT_FALSE(f.endsCleanly());
    pv::Surface s;
    EXPECT_EQ(f.readSurface(0, s), Status::kOk);
    EXPECT_EQ(f.readSurface(1, s), Status::kDamaged);
    std::uint32_t v = 0, t = 0;
    EXPECT_EQ(f.readCounts(1, v, t), Status::kDamaged);
    EXPECT_EQ(f.readSurface(2, s), Status::kNoSuchSurface);
}

TEST(SurfaceFileTest, LyingLengthsCountAsOneDamagedSurfaceWithoutReadingPastTheFile) {
    const std::filesystem::path path = scratchPath("lying.pv");
    std::string bytes = fileOf({line(), line(), tetrahedron("c")});
    put32(bytes, pv::kHeaderSize + pv::encodeBlock(line()).size(), 0xFFFFFFF0u);
    writeBytes(path, bytes);
    pv::File f;
    ASSERT_EQ(f.open(path), Status::kOk);
    ASSERT_EQ(f.count(), 3u);
    pv::Surface s;
    EXPECT_EQ(f.readSurface(1, s), Status::kDamaged);
    // The walk finds its step again after the lie.
    ASSERT_EQ(f.readSurface(2, s), Status::kOk);
    EXPECT_EQ(s.name, "c");
}

// Whatever an interrupted append or a crash leaves at the end of a file is one surface that
// cannot be read, whatever its length, and the surfaces appended after it read.
TEST(SurfaceFileTest, TornOrZeroFilledTailIsOneDamagedSurface) {
    pv::Surface big = tetrahedron("big");
    for (int i = 0; i < 20; ++i) big.vertices.insert(big.vertices.end(), {1.0 * i, 2.0, 3.0});
    const std::string good = pv::encodeBlock(line()), torn = pv::encodeBlock(big);
    const std::string b = pv::encodeBlock(tetrahedron("b")), c = pv::encodeBlock(line());
    ASSERT_LT(b.size(), torn.size());

    std::vector<std::pair<std::string, std::string>> tails;
    for (std::size_t cut = 1; cut < torn.size(); ++cut)
        tails.push_back({"torn at " + std::to_string(cut), torn.substr(0, cut)});
    for (std::size_t zeros : {1, 7, 8, 18, 4096, 1 << 20})
        tails.push_back({std::to_string(zeros) + " zero bytes", std::string(zeros, '\0')});
    std::string flipped = torn;
    flipped[flipped.size() - 5] ^= 0x10;
    tails.push_back({"whole length, body damaged", flipped});
    tails.push_back({"two torn blocks", torn.substr(0, 100) + torn.substr(0, 40)});

    const std::vector<std::vector<std::string>> afterwards = {{}, {b}, {b, c}, {c, b, b}};
    for (const auto& [what, tail] : tails) {
        for (const auto& appended : afterwards) {
            std::string bytes = pv::encodeHeader() + good + good + tail;
            for (const std::string& block : appended) bytes += block;
            // A new file each time: rewriting one in place can make the file system flush it.
            const std::filesystem::path path = scratchPath("tail.pv");
            writeBytes(path, bytes);
            pv::File f;
            ASSERT_EQ(f.open(path), Status::kOk);
            ASSERT_EQ(f.count(), 3 + appended.size()) << what << ", " << appended.size();
            pv::Surface s;
            EXPECT_EQ(f.readSurface(2, s), Status::kDamaged) << what;
            for (std::size_t i = 0; i < f.count(); ++i) {
                if (i == 2) continue;
                ASSERT_EQ(f.readSurface(i, s), Status::kOk) << what << ", surface " << i;
                const std::string& expected = i < 2 ? good : appended[i - 3];
                EXPECT_EQ(pv::encodeBlock(s), expected) << what << ", surface " << i;
            }
        }
    }
}

// A stretch of the file that was never written (a hole, as a crash or a lying size can leave)
// counts once, and a surface appended after it reads.
TEST(SurfaceFileTest, HoleInTheFileIsOneDamagedSurface) {
    const std::filesystem::path path = scratchPath("hole.pv");
    ASSERT_EQ(pv::appendSurface(path, line()), Status::kOk);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) + (64u << 20));
    ASSERT_EQ(pv::appendSurface(path, tetrahedron("after")), Status::kOk);
    pv::File f;
    ASSERT_EQ(f.open(path), Status::kOk);
    ASSERT_EQ(f.count(), 3u);
    pv::Surface s;
    EXPECT_EQ(f.readSurface(1, s), Status::kDamaged);
    ASSERT_EQ(f.readSurface(2, s), Status::kOk);
    EXPECT_EQ(s.name, "after");
}

// Bodies whose CRC is right but whose contents cannot be a surface.
TEST(SurfaceFileTest, InconsistentBodiesAreRefused) {
    pv::Surface out = line();
    auto decode = [&out](const pv::Surface& s, auto&& mutate) {
        std::string block = pv::encodeBlock(s);
        std::string body = block.substr(pv::kBlockHeaderSize);
        mutate(body);
        return pv::decodeBody(
            std::span(reinterpret_cast<const unsigned char*>(body.data()), body.size()), out);
    };
    const pv::Surface tri = tetrahedron("t");
    // Vertex count claims more than the body holds.
    EXPECT_EQ(decode(tri, [](std::string& b) { put32(b, 3, 5); }), Status::kBadContents);
    // Counts far beyond any room.
    EXPECT_EQ(decode(tri, [](std::string& b) { put32(b, 3, 0x7FFFFFFF); }), Status::kTooLarge);
    // A triangle naming vertex 4 of 4.
    EXPECT_EQ(decode(tri, [](std::string& b) { put32(b, b.size() - 4, 4); }), Status::kBadContents);
    // A coordinate that is not a number.
    EXPECT_EQ(decode(tri,
                     [](std::string& b) {
                         for (int i = 0; i < 8; ++i) b[3 + 8 + i] = '\xFF';
                     }),
              Status::kBadContents);
    // Name length beyond the body, and a NUL inside the name.
    EXPECT_EQ(decode(tri, [](std::string& b) { b[0] = '\xF0'; }), Status::kBadContents);
    EXPECT_EQ(decode(tri, [](std::string& b) { b[2] = '\0'; }), Status::kBadContents);
    // A body shorter than its fixed part.
    EXPECT_EQ(decode(tri, [](std::string& b) { b.resize(6); }), Status::kBadContents);
    EXPECT_EQ(out.name, "cut");  // refused bodies leave the output alone
}

TEST(SurfaceFileTest, FilesOfAnotherKindAreNoSurfaceFiles) {
    pv::File f;
    EXPECT_EQ(f.open(scratchPath("missing.pv")), Status::kCannotOpen);
    const std::filesystem::path folder = scratchPath("folder.pv");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(f.open(folder), Status::kCannotOpen);
#if !defined(_WIN32)
    // A pipe without a writer: opening it must not wait for one.
    const std::filesystem::path pipe = scratchPath("pipe.pv");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(f.open(pipe), Status::kCannotOpen);
    EXPECT_NE(pv::appendSurface(pipe, line()), Status::kOk);
#endif
    const std::filesystem::path path = scratchPath("other.pv");
    writeBytes(path, "");
    EXPECT_EQ(f.open(path), Status::kNotSurfaceFile);
    writeBytes(path, "PVSURF\r\n");
    EXPECT_EQ(f.open(path), Status::kNotSurfaceFile);
    writeBytes(path, "Это не файл поверхностей, а просто текст.\n");
    EXPECT_EQ(f.open(path), Status::kNotSurfaceFile);
    // A version or header size that is wrong refuses a file with no whole block in it; one
    // with whole blocks is read past its damaged magic or version (no flipped bit of them costs
    // a surface), and nothing is appended to it.
    std::string bytes = fileOf({line()});
    bytes[8] = 2;
    bytes.resize(20);
    writeBytes(path, bytes);
    EXPECT_EQ(f.open(path), Status::kUnsupportedVersion);
    bytes = fileOf({line()});
    bytes[10] = 8;  // header size smaller than the header
    bytes.resize(20);
    writeBytes(path, bytes);
    EXPECT_EQ(f.open(path), Status::kNotSurfaceFile);
    const std::string good = fileOf({line(), tetrahedron("b")});
    // Magic, version and header size: a size flipped to another value inside the file is noticed
    // too (no whole block starts there, one starts after the 16 bytes).
    for (std::size_t bit = 0; bit < 8 * 12; ++bit) {
        bytes = good;
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        writeBytes(path, bytes);
        const Status opened = f.open(path);
        ASSERT_EQ(opened, Status::kOk) << bit;
        EXPECT_EQ(f.count(), 2u) << bit;
        pv::Surface s;
        EXPECT_EQ(f.readSurface(1, s), Status::kOk) << bit;
        EXPECT_TRUE(f.headerDamaged()) << bit;
        EXPECT_NE(pv::appendSurface(path, line()), Status::kOk) << bit;
    }
    writeBytes(path, pv::encodeHeader());
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 0u);
    // A header that a later version made longer (its size says so, a block starts there) is
    // read as it is and still takes appends.
    std::string longer = good;
    longer[10] = 24;
    longer.insert(16, 8, '\x7F');
    writeBytes(path, longer);
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 2u);
    EXPECT_FALSE(f.headerDamaged());
    EXPECT_EQ(pv::appendSurface(path, line()), Status::kOk);
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 3u);
}

// A flipped bit of the header size that lands on a block boundary: eight 128-byte blocks end at
// 16 + 1024, where a whole block starts too. Every surface is still counted, and the file takes no
// appends; a longer header that hides a whole block is reported and takes none either.
TEST(SurfaceFileTest, HeaderSizeOnABlockBoundaryCountsAsDamaged) {
    std::vector<pv::Surface> surfaces(11, line());
    for (std::size_t i = 0; i < surfaces.size(); ++i)
        surfaces[i].name = std::string(38, static_cast<char>('a' + i));
    ASSERT_EQ(pv::encodeBlock(surfaces[0]).size(), 128u);
    std::string bytes = fileOf(surfaces);
    bytes[11] = static_cast<char>(bytes[11] ^ 0x04);  // header size 16 -> 1040
    const std::filesystem::path path = scratchPath("flipped.pv");
    writeBytes(path, bytes);
    pv::File f;
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 11u);
    EXPECT_TRUE(f.headerDamaged());
    pv::Surface s;
    ASSERT_EQ(f.readSurface(0, s), Status::kOk);
    EXPECT_EQ(s.name, surfaces[0].name);
    EXPECT_NE(pv::appendSurface(path, line()), Status::kOk);
    EXPECT_EQ(readBytes(path), bytes);

    // A stated header of 16 + 128 + 8 bytes: one whole block and 8 other bytes lie in it.
    std::string hiding = fileOf({surfaces[0], surfaces[1]});
    hiding.insert(pv::kHeaderSize + 128, 8, '\x7F');
    hiding[10] = static_cast<char>(pv::kHeaderSize + 136);
    writeBytes(path, hiding);
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 1u);
    EXPECT_EQ(f.uncountedSurfaces(), 1u);
    EXPECT_NE(pv::appendSurface(path, line()), Status::kOk);
}

TEST(SurfaceFileTest, AppendingCreatesExtendsAndRefusesWhatItCannotExtendSafely) {
    const std::filesystem::path path = scratchPath("Поверхности датчика.pv");
    ASSERT_EQ(pv::appendSurface(path, line()), Status::kOk);
    ASSERT_EQ(pv::appendSurface(path, tetrahedron("b")), Status::kOk);
    pv::File f;
    ASSERT_EQ(f.open(path), Status::kOk);
    EXPECT_EQ(f.count(), 2u);
    pv::Surface s;
    ASSERT_EQ(f.readSurface(1, s), Status::kOk);
    EXPECT_EQ(s.name, "b");

    // A torn tail stays one damaged surface, and the surface appended after it reads.
    const std::string before = readBytes(path);
    std::string cut = before;
    cut.resize(cut.size() - 3);
    writeBytes(path, cut);
    ASSERT_EQ(pv::appendSurface(path, tetrahedron("c")), Status::kOk);
    EXPECT_EQ(readBytes(path).substr(0, cut.size()), cut);
    ASSERT_EQ(f.open(path), Status::kOk);
    ASSERT_EQ(f.count(), 3u);
    EXPECT_EQ(f.readSurface(1, s), Status::kDamaged);
    ASSERT_EQ(f.readSurface(2, s), Status::kOk);
    EXPECT_EQ(s.name, "c");

    writeBytes(path, "text");
    EXPECT_EQ(pv::appendSurface(path, line()), Status::kNotSurfaceFile);
    EXPECT_EQ(readBytes(path), "text");

    pv::Surface bad = line();
    bad.triangles = {0, 1, 3};
    EXPECT_EQ(pv::appendSurface(scratchPath("bad.pv"), bad), Status::kBadContents);
    bad = line();
    bad.name = std::string(256, 'x');
    EXPECT_EQ(pv::check(bad), Status::kBadContents);
    bad.name = std::string("a\0b", 3);
    EXPECT_EQ(pv::check(bad), Status::kBadContents);
    bad = line();
    bad.vertices.push_back(1);
    EXPECT_EQ(pv::check(bad), Status::kBadContents);
    bad = line();
    bad.vertices[4] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(pv::check(bad), Status::kBadContents);
}

}  // namespace

#include "suite/probestore/probe_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/cp1251.h"
#include "platform/crc32.h"
#include "suite/probestore/probe_file_cache.h"
#include "suite/probestore/record_store.h"
#include "tests/suite/probestore/test_texts.h"

namespace fs = std::filesystem;
using probestore::ProbeFiles;
using probestore::RecordStore;
using probestore_test::lineOf;
using probestore_test::Lines;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::string cp(const char* utf8) {
    return platform::utf8ToCp1251(utf8);
}

class ProbeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        dir_ = fs::temp_directory_path() /
               ("probestore_test_" + std::to_string(std::random_device{}()) + "_" +
                std::to_string(serial++));
        fs::create_directories(dir_);
        ASSERT_TRUE(store_.allocate(1, kProbeRecordSize32));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    void setText(Stroka& field, const std::string& value) {
        Lines l{{value}};
        ASSERT_TRUE(store_.texts().createTextCell(&field, lineOf, &l));
    }
    void setList(Spisok& field, std::vector<std::string> lines) {
        Lines l{std::move(lines)};
        ASSERT_TRUE(store_.texts().createListCell(&field, lineOf,
                                                  static_cast<std::uint32_t>(l.lines.size()), &l));
    }

    // A probe with every kind of field filled, reserved bytes included.
    ProbeRecord& fullProbe(int variant) {
        EXPECT_TRUE(store_.selectIndex(0));
        store_.resetSelected();
        ProbeRecord& r = *store_.selected();
        for (auto* range : {r.reserved0, r.reserved1, r.reserved2, r.reserved3})
            for (int i = 0; i < 80 && (range != r.reserved0 || i < 8); ++i)
                range[i] = static_cast<std::uint8_t>(i * 7 + variant);
        for (int i = 0; i < 84; ++i) r.reserved4[i] = static_cast<std::uint8_t>(255 - i);
        r.Piezoelementi = 0x15A5u;
        r.Fokusirovka = 0x1F5u;
        r.Otklonenie = 0x21u;
        r.Skanirovanie = 0x1Fu;
        setList(r.Obrabotka, {cp("Фильтрация"), cp("Усреднение")});
        setText(r.Proizvoditel, cp("Завод «Эхо»"));
        setText(r.Model, cp("П111-2,5-К12-") + std::to_string(variant));
        setText(r.Nazvanie, cp("Прямой совмещённый"));
        r.Cena = -12345 - variant;
        setList(r.Pribori, {cp("УД2-12"), "", cp("Дефектоскоп А1212")});
        r.Data = 46000.5;
        r.RKIP1 = 0.05;
        r.RKIP2 = -1e-300;
        r.TP = 4.2e-4;
        r.OCHIP = 2.5e6;
        setList(r.Parametri, {cp("<демпфер = эпоксид>")});
        r.MU = 12.75;
        setText(r.IFsP, "probe_surfaces.pv");
        setText(r.IIP, cp("Излучающая поверхность"));
        setText(r.IIIP, cp("Индикатриса направленности"));
        r.MasshtabProstranstva = -3;
        return r;
    }

    Bytes fileBytes(const std::string& p) const {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void writeBytes(const std::string& p, const Bytes& b) const {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    bool save(ProbeFiles& files, const std::string& p) {
        return files.append(p.c_str(),
                            probestore::encodeRecord(*store_.selected(), &store_.texts()));
    }
    bool loadsAt(ProbeFiles& files, const std::string& p, std::uint32_t n) {
        ProbeRecord out;
        const bool ok = files.load(p.c_str(), n, store_.texts(), out);
        store_.texts().releaseRecordTexts(out);
        return ok;
    }

    fs::path dir_;
    RecordStore store_;
};

TEST_F(ProbeFileTest, RecordWithCyrillicTextsAndListsRoundTripsEveryByte) {
    ProbeFiles files;
    const std::string p = path("round.dt");
    const ProbeRecord& original = fullProbe(1);
    ASSERT_TRUE(save(files, p));
    const Bytes encoded = probestore::encodeRecord(original);
    ASSERT_EQ(files.count(p.c_str()), 1u);

    ProbeRecord back;
    ASSERT_TRUE(files.load(p.c_str(), 0, store_.texts(), back));
    EXPECT_EQ(probestore::encodeRecord(back), encoded);
    EXPECT_EQ(0, std::memcmp(back.reserved0, original.reserved0, 8));
    EXPECT_EQ(0, std::memcmp(back.reserved4, original.reserved4, 84));
    EXPECT_STREQ(back.Nazvanie.text, original.Nazvanie.text);
    ASSERT_EQ(back.Pribori.count, 3u);
    EXPECT_STREQ(back.Pribori.lines[1], "");  // an empty line stays a line
    EXPECT_STREQ(back.Pribori.lines[2], original.Pribori.lines[2]);
    EXPECT_EQ(back.RKIP2, -1e-300);
    EXPECT_EQ(back.Cena, -12346);
    EXPECT_EQ(back.IIPP.text, nullptr);  // empty texts load as null cells
    store_.texts().releaseRecordTexts(back);
}

TEST_F(ProbeFileTest, EncodingPutsFieldsAtTheDocumentedPayloadOffsets) {
    ProbeRecord r;
    RecordStore::zeroFill(r);
    EXPECT_EQ(probestore::encodeRecord(r).size(), 444u);  // a record with no texts or lines

    r.Piezoelementi = 0x04030201u;
    r.Cena = -2;
    r.OCHIP = 1.0;  // 0x3FF0000000000000
    r.MasshtabProstranstva = 6;
    r.reserved4[83] = 0xAB;
    const Bytes b = probestore::encodeRecord(r);
    EXPECT_EQ((Bytes{b.begin() + 8, b.begin() + 12}), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ((Bytes{b.begin() + 120, b.begin() + 124}), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((Bytes{b.begin() + 240, b.begin() + 248}), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ((Bytes{b.begin() + 356, b.begin() + 360}), (Bytes{6, 0, 0, 0}));
    EXPECT_EQ(b.back(), 0xAB);
}

// A reader written from docs/probe_file_format.md alone reads what the store writes.
TEST_F(ProbeFileTest, FileReadsBackWithAReaderWrittenFromTheFormatDescription) {
    ProbeFiles files;
    const std::string p = path("documented.dt");
    fullProbe(0);
    ASSERT_TRUE(save(files, p));
    const ProbeRecord& r = *store_.selected();
    const Bytes b = fileBytes(p);

    std::size_t at = 0;
    auto u32 = [&b, &at] {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{b.at(at + i)} << (8 * i);
        at += 4;
        return v;
    };
    auto u64 = [&u32] {
        const std::uint64_t lo = u32();
        return lo | std::uint64_t{u32()} << 32;
    };
    auto text = [&b, &at, &u32] {
        const std::uint32_t n = u32();
        std::string t(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
        at += n;
        return t;
    };
    auto list = [&u32, &text] {
        std::vector<std::string> lines(u32());
        for (auto& line : lines) line = text();
        return lines;
    };
    auto raw = [&b, &at](const std::uint8_t* expected, std::size_t n) {
        const bool same = std::equal(expected, expected + n, b.begin() + static_cast<long>(at));
        at += n;
        return same;
    };
    auto crcOf = [&b](std::size_t from, std::size_t n) {
        return static_cast<std::uint32_t>(crc32(0, b.data() + from, static_cast<uInt>(n)));
    };
    auto lines = [](const Spisok& l) {
        return std::vector<std::string>(l.lines, l.lines + l.count);
    };
    auto str = [](const Stroka& s) { return std::string(s.text != nullptr ? s.text : ""); };

    // File header.
    ASSERT_EQ(std::string(b.begin(), b.begin() + 8), "DATCHIKI");
    at = 8;
    EXPECT_EQ(u32(), 1u);  // major 1, minor 0
    const std::uint32_t headerSize = u32();
    EXPECT_EQ(headerSize, 24u);
    EXPECT_EQ(u32(), 0u);
    EXPECT_EQ(u32(), crcOf(0, 20));
    // Frame header.
    at = headerSize;
    ASSERT_EQ(std::string(b.begin() + at, b.begin() + at + 4), "ZAPS");
    at += 4;
    const std::uint32_t payloadSize = u32();
    const std::uint32_t payloadCrc = u32();
    EXPECT_EQ(u32(), crcOf(headerSize, 12));
    ASSERT_EQ(b.size(), at + payloadSize);
    EXPECT_EQ(payloadCrc, crcOf(at, payloadSize));
    // Payload, field by field.
    EXPECT_TRUE(raw(r.reserved0, 8));
    EXPECT_EQ(u32(), r.Piezoelementi);
    EXPECT_EQ(u32(), r.Fokusirovka);
    EXPECT_EQ(u32(), r.Otklonenie);
    EXPECT_EQ(u32(), r.Skanirovanie);
    EXPECT_EQ(list(), lines(r.Obrabotka));
    EXPECT_TRUE(raw(r.reserved1, 80));
    EXPECT_EQ(text(), str(r.Proizvoditel));
    EXPECT_EQ(text(), str(r.Model));
    EXPECT_EQ(text(), str(r.Nazvanie));
    EXPECT_EQ(static_cast<std::int32_t>(u32()), r.Cena);
    EXPECT_EQ(list(), lines(r.Pribori));
    EXPECT_EQ(std::bit_cast<double>(u64()), r.Data);
    EXPECT_TRUE(raw(r.reserved2, 80));
    for (double field : {r.RKIP1, r.RKIP2, r.TP, r.OCHIP})
        EXPECT_EQ(std::bit_cast<double>(u64()), field);
    EXPECT_EQ(list(), lines(r.Parametri));
    EXPECT_EQ(std::bit_cast<double>(u64()), r.MU);
    EXPECT_TRUE(raw(r.reserved3, 80));
    for (const Stroka* s : {&r.IFsP, &r.IIP, &r.IIIP, &r.IIPP}) EXPECT_EQ(text(), str(*s));
    EXPECT_EQ(static_cast<std::int32_t>(u32()), r.MasshtabProstranstva);
    EXPECT_TRUE(raw(r.reserved4, 84));
    EXPECT_EQ(at, b.size());
}

TEST_F(ProbeFileTest, AppendsCreateTheFileAndPreserveEarlierRecordsByteForByte) {
    ProbeFiles files;
    const std::string p = path("append.dt");
    fullProbe(1);
    ASSERT_TRUE(save(files, p));
    const Bytes first = fileBytes(p);
    EXPECT_EQ(0, std::memcmp(first.data(), "DATCHIKI", 8));
    fullProbe(2);
    ASSERT_TRUE(save(files, p));
    const Bytes second = fileBytes(p);
    ASSERT_GT(second.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), second.begin()));
    EXPECT_EQ(files.count(p.c_str()), 2u);

    // An empty file is taken as a new one: it gets the header and the record.
    const std::string empty = path("empty.dt");
    writeBytes(empty, {});
    EXPECT_EQ(files.count(empty.c_str()), 0u);
    ASSERT_TRUE(save(files, empty));
    EXPECT_EQ(files.count(empty.c_str()), 1u);
    EXPECT_EQ(fileBytes(empty).size(), second.size() - first.size() + 24);
}

TEST_F(ProbeFileTest, DamagedRecordFailsAloneWhileItsNeighboursLoad) {
    ProbeFiles files;
    const std::string p = path("damaged.dt");
    std::vector<std::uint64_t> starts;
    for (int i = 0; i < 3; ++i) {
        fullProbe(i);
        starts.push_back(fs::exists(p) ? fs::file_size(p) : 24);
        ASSERT_TRUE(save(files, p));
    }
    const Bytes good = fileBytes(p);
    // A flipped byte inside record 1's payload, then one in record 1's length.
    for (std::uint64_t offset : {starts[1] + 16 + 130, starts[1] + 5}) {
        Bytes bad = good;
        bad[offset] ^= 0x40;
        writeBytes(p, bad);
        ASSERT_EQ(files.count(p.c_str()), 3u) << offset;
        EXPECT_TRUE(loadsAt(files, p, 0));
        EXPECT_FALSE(loadsAt(files, p, 1));
        EXPECT_TRUE(loadsAt(files, p, 2));
        EXPECT_FALSE(loadsAt(files, p, 3));
    }
}

TEST_F(ProbeFileTest, InterruptedAppendSpoilsOnlyTheRecordBeingWritten) {
    ProbeFiles files;
    const std::string p = path("torn.dt");
    fullProbe(0);
    ASSERT_TRUE(save(files, p));
    ASSERT_TRUE(save(files, p));
    const Bytes frame = probestore::encodeFrame(probestore::encodeRecord(*store_.selected()));
    for (std::size_t cut : {std::size_t{7}, std::size_t{16}, frame.size() / 2}) {
        Bytes torn = fileBytes(p);
        torn.insert(torn.end(), frame.begin(), frame.begin() + static_cast<long>(cut));
        const std::string q = path(("torn_" + std::to_string(cut) + ".dt").c_str());
        writeBytes(q, torn);
        ASSERT_EQ(files.count(q.c_str()), 3u) << cut;
        EXPECT_FALSE(loadsAt(files, q, 2));
        // The next append after the torn one loads again.
        ASSERT_TRUE(save(files, q));
        ASSERT_EQ(files.count(q.c_str()), 4u) << cut;
        EXPECT_TRUE(loadsAt(files, q, 1));
        EXPECT_FALSE(loadsAt(files, q, 2));
        EXPECT_TRUE(loadsAt(files, q, 3));
    }
}

// Whatever an interrupted append or a crash leaves at the end of a file costs one record, and
// the records appended after it load, whatever the tear length: also when the torn frame claims
// to end exactly where a later record ends or begins.
TEST_F(ProbeFileTest, TornOrZeroFilledTailCostsOnlyItself) {
    auto frameOf = [this](int variant, int lines) {
        fullProbe(variant);
        std::vector<std::string> many;
        for (int i = 0; i < lines; ++i) many.push_back(cp("Параметр ") + std::to_string(i));
        setList(store_.selected()->Parametri, many);
        return probestore::encodeFrame(
            probestore::encodeRecord(*store_.selected(), &store_.texts()));
    };
    const Bytes good = frameOf(1, 0), torn = frameOf(2, 40), b = frameOf(3, 2), c = frameOf(4, 9);
    ASSERT_LT(b.size(), torn.size());

    std::vector<std::pair<std::string, Bytes>> tails;
    for (std::size_t cut = 1; cut < torn.size(); ++cut)
        tails.push_back(
            {"torn at " + std::to_string(cut), Bytes(torn.begin(), torn.begin() + cut)});
    for (std::size_t zeros : {1, 15, 16, 17, 4096})
        tails.push_back({std::to_string(zeros) + " zero bytes", Bytes(zeros, 0)});
    Bytes flipped = torn;
    flipped[flipped.size() - 7] ^= 0x10;
    tails.push_back({"whole length, payload damaged", flipped});
    tails.push_back({"two torn frames", Bytes(torn.begin(), torn.begin() + 100)});
    tails.back().second.insert(tails.back().second.end(), torn.begin(), torn.begin() + 40);

    const std::vector<std::vector<Bytes>> afterwards = {{}, {b}, {b, c}, {c, b, b}};
    for (const auto& [what, tail] : tails) {
        for (const auto& appended : afterwards) {
            Bytes file = probestore::encodeFileHeader();
            for (const Bytes* part : {&good, &good, &tail})
                file.insert(file.end(), part->begin(), part->end());
            for (const Bytes& frame : appended) file.insert(file.end(), frame.begin(), frame.end());
            probestore::MemorySource source(file.data(), file.size());
            std::vector<probestore::RecordEntry> entries;
            ASSERT_TRUE(probestore::scanRecords(source, entries));
            ASSERT_EQ(entries.size(), 3 + appended.size()) << what << ", " << appended.size();
            for (std::size_t i = 0; i < entries.size(); ++i) {
                ProbeRecord out;
                if (i == 2) {
                    EXPECT_FALSE(probestore::loadEntry(source, entries[i], store_.texts(), out))
                        << what;
                    continue;
                }
                const Bytes& expected = i < 2 ? good : appended[i - 3];
                ASSERT_TRUE(probestore::loadEntry(source, entries[i], store_.texts(), out))
                    << what << ", record " << i;
                EXPECT_EQ(probestore::encodeFrame(probestore::encodeRecord(out)), expected)
                    << what << ", record " << i;
                store_.texts().releaseRecordTexts(out);
            }
        }
    }
}

// A file rewritten in place with the same size and the same modification time, as on file
// systems that keep whole seconds, is read as it is now at the next count and load.
TEST_F(ProbeFileTest, SameSizeRewriteBehindAnUnchangedTimeIsNotServedStale) {
    ProbeFiles files;
    const std::string p = path("rewritten.dt");
    fullProbe(1);
    const Bytes first = probestore::encodeFrame(probestore::encodeRecord(*store_.selected()));
    fullProbe(2);
    const Bytes second = probestore::encodeFrame(probestore::encodeRecord(*store_.selected()));
    ASSERT_EQ(first.size(), second.size());
    Bytes file = probestore::encodeFileHeader();
    for (const Bytes* f : {&first, &second}) file.insert(file.end(), f->begin(), f->end());
    writeBytes(p, file);
    ASSERT_EQ(files.count(p.c_str()), 2u);
    ProbeRecord out;
    ASSERT_TRUE(files.load(p.c_str(), 0, store_.texts(), out));
    EXPECT_EQ(probestore::encodeFrame(probestore::encodeRecord(out)), first);
    store_.texts().releaseRecordTexts(out);

    // The records exchanged, written over the same bytes, the old time put back.
    const auto modified = fs::last_write_time(p);
    Bytes swapped = probestore::encodeFileHeader();
    for (const Bytes* f : {&second, &first}) swapped.insert(swapped.end(), f->begin(), f->end());
    {
        std::fstream inPlace(p, std::ios::binary | std::ios::in | std::ios::out);
        inPlace.write(reinterpret_cast<const char*>(swapped.data()),
                      static_cast<std::streamsize>(swapped.size()));
    }
    fs::last_write_time(p, modified);
    for (std::uint32_t i : {0u, 1u}) {
        ASSERT_TRUE(files.load(p.c_str(), i, store_.texts(), out));
        EXPECT_EQ(probestore::encodeFrame(probestore::encodeRecord(out)), i == 0 ? second : first);
        store_.texts().releaseRecordTexts(out);
    }
    EXPECT_EQ(files.count(p.c_str()), 2u);
}

TEST_F(ProbeFileTest, FilesThatAreNotProbeFilesCountZeroAndAreNeverAppendedTo) {
    ProbeFiles files;
    fullProbe(0);
    const std::string p = path("good.dt");
    ASSERT_TRUE(save(files, p));
    const Bytes good = fileBytes(p);

    std::vector<std::pair<std::string, Bytes>> cases;
    cases.push_back({"text.dt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}});
    // A header as written (its CRC made to hold) of another major version, or claiming more
    // bytes than the file has.
    auto rewritten = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        const std::uint32_t c = static_cast<std::uint32_t>(crc32(0, b.data(), 20));
        for (int i = 0; i < 4; ++i) b[20 + i] = static_cast<std::uint8_t>(c >> (8 * i));
        return b;
    };
    cases.push_back({"major2.dt", rewritten(8, 2)});
    cases.push_back({"lying_size.dt", rewritten(13, 0xFF)});
    Bytes noFrame = good;
    noFrame[0] ^= 1;
    noFrame[24] ^= 1;  // a damaged header and no frame that checks
    cases.push_back({"no_frame.dt", noFrame});
    for (const auto& [name, bytes] : cases) {
        const std::string q = path(name.c_str());
        writeBytes(q, bytes);
        EXPECT_EQ(files.count(q.c_str()), 0u) << name;
        EXPECT_FALSE(loadsAt(files, q, 0)) << name;
        EXPECT_FALSE(save(files, q)) << name;
        EXPECT_EQ(fileBytes(q), bytes) << name;
    }

    // A damaged header (any flipped bit of it) costs no record: the frames are read past it, but
    // nothing is appended to such a file.
    for (std::size_t bit = 0; bit < 8 * probestore::kFileHeaderSize; bit += 7) {
        Bytes flipped = good;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        const std::string q = path("flipped_header.dt");
        writeBytes(q, flipped);
        EXPECT_EQ(files.count(q.c_str()), 1u) << bit;
        EXPECT_TRUE(loadsAt(files, q, 0)) << bit;
        EXPECT_FALSE(save(files, q)) << bit;
        EXPECT_EQ(fileBytes(q), flipped) << bit;
    }

    // A new file's header cut short or still zero (a crash before it reached the disk whole)
    // holds nothing and is begun again; a longer file starting so is left alone.
    const Bytes header = probestore::encodeFileHeader();
    for (const Bytes& torn :
         {Bytes(header.begin(), header.begin() + 10), Bytes(24, 0), Bytes{'D', 'A', 0, 0, 'H'}}) {
        const std::string q = path("torn_header.dt");
        writeBytes(q, torn);
        EXPECT_EQ(files.count(q.c_str()), 0u);
        ASSERT_TRUE(save(files, q));
        EXPECT_EQ(files.count(q.c_str()), 1u);
        EXPECT_TRUE(loadsAt(files, q, 0));
    }
    const std::string zeros = path("zeros.dt");
    writeBytes(zeros, Bytes(25, 0));
    EXPECT_FALSE(save(files, zeros));
    EXPECT_EQ(fileBytes(zeros), Bytes(25, 0));

    EXPECT_EQ(files.count(dir_.string().c_str()), 0u);
    EXPECT_FALSE(loadsAt(files, dir_.string(), 0));
    EXPECT_FALSE(save(files, dir_.string()));
    EXPECT_EQ(files.count(path("missing.dt").c_str()), 0u);
    EXPECT_FALSE(save(files, path("no_such_dir/x.dt")));
    EXPECT_EQ(files.count(""), 0u);
}

TEST_F(ProbeFileTest, TruncatedFileLosesOnlyItsLastRecord) {
    ProbeFiles files;
    const std::string p = path("cut.dt");
    fullProbe(0);
    ASSERT_TRUE(save(files, p));
    ASSERT_TRUE(save(files, p));
    const Bytes good = fileBytes(p);
    for (std::size_t cut = 1; cut < good.size() / 2 - 12; cut += 37) {
        writeBytes(p, Bytes(good.begin(), good.end() - static_cast<long>(cut)));
        ASSERT_EQ(files.count(p.c_str()), 2u) << cut;
        EXPECT_TRUE(loadsAt(files, p, 0)) << cut;
        EXPECT_FALSE(loadsAt(files, p, 1)) << cut;
    }
}

TEST_F(ProbeFileTest, IndexFollowsChangesMadeByOtherWriters) {
    ProbeFiles files;
    const std::string p = path("changing.dt");
    fullProbe(0);
    ASSERT_TRUE(save(files, p));
    ASSERT_EQ(files.count(p.c_str()), 1u);

    // Another program appends a record.
    Bytes bytes = fileBytes(p);
    const Bytes frame = probestore::encodeFrame(probestore::encodeRecord(*store_.selected()));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    writeBytes(p, bytes);
    EXPECT_EQ(files.count(p.c_str()), 2u);
    EXPECT_TRUE(loadsAt(files, p, 1));

    // Another program rewrites a record in place, keeping the size: the next load notices.
    bytes[bytes.size() - 3] ^= 0x20;
    writeBytes(p, bytes);
    EXPECT_FALSE(loadsAt(files, p, 1));
    EXPECT_TRUE(loadsAt(files, p, 0));

    // Another file moved into its place.
    fs::rename(p, path("old.dt"));
    ASSERT_TRUE(save(files, p));
    EXPECT_EQ(files.count(p.c_str()), 1u);
    EXPECT_EQ(files.count(path("old.dt").c_str()), 2u);
    // ... also by another program, while the old one is still open here.
    const Bytes single = fileBytes(p);
    writeBytes(path("new.dt"), bytes);
    fs::rename(path("new.dt"), p);
    EXPECT_EQ(files.count(p.c_str()), 2u);
    writeBytes(path("new.dt"), single);
    fs::rename(path("new.dt"), p);
    EXPECT_EQ(files.count(p.c_str()), 1u);
    EXPECT_FALSE(loadsAt(files, p, 1));
}

TEST_F(ProbeFileTest, OverlappingFramesCraftedToForceChecksumsAreWalkedInLinearTime) {
    // Every 16 bytes a valid frame header whose payload claims almost the rest of the file and
    // whose end lands on no frame: without a bound each would be checksummed, O(size^2).
    constexpr std::size_t kFrames = 1 << 16;
    Bytes file = probestore::encodeFileHeader();
    const std::size_t end = file.size() + kFrames * 16 + 64;
    for (std::size_t i = 0; i < kFrames; ++i) {
        const std::size_t at = file.size();
        Bytes frame = probestore::encodeFrame(Bytes(1, 0));
        frame.resize(16);
        const std::uint32_t claim = static_cast<std::uint32_t>(end - at - 16 - 20);
        for (int b = 0; b < 4; ++b) frame[4 + b] = static_cast<std::uint8_t>(claim >> (8 * b));
        const std::uint32_t check = static_cast<std::uint32_t>(crc32(0, frame.data(), 12));
        for (int b = 0; b < 4; ++b) frame[12 + b] = static_cast<std::uint8_t>(check >> (8 * b));
        file.insert(file.end(), frame.begin(), frame.end());
    }
    file.resize(end, 0);
    probestore::MemorySource source(file.data(), file.size());
    std::vector<probestore::RecordEntry> entries;
    ASSERT_TRUE(probestore::scanRecords(source, entries));
    EXPECT_GE(entries.size(), 1u);
    for (const auto& e : entries) EXPECT_TRUE(e.damaged);
}

// 48 MiB of frame headers that each claim the 64 bytes after them spend the checksum budget;
// the genuine records behind them are still decided by their checksums, and a frame with a wrong
// payload after the budget is spent still counts as damaged.
TEST_F(ProbeFileTest, GenuineRecordsBehindCraftedHeadersAreDecidedExactly) {
    Bytes crafted = probestore::encodeFileHeader();
    std::uint8_t h[16] = {'Z', 'A', 'P', 'S', 64, 0, 0, 0, 0x78, 0x56, 0x34, 0x12};
    const std::uint32_t hcrc = platform::crc32Of(h, 12);
    for (int i = 0; i < 4; ++i) h[12 + i] = static_cast<std::uint8_t>(hcrc >> (8 * i));
    for (std::size_t i = 0; i < (48u << 20) / 16; ++i) crafted.insert(crafted.end(), h, h + 16);
    ProbeRecord r;
    RecordStore::zeroFill(r);
    r.Cena = 7;
    const Bytes genuine = probestore::encodeFrame(probestore::encodeRecord(r));
    Bytes spoiled = genuine;
    spoiled.back() ^= 1;
    // The last frame of a file is decided by its checksum: genuine, or spoiled.
    const Bytes* const lasts[] = {&genuine, &spoiled};
    for (const Bytes* last : lasts) {
        Bytes file = crafted;
        file.insert(file.end(), last->begin(), last->end());
        probestore::MemorySource source(file.data(), file.size());
        std::vector<probestore::RecordEntry> entries;
        ASSERT_TRUE(probestore::scanRecords(source, entries));
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().damaged, last == &spoiled);
        if (last == &spoiled) continue;
        ASSERT_GE(entries.size(), 2u);
        EXPECT_EQ(entries.back().offset, file.size() - genuine.size());
        ProbeRecord loaded;
        ASSERT_TRUE(probestore::loadEntry(source, entries.back(), store_.texts(), loaded));
        EXPECT_EQ(loaded.Cena, 7);
        store_.texts().releaseRecordTexts(loaded);
    }
}

TEST_F(ProbeFileTest, PayloadDecoderRejectsLiesWithoutAllocatingByThem) {
    fullProbe(0);
    const Bytes good = probestore::encodeRecord(*store_.selected());
    const std::size_t live = store_.texts().liveBlocks();
    ProbeRecord out;
    for (std::size_t cut = 0; cut < good.size(); cut += 13) {
        EXPECT_FALSE(probestore::decodeRecord(good.data(), cut, store_.texts(), out)) << cut;
        EXPECT_EQ(store_.texts().liveBlocks(), live);
    }
    Bytes hugeList = good;
    hugeList[24] = hugeList[25] = hugeList[26] = hugeList[27] = 0xFF;  // Obrabotka's line count
    EXPECT_FALSE(probestore::decodeRecord(hugeList.data(), hugeList.size(), store_.texts(), out));
    // The manufacturer's text follows two 10-letter preprocessing lines and reserved1.
    Bytes nulInText = good;
    const std::size_t manufacturer = 24 + 4 + 14 + 14 + 80;
    ASSERT_EQ(nulInText[manufacturer], 11);  // "Завод «Эхо»" in cp1251
    nulInText[manufacturer + 5] = 0;
    EXPECT_FALSE(probestore::decodeRecord(nulInText.data(), nulInText.size(), store_.texts(), out));
    EXPECT_TRUE(probestore::decodeRecord(good.data(), good.size(), store_.texts(), out));
    store_.texts().releaseRecordTexts(out);
    EXPECT_EQ(store_.texts().liveBlocks(), live);
}

}  // namespace

namespace {

// Reading ahead, holes and frame headers checked from tables.

// Frame headers are checked from tables: every value of every byte after the magic, and random
// headers, are taken exactly when zlib's checksum of their first 12 bytes is the one they carry;
// any single flipped bit is refused.
TEST(FrameHeaderTest, TablesAgreeWithTheChecksumForEveryByteValueAndRefuseEveryFlippedBit) {
    std::mt19937 random(22);
    auto header = [&](int at, int value) {
        Bytes h(16);
        std::memcpy(h.data(), "ZAPS", 4);
        for (int i = 4; i < 12; ++i) h[i] = static_cast<std::uint8_t>(random());
        if (at >= 0) h[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value);
        const auto c = static_cast<std::uint32_t>(crc32(0, h.data(), 12));
        for (int i = 0; i < 4; ++i) h[12 + i] = static_cast<std::uint8_t>(c >> (8 * i));
        return h;
    };
    for (int at = 4; at < 12; ++at)
        for (int value = 0; value < 256; ++value)
            ASSERT_TRUE(probestore::frameHeaderIntact(header(at, value).data())) << at << value;
    for (int round = 0; round < 2000; ++round) {
        Bytes h = header(-1, 0);
        ASSERT_TRUE(probestore::frameHeaderIntact(h.data()));
        const std::size_t bit = random() % 128;
        h[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_FALSE(probestore::frameHeaderIntact(h.data())) << bit;
    }
}

}  // namespace

// Loads going forward read the file ahead, but bytes older than the read-ahead age are not
// served again: a record rewritten in place (same size, the old time put back) then loads as it
// is now.
TEST_F(ProbeFileTest, ForwardLoadsReadAheadButNotPastTheReadAheadAge) {
    ProbeFiles files;
    const std::string p = path("ahead.dt");
    std::vector<Bytes> frames;
    for (int v = 0; v < 4; ++v) {
        fullProbe(v);
        frames.push_back(probestore::encodeFrame(probestore::encodeRecord(*store_.selected())));
    }
    Bytes file = probestore::encodeFileHeader();
    for (const Bytes& f : frames) file.insert(file.end(), f.begin(), f.end());
    writeBytes(p, file);
    ASSERT_EQ(files.count(p.c_str()), 4u);
    const auto loaded = [&](std::uint32_t n) {
        ProbeRecord out;
        EXPECT_TRUE(files.load(p.c_str(), n, store_.texts(), out)) << n;
        Bytes b = probestore::encodeFrame(probestore::encodeRecord(out));
        store_.texts().releaseRecordTexts(out);
        return b;
    };
    EXPECT_EQ(loaded(0), frames[0]);
    EXPECT_EQ(loaded(1), frames[1]);  // the window read for it holds records 1 to 3

    const auto modified = fs::last_write_time(p);
    const std::size_t at3 = file.size() - frames[3].size();
    std::copy(frames[2].begin(), frames[2].end(), file.begin() + static_cast<long>(at3));
    {
        std::fstream inPlace(p, std::ios::binary | std::ios::in | std::ios::out);
        inPlace.write(reinterpret_cast<const char*>(file.data()),
                      static_cast<std::streamsize>(file.size()));
    }
    fs::last_write_time(p, modified);
    std::this_thread::sleep_for(3 * ProbeFiles::kReadAheadAge);
    EXPECT_EQ(loaded(3), frames[2]);
}

// A sparse file: records before, between and after holes of several blocks. The walk skips each
// hole by asking where data starts again and loads every record past it.
TEST_F(ProbeFileTest, RecordsBetweenHolesAreFoundAndLoad) {
    const std::string p = path("sparse.dt");
    fullProbe(1);
    const Bytes frame = probestore::encodeFrame(probestore::encodeRecord(*store_.selected()));
    {
        Bytes head = probestore::encodeFileHeader();
        head.insert(head.end(), frame.begin(), frame.end());
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(head.data()),
                  static_cast<std::streamsize>(head.size()));
        for (long hole : {3L << 20, (5L << 20) + 123}) {
            out.seekp(hole, std::ios::cur);
            out.write(reinterpret_cast<const char*>(frame.data()),
                      static_cast<std::streamsize>(frame.size()));
            out.write(reinterpret_cast<const char*>(frame.data()),
                      static_cast<std::streamsize>(frame.size()));
        }
    }
    ProbeFiles files;
    // frame, hole, frame, frame, hole, frame, frame: each hole is one damaged record.
    ASSERT_EQ(files.count(p.c_str()), 7u);
    for (std::uint32_t n = 0; n < 7; ++n) EXPECT_EQ(loadsAt(files, p, n), n != 1 && n != 4) << n;
}

// The file reader walks a file through a window that moves; the same walk over the bytes in
// memory is the reference. Files of several MiB (many window moves) made of records, runs of the
// frame magic, frame headers inside payloads and damaged bytes count and load alike both ways.
TEST_F(ProbeFileTest, FileWalkAgreesWithTheWalkInMemoryAcrossWindowMoves) {
    std::mt19937 random(2222);
    for (int round = 0; round < 3; ++round) {
        Bytes file = probestore::encodeFileHeader();
        while (file.size() < (std::size_t{3} << 20)) {
            Bytes payload(static_cast<std::size_t>(random() % 3000));
            for (auto& b : payload)
                b = static_cast<std::uint8_t>(random() % 4 == 0 ? 'Z' : random());
            Bytes frame = probestore::encodeFrame(payload);
            // A frame header copied into another frame's payload, or the magic alone.
            if (random() % 3 == 0 && payload.size() > 40) {
                const std::size_t at = 16 + random() % (payload.size() - 20);
                std::copy_n(frame.begin(), std::min<std::size_t>(16, frame.size() - at),
                            frame.begin() + static_cast<long>(at));
            }
            if (random() % 5 == 0) frame[random() % frame.size()] ^= 0x5A;
            file.insert(file.end(), frame.begin(), frame.end());
        }
        const std::string p = path("walk.dt");
        writeBytes(p, file);
        probestore::MemorySource source(file.data(), file.size());
        std::vector<probestore::RecordEntry> entries;
        ASSERT_TRUE(probestore::scanRecords(source, entries));
        ProbeFiles files;
        ASSERT_EQ(files.count(p.c_str()), entries.size()) << round;
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            ProbeRecord out;
            const bool inMemory = probestore::loadEntry(source, entries[i], store_.texts(), out);
            store_.texts().releaseRecordTexts(out);
            ASSERT_EQ(loadsAt(files, p, i), inMemory) << round << ", record " << i;
        }
    }
}

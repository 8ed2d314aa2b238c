// The surface keeper through its function table, loaded like the editor loads it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi/surfstore.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"

namespace {

namespace k = contracts::keeper;
using contracts::SurfaceRecord;
using contracts::SurfaceSetDescriptor;

class KeeperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = platform::loadLibrary("surfstore.dll");
        ASSERT_NE(module_, nullptr) << platform::lastErrorText();
        request_ = reinterpret_cast<TableRequest2>(
            platform::findExport(module_, "PoluchitTablicuFunkciyPoImeni"));
        ASSERT_NE(request_, nullptr);
        const std::string name = platform::utf8ToCp1251(contracts::keeper::kTableName);
        ASSERT_EQ(request_(table_, name.c_str()), table_);
        ASSERT_TRUE(isTrue(allocate(0)));
    }
    void TearDown() override {
        if (module_ != nullptr) {
            EXPECT_TRUE(platform::freeLibrary(module_));
        }
    }

    template <typename Fn>
    Fn entry(std::size_t i) const {
        return cellAs<Fn>(table_[i]);
    }
    BoolByte allocate(std::uint32_t n) {
        return entry<k::VidelitPamyatDlyaPoverhnosteyFn>(k::kVidelitPamyatDlyaPoverhnostey)(n);
    }
    void* record(std::uint32_t i) {
        return entry<k::PoluchitPoverhnostPoIndeksuFn>(k::kPoluchitPoverhnostPoIndeksu)(i);
    }
    BoolByte prepare(void* r, std::int32_t p1, std::uint32_t p2) {
        return entry<k::PodgotovitPoverhnostFn>(k::kPodgotovitPoverhnost)(r, p1, p2);
    }
    SurfaceSetDescriptor* descriptor() {
        return entry<k::PoluchitSpisokPoverhnosteyFn>(k::kPoluchitSpisokPoverhnostey)();
    }
    std::string name(void* r) {
        return entry<k::PoluchitImyaPoverhnostiFn>(k::kPoluchitImyaPoverhnosti)(r);
    }
    BoolByte setName(void* r, const char* n) {
        return entry<k::SetSurfaceNameFn>(k::kSetSurfaceName)(r, n);
    }
    BoolByte setVertex(void* r, std::uint32_t i, double x, double y, double z) {
        return entry<k::SetVertexFn>(k::kSetVertex)(r, i, x, y, z);
    }
    BoolByte getVertex(void* r, std::uint32_t i, double* xyz) {
        return entry<k::GetVertexFn>(k::kGetVertex)(r, i, xyz);
    }
    BoolByte setTriangle(void* r, std::uint32_t i, std::uint32_t a, std::uint32_t b,
                         std::uint32_t c) {
        return entry<k::SetTriangleFn>(k::kSetTriangle)(r, i, a, b, c);
    }

    // A prepared record 0 holding a named triangle.
    void* triangleRecord(const char* n) {
        void* r = record(0);
        EXPECT_TRUE(isTrue(prepare(r, 3, 1)));
        EXPECT_TRUE(isTrue(setName(r, n)));
        EXPECT_TRUE(isTrue(setVertex(r, 0, 0, 0, 0)));
        EXPECT_TRUE(isTrue(setVertex(r, 1, 1, 0, 0)));
        EXPECT_TRUE(isTrue(setVertex(r, 2, 0, 1, 0)));
        EXPECT_TRUE(isTrue(setTriangle(r, 0, 0, 1, 2)));
        return r;
    }

    platform::Module module_ = nullptr;
    TableRequest2 request_ = nullptr;
    TableCell table_[k::kTableEntries + 1] = {};
};

TEST_F(KeeperTest, TableIsHandedOutOnlyForItsExactCp1251Name) {
    TableCell other[k::kTableEntries + 1] = {};
    EXPECT_EQ(request_(other, contracts::keeper::kTableName), nullptr);  // UTF-8 bytes
    const std::string name = platform::utf8ToCp1251(contracts::keeper::kTableName);
    EXPECT_EQ(request_(other, (name + " ").c_str()), nullptr);
    EXPECT_EQ(request_(other, name.substr(0, name.size() - 1).c_str()), nullptr);
    EXPECT_EQ(request_(other, nullptr), nullptr);
    EXPECT_EQ(request_(nullptr, name.c_str()), nullptr);
    ASSERT_EQ(request_(other, name.c_str()), other);
    for (std::size_t i = 0; i < k::kTableEntries; ++i) EXPECT_NE(other[i], nullptr) << i;
    EXPECT_EQ(other[k::kTableEntries], nullptr);  // nothing written past 19 entries
}

TEST_F(KeeperTest, AllocationDescribesTheRecordsAndReplacesThePreviousSet) {
    ASSERT_TRUE(isTrue(allocate(3)));
    SurfaceSetDescriptor* d = descriptor();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->count, 3u);
    EXPECT_EQ(d->recordSize, sizeof(SurfaceRecord));
    for (std::uint32_t i = 0; i < 3; ++i) {
        void* r = record(i);
        EXPECT_EQ(r, static_cast<char*>(d->firstRecord) + i * d->recordSize);
        EXPECT_EQ(name(r), "");
        EXPECT_EQ(static_cast<SurfaceRecord*>(r)->signature, contracts::kSurfaceRecordSignature);
    }
    EXPECT_EQ(record(3), nullptr);

    triangleRecord("old");
    ASSERT_TRUE(isTrue(allocate(1)));
    EXPECT_EQ(descriptor()->count, 1u);
    EXPECT_EQ(name(record(0)), "");
    EXPECT_EQ(static_cast<SurfaceRecord*>(record(0))->vertices, nullptr);

    ASSERT_TRUE(isTrue(allocate(0)));
    EXPECT_EQ(descriptor()->count, 0u);
    EXPECT_EQ(descriptor()->firstRecord, nullptr);
    EXPECT_EQ(record(0), nullptr);
    EXPECT_FALSE(isTrue(allocate(0xFFFFFFFFu)));
}

TEST_F(KeeperTest, PreparingGivesRoomWithinBoundsAndRefusesForeignRecords) {
    ASSERT_TRUE(isTrue(allocate(2)));
    auto* r = static_cast<SurfaceRecord*>(record(1));
    ASSERT_TRUE(isTrue(prepare(r, 4, 2)));
    EXPECT_EQ(r->vertexRoom, 4);
    EXPECT_EQ(r->triangleRoom, 2u);
    EXPECT_EQ(r->vertexCount, 0u);
    EXPECT_NE(r->vertices, nullptr);
    EXPECT_NE(r->triangles, nullptr);

    EXPECT_FALSE(isTrue(prepare(r, -1, 0)));
    EXPECT_FALSE(isTrue(prepare(r, static_cast<std::int32_t>(contracts::kMaxVertices) + 1, 0)));
    EXPECT_FALSE(isTrue(prepare(r, 0, contracts::kMaxTriangles + 1)));
    EXPECT_EQ(r->vertexRoom, 4);  // a refused preparation leaves the room as it was

    SurfaceRecord outside{};
    EXPECT_FALSE(isTrue(prepare(&outside, 1, 0)));
    EXPECT_FALSE(isTrue(prepare(reinterpret_cast<char*>(r) + 8, 1, 0)));
    EXPECT_FALSE(isTrue(prepare(static_cast<char*>(record(0)) + 2 * sizeof(SurfaceRecord), 1, 0)));
    EXPECT_EQ(name(&outside), "");
}

TEST_F(KeeperTest, GeometryIsWrittenAndReadOnlyWithinTheRoom) {
    ASSERT_TRUE(isTrue(allocate(1)));
    void* r = record(0);
    ASSERT_TRUE(isTrue(prepare(r, 3, 1)));
    EXPECT_FALSE(isTrue(setTriangle(r, 0, 0, 1, 2)));  // no vertices in use yet
    ASSERT_TRUE(isTrue(setVertex(r, 2, 7, 8, 9)));
    EXPECT_EQ(static_cast<SurfaceRecord*>(r)->vertexCount, 3u);
    EXPECT_FALSE(isTrue(setVertex(r, 3, 0, 0, 0)));
    double xyz[3] = {};
    ASSERT_TRUE(isTrue(getVertex(r, 2, xyz)));
    EXPECT_EQ(xyz[0], 7);
    EXPECT_EQ(xyz[2], 9);
    ASSERT_TRUE(isTrue(getVertex(r, 0, xyz)));
    EXPECT_EQ(xyz[1], 0);
    EXPECT_FALSE(isTrue(getVertex(r, 3, xyz)));

    EXPECT_FALSE(isTrue(setTriangle(r, 0, 0, 1, 3)));
    EXPECT_FALSE(isTrue(setTriangle(r, 1, 0, 1, 2)));
    ASSERT_TRUE(isTrue(setTriangle(r, 0, 2, 1, 0)));
    std::uint32_t abc[3] = {};
    ASSERT_TRUE(isTrue(entry<k::GetTriangleFn>(k::kGetTriangle)(r, 0, abc)));
    EXPECT_EQ(abc[0], 2u);
    EXPECT_EQ(abc[2], 0u);
    std::int32_t p1 = 0;
    std::uint32_t p2 = 0;
    ASSERT_TRUE(isTrue(entry<k::GetSurfaceParametersFn>(k::kGetSurfaceParameters)(r, &p1, &p2)));
    EXPECT_EQ(p1, 3);
    EXPECT_EQ(p2, 1u);
}

TEST_F(KeeperTest, NamesAreBoundedAndFoundByteForByte) {
    ASSERT_TRUE(isTrue(allocate(2)));
    const std::string cyrillic = platform::utf8ToCp1251("Индикатриса приёма");
    ASSERT_TRUE(isTrue(setName(record(1), cyrillic.c_str())));
    EXPECT_EQ(name(record(1)), cyrillic);
    auto find = entry<k::FindSurfaceByNameFn>(k::kFindSurfaceByName);
    EXPECT_EQ(find(cyrillic.c_str()), record(1));
    EXPECT_EQ(find(platform::utf8ToCp1251("индикатриса приёма").c_str()), nullptr);
    EXPECT_EQ(find(""), record(0));

    const std::string longest(contracts::kMaxNameLength, 'a');
    EXPECT_TRUE(isTrue(setName(record(0), longest.c_str())));
    EXPECT_EQ(name(record(0)), longest);
    EXPECT_FALSE(isTrue(setName(record(0), (longest + "a").c_str())));
    EXPECT_EQ(name(record(0)), longest);
    // A name overwritten without its terminator still reads as a bounded text.
    std::memset(static_cast<SurfaceRecord*>(record(0))->name, 'b', contracts::kMaxNameLength + 1);
    EXPECT_EQ(name(record(0)).size(), contracts::kMaxNameLength);
}

TEST_F(KeeperTest, MarkCopyAndReleaseKeepRecordsApart) {
    ASSERT_TRUE(isTrue(allocate(2)));
    void* a = triangleRecord("a");
    void* b = record(1);
    ASSERT_TRUE(
        isTrue(entry<k::OpredelitPriznakPoverhnostiFn>(k::kOpredelitPriznakPoverhnosti)(a, 1)));
    EXPECT_EQ(entry<k::GetSurfaceMarkFn>(k::kGetSurfaceMark)(a), 1);

    ASSERT_TRUE(isTrue(entry<k::CopySurfaceFn>(k::kCopySurface)(b, a)));
    EXPECT_EQ(name(b), "a");
    EXPECT_NE(static_cast<SurfaceRecord*>(b)->vertices, static_cast<SurfaceRecord*>(a)->vertices);
    ASSERT_TRUE(isTrue(entry<k::ReleaseSurfaceFn>(k::kReleaseSurface)(a)));
    EXPECT_EQ(name(a), "");
    double xyz[3] = {};
    ASSERT_TRUE(isTrue(getVertex(b, 1, xyz)));  // the copy owns its own geometry
    EXPECT_EQ(xyz[0], 1);
}

TEST_F(KeeperTest, RecordsMovedInMemoryReleaseTheirOwnGeometry) {
    ASSERT_TRUE(isTrue(allocate(2)));
    void* a = triangleRecord("a");
    void* b = record(1);
    ASSERT_TRUE(isTrue(prepare(b, 1, 0)));
    ASSERT_TRUE(isTrue(setVertex(b, 0, 5, 5, 5)));
    // Swap the two records' bytes, as a depth sort does.
    SurfaceRecord held;
    std::memcpy(&held, a, sizeof held);
    std::memcpy(a, b, sizeof held);
    std::memcpy(b, &held, sizeof held);

    ASSERT_TRUE(isTrue(entry<k::ReleaseSurfaceFn>(k::kReleaseSurface)(a)));
    double xyz[3] = {};
    ASSERT_TRUE(isTrue(getVertex(b, 2, xyz)));
    EXPECT_EQ(xyz[1], 1);
    EXPECT_EQ(name(b), "a");
    // Preparing again after the swap frees what the record now holds, and only that.
    ASSERT_TRUE(isTrue(prepare(b, 2, 0)));
    EXPECT_TRUE(isTrue(setVertex(b, 1, 1, 2, 3)));
}

TEST_F(KeeperTest, AddedRecordsExtendTheSetAndKeepTheirContents) {
    ASSERT_TRUE(isTrue(allocate(1)));
    triangleRecord("first");
    auto add = entry<k::AppendSurfaceFn>(k::kAppendSurface);
    void* second = nullptr;
    for (int i = 0; i < 40; ++i) second = add();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(descriptor()->count, 41u);
    EXPECT_EQ(entry<k::GetSurfaceCountFn>(k::kGetSurfaceCount)(), 41u);
    EXPECT_EQ(second, record(40));
    EXPECT_EQ(name(record(0)), "first");
    double xyz[3] = {};
    EXPECT_TRUE(isTrue(getVertex(record(0), 1, xyz)));
    entry<k::ClearSurfacesFn>(k::kClearSurfaces)();
    EXPECT_EQ(descriptor()->count, 0u);
    EXPECT_EQ(record(0), nullptr);
}

}  // namespace

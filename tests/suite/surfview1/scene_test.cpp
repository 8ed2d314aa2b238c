// The visualizer's scene without a window: what it copies from a surface set, how it orders
// records by depth, and what a frame holds for each display flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "abi/surfstore.h"
#include "platform/cp1251.h"
#include "suite/surfview1/scene.h"

namespace {

using contracts::SurfaceRecord;
using contracts::SurfaceSetDescriptor;
using namespace surfview;

// Records with storage of their own, as the keeper would hand them out.
struct Records {
    std::vector<SurfaceRecord> records;
    std::vector<std::vector<double>> vertices;
    std::vector<std::vector<std::uint32_t>> triangles;

    SurfaceRecord& add(const char* name, std::vector<double> v, std::vector<std::uint32_t> t) {
        vertices.push_back(std::move(v));
        triangles.push_back(std::move(t));
        SurfaceRecord r{};
        r.signature = contracts::kSurfaceRecordSignature;
        r.vertexCount = static_cast<std::uint32_t>(vertices.back().size() / 3);
        r.triangleCount = static_cast<std::uint32_t>(triangles.back().size() / 3);
        r.vertexRoom = static_cast<std::int32_t>(r.vertexCount);
        r.triangleRoom = r.triangleCount;
        std::strncpy(r.name, name, contracts::kMaxNameLength);
        records.push_back(r);
        return records.back();
    }
    SurfaceSetDescriptor descriptor() {
        for (std::size_t i = 0; i < records.size(); ++i) {
            records[i].vertices = vertices[i].empty() ? nullptr : vertices[i].data();
            records[i].triangles = triangles[i].empty() ? nullptr : triangles[i].data();
        }
        return {records.data(), static_cast<std::uint32_t>(records.size()), sizeof(SurfaceRecord)};
    }
};

std::vector<double> triangleAt(double z) {
    return {0, 0, z, 1, 0, z, 0, 1, z};
}

TEST(SceneTest, CopiesOnlyWhatCanBeReadSafely) {
    std::vector<Mesh> meshes(1);
    EXPECT_FALSE(copySurfaces(nullptr, meshes));
    SurfaceSetDescriptor bad{nullptr, 1, sizeof(SurfaceRecord)};
    EXPECT_FALSE(copySurfaces(&bad, meshes));
    Records rs;
    rs.add("a", triangleAt(0), {0, 1, 2});
    SurfaceSetDescriptor small = rs.descriptor();
    small.recordSize = sizeof(SurfaceRecord) - 8;
    EXPECT_FALSE(copySurfaces(&small, meshes));
    EXPECT_EQ(meshes.size(), 1u);  // untouched by a refused set

    Records set;
    set.add(platform::utf8ToCp1251("Излучающая поверхность").c_str(), triangleAt(0),
            {0, 1, 2, 0, 1, 3, 2, 2, 2});
    set.add("unsigned", triangleAt(1), {0, 1, 2}).signature = 0;
    set.add("overfull", triangleAt(1), {0, 1, 2}).triangleRoom = 0;
    std::vector<double> withNan = triangleAt(2);
    withNan.insert(withNan.end(), {std::numeric_limits<double>::quiet_NaN(), 0, 0});
    set.add("nan", withNan, {0, 1, 2, 0, 1, 3}).mark = 1;
    SurfaceSetDescriptor d = set.descriptor();
    ASSERT_TRUE(copySurfaces(&d, meshes));
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_EQ(meshes[0].name, "Излучающая поверхность");
    EXPECT_EQ(meshes[0].triangles.size(), 2u);  // the one naming vertex 3 of 3 is dropped
    EXPECT_FALSE(meshes[0].marked);
    EXPECT_EQ(meshes[1].name, "nan");
    EXPECT_TRUE(meshes[1].marked);
    EXPECT_EQ(meshes[1].triangles.size(), 1u);  // the one using the NaN vertex is dropped
}

TEST(SceneTest, DepthSortMovesWholeRecords) {
    Records set;
    set.add("middle", triangleAt(0), {0, 1, 2});
    set.add("empty", {}, {});
    set.add("near", {0, -10, 0}, {});
    set.add("far", {0, 10, 0}, {});
    SurfaceSetDescriptor d = set.descriptor();
    // Looking along +y (yaw 0, pitch 0), larger y is farther away.
    ASSERT_TRUE(sortByDepth(&d, 0, 0, 1));
    auto names = [&set] {
        std::vector<std::string> n;
        for (const auto& r : set.records) n.emplace_back(r.name);
        return n;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"far", "middle", "near", "empty"}));
    EXPECT_EQ(set.records[0].vertices[1], 10);  // geometry travelled with its name
    ASSERT_TRUE(sortByDepth(&d, 0, 0, -1));
    EXPECT_EQ(names(), (std::vector<std::string>{"near", "middle", "far", "empty"}));
    EXPECT_FALSE(sortByDepth(nullptr, 0, 0, 1));
}

// The host chooses the distance between its records; one that does not keep the records'
// alignment still gives every record whole, to copying and to the depth sort alike.
TEST(SceneTest, RecordsOffTheirAlignmentAreReadWhole) {
    Records set;
    set.add("first", triangleAt(0), {0, 1, 2});
    set.add("second", {0, 10, 1, 1, 10, 1, 0, 11, 1}, {0, 1, 2});
    set.descriptor();
    const std::size_t stride = sizeof(SurfaceRecord) + 4;
    std::vector<unsigned char> bytes(2 * stride);
    for (std::size_t i = 0; i < 2; ++i) {
        std::memcpy(bytes.data() + i * stride, &set.records[i], sizeof(SurfaceRecord));
    }
    SurfaceSetDescriptor d{bytes.data(), 2, static_cast<std::uint32_t>(stride)};
    std::vector<Mesh> meshes;
    ASSERT_TRUE(copySurfaces(&d, meshes));
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_EQ(meshes[1].name, "second");
    ASSERT_EQ(meshes[1].vertices.size(), 3u);
    EXPECT_EQ(meshes[1].vertices[2].y, 11);
    ASSERT_TRUE(sortByDepth(&d, 0, 0, 1));
    SurfaceRecord front;
    std::memcpy(&front, bytes.data(), sizeof(front));
    EXPECT_STREQ(front.name, "second");  // farther along +y
}

TEST(SceneTest, FlagsChooseFacesEdgesPointsAndAxes) {
    Records set;
    set.add("surface", {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 1, 2, 0, 1, 3, 0, 2, 3});
    set.add("line", {0, 0, 0, 1, 1, 1, 2, 0, 0}, {});
    SurfaceSetDescriptor d = set.descriptor();
    std::vector<Mesh> meshes;
    ASSERT_TRUE(copySurfaces(&d, meshes));
    Scene scene;
    scene.setMeshes(meshes);

    const Frame shaded = scene.frame(400, 300, 0x1004);
    EXPECT_TRUE(shaded.fillFaces);
    EXPECT_FALSE(shaded.faceEdges);
    EXPECT_EQ(shaded.faces.size(), 3u);
    EXPECT_EQ(shaded.lines.size(), 2u);   // a surface without triangles is always its line
    EXPECT_EQ(shaded.points.size(), 3u);  // and its vertices
    EXPECT_EQ(shaded.axes.size(), 3u);
    for (std::size_t i = 1; i < shaded.faces.size(); ++i) {
        EXPECT_LE(shaded.faces[i - 1].depth, shaded.faces[i].depth);  // far to near
    }
    for (const auto& f : shaded.faces) {
        EXPECT_GE(f.light, 0.25);
        EXPECT_LE(f.light, 1.0);
    }

    const Frame all = scene.frame(400, 300, 0x1007);
    EXPECT_TRUE(all.fillFaces);
    EXPECT_TRUE(all.faceEdges);
    EXPECT_EQ(all.points.size(), 3u);  // the line's vertices, drawn on top
    // A mesh's vertices are painted among its faces far to near, so that nearer faces hide the
    // ones behind them instead of every vertex showing through the shaded surface.
    ASSERT_EQ(all.vertexDots.size(), 4u);
    for (std::size_t i = 1; i < all.vertexDots.size(); ++i) {
        EXPECT_LE(all.vertexDots[i - 1].depth, all.vertexDots[i].depth);
    }

    const Frame nothingAsked = scene.frame(400, 300, 0);
    EXPECT_TRUE(nothingAsked.faceEdges);  // something stays visible
    EXPECT_TRUE(nothingAsked.axes.empty());
}

TEST(SceneTest, PictureIsCentredAndFollowsZoomAndRotation) {
    Records set;
    set.add("a", {10, 10, 10, 12, 10, 10, 10, 12, 10, 10, 10, 12}, {0, 1, 2});
    SurfaceSetDescriptor d = set.descriptor();
    std::vector<Mesh> meshes;
    ASSERT_TRUE(copySurfaces(&d, meshes));
    Scene scene;
    scene.setMeshes(meshes);
    auto extent = [&scene] {
        const Frame f = scene.frame(400, 400, kFlagPoints);
        double lo = 1e9, hi = -1e9;
        for (const Frame::Dot& dot : f.vertexDots) {
            const Point2& p = dot.at;
            EXPECT_GE(p.x, 0);
            EXPECT_LE(p.x, 400);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.y, 400);
            lo = std::min(lo, p.x);
            hi = std::max(hi, p.x);
        }
        return hi - lo;
    };
    const double base = extent();
    EXPECT_GT(base, 50);  // fitted to the window, not a speck
    scene.zoom(120);
    EXPECT_NEAR(extent(), base * 1.15, 1e-6);
    scene.zoom(-100000);
    EXPECT_GT(scene.zoomFactor(), 0);
    scene.resetView();
    const Frame before = scene.frame(400, 400, kFlagPoints);
    scene.rotate(100, 0);
    const Frame after = scene.frame(400, 400, kFlagPoints);
    ASSERT_EQ(before.vertexDots.size(), 4u);
    ASSERT_EQ(after.vertexDots.size(), 4u);
    double movedBy = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        movedBy += std::abs(before.vertexDots[i].at.x - after.vertexDots[i].at.x);
    }
    EXPECT_GT(movedBy, 1);
    scene.rotate(0, 100000);
    EXPECT_LT(scene.pitch(), 1.571);
}

// The axes never leave the window: from the origin when it lies near the surfaces (the picture is
// fitted with them), as a corner triad of directions when the surfaces lie far from it.
TEST(SceneTest, AxesStayInsideTheWindow) {
    auto axesInside = [](const std::vector<double>& vertices, bool atOrigin) {
        Records set;
        set.add("s", vertices, {});
        SurfaceSetDescriptor d = set.descriptor();
        std::vector<Mesh> meshes;
        EXPECT_TRUE(copySurfaces(&d, meshes));
        Scene scene;
        scene.setMeshes(meshes);
        const Frame f = scene.frame(400, 300, 0x1007);
        EXPECT_EQ(f.axesAtOrigin, atOrigin);
        EXPECT_EQ(f.axes.size(), 3u);
        for (const Frame::Axis& a : f.axes) {
            for (const Point2& p : {a.from, a.to}) {
                EXPECT_GE(p.x, 0);
                EXPECT_LE(p.x, 400);
                EXPECT_GE(p.y, 0);
                EXPECT_LE(p.y, 300);
            }
        }
    };
    // A pattern standing on the origin, like a directivity pattern along +z.
    axesInside({0, 0, 0, 0.5, 0, 10, 0, 0, 20, -0.5, 0, 10}, true);
    // A small surface far from the origin.
    axesInside({100, 100, 100, 100.5, 100, 100, 100, 100.5, 100}, false);
}

// Coordinates at the ends of the double range are finite in the file, but their differences are
// not: nothing that is not a finite number may reach the painter.
TEST(SceneTest, HugeCoordinatesGiveOnlyFinitePoints) {
    Records set;
    set.add("mesh", {-1.7e308, 0, 0, 1.7e308, 0, 0, 0, 1.7e308, 1.7e308}, {0, 1, 2});
    set.add("line", {1.7e308, 1.7e308, 1.7e308, -1.7e308, -1.7e308, -1.7e308}, {});
    SurfaceSetDescriptor d = set.descriptor();
    std::vector<Mesh> meshes;
    ASSERT_TRUE(copySurfaces(&d, meshes));
    Scene scene;
    scene.setMeshes(meshes);
    const Frame f = scene.frame(400, 300, 0x1007);
    auto finitePoint = [](const Point2& p) { return std::isfinite(p.x) && std::isfinite(p.y); };
    for (const auto& face : f.faces) {
        for (const Point2& c : face.corners) EXPECT_TRUE(finitePoint(c));
        EXPECT_TRUE(std::isfinite(face.depth));
    }
    for (const auto& s : f.lines) EXPECT_TRUE(finitePoint(s.a) && finitePoint(s.b));
    for (const auto& [p, mesh] : f.points) EXPECT_TRUE(finitePoint(p));
    for (const auto& dot : f.vertexDots) EXPECT_TRUE(finitePoint(dot.at));
    for (const auto& a : f.axes) EXPECT_TRUE(finitePoint(a.from) && finitePoint(a.to));
}

}  // namespace

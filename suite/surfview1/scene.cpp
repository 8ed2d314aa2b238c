#include "suite/surfview1/scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "abi/surfstore.h"
#include "platform/cp1251.h"

namespace surfview {
namespace {

using contracts::SurfaceRecord;
using contracts::SurfaceSetDescriptor;

// Most surfaces one showing takes.
constexpr std::uint32_t kMaxSurfaces = 65536;
constexpr double kMaxPitch = 1.55;  // just short of straight up or down
// Unit direction towards the light in view space: from the upper left, in front. Faces are lit
// from both sides.
constexpr Vec3 kLight{-0.4082482904638631, 0.5443310539518174, 0.7302967433402214};

bool readableSet(const SurfaceSetDescriptor* set) {
    if (set == nullptr || set->count > kMaxSurfaces) return false;
    if (set->count > 0 &&
        (set->firstRecord == nullptr || set->recordSize < sizeof(SurfaceRecord))) {
        return false;
    }
    return true;
}

// A copy of record i. The records lie `recordSize` bytes apart, a stride the host chooses and that
// need not keep the record's alignment, so a record is copied out rather than read in place.
SurfaceRecord recordAt(const SurfaceSetDescriptor* set, std::uint32_t i) {
    const auto* base = static_cast<const unsigned char*>(set->firstRecord);
    SurfaceRecord record;
    std::memcpy(&record, base + std::size_t{i} * set->recordSize, sizeof(record));
    return record;
}

Vec3 rotated(const Vec3& q, double yaw, double pitch) {
    const double x1 = q.x * std::cos(yaw) - q.y * std::sin(yaw);
    const double y1 = q.x * std::sin(yaw) + q.y * std::cos(yaw);
    const double up = q.z;
    const double toward = -y1;
    return {x1, up * std::cos(pitch) - toward * std::sin(pitch),
            up * std::sin(pitch) + toward * std::cos(pitch)};
}

bool finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

bool copySurfaces(const SurfaceSetDescriptor* set, std::vector<Mesh>& out) {
    if (!readableSet(set)) return false;
    std::vector<Mesh> meshes;
    for (std::uint32_t i = 0; i < set->count; ++i) {
        const SurfaceRecord record = recordAt(set, i);
        const SurfaceRecord* r = &record;
        if (!contracts::isUsableRecord(r)) continue;
        Mesh m;
        m.name = platform::cp1251ToUtf8(
            std::string_view(r->name, strnlen(r->name, contracts::kMaxNameLength)));
        m.marked = r->mark != 0;
        m.vertices.resize(r->vertexCount);
        std::vector<bool> good(r->vertexCount);
        for (std::uint32_t v = 0; v < r->vertexCount; ++v) {
            const double* p = r->vertices + std::size_t{v} * 3;
            m.vertices[v] = {p[0], p[1], p[2]};
            good[v] = finite(m.vertices[v]);
            if (!good[v]) m.vertices[v] = {};
        }
        m.triangles.reserve(r->triangleCount);
        for (std::uint32_t t = 0; t < r->triangleCount; ++t) {
            const std::uint32_t* abc = r->triangles + std::size_t{t} * 3;
            if (abc[0] < r->vertexCount && abc[1] < r->vertexCount && abc[2] < r->vertexCount &&
                good[abc[0]] && good[abc[1]] && good[abc[2]]) {
                m.triangles.push_back({abc[0], abc[1], abc[2]});
            }
        }
        meshes.push_back(std::move(m));
    }
    out = std::move(meshes);
    return true;
}

bool sortByDepth(SurfaceSetDescriptor* set, double yaw, double pitch, std::int32_t direction) {
    if (!readableSet(set)) return false;
    const std::uint32_t n = set->count;
    std::vector<double> depth(n, std::numeric_limits<double>::quiet_NaN());
    for (std::uint32_t i = 0; i < n; ++i) {
        const SurfaceRecord record = recordAt(set, i);
        const SurfaceRecord* r = &record;
        if (!contracts::isUsableRecord(r) || r->vertexCount == 0) continue;
        Vec3 sum;
        for (std::uint32_t v = 0; v < r->vertexCount; ++v) {
            const double* p = r->vertices + std::size_t{v} * 3;
            sum.x += p[0];
            sum.y += p[1];
            sum.z += p[2];
        }
        const double k = 1.0 / r->vertexCount;
        const double d = rotated({sum.x * k, sum.y * k, sum.z * k}, yaw, pitch).z;
        if (std::isfinite(d)) depth[i] = direction >= 0 ? d : -d;
    }
    // order[k] is the old index of the record that goes to place k.
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&depth](std::uint32_t a, std::uint32_t b) {
        const bool aKnown = !std::isnan(depth[a]);
        const bool bKnown = !std::isnan(depth[b]);
        if (aKnown != bKnown) return aKnown;
        return aKnown && depth[a] < depth[b];
    });
    // Moves whole records by following the cycles of the permutation, so only one record's bytes
    // are held aside at a time.
    auto* base = static_cast<unsigned char*>(set->firstRecord);
    const std::size_t size = set->recordSize;
    std::vector<unsigned char> held(size);
    std::vector<bool> placed(n, false);
    for (std::uint32_t start = 0; start < n; ++start) {
        if (placed[start] || order[start] == start) {
            placed[start] = true;
            continue;
        }
        std::memcpy(held.data(), base + std::size_t{start} * size, size);
        std::uint32_t place = start;
        while (order[place] != start) {
            std::memcpy(base + std::size_t{place} * size, base + std::size_t{order[place]} * size,
                        size);
            placed[place] = true;
            place = order[place];
        }
        std::memcpy(base + std::size_t{place} * size, held.data(), size);
        placed[place] = true;
    }
    return true;
}

void Scene::setMeshes(std::vector<Mesh> meshes) {
    meshes_ = std::move(meshes);
    // The picture is fitted to the window, so its size in file units does not matter; but
    // coordinates near the ends of the double range have differences that are not finite, and
    // tiny ones a fitting scale that is not. Such surfaces are brought near unit size by a power
    // of two first.
    double largest = 0;
    for (const Mesh& m : meshes_) {
        for (const Vec3& v : m.vertices) {
            largest = std::max({largest, std::abs(v.x), std::abs(v.y), std::abs(v.z)});
        }
    }
    if (largest > 0 && (largest > 1e100 || largest < 1e-100)) {
        const double k = std::ldexp(1.0, -std::ilogb(largest));
        for (Mesh& m : meshes_) {
            for (Vec3& v : m.vertices) v = {v.x * k, v.y * k, v.z * k};
        }
    }
    const bool anyMarked =
        std::any_of(meshes_.begin(), meshes_.end(), [](const Mesh& m) { return m.marked; });
    Vec3 lo{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
            std::numeric_limits<double>::max()};
    Vec3 hi{-lo.x, -lo.y, -lo.z};
    bool any = false;
    for (const Mesh& m : meshes_) {
        if (anyMarked && !m.marked) continue;
        for (const Vec3& v : m.vertices) {
            lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
            hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
            any = true;
        }
    }
    centre_ = any ? Vec3{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2} : Vec3{};
    radius_ = 0;
    for (const Mesh& m : meshes_) {
        if (anyMarked && !m.marked) continue;
        for (const Vec3& v : m.vertices) {
            radius_ =
                std::max(radius_, std::hypot(v.x - centre_.x, v.y - centre_.y, v.z - centre_.z));
        }
    }
    if (!(radius_ > 0) || !std::isfinite(radius_)) radius_ = 1;
    resetView();
}

void Scene::rotate(double dxPixels, double dyPixels) {
    yaw_ = std::remainder(yaw_ + dxPixels * 0.01, 2 * 3.14159265358979323846);
    pitch_ = std::clamp(pitch_ + dyPixels * 0.01, -kMaxPitch, kMaxPitch);
}

void Scene::zoom(int wheelDelta) {
    zoom_ = std::clamp(zoom_ * std::pow(1.15, wheelDelta / 120.0), 0.05, 50.0);
}

void Scene::resetView() {
    yaw_ = kDefaultYaw;
    pitch_ = kDefaultPitch;
    zoom_ = 1;
}

Vec3 Scene::toView(const Vec3& p) const {
    return rotated({p.x - centre_.x, p.y - centre_.y, p.z - centre_.z}, yaw_, pitch_);
}

Frame Scene::frame(int width, int height, std::uint32_t flags) const {
    Frame f;
    if ((flags & (kFlagPoints | kFlagEdges | kFlagFaces)) == 0) flags |= kFlagEdges;
    f.fillFaces = (flags & kFlagFaces) != 0;
    f.faceEdges = (flags & kFlagEdges) != 0;
    // Axes from the origin are drawn, and fitted into the picture, only when the origin lies near
    // the surfaces: axes far away would shrink the surfaces to a speck or point out of the window.
    const bool axes = (flags & kFlagAxes) != 0;
    const double axisLength = 0.6 * radius_;
    const double fromCentre = std::hypot(centre_.x, centre_.y, centre_.z);
    f.axesAtOrigin = fromCentre <= 2 * radius_;
    double extent = radius_;
    if (axes && f.axesAtOrigin) {
        for (const Vec3& end :
             {Vec3{}, Vec3{axisLength, 0, 0}, Vec3{0, axisLength, 0}, Vec3{0, 0, axisLength}}) {
            extent = std::max(extent,
                              std::hypot(end.x - centre_.x, end.y - centre_.y, end.z - centre_.z));
        }
    }
    const double scale = zoom_ * std::min(width, height) / (2.2 * extent);
    auto screen = [&](const Vec3& v) {
        return Point2{width / 2.0 + scale * v.x, height / 2.0 - scale * v.y};
    };
    for (int mi = 0; mi < static_cast<int>(meshes_.size()); ++mi) {
        const Mesh& m = meshes_[mi];
        std::vector<Vec3> view(m.vertices.size());
        std::transform(m.vertices.begin(), m.vertices.end(), view.begin(),
                       [this](const Vec3& v) { return toView(v); });
        if (m.triangles.empty()) {
            for (std::size_t i = 1; i < view.size(); ++i) {
                f.lines.push_back({screen(view[i - 1]), screen(view[i]), mi});
            }
            for (const Vec3& v : view) f.points.push_back({screen(v), mi});
            continue;
        }
        if (f.fillFaces || f.faceEdges) {
            for (const auto& t : m.triangles) {
                const Vec3& a = view[t[0]];
                const Vec3& b = view[t[1]];
                const Vec3& c = view[t[2]];
                const Vec3 u{b.x - a.x, b.y - a.y, b.z - a.z};
                const Vec3 w{c.x - a.x, c.y - a.y, c.z - a.z};
                const Vec3 n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
                const double length = std::hypot(n.x, n.y, n.z);
                const double facing =
                    length > 0 ? std::abs(n.x * kLight.x + n.y * kLight.y + n.z * kLight.z) / length
                               : 0.5;
                const double light = 0.25 + 0.75 * facing;
                f.faces.push_back(
                    {{screen(a), screen(b), screen(c)}, (a.z + b.z + c.z) / 3, light, mi});
            }
        }
        if (flags & kFlagPoints) {
            // A vertex is put a little in front of its own faces, whose centres lie about as deep
            // as it does, so that only faces clearly nearer hide it.
            const double lift = 0.04 * radius_;
            for (const Vec3& v : view) f.vertexDots.push_back({screen(v), v.z + lift, mi});
        }
    }
    std::stable_sort(f.faces.begin(), f.faces.end(),
                     [](const Frame::Face& a, const Frame::Face& b) { return a.depth < b.depth; });
    std::stable_sort(f.vertexDots.begin(), f.vertexDots.end(),
                     [](const Frame::Dot& a, const Frame::Dot& b) { return a.depth < b.depth; });
    if (axes) {
        const char labels[3] = {'X', 'Y', 'Z'};
        const Vec3 ends[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        if (f.axesAtOrigin) {
            const Point2 origin = screen(toView({}));
            for (int i = 0; i < 3; ++i) {
                const Vec3& e = ends[i];
                f.axes.push_back(
                    {origin, screen(toView({e.x * axisLength, e.y * axisLength, e.z * axisLength})),
                     labels[i]});
            }
        } else {
            // Directions only: the rotation of the unit vectors, 30 pixels long.
            constexpr double kTriad = 30;
            const Point2 corner{kTriad + 14, height - kTriad - 14};
            for (int i = 0; i < 3; ++i) {
                const Vec3 d = rotated(ends[i], yaw_, pitch_);
                f.axes.push_back(
                    {corner, {corner.x + kTriad * d.x, corner.y - kTriad * d.y}, labels[i]});
            }
        }
    }
    return f;
}

}  // namespace surfview

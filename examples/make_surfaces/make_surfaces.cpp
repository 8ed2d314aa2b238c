// Writes the sample surface file of a probe's functional model:
//
//   make_surfaces [output.pv]        (default: probe_surfaces.pv)
//
// The surfaces are given in millimetres (the probe's scale "1 мм' = 1 м   ( / 10^3 )"). Each
// sample probe of make_probes names an emitting surface of its own:
//   "Излучающая поверхность"                 the flat disc of the contact probe, 12 mm across;
//   "Излучающая поверхность: наклонный преобразователь"
//                                            a 12 x 10 mm plate on the slope of a wedge, 28°;
//   "Излучающая поверхность: линейная решётка"
//                                            64 strips of 0.5 x 10 mm at a pitch of 0.6 mm;
//   "Излучающая поверхность: кольцевая решётка"
//                                            8 rings on a bowl (radius of curvature 60 mm), the
//                                            outer one 32 mm across, with gaps of 0.3 mm;
//   "Излучающая поверхность: матричная решётка"
//                                            16 x 16 squares of 0.9 mm at a pitch of 1.0 mm;
//   "Излучающая поверхность: линза"          the polystyrene lens of the immersion probe: a
//                                            concave face (radius of curvature 14 mm, 20 mm
//                                            across), its rim and its flat back;
//   "Индикатриса направленности"             the directivity pattern r(θ, φ) of a circular piston
//                                            with ka = 10, drawn with a radius of 20 mm;
//   "Индикатриса приёма"                     the reception pattern of the same element at a lower
//                                            frequency (ka = 6) with the obliquity factor cos θ;
//   "Сечение индикатрисы направленности"     the cut of the directivity pattern in the plane
//                                            y = 0, a line without triangles.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "platform/cp1251.h"
#include "platform/files.h"
#include "suite/surfarch/pv_format.h"

namespace {

using surfaces::pv::Surface;
constexpr double kPi = std::numbers::pi;

struct Point {
    double x, y, z;
};

// A surface over a polar grid: one pole vertex at (u = 0), then `rings` rings of `sectors`
// vertices, u = i / rings and v = 2π j / sectors; the pole is fanned to the first ring and
// neighbouring rings are joined by two triangles per cell.
Surface polarGrid(const std::string& nameUtf8, int rings, int sectors,
                  const std::function<Point(double u, double v)>& at) {
    Surface s;
    s.name = platform::utf8ToCp1251(nameUtf8);
    auto add = [&s](Point p) { s.vertices.insert(s.vertices.end(), {p.x, p.y, p.z}); };
    add(at(0.0, 0.0));
    for (int i = 1; i <= rings; ++i) {
        for (int j = 0; j < sectors; ++j) {
            add(at(static_cast<double>(i) / rings, 2.0 * kPi * j / sectors));
        }
    }
    auto vertex = [sectors](int ring, int j) {
        return static_cast<std::uint32_t>(1 + (ring - 1) * sectors + (j % sectors));
    };
    for (int j = 0; j < sectors; ++j) {
        s.triangles.insert(s.triangles.end(), {0u, vertex(1, j), vertex(1, j + 1)});
    }
    for (int i = 1; i < rings; ++i) {
        for (int j = 0; j < sectors; ++j) {
            const std::uint32_t a = vertex(i, j), b = vertex(i, j + 1);
            const std::uint32_t c = vertex(i + 1, j), d = vertex(i + 1, j + 1);
            s.triangles.insert(s.triangles.end(), {a, c, d, a, d, b});
        }
    }
    return s;
}

// Far-field amplitude of a circular piston, |2 J1(x) / x| with x = ka sin θ.
double piston(double ka, double theta) {
    const double x = ka * std::sin(theta);
    if (std::abs(x) < 1e-9) return 1.0;
    return std::abs(2.0 * std::cyl_bessel_j(1.0, std::abs(x)) / x);
}

Point spherical(double r, double theta, double phi) {
    return {r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi),
            r * std::cos(theta)};
}

// A quadrilateral a-b-c-d as two triangles.
void addQuad(Surface& s, Point a, Point b, Point c, Point d) {
    const auto first = static_cast<std::uint32_t>(s.vertices.size() / 3);
    for (const Point& p : {a, b, c, d}) s.vertices.insert(s.vertices.end(), {p.x, p.y, p.z});
    s.triangles.insert(s.triangles.end(),
                       {first, first + 1, first + 2, first, first + 2, first + 3});
}

void addTriangle(Surface& s, Point a, Point b, Point c) {
    const auto first = static_cast<std::uint32_t>(s.vertices.size() / 3);
    for (const Point& p : {a, b, c}) s.vertices.insert(s.vertices.end(), {p.x, p.y, p.z});
    s.triangles.insert(s.triangles.end(), {first, first + 1, first + 2});
}

// A flat rectangle centred at (cx, cy) in the plane z = 0.
void addRectangle(Surface& s, double cx, double cy, double w, double h) {
    addQuad(s, {cx - w / 2, cy - h / 2, 0}, {cx + w / 2, cy - h / 2, 0},
            {cx + w / 2, cy + h / 2, 0}, {cx - w / 2, cy + h / 2, 0});
}

Surface named(const std::string& nameUtf8) {
    Surface s;
    s.name = platform::utf8ToCp1251(nameUtf8);
    return s;
}

Surface contactDisc() {
    return polarGrid("Излучающая поверхность", 6, 48, [](double u, double v) {
        return Point{6.0 * u * std::cos(v), 6.0 * u * std::sin(v), 0.0};
    });
}

Surface anglePlate() {
    Surface s = named("Излучающая поверхность: наклонный преобразователь");
    const double tilt = 28.0 * kPi / 180;
    const double c = std::cos(tilt), n = std::sin(tilt);
    auto at = [&](double x, double y) { return Point{x * c, y, 8.0 + x * n}; };
    addQuad(s, at(-6, -5), at(6, -5), at(6, 5), at(-6, 5));
    return s;
}

Surface linearArray() {
    Surface s = named("Излучающая поверхность: линейная решётка");
    for (int i = 0; i < 64; ++i) addRectangle(s, (i - 31.5) * 0.6, 0.0, 0.5, 10.0);
    return s;
}

Surface ringArray() {
    Surface s = named("Излучающая поверхность: кольцевая решётка");
    constexpr double R = 60.0;  // the bowl's radius of curvature
    constexpr int kSectors = 96;
    auto at = [](double rho, double v) {
        return Point{rho * std::cos(v), rho * std::sin(v), R - std::sqrt(R * R - rho * rho)};
    };
    for (int ring = 0; ring < 8; ++ring) {
        const double inner = ring * 2.0 + 0.15;
        const double outer = (ring + 1) * 2.0 - 0.15;
        for (int j = 0; j < kSectors; ++j) {
            const double v0 = 2.0 * kPi * j / kSectors, v1 = 2.0 * kPi * (j + 1) / kSectors;
            if (ring == 0)
                addTriangle(s, at(0, 0), at(outer, v0), at(outer, v1));
            else
                addQuad(s, at(inner, v0), at(outer, v0), at(outer, v1), at(inner, v1));
        }
    }
    return s;
}

Surface matrixArray() {
    Surface s = named("Излучающая поверхность: матричная решётка");
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) addRectangle(s, (i - 7.5) * 1.0, (j - 7.5) * 1.0, 0.9, 0.9);
    return s;
}

Surface lens() {
    constexpr double R = 14.0;     // the concave face's radius of curvature
    constexpr double a = 10.0;     // the lens's radius
    constexpr double back = -4.0;  // the flat back, behind the face's middle
    constexpr int kSectors = 48;
    auto face = [](double u, double v) {
        const double rho = a * u;
        return Point{rho * std::cos(v), rho * std::sin(v), R - std::sqrt(R * R - rho * rho)};
    };
    Surface s = polarGrid("Излучающая поверхность: линза", 12, kSectors, face);
    // The rim from the face's edge back to the flat back, and the back itself.
    for (int j = 0; j < kSectors; ++j) {
        const double v0 = 2.0 * kPi * j / kSectors, v1 = 2.0 * kPi * (j + 1) / kSectors;
        const Point r0 = face(1.0, v0), r1 = face(1.0, v1);
        addQuad(s, r0, {r0.x, r0.y, back}, {r1.x, r1.y, back}, r1);
        addTriangle(s, {0, 0, back}, {r1.x, r1.y, back}, {r0.x, r0.y, back});
    }
    return s;
}

Surface directivity() {
    return polarGrid("Индикатриса направленности", 60, 48, [](double u, double v) {
        const double theta = u * kPi / 2;
        return spherical(20.0 * piston(10.0, theta), theta, v);
    });
}

Surface reception() {
    return polarGrid("Индикатриса приёма", 60, 48, [](double u, double v) {
        const double theta = u * kPi / 2;
        return spherical(20.0 * piston(6.0, theta) * std::cos(theta), theta, v);
    });
}

Surface directivityCut() {
    Surface s;
    s.name = platform::utf8ToCp1251("Сечение индикатрисы направленности");
    constexpr int kSteps = 180;
    for (int i = 0; i <= kSteps; ++i) {
        const double theta = -kPi / 2 + kPi * i / kSteps;
        const double r = 20.0 * piston(10.0, theta);
        s.vertices.insert(s.vertices.end(), {r * std::sin(theta), 0.0, r * std::cos(theta)});
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = platform::cp1251Arguments(argc, argv);
    const std::string fileName = arguments.size() > 1 ? arguments[1] : "probe_surfaces.pv";
    const std::string shown = platform::cp1251ToUtf8(fileName);
    std::string bytes = surfaces::pv::encodeHeader();
    const Surface all[] = {contactDisc(),    directivity(), reception(),
                           directivityCut(), anglePlate(),  linearArray(),
                           ringArray(),      matrixArray(), lens()};
    for (const Surface& s : all) {
        if (surfaces::pv::check(s) != surfaces::pv::Status::kOk) {
            std::fprintf(stderr, "make_surfaces: a generated surface is not valid\n");
            return 1;
        }
        bytes += surfaces::pv::encodeBlock(s);
    }
    std::ofstream out(platform::systemPath(fileName), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_surfaces: cannot write %s\n", shown.c_str());
        return 1;
    }
    std::printf("%s: %zu surfaces, %zu bytes\n", shown.c_str(), std::size(all), bytes.size());
    return 0;
}

// Writes the sample surface file of a probe's functional model:
//
//   make_surfaces [output.pv]        (default: probe_surfaces.pv)
//
// The surfaces are given in millimetres (the probe's scale "1 мм' = 1 м   ( / 10^3 )"):
//   "Излучающая поверхность"                 a concave spherical cap: radius of curvature 25 mm,
//                                            aperture 24 mm, focusing towards +z;
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

Surface radiatingCap() {
    constexpr double R = 25.0;  // radius of curvature
    constexpr double a = 12.0;  // aperture radius
    return polarGrid("Излучающая поверхность", 12, 48, [](double u, double v) {
        const double rho = a * u;
        return Point{rho * std::cos(v), rho * std::sin(v), R - std::sqrt(R * R - rho * rho)};
    });
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
    for (const Surface& s : {radiatingCap(), directivity(), reception(), directivityCut()}) {
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
    std::printf("%s: 4 surfaces, %zu bytes\n", shown.c_str(), bytes.size());
    return 0;
}

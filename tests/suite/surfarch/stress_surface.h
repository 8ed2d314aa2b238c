// The surfaces the concurrent writers append: every other one about 6 KB (250 vertices and ten
// triangles), the others a line of three vertices. The name gives the writer and the number, and
// the geometry follows from the two, so a reader can check every surface.
#pragma once

#include <string>

#include "suite/surfarch/pv_format.h"

namespace surftest {

inline surfaces::pv::Surface stressSurface(int writer, int number) {
    surfaces::pv::Surface s;
    s.name = "w" + std::to_string(writer) + "-" + std::to_string(number);
    const unsigned vertices = number % 2 == 0 ? 250 : 3;
    for (unsigned k = 0; k < vertices; ++k) {
        s.vertices.push_back(writer);
        s.vertices.push_back(number);
        s.vertices.push_back(k * 0.5);
    }
    if (number % 2 == 0) {
        for (unsigned k = 0; k < 30; ++k) s.triangles.push_back(k * 7 % vertices);
    }
    return s;
}

}  // namespace surftest

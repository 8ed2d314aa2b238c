// A writer process of the concurrent surface append test: loads the keeper and the archiver from
// its own folder and appends `count` surfaces (stressSurface(writer, 0 .. count - 1)) to one
// surface file, once the test opens its gate, reporting "number result" per append on its
// standard output.
//
//   surfarch_concurrent_writer <surface file> <writer> <count>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"
#include "tests/suite/surfarch/stress_surface.h"
#include "tests/suite/writer_processes.h"

namespace {

bool bind(platform::Module m, const char* nameUtf8, TableCell* table) {
    auto request =
        reinterpret_cast<TableRequest2>(platform::findExport(m, "PoluchitTablicuFunkciyPoImeni"));
    return request != nullptr && request(table, platform::utf8ToCp1251(nameUtf8).c_str()) == table;
}

}  // namespace

int main(int argc, char** argv) {
    namespace k = contracts::keeper;
    namespace a = contracts::archiver;
    if (argc != 4) return 2;
    const std::string file = argv[1];
    const int writer = std::atoi(argv[2]);
    const int count = std::atoi(argv[3]);
    platform::Module keeper = platform::loadLibrary("surfstore.dll");
    platform::Module archiver = platform::loadLibrary("surfarch.dll");
    TableCell kt[k::kTableEntries] = {};
    TableCell at[a::kTableEntries] = {};
    if (keeper == nullptr || archiver == nullptr || !bind(keeper, k::kTableName, kt) ||
        !bind(archiver, a::kTableName, at))
        return 3;
    if (!isTrue(
            cellAs<k::VidelitPamyatDlyaPoverhnosteyFn>(kt[k::kVidelitPamyatDlyaPoverhnostey])(1)))
        return 4;
    void* record = cellAs<k::PoluchitPoverhnostPoIndeksuFn>(kt[k::kPoluchitPoverhnostPoIndeksu])(0);

    stresstest::waitAtGate();
    for (int number = 0; number < count; ++number) {
        const surfaces::pv::Surface s = surftest::stressSurface(writer, number);
        bool ready =
            isTrue(cellAs<k::PodgotovitPoverhnostFn>(kt[k::kPodgotovitPoverhnost])(
                record, static_cast<std::int32_t>(s.vertexCount()), s.triangleCount())) &&
            isTrue(cellAs<k::SetSurfaceNameFn>(kt[k::kSetSurfaceName])(record, s.name.c_str()));
        for (std::uint32_t v = 0; ready && v < s.vertexCount(); ++v)
            ready = isTrue(cellAs<k::SetVertexFn>(kt[k::kSetVertex])(
                record, v, s.vertices[3 * v], s.vertices[3 * v + 1], s.vertices[3 * v + 2]));
        for (std::uint32_t t = 0; ready && t < s.triangleCount(); ++t)
            ready = isTrue(cellAs<k::SetTriangleFn>(kt[k::kSetTriangle])(
                record, t, s.triangles[3 * t], s.triangles[3 * t + 1], s.triangles[3 * t + 2]));
        const bool saved =
            ready && isTrue(cellAs<a::SaveSurfaceFn>(at[a::kSaveSurface])(file.c_str(), record));
        std::printf("%d %d\n", number, saved ? 1 : 0);
    }
    std::fflush(stdout);
    cellAs<k::ClearSurfacesFn>(kt[k::kClearSurfaces])();
    platform::freeLibrary(archiver);
    platform::freeLibrary(keeper);
    return 0;
}

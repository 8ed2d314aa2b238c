#include "editor/probe/surface_libraries.h"

#include "abi/surfview1.h"

namespace probe {

namespace k = contracts::keeper;
namespace a = contracts::archiver;

SurfaceRead readSurface(SurfaceLibraries& libraries, const contracts::SurfaceSetDescriptor& set,
                        const char* fileName, std::uint32_t index, std::uint32_t slot) {
    SurfaceRead result;
    result.record =
        static_cast<unsigned char*>(set.firstRecord) + std::size_t{slot} * set.recordSize;
    const std::int32_t parameter1 = libraries.ZagruzitParametr1Poverhnosti(fileName, index);
    result.parameter2 = libraries.ZagruzitParametr2Poverhnosti(fileName, index);
    libraries.PodgotovitPoverhnost(libraries.PoluchitPoverhnostPoIndeksu(slot), parameter1,
                                   result.parameter2);
    result.read = libraries.ZagruzitPoverhnost(fileName, result.record, index);
    return result;
}

bool TableSurfaceLibraries::VidelitPamyatDlyaPoverhnostey(std::uint32_t count) {
    auto fn =
        entry<k::VidelitPamyatDlyaPoverhnosteyFn>(keeperTable(), k::kVidelitPamyatDlyaPoverhnostey);
    return fn && isTrue(fn(count));
}
bool TableSurfaceLibraries::PodgotovitPoverhnost(void* record, std::int32_t p1, std::uint32_t p2) {
    auto fn = entry<k::PodgotovitPoverhnostFn>(keeperTable(), k::kPodgotovitPoverhnost);
    return fn && isTrue(fn(record, p1, p2));
}
contracts::SurfaceSetDescriptor* TableSurfaceLibraries::PoluchitSpisokPoverhnostey() {
    auto fn = entry<k::PoluchitSpisokPoverhnosteyFn>(keeperTable(), k::kPoluchitSpisokPoverhnostey);
    return fn ? fn() : nullptr;
}
void* TableSurfaceLibraries::PoluchitPoverhnostPoIndeksu(std::uint32_t index) {
    auto fn =
        entry<k::PoluchitPoverhnostPoIndeksuFn>(keeperTable(), k::kPoluchitPoverhnostPoIndeksu);
    return fn ? fn(index) : nullptr;
}
const char* TableSurfaceLibraries::PoluchitImyaPoverhnosti(void* record) {
    auto fn = entry<k::PoluchitImyaPoverhnostiFn>(keeperTable(), k::kPoluchitImyaPoverhnosti);
    return fn ? fn(record) : nullptr;
}
bool TableSurfaceLibraries::OpredelitPriznakPoverhnosti(void* record, std::int32_t value) {
    auto fn =
        entry<k::OpredelitPriznakPoverhnostiFn>(keeperTable(), k::kOpredelitPriznakPoverhnosti);
    return fn && isTrue(fn(record, value));
}
std::int32_t TableSurfaceLibraries::ZagruzitKolichestvoPoverhnostey(const char* fileName) {
    auto fn = entry<a::ZagruzitKolichestvoPoverhnosteyFn>(archiverTable(),
                                                          a::kZagruzitKolichestvoPoverhnostey);
    return fn ? fn(fileName) : 0;
}
std::int32_t TableSurfaceLibraries::ZagruzitParametr1Poverhnosti(const char* fileName,
                                                                 std::uint32_t i) {
    auto fn =
        entry<a::ZagruzitParametr1PoverhnostiFn>(archiverTable(), a::kZagruzitParametr1Poverhnosti);
    return fn ? fn(fileName, i) : 0;
}
std::uint32_t TableSurfaceLibraries::ZagruzitParametr2Poverhnosti(const char* fileName,
                                                                  std::uint32_t i) {
    auto fn =
        entry<a::ZagruzitParametr2PoverhnostiFn>(archiverTable(), a::kZagruzitParametr2Poverhnosti);
    return fn ? fn(fileName, i) : 0;
}
bool TableSurfaceLibraries::ZagruzitPoverhnost(const char* fileName, void* record,
                                               std::uint32_t i) {
    auto fn = entry<a::ZagruzitPoverhnostFn>(archiverTable(), a::kZagruzitPoverhnost);
    return fn && isTrue(fn(fileName, record, i));
}

bool LoaderSurfaceLibraries::ZagruzitBiblioteki(std::uint32_t mask) {
    return loader_.ZagruzitBiblioteki(mask);
}
void LoaderSurfaceLibraries::VigruzitBiblioteki(std::uint32_t mask) {
    loader_.VigruzitBiblioteki(mask);
}
void LoaderSurfaceLibraries::OpredelitFlagi(std::uint32_t flags) {
    if (!loader_.isLoaded(biblioteki::kSurfView)) return;
    if (auto fn = loader_.surfaceViewer().OpredelitFlagi) fn(flags);
}
bool LoaderSurfaceLibraries::OpredelitPoverhnosti(contracts::SurfaceSetDescriptor* surfaces) {
    if (!loader_.isLoaded(biblioteki::kSurfView)) return false;
    auto fn = loader_.surfaceViewer().OpredelitPoverhnosti;
    return fn && isTrue(fn(surfaces));
}
const biblioteki::SlotTable* LoaderSurfaceLibraries::keeperTable() const {
    return loader_.isLoaded(biblioteki::kSurfStore) ? &loader_.table(biblioteki::kSlotSurfStore)
                                                    : nullptr;
}
const biblioteki::SlotTable* LoaderSurfaceLibraries::archiverTable() const {
    return loader_.isLoaded(biblioteki::kSurfArch) ? &loader_.table(biblioteki::kSlotSurfArch)
                                                   : nullptr;
}

}  // namespace probe

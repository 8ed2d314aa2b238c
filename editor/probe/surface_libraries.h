// The surface libraries as the editor calls them: the loader's mask calls and the typed entries of
// the surface keeper (surfstore), archiver (surfarch) and visualizer (surfview1). Page 8 lists a
// surface file through them and surface viewing shows a surface; both read a surface with
// readSurface. Texts are cp1251 as the libraries exchange them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "probe_core/biblioteki/biblioteki.h"

namespace probe {

class SurfaceLibraries {
  public:
    virtual ~SurfaceLibraries() = default;
    virtual bool ZagruzitBiblioteki(std::uint32_t mask) = 0;
    virtual void VigruzitBiblioteki(std::uint32_t mask) = 0;
    // keeper (surfstore)
    virtual bool VidelitPamyatDlyaPoverhnostey(std::uint32_t count) = 0;
    virtual bool PodgotovitPoverhnost(void* record, std::int32_t parameter1,
                                      std::uint32_t parameter2) = 0;
    virtual contracts::SurfaceSetDescriptor* PoluchitSpisokPoverhnostey() = 0;
    virtual void* PoluchitPoverhnostPoIndeksu(std::uint32_t index) = 0;
    virtual const char* PoluchitImyaPoverhnosti(void* record) = 0;
    virtual bool OpredelitPriznakPoverhnosti(void* record, std::int32_t value) = 0;
    // archiver (surfarch)
    virtual std::int32_t ZagruzitKolichestvoPoverhnostey(const char* fileName) = 0;
    virtual std::int32_t ZagruzitParametr1Poverhnosti(const char* fileName,
                                                      std::uint32_t index) = 0;
    virtual std::uint32_t ZagruzitParametr2Poverhnosti(const char* fileName,
                                                       std::uint32_t index) = 0;
    virtual bool ZagruzitPoverhnost(const char* fileName, void* record, std::uint32_t index) = 0;
    // visualizer (surfview1)
    virtual void OpredelitFlagi(std::uint32_t flags) = 0;
    virtual bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor* surfaces) = 0;
};

// Surface `index` of the file read into the keeper's record `slot` of `set`: the keeper prepares
// the record for the surface's two size parameters, then the archiver reads the surface into it.
struct SurfaceRead {
    bool read = false;             // the archiver read the surface
    std::uint32_t parameter2 = 0;  // the surface's second size parameter
    void* record = nullptr;        // the record read into
};
SurfaceRead readSurface(SurfaceLibraries& libraries, const contracts::SurfaceSetDescriptor& set,
                        const char* fileName, std::uint32_t index, std::uint32_t slot);

// The keeper's and archiver's entries called through their function tables. An entry a library
// left empty counts as a failed call (false, 0 or null), never as a jump through null.
class TableSurfaceLibraries : public SurfaceLibraries {
  public:
    bool VidelitPamyatDlyaPoverhnostey(std::uint32_t count) override;
    bool PodgotovitPoverhnost(void* record, std::int32_t p1, std::uint32_t p2) override;
    contracts::SurfaceSetDescriptor* PoluchitSpisokPoverhnostey() override;
    void* PoluchitPoverhnostPoIndeksu(std::uint32_t index) override;
    const char* PoluchitImyaPoverhnosti(void* record) override;
    bool OpredelitPriznakPoverhnosti(void* record, std::int32_t value) override;
    std::int32_t ZagruzitKolichestvoPoverhnostey(const char* fileName) override;
    std::int32_t ZagruzitParametr1Poverhnosti(const char* fileName, std::uint32_t i) override;
    std::uint32_t ZagruzitParametr2Poverhnosti(const char* fileName, std::uint32_t i) override;
    bool ZagruzitPoverhnost(const char* fileName, void* record, std::uint32_t i) override;

  protected:
    // The bound tables, or null while the library is not loaded.
    virtual const biblioteki::SlotTable* keeperTable() const = 0;
    virtual const biblioteki::SlotTable* archiverTable() const = 0;

  private:
    template <typename Fn>
    static Fn entry(const biblioteki::SlotTable* table, std::size_t index) {
        return table ? cellAs<Fn>((*table)[index]) : nullptr;
    }
};

// The loader's slots 2 (keeper), 4 (archiver) and 3 (visualizer).
class LoaderSurfaceLibraries final : public TableSurfaceLibraries {
  public:
    explicit LoaderSurfaceLibraries(biblioteki::Biblioteki& loader) : loader_(loader) {}
    bool ZagruzitBiblioteki(std::uint32_t mask) override;
    void VigruzitBiblioteki(std::uint32_t mask) override;
    void OpredelitFlagi(std::uint32_t flags) override;
    bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor* surfaces) override;

  protected:
    const biblioteki::SlotTable* keeperTable() const override;
    const biblioteki::SlotTable* archiverTable() const override;

  private:
    biblioteki::Biblioteki& loader_;
};

}  // namespace probe

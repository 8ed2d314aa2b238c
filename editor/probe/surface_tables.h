// What page 8 needs of the library loader to list a surface file: the request for the surface
// keeper and archiver, and their bound function tables.
#pragma once

#include <cstdint>

#include "editor/biblioteki/biblioteki.h"

namespace probe {

class SurfaceTables {
  public:
    virtual ~SurfaceTables() = default;
    virtual bool ZagruzitBiblioteki(std::uint32_t mask) = 0;
    virtual const biblioteki::SlotTable& keeperTable() const = 0;    // surfstore
    virtual const biblioteki::SlotTable& archiverTable() const = 0;  // surfarch
};

// The loader's own slots.
class LoaderSurfaceTables : public SurfaceTables {
  public:
    explicit LoaderSurfaceTables(biblioteki::Biblioteki& loader) : loader_(loader) {}
    bool ZagruzitBiblioteki(std::uint32_t mask) override {
        return loader_.ZagruzitBiblioteki(mask);
    }
    const biblioteki::SlotTable& keeperTable() const override {
        return loader_.table(biblioteki::kSlotSurfStore);
    }
    const biblioteki::SlotTable& archiverTable() const override {
        return loader_.table(biblioteki::kSlotSurfArch);
    }

  private:
    biblioteki::Biblioteki& loader_;
};

}  // namespace probe

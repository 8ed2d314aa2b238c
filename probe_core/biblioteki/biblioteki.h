// The plug-in library loader: eight library slots, loaded and bound by mask, freed by mask.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "abi/plugin.h"
#include "abi/probestore.h"
#include "abi/surface_tools.h"
#include "abi/surfstore.h"
#include "abi/surfview1.h"
#include "probe_core/biblioteki/slots.h"

namespace biblioteki {

// The platform's library calls as the loader makes them; tests put a recording fake here.
class LoaderPlatform {
  public:
    virtual ~LoaderPlatform() = default;
    virtual void* LoadLibraryA(const char* fileName) = 0;
    virtual void* GetProcAddress(void* module, const char* name) = 0;
    virtual bool FreeLibrary(void* module) = 0;
    // The system's text for the last error code (GetLastError + FormatMessageA), UTF-8.
    virtual std::string LastErrorText() = 0;
    // The last error code itself (GetLastError); named in the box when the system has no text.
    virtual std::uint32_t LastErrorCode() { return 0; }
};

// A modal message box with a title, an OK button and no icon. Texts are UTF-8.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void show(const std::string& title, const std::string& text) = 0;
};

// The real platform layer behind LoaderPlatform.
LoaderPlatform& systemPlatform();

// Room for the largest table, the keeper's (slot 2).
using SlotTable = std::array<TableCell, contracts::keeper::kTableEntries>;
// The library context record of slots 0 and 1.
using ContextRecord = std::array<void*, contracts::surface_tools::kContextCells>;

// Titles and texts of the loader's boxes (UTF-8).
inline constexpr const char* kSystemErrorTitle = "Системная ошибка";

class Biblioteki {
  public:
    Biblioteki(LoaderPlatform& platform, MessageBoxes& boxes);

    // Loads and binds every slot of `mask` not yet loaded and bound. True only if every such
    // slot was both loaded and bound, and when there was nothing left to do.
    bool ZagruzitBiblioteki(std::uint32_t mask);
    // Frees the libraries of the loaded slots of `mask`.
    void VigruzitBiblioteki(std::uint32_t mask);
    // "Системная ошибка" box: the caller's text (if any) followed by the system's text.
    void PokazatSistemnuyuOshibku(const std::optional<std::string>& text = std::nullopt);

    std::uint32_t loadedMask() const { return ~notLoaded_; }
    std::uint32_t notLoadedMask() const { return notLoaded_; }
    bool isLoaded(std::uint32_t slotBit) const { return (notLoaded_ & slotBit) == 0; }

    // The fixed file name of a slot ("probestore.dll", ...), UTF-8.
    const std::string& fileName(int slot) const {
        return fileNames_[static_cast<std::size_t>(slot)];
    }
    void* moduleHandle(int slot) const { return modules_[static_cast<std::size_t>(slot)]; }

    // Bound entry points. Valid only while the slot is in the loaded mask.
    const contracts::ProbeStoreApi& probeStore() const { return probeStore_; }
    const contracts::SurfaceViewerApi& surfaceViewer() const { return viewer_; }
    const SlotTable& table(int slot) const { return tables_[static_cast<std::size_t>(slot)]; }
    void* doubleToString() const { return doubleToString_; }
    // The library context record of slots 0 and 1.
    const ContextRecord& contextRecord(int slot) const {
        return context_[static_cast<std::size_t>(slot)];
    }

    // Typed access to a keeper or archiver table entry.
    template <typename Fn>
    Fn keeper(std::size_t entry) const {
        return cellAs<Fn>(tables_[kSlotSurfStore][entry]);
    }
    template <typename Fn>
    Fn archiver(std::size_t entry) const {
        return cellAs<Fn>(tables_[kSlotSurfArch][entry]);
    }

  private:
    void* findDecorated(void* module, const char* decorated, const char* plain);
    bool bindSlot(int slot);
    void freeSlots(std::uint32_t mask);

    LoaderPlatform& platform_;
    MessageBoxes& boxes_;
    std::array<std::string, kSlotCount> fileNames_;
    std::array<void*, kSlotCount> modules_{};
    std::array<SlotTable, kSlotCount> tables_{};
    std::array<ContextRecord, 2> context_{};  // slots 0 and 1
    contracts::ProbeStoreApi probeStore_{};
    contracts::SurfaceViewerApi viewer_{};
    void* doubleToString_ = nullptr;
    std::uint32_t notLoaded_ = 0xFFFFFFFFu;  // the loaded mask is always its complement
};

}  // namespace biblioteki

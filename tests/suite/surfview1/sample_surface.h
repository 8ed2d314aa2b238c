// Reads one surface of the sample file into the keeper's record 0, through the keeper's and the
// archiver's tables, the way the editor prepares a showing.
#pragma once

#include <string>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "abi/surfview1.h"
#include "platform/cp1251.h"
#include "platform/dynlib.h"

namespace surftest {

class SampleSurface {
  public:
    SampleSurface() {
        keeperModule_ = platform::loadLibrary("surfstore.dll");
        archiverModule_ = platform::loadLibrary("surfarch.dll");
        ok_ = bind(keeperModule_, contracts::keeper::kTableName, keeper_) &&
              bind(archiverModule_, contracts::archiver::kTableName, archiver_);
    }
    ~SampleSurface() {
        if (archiverModule_ != nullptr) platform::freeLibrary(archiverModule_);
        if (keeperModule_ != nullptr) platform::freeLibrary(keeperModule_);
    }
    SampleSurface(const SampleSurface&) = delete;
    SampleSurface& operator=(const SampleSurface&) = delete;

    bool ok() const { return ok_; }

    // The descriptor with surface `index` of `file` in record 0, marked for showing; null when
    // the surface cannot be read. `parameter2` receives its second parameter.
    contracts::SurfaceSetDescriptor* read(const std::string& file, std::uint32_t index,
                                          std::uint32_t& parameter2) {
        namespace k = contracts::keeper;
        namespace a = contracts::archiver;
        if (!ok_) return nullptr;
        if (!isTrue(cellAs<k::VidelitPamyatDlyaPoverhnosteyFn>(
                keeper_[k::kVidelitPamyatDlyaPoverhnostey])(1))) {
            return nullptr;
        }
        void* record =
            cellAs<k::PoluchitPoverhnostPoIndeksuFn>(keeper_[k::kPoluchitPoverhnostPoIndeksu])(0);
        const std::int32_t p1 = cellAs<a::ZagruzitParametr1PoverhnostiFn>(
            archiver_[a::kZagruzitParametr1Poverhnosti])(file.c_str(), index);
        parameter2 = cellAs<a::ZagruzitParametr2PoverhnostiFn>(
            archiver_[a::kZagruzitParametr2Poverhnosti])(file.c_str(), index);
        cellAs<k::PodgotovitPoverhnostFn>(keeper_[k::kPodgotovitPoverhnost])(record, p1,
                                                                             parameter2);
        if (!isTrue(cellAs<a::ZagruzitPoverhnostFn>(archiver_[a::kZagruzitPoverhnost])(
                file.c_str(), record, index))) {
            return nullptr;
        }
        cellAs<k::OpredelitPriznakPoverhnostiFn>(keeper_[k::kOpredelitPriznakPoverhnosti])(record,
                                                                                           1);
        return cellAs<k::PoluchitSpisokPoverhnosteyFn>(keeper_[k::kPoluchitSpisokPoverhnostey])();
    }

  private:
    static bool bind(platform::Module m, const char* nameUtf8, TableCell* table) {
        if (m == nullptr) return false;
        auto request = reinterpret_cast<TableRequest2>(
            platform::findExport(m, "PoluchitTablicuFunkciyPoImeni"));
        return request != nullptr &&
               request(table, platform::utf8ToCp1251(nameUtf8).c_str()) == table;
    }

    platform::Module keeperModule_ = nullptr;
    platform::Module archiverModule_ = nullptr;
    TableCell keeper_[contracts::keeper::kTableEntries] = {};
    TableCell archiver_[contracts::archiver::kTableEntries] = {};
    bool ok_ = false;
};

// The visualizer's five exports, looked up by their plain names. A library still loaded at the
// end (a check that failed before unload()) is unloaded, so that the next test case starts with a
// fresh one.
struct Viewer {
    platform::Module module = nullptr;
    contracts::SurfaceViewerApi api;

    Viewer() = default;
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;
    ~Viewer() { unload(); }

    bool load() {
        module = platform::loadLibrary("surfview1.dll");
        if (module == nullptr) return false;
        api.OpredelitPoverhnosti = reinterpret_cast<contracts::viewer::OpredelitPoverhnostiFn>(
            platform::findExport(module, "OpredelitPoverhnosti"));
        api.OpredelitFlagi = reinterpret_cast<contracts::viewer::OpredelitFlagiFn>(
            platform::findExport(module, "OpredelitFlagi"));
        api.PoluchitFlagi = reinterpret_cast<contracts::viewer::PoluchitFlagiFn>(
            platform::findExport(module, "PoluchitFlagi"));
        api.OpredelitMasshtab = reinterpret_cast<contracts::viewer::OpredelitMasshtabFn>(
            platform::findExport(module, "OpredelitMasshtab"));
        api.SortirovatPoverhnostiPoGlubine =
            reinterpret_cast<contracts::viewer::SortirovatPoverhnostiPoGlubineFn>(
                platform::findExport(module, "SortirovatPoverhnostiPoGlubine"));
        return api.OpredelitPoverhnosti && api.OpredelitFlagi && api.PoluchitFlagi &&
               api.OpredelitMasshtab && api.SortirovatPoverhnostiPoGlubine;
    }
    bool unload() {
        const bool freed = module != nullptr && platform::freeLibrary(module);
        module = nullptr;
        return freed;
    }
};

}  // namespace surftest

// SurfaceLibraries over the plug-in loader: the loader's mask calls and the entries it bound for
// the keeper (slot 2), the archiver (slot 4) and the visualizer (slot 3). Header-only, so that
// the widget-free logic does not link the loader; the main window includes it.
#pragma once

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "abi/surfview1.h"
#include "editor/biblioteki/biblioteki.h"
#include "editor/collections/surface_viewing.h"

namespace collections {

class LoaderSurfaceLibraries : public SurfaceLibraries {
  public:
    explicit LoaderSurfaceLibraries(biblioteki::Biblioteki& loader) : b_(loader) {}

    bool ZagruzitBiblioteki(std::uint32_t mask) override { return b_.ZagruzitBiblioteki(mask); }
    void VigruzitBiblioteki(std::uint32_t mask) override { b_.VigruzitBiblioteki(mask); }

    // An entry the library left empty in its table counts as a failed call, never as a jump
    // through null.
    bool VidelitPamyatDlyaPoverhnostey(std::uint32_t count) override {
        auto fn = keeper<contracts::keeper::VidelitPamyatDlyaPoverhnosteyFn>(
            contracts::keeper::kVidelitPamyatDlyaPoverhnostey);
        return fn && isTrue(fn(count));
    }
    bool PodgotovitPoverhnost(void* record, std::int32_t p1, std::uint32_t p2) override {
        auto fn = keeper<contracts::keeper::PodgotovitPoverhnostFn>(
            contracts::keeper::kPodgotovitPoverhnost);
        return fn && isTrue(fn(record, p1, p2));
    }
    contracts::SurfaceSetDescriptor* PoluchitSpisokPoverhnostey() override {
        auto fn = keeper<contracts::keeper::PoluchitSpisokPoverhnosteyFn>(
            contracts::keeper::kPoluchitSpisokPoverhnostey);
        return fn ? fn() : nullptr;
    }
    void* PoluchitPoverhnostPoIndeksu(std::uint32_t index) override {
        auto fn = keeper<contracts::keeper::PoluchitPoverhnostPoIndeksuFn>(
            contracts::keeper::kPoluchitPoverhnostPoIndeksu);
        return fn ? fn(index) : nullptr;
    }
    const char* PoluchitImyaPoverhnosti(void* record) override {
        auto fn = keeper<contracts::keeper::PoluchitImyaPoverhnostiFn>(
            contracts::keeper::kPoluchitImyaPoverhnosti);
        return fn ? fn(record) : nullptr;
    }
    bool OpredelitPriznakPoverhnosti(void* record, std::int32_t value) override {
        auto fn = keeper<contracts::keeper::OpredelitPriznakPoverhnostiFn>(
            contracts::keeper::kOpredelitPriznakPoverhnosti);
        return fn && isTrue(fn(record, value));
    }
    std::int32_t ZagruzitKolichestvoPoverhnostey(const char* fileName) override {
        auto fn = archiver<contracts::archiver::ZagruzitKolichestvoPoverhnosteyFn>(
            contracts::archiver::kZagruzitKolichestvoPoverhnostey);
        return fn ? fn(fileName) : 0;
    }
    std::int32_t ZagruzitParametr1Poverhnosti(const char* fileName, std::uint32_t i) override {
        auto fn = archiver<contracts::archiver::ZagruzitParametr1PoverhnostiFn>(
            contracts::archiver::kZagruzitParametr1Poverhnosti);
        return fn ? fn(fileName, i) : 0;
    }
    std::uint32_t ZagruzitParametr2Poverhnosti(const char* fileName, std::uint32_t i) override {
        auto fn = archiver<contracts::archiver::ZagruzitParametr2PoverhnostiFn>(
            contracts::archiver::kZagruzitParametr2Poverhnosti);
        return fn ? fn(fileName, i) : 0;
    }
    bool ZagruzitPoverhnost(const char* fileName, void* record, std::uint32_t i) override {
        auto fn = archiver<contracts::archiver::ZagruzitPoverhnostFn>(
            contracts::archiver::kZagruzitPoverhnost);
        return fn && isTrue(fn(fileName, record, i));
    }
    void OpredelitFlagi(std::uint32_t flags) override {
        if (!b_.isLoaded(biblioteki::kSurfView)) return;
        if (auto fn = b_.surfaceViewer().OpredelitFlagi) fn(flags);
    }
    bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor* surfaces) override {
        if (!b_.isLoaded(biblioteki::kSurfView)) return false;
        auto fn = b_.surfaceViewer().OpredelitPoverhnosti;
        return fn && isTrue(fn(surfaces));
    }

  private:
    template <typename Fn>
    Fn keeper(std::size_t entry) const {
        return b_.isLoaded(biblioteki::kSurfStore) ? b_.keeper<Fn>(entry) : nullptr;
    }
    template <typename Fn>
    Fn archiver(std::size_t entry) const {
        return b_.isLoaded(biblioteki::kSurfArch) ? b_.archiver<Fn>(entry) : nullptr;
    }

    biblioteki::Biblioteki& b_;
};

}  // namespace collections

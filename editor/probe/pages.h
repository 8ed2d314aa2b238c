// The load and store logic of the eight pages. Each page is a pair of operations between the
// current probe record and its controls: load (the page's OnShow handler) copies the page's
// fields into the controls, store (its OnHide handler, also bound to the controls' change or
// exit events) rebuilds every field of the page from the controls. Both do nothing while there
// is no current record. Pages own disjoint fields of the record.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "abi/probestore.h"
#include "editor/probe/controls.h"
#include "editor/probe/page.h"
#include "editor/probe/selection.h"
#include "editor/probe/surface_libraries.h"
#include "probe_core/record/conversions.h"
#include "probe_core/record/field_table.h"

namespace probe {

class Page {
  public:
    virtual ~Page() = default;
    virtual void show() = 0;  // load: record -> controls
    virtual void hide() = 0;  // store: controls -> record
};

// A page whose controls are the sub-fields of one bit-field word. Its loading flag (bit 0 of
// Tag) is set while the load runs: the change and click events that setting the controls raises
// then reach the store, which ignores them, so the word is never rebuilt from a half-loaded page.
class WordPage : public Page {
  public:
    unsigned Tag = 0;
    bool loading() const { return (Tag & 1u) != 0; }

  protected:
    WordPage(ProbeSelection& selection, std::uint32_t ProbeRecord::*word,
             std::span<const SubField> fields)
        : selection_(selection), word_(word), fields_(fields) {}
    // Controls in the order of the word's sub-field table.
    void bindList(FixedList& list, int itemCount) {
        bindings_.push_back({&list, nullptr, itemCount});
    }
    void bindBox(CheckBox& box) { bindings_.push_back({nullptr, &box, 0}); }
    void loadWord();
    void storeWord();

  private:
    struct Binding {
        FixedList* list;
        CheckBox* box;
        int itemCount;
    };
    ProbeSelection& selection_;
    std::uint32_t ProbeRecord::*word_;
    std::span<const SubField> fields_;
    std::vector<Binding> bindings_;
};

// Page 1: probe class, coordinate system, access methods and interface types.
struct TransducersControls {
    FixedList* cbKDpC;
    FixedList* cbKDpKP;
    FixedList* cbKDpRIP;
    FixedList* cbKDpFIP1;
    FixedList* cbKDpFIP2;
    FixedList* cbLSK;
    FixedList* cbSDkPI;
    FixedList* cbSDkPP;
    FixedList* cbTIPBI;
    FixedList* cbTIPBP;
};
class TransducersPage : public WordPage {
  public:
    TransducersPage(ProbeSelection& selection, const TransducersControls& c);
    void tbPiezoelementiShow() { loadWord(); }
    // The page's store; also the change event of all ten lists.
    void cbKDpCChange() { storeWord(); }
    void show() override { tbPiezoelementiShow(); }
    void hide() override { cbKDpCChange(); }
};

// Page 2: focusing means.
struct FocusingControls {
    CheckBox* ckSAL;
    FixedList* cbKL;
    CheckBox* ckMSAL;
    FixedList* cbSSL;
    CheckBox* ckVFIP1;
    CheckBox* ckVFIP2;
    CheckBox* ckVSDF;
};
class FocusingPage : public WordPage {
  public:
    FocusingPage(ProbeSelection& selection, const FocusingControls& c);
    void tbFokusirovkaShow() { loadWord(); }
    // The page's store; also the click of its five boxes and the change of its two lists.
    void cbKLChange() { storeWord(); }
    void show() override { tbFokusirovkaShow(); }
    void hide() override { cbKLChange(); }
};

// Page 3: deflection means.
struct DeflectionControls {
    CheckBox* ckEP;
    CheckBox* ck2VFIP1;
    CheckBox* ck2VFIP2;
    CheckBox* ckVoFIP1;
    CheckBox* ckVoFIP2;
    CheckBox* ckVSDO;
};
class DeflectionPage : public WordPage {
  public:
    DeflectionPage(ProbeSelection& selection, const DeflectionControls& c);
    void tbOtklonenieShow() { loadWord(); }
    void tbOtklonenieHide() { storeWord(); }
    void show() override { tbOtklonenieShow(); }
    void hide() override { tbOtklonenieHide(); }
};

// Page 4: scanning means.
struct ScanningControls {
    CheckBox* ckVSUP;
    CheckBox* ckVSUPV;
    CheckBox* ckVSUDO;
    CheckBox* ckVSUDF;
    CheckBox* ckVSUMSAL;
};
class ScanningPage : public WordPage {
  public:
    ScanningPage(ProbeSelection& selection, const ScanningControls& c);
    void tbSkanirovanieShow() { loadWord(); }
    void tbSkanirovanieHide() { storeWord(); }
    void show() override { tbSkanirovanieShow(); }
    void hide() override { tbSkanirovanieHide(); }
};

// Page 5: preprocessing means, one per line.
class PreprocessingPage : public Page {
  public:
    PreprocessingPage(ProbeSelection& selection, const contracts::ProbeStoreApi& store,
                      LinesField& mSPO)
        : selection_(selection), store_(store), mSPO_(mSPO) {}
    void tbObrabotkaShow();
    // The page's store; also the exit of mSPO.
    void tbObrabotkaHide();
    void show() override { tbObrabotkaShow(); }
    void hide() override { tbObrabotkaHide(); }

  private:
    ProbeSelection& selection_;
    const contracts::ProbeStoreApi& store_;
    LinesField& mSPO_;
};

// Page 6: identification.
struct IdentificationControls {
    TextField* cbProizvoditel;
    TextField* cbModel;
    TextField* cbNazvanie;
    TextField* cbCena;
    LinesField* mPribori;
    TextField* cbData;
};
class IdentificationPage : public Page {
  public:
    IdentificationPage(ProbeSelection& selection, const contracts::ProbeStoreApi& store,
                       const IdentificationControls& c, UserLocale locale, TodayFn today)
        : selection_(selection),
          store_(store),
          c_(c),
          locale_(std::move(locale)),
          today_(std::move(today)) {}
    void tbIdentifikacionnayaInformaciyaShow();
    // The page's store; also the exit of each of its six text controls.
    void tbIdentifikacionnayaInformaciyaHide();
    // "Обновить": today's date into cbData, stored at once, unless it already shows today or
    // a later date.
    void bnDataClick();
    void show() override { tbIdentifikacionnayaInformaciyaShow(); }
    void hide() override { tbIdentifikacionnayaInformaciyaHide(); }
    void setLocale(UserLocale locale) { locale_ = std::move(locale); }

  private:
    ProbeSelection& selection_;
    const contracts::ProbeStoreApi& store_;
    IdentificationControls c_;
    UserLocale locale_;
    TodayFn today_;
};

// Page 7: quantitative parameters.
struct ParametersControls {
    TextField* cbRKIP1;
    TextField* cbRKIP2;
    TextField* cbOCHIP;
    TextField* cbTP;
    TextField* cbMU;
    LinesField* mParametri;
};
class ParametersPage : public Page {
  public:
    ParametersPage(ProbeSelection& selection, const contracts::ProbeStoreApi& store,
                   const ParametersControls& c, UserLocale locale)
        : selection_(selection), store_(store), c_(c), locale_(std::move(locale)) {}
    void tsParametriShow();
    // The page's store; also the exit of each of its six text controls.
    void tsParametriHide();
    void show() override { tsParametriShow(); }
    void hide() override { tsParametriHide(); }
    void setLocale(UserLocale locale) { locale_ = std::move(locale); }

  private:
    ProbeSelection& selection_;
    const contracts::ProbeStoreApi& store_;
    ParametersControls c_;
    UserLocale locale_;
};

// What the last listing of page 8 found in the surface file.
struct SurfaceListing {
    bool ran = false;         // the surface libraries were loaded and the probe names a file
    std::string fileName;     // where the file was found (cp1251), see locateSurfaceFile
    std::uint32_t count = 0;  // surfaces the file holds
    std::uint32_t read = 0;   // of them read
};

// Page 8: objects of the functional model. Every store also lists the surface file named in
// cbIFsP into the drop-down lists of the three surface name fields.
struct ModelObjectsControls {
    TextField* cbIFsP;
    TextField* cbIIP;
    TextField* cbIIIP;
    TextField* cbIIPP;
    FixedList* cbMasshtabProstranstva;
};
class ModelObjectsPage : public Page {
  public:
    ModelObjectsPage(ProbeSelection& selection, const contracts::ProbeStoreApi& store,
                     SurfaceLibraries& surfaces, const ModelObjectsControls& c)
        : selection_(selection), store_(store), surfaces_(surfaces), c_(c) {}
    void tsObektiShow();
    // The page's store; also the exit of each of its five fields.
    void tsObektiHide();
    void show() override { tsObektiShow(); }
    void hide() override { tsObektiHide(); }
    // What the last store found when it listed the surface file.
    const SurfaceListing& lastListing() const { return listing_; }

  private:
    void listSurfaces(const std::string& fileName);
    ProbeSelection& selection_;
    const contracts::ProbeStoreApi& store_;
    SurfaceLibraries& surfaces_;
    ModelObjectsControls c_;
    SurfaceListing listing_;
};

// The page control: which page is active, and the switch between pages. Leaving a page stores
// it, entering one loads it.
class PageControl : public ActivePage {
  public:
    // The pages in page order; a null entry is a page without handlers.
    explicit PageControl(std::span<Page* const> pages) : pages_(pages.begin(), pages.end()) {}
    int activeIndex() const { return active_; }
    // Makes `index` the active page (-1: none) without running any handler.
    void setActiveIndex(int index) { active_ = valid(index) ? index : -1; }
    // The user switches pages: the page left is stored, the page entered loaded.
    void switchTo(int index);
    void storeActivePage() override;
    void loadActivePage() override;

  private:
    bool valid(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < pages_.size() &&
               pages_[static_cast<std::size_t>(index)];
    }
    std::vector<Page*> pages_;
    int active_ = -1;
};

}  // namespace probe

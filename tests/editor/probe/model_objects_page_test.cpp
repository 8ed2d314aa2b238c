// Page 8: names, scale and the listing of the surface file through the keeper and archiver
// tables.
#include <gtest/gtest.h>

#include <map>

#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "editor/probe/pages.h"
#include "editor/probe/surface_files.h"
#include "fakes.h"
#include "platform/cp1251.h"

namespace probe {
namespace {

using testing::FakeList;
using testing::FakeStore;
using testing::FakeText;
using testing::OwnedRecord;

// A surface file as the fake archiver knows it.
struct FakeSurface {
    std::string name;  // cp1251
    std::int32_t p1;
    std::uint32_t p2;
    bool readable;
};

// Keeper and archiver tables over static state: the function tables hold plain entry points.
struct FakeSurfaceLibs : TableSurfaceLibraries {
    struct Record {
        char name[32];
        std::int32_t p1;
        std::uint32_t p2;
    };
    static inline std::map<std::string, std::vector<FakeSurface>> files;
    static inline std::vector<Record> records;
    static inline contracts::SurfaceSetDescriptor descriptor{};
    static inline std::uint32_t room = 100;  // the most records the keeper makes room for
    static inline std::vector<std::string> calls;

    static std::int32_t PLUGIN_CALL count(const char* file) {
        calls.push_back(std::string("count ") + file);
        auto it = files.find(file);
        return it == files.end() ? 0 : static_cast<std::int32_t>(it->second.size());
    }
    static std::int32_t PLUGIN_CALL param1(const char* file, std::uint32_t i) {
        return files[file].at(i).p1;
    }
    static std::uint32_t PLUGIN_CALL param2(const char* file, std::uint32_t i) {
        return files[file].at(i).p2;
    }
    static BoolByte PLUGIN_CALL read(const char* file, void* record, std::uint32_t i) {
        const FakeSurface& s = files[file].at(i);
        calls.push_back("read " + std::to_string(i));
        if (!s.readable) return kFalse;
        std::snprintf(static_cast<Record*>(record)->name, 32, "%s", s.name.c_str());
        return kTrue;
    }
    static BoolByte PLUGIN_CALL allocate(std::uint32_t n) {
        calls.push_back("allocate " + std::to_string(n));
        if (n > room) return kFalse;
        records.assign(n, Record{});
        descriptor = {records.data(), n, sizeof(Record)};
        return kTrue;
    }
    static BoolByte PLUGIN_CALL prepare(void* record, std::int32_t p1, std::uint32_t p2) {
        auto* r = static_cast<Record*>(record);
        r->p1 = p1;
        r->p2 = p2;
        std::snprintf(r->name, 32, "unread");
        return kTrue;
    }
    static contracts::SurfaceSetDescriptor* PLUGIN_CALL list() { return &descriptor; }
    static void* PLUGIN_CALL byIndex(std::uint32_t i) { return &records.at(i); }
    static const char* PLUGIN_CALL name(void* record) { return static_cast<Record*>(record)->name; }

    FakeSurfaceLibs() {
        namespace k = contracts::keeper;
        namespace a = contracts::archiver;
        keeper[k::kVidelitPamyatDlyaPoverhnostey] = asCell(&allocate);
        keeper[k::kPodgotovitPoverhnost] = asCell(&prepare);
        keeper[k::kPoluchitSpisokPoverhnostey] = asCell(&list);
        keeper[k::kPoluchitPoverhnostPoIndeksu] = asCell(&byIndex);
        keeper[k::kPoluchitImyaPoverhnosti] = asCell(&name);
        archiver[a::kZagruzitKolichestvoPoverhnostey] = asCell(&count);
        archiver[a::kZagruzitParametr1Poverhnosti] = asCell(&param1);
        archiver[a::kZagruzitParametr2Poverhnosti] = asCell(&param2);
        archiver[a::kZagruzitPoverhnost] = asCell(&read);
        files.clear();
        records.clear();
        calls.clear();
        room = 100;
    }
    bool ZagruzitBiblioteki(std::uint32_t mask) override {
        calls.push_back("load " + std::to_string(mask));
        return librariesLoad;
    }
    void VigruzitBiblioteki(std::uint32_t) override {}
    void OpredelitFlagi(std::uint32_t) override {}
    bool OpredelitPoverhnosti(contracts::SurfaceSetDescriptor*) override { return false; }
    const biblioteki::SlotTable* keeperTable() const override { return &keeper; }
    const biblioteki::SlotTable* archiverTable() const override { return &archiver; }

    bool librariesLoad = true;
    biblioteki::SlotTable keeper{};
    biblioteki::SlotTable archiver{};
};

struct Page8 {
    ProbeSelection selection;
    OwnedRecord owned;
    contracts::ProbeStoreApi store = FakeStore::api();
    FakeSurfaceLibs libs;
    FakeText cbIFsP, cbIIP, cbIIIP, cbIIPP;
    FakeList cbMasshtabProstranstva{16};
    ModelObjectsPage page{
        selection, store, libs, {&cbIFsP, &cbIIP, &cbIIIP, &cbIIPP, &cbMasshtabProstranstva}};
    Page8() {
        selection.current = &owned.record;
        for (FakeText* f : {&cbIIP, &cbIIIP, &cbIIPP}) f->items = {"old"};
    }
    std::vector<std::string> names() const { return cbIIP.items; }
};

TEST(ScaleEncoding, SixteenEntriesAroundTheOneToOneScale) {
    EXPECT_STREQ(kScaleTexts[positionFromScale(0)], "1 м' = 1 м   ( x 1 )");
    EXPECT_STREQ(kScaleTexts[positionFromScale(6)], "1000 км' = 1 м   ( x 10^6 )");
    EXPECT_STREQ(kScaleTexts[positionFromScale(-9)], "1 нм' = 1 м   ( / 10^9 )");
    EXPECT_EQ(positionFromScale(7), -1);
    EXPECT_EQ(positionFromScale(-10), -1);
    EXPECT_EQ(scaleFromPosition(-1), 7);
    for (int position = 0; position < 16; ++position)
        EXPECT_EQ(positionFromScale(scaleFromPosition(position)), position);
}

TEST(ModelObjectsPage, ListsEverySurfaceIntoTheThreeNameLists) {
    Page8 p;
    const std::string file = platform::utf8ToCp1251("датчик.pv");
    FakeSurfaceLibs::files[file] = {{platform::utf8ToCp1251("Излучатель"), 1, 2, true},
                                    {"broken", 3, 4, false},
                                    {"Pattern", 5, 0, true}};
    p.cbIFsP.setText("датчик.pv");
    p.cbIIP.setText("Pattern");
    p.cbIIPP.setText("hidden row");
    p.cbMasshtabProstranstva.setPosition(9);
    p.page.tsObektiHide();

    EXPECT_EQ(p.owned.record.MasshtabProstranstva, -3);
    EXPECT_EQ(std::string(p.owned.record.IFsP.text), file);
    EXPECT_STREQ(p.owned.record.IIPP.text, "hidden row");
    // A failed read is still listed under the name the keeper reports.
    const std::vector<std::string> expected{"Излучатель", "unread", "Pattern"};
    EXPECT_EQ(p.cbIIP.items, expected);
    EXPECT_EQ(p.cbIIIP.items, expected);
    EXPECT_EQ(p.cbIIPP.items, expected);
    EXPECT_EQ(p.cbIIP.text(), "Pattern");  // the texts stay
    EXPECT_EQ(FakeSurfaceLibs::records[1].p1, 3);
    EXPECT_EQ(FakeSurfaceLibs::calls.front(), "load 20");  // keeper and archiver, 0x14

    // Loading shows the texts and the scale and leaves the lists alone.
    for (FakeText* f : {&p.cbIFsP, &p.cbIIP, &p.cbIIPP}) f->setText("");
    p.page.tsObektiShow();
    EXPECT_EQ(p.cbIFsP.text(), "датчик.pv");
    EXPECT_EQ(p.cbIIPP.text(), "hidden row");
    EXPECT_EQ(p.cbMasshtabProstranstva.position(), 9);
    EXPECT_EQ(p.cbIIP.items, expected);
}

// A store that takes every text and keeps none of it.
BoolByte PLUGIN_CALL acceptWithoutText(Stroka*, TextCallback, void*) {
    return kTrue;
}

TEST(ModelObjectsPage, NothingListableLeavesTheNameListsButStoresTheFields) {
    {
        Page8 p;  // null file name: the store hands out no text at all
        p.store.SozdatStroku = acceptWithoutText;
        p.cbIIP.setText("a");
        p.page.tsObektiHide();
        EXPECT_EQ(p.names(), std::vector<std::string>{"old"});
        EXPECT_EQ(p.owned.record.MasshtabProstranstva, 7);  // nothing chosen
    }
    {
        Page8 p;  // no surfaces in the file
        p.cbIFsP.setText("empty.pv");
        p.cbIIP.setText("keep");
        p.page.tsObektiHide();
        EXPECT_EQ(p.names(), std::vector<std::string>{"old"});
        EXPECT_STREQ(p.owned.record.IIP.text, "keep");
    }
    {
        Page8 p;  // the keeper has no room
        FakeSurfaceLibs::files["big.pv"] = {{"a", 0, 0, true}, {"b", 0, 0, true}};
        FakeSurfaceLibs::room = 1;
        p.cbIFsP.setText("big.pv");
        p.page.tsObektiHide();
        EXPECT_EQ(p.names(), std::vector<std::string>{"old"});
    }
    {
        Page8 p;  // the libraries do not load
        p.libs.librariesLoad = false;
        FakeSurfaceLibs::files["f.pv"] = {{"a", 0, 0, true}};
        p.cbIFsP.setText("f.pv");
        p.page.tsObektiHide();
        EXPECT_EQ(p.names(), std::vector<std::string>{"old"});
        EXPECT_STREQ(p.owned.record.IFsP.text, "f.pv");
    }
}

// A keeper that reports fewer records than it was asked for.
BoolByte PLUGIN_CALL allocateTwoRecords(std::uint32_t) {
    FakeSurfaceLibs::records.assign(2, {});
    FakeSurfaceLibs::descriptor = {FakeSurfaceLibs::records.data(), 2,
                                   sizeof(FakeSurfaceLibs::Record)};
    return kTrue;
}

TEST(ModelObjectsPage, ListingNeverWalksPastTheKeepersRecords) {
    Page8 p;
    FakeSurfaceLibs::files["f.pv"] = {{"a", 0, 0, true}, {"b", 0, 0, true}, {"c", 0, 0, true}};
    p.libs.keeper[contracts::keeper::kVidelitPamyatDlyaPoverhnostey] = asCell(&allocateTwoRecords);
    p.cbIFsP.setText("f.pv");
    p.page.tsObektiHide();
    EXPECT_EQ(p.names(), (std::vector<std::string>{"a", "b"}));
}

TEST(ModelObjectsPage, ListingSaysWhatItReadAndLooksBesideTheProbeFile) {
    Page8 p;
    FakeSurfaceLibs::files["/probes/s.pv"] = {
        {"a", 0, 0, true}, {"b", 0, 0, false}, {"c", 0, 0, true}};
    p.selection.loadedFromFolder = "/probes/";
    p.cbIFsP.setText("s.pv");
    p.page.tsObektiHide();
    EXPECT_STREQ(p.owned.record.IFsP.text, "s.pv");  // stored as typed
    EXPECT_EQ(p.names(), (std::vector<std::string>{"a", "unread", "c"}));
    const SurfaceListing& listing = p.page.lastListing();
    EXPECT_TRUE(listing.ran);
    EXPECT_EQ(listing.fileName, "/probes/s.pv");
    EXPECT_EQ(listing.count, 3u);
    EXPECT_EQ(listing.read, 2u);

    // Nothing beside the probe file: the name as it stands, which has no surfaces here.
    FakeSurfaceLibs::calls.clear();
    p.selection.loadedFromFolder = "/elsewhere/";
    p.page.tsObektiHide();
    EXPECT_EQ(FakeSurfaceLibs::calls,
              (std::vector<std::string>{"load 20", "count /elsewhere/s.pv", "count s.pv"}));
    EXPECT_TRUE(p.page.lastListing().ran);
    EXPECT_EQ(p.page.lastListing().fileName, "s.pv");
    EXPECT_EQ(p.page.lastListing().count, 0u);

    // No libraries: no listing ran, whatever the last one found.
    p.libs.librariesLoad = false;
    p.page.tsObektiHide();
    EXPECT_FALSE(p.page.lastListing().ran);
}

TEST(SurfaceFiles, OnlyNamesWithoutFolderAreLookedForBesideTheProbeFile) {
    EXPECT_FALSE(namesFolder("probe_surfaces.pv"));
    for (const char* withFolder : {"/a/s.pv", "sub/s.pv", "C:\\s.pv", "C:s.pv", "..\\s.pv"})
        EXPECT_TRUE(namesFolder(withFolder)) << withFolder;
    EXPECT_EQ(folderOf("/data/probes.dt"), "/data/");
    EXPECT_EQ(folderOf("D:\\probe\\probes.dt"), "D:\\probe\\");
    EXPECT_EQ(folderOf("probes.dt"), "");

    std::vector<std::string> asked;
    auto count = [&asked](const char* name) {
        asked.emplace_back(name);
        return std::string(name) == "/data/s.pv" ? 4 : -1;
    };
    EXPECT_EQ(locateSurfaceFile("s.pv", "/data/", count).fileName, "/data/s.pv");
    EXPECT_EQ(locateSurfaceFile("s.pv", "/data/", count).surfaces, 4);
    asked.clear();
    const LocatedSurfaceFile missing = locateSurfaceFile("s.pv", "/other/", count);
    EXPECT_EQ(missing.fileName, "s.pv");
    EXPECT_EQ(missing.surfaces, -1);
    EXPECT_EQ(asked, (std::vector<std::string>{"/other/s.pv", "s.pv"}));
    asked.clear();
    locateSurfaceFile("/x/s.pv", "/data/", count);
    locateSurfaceFile("", "/data/", count);
    EXPECT_EQ(asked, (std::vector<std::string>{"/x/s.pv", ""}));
}

TEST(ModelObjectsPage, OutOfRangeScaleLoadsAsNoEntry) {
    Page8 p;
    p.owned.record.MasshtabProstranstva = 7;
    p.cbMasshtabProstranstva.setPosition(3);
    p.page.tsObektiShow();
    EXPECT_EQ(p.cbMasshtabProstranstva.position(), -1);
    p.owned.record.MasshtabProstranstva = 0;
    p.page.tsObektiShow();
    EXPECT_EQ(p.cbMasshtabProstranstva.position(), 6);
}

}  // namespace
}  // namespace probe

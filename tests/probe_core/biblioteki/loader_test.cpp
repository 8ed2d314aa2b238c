// The loader against a fake platform: which system calls it makes, in which order, what it
// shows, and what the masks say afterwards.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/cp1251.h"
#include "probe_core/biblioteki/biblioteki.h"
#include "tests/probe_core/biblioteki/fixture_platform.h"

namespace {

using biblioteki::Biblioteki;
using testing_support::Box;
using testing_support::RecordingBoxes;

const std::string kTitle = "Системная ошибка";
const std::string kNoFunctionsTail = "не была завершена. \r\nНе найдены необходимые функции.";

// What the fake libraries' table requests saw.
struct RequestLog {
    std::vector<std::string> names;  // cp1251 as passed
    std::vector<std::uint32_t> sizes;
    std::vector<void**> contexts;
    std::int32_t initResult = 1;
    bool fillInit = true;
};
RequestLog gLog;

void PLUGIN_CALL anyEntry() {}
std::int32_t PLUGIN_CALL initEntry(void** context) {
    gLog.contexts.push_back(context);
    context[1] = context;  // what a library keeps there is its own
    return gLog.initResult;
}
void* PLUGIN_CALL request3(TableCell* table, std::uint32_t size, const char* name) {
    gLog.names.push_back(name);
    gLog.sizes.push_back(size);
    table[0] = asCell(&anyEntry);
    table[1] = gLog.fillInit ? asCell(&initEntry) : nullptr;
    return table;
}
void* PLUGIN_CALL request2(TableCell* table, const char* name) {
    gLog.names.push_back(name);
    table[0] = asCell(&anyEntry);
    return table;
}
void* PLUGIN_CALL requestNull(TableCell*, const char*) {
    return nullptr;
}

// A fake library: its exports by name.
using Exports = std::map<std::string, void*>;

class FakePlatform : public biblioteki::LoaderPlatform {
  public:
    void* LoadLibraryA(const char* fileName) override {
        calls.push_back(std::string("load ") + fileName);
        auto it = libraries.find(fileName);
        if (it == libraries.end()) return nullptr;
        return &it->second;
    }
    void* GetProcAddress(void* module, const char* name) override {
        calls.push_back(std::string("find ") + name);
        auto* exports = static_cast<Exports*>(module);
        auto it = exports->find(name);
        return it == exports->end() ? nullptr : it->second;
    }
    bool FreeLibrary(void* module) override {
        for (auto& [file, exports] : libraries) {
            if (&exports == module) calls.push_back("free " + file);
        }
        return !failFree;
    }
    // Like the system's message lookup, a lookup that finds no text leaves its own error code.
    std::string LastErrorText() override {
        if (errorText.empty()) errorCode = 317;
        return errorText;
    }
    std::uint32_t LastErrorCode() override { return errorCode; }

    std::map<std::string, Exports> libraries;
    std::vector<std::string> calls;
    bool failFree = false;
    std::uint32_t errorCode = 126;
    std::string errorText = "Не найден указанный модуль.";
};

void* fakeEntry() {
    return reinterpret_cast<void*>(&anyEntry);
}

Exports probeStore(int leaveOut = -1) {
    Exports e;
    for (int i = 0; i < 13; ++i) {
        if (i != leaveOut) e[contracts::kProbeStoreExports[i]] = fakeEntry();
    }
    return e;
}

Exports viewer(const std::set<std::string>& names) {
    Exports e;
    for (const auto& n : names) e[n] = fakeEntry();
    return e;
}

class LoaderTest : public ::testing::Test {
  protected:
    void SetUp() override { gLog = RequestLog{}; }

    void expectMasksComplementary() { EXPECT_EQ(loader.loadedMask(), ~loader.notLoadedMask()); }
    std::vector<std::string> callsStartingWith(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& c : fake.calls) {
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        }
        return out;
    }

    FakePlatform fake;
    RecordingBoxes boxes;
    Biblioteki loader{fake, boxes};
};

TEST_F(LoaderTest, NothingToDoAnswersTrueWithoutSystemCalls) {
    EXPECT_TRUE(loader.ZagruzitBiblioteki(0));
    fake.libraries["probestore.dll"] = probeStore();
    ASSERT_TRUE(loader.ZagruzitBiblioteki(0x20));
    fake.calls.clear();

    EXPECT_TRUE(loader.ZagruzitBiblioteki(0x20));
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(loader.notLoadedMask(), 0xFFFFFFFFu & ~0x20u);
    expectMasksComplementary();
}

TEST_F(LoaderTest, LoadsEveryRequestedLibraryBeforeBindingAny) {
    fake.libraries["surfstore.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request2)}};
    fake.libraries["surfarch.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request2)}};
    fake.libraries["probestore.dll"] = probeStore();

    EXPECT_TRUE(loader.ZagruzitBiblioteki(0x34));
    ASSERT_GE(fake.calls.size(), 3u);
    EXPECT_EQ(fake.calls[0], "load surfstore.dll");
    EXPECT_EQ(fake.calls[1], "load surfarch.dll");
    EXPECT_EQ(fake.calls[2], "load probestore.dll");
    EXPECT_EQ(callsStartingWith("load").size(), 3u);
    EXPECT_EQ(loader.loadedMask(), 0x34u);
    expectMasksComplementary();
}

TEST_F(LoaderTest, TableRequestsPassCp1251NamesAndByteSizes) {
    const Exports decorated3 = {
        {"_PoluchitTablicuFunkciyPoImeni@12", reinterpret_cast<void*>(&request3)}};
    fake.libraries["surfgen.dll"] = decorated3;
    fake.libraries["surfedit.dll"] = decorated3;
    fake.libraries["surfstore.dll"] = {
        {"_PoluchitTablicuFunkciyPoImeni@8", reinterpret_cast<void*>(&request2)}};
    fake.libraries["surfarch.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request2)}};
    fake.libraries["wavelib2.dll"] = decorated3;
    fake.libraries["numconv.dll"] = {{"DoubleToString", fakeEntry()}};

    EXPECT_TRUE(loader.ZagruzitBiblioteki(0xD7));
    const std::vector<std::string> expectedNames = {
        platform::utf8ToCp1251("Генератор поверхностей, версия 1.0"),
        platform::utf8ToCp1251("Редактор поверхностей, версия 1.0"),
        platform::utf8ToCp1251("Хранитель поверхностей, версия 1.0"),
        platform::utf8ToCp1251("Архиватор поверхностей, версия 1.0"),
        platform::utf8ToCp1251("Обработчик волн, версия 1.1"),
    };
    EXPECT_EQ(gLog.names, expectedNames);
    const std::uint32_t cell = sizeof(TableCell);
    EXPECT_EQ(gLog.sizes, (std::vector<std::uint32_t>{8 * cell, 12 * cell, 14 * cell}));
    // The initialising calls got the context records of slots 0 and 1.
    ASSERT_EQ(gLog.contexts.size(), 2u);
    EXPECT_EQ(gLog.contexts[0], loader.contextRecord(biblioteki::kSlotSurfGen).data());
    EXPECT_EQ(gLog.contexts[1], loader.contextRecord(biblioteki::kSlotSurfEdit).data());
    // Decorated names were found first; the plain name was only asked where they were missing.
    EXPECT_EQ(callsStartingWith("find PoluchitTablicuFunkciyPoImeni").size(), 1u);
    EXPECT_EQ(loader.table(biblioteki::kSlotWaveLib)[0], asCell(&anyEntry));
    EXPECT_EQ(loader.doubleToString(), fakeEntry());
    EXPECT_EQ(loader.loadedMask(), 0xD7u);
}

TEST_F(LoaderTest, TwoMissingLibrariesShowOneBoxForTheLowerSlot) {
    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x14));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0],
              (Box{kTitle,
                   "Загрузка библиотек(и)\r\nsurfstore.dll\r\nне была завершена. \r\nНе найден "
                   "указанный модуль."}));
    EXPECT_EQ(callsStartingWith("load").size(), 2u);
    EXPECT_EQ(callsStartingWith("find").size(), 0u);
    EXPECT_EQ(loader.notLoadedMask() & 0x14u, 0x14u);
    expectMasksComplementary();
}

TEST_F(LoaderTest, ProbeStoreWithoutFifthExportStopsLookupAndIsFreed) {
    fake.libraries["probestore.dll"] = probeStore(4);

    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x20));
    const std::vector<std::string> finds = callsStartingWith("find");
    ASSERT_EQ(finds.size(), 5u);
    EXPECT_EQ(finds.back(), "find VidelitPamyatDlyaDatchikov");
    // The four found before it are taken; the later ones keep their previous (null) values.
    EXPECT_NE(loader.probeStore().UdalitStroku, nullptr);
    EXPECT_EQ(loader.probeStore().VibratDatchikPoIndeksu, nullptr);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0],
              (Box{kTitle, "Загрузка библиотек(и):\r\nprobestore.dll\r\n" + kNoFunctionsTail}));
    EXPECT_EQ(callsStartingWith("free"), std::vector<std::string>{"free probestore.dll"});
    EXPECT_EQ(loader.moduleHandle(biblioteki::kSlotProbeStore), nullptr);
    EXPECT_NE(loader.notLoadedMask() & 0x20u, 0u);
    expectMasksComplementary();
}

TEST_F(LoaderTest, MissingProbeStoreExportBecomesNullWhileLaterOnesKeepTheirValues) {
    fake.libraries["probestore.dll"] = probeStore();
    ASSERT_TRUE(loader.ZagruzitBiblioteki(0x20));
    loader.VigruzitBiblioteki(0x20);
    const auto before = loader.probeStore();

    fake.libraries["probestore.dll"] = probeStore(4);
    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x20));
    EXPECT_EQ(loader.probeStore().VidelitPamyatDlyaDatchikov, nullptr);
    EXPECT_EQ(loader.probeStore().VibratDatchikPoIndeksu, before.VibratDatchikPoIndeksu);
    EXPECT_EQ(loader.probeStore().ZagruzitKolichestvoDatchikov,
              before.ZagruzitKolichestvoDatchikov);
}

TEST_F(LoaderTest, ViewerLooksUpAllFiveExportsEvenWhenOneIsMissing) {
    fake.libraries["surfview1.dll"] = viewer({"OpredelitPoverhnosti", "_OpredelitFlagi@4",
                                              "PoluchitFlagi", "SortirovatPoverhnostiPoGlubine"});

    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x08));
    EXPECT_EQ(
        callsStartingWith("find"),
        (std::vector<std::string>{
            "find _OpredelitPoverhnosti@4", "find OpredelitPoverhnosti", "find _OpredelitFlagi@4",
            "find _PoluchitFlagi@0", "find PoluchitFlagi", "find _OpredelitMasshtab@4",
            "find OpredelitMasshtab", "find _SortirovatPoverhnostiPoGlubine@8",
            "find SortirovatPoverhnostiPoGlubine"}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "Загрузка библиотек(и):\r\nsurfview1.dll\r\n" + kNoFunctionsTail);
    EXPECT_NE(loader.notLoadedMask() & 0x08u, 0u);
}

TEST_F(LoaderTest, KeeperAndArchiverWithoutTablesFailInOneBox) {
    fake.libraries["surfstore.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&requestNull)}};
    fake.libraries["surfarch.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&requestNull)}};

    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x14));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0],
              (Box{kTitle,
                   "Загрузка библиотек(и):\r\nsurfstore.dll\r\nsurfarch.dll\r\nне была "
                   "завершена. \r\nНе найдены необходимые функции."}));
    EXPECT_EQ(callsStartingWith("free"),
              (std::vector<std::string>{"free surfstore.dll", "free surfarch.dll"}));
    EXPECT_EQ(loader.notLoadedMask() & 0x14u, 0x14u);
}

TEST_F(LoaderTest, OneFailedSlotLeavesTheOthersOfTheRequestBound) {
    fake.libraries["surfstore.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request2)}};
    // surfarch.dll is missing: one load box, and the keeper still binds.
    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x14));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(loader.loadedMask(), 0x04u);
    expectMasksComplementary();
}

TEST_F(LoaderTest, InitialisingCallDecidesWhetherSlotsZeroAndOneBind) {
    fake.libraries["surfgen.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request3)}};
    gLog.initResult = 0;
    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x01));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(loader.notLoadedMask() & 0x01u, 0u);

    gLog.initResult = 1;
    EXPECT_TRUE(loader.ZagruzitBiblioteki(0x01));
    EXPECT_EQ(loader.loadedMask(), 0x01u);
}

TEST_F(LoaderTest, TableWithoutInitialisingEntryFailsTheSlotInsteadOfCallingNull) {
    fake.libraries["surfedit.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request3)}};
    gLog.fillInit = false;
    EXPECT_FALSE(loader.ZagruzitBiblioteki(0x02));
    EXPECT_TRUE(gLog.contexts.empty());
    EXPECT_NE(loader.notLoadedMask() & 0x02u, 0u);
}

TEST_F(LoaderTest, WaveProcessorBindsThroughThePlainRequestName) {
    fake.libraries["wavelib2.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request3)}};
    EXPECT_TRUE(loader.ZagruzitBiblioteki(0x40));
    EXPECT_EQ(callsStartingWith("find"),
              (std::vector<std::string>{"find _PoluchitTablicuFunkciyPoImeni@12",
                                        "find PoluchitTablicuFunkciyPoImeni"}));
    EXPECT_TRUE(gLog.contexts.empty());  // no initialising call for slot 6
}

TEST_F(LoaderTest, UnloadAllFreesExactlyTheLoadedSlotsOnce) {
    fake.libraries["surfgen.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request3)}};
    fake.libraries["probestore.dll"] = probeStore();
    ASSERT_TRUE(loader.ZagruzitBiblioteki(0x21));
    ASSERT_NE(loader.contextRecord(biblioteki::kSlotSurfGen)[1], nullptr);
    fake.calls.clear();

    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"free surfgen.dll", "free probestore.dll"}));
    EXPECT_EQ(loader.loadedMask(), 0u);
    EXPECT_EQ(loader.notLoadedMask(), 0xFFFFFFFFu);
    EXPECT_EQ(loader.moduleHandle(biblioteki::kSlotSurfGen), nullptr);
    EXPECT_EQ(loader.contextRecord(biblioteki::kSlotSurfGen)[1], nullptr);

    fake.calls.clear();
    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LoaderTest, FailedFreeShowsOneBoxAndTheNextLoadOnlyBindsAgain) {
    fake.libraries["surfstore.dll"] = {
        {"PoluchitTablicuFunkciyPoImeni", reinterpret_cast<void*>(&request2)}};
    fake.libraries["probestore.dll"] = probeStore();
    ASSERT_TRUE(loader.ZagruzitBiblioteki(0x24));
    fake.failFree = true;
    fake.errorText = "Неверный дескриптор.";

    loader.VigruzitBiblioteki(biblioteki::kAllSlots);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], (Box{kTitle, "Неверный дескриптор."}));
    EXPECT_EQ(loader.loadedMask(), 0u);
    EXPECT_NE(loader.moduleHandle(biblioteki::kSlotProbeStore), nullptr);
    expectMasksComplementary();

    fake.calls.clear();
    EXPECT_TRUE(loader.ZagruzitBiblioteki(0x20));
    EXPECT_TRUE(callsStartingWith("load").empty());
    EXPECT_EQ(callsStartingWith("find").size(), 13u);
    EXPECT_TRUE(loader.isLoaded(0x20));
}

TEST_F(LoaderTest, SystemErrorBoxCutsTheSystemTextAndNamesUnknownCodes) {
    fake.errorText = std::string(300, 'x');
    loader.PokazatSistemnuyuOshibku("Текст: ");
    // Characters, not bytes, are counted.
    fake.errorText = std::string(300, 'x').replace(250, 2, "ЖЖ");
    loader.PokazatSistemnuyuOshibku();
    fake.errorText.clear();
    loader.PokazatSistemnuyuOshibku();

    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[0], (Box{kTitle, "Текст: " + std::string(255, 'x')}));
    EXPECT_EQ(boxes.shown[1].text, std::string(250, 'x') + "ЖЖ" + std::string(3, 'x'));
    EXPECT_EQ(boxes.shown[2].text, "Неизвестная ошибка (код 126).");
}

}  // namespace

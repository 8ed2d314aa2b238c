// The library frame: binding wavelib, the two function tables, table requests and the error text.
//
// The state is written only while the library is being loaded (under the platform's loader
// serialisation) and only read afterwards, so requests need no lock.
#include <cstring>

#include "platform/dynlib.h"
#include "wavelib2/makrosi.h"

namespace wavelib2 {

namespace {

// "Не найден модуль wavelib.dll" in cp1251.
const char kWavelibNotFound[] =
    "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED \xEC\xEE\xE4\xF3\xEB\xFC wavelib.dll";
const char kRequestNameDecorated[] = "_PoluchitTablicuFunkciyPoImeni@12";
const char kRequestName[] = "PoluchitTablicuFunkciyPoImeni";

platform::Module const kNoLoadTried = reinterpret_cast<platform::Module>(~std::uintptr_t{0});

platform::Module gWavelib = kNoLoadTried;  // all bits set: no load tried yet
TableRequest3 gRequest = nullptr;          // wavelib's request function
WaveProcessorTable10 gTable10{};
WaveProcessorTable11 gTable11{};
const char* gErrorText = nullptr;  // the error-text slot
std::uintptr_t gErrorKey = 0;      // entry 1 of the version 1.1 table at the last refresh

void BuildTable11() {
    static_assert(sizeof(gTable10) <= sizeof(gTable11));
    std::memcpy(&gTable11, &gTable10, sizeof(gTable10));
    gTable11.prodvinutVolny = &ProdvinutVolny;
    gTable11.otrazitIPrelomit = &OtrazitIPrelomit;
    gTable11.izmenitMasshtab = &IzmenitMasshtab;
    gTable11.inicializirovatVolny = &InicializirovatVolny;
    gTable11.razmnozhitNabor = &RazmnozhitNabor;
    gTable11.otbrositSlabyeVolny = &OtbrositSlabyeVolny;
    gTable11.udalitOtmechennye = &UdalitOtmechennye;
}

}  // namespace

const WaveProcessorTable10& Table10() {
    return gTable10;
}
const WaveProcessorTable11& Table11() {
    return gTable11;
}

void SetTable10(const WaveProcessorTable10& table) {
    gTable10 = table;
    BuildTable11();
}

bool BindWavelib() {
    if (gWavelib != kNoLoadTried) return false;  // a second attach in one instance
    gErrorText = kWavelibNotFound;
    gWavelib = platform::loadLibrary(kWavelibFileName);
    if (gWavelib == nullptr) return false;

    void* request = platform::findExport(gWavelib, kRequestNameDecorated);
    if (request == nullptr) request = platform::findExport(gWavelib, kRequestName);
    gRequest = reinterpret_cast<TableRequest3>(request);
    if (gRequest == nullptr) return false;

    TableCell cells[kWaveProcessorTable10Entries] = {};
    if (gRequest(cells, static_cast<std::uint32_t>(sizeof(cells)), kWaveProcessorTable10Name) ==
        nullptr) {
        return false;
    }
    std::memcpy(&gTable10, cells, sizeof(cells));
    BuildTable11();
    ErrorText();  // points the slot at wavelib's text now, so that later calls only read
    return true;
}

bool ReleaseWavelib() {
    if (gWavelib == kNoLoadTried) return false;
    if (gWavelib != nullptr) platform::freeLibrary(gWavelib);
    // Back to the state before any load. Where the platform keeps the library mapped after its
    // unload (a POSIX library that used thread-local storage stays mapped while the thread lives),
    // the next load must find a fresh instance rather than a spent one, and no table may keep
    // pointing into the released wavelib.
    gWavelib = kNoLoadTried;
    gRequest = nullptr;
    gTable10 = {};
    gTable11 = {};
    gErrorText = nullptr;
    gErrorKey = 0;
    return true;
}

void* RequestTable(TableCell* table, std::uint32_t size, const char* name) {
    // Byte-exact comparison of the whole text: same length, same bytes.
    if (name != nullptr && std::strcmp(name, kWaveProcessorTable11Name) == 0) {
        if (table == nullptr) return nullptr;
        std::memcpy(table, &gTable11, sizeof(gTable11));
        return table;
    }
    if (gRequest != nullptr) return gRequest(table, size, name);
    return nullptr;
}

const char* ErrorText() {
    // Once wavelib is bound, the slot follows wavelib's own error text (entry 7), so that a
    // successful load does not keep reporting that wavelib was not found.
    const auto key = reinterpret_cast<std::uintptr_t>(gTable11.deleteSet);
    if (key != gErrorKey && gTable11.errorText != nullptr) {
        gErrorText = gTable11.errorText();
        gErrorKey = key;
    }
    return gErrorText;
}

}  // namespace wavelib2

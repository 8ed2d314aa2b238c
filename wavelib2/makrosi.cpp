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
const char kNeNaidenWavelib[] =
    "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED \xEC\xEE\xE4\xF3\xEB\xFC wavelib.dll";
const char kImyaZaprosaDekor[] = "_PoluchitTablicuFunkciyPoImeni@12";
const char kImyaZaprosa[] = "PoluchitTablicuFunkciyPoImeni";

platform::Module const kNeZagruzhali = reinterpret_cast<platform::Module>(~std::uintptr_t{0});

platform::Module gWavelib = kNeZagruzhali;  // all bits set: no load tried yet
TableRequest3 gZapros = nullptr;            // wavelib's request function
TablicaVolny10 gTablica10{};
TablicaVolny11 gTablica11{};
const char* gTekstOshibki = nullptr;  // the error-text slot
std::uintptr_t gKlyuch = 0;           // entry 1 of the version 1.1 table at the last refresh

void PostroitTablicu11() {
    static_assert(sizeof(gTablica10) <= sizeof(gTablica11));
    std::memcpy(&gTablica11, &gTablica10, sizeof(gTablica10));
    gTablica11.prodvinutVolny = &ProdvinutVolny;
    gTablica11.otrazitIPrelomit = &OtrazitIPrelomit;
    gTablica11.izmenitMasshtab = &IzmenitMasshtab;
    gTablica11.inicializirovatVolny = &InicializirovatVolny;
    gTablica11.razmnozhitNabor = &RazmnozhitNabor;
    gTablica11.otbrositSlabyeVolny = &OtbrositSlabyeVolny;
    gTablica11.udalitOtmechennye = &UdalitOtmechennye;
}

}  // namespace

const TablicaVolny10& Tablica10() {
    return gTablica10;
}
const TablicaVolny11& Tablica11() {
    return gTablica11;
}

void ZadatTablicu10(const TablicaVolny10& tablica) {
    gTablica10 = tablica;
    PostroitTablicu11();
}

bool PodklyuchitWavelib() {
    if (gWavelib != kNeZagruzhali) return false;  // a second attach in one instance
    gTekstOshibki = kNeNaidenWavelib;
    gWavelib = platform::loadLibrary(kImyaWavelib);
    if (gWavelib == nullptr) return false;

    void* zapros = platform::findExport(gWavelib, kImyaZaprosaDekor);
    if (zapros == nullptr) zapros = platform::findExport(gWavelib, kImyaZaprosa);
    gZapros = reinterpret_cast<TableRequest3>(zapros);
    if (gZapros == nullptr) return false;

    TableCell yachejki[kZapisey10] = {};
    if (gZapros(yachejki, static_cast<std::uint32_t>(sizeof(yachejki)), kImyaTablicy10) ==
        nullptr) {
        return false;
    }
    std::memcpy(&gTablica10, yachejki, sizeof(yachejki));
    PostroitTablicu11();
    TekstOshibki();  // points the slot at wavelib's text now, so that later calls only read
    return true;
}

bool OtklyuchitWavelib() {
    if (gWavelib == kNeZagruzhali) return false;
    if (gWavelib != nullptr) platform::freeLibrary(gWavelib);
    // Back to the state before any load. Where the platform keeps the library mapped after its
    // unload (a POSIX library that used thread-local storage stays mapped while the thread lives),
    // the next load must find a fresh instance rather than a spent one, and no table may keep
    // pointing into the released wavelib.
    gWavelib = kNeZagruzhali;
    gZapros = nullptr;
    gTablica10 = {};
    gTablica11 = {};
    gTekstOshibki = nullptr;
    gKlyuch = 0;
    return true;
}

void* ZaprositTablicu(TableCell* tablica, std::uint32_t razmer, const char* imya) {
    // Byte-exact comparison of the whole text: same length, same bytes.
    if (imya != nullptr && std::strcmp(imya, kImyaTablicy11) == 0) {
        if (tablica == nullptr) return nullptr;
        std::memcpy(tablica, &gTablica11, sizeof(gTablica11));
        return tablica;
    }
    if (gZapros != nullptr) return gZapros(tablica, razmer, imya);
    return nullptr;
}

const char* TekstOshibki() {
    // Once wavelib is bound, the slot follows wavelib's own error text (entry 7), so that a
    // successful load does not keep reporting that wavelib was not found.
    const auto klyuch = reinterpret_cast<std::uintptr_t>(gTablica11.udalitNabor);
    if (klyuch != gKlyuch && gTablica11.tekstOshibki != nullptr) {
        gTekstOshibki = gTablica11.tekstOshibki();
        gKlyuch = klyuch;
    }
    return gTekstOshibki;
}

}  // namespace wavelib2

// Storage of the wave sets that wavelib makes.
#include "suite/wavelib/sets.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/cp1251.h"
#include "suite/wavelib/placement.h"

namespace wavelib {
namespace {

// The set first, so that the set's address is the holder's; the arrays are the holder's vectors.
struct Hranilishe {
    NaborVoln nabor{};
    std::vector<Luch> luchi;
    std::vector<Volna> volny;
};

std::mutex gMutex;
std::map<const NaborVoln*, std::unique_ptr<Hranilishe>> gNabory;

char gOshibka[512] = "";

bool Razmestit(Hranilishe& h, std::uint32_t n) {
    // The count comes from the caller: beyond the bound every set of wavelib keeps, the arrays
    // are refused before anything is allocated or zeroed.
    if (n > kNaibolsheeMesto) {
        ZapomnitOshibku("Слишком много элементов для одного набора волн");
        return false;
    }
    const std::uint32_t bylo = std::min(h.nabor.chislo, static_cast<std::uint32_t>(h.luchi.size()));
    try {
        std::vector<Luch> luchi(h.luchi.begin(), h.luchi.begin() + std::min(bylo, n));
        std::vector<Volna> volny(h.volny.begin(), h.volny.begin() + std::min(bylo, n));
        luchi.resize(n, Luch{});
        volny.resize(n, Volna{});
        h.luchi = std::move(luchi);
        h.volny = std::move(volny);
    } catch (const std::bad_alloc&) {
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return false;
    } catch (const std::length_error&) {
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return false;
    }
    h.nabor.luchi = n != 0 ? h.luchi.data() : nullptr;
    h.nabor.volny = n != 0 ? h.volny.data() : nullptr;
    h.nabor.chislo = n;
    h.nabor.chisloVoln = n;
    return true;
}

}  // namespace

NaborVoln* SozdatNabor(std::uint32_t n) {
    std::unique_ptr<Hranilishe> h;
    try {
        h = std::make_unique<Hranilishe>();
    } catch (const std::bad_alloc&) {
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return nullptr;
    }
    if (!Razmestit(*h, n)) return nullptr;
    std::lock_guard lock(gMutex);
    NaborVoln* nabor = &h->nabor;
    try {
        gNabory.emplace(nabor, std::move(h));
    } catch (const std::bad_alloc&) {
        ZapomnitOshibku("Недостаточно памяти для набора волн");
        return nullptr;
    }
    return nabor;
}

bool UdalitNabor(NaborVoln* nabor) {
    std::lock_guard lock(gMutex);
    if (gNabory.erase(nabor) == 0) {
        ZapomnitOshibku("Набор волн создан не библиотекой wavelib");
        return false;
    }
    return true;
}

bool IzmenitRazmer(NaborVoln* nabor, std::uint32_t n) {
    std::lock_guard lock(gMutex);
    const auto it = gNabory.find(nabor);
    if (it == gNabory.end()) {
        ZapomnitOshibku("Набор волн создан не библиотекой wavelib");
        return false;
    }
    return Razmestit(*it->second, n);
}

bool NashNabor(const NaborVoln* nabor) {
    std::lock_guard lock(gMutex);
    return gNabory.count(nabor) != 0;
}

std::uint32_t Mesto(const NaborVoln* nabor) {
    std::lock_guard lock(gMutex);
    const auto it = gNabory.find(nabor);
    if (it == gNabory.end()) return 0;
    const Hranilishe& h = *it->second;
    if (nabor->luchi != h.luchi.data() || nabor->volny != h.volny.data()) return 0;
    return static_cast<std::uint32_t>(std::min(h.luchi.size(), h.volny.size()));
}

void ZapomnitOshibku(const char* utf8) {
    const std::string tekst = platform::utf8ToCp1251(utf8 != nullptr ? utf8 : "");
    const std::size_t n = std::min(tekst.size(), sizeof(gOshibka) - 1);
    std::memcpy(gOshibka, tekst.data(), n);
    gOshibka[n] = '\0';
}

const char* TekstOshibki() {
    return gOshibka;
}

}  // namespace wavelib

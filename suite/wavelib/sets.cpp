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
struct Holder {
    WaveSet set{};
    std::vector<Ray> rays;
    std::vector<Wave> waves;
};

std::mutex gMutex;
std::map<const WaveSet*, std::unique_ptr<Holder>> gSets;

char gError[512] = "";

bool Allocate(Holder& h, std::uint32_t n) {
    // The count comes from the caller: beyond the bound every set of wavelib keeps, the arrays
    // are refused before anything is allocated or zeroed.
    if (n > kMaxRoom) {
        RememberError("Слишком много элементов для одного набора волн");
        return false;
    }
    const std::uint32_t oldCount = std::min(h.set.count, static_cast<std::uint32_t>(h.rays.size()));
    try {
        std::vector<Ray> rays(h.rays.begin(), h.rays.begin() + std::min(oldCount, n));
        std::vector<Wave> waves(h.waves.begin(), h.waves.begin() + std::min(oldCount, n));
        rays.resize(n, Ray{});
        waves.resize(n, Wave{});
        h.rays = std::move(rays);
        h.waves = std::move(waves);
    } catch (const std::bad_alloc&) {
        RememberError("Недостаточно памяти для набора волн");
        return false;
    } catch (const std::length_error&) {
        RememberError("Недостаточно памяти для набора волн");
        return false;
    }
    h.set.rays = n != 0 ? h.rays.data() : nullptr;
    h.set.waves = n != 0 ? h.waves.data() : nullptr;
    h.set.count = n;
    h.set.waveCount = n;
    return true;
}

}  // namespace

WaveSet* CreateSet(std::uint32_t n) {
    std::unique_ptr<Holder> h;
    try {
        h = std::make_unique<Holder>();
    } catch (const std::bad_alloc&) {
        RememberError("Недостаточно памяти для набора волн");
        return nullptr;
    }
    if (!Allocate(*h, n)) return nullptr;
    std::lock_guard lock(gMutex);
    WaveSet* set = &h->set;
    try {
        gSets.emplace(set, std::move(h));
    } catch (const std::bad_alloc&) {
        RememberError("Недостаточно памяти для набора волн");
        return nullptr;
    }
    return set;
}

bool DeleteSet(WaveSet* set) {
    std::lock_guard lock(gMutex);
    if (gSets.erase(set) == 0) {
        RememberError("Набор волн создан не библиотекой wavelib");
        return false;
    }
    return true;
}

bool ResizeSet(WaveSet* set, std::uint32_t n) {
    std::lock_guard lock(gMutex);
    const auto it = gSets.find(set);
    if (it == gSets.end()) {
        RememberError("Набор волн создан не библиотекой wavelib");
        return false;
    }
    return Allocate(*it->second, n);
}

bool IsOwnSet(const WaveSet* set) {
    std::lock_guard lock(gMutex);
    return gSets.count(set) != 0;
}

std::uint32_t OwnSetRoom(const WaveSet* set) {
    std::lock_guard lock(gMutex);
    const auto it = gSets.find(set);
    if (it == gSets.end()) return 0;
    const Holder& h = *it->second;
    if (set->rays != h.rays.data() || set->waves != h.waves.data()) return 0;
    return static_cast<std::uint32_t>(std::min(h.rays.size(), h.waves.size()));
}

void RememberError(const char* utf8) {
    const std::string text = platform::utf8ToCp1251(utf8 != nullptr ? utf8 : "");
    const std::size_t n = std::min(text.size(), sizeof(gError) - 1);
    std::memcpy(gError, text.data(), n);
    gError[n] = '\0';
}

const char* ErrorText() {
    return gError;
}

}  // namespace wavelib

// The plug-in library loader: a loading pass over the requested slots, then a binding pass, then
// one box for every slot that loaded but did not bind.
#include "probe_core/biblioteki/biblioteki.h"

#include <cstddef>
#include <iterator>
#include <type_traits>

#include "platform/cp1251.h"
#include "platform/table_request.h"

namespace biblioteki {
namespace {

// The visualizer's five exports: decorated name, then plain name.
struct ExportName {
    const char* decorated;
    const char* plain;
};
constexpr ExportName kViewerExports[] = {
    {"_OpredelitPoverhnosti@4", "OpredelitPoverhnosti"},
    {"_OpredelitFlagi@4", "OpredelitFlagi"},
    {"_PoluchitFlagi@0", "PoluchitFlagi"},
    {"_OpredelitMasshtab@4", "OpredelitMasshtab"},
    {"_SortirovatPoverhnostiPoGlubine@8", "SortirovatPoverhnostiPoGlubine"},
};

// Longest system text shown, in characters (the 256-character message buffer less its NUL).
constexpr std::size_t kSystemTextLimit = 255;

// Cuts a UTF-8 text after `limit` characters without splitting a character.
std::string cutCharacters(const std::string& text, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) {
            if (chars == limit) return text.substr(0, i);
            ++chars;
        }
    }
    return text;
}

}  // namespace

Biblioteki::Biblioteki(LoaderPlatform& platform, MessageBoxes& boxes)
    : platform_(platform), boxes_(boxes) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        fileNames_[static_cast<std::size_t>(slot)] = kSlots[slot].fileName;
    }
}

void* Biblioteki::findDecorated(void* module, const char* decorated, const char* plain) {
    void* entry = platform_.GetProcAddress(module, decorated);
    if (entry == nullptr) entry = platform_.GetProcAddress(module, plain);
    return entry;
}

// Binds one slot whose library is loaded; true when the slot counts as bound.
bool Biblioteki::bindSlot(int slot) {
    const auto s = static_cast<std::size_t>(slot);
    void* module = modules_[s];
    TableCell* table = tables_[s].data();
    const Slot& info = kSlots[slot];
    const auto lookup = [&](const char* name) { return platform_.GetProcAddress(module, name); };
    switch (info.binding) {
        case Binding::kTableOfThree: {
            auto request = platform::findTableRequest3(lookup);
            if (request == nullptr) return false;
            const std::string name = platform::utf8ToCp1251(info.tableName);
            const auto size = static_cast<std::uint32_t>(info.tableEntries * sizeof(TableCell));
            if (request(table, size, name.c_str()) == nullptr) return false;
            if (!info.initialised) return true;
            // A table without its initialising entry cannot be made ready: the slot fails
            // instead of calling through a null entry.
            namespace tools = contracts::surface_tools;
            auto init = cellAs<tools::InitialiseLibraryFn>(table[tools::kInitialiseLibrary]);
            if (init == nullptr) return false;
            return init(context_[s].data()) != 0;
        }
        case Binding::kTableOfTwo: {
            auto request = platform::findTableRequest2(lookup);
            if (request == nullptr) return false;
            const std::string name = platform::utf8ToCp1251(info.tableName);
            return request(table, name.c_str()) != nullptr;
        }
        case Binding::kViewerExports: {
            void* found[std::size(kViewerExports)];
            bool all = true;
            for (std::size_t i = 0; i < std::size(kViewerExports); ++i) {
                found[i] =
                    findDecorated(module, kViewerExports[i].decorated, kViewerExports[i].plain);
                all = all && found[i] != nullptr;
            }
            viewer_.OpredelitPoverhnosti =
                reinterpret_cast<contracts::viewer::OpredelitPoverhnostiFn>(found[0]);
            viewer_.OpredelitFlagi =
                reinterpret_cast<contracts::viewer::OpredelitFlagiFn>(found[1]);
            viewer_.PoluchitFlagi = reinterpret_cast<contracts::viewer::PoluchitFlagiFn>(found[2]);
            viewer_.OpredelitMasshtab =
                reinterpret_cast<contracts::viewer::OpredelitMasshtabFn>(found[3]);
            viewer_.SortirovatPoverhnostiPoGlubine =
                reinterpret_cast<contracts::viewer::SortirovatPoverhnostiPoGlubineFn>(found[4]);
            return all;
        }
        case Binding::kProbeStoreExports: {
            // Plain names only, in the fixed order; the lookup stops at the first missing name.
            // Every name looked up takes its result (the missing one becomes null); the names
            // after it are not looked up and keep their previous values.
            constexpr int kExports = static_cast<int>(std::size(contracts::kProbeStoreExports));
            void* found[kExports] = {};
            int count = 0;
            while (count < kExports) {
                found[count] =
                    platform_.GetProcAddress(module, contracts::kProbeStoreExports[count]);
                if (found[count] == nullptr) break;
                ++count;
            }
            const int lookedUp = count < kExports ? count + 1 : kExports;
            auto set = [&](int i, auto& entry) {
                if (i < lookedUp)
                    entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(found[i]);
            };
            int next = 0;
#define PROBE_STORE_BIND(name) set(next++, probeStore_.name);
            PROBE_STORE_EXPORTS(PROBE_STORE_BIND)
#undef PROBE_STORE_BIND
            return count == kExports;
        }
        case Binding::kNumberConversion:
            doubleToString_ = findDecorated(module, "_DoubleToString@12", "DoubleToString");
            return doubleToString_ != nullptr;
    }
    return false;
}

bool Biblioteki::ZagruzitBiblioteki(std::uint32_t mask) {
    const std::uint32_t requested = mask & notLoaded_ & kSlotBits;
    if (requested == 0) return true;

    // Loading pass: every requested library is mapped before any is bound.
    std::uint32_t loadedNow = 0;
    bool loadFailureShown = false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if ((requested & slotBit(slot)) == 0) continue;
        const auto s = static_cast<std::size_t>(slot);
        if (modules_[s] == nullptr) {
            modules_[s] = platform_.LoadLibraryA(platform::utf8ToCp1251(fileNames_[s]).c_str());
        }
        if (modules_[s] != nullptr) {
            loadedNow |= slotBit(slot);
        } else if (!loadFailureShown) {
            loadFailureShown = true;
            PokazatSistemnuyuOshibku("Загрузка библиотек(и)\r\n" + fileNames_[s] + "\r\n" +
                                     "не была завершена. \r\n");
        }
    }

    // Binding pass, in slot order.
    std::uint32_t bound = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if ((loadedNow & slotBit(slot)) != 0 && bindSlot(slot)) bound |= slotBit(slot);
    }

    const std::uint32_t failed = loadedNow & ~bound;
    if (failed != 0) {
        std::string text = "Загрузка библиотек(и):\r\n";
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if ((failed & slotBit(slot)) != 0)
                text += fileNames_[static_cast<std::size_t>(slot)] + "\r\n";
        }
        text += "не была завершена. \r\nНе найдены необходимые функции.";
        boxes_.show(kSystemErrorTitle, text);
        freeSlots(failed);
    }

    notLoaded_ &= ~bound;
    return failed == 0 && loadedNow == requested;
}

// Frees the libraries of `mask` (slots with a module handle) and forgets the context records of
// slots 0 and 1. A failed free leaves the handle in place and shows the first failure only.
void Biblioteki::freeSlots(std::uint32_t mask) {
    bool freeFailureShown = false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const auto s = static_cast<std::size_t>(slot);
        if ((mask & slotBit(slot)) == 0 || modules_[s] == nullptr) continue;
        if (platform_.FreeLibrary(modules_[s])) {
            modules_[s] = nullptr;
            notLoaded_ |= slotBit(slot);
        } else if (!freeFailureShown) {
            freeFailureShown = true;
            PokazatSistemnuyuOshibku();
        }
    }
    for (int slot : {kSlotSurfGen, kSlotSurfEdit}) {
        if ((mask & slotBit(slot)) != 0) {
            context_[static_cast<std::size_t>(slot)]
                    [contracts::surface_tools::kContextCellCleared] = nullptr;
        }
    }
}

void Biblioteki::VigruzitBiblioteki(std::uint32_t mask) {
    mask &= loadedMask();
    if (mask == 0) return;
    freeSlots(mask);
    // A slot whose library would not be freed still leaves the loaded mask: it is unusable.
    notLoaded_ |= mask & kSlotBits;
}

void Biblioteki::PokazatSistemnuyuOshibku(const std::optional<std::string>& text) {
    // The code is taken before its text: looking the text up may itself fail and replace the
    // last error code with its own.
    const std::uint32_t code = platform_.LastErrorCode();
    std::string systemText = cutCharacters(platform_.LastErrorText(), kSystemTextLimit);
    if (systemText.empty()) {
        systemText = "Неизвестная ошибка (код " + std::to_string(code) + ").";
    }
    boxes_.show(kSystemErrorTitle, text.value_or(std::string{}) + systemText);
}

}  // namespace biblioteki

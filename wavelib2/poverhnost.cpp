// The exports of wavelib2 and its library entry notification.
//
// On load the library binds wavelib and builds its version 1.1 table; a failure refuses the load.
// On unload it releases wavelib. The exports and the entry notification are the library's only
// names outside namespace wavelib2.
#include "abi/plugin.h"
#include "wavelib2/makrosi.h"

#if defined(_WIN32)
#include <windows.h>
// The export names come from wavelib2.def: plain, without the stdcall decoration.
#define WAVELIB2_EXPORT extern "C"
#else
#define WAVELIB2_EXPORT PLUGIN_EXPORT
#endif

namespace wavelib2 {
namespace {

int PriUvedomlenii(int prichina) {
    switch (prichina) {
        case kProcessAttach:
            return PodklyuchitWavelib() ? 1 : 0;
        case kProcessDetach:
            return OtklyuchitWavelib() ? 1 : 0;
        default:
            return 1;  // thread attach and detach do nothing
    }
}

}  // namespace
}  // namespace wavelib2

#if defined(_WIN32)
// C linkage, so that the runtime's start-up code finds this entry and not its own default one
// (GNU toolchains for Windows would otherwise see only a mangled name).
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD prichina, LPVOID) {
    return wavelib2::PriUvedomlenii(static_cast<int>(prichina)) != 0 ? TRUE : FALSE;
}
#else
PLUGIN_EXPORT int DllEntry(int prichina) {
    return wavelib2::PriUvedomlenii(prichina);
}
#endif

WAVELIB2_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* tablica,
                                                                std::uint32_t razmer,
                                                                const char* imya) {
    return wavelib2::ZaprositTablicu(tablica, razmer, imya);
}

WAVELIB2_EXPORT const char* PLUGIN_CALL PoluchitSoobzhenieObOshibke() {
    return wavelib2::TekstOshibki();
}

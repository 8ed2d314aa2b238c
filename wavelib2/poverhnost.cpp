// The exports of wavelib2 and its library entry notification.
//
// On load the library binds wavelib and builds its version 1.1 table; a failure refuses the load.
// On unload it releases wavelib. The exports and the entry notification are the library's only
// names outside namespace wavelib2.
#include "abi/plugin.h"
#include "wavelib2/makrosi.h"

namespace wavelib2 {
namespace {

int OnLibraryNotification(int reason) {
    switch (reason) {
        case kProcessAttach:
            return BindWavelib() ? 1 : 0;
        case kProcessDetach:
            return ReleaseWavelib() ? 1 : 0;
        default:
            return 1;  // thread attach and detach do nothing
    }
}

}  // namespace
}  // namespace wavelib2

PLUGIN_LIBRARY_ENTRY(wavelib2::OnLibraryNotification)

PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* table, std::uint32_t size,
                                                              const char* name) {
    return wavelib2::RequestTable(table, size, name);
}

PLUGIN_EXPORT const char* PLUGIN_CALL PoluchitSoobzhenieObOshibke() {
    return wavelib2::ErrorText();
}

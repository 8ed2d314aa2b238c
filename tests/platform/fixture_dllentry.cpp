// Test library: counts its entry notifications; refuses the attach while FIXTURE_REFUSE_ATTACH is
// set.
#include <cstdlib>

#include "abi/plugin.h"

namespace {
int attaches = 0;
int detaches = 0;

int onEntry(int reason) {
    if (reason == kProcessAttach) {
        ++attaches;
        return std::getenv("FIXTURE_REFUSE_ATTACH") == nullptr ? 1 : 0;
    }
    if (reason == kProcessDetach) ++detaches;
    return 1;
}
}  // namespace

PLUGIN_LIBRARY_ENTRY(onEntry)

PLUGIN_EXPORT int FixtureAttaches() {
    return attaches;
}
PLUGIN_EXPORT int FixtureDetaches() {
    return detaches;
}

// Two test libraries: a shared library with its own entry notification and export, and a
// plug-in built against it that has neither (FIXTURE_DEPENDENT). The plug-in tells how often the
// dependency's DllEntry was asked to attach.
#include "abi/plugin.h"

#ifdef FIXTURE_DEPENDENT
extern "C" int FixtureDependencyAttaches();

PLUGIN_EXPORT int FixtureDependentAttaches() {
    return FixtureDependencyAttaches();
}
#else
namespace {
int attaches = 0;
}  // namespace

PLUGIN_EXPORT int DllEntry(int reason) {
    if (reason == kProcessAttach) ++attaches;
    return 1;
}
PLUGIN_EXPORT int FixtureFromDependency() {
    return 1;
}
PLUGIN_EXPORT int FixtureDependencyAttaches() {
    return attaches;
}
#endif

// Two test libraries: a shared library with its own entry notification and export, and a
// plug-in built against it that has neither (FIXTURE_DEPENDENT). The plug-in tells how often the
// dependency's entry notification was asked to attach.
#include "abi/plugin.h"

#ifdef FIXTURE_DEPENDENT
extern "C" int FixtureDependencyAttaches();

PLUGIN_EXPORT int FixtureDependentAttaches() {
    return FixtureDependencyAttaches();
}
#else
namespace {
int attaches = 0;

int onEntry(int reason) {
    if (reason == kProcessAttach) ++attaches;
    return 1;
}
}  // namespace

PLUGIN_LIBRARY_ENTRY(onEntry)
PLUGIN_EXPORT int FixtureFromDependency() {
    return 1;
}
PLUGIN_EXPORT int FixtureDependencyAttaches() {
    return attaches;
}
#endif

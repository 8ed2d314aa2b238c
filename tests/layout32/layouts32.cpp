// Compiled as a 32-bit translation unit only: every fixed record's static_asserts then check the
// offsets and sizes of the home platform (4-byte pointers), once with the System V alignment of
// doubles and once with doubles aligned to 8 as the home platform's compilers do. The headers are
// reached by their path from here: the compile has no include path.
#include "../../abi/placement_tables.h"
#include "../../abi/plugin.h"
#include "../../abi/probe_record.h"
#include "../../abi/probestore.h"
#include "../../abi/surface_tools.h"
#include "../../abi/surfarch.h"
#include "../../abi/surfstore.h"
#include "../../abi/surfview1.h"
#include "../../abi/wave_set.h"
#include "../../abi/wavelib.h"
#include "../../abi/wavelib2.h"

static_assert(sizeof(void*) == 4, "this file is meant for a 32-bit compile");

int main() {
    return 0;
}

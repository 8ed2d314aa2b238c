// Compiled as a 32-bit translation unit only: every fixed record's static_asserts then check the
// offsets and sizes of the home platform (4-byte pointers), once with the System V alignment of
// doubles and once with doubles aligned to 8 as the home platform's compilers do.
#include "editor/contracts/probe_record.h"
#include "editor/contracts/surface_api.h"
#include "suite/surfstore/surface_record.h"
#include "wavelib2/tablicy_razmeshcheniya.h"
#include "wavelib2/volny.h"

static_assert(sizeof(void*) == 4, "this file is meant for a 32-bit compile");

int main() {
    return 0;
}

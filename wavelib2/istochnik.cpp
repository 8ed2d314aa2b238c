// Building the rays and waves of a wave set from its source point (entry 10).
#include "wavelib2/makrosi.h"

BoolByte PLUGIN_CALL InicializirovatVolny(NaborVoln*, const Volna*, double, const double*) {
    return kTrue;
}

// Replication of a pattern set at every ray of a placement set (entry 11).
#include "wavelib2/makrosi.h"

BoolByte PLUGIN_CALL RazmnozhitNabor(NaborVoln*, NaborVoln*, NaborVoln*, NaborVoln*, TableCell*,
                                     TableCell*) {
    return kFalse;
}

// Reflection and transmission of a wave set at an interface (entry 8).
#include "wavelib2/makrosi.h"

BoolByte PLUGIN_CALL OtrazitIPrelomit(NaborVoln*, NaborVoln*, NaborVoln*, NaborVoln*,
                                      const std::uint64_t*, const double*) {
    return kFalse;
}

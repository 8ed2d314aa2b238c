// wavelib's entries 3, 4 and 5 (not yet built: they report failure).
#include "suite/wavelib/granica.h"

namespace wavelib {

BoolByte PLUGIN_CALL DobavitNabor(NaborVoln*, const ZapisSbora*) {
    return kFalse;
}

BoolByte PLUGIN_CALL OtrazitLuchi(NaborVoln*, NaborVoln*, NaborVoln*, std::uint64_t) {
    return kFalse;
}

BoolByte PLUGIN_CALL PrelomitLuchi(NaborVoln*, NaborVoln*, NaborVoln*, std::uint64_t, double) {
    return kFalse;
}

}  // namespace wavelib

// The surface visualizer "surfview1.dll", reached through five exports (no function table).
#pragma once

#include <cstdint>

#include "plugin.h"
#include "surfstore.h"

namespace contracts {

namespace viewer {
// Shows the described surfaces; null withdraws them and closes the view. `surfaces` and the
// records it describes are borrowed for the call: the visualizer copies what it shows.
using OpredelitPoverhnostiFn = BoolByte PLUGIN_CALL (*)(SurfaceSetDescriptor* surfaces);
using OpredelitFlagiFn = void PLUGIN_CALL (*)(std::uint32_t flags);
using PoluchitFlagiFn = std::uint32_t PLUGIN_CALL (*)();
using OpredelitMasshtabFn = void PLUGIN_CALL (*)(std::int32_t exponent);
// Reorders the described records in place; `surfaces` is borrowed for the call.
using SortirovatPoverhnostiPoGlubineFn = BoolByte PLUGIN_CALL (*)(SurfaceSetDescriptor* surfaces,
                                                                  std::int32_t direction);
}  // namespace viewer

// The bound exports, in the order a host looks them up; they belong to the loaded visualizer and
// are valid while it stays loaded.
struct SurfaceViewerApi {
    viewer::OpredelitPoverhnostiFn OpredelitPoverhnosti = nullptr;
    viewer::OpredelitFlagiFn OpredelitFlagi = nullptr;
    viewer::PoluchitFlagiFn PoluchitFlagi = nullptr;
    viewer::OpredelitMasshtabFn OpredelitMasshtab = nullptr;
    viewer::SortirovatPoverhnostiPoGlubineFn SortirovatPoverhnostiPoGlubine = nullptr;
};

}  // namespace contracts

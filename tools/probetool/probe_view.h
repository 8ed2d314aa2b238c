// A probe record as text, page by page, the way the editor's pages show it: page captions, the
// caption of every field, item texts for the fixed lists, units, the date as a date.
#pragma once

#include <string>

#include "probe_core/files/boundary.h"

namespace probetool {

std::string showRecord(const ProbeRecord& record);

}  // namespace probetool

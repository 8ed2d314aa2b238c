// probetool's salvage of a surface file (*.pv): every surface whose block checks goes into a new
// surface file, written as one unit.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace probetool {

// Whether a file name names a surface file (extension .pv in any case).
bool isSurfaceFileName(const std::filesystem::path& path);

// Checks that every surface of `source` loads and says what its header hides; the exit status as
// for salvageSurfaces.
int checkSurfaces(const std::filesystem::path& source, const std::string& sourceShown,
                  std::ostream& out, std::ostream& err);

// Copies every readable surface of `source` into `target`, which must be missing or empty; the
// names as the user typed them (`sourceShown`, `targetShown`) are for messages. Returns the exit
// status: kDone when every surface was copied, kDamagedOrInvalid when some were lost,
// kUsageOrFile when nothing could be written.
int salvageSurfaces(const std::filesystem::path& source, const std::string& sourceShown,
                    const std::filesystem::path& target, const std::string& targetShown,
                    std::ostream& out, std::ostream& err);

}  // namespace probetool

// Where the surface file that a probe names is looked for. A probe keeps its surface file's name
// as typed, and sample probes name theirs without a folder ("probe_surfaces.pv"): such a name
// means the file beside the probe file, wherever that was loaded from. It is looked for there
// first and then taken as it stands, which the libraries read in the current folder. A name
// with a folder is always taken as it stands. The record is never changed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace probe {

// Whether a file name says which folder it is in: it holds a separator of either platform or a
// drive colon. File names here are cp1251 as the libraries take them.
bool namesFolder(std::string_view fileName);
// The folder part of a file name with its trailing separator; empty for a name without one.
std::string folderOf(std::string_view fileName);
// The name without its folder part.
std::string baseNameOf(std::string_view fileName);

struct LocatedSurfaceFile {
    std::string fileName;         // the name to hand to the libraries
    std::int32_t surfaces = 0;    // what the archiver counted there; 0 or less: none
    std::string besideProbeFile;  // the place beside the probe file tried first in vain, if any
};

// Counts the surfaces of a file as the archiver does.
using CountSurfacesFn = std::function<std::int32_t(const char* fileName)>;

// The first place where the archiver counts surfaces: beside the probe file (`loadedFromFolder`,
// as folderOf gives it; empty when the probes were not loaded from a file) for a name without
// a folder, then the name as it stands. When neither has surfaces, the name as it stands with
// its count.
LocatedSurfaceFile locateSurfaceFile(const std::string& fileName,
                                     const std::string& loadedFromFolder,
                                     const CountSurfacesFn& countSurfaces);

}  // namespace probe

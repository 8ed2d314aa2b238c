#include "editor/probe/surface_files.h"

namespace probe {

namespace {
constexpr std::string_view kFolderMarks = "/\\:";
}  // namespace

bool namesFolder(std::string_view fileName) {
    return fileName.find_first_of(kFolderMarks) != std::string_view::npos;
}

std::string folderOf(std::string_view fileName) {
    const std::size_t last = fileName.find_last_of(kFolderMarks);
    return last == std::string_view::npos ? std::string()
                                          : std::string(fileName.substr(0, last + 1));
}

std::string baseNameOf(std::string_view fileName) {
    return std::string(fileName.substr(folderOf(fileName).size()));
}

LocatedSurfaceFile locateSurfaceFile(const std::string& fileName,
                                     const std::string& loadedFromFolder,
                                     const CountSurfacesFn& countSurfaces) {
    if (!fileName.empty() && !namesFolder(fileName) && !loadedFromFolder.empty()) {
        const std::string beside = loadedFromFolder + fileName;
        const std::int32_t n = countSurfaces(beside.c_str());
        if (n > 0) return {beside, n, {}};
        return {fileName, countSurfaces(fileName.c_str()), beside};
    }
    return {fileName, countSurfaces(fileName.c_str()), {}};
}

}  // namespace probe

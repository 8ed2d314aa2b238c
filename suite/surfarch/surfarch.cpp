// The surface archiver "surfarch.dll": counts, reads and appends the surfaces of surface files
// (*.pv) and hands out its 6-entry table under "Архиватор поверхностей, версия 1.0".
//
// The archiver never allocates a keeper's geometry: a surface is decoded into its own buffers
// first and copied into the record only when it is whole and fits the room the keeper prepared,
// so a failed read leaves the record as it was.
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include "abi/plugin.h"
#include "abi/surfarch.h"
#include "abi/surfstore.h"
#include "platform/files.h"
#include "platform/table_request.h"
#include "suite/surfarch/pv_format.h"

namespace {

using contracts::SurfaceRecord;
namespace pv = surfaces::pv;

// The walk of the file opened last: the editor asks for every surface of a file in turn, and
// walking the file again for each would cost time quadratic in the number of surfaces. Counting
// always walks the file again; the other entries use the walk while the file's size and
// modification time stay those it was opened with. Every read reads its block from the file again
// and checks its length and CRC-32, so a file changed behind an unchanged time can only fail to
// read, never be read wrongly. One thread, like the rest of the library.
struct OpenedFile {
    std::filesystem::path path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    pv::File file;
    bool valid = false;
};

pv::File* opened(const char* fileName, bool walkAgain = false) {
    if (fileName == nullptr) return nullptr;
    static OpenedFile last;
    const std::filesystem::path path = platform::systemPath(fileName);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return nullptr;
    const std::filesystem::file_time_type modified = std::filesystem::last_write_time(path, ec);
    if (ec) return nullptr;
    if (!walkAgain && last.valid && last.path == path && last.size == size &&
        last.modified == modified) {
        return &last.file;
    }
    last.valid = false;
    if (last.file.open(path) != pv::Status::kOk) return nullptr;
    last.path = path;
    last.size = size;
    last.modified = modified;
    last.valid = true;
    return &last.file;
}

bool readCounts(const char* fileName, std::uint32_t index, std::uint32_t& vertices,
                std::uint32_t& triangles) {
    try {
        pv::File* file = opened(fileName);
        return file != nullptr && file->readCounts(index, vertices, triangles) == pv::Status::kOk;
    } catch (...) {
        return false;
    }
}

BoolByte PLUGIN_CALL SaveSurface(const char* fileName, const void* record) {
    const auto* r = static_cast<const SurfaceRecord*>(record);
    if (fileName == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    try {
        pv::Surface s;
        s.name.assign(r->name, strnlen(r->name, contracts::kMaxNameLength));
        s.vertices.assign(r->vertices, r->vertices + std::size_t{r->vertexCount} * 3);
        s.triangles.assign(r->triangles, r->triangles + std::size_t{r->triangleCount} * 3);
        return pv::appendSurface(platform::systemPath(fileName), s) == pv::Status::kOk ? kTrue
                                                                                       : kFalse;
    } catch (...) {
        return kFalse;
    }
}

std::int32_t PLUGIN_CALL FindSurfaceInFile(const char* fileName, const char* name) {
    if (fileName == nullptr || name == nullptr) return -1;
    try {
        pv::File* file = opened(fileName);
        if (file == nullptr) return -1;
        const std::size_t n = file->blocks().size();
        for (std::size_t i = 0; i < n && i <= INT32_MAX; ++i) {
            pv::Surface s;
            if (file->readSurface(i, s) == pv::Status::kOk && s.name == name) {
                return static_cast<std::int32_t>(i);
            }
        }
    } catch (...) {
    }
    return -1;
}

std::int32_t PLUGIN_CALL ZagruzitKolichestvoPoverhnostey(const char* fileName) {
    if (fileName == nullptr) return 0;
    try {
        const pv::File* file = opened(fileName, true);
        if (file == nullptr) return 0;
        return file->count() > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(file->count());
    } catch (...) {
        return 0;
    }
}

std::int32_t PLUGIN_CALL ZagruzitParametr1Poverhnosti(const char* fileName, std::uint32_t index) {
    std::uint32_t vertices = 0;
    std::uint32_t triangles = 0;
    if (!readCounts(fileName, index, vertices, triangles)) return 0;
    return static_cast<std::int32_t>(vertices);  // bounded by kMaxVertices
}

std::uint32_t PLUGIN_CALL ZagruzitParametr2Poverhnosti(const char* fileName, std::uint32_t index) {
    std::uint32_t vertices = 0;
    std::uint32_t triangles = 0;
    if (!readCounts(fileName, index, vertices, triangles)) return 0;
    return triangles;
}

BoolByte PLUGIN_CALL ZagruzitPoverhnost(const char* fileName, void* record, std::uint32_t index) {
    auto* r = static_cast<SurfaceRecord*>(record);
    if (fileName == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    try {
        pv::File* file = opened(fileName);
        if (file == nullptr) return kFalse;
        pv::Surface s;
        if (file->readSurface(index, s) != pv::Status::kOk) return kFalse;
        const std::uint32_t v = s.vertexCount();
        const std::uint32_t t = s.triangleCount();
        // The record must have the room the keeper prepared for this surface.
        if (v > static_cast<std::uint32_t>(r->vertexRoom) || t > r->triangleRoom) return kFalse;
        if ((v > 0 && r->vertices == nullptr) || (t > 0 && r->triangles == nullptr)) {
            return kFalse;
        }
        if (v > 0) std::memcpy(r->vertices, s.vertices.data(), s.vertices.size() * sizeof(double));
        if (t > 0) {
            std::memcpy(r->triangles, s.triangles.data(),
                        s.triangles.size() * sizeof(std::uint32_t));
        }
        r->vertexCount = v;
        r->triangleCount = t;
        std::memset(r->name, 0, sizeof r->name);
        std::memcpy(r->name, s.name.data(), s.name.size());  // at most kMaxNameLength
        return kTrue;
    } catch (...) {
        return kFalse;
    }
}

}  // namespace

// Fills the caller's table of 6 entries when `name` is the archiver's table name byte for byte.
PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* table, const char* name) {
    namespace a = contracts::archiver;
    TableCell cells[a::kTableEntries] = {};
    cells[a::kSaveSurface] = asCell(&SaveSurface);
    cells[a::kFindSurfaceInFile] = asCell(&FindSurfaceInFile);
    cells[a::kZagruzitKolichestvoPoverhnostey] = asCell(&ZagruzitKolichestvoPoverhnostey);
    cells[a::kZagruzitParametr1Poverhnosti] = asCell(&ZagruzitParametr1Poverhnosti);
    cells[a::kZagruzitParametr2Poverhnosti] = asCell(&ZagruzitParametr2Poverhnosti);
    cells[a::kZagruzitPoverhnost] = asCell(&ZagruzitPoverhnost);
    return platform::answerTableRequest(table, name, a::kTableName, cells);
}

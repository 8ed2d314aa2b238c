// The surface keeper "surfstore.dll": holds the surface records and their geometry and hands out
// its 19-entry table under "Хранитель поверхностей, версия 1.0".
//
// Records live in one array whose address, count and record size the surface set descriptor
// shows. Geometry storage is owned here and found again by its address, so a record whose bytes
// were moved or swapped by a caller still releases exactly what the keeper gave it, and a pointer
// a caller wrote into a record is never freed. Every entry that takes a record checks that it is
// one of the keeper's records before touching it.
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "abi/plugin.h"
#include "abi/surfstore.h"
#include "platform/table_request.h"

namespace {

using contracts::SurfaceRecord;
using contracts::SurfaceSetDescriptor;

// Most records the keeper holds at once.
constexpr std::uint32_t kMaxRecords = 1u << 20;

struct Keeper {
    std::vector<SurfaceRecord> records;
    std::map<const double*, std::unique_ptr<double[]>> vertexStorage;
    std::map<const std::uint32_t*, std::unique_ptr<std::uint32_t[]>> triangleStorage;
    SurfaceSetDescriptor descriptor{};
};

Keeper& keeper() {
    static Keeper k;
    return k;
}

SurfaceRecord emptyRecord() {
    SurfaceRecord r{};
    r.signature = contracts::kSurfaceRecordSignature;
    return r;
}

void refreshDescriptor() {
    Keeper& k = keeper();
    k.descriptor.firstRecord = k.records.empty() ? nullptr : k.records.data();
    k.descriptor.count = static_cast<std::uint32_t>(k.records.size());
    k.descriptor.recordSize = sizeof(SurfaceRecord);
}

// The keeper's record at `p`, or null when `p` is not the start of one of its records.
SurfaceRecord* ownRecord(const void* p) {
    Keeper& k = keeper();
    if (p == nullptr || k.records.empty()) return nullptr;
    const auto first = reinterpret_cast<std::uintptr_t>(k.records.data());
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    if (at < first) return nullptr;
    const std::uintptr_t offset = at - first;
    if (offset % sizeof(SurfaceRecord) != 0) return nullptr;
    const std::uintptr_t index = offset / sizeof(SurfaceRecord);
    if (index >= k.records.size()) return nullptr;
    return &k.records[index];
}

void releaseGeometry(SurfaceRecord& r) {
    Keeper& k = keeper();
    k.vertexStorage.erase(r.vertices);
    k.triangleStorage.erase(r.triangles);
    r.vertices = nullptr;
    r.triangles = nullptr;
    r.vertexRoom = 0;
    r.triangleRoom = 0;
    r.vertexCount = 0;
    r.triangleCount = 0;
}

void releaseAll() {
    Keeper& k = keeper();
    k.records.clear();
    k.records.shrink_to_fit();
    k.vertexStorage.clear();
    k.triangleStorage.clear();
    refreshDescriptor();
}

// Fresh zeroed storage for `vertices` and `triangles`, registered with the keeper; false when the
// counts are out of bounds or memory is short (nothing is registered then).
bool allocateGeometry(std::uint32_t vertices, std::uint32_t triangles, double*& vertexOut,
                      std::uint32_t*& triangleOut) {
    if (vertices > contracts::kMaxVertices || triangles > contracts::kMaxTriangles) return false;
    std::unique_ptr<double[]> v;
    std::unique_ptr<std::uint32_t[]> t;
    if (vertices > 0) {
        v.reset(new (std::nothrow) double[std::size_t{vertices} * 3]());
        if (!v) return false;
    }
    if (triangles > 0) {
        t.reset(new (std::nothrow) std::uint32_t[std::size_t{triangles} * 3]());
        if (!t) return false;
    }
    Keeper& k = keeper();
    vertexOut = v.get();
    triangleOut = t.get();
    if (v) k.vertexStorage.emplace(v.get(), std::move(v));
    if (t) k.triangleStorage.emplace(t.get(), std::move(t));
    return true;
}

// --- Table entries ---

void PLUGIN_CALL ClearSurfaces() {
    try {
        releaseAll();
    } catch (...) {
    }
}

std::uint32_t PLUGIN_CALL GetSurfaceCount() {
    return static_cast<std::uint32_t>(keeper().records.size());
}

BoolByte PLUGIN_CALL VidelitPamyatDlyaPoverhnostey(std::uint32_t count) {
    try {
        releaseAll();
        if (count > kMaxRecords) return kFalse;
        keeper().records.assign(count, emptyRecord());
        refreshDescriptor();
        return kTrue;
    } catch (...) {
        releaseAll();
        return kFalse;
    }
}

BoolByte PLUGIN_CALL PodgotovitPoverhnost(void* record, std::int32_t parameter1,
                                          std::uint32_t parameter2) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || parameter1 < 0) return kFalse;
    try {
        double* v = nullptr;
        std::uint32_t* t = nullptr;
        if (!allocateGeometry(static_cast<std::uint32_t>(parameter1), parameter2, v, t)) {
            return kFalse;
        }
        releaseGeometry(*r);
        r->signature = contracts::kSurfaceRecordSignature;
        r->vertexRoom = parameter1;
        r->triangleRoom = parameter2;
        r->vertices = v;
        r->triangles = t;
        r->mark = 0;
        std::memset(r->name, 0, sizeof r->name);
        return kTrue;
    } catch (...) {
        return kFalse;
    }
}

BoolByte PLUGIN_CALL ReleaseSurface(void* record) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr) return kFalse;
    releaseGeometry(*r);
    *r = emptyRecord();
    return kTrue;
}

BoolByte PLUGIN_CALL CopySurface(void* target, const void* source) {
    SurfaceRecord* to = ownRecord(target);
    const SurfaceRecord* from = ownRecord(source);
    if (to == nullptr || from == nullptr || !contracts::isUsableRecord(from)) return kFalse;
    if (to == from) return kTrue;
    try {
        double* v = nullptr;
        std::uint32_t* t = nullptr;
        if (!allocateGeometry(from->vertexCount, from->triangleCount, v, t)) return kFalse;
        if (from->vertexCount > 0) {
            std::memcpy(v, from->vertices, std::size_t{from->vertexCount} * 3 * sizeof(double));
        }
        if (from->triangleCount > 0) {
            std::memcpy(t, from->triangles,
                        std::size_t{from->triangleCount} * 3 * sizeof(std::uint32_t));
        }
        releaseGeometry(*to);
        to->signature = contracts::kSurfaceRecordSignature;
        to->vertexRoom = static_cast<std::int32_t>(from->vertexCount);
        to->triangleRoom = from->triangleCount;
        to->vertexCount = from->vertexCount;
        to->triangleCount = from->triangleCount;
        to->vertices = v;
        to->triangles = t;
        to->mark = from->mark;
        std::memcpy(to->name, from->name, sizeof to->name);
        to->name[contracts::kMaxNameLength] = '\0';
        return kTrue;
    } catch (...) {
        return kFalse;
    }
}

void* PLUGIN_CALL AppendSurface() {
    Keeper& k = keeper();
    if (k.records.size() >= kMaxRecords) return nullptr;
    try {
        k.records.push_back(emptyRecord());
    } catch (...) {
        return nullptr;
    }
    refreshDescriptor();
    return &k.records.back();
}

SurfaceSetDescriptor* PLUGIN_CALL PoluchitSpisokPoverhnostey() {
    return &keeper().descriptor;
}

void* PLUGIN_CALL PoluchitPoverhnostPoIndeksu(std::uint32_t index) {
    Keeper& k = keeper();
    return index < k.records.size() ? &k.records[index] : nullptr;
}

void* PLUGIN_CALL FindSurfaceByName(const char* name) {
    if (name == nullptr) return nullptr;
    for (SurfaceRecord& r : keeper().records) {
        r.name[contracts::kMaxNameLength] = '\0';
        if (std::strcmp(r.name, name) == 0) return &r;
    }
    return nullptr;
}

BoolByte PLUGIN_CALL SetSurfaceName(void* record, const char* name) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || name == nullptr) return kFalse;
    const std::size_t length = strnlen(name, contracts::kMaxNameLength + 1);
    if (length > contracts::kMaxNameLength) return kFalse;
    std::memset(r->name, 0, sizeof r->name);
    std::memcpy(r->name, name, length);
    return kTrue;
}

const char* PLUGIN_CALL PoluchitImyaPoverhnosti(void* record) {
    SurfaceRecord* r = ownRecord(record);
    // An unknown record has no name; the empty text keeps callers that list names safe.
    if (r == nullptr) return "";
    r->name[contracts::kMaxNameLength] = '\0';
    return r->name;
}

BoolByte PLUGIN_CALL GetSurfaceParameters(void* record, std::int32_t* parameter1,
                                          std::uint32_t* parameter2) {
    const SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    if (parameter1 != nullptr) *parameter1 = static_cast<std::int32_t>(r->vertexCount);
    if (parameter2 != nullptr) *parameter2 = r->triangleCount;
    return kTrue;
}

BoolByte PLUGIN_CALL GetVertex(void* record, std::uint32_t index, double* xyz) {
    const SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || xyz == nullptr || !contracts::isUsableRecord(r) ||
        index >= r->vertexCount) {
        return kFalse;
    }
    std::memcpy(xyz, r->vertices + std::size_t{index} * 3, 3 * sizeof(double));
    return kTrue;
}

BoolByte PLUGIN_CALL SetVertex(void* record, std::uint32_t index, double x, double y, double z) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    if (index >= static_cast<std::uint32_t>(r->vertexRoom) || r->vertices == nullptr) return kFalse;
    double* v = r->vertices + std::size_t{index} * 3;
    v[0] = x;
    v[1] = y;
    v[2] = z;
    if (index >= r->vertexCount) r->vertexCount = index + 1;
    return kTrue;
}

BoolByte PLUGIN_CALL OpredelitPriznakPoverhnosti(void* record, std::int32_t value) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr) return kFalse;
    r->mark = value;
    return kTrue;
}

std::int32_t PLUGIN_CALL GetSurfaceMark(void* record) {
    const SurfaceRecord* r = ownRecord(record);
    return r != nullptr ? r->mark : 0;
}

BoolByte PLUGIN_CALL GetTriangle(void* record, std::uint32_t index, std::uint32_t* abc) {
    const SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || abc == nullptr || !contracts::isUsableRecord(r) ||
        index >= r->triangleCount) {
        return kFalse;
    }
    std::memcpy(abc, r->triangles + std::size_t{index} * 3, 3 * sizeof(std::uint32_t));
    return kTrue;
}

BoolByte PLUGIN_CALL SetTriangle(void* record, std::uint32_t index, std::uint32_t a,
                                 std::uint32_t b, std::uint32_t c) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    if (index >= r->triangleRoom || r->triangles == nullptr) return kFalse;
    if (a >= r->vertexCount || b >= r->vertexCount || c >= r->vertexCount) return kFalse;
    std::uint32_t* t = r->triangles + std::size_t{index} * 3;
    t[0] = a;
    t[1] = b;
    t[2] = c;
    if (index >= r->triangleCount) r->triangleCount = index + 1;
    return kTrue;
}

}  // namespace

// Fills the caller's table of 19 entries when `name` is the keeper's table name byte for byte.
PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* table, const char* name) {
    namespace k = contracts::keeper;
    TableCell cells[k::kTableEntries] = {};
    cells[k::kClearSurfaces] = asCell(&ClearSurfaces);
    cells[k::kGetSurfaceCount] = asCell(&GetSurfaceCount);
    cells[k::kVidelitPamyatDlyaPoverhnostey] = asCell(&VidelitPamyatDlyaPoverhnostey);
    cells[k::kPodgotovitPoverhnost] = asCell(&PodgotovitPoverhnost);
    cells[k::kReleaseSurface] = asCell(&ReleaseSurface);
    cells[k::kCopySurface] = asCell(&CopySurface);
    cells[k::kAppendSurface] = asCell(&AppendSurface);
    cells[k::kPoluchitSpisokPoverhnostey] = asCell(&PoluchitSpisokPoverhnostey);
    cells[k::kPoluchitPoverhnostPoIndeksu] = asCell(&PoluchitPoverhnostPoIndeksu);
    cells[k::kFindSurfaceByName] = asCell(&FindSurfaceByName);
    cells[k::kSetSurfaceName] = asCell(&SetSurfaceName);
    cells[k::kPoluchitImyaPoverhnosti] = asCell(&PoluchitImyaPoverhnosti);
    cells[k::kGetSurfaceParameters] = asCell(&GetSurfaceParameters);
    cells[k::kGetVertex] = asCell(&GetVertex);
    cells[k::kSetVertex] = asCell(&SetVertex);
    cells[k::kOpredelitPriznakPoverhnosti] = asCell(&OpredelitPriznakPoverhnosti);
    cells[k::kGetSurfaceMark] = asCell(&GetSurfaceMark);
    cells[k::kGetTriangle] = asCell(&GetTriangle);
    cells[k::kSetTriangle] = asCell(&SetTriangle);
    return platform::answerTableRequest(table, name, k::kTableName, cells);
}

namespace {

// Releases every record and its geometry before the library is unmapped.
int onEntry(int reason) {
    if (reason == kProcessDetach) ClearSurfaces();
    return 1;
}

}  // namespace

PLUGIN_LIBRARY_ENTRY(onEntry)

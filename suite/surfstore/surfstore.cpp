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
    r.signatura = contracts::kSurfaceRecordSignature;
    return r;
}

void refreshDescriptor() {
    Keeper& k = keeper();
    k.descriptor.pervaya = k.records.empty() ? nullptr : k.records.data();
    k.descriptor.kolichestvo = static_cast<std::uint32_t>(k.records.size());
    k.descriptor.razmer = sizeof(SurfaceRecord);
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
    k.vertexStorage.erase(r.vershini);
    k.triangleStorage.erase(r.treugolniki);
    r.vershini = nullptr;
    r.treugolniki = nullptr;
    r.parametr1 = 0;
    r.parametr2 = 0;
    r.vershin = 0;
    r.treugolnikov = 0;
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

void PLUGIN_CALL OchistitPoverhnosti() {
    try {
        releaseAll();
    } catch (...) {
    }
}

std::uint32_t PLUGIN_CALL PoluchitKolichestvoPoverhnostey() {
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
        r->signatura = contracts::kSurfaceRecordSignature;
        r->parametr1 = parameter1;
        r->parametr2 = parameter2;
        r->vershini = v;
        r->treugolniki = t;
        r->priznak = 0;
        std::memset(r->imya, 0, sizeof r->imya);
        return kTrue;
    } catch (...) {
        return kFalse;
    }
}

BoolByte PLUGIN_CALL OsvoboditPoverhnost(void* record) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr) return kFalse;
    releaseGeometry(*r);
    *r = emptyRecord();
    return kTrue;
}

BoolByte PLUGIN_CALL KopirovatPoverhnost(void* target, const void* source) {
    SurfaceRecord* to = ownRecord(target);
    const SurfaceRecord* from = ownRecord(source);
    if (to == nullptr || from == nullptr || !contracts::isUsableRecord(from)) return kFalse;
    if (to == from) return kTrue;
    try {
        double* v = nullptr;
        std::uint32_t* t = nullptr;
        if (!allocateGeometry(from->vershin, from->treugolnikov, v, t)) return kFalse;
        if (from->vershin > 0) {
            std::memcpy(v, from->vershini, std::size_t{from->vershin} * 3 * sizeof(double));
        }
        if (from->treugolnikov > 0) {
            std::memcpy(t, from->treugolniki,
                        std::size_t{from->treugolnikov} * 3 * sizeof(std::uint32_t));
        }
        releaseGeometry(*to);
        to->signatura = contracts::kSurfaceRecordSignature;
        to->parametr1 = static_cast<std::int32_t>(from->vershin);
        to->parametr2 = from->treugolnikov;
        to->vershin = from->vershin;
        to->treugolnikov = from->treugolnikov;
        to->vershini = v;
        to->treugolniki = t;
        to->priznak = from->priznak;
        std::memcpy(to->imya, from->imya, sizeof to->imya);
        to->imya[contracts::kMaxNameLength] = '\0';
        return kTrue;
    } catch (...) {
        return kFalse;
    }
}

void* PLUGIN_CALL DobavitPoverhnost() {
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

void* PLUGIN_CALL NaytiPoverhnostPoImeni(const char* name) {
    if (name == nullptr) return nullptr;
    for (SurfaceRecord& r : keeper().records) {
        r.imya[contracts::kMaxNameLength] = '\0';
        if (std::strcmp(r.imya, name) == 0) return &r;
    }
    return nullptr;
}

BoolByte PLUGIN_CALL OpredelitImyaPoverhnosti(void* record, const char* name) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || name == nullptr) return kFalse;
    const std::size_t length = strnlen(name, contracts::kMaxNameLength + 1);
    if (length > contracts::kMaxNameLength) return kFalse;
    std::memset(r->imya, 0, sizeof r->imya);
    std::memcpy(r->imya, name, length);
    return kTrue;
}

const char* PLUGIN_CALL PoluchitImyaPoverhnosti(void* record) {
    SurfaceRecord* r = ownRecord(record);
    // An unknown record has no name; the empty text keeps callers that list names safe.
    if (r == nullptr) return "";
    r->imya[contracts::kMaxNameLength] = '\0';
    return r->imya;
}

BoolByte PLUGIN_CALL PoluchitParametriPoverhnosti(void* record, std::int32_t* parameter1,
                                                  std::uint32_t* parameter2) {
    const SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    if (parameter1 != nullptr) *parameter1 = static_cast<std::int32_t>(r->vershin);
    if (parameter2 != nullptr) *parameter2 = r->treugolnikov;
    return kTrue;
}

BoolByte PLUGIN_CALL PoluchitVershinu(void* record, std::uint32_t index, double* xyz) {
    const SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || xyz == nullptr || !contracts::isUsableRecord(r) || index >= r->vershin) {
        return kFalse;
    }
    std::memcpy(xyz, r->vershini + std::size_t{index} * 3, 3 * sizeof(double));
    return kTrue;
}

BoolByte PLUGIN_CALL OpredelitVershinu(void* record, std::uint32_t index, double x, double y,
                                       double z) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    if (index >= static_cast<std::uint32_t>(r->parametr1) || r->vershini == nullptr) return kFalse;
    double* v = r->vershini + std::size_t{index} * 3;
    v[0] = x;
    v[1] = y;
    v[2] = z;
    if (index >= r->vershin) r->vershin = index + 1;
    return kTrue;
}

BoolByte PLUGIN_CALL OpredelitPriznakPoverhnosti(void* record, std::int32_t value) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr) return kFalse;
    r->priznak = value;
    return kTrue;
}

std::int32_t PLUGIN_CALL PoluchitPriznakPoverhnosti(void* record) {
    const SurfaceRecord* r = ownRecord(record);
    return r != nullptr ? r->priznak : 0;
}

BoolByte PLUGIN_CALL PoluchitTreugolnik(void* record, std::uint32_t index, std::uint32_t* abc) {
    const SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || abc == nullptr || !contracts::isUsableRecord(r) ||
        index >= r->treugolnikov) {
        return kFalse;
    }
    std::memcpy(abc, r->treugolniki + std::size_t{index} * 3, 3 * sizeof(std::uint32_t));
    return kTrue;
}

BoolByte PLUGIN_CALL OpredelitTreugolnik(void* record, std::uint32_t index, std::uint32_t a,
                                         std::uint32_t b, std::uint32_t c) {
    SurfaceRecord* r = ownRecord(record);
    if (r == nullptr || !contracts::isUsableRecord(r)) return kFalse;
    if (index >= r->parametr2 || r->treugolniki == nullptr) return kFalse;
    if (a >= r->vershin || b >= r->vershin || c >= r->vershin) return kFalse;
    std::uint32_t* t = r->treugolniki + std::size_t{index} * 3;
    t[0] = a;
    t[1] = b;
    t[2] = c;
    if (index >= r->treugolnikov) r->treugolnikov = index + 1;
    return kTrue;
}

}  // namespace

// Fills the caller's table of 19 entries when `name` is the keeper's table name byte for byte.
PLUGIN_EXPORT void* PLUGIN_CALL PoluchitTablicuFunkciyPoImeni(TableCell* table, const char* name) {
    namespace k = contracts::keeper;
    TableCell cells[k::kTableEntries] = {};
    cells[k::kOchistitPoverhnosti] = asCell(&OchistitPoverhnosti);
    cells[k::kPoluchitKolichestvoPoverhnostey] = asCell(&PoluchitKolichestvoPoverhnostey);
    cells[k::kVidelitPamyatDlyaPoverhnostey] = asCell(&VidelitPamyatDlyaPoverhnostey);
    cells[k::kPodgotovitPoverhnost] = asCell(&PodgotovitPoverhnost);
    cells[k::kOsvoboditPoverhnost] = asCell(&OsvoboditPoverhnost);
    cells[k::kKopirovatPoverhnost] = asCell(&KopirovatPoverhnost);
    cells[k::kDobavitPoverhnost] = asCell(&DobavitPoverhnost);
    cells[k::kPoluchitSpisokPoverhnostey] = asCell(&PoluchitSpisokPoverhnostey);
    cells[k::kPoluchitPoverhnostPoIndeksu] = asCell(&PoluchitPoverhnostPoIndeksu);
    cells[k::kNaytiPoverhnostPoImeni] = asCell(&NaytiPoverhnostPoImeni);
    cells[k::kOpredelitImyaPoverhnosti] = asCell(&OpredelitImyaPoverhnosti);
    cells[k::kPoluchitImyaPoverhnosti] = asCell(&PoluchitImyaPoverhnosti);
    cells[k::kPoluchitParametriPoverhnosti] = asCell(&PoluchitParametriPoverhnosti);
    cells[k::kPoluchitVershinu] = asCell(&PoluchitVershinu);
    cells[k::kOpredelitVershinu] = asCell(&OpredelitVershinu);
    cells[k::kOpredelitPriznakPoverhnosti] = asCell(&OpredelitPriznakPoverhnosti);
    cells[k::kPoluchitPriznakPoverhnosti] = asCell(&PoluchitPriznakPoverhnosti);
    cells[k::kPoluchitTreugolnik] = asCell(&PoluchitTreugolnik);
    cells[k::kOpredelitTreugolnik] = asCell(&OpredelitTreugolnik);
    return platform::answerTableRequest(table, name, k::kTableName, cells);
}

namespace {

// Releases every record and its geometry before the library is unmapped.
int onEntry(int reason) {
    if (reason == kProcessDetach) OchistitPoverhnosti();
    return 1;
}

}  // namespace

PLUGIN_LIBRARY_ENTRY(onEntry)

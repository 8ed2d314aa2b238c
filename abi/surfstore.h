// The surface keeper "surfstore.dll": its surface records, the surface set descriptor and its
// function table "Хранитель поверхностей, версия 1.0" (two-argument request, 19 entries).
//
// The keeper allocates the records and their geometry and owns them; the archiver "surfarch.dll"
// reads a surface of a file into a record the keeper has prepared; the visualizer "surfview1.dll"
// draws records it is handed through the surface set descriptor. Record addresses stay valid until
// the keeper's next VidelitPamyatDlyaPoverhnostey, OchistitPoverhnosti or DobavitPoverhnost (its
// records may move then) or its unload; a host fetches them again afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"

namespace contracts {

// The keeper's record of its surface records: record i lies at pervaya + i * razmer.
// The descriptor itself is the keeper's and stays where it is while the keeper is loaded.
struct SurfaceSetDescriptor {
    void* pervaya;              // first surface record; owned by the keeper (see above)
    std::uint32_t kolichestvo;  // number of records
    std::uint32_t razmer;       // size of one record in bytes
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(SurfaceSetDescriptor, kolichestvo) == 4);
static_assert(offsetof(SurfaceSetDescriptor, razmer) == 8);
static_assert(sizeof(SurfaceSetDescriptor) == 12);
#else
static_assert(offsetof(SurfaceSetDescriptor, kolichestvo) == 8);
static_assert(offsetof(SurfaceSetDescriptor, razmer) == 12);
static_assert(sizeof(SurfaceSetDescriptor) == 16);
#endif

// Written by the keeper into every record it hands out; the other libraries refuse a record
// without it.
inline constexpr std::uint32_t kSurfaceRecordSignature = 0x46525553u;  // "SURF"

// Longest surface name in bytes (cp1251, without the terminating NUL).
inline constexpr std::size_t kMaxNameLength = 255;

// Largest room the keeper gives one surface, so that no caller's number sizes an allocation
// unchecked: 16 M vertices (384 MB of coordinates) and 32 M triangles.
inline constexpr std::uint32_t kMaxVertices = 16u * 1024u * 1024u;
inline constexpr std::uint32_t kMaxTriangles = 32u * 1024u * 1024u;

// One surface. Parameter 1 is the number of vertices, parameter 2 the number of triangles the
// record has room for; `vershin` and `treugolnikov` say how many of them are in use. A surface
// with no triangles is a line through its vertices in order.
struct SurfaceRecord {
    std::uint32_t signatura;     // kSurfaceRecordSignature
    std::int32_t parametr1;      // room: vertices
    std::uint32_t parametr2;     // room: triangles
    std::int32_t priznak;        // display mark: non-zero marks the surface to be shown first
    std::uint32_t vershin;       // vertices in use, at most parametr1
    std::uint32_t treugolnikov;  // triangles in use, at most parametr2
    // x, y, z per vertex; owned by the keeper, valid until the record is prepared again,
    // released or cleared.
    double* vershini;
    // three vertex indices per triangle; owned by the keeper, with the same lifetime.
    std::uint32_t* treugolniki;
    char imya[kMaxNameLength + 1];  // cp1251, NUL-terminated
};
static_assert(offsetof(SurfaceRecord, signatura) == 0);
static_assert(offsetof(SurfaceRecord, parametr1) == 4);
static_assert(offsetof(SurfaceRecord, parametr2) == 8);
static_assert(offsetof(SurfaceRecord, priznak) == 12);
static_assert(offsetof(SurfaceRecord, vershin) == 16);
static_assert(offsetof(SurfaceRecord, treugolnikov) == 20);
static_assert(offsetof(SurfaceRecord, vershini) == 24);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(SurfaceRecord, treugolniki) == 28);
static_assert(offsetof(SurfaceRecord, imya) == 32);
static_assert(sizeof(SurfaceRecord) == 288);
#else
static_assert(offsetof(SurfaceRecord, treugolniki) == 32);
static_assert(offsetof(SurfaceRecord, imya) == 40);
static_assert(sizeof(SurfaceRecord) == 296);
#endif

// Whether `record` looks like a keeper's record whose geometry may be read: signed, counts within
// the room, and storage present for what is in use.
inline bool isUsableRecord(const SurfaceRecord* record) {
    if (record == nullptr || record->signatura != kSurfaceRecordSignature) return false;
    if (record->parametr1 < 0) return false;
    if (record->vershin > static_cast<std::uint32_t>(record->parametr1)) return false;
    if (record->treugolnikov > record->parametr2) return false;
    if (record->vershin > 0 && record->vershini == nullptr) return false;
    if (record->treugolnikov > 0 && record->treugolniki == nullptr) return false;
    return true;
}

// The keeper's table. Every `record` argument is the address of one of the keeper's records,
// borrowed for the call; texts handed in are borrowed for the call.
namespace keeper {

// The table grows only at its end: a new entry takes the next number, and no entry moves or
// changes its signature. Any other change is a new version under a new table name
// (docs/plugins.md).
inline constexpr const char* kTableName = "Хранитель поверхностей, версия 1.0";  // UTF-8
inline constexpr std::size_t kOchistitPoverhnosti = 0;
inline constexpr std::size_t kPoluchitKolichestvoPoverhnostey = 1;
inline constexpr std::size_t kVidelitPamyatDlyaPoverhnostey = 2;
inline constexpr std::size_t kPodgotovitPoverhnost = 3;
inline constexpr std::size_t kOsvoboditPoverhnost = 4;
inline constexpr std::size_t kKopirovatPoverhnost = 5;
inline constexpr std::size_t kDobavitPoverhnost = 6;
inline constexpr std::size_t kPoluchitSpisokPoverhnostey = 7;
inline constexpr std::size_t kPoluchitPoverhnostPoIndeksu = 8;
inline constexpr std::size_t kNaytiPoverhnostPoImeni = 9;
inline constexpr std::size_t kOpredelitImyaPoverhnosti = 10;
inline constexpr std::size_t kPoluchitImyaPoverhnosti = 11;
inline constexpr std::size_t kPoluchitParametriPoverhnosti = 12;
inline constexpr std::size_t kPoluchitVershinu = 13;
inline constexpr std::size_t kOpredelitVershinu = 14;
inline constexpr std::size_t kOpredelitPriznakPoverhnosti = 15;
inline constexpr std::size_t kPoluchitPriznakPoverhnosti = 16;
inline constexpr std::size_t kPoluchitTreugolnik = 17;
inline constexpr std::size_t kOpredelitTreugolnik = 18;
inline constexpr std::size_t kTableEntries = 19;

// Releases every record and its geometry; the set is empty afterwards.
using OchistitPoverhnostiFn = void PLUGIN_CALL (*)();
// Number of records the keeper holds.
using PoluchitKolichestvoPoverhnosteyFn = std::uint32_t PLUGIN_CALL (*)();
// Replaces every record by `count` empty ones.
using VidelitPamyatDlyaPoverhnosteyFn = BoolByte PLUGIN_CALL (*)(std::uint32_t count);
// Gives the record room for parameter1 vertices and parameter2 triangles (new keeper storage).
using PodgotovitPoverhnostFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t parameter1,
                                                        std::uint32_t parameter2);
// Releases the record's geometry and empties it (no room, no name, mark 0).
using OsvoboditPoverhnostFn = BoolByte PLUGIN_CALL (*)(void* record);
// Makes `target` a copy of `source` (name, mark, geometry in new storage).
using KopirovatPoverhnostFn = BoolByte PLUGIN_CALL (*)(void* target, const void* source);
// Appends one empty record; returns its address (records may move: fetch addresses again).
using DobavitPoverhnostFn = void* PLUGIN_CALL (*)();
// The keeper's descriptor (see SurfaceSetDescriptor).
using PoluchitSpisokPoverhnosteyFn = SurfaceSetDescriptor* PLUGIN_CALL (*)();
// Record `index`, null when there is none.
using PoluchitPoverhnostPoIndeksuFn = void* PLUGIN_CALL (*)(std::uint32_t index);
// First record whose name equals `name` byte for byte, or null.
using NaytiPoverhnostPoImeniFn = void* PLUGIN_CALL (*)(const char* name);
// Sets the record's name (cp1251, at most kMaxNameLength bytes).
using OpredelitImyaPoverhnostiFn = BoolByte PLUGIN_CALL (*)(void* record, const char* name);
// The record's name, cp1251; the text is the record's own and lives as long as the record.
using PoluchitImyaPoverhnostiFn = const char* PLUGIN_CALL (*)(void* record);
// The record's vertex and triangle counts in use, written to the caller's two variables.
using PoluchitParametriPoverhnostiFn = BoolByte PLUGIN_CALL (*)(void* record,
                                                                std::int32_t* parameter1,
                                                                std::uint32_t* parameter2);
// Vertex `index` into the caller's xyz[0..2].
using PoluchitVershinuFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index, double* xyz);
// Sets vertex `index` (within the room; the count in use grows to cover it).
using OpredelitVershinuFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index, double x,
                                                     double y, double z);
// Sets the record's display mark.
using OpredelitPriznakPoverhnostiFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t value);
using PoluchitPriznakPoverhnostiFn = std::int32_t PLUGIN_CALL (*)(void* record);
// Triangle `index` into the caller's abc[0..2].
using PoluchitTreugolnikFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index,
                                                      std::uint32_t* abc);
// Sets triangle `index` (within the room; its indices must name vertices in use).
using OpredelitTreugolnikFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index,
                                                       std::uint32_t a, std::uint32_t b,
                                                       std::uint32_t c);

}  // namespace keeper
}  // namespace contracts

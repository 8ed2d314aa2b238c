// The surface keeper "surfstore.dll": its surface records, the surface set descriptor and its
// function table "Хранитель поверхностей, версия 1.0" (two-argument request, 19 entries).
//
// The keeper allocates the records and their geometry and owns them; the archiver "surfarch.dll"
// reads a surface of a file into a record the keeper has prepared; the visualizer "surfview1.dll"
// draws records it is handed through the surface set descriptor. Record addresses stay valid until
// the keeper's next VidelitPamyatDlyaPoverhnostey, ClearSurfaces or AppendSurface (its
// records may move then) or its unload; a host fetches them again afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"

namespace contracts {

// The keeper's record of its surface records: record i lies at firstRecord + i * recordSize.
// The descriptor itself is the keeper's and stays where it is while the keeper is loaded.
struct SurfaceSetDescriptor {
    void* firstRecord;         // first surface record; owned by the keeper (see above)
    std::uint32_t count;       // number of records
    std::uint32_t recordSize;  // size of one record in bytes
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(SurfaceSetDescriptor, count) == 4);
static_assert(offsetof(SurfaceSetDescriptor, recordSize) == 8);
static_assert(sizeof(SurfaceSetDescriptor) == 12);
#else
static_assert(offsetof(SurfaceSetDescriptor, count) == 8);
static_assert(offsetof(SurfaceSetDescriptor, recordSize) == 12);
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
// record has room for; `vertexCount` and `triangleCount` say how many of them are in use. A surface
// with no triangles is a line through its vertices in order.
struct SurfaceRecord {
    std::uint32_t signature;      // kSurfaceRecordSignature
    std::int32_t vertexRoom;      // room: vertices
    std::uint32_t triangleRoom;   // room: triangles
    std::int32_t mark;            // display mark: non-zero marks the surface to be shown first
    std::uint32_t vertexCount;    // vertices in use, at most vertexRoom
    std::uint32_t triangleCount;  // triangles in use, at most triangleRoom
    // x, y, z per vertex; owned by the keeper, valid until the record is prepared again,
    // released or cleared.
    double* vertices;
    // three vertex indices per triangle; owned by the keeper, with the same lifetime.
    std::uint32_t* triangles;
    char name[kMaxNameLength + 1];  // cp1251, NUL-terminated
};
static_assert(offsetof(SurfaceRecord, signature) == 0);
static_assert(offsetof(SurfaceRecord, vertexRoom) == 4);
static_assert(offsetof(SurfaceRecord, triangleRoom) == 8);
static_assert(offsetof(SurfaceRecord, mark) == 12);
static_assert(offsetof(SurfaceRecord, vertexCount) == 16);
static_assert(offsetof(SurfaceRecord, triangleCount) == 20);
static_assert(offsetof(SurfaceRecord, vertices) == 24);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(SurfaceRecord, triangles) == 28);
static_assert(offsetof(SurfaceRecord, name) == 32);
static_assert(sizeof(SurfaceRecord) == 288);
#else
static_assert(offsetof(SurfaceRecord, triangles) == 32);
static_assert(offsetof(SurfaceRecord, name) == 40);
static_assert(sizeof(SurfaceRecord) == 296);
#endif

// Whether `record` looks like a keeper's record whose geometry may be read: signed, counts within
// the room, and storage present for what is in use.
inline bool isUsableRecord(const SurfaceRecord* record) {
    if (record == nullptr || record->signature != kSurfaceRecordSignature) return false;
    if (record->vertexRoom < 0) return false;
    if (record->vertexCount > static_cast<std::uint32_t>(record->vertexRoom)) return false;
    if (record->triangleCount > record->triangleRoom) return false;
    if (record->vertexCount > 0 && record->vertices == nullptr) return false;
    if (record->triangleCount > 0 && record->triangles == nullptr) return false;
    return true;
}

// The keeper's table. Every `record` argument is the address of one of the keeper's records,
// borrowed for the call; texts handed in are borrowed for the call.
namespace keeper {

// The table grows only at its end: a new entry takes the next number, and no entry moves or
// changes its signature. Any other change is a new version under a new table name
// (docs/plugins.md).
inline constexpr const char* kTableName = "Хранитель поверхностей, версия 1.0";  // UTF-8
inline constexpr std::size_t kClearSurfaces = 0;
inline constexpr std::size_t kGetSurfaceCount = 1;
inline constexpr std::size_t kVidelitPamyatDlyaPoverhnostey = 2;
inline constexpr std::size_t kPodgotovitPoverhnost = 3;
inline constexpr std::size_t kReleaseSurface = 4;
inline constexpr std::size_t kCopySurface = 5;
inline constexpr std::size_t kAppendSurface = 6;
inline constexpr std::size_t kPoluchitSpisokPoverhnostey = 7;
inline constexpr std::size_t kPoluchitPoverhnostPoIndeksu = 8;
inline constexpr std::size_t kFindSurfaceByName = 9;
inline constexpr std::size_t kSetSurfaceName = 10;
inline constexpr std::size_t kPoluchitImyaPoverhnosti = 11;
inline constexpr std::size_t kGetSurfaceParameters = 12;
inline constexpr std::size_t kGetVertex = 13;
inline constexpr std::size_t kSetVertex = 14;
inline constexpr std::size_t kOpredelitPriznakPoverhnosti = 15;
inline constexpr std::size_t kGetSurfaceMark = 16;
inline constexpr std::size_t kGetTriangle = 17;
inline constexpr std::size_t kSetTriangle = 18;
inline constexpr std::size_t kTableEntries = 19;

// Releases every record and its geometry; the set is empty afterwards.
using ClearSurfacesFn = void PLUGIN_CALL (*)();
// Number of records the keeper holds.
using GetSurfaceCountFn = std::uint32_t PLUGIN_CALL (*)();
// Replaces every record by `count` empty ones.
using VidelitPamyatDlyaPoverhnosteyFn = BoolByte PLUGIN_CALL (*)(std::uint32_t count);
// Gives the record room for parameter1 vertices and parameter2 triangles (new keeper storage).
using PodgotovitPoverhnostFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t parameter1,
                                                        std::uint32_t parameter2);
// Releases the record's geometry and empties it (no room, no name, mark 0).
using ReleaseSurfaceFn = BoolByte PLUGIN_CALL (*)(void* record);
// Makes `target` a copy of `source` (name, mark, geometry in new storage).
using CopySurfaceFn = BoolByte PLUGIN_CALL (*)(void* target, const void* source);
// Appends one empty record; returns its address (records may move: fetch addresses again).
using AppendSurfaceFn = void* PLUGIN_CALL (*)();
// The keeper's descriptor (see SurfaceSetDescriptor).
using PoluchitSpisokPoverhnosteyFn = SurfaceSetDescriptor* PLUGIN_CALL (*)();
// Record `index`, null when there is none.
using PoluchitPoverhnostPoIndeksuFn = void* PLUGIN_CALL (*)(std::uint32_t index);
// First record whose name equals `name` byte for byte, or null.
using FindSurfaceByNameFn = void* PLUGIN_CALL (*)(const char* name);
// Sets the record's name (cp1251, at most kMaxNameLength bytes).
using SetSurfaceNameFn = BoolByte PLUGIN_CALL (*)(void* record, const char* name);
// The record's name, cp1251; the text is the record's own and lives as long as the record.
using PoluchitImyaPoverhnostiFn = const char* PLUGIN_CALL (*)(void* record);
// The record's vertex and triangle counts in use, written to the caller's two variables.
using GetSurfaceParametersFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t* parameter1,
                                                        std::uint32_t* parameter2);
// Vertex `index` into the caller's xyz[0..2].
using GetVertexFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index, double* xyz);
// Sets vertex `index` (within the room; the count in use grows to cover it).
using SetVertexFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index, double x, double y,
                                             double z);
// Sets the record's display mark.
using OpredelitPriznakPoverhnostiFn = BoolByte PLUGIN_CALL (*)(void* record, std::int32_t value);
using GetSurfaceMarkFn = std::int32_t PLUGIN_CALL (*)(void* record);
// Triangle `index` into the caller's abc[0..2].
using GetTriangleFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index,
                                               std::uint32_t* abc);
// Sets triangle `index` (within the room; its indices must name vertices in use).
using SetTriangleFn = BoolByte PLUGIN_CALL (*)(void* record, std::uint32_t index, std::uint32_t a,
                                               std::uint32_t b, std::uint32_t c);

}  // namespace keeper
}  // namespace contracts

// Room for the elements of wave sets, and the placement and storage tables that wavelib offers to
// programs (for RazmnozhitNabor and for their own use); the tables themselves are declared in
// abi/placement_tables.h.
//
// Programs ask wavelib for the tables by name through its request export:
//   "Размещение наборов, версия 1.0"  placement table, 6 cells:
//       2 Shift(target, source)  3 the shift record it reads
//       4 Turn(target, source)   5 the orientation record it reads
//   "Хранение наборов, версия 1.0"    storage table, 5 entries:
//       0 room(set) -> uint32  room of the set, in elements
//       3 reserve(set, n, keep) -> boolean   4 release(set)
// Cells not listed are null. The two parameter records are one pair per process: every table
// handed out points at the same records, and a set of tables serves one thread at a time.
//
// Room is given in one of three ways: a set made by wavelib's entry 0 is resized by wavelib's own
// storage; any other set gets arrays that this storage owns until the set's room is released; a
// set whose arrays this storage did not give is never freed here (its room counts as its element
// count, and growing it moves the elements into arrays of this storage).
#pragma once

#include <cstdint>

#include "abi/placement_tables.h"
#include "abi/plugin.h"
#include "abi/wave_set.h"

namespace wavelib {

// The most elements one set may be given room for.
inline constexpr std::uint32_t kMaxRoom = 1u << 24;

// Room of a set in elements (at least its element count).
std::uint32_t SetRoom(const WaveSet* set);
// Room for n elements. With `keep` the first elements stay (as many as fit) and the count is
// cut to the room; without it the set becomes empty. False when out of memory or n is above
// kMaxRoom; the set is then unchanged.
bool ReserveRoom(WaveSet* set, std::uint32_t n, bool keep);
// Room for at least n elements, keeping every element; grows geometrically so that repeated
// appends cost amortised constant time per element.
bool EnsureRoom(WaveSet* set, std::uint32_t n);
// Gives the room back: the set is left with no arrays and a count of 0. Arrays that this storage
// did not give stay untouched.
void ReleaseRoom(WaveSet* set);

// The placement operations and the records they read.
ShiftRecord& TableShiftRecord();
OrientationRecord& TableOrientationRecord();
// With a flag byte other than 0 the target first takes the source's elements, media and source
// point; then its ray origins and source point move by (second point - first point).
BoolByte PLUGIN_CALL Shift(WaveSet* target, WaveSet* source);
// The target first takes the source's elements, media and source point when it is another set;
// then the rotation that turns +z onto the record's vector (reversed with option 3) is applied to
// the directions and edge vectors (option 2) and to the ray origins and source point about the
// record's point (option 1). False for a zero vector.
BoolByte PLUGIN_CALL Turn(WaveSet* target, WaveSet* source);

// Fills the table named `name` when it is one of the two above and `size` (bytes) has room for
// it; returns `table`, or null for any other name.
void* RequestPlacementTable(TableCell* table, std::uint32_t size, const char* name);

}  // namespace wavelib

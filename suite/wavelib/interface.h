// wavelib's work at an interface and on collections: entries 3, 4 and 5 of its table.
//
// The interface is a plane kept in the interface set S: the 8-byte parameter P is the index of a
// ray of S whose origin is a point of the plane and whose direction is its normal (any length but
// zero). When that ray carries flag 0x04 the plane is one where the amplitudes stay unchanged and
// only the phase rule applies; the flag is passed on to the incident rays that reach it.
//
// An incident ray reaches the plane when it meets it ahead of its origin (its direction not
// parallel to the plane). Entries 4 and 5 give the reflected and the transmitted set room for the
// incident set's element count (see suite/wavelib/placement.h) and build element i from
// incident element i:
//   - a ray that reaches the plane: on the incident ray flag 0x02 (and 0x04 from the plane), on its
//     wave the step to the plane (offset 4), the cosine of incidence (12) and, by entry 5, the
//     cosine of refraction (20; 0 under total internal reflection); the new ray starts at the
//     point met, mirrored by entry 4 and refracted by Snell's law by entry 5;
//   - a ray that misses the plane: flags 0x02 and 0x04 cleared and a step of 0 on the incident
//     element, so that its last step is not taken twice; the new rays carry flag 0x08;
//   - total internal reflection: the transmitted ray carries flag 0x08.
// The new sets' wave records are copies of the incident ones; the reflected set takes the incident
// medium. Both entries fail (false, with an error text) for null sets, a new set that is the
// incident set or the interface, a P that names no ray of S, a zero or non-finite normal, or (entry
// 5) a speed ratio that is not a positive finite number.
#pragma once

#include <cstdint>

#include "abi/plugin.h"
#include "abi/wave_set.h"

namespace wavelib {

// Entry 3: appends the elements of the work set named by `record` to the collection set, growing
// the collection's room as needed. The record must name one set (its count word is 1).
BoolByte PLUGIN_CALL AppendSet(WaveSet* collection, const CollectRecord* record);
// Entry 4: builds the reflected set R of the incident set I at the interface S.
BoolByte PLUGIN_CALL ReflectRays(WaveSet* r, WaveSet* s, WaveSet* i, std::uint64_t p);
// Entry 5: builds the transmitted set T; `speedRatio` is I's speed over the other side's speed.
BoolByte PLUGIN_CALL RefractRays(WaveSet* t, WaveSet* s, WaveSet* i, std::uint64_t p,
                                 double speedRatio);

}  // namespace wavelib

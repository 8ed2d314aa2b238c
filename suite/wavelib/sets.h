// The wave sets that wavelib makes, releases and resizes (entries 0, 1 and 2), for use inside
// wavelib. Every set made here is registered, so that a pointer wavelib did not hand out is
// recognised and refused rather than freed or resized.
#pragma once

#include <cstdint>

#include "abi/wave_set.h"

namespace wavelib {

// A new set with n zeroed elements; null when out of memory or n is above kMaxRoom
// (suite/wavelib/placement.h).
WaveSet* CreateSet(std::uint32_t n);
// Releases a set made by CreateSet; false (nothing done) for any other pointer.
bool DeleteSet(WaveSet* set);
// Sets the element and wave count to n, keeping the first min(count, n) elements and zeroing the
// rest; false for a set not made here, when out of memory or n is above kMaxRoom (the set
// is then unchanged).
bool ResizeSet(WaveSet* set, std::uint32_t n);
// True for a set made by CreateSet and not yet released.
bool IsOwnSet(const WaveSet* set);
// How many elements the arrays of a set made by CreateSet hold (at least its count while it
// still points at them); 0 for any other pointer.
std::uint32_t OwnSetRoom(const WaveSet* set);

// The text of the last failure, UTF-8 in, kept as cp1251 in one buffer whose address never
// changes; "" until the first failure.
void RememberError(const char* utf8);
const char* ErrorText();

}  // namespace wavelib

// The wave sets that wavelib makes, releases and resizes (entries 0, 1 and 2), for use inside
// wavelib. Every set made here is registered, so that a pointer wavelib did not hand out is
// recognised and refused rather than freed or resized.
#pragma once

#include <cstdint>

#include "abi/wave_set.h"

namespace wavelib {

// A new set with n zeroed elements; null when out of memory or n is above kNaibolsheeMesto
// (suite/wavelib/placement.h).
NaborVoln* SozdatNabor(std::uint32_t n);
// Releases a set made by SozdatNabor; false (nothing done) for any other pointer.
bool UdalitNabor(NaborVoln* nabor);
// Sets the element and wave count to n, keeping the first min(count, n) elements and zeroing the
// rest; false for a set not made here, when out of memory or n is above kNaibolsheeMesto (the set
// is then unchanged).
bool IzmenitRazmer(NaborVoln* nabor, std::uint32_t n);
// True for a set made by SozdatNabor and not yet released.
bool NashNabor(const NaborVoln* nabor);
// How many elements the arrays of a set made by SozdatNabor hold (at least its count while it
// still points at them); 0 for any other pointer.
std::uint32_t Mesto(const NaborVoln* nabor);

// The text of the last failure, UTF-8 in, kept as cp1251 in one buffer whose address never
// changes; "" until the first failure.
void ZapomnitOshibku(const char* utf8);
const char* TekstOshibki();

}  // namespace wavelib

// The coefficient step of the interface operation, reachable on its own for the programs that
// link the operations directly.
#pragma once

#include "abi/wave_set.h"

namespace wavelib2 {

// Applies the reflection and transmission coefficients and the phase rule to the waves of the
// reflected set R and the transmitted set T, element by element, for the incident rays of I that
// reached the interface.
void PrimenitKoefficienty(WaveSet* r, WaveSet* t, const WaveSet* i);

}  // namespace wavelib2

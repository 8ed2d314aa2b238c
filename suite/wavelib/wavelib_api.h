// The wave processor of version 1.0 ("wavelib.dll") as programs call it.
//
// The library exports only the three-argument request PoluchitTablicuFunkciyPoImeni and fills
// 8 entries (TablicaVolny10, wavelib2/volny.h) for "Обработчик волн, версия 1.0" when the table
// has room for them (size at least 8 cells). The entries:
//
//   0 sozdatNabor(n)            a new wave set with n zeroed elements (count and wave count n),
//                               its own ray and wave arrays, zeroed media; null when out of memory
//                               or for more than 2^24 elements
//   1 udalitNabor(set)          releases a set made by entry 0; any other pointer is ignored
//   2 izmenitRazmer(set, n)     element and wave count become n: the first elements are kept,
//                               the others zeroed; false for a set entry 0 did not make or for
//                               more than 2^24 elements
//   3 dobavitNabor(sbor, zap)   appends the elements of the work set named by the record
//   4 otrazitLuchi(R, S, I, P)  builds the reflected rays of I at the interface S
//   5 prelomitLuchi(T, S, I, P, ratio)   builds the transmitted rays
//   6 prodvinutLuchi(set, step) moves every ray's origin by `step` along its normalised direction
//                               and leaves the step's length at offset 4 of its wave record (0 for
//                               a ray without direction); false for a null set or a step that is
//                               negative or not a number
//   7 tekstOshibki()            the text of the last failure (cp1251; "" when none); the pointer
//                               stays valid and always shows the latest text
//
// Sets made by entry 0 belong to wavelib and must be released by entry 1; entries 3 to 7 accept
// caller-made sets too.
//
// The same request also hands out the placement table "Размещение наборов, версия 1.0" and the
// storage table "Хранение наборов, версия 1.0" (suite/wavelib/razmeshchenie.h).
#pragma once

#include "wavelib2/volny.h"

inline constexpr char kImyaWavelib[] = "wavelib.dll";

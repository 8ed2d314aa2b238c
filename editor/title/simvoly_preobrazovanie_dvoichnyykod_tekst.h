// Unit Simvoly_preobrazovanie_dvoichnyykod_tekst: hexadecimal text to bytes.
#pragma once

#include <cstdint>

namespace title {

// Turns the n hexadecimal characters at `in` ("0"-"9", "A"-"F"; lower case is not a digit) into
// n / 2 bytes at `out`, high digit first. `capacity` is the room at `out` on entry and the number
// of bytes n / 2 on return; with too little room nothing is written, capacity stays and the
// result is false. A character that is not a digit stops the conversion: the bytes before it stay,
// the rest of `out` is untouched, the result is false. With both pointers absent only the size is
// reported (true when n is even); with one of them absent the result is false.
bool PreobrazovatTekstVKod(std::uint8_t* out, std::uint32_t& capacity, const char* in,
                           std::uint32_t n);

}  // namespace title

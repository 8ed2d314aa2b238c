// Base64 (the standard alphabet, '=' padding) for the bytes of a record that a later minor version
// of the probe file added: export writes them as one JSON string. No library the tree uses offers
// a strict decoder, and the routine is a few lines; decoding is strict so that a JSON value that
// is not exactly what export writes is refused rather than read as some other bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace probejson::base64 {

void append(std::string& out, std::span<const std::uint8_t> bytes);

// The bytes of `text`, or nothing when it is not canonical base64: its length a multiple of 4,
// only the 64 letters, padding only as the last one or two characters, and the bits the padding
// leaves over all zero (so that every byte string has exactly one text). No white space.
std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

}  // namespace probejson::base64

#include "probe_core/json/base64.h"

#include <array>

namespace probejson::base64 {

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kNotALetter = 0xFF;

constexpr std::array<std::uint8_t, 256> kValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(kNotALetter);
    for (std::uint8_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(kLetters[i])] = i;
    return values;
}();

}  // namespace

void append(std::string& out, std::span<const std::uint8_t> bytes) {
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out += kLetters[(v >> shift) & 63];
    }
    const std::size_t left = bytes.size() - i;
    if (left == 0) return;
    std::uint32_t v = std::uint32_t{bytes[i]} << 16;
    if (left == 2) v |= std::uint32_t{bytes[i + 1]} << 8;
    out += kLetters[(v >> 18) & 63];
    out += kLetters[(v >> 12) & 63];
    out += left == 2 ? kLetters[(v >> 6) & 63] : '=';
    out += '=';
}

std::optional<std::vector<std::uint8_t>> decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const std::size_t letters = last ? 4 - padding : 4;
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            std::uint8_t value = 0;
            if (k < letters) {
                value = kValues[static_cast<unsigned char>(text[i + k])];
                if (value == kNotALetter) return std::nullopt;
            }
            v = (v << 6) | value;
        }
        bytes.push_back(static_cast<std::uint8_t>(v >> 16));
        if (letters >= 3) bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        if (letters == 4) bytes.push_back(static_cast<std::uint8_t>(v));
        // Bits below the last whole byte: a text that sets them is not the one append writes.
        if (letters == 3 && (v & 0xFF) != 0) return std::nullopt;
        if (letters == 2 && (v & 0xFFFF) != 0) return std::nullopt;
    }
    return bytes;
}

}  // namespace probejson::base64

#include "editor/title/tools/hidden_store_encoder.h"

#include "editor/title/simvoly_preobrazovanie_shifrovanierazrezheniem.h"

namespace title {

namespace {

std::uint8_t nextFiller(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(state >> 24);
}

void appendHex(std::string& out, std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
}

}  // namespace

std::string encodeHiddenText(std::string_view cp1251, std::uint32_t& filler) {
    std::string hex;
    hex.reserve(4 * (cp1251.size() + 1));
    auto scatter = [&](std::uint8_t c) {
        std::uint8_t pair[2] = {static_cast<std::uint8_t>(nextFiller(filler) & kUnreadBits0),
                                static_cast<std::uint8_t>(nextFiller(filler) & kUnreadBits1)};
        for (int bit = 0; bit < 8; ++bit) {
            const BitSource& s = kBitSources[bit];
            if ((c >> bit) & 1) pair[s.pairByte] |= static_cast<std::uint8_t>(1u << s.bit);
        }
        appendHex(hex, pair[0]);
        appendHex(hex, pair[1]);
    };
    for (char c : cp1251) scatter(static_cast<std::uint8_t>(c));
    scatter(0);
    return hex;
}

}  // namespace title

#include "editor/title/simvoly_preobrazovanie_shifrovanierazrezheniem.h"

namespace title {

bool RasshifrovatRazrezhenie(std::uint8_t* out, std::uint32_t& capacity, const std::uint8_t* in,
                             std::uint32_t n) {
    if (!in || !out) {
        if (in || out) return false;
        capacity = n / 2;
        return n % 2 == 0;
    }
    const std::uint32_t half = n / 2;
    if (capacity < half) return false;
    for (std::uint32_t k = 0; k < half; ++k) {
        const std::uint8_t pair[2] = {in[2 * k], in[2 * k + 1]};
        std::uint8_t b = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const BitSource& s = kBitSources[bit];
            b |= static_cast<std::uint8_t>(((pair[s.pairByte] >> s.bit) & 1) << bit);
        }
        out[k] = b;
    }
    capacity = half;
    return true;
}

}  // namespace title

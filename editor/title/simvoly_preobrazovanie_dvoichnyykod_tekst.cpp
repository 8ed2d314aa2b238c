#include "editor/title/simvoly_preobrazovanie_dvoichnyykod_tekst.h"

namespace title {

namespace {

// Upper-case hexadecimal only; -1 for anything else.
int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool PreobrazovatTekstVKod(std::uint8_t* out, std::uint32_t& capacity, const char* in,
                           std::uint32_t n) {
    if (!in || !out) {
        if (in || out) return false;
        capacity = n / 2;
        return n % 2 == 0;
    }
    const std::uint32_t half = n / 2;
    if (capacity < half) return false;
    bool ok = true;
    for (std::uint32_t k = 0; k < half; ++k) {
        const int high = digitValue(in[2 * k]);
        const int low = digitValue(in[2 * k + 1]);
        if (high < 0 || low < 0) {
            ok = false;
            break;
        }
        out[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    capacity = half;
    return ok;
}

}  // namespace title

#include "probe_core/json/probe_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "platform/cp1251.h"
#include "probe_core/record/conversions.h"

namespace probejson::fields {

bool equals(std::string_view key, const char* name) {
    for (char c : key) {
        if (*name == '\0' || *name != c) return false;
        ++name;
    }
    return *name == '\0';
}

std::string hexBits(std::uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int i = digits - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xF];
    return out;
}

std::optional<std::uint64_t> parseHexBits(std::string_view text, std::size_t maxDigits) {
    if (text.size() < 3 || text.size() > 2 + maxDigits || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto res = std::from_chars(text.data() + 2, end, value, 16);
    if (res.ec != std::errc() || res.ptr != end) return std::nullopt;
    return value;
}

std::optional<std::chrono::sys_days> parseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    auto number = [&](std::size_t from, std::size_t length) -> std::optional<int> {
        int value = 0;
        const char* first = text.data() + from;
        auto res = std::from_chars(first, first + length, value);
        if (res.ec != std::errc() || res.ptr != first + length || *first == '-' || *first == '+')
            return std::nullopt;
        return value;
    };
    auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
    if (!y || !m || !d || *y < 1 || *m < 1 || *m > 12 || *d < 1 || *d > 31) return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year{*y},
                                          std::chrono::month{static_cast<unsigned>(*m)},
                                          std::chrono::day{static_cast<unsigned>(*d)}};
    if (!ymd.ok()) return std::nullopt;
    return std::chrono::sys_days{ymd};
}

namespace {

std::string pointerKey(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string child(const std::string& path, const std::string& key) {
    return path + "/" + pointerKey(key);
}
std::string child(const std::string& path, std::size_t index) {
    return path + "/" + std::to_string(index);
}

// The shortest digits that read back as the same double, laid out as the printf family's "%g"
// would: plain from 1e-4 up to 15 integer digits (with ".0" where no point would show), else as
// digits and a signed exponent of at least two digits.
void appendQuantity(std::string& out, double value) {
    if (!std::isfinite(value)) {
        appendString(out, hexBits(std::bit_cast<std::uint64_t>(value), 16));
        return;
    }
    if (std::signbit(value)) out += '-';
    if (value == 0.0) {
        out += "0.0";
        return;
    }
    char buf[32];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t e = text.find('e');
    std::string digits(text.substr(0, e));
    if (digits.size() > 1) digits.erase(1, 1);  // the point after the first digit
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;  // where the point stands among the digits
    if (k <= n && n <= 15) {
        out += digits;
        out.append(static_cast<std::size_t>(n - k), '0');
        out += ".0";
    } else if (0 < n && n <= 15) {
        out += digits.substr(0, static_cast<std::size_t>(n));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(n));
    } else if (-4 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += exponent < 0 ? "e-" : "e+";
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) out += '0';
        out += std::to_string(magnitude);
    }
}

// Texts with nothing to escape (nearly all) are copied as they stand; the rest go through the
// JSON library's writer.
void appendString(std::string& out, std::string_view text) {
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\';
    });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
        return;
    }
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    out.append(buffer.GetString(), buffer.GetSize());
}

// One table look-up per character: the platform's encoder searches its table.
std::optional<std::string> strictCp1251(std::string_view utf8) {
    static const std::vector<std::uint8_t> byteOf = [] {
        std::vector<std::uint8_t> table;
        for (int b = 0x80; b < 0x100; ++b) {
            const std::u16string cp = platform::cp1251ToUtf16(std::string(1, static_cast<char>(b)));
            if (cp.size() != 1) continue;
            if (table.size() <= cp[0]) table.resize(cp[0] + 1u, 0);
            table[cp[0]] = static_cast<std::uint8_t>(b);
        }
        return table;
    }();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if (b0 < 0x80) {
            out.push_back(static_cast<char>(b0));
            ++i;
            continue;
        }
        const std::size_t length = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : 0;
        if (length == 0 || i + length > utf8.size()) return std::nullopt;
        std::uint32_t cp = b0 & (length == 2 ? 0x1Fu : 0x0Fu);
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (b & 0x3Fu);
        }
        // Overlong forms and characters beyond the table are not carried.
        if (cp < (length == 2 ? 0x80u : 0x800u) || cp >= byteOf.size() || byteOf[cp] == 0)
            return std::nullopt;
        out.push_back(static_cast<char>(byteOf[cp]));
        i += length;
    }
    return out;
}

std::string firstUncarried(const std::string& utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        const std::string one = utf8.substr(i, length);
        if (platform::cp1251ToUtf8(platform::utf8ToCp1251(one)) != one) {
            std::uint32_t cp = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k)
                cp = cp << 6 | (static_cast<unsigned char>(one[k]) & 0x3Fu);
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
            return "«" + one + "» (" + code + ")";
        }
        i += length;
    }
    return {};
}

// Made once per width.
const char* subFieldCode(int width) {
    static const std::array<std::string, 33> names = [] {
        std::array<std::string, 33> out;
        out[1] = "код флажка";
        for (int w = 2; w <= 32; ++w) out[w] = "код подполя из " + std::to_string(w) + " бит";
        return out;
    }();
    return names.at(static_cast<std::size_t>(width)).c_str();
}

}  // namespace probejson::fields

namespace probejson {

namespace {

// A text cut to at most `longest` bytes at a character's start, marked by "…" where it was cut.
void cutText(std::string& text, std::size_t longest) {
    if (text.size() <= longest) return;
    std::size_t end = longest;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    text += "…";
    text.shrink_to_fit();
}

}  // namespace

void Problems::add(std::size_t probe, std::string path, std::string message) {
    ++count_;
    if (full()) return;
    cutText(path, kLongestText);
    cutText(message, kLongestText);
    kept_.push_back({probe, std::move(path), std::move(message)});
}

}  // namespace probejson

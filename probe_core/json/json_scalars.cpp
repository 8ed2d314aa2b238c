// The scalars of JSON text for the document reader: strings (UTF-8 checked, escapes decoded),
// numbers (with the faults of numbers a double cannot hold), literals; and the message of a
// syntax error.
#include <algorithm>
#include <charconv>

#include "platform/cp1251.h"
#include "probe_core/json/json_reader.h"

namespace probejson::tree {

std::string syntaxMessage(std::string_view text, std::size_t at) {
    // `at` is the offset of the character at which reading stopped (the size: at the end).
    at = std::min(at, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    // Bytes that are no UTF-8 and characters of other code pages show as '?'.
    const std::size_t from = at >= 12 ? at - 12 : 0;
    std::string near = platform::cp1251ToUtf8(platform::utf8ToCp1251(
        text.substr(from, std::min<std::size_t>(at + 1, text.size()) - from)));
    for (char& c : near)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    std::string message = "синтаксическая ошибка JSON в строке " + std::to_string(line) +
                          ", столбце " + std::to_string(column);
    if (at >= text.size()) message += ": текст кончился раньше, чем значение";
    if (!near.empty()) message += ", рядом с «" + near + "»";
    return message;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a number token that no double holds is too large (rather than too small): the decimal
// exponent of its first non-zero digit is not negative.
bool beyondLargest(std::string_view token) {
    long long exponent = 0, leading = 0;
    bool seenDigit = false, afterPoint = false;
    std::size_t i = token[0] == '-' ? 1 : 0;
    for (; i < token.size() && token[i] != 'e' && token[i] != 'E'; ++i) {
        if (token[i] == '.') {
            afterPoint = true;
        } else if (!seenDigit && token[i] == '0') {
            if (afterPoint) --leading;
        } else if (!seenDigit) {
            seenDigit = true;
            leading = afterPoint ? leading - 1 : 0;
        } else if (!afterPoint) {
            ++leading;
        }
    }
    if (i < token.size()) {
        const bool negative = token[++i] == '-';
        if (token[i] == '-' || token[i] == '+') ++i;
        for (; i < token.size(); ++i)
            exponent = std::min(exponent * 10 + (token[i] - '0'), 1LL << 40);
        if (negative) exponent = -exponent;
    }
    return exponent + leading >= 0;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

bool Parser::scalar(std::size_t& node) {
    const char c = text_[pos_];
    if (c == '"') {
        std::string_view text;
        if (!string(text)) return false;
        node = newNode(Kind::String);
        tree.nodes[node].text = text;
        return true;
    }
    if (c == '-' || isDigit(c)) return number(node);
    if (c == 't' || c == 'f') {
        if (!literal(c == 't' ? "true" : "false")) return false;
        node = newNode(Kind::Boolean);
        tree.nodes[node].boolean = c == 't';
        return true;
    }
    if (c == 'n') {
        if (!literal("null")) return false;
        node = newNode(Kind::Null);
        return true;
    }
    return fail(pos_);
}

bool Parser::literal(std::string_view word) {
    for (char c : word) {
        if (pos_ >= text_.size() || text_[pos_] != c) return fail(pos_);
        ++pos_;
    }
    return true;
}

// One well-formed UTF-8 sequence of two to four bytes at the reading position.
bool Parser::utf8Sequence() {
    const auto at = [&](std::size_t k) {
        return pos_ + k < text_.size() ? static_cast<unsigned char>(text_[pos_ + k]) : 0;
    };
    const unsigned char lead = at(0);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return fail(pos_);
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char b = at(k);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return fail(pos_ + k);
    }
    pos_ += length;
    return true;
}

// A string at the reading position (its opening quote): a view of the text, or of a decoded copy
// when it holds escapes.
bool Parser::string(std::string_view& out) {
    const std::size_t start = ++pos_;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
    const std::size_t size = text_.size();
    for (;;) {
        // The bytes of most texts first: printable ASCII but the quote and the backslash, and
        // two-byte UTF-8 sequences (Cyrillic letters among them).
        while (pos_ < size) {
            const unsigned char b = bytes[pos_];
            if (b >= 0x20 && b < 0x80 && b != '"' && b != '\\') {
                ++pos_;
            } else if (b >= 0xC2 && b <= 0xDF && pos_ + 1 < size &&
                       (bytes[pos_ + 1] & 0xC0) == 0x80) {
                pos_ += 2;
            } else {
                break;
            }
        }
        if (pos_ >= size) return fail(pos_);
        const unsigned char c = bytes[pos_];
        if (c == '"') {
            out = text_.substr(start, pos_ - start);
            ++pos_;
            return true;
        }
        if (c == '\\') return escapedString(start, out);
        if (c < 0x20) return fail(pos_);
        if (c < 0x80)
            ++pos_;
        else if (!utf8Sequence())
            return false;
    }
}

bool Parser::escapedString(std::size_t start, std::string_view& out) {
    std::string decoded(text_.substr(start, pos_ - start));
    auto hex4 = [&](std::uint32_t& value) {
        value = 0;
        for (int k = 0; k < 4; ++k, ++pos_) {
            if (pos_ >= text_.size()) return fail(pos_);
            const char h = text_[pos_];
            const int digit = isDigit(h)               ? h - '0'
                              : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                              : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                       : -1;
            if (digit < 0) return fail(pos_);
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
        return true;
    };
    for (;;) {
        if (pos_ >= text_.size()) return fail(pos_);
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"') {
            ++pos_;
            out = tree.decoded.emplace_back(std::move(decoded));
            return true;
        }
        if (c < 0x20) return fail(pos_);
        if (c >= 0x80) {
            const std::size_t from = pos_;
            if (!utf8Sequence()) return false;
            decoded.append(text_.substr(from, pos_ - from));
            continue;
        }
        ++pos_;
        if (c != '\\') {
            decoded.push_back(static_cast<char>(c));
            continue;
        }
        if (pos_ >= text_.size()) return fail(pos_);
        const char e = text_[pos_++];
        switch (e) {
            case '"':
            case '\\':
            case '/':
                decoded.push_back(e);
                break;
            case 'b':
                decoded.push_back('\b');
                break;
            case 'f':
                decoded.push_back('\f');
                break;
            case 'n':
                decoded.push_back('\n');
                break;
            case 'r':
                decoded.push_back('\r');
                break;
            case 't':
                decoded.push_back('\t');
                break;
            case 'u': {
                std::uint32_t cp;
                if (!hex4(cp)) return false;
                if (cp >= 0xDC00 && cp <= 0xDFFF) return fail(pos_ - 1);
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    // A high surrogate is followed by the escape of a low one.
                    if (text_.substr(pos_, 2) != "\\u") return fail(pos_);
                    pos_ += 2;
                    std::uint32_t low;
                    if (!hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return fail(pos_ - 1);
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(decoded, cp);
                break;
            }
            default:
                return fail(pos_ - 1);
        }
    }
}

// A number as JSON writes it. Integers that fit 64 bits stay integers; "-0" is the double -0.0
// (an integer zero has no sign); others are the nearest double. A number beyond the range of
// double ends the reading; a non-zero one that would become 0 is a fault.
bool Parser::number(std::size_t& node) {
    const std::size_t start = pos_;
    bool nonZero = false, integer = true;
    auto digits = [&](bool mantissa) {
        if (pos_ >= text_.size() || !isDigit(text_[pos_])) return fail(pos_);
        for (; pos_ < text_.size() && isDigit(text_[pos_]); ++pos_)
            if (mantissa && text_[pos_] != '0') nonZero = true;
        return true;
    };
    if (text_[pos_] == '-') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '0')
        ++pos_;
    else if (!digits(true))
        return false;
    if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        integer = false;
        if (!digits(true)) return false;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        ++pos_;
        integer = false;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        if (!digits(false)) return false;
    }
    const std::string_view token = text_.substr(start, pos_ - start);
    const char* first = token.data();
    const char* last = first + token.size();
    node = newNode(Kind::Float);
    Node& n = tree.nodes[node];
    if (integer && token == "-0") {
        n.floatValue = -0.0;
        return true;
    }
    if (integer && token[0] == '-') {
        if (std::from_chars(first, last, n.signedValue).ec == std::errc()) {
            n.kind = Kind::Signed;
            return true;
        }
    } else if (integer) {
        if (std::from_chars(first, last, n.unsignedValue).ec == std::errc()) {
            n.kind = Kind::Unsigned;
            return true;
        }
    }
    double value = 0;
    const std::string shown(token.substr(0, kShownNumber));
    if (std::from_chars(first, last, value).ec != std::errc()) {
        if (nonZero && beyondLargest(token)) {
            fault("число " + shown + " вне диапазона double (больше 1.8e308 по модулю)");
            return false;
        }
        value = token[0] == '-' ? -0.0 : 0.0;
    }
    n.floatValue = value;
    if (value == 0.0 && nonZero)
        fault("число " + shown + " слишком мало для double и стало бы нулём, а не самим собой");
    return true;
}

}  // namespace probejson::tree

#include "probe_core/json/json_rules.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <charconv>

#include "platform/cp1251.h"
#include "probe_core/json/probe_fields.h"

namespace probejson::rules {

std::string syntaxMessage(std::string_view text, std::size_t at) {
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

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The character at which reading stopped, where the library names the start of the escape or of
// the number that holds it.
std::size_t faultOffset(std::string_view text, rapidjson::ParseErrorCode code, std::size_t at) {
    const auto byteAt = [&](std::size_t i) { return i < text.size() ? text[i] : '\0'; };
    switch (code) {
        case rapidjson::kParseErrorStringEscapeInvalid:
            return byteAt(at) == '\\' ? at + 1 : at;
        case rapidjson::kParseErrorStringUnicodeEscapeInvalidHex: {
            std::size_t p = at + 2;
            while (p < at + 6 && isHex(byteAt(p))) ++p;
            return p;
        }
        case rapidjson::kParseErrorStringUnicodeSurrogateInvalid:
            // A high surrogate not followed by an escape, or followed by one of no low surrogate.
            return byteAt(at + 6) == '\\' && byteAt(at + 7) == 'u' ? at + 11 : at + 6;
        case rapidjson::kParseErrorStringInvalidEncoding: {
            // The library names the sequence's first byte: the fault is the first byte that does
            // not continue it (the end of a cut text among them).
            const auto lead = static_cast<unsigned char>(byteAt(at));
            const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                                       : lead >= 0xE0 && lead <= 0xEF ? 3
                                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                      : 1;
            for (std::size_t k = 1; k < length; ++k)
                if ((static_cast<unsigned char>(byteAt(at + k)) & 0xC0) != 0x80) return at + k;
            return at;
        }
        case rapidjson::kParseErrorValueInvalid:
            return byteAt(at) == '-' ? at + 1 : at;
        default:
            return at;
    }
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

// A surrogate written as UTF-8 (what a lone escaped surrogate decodes to).
bool holdsSurrogate(std::string_view text) {
    for (std::size_t i = text.find('\xED'); i != std::string_view::npos && i + 1 < text.size();
         i = text.find('\xED', i + 1))
        if (static_cast<unsigned char>(text[i + 1]) >= 0xA0) return true;
    return false;
}

}  // namespace

bool RuleReader::run() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") skipped_ = 3;
    // A surrogate can only come from an escape "\uD800" to "\uDFFF": a text without one needs
    // no look at the strings for them.
    for (std::size_t i = text_.find("\\u"); i != std::string_view::npos && !mayHoldSurrogates_;
         i = text_.find("\\u", i + 1))
        mayHoldSurrogates_ = i + 2 < text_.size() && (text_[i + 2] == 'd' || text_[i + 2] == 'D');
    rapidjson::MemoryStream stream(text_.data() + skipped_, text_.size() - skipped_);
    stream_ = &stream;
    // The library's recursive reader: its depth is bounded by the nesting rule, which stops the
    // reading at the 513th level before the reader descends into it.
    rapidjson::Reader reader;
    constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag;
    // The text is checked for well-formed UTF-8 as a whole, which is several times faster than
    // the library's check of every string's characters; only a text that fails it is read with
    // that check, which finds the place of the fault.
    const rapidjson::ParseResult result =
        platform::isUtf8(text_.substr(skipped_))
            ? reader.Parse<kFlags>(stream, *this)
            : reader.Parse<kFlags | rapidjson::kParseValidateEncodingFlag>(stream, *this);
    if (stopped_) return false;
    if (result.Code() == rapidjson::kParseErrorNumberTooBig) {
        // The library stops at a number beyond the range of double before handing it on.
        const std::size_t from = skipped_ + result.Offset();
        const std::size_t to = text_.find_first_not_of("+-.0123456789eE", from);
        return tooLarge(text_.substr(from, to == std::string_view::npos ? to : to - from));
    }
    if (result.IsError())
        return syntaxError(faultOffset(text_, result.Code(), skipped_ + result.Offset()));
    // The library takes a zero character for the end of the text.
    if (stream.Tell() + skipped_ != text_.size()) return syntaxError(skipped_ + stream.Tell());
    return true;
}

bool RuleReader::tooLarge(std::string_view token) {
    beginValue();
    return stop("число " + std::string(token.substr(0, kShownNumber)) +
                " вне диапазона double (больше 1.8e308 по модулю)");
}

bool RuleReader::syntaxError(std::size_t at) {
    problems_.add(0, "", syntaxMessage(text_, at));
    stopped_ = true;
    return false;
}

std::string RuleReader::pathOf(std::size_t depth) const {
    std::string path;
    for (std::size_t i = 0; i < depth && i < stack_.size(); ++i)
        path = stack_[i].object ? fields::child(path, stack_[i].key)
                                : fields::child(path, stack_[i].index);
    return path;
}

void RuleReader::fault(std::string message) {
    problems_.add(probeNumber(), problems_.full() ? std::string() : pathOf(stack_.size()),
                  std::move(message));
}

bool RuleReader::stop(std::string message) {
    fault(std::move(message));
    stopped_ = true;
    return false;
}

void RuleReader::beginValue() {
    if (mutedAt_ != 0) return;
    if (probeSink_ != nullptr && !inProbe_ && stack_.size() == 2 && inProbes()) {
        inProbe_ = true;
        probeSink_->begin();
    } else if (stack_.empty() && sink_ != nullptr) {
        sink_->begin();
    }
}

void RuleReader::endValue() {
    if (stack_.empty()) return;
    Level& parent = stack_.back();
    if (!parent.object) ++parent.index;
    if (mutedAt_ == stack_.size()) {
        mutedAt_ = 0;
        return;
    }
    if (inProbe_ && stack_.size() == 2) {
        inProbe_ = false;
        probeDone_(parent.index - 1);
        return;
    }
    ++parent.forwarded;
}

bool RuleReader::Null() {
    beginValue();
    if (ValueSink* s = sink()) s->null();
    endValue();
    return true;
}

bool RuleReader::Bool(bool b) {
    beginValue();
    if (ValueSink* s = sink()) s->boolean(b);
    endValue();
    return true;
}

bool RuleReader::Int64(std::int64_t i) {
    beginValue();
    if (ValueSink* s = sink()) s->signedInteger(i);
    endValue();
    return true;
}

bool RuleReader::Uint64(std::uint64_t u) {
    beginValue();
    if (ValueSink* s = sink()) s->unsignedInteger(u);
    endValue();
    return true;
}

bool RuleReader::Double(double d) {
    return real(d, {});
}

bool RuleReader::real(double d, std::string_view token) {
    beginValue();
    if (ValueSink* s = sink()) s->real(d, token);
    endValue();
    return true;
}

// Integers that fit 64 bits stay integers; "-0" is the double -0.0 (an integer zero has no sign);
// others are the nearest double. A number beyond the range of double ends the reading; a
// non-zero one that would become 0 is a fault.
bool RuleReader::RawNumber(const char* text, unsigned length, bool) {
    const std::string_view token(text, length);
    const char* first = token.data();
    const char* last = first + token.size();
    const bool integer = token.find_first_of(".eE") == std::string_view::npos;
    if (integer && token == "-0") return Double(-0.0);
    if (integer && token[0] == '-') {
        std::int64_t value = 0;
        if (std::from_chars(first, last, value).ec == std::errc()) return Int64(value);
    } else if (integer) {
        std::uint64_t value = 0;
        if (std::from_chars(first, last, value).ec == std::errc()) return Uint64(value);
    }
    const std::string_view mantissa = token.substr(0, token.find_first_of("eE"));
    const bool nonZero = mantissa.find_first_of("123456789") != std::string_view::npos;
    double value = 0;
    const std::string shown(token.substr(0, kShownNumber));
    if (std::from_chars(first, last, value).ec != std::errc()) {
        if (nonZero && beyondLargest(token)) return tooLarge(token);
        value = token[0] == '-' ? -0.0 : 0.0;
    }
    if (value == 0.0 && nonZero) {
        beginValue();
        fault("число " + shown + " слишком мало для double и стало бы нулём, а не самим собой");
        if (ValueSink* s = sink()) s->real(value, {});
        endValue();
        return true;
    }
    return real(value, token);
}

bool RuleReader::String(const char* text, unsigned length, bool) {
    const std::string_view s(text, length);
    if (mayHoldSurrogates_ && holdsSurrogate(s)) {
        // At the last hexadecimal digit of the escape of the lone surrogate.
        const auto* stream = static_cast<const rapidjson::MemoryStream*>(stream_);
        const std::size_t end = skipped_ + stream->Tell();
        std::size_t at = end;
        for (std::size_t i = end; i-- > 0 && i + 6 <= end;)
            if (text_.substr(i, 2) == "\\u" && (text_[i + 2] == 'd' || text_[i + 2] == 'D')) {
                at = i + 5;
                break;
            }
        return syntaxError(at);
    }
    beginValue();
    if (ValueSink* sinkNow = sink()) sinkNow->string(s);
    endValue();
    return true;
}

bool RuleReader::open(bool object) {
    if (stack_.size() >= kDeepestNesting) {
        beginValue();
        return stop("значения вложены глубже " + std::to_string(kDeepestNesting) +
                    " уровней: так глубоко документ датчиков не бывает");
    }
    beginValue();
    if (ValueSink* s = sink()) object ? s->startObject() : s->startArray();
    push(object);
    return true;
}

void RuleReader::push(bool object) {
    if (spare_.empty()) {
        stack_.emplace_back();
    } else {
        stack_.push_back(std::move(spare_.back()));
        spare_.pop_back();
    }
    Level& level = stack_.back();
    level.object = object;
    level.key.clear();
    level.index = 0;
    level.forwarded = 0;
    level.keys.clear();
}

void RuleReader::pop() {
    // A large object's hashes go with it; a spare level keeps only its first keys' memory.
    Level& level = stack_.back();
    keyBytes_ -= level.keys.bytes();
    level.keys.release();
    keyBytes_ += level.keys.bytes();
    spare_.push_back(std::move(level));
    stack_.pop_back();
}

bool RuleReader::StartObject() {
    return open(true);
}

bool RuleReader::StartArray() {
    return open(false);
}

// The key of the next member; a key given before in the same object is a fault.
bool RuleReader::Key(const char* text, unsigned length, bool) {
    const std::string_view name(text, length);
    if (mayHoldSurrogates_ && holdsSurrogate(name)) return String(text, length, true);
    Level& top = stack_.back();
    if (top.index >= kMostObjectKeys) {
        // Named by the object's own pointer: its last key says nothing about the fault.
        problems_.add(probeNumber(), pathOf(stack_.size() - 1),
                      "в объекте больше " + std::to_string(kMostObjectKeys) +
                          " ключей: такого объекта у датчика не бывает, чтение остановлено");
        stopped_ = true;
        return false;
    }
    ++top.index;
    top.key.assign(name);
    const std::size_t before = top.keys.bytes();
    const bool repeated = !top.keys.add(name);
    keyBytes_ += top.keys.bytes() - before;
    largestKeyBytes_ = std::max(largestKeyBytes_, keyBytes_);
    if (repeated) {
        fault("ключ «" + top.key + "» повторяется в одном объекте");
        if (mutedAt_ == 0) mutedAt_ = stack_.size();
    }
    if (ValueSink* s = sink()) s->key(name);
    return true;
}

bool RuleReader::EndObject(unsigned) {
    const std::size_t members = stack_.back().forwarded;
    pop();
    if (ValueSink* s = sink()) s->endObject(members);
    endValue();
    return true;
}

bool RuleReader::EndArray(unsigned) {
    const std::size_t elements = stack_.back().forwarded;
    pop();
    if (ValueSink* s = sink()) s->endArray(elements);
    endValue();
    return true;
}

}  // namespace probejson::rules

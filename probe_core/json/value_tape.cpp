#include "probe_core/json/value_tape.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace probejson::tape {

namespace {

// One tag byte begins each value; an object's member is its key ('k') and then its value.
constexpr char kNull = 'n', kFalse = 'f', kTrue = 't';
constexpr char kUnsigned = 'u';            // then the value, 7 bits a byte, low bits first
constexpr char kNegative = 'i';            // then -(value + 1) as kUnsigned has it
constexpr char kDouble = 'd';              // then the 8 bytes of the double
constexpr char kToken = 'x';               // then a short number text that reads back as the double
constexpr char kString = 's', kKey = 'k';  // then the length as kUnsigned has it, then the bytes
constexpr char kObject = '{', kObjectEnd = TapeView::kObjectEnd;
constexpr char kArray = '[', kArrayEnd = ']';
constexpr char kEmptyObject = 'O', kEmptyArray = 'A';
// A number text this short costs fewer bytes than the double's.
constexpr std::size_t kShortToken = 7;

}  // namespace

void TapeBuilder::begin() {
    tape_.clear();
    depth_ = 0;
    skipFrom_ = 0;
    opened_.clear();
}

void TapeBuilder::noteSize() {
    largest_ = std::max(largest_, tape_.size());
}

void TapeBuilder::put(char tag) {
    tape_ += tag;
    noteSize();
}

void TapeBuilder::putNumber(std::uint64_t v) {
    while (v >= 0x80) {
        tape_ += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    tape_ += static_cast<char>(v);
}

void TapeBuilder::putText(char tag, std::string_view s) {
    put(tag);
    putNumber(s.size());
    tape_ += s;
    noteSize();
}

void TapeBuilder::null() {
    if (!skipping()) put(kNull);
}

void TapeBuilder::boolean(bool b) {
    if (!skipping()) put(b ? kTrue : kFalse);
}

void TapeBuilder::signedInteger(std::int64_t i) {
    if (skipping()) return;
    if (i >= 0) return unsignedInteger(static_cast<std::uint64_t>(i));
    put(kNegative);
    putNumber(~static_cast<std::uint64_t>(i));
    noteSize();
}

void TapeBuilder::unsignedInteger(std::uint64_t u) {
    if (skipping()) return;
    put(kUnsigned);
    putNumber(u);
    noteSize();
}

void TapeBuilder::real(double d, std::string_view token) {
    if (skipping()) return;
    if (!token.empty() && token.size() <= kShortToken) return putText(kToken, token);
    put(kDouble);
    char bytes[sizeof d];
    std::memcpy(bytes, &d, sizeof d);
    tape_.append(bytes, sizeof d);
    noteSize();
}

void TapeBuilder::string(std::string_view s) {
    if (!skipping()) putText(kString, s);
}

void TapeBuilder::key(std::string_view s) {
    if (!skipping()) putText(kKey, s);
}

void TapeBuilder::open(bool object) {
    ++depth_;
    if (skipping()) return;
    if (depth_ > kDeepestKept) {
        // Its kind is all the checks can look at.
        put(object ? kEmptyObject : kEmptyArray);
        skipFrom_ = depth_;
        return;
    }
    opened_.push_back(tape_.size());
    put(object ? kObject : kArray);
}

void TapeBuilder::close(bool object) {
    const std::size_t depth = depth_--;
    if (skipping()) {
        if (depth == skipFrom_) skipFrom_ = 0;
        return;
    }
    const std::size_t start = opened_.back();
    opened_.pop_back();
    if (start + 1 == tape_.size())
        tape_.back() = object ? kEmptyObject : kEmptyArray;
    else
        put(object ? kObjectEnd : kArrayEnd);
}

bool TapeView::isObject() const {
    return tag() == kObject || tag() == kEmptyObject;
}
bool TapeView::isArray() const {
    return tag() == kArray || tag() == kEmptyArray;
}
bool TapeView::isString() const {
    return tag() == kString;
}
bool TapeView::isNull() const {
    return tag() == kNull;
}
bool TapeView::isInteger() const {
    return tag() == kUnsigned || tag() == kNegative;
}
bool TapeView::isUnsigned() const {
    return tag() == kUnsigned;
}
bool TapeView::isNumber() const {
    return isInteger() || tag() == kDouble || tag() == kToken;
}

std::uint64_t TapeView::numberAt(std::size_t& p) const {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>((*tape_)[p++]);
        v |= std::uint64_t{byte & 0x7Fu} << shift;
        if ((byte & 0x80) == 0) return v;
    }
}

std::string_view TapeView::textAt(std::size_t& p) const {
    ++p;
    const std::size_t size = numberAt(p);
    const std::string_view text(tape_->data() + p, size);
    p += size;
    return text;
}

std::int64_t TapeView::asSigned() const {
    std::size_t p = at_ + 1;
    const std::uint64_t v = numberAt(p);
    return tag() == kNegative ? static_cast<std::int64_t>(~v) : static_cast<std::int64_t>(v);
}

std::uint64_t TapeView::asUnsigned() const {
    std::size_t p = at_ + 1;
    return numberAt(p);
}

double TapeView::asDouble() const {
    if (tag() == kUnsigned) return static_cast<double>(asUnsigned());
    if (tag() == kNegative) return static_cast<double>(asSigned());
    if (tag() == kToken) {
        std::size_t p = at_;
        const std::string_view token = textAt(p);
        double d = 0;
        std::from_chars(token.data(), token.data() + token.size(), d);
        return d;
    }
    double d = 0;
    std::memcpy(&d, tape_->data() + at_ + 1, sizeof d);
    return d;
}

std::string_view TapeView::string() const {
    std::size_t p = at_;
    return textAt(p);
}

std::size_t TapeView::skip(std::size_t p) const {
    switch ((*tape_)[p]) {
        case kUnsigned:
        case kNegative:
            ++p;
            numberAt(p);
            return p;
        case kDouble:
            return p + 1 + sizeof(double);
        case kToken:
        case kString:
        case kKey:
            textAt(p);
            return p;
        case kArray:
            for (++p; (*tape_)[p] != kArrayEnd;) p = skip(p);
            return p + 1;
        case kObject:
            for (++p; (*tape_)[p] != kObjectEnd;) {
                textAt(p);
                p = skip(p);
            }
            return p + 1;
        default:  // null, false, true, an empty object or array
            return p + 1;
    }
}

std::size_t TapeView::size() const {
    if (tag() != kArray && tag() != kObject) return 0;
    // Counted once: a walk over an array asks for its size at every step.
    if (size_ != kUncounted) return size_;
    const char end = tag() == kArray ? kArrayEnd : kObjectEnd;
    std::size_t count = 0;
    for (std::size_t p = at_ + 1; (*tape_)[p] != end; ++count) {
        if (end == kObjectEnd) textAt(p);
        p = skip(p);
    }
    size_ = count;
    return count;
}

TapeView TapeView::operator[](std::size_t i) const {
    std::size_t index = 0, p = at_ + 1;
    if (lastAt_ != 0 && i >= lastIndex_) {
        index = lastIndex_;
        p = lastAt_;
    }
    for (; index < i; ++index) p = skip(p);
    lastIndex_ = i;
    lastAt_ = p;
    return TapeView(*tape_, p);
}

}  // namespace probejson::tape

#include "probe_core/json/value_tape.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

namespace probejson::tape {

namespace {

// One tag byte begins each value; an object's member is its key ('k') and then its value.
constexpr char kNull = 'n', kFalse = 'f', kTrue = 't';
constexpr char kUnsigned = 'u';            // then the value, 7 bits a byte, low bits first
constexpr char kNegative = 'i';            // then -(value + 1) as kUnsigned has it
constexpr char kDouble = 'd';              // then the 8 bytes of the double
constexpr char kString = 's', kKey = 'k';  // then the length as kUnsigned has it, then the bytes
constexpr char kObject = TapeView::kObjectTag, kObjectEnd = TapeView::kObjectEnd;
constexpr char kArray = '[', kArrayEnd = ']';
constexpr char kEmptyObject = 'O', kEmptyArray = 'A';
constexpr std::size_t kLengthBytes = TapeView::kLengthBytes;
// A number text of 1 to kShortToken characters that reads back as the double: the tag is kToken
// plus their count, and they follow two to a byte as their places in kNumberCharacters.
constexpr unsigned char kToken = 0xE0;
constexpr std::size_t kShortToken = 14;
constexpr std::string_view kNumberCharacters = "0123456789.eE-+";

bool isToken(char tag) {
    const auto t = static_cast<unsigned char>(tag);
    return t > kToken && t <= kToken + kShortToken;
}

}  // namespace

void Bytes::append(std::string_view bytes) {
    if (bytes.empty()) return;
    if (bytes.size() > capacity_ - size_) grow(bytes.size());
    std::memcpy(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
}

void Bytes::grow(std::size_t more) {
    const std::size_t capacity = std::max({capacity_ * 2, size_ + more, std::size_t{4096}});
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
}

void TapeBuilder::begin() {
    // A tape only grows while its value is read: its size at the next value is its largest.
    largest_ = std::max(largest_, tape_.size());
    tape_.clear();
    depth_ = 0;
    skipFrom_ = 0;
    opened_.clear();
}

void TapeBuilder::put(char tag) {
    tape_.push(tag);
}

void TapeBuilder::putNumber(std::uint64_t v) {
    while (v >= 0x80) {
        tape_.push(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    tape_.push(static_cast<char>(v));
}

void TapeBuilder::putText(char tag, std::string_view s) {
    put(tag);
    putNumber(s.size());
    tape_.append(s);
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
}

void TapeBuilder::unsignedInteger(std::uint64_t u) {
    if (skipping()) return;
    put(kUnsigned);
    putNumber(u);
}

void TapeBuilder::real(double d, std::string_view token) {
    if (skipping()) return;
    if (!token.empty() && token.size() <= kShortToken) {
        put(static_cast<char>(kToken + token.size()));
        for (std::size_t i = 0; i < token.size(); i += 2) {
            const std::size_t high = kNumberCharacters.find(token[i]);
            const std::size_t low = i + 1 < token.size() ? kNumberCharacters.find(token[i + 1]) : 0;
            tape_.push(static_cast<char>((high << 4) | low));
        }
        return;
    }
    put(kDouble);
    char bytes[sizeof d];
    std::memcpy(bytes, &d, sizeof d);
    tape_.append(std::string_view(bytes, sizeof d));
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
    tape_.append(std::string_view("\0\0\0\0", kLengthBytes));
}

void TapeBuilder::close(bool object) {
    const std::size_t depth = depth_--;
    if (skipping()) {
        if (depth == skipFrom_) skipFrom_ = 0;
        return;
    }
    const std::size_t start = opened_.back();
    opened_.pop_back();
    if (start + 1 + kLengthBytes == tape_.size()) {
        tape_.truncate(start);
        put(object ? kEmptyObject : kEmptyArray);
        return;
    }
    put(object ? kObjectEnd : kArrayEnd);
    const std::size_t length = tape_.size() - start;
    if (length <= UINT32_MAX)
        for (std::size_t i = 0; i < kLengthBytes; ++i)
            tape_.at(start + 1 + i) = static_cast<char>(length >> (8 * i));
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
    return isInteger() || tag() == kDouble || isToken(tag());
}

std::uint64_t TapeView::numberAt(std::size_t& p) const {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(tape_[p++]);
        v |= std::uint64_t{byte & 0x7Fu} << shift;
        if ((byte & 0x80) == 0) return v;
    }
}

std::string_view TapeView::textAt(std::size_t& p) const {
    ++p;
    const std::size_t size = numberAt(p);
    const std::string_view text(tape_.data() + p, size);
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
    if (isToken(tag())) {
        const std::size_t length = static_cast<unsigned char>(tag()) - kToken;
        char token[kShortToken];
        for (std::size_t i = 0; i < length; ++i) {
            const auto pair = static_cast<unsigned char>(tape_[at_ + 1 + i / 2]);
            token[i] = kNumberCharacters[i % 2 == 0 ? pair >> 4 : pair & 0xF];
        }
        double d = 0;
        std::from_chars(token, token + length, d);
        return d;
    }
    double d = 0;
    std::memcpy(&d, tape_.data() + at_ + 1, sizeof d);
    return d;
}

std::string_view TapeView::string() const {
    std::size_t p = at_;
    return textAt(p);
}

std::size_t TapeView::skip(std::size_t p) const {
    switch (tape_[p]) {
        case kUnsigned:
        case kNegative:
            ++p;
            numberAt(p);
            return p;
        case kDouble:
            return p + 1 + sizeof(double);
        case kString:
        case kKey:
            textAt(p);
            return p;
        case kArray:
        case kObject:
            if (const std::size_t length = lengthAt(p); length != 0) return p + length;
            break;
        default:  // null, false, true, an empty object or array, a number text
            if (isToken(tape_[p]))
                return p + 1 + (static_cast<unsigned char>(tape_[p]) - kToken + 1) / 2;
            return p + 1;
    }
    // A container too long for its length.
    if (tape_[p] == kArray) {
        for (p += 1 + kLengthBytes; tape_[p] != kArrayEnd;) p = skip(p);
        return p + 1;
    }
    for (p += 1 + kLengthBytes; tape_[p] != kObjectEnd;) {
        textAt(p);
        p = skip(p);
    }
    return p + 1;
}

std::size_t TapeView::lengthAt(std::size_t p) const {
    std::size_t length = 0;
    for (std::size_t i = 0; i < kLengthBytes; ++i)
        length |= std::size_t{static_cast<unsigned char>(tape_[p + 1 + i])} << (8 * i);
    return length;
}

std::size_t TapeView::size() const {
    if (tag() != kArray && tag() != kObject) return 0;
    // Counted once: a walk over an array asks for its size at every step.
    if (size_ != kUncounted) return size_;
    const char end = tag() == kArray ? kArrayEnd : kObjectEnd;
    std::size_t count = 0;
    for (std::size_t p = firstMember(); tape_[p] != end; ++count) {
        if (end == kObjectEnd) textAt(p);
        p = skip(p);
    }
    size_ = count;
    return count;
}

TapeView TapeView::operator[](std::size_t i) const {
    std::size_t index = 0, p = firstMember();
    if (lastAt_ != 0 && i >= lastIndex_) {
        index = lastIndex_;
        p = lastAt_;
    }
    for (; index < i; ++index) p = skip(p);
    lastIndex_ = i;
    lastAt_ = p;
    return TapeView(tape_, p);
}

}  // namespace probejson::tape

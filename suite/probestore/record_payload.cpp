// A record's payload: its fields one after another, little-endian, texts and lines with their
// lengths. The frames that carry payloads in a file are in probe_file.cpp.
#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "platform/little_endian.h"
#include "suite/probestore/probe_file.h"

namespace probestore {
namespace {

using platform::le::getU32;
using platform::le::putU32;

// Appends little-endian fields to a payload.
class Writer {
  public:
    Writer(std::vector<std::uint8_t>& out, const TextStore* texts) : out_(out), texts_(texts) {}
    void u32(std::uint32_t v) {
        std::uint8_t b[4];
        putU32(b, v);
        raw(b, 4);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(bits));
        u32(static_cast<std::uint32_t>(bits >> 32));
    }
    void raw(const std::uint8_t* data, std::size_t size) {
        if (size > kMaxPayloadSize - std::min<std::size_t>(out_.size(), kMaxPayloadSize)) {
            tooLong_ = true;
            return;
        }
        out_.insert(out_.end(), data, data + size);
    }
    void text(const char* s) {
        const std::size_t n = s != nullptr ? std::strlen(s) : 0;
        if (n > kMaxPayloadSize) {
            tooLong_ = true;
            return;
        }
        u32(static_cast<std::uint32_t>(n));
        raw(reinterpret_cast<const std::uint8_t*>(s), n);
    }
    void list(const Spisok& l) {
        const std::uint32_t n =
            texts_ != nullptr ? texts_->readableLines(l) : (l.lines != nullptr ? l.count : 0);
        u32(n);
        for (std::uint32_t i = 0; i < n && !tooLong_; ++i) text(l.lines[i]);
    }
    bool tooLong() const { return tooLong_; }

  private:
    std::vector<std::uint8_t>& out_;
    const TextStore* texts_;
    bool tooLong_ = false;
};

// Reads the fields of a payload back, every read checked against what is left.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size, TextStore& texts)
        : p_(data), left_(size), texts_(texts) {}
    bool u32(std::uint32_t& v) {
        if (left_ < 4) return false;
        v = getU32(p_);
        advance(4);
        return true;
    }
    bool i32(std::int32_t& v) {
        std::uint32_t u;
        if (!u32(u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool f64(double& v) {
        std::uint32_t lo, hi;
        if (!u32(lo) || !u32(hi)) return false;
        v = std::bit_cast<double>(std::uint64_t{hi} << 32 | lo);
        return true;
    }
    // A reserved range, its size known here so that the copy is a few moves rather than a
    // general copy loop: loading a file copies five of them per record.
    template <std::size_t N>
    bool raw(std::uint8_t (&out)[N]) {
        if (left_ < N) return false;
        // In 16-byte moves: a compiler copies a block of this size with a string instruction,
        // whose start-up costs more than the copy.
        for (std::size_t i = 0; i + 16 <= N; i += 16) std::memcpy(out + i, p_ + i, 16);
        std::memcpy(out + N / 16 * 16, p_ + N / 16 * 16, N % 16);
        advance(N);
        return true;
    }
    // An empty text loads as a null cell, which reads as the empty text.
    bool text(char*& out) {
        std::uint32_t n;
        if (!u32(n) || n > left_) return false;
        std::string_view value(reinterpret_cast<const char*>(p_), n);
        if (value.find('\0') != std::string_view::npos) return false;
        out = n == 0 ? nullptr : texts_.copyText(value);
        advance(n);
        return true;
    }
    bool list(Spisok& out) {
        std::uint32_t n;
        // Every line takes at least its 4-byte length, which bounds the array by the payload.
        if (!u32(n) || n > left_ / 4 || n > kMaxListLines) return false;
        if (n == 0) return true;
        out.lines = texts_.newLineArray(n);
        out.count = n;
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!text(out.lines[i])) return false;
            if (out.lines[i] == nullptr) out.lines[i] = texts_.copyText("");
        }
        return true;
    }

    // The bytes not read yet.
    const std::uint8_t* rest() const { return p_; }
    std::size_t left() const { return left_; }

  private:
    void advance(std::size_t n) {
        p_ += n;
        left_ -= n;
    }
    const std::uint8_t* p_;
    std::size_t left_;
    TextStore& texts_;
};

bool decodeFields(Reader& in, ProbeRecord& r) {
    return in.raw(r.reserved0) && in.u32(r.Piezoelementi) && in.u32(r.Fokusirovka) &&
           in.u32(r.Otklonenie) && in.u32(r.Skanirovanie) && in.list(r.Obrabotka) &&
           in.raw(r.reserved1) && in.text(r.Proizvoditel.text) && in.text(r.Model.text) &&
           in.text(r.Nazvanie.text) && in.i32(r.Cena) && in.list(r.Pribori) && in.f64(r.Data) &&
           in.raw(r.reserved2) && in.f64(r.RKIP1) && in.f64(r.RKIP2) && in.f64(r.TP) &&
           in.f64(r.OCHIP) && in.list(r.Parametri) && in.f64(r.MU) && in.raw(r.reserved3) &&
           in.text(r.IFsP.text) && in.text(r.IIP.text) && in.text(r.IIIP.text) &&
           in.text(r.IIPP.text) && in.i32(r.MasshtabProstranstva) && in.raw(r.reserved4);
}

}  // namespace

std::vector<std::uint8_t> encodeRecord(const ProbeRecord& r, const TextStore* texts) {
    std::vector<std::uint8_t> out;
    out.reserve(512);
    Writer w(out, texts);
    w.raw(r.reserved0, sizeof r.reserved0);
    w.u32(r.Piezoelementi);
    w.u32(r.Fokusirovka);
    w.u32(r.Otklonenie);
    w.u32(r.Skanirovanie);
    w.list(r.Obrabotka);
    w.raw(r.reserved1, sizeof r.reserved1);
    w.text(r.Proizvoditel.text);
    w.text(r.Model.text);
    w.text(r.Nazvanie.text);
    w.i32(r.Cena);
    w.list(r.Pribori);
    w.f64(r.Data);
    w.raw(r.reserved2, sizeof r.reserved2);
    w.f64(r.RKIP1);
    w.f64(r.RKIP2);
    w.f64(r.TP);
    w.f64(r.OCHIP);
    w.list(r.Parametri);
    w.f64(r.MU);
    w.raw(r.reserved3, sizeof r.reserved3);
    w.text(r.IFsP.text);
    w.text(r.IIP.text);
    w.text(r.IIIP.text);
    w.text(r.IIPP.text);
    w.i32(r.MasshtabProstranstva);
    w.raw(r.reserved4, sizeof r.reserved4);
    if (w.tooLong()) out.clear();
    return out;
}

bool decodeRecord(const std::uint8_t* payload, std::size_t size, TextStore& texts, ProbeRecord& out,
                  std::vector<std::uint8_t>* trailing) {
    std::memset(&out, 0, sizeof out);
    if (trailing != nullptr) trailing->clear();
    bool ok = false;
    try {
        Reader in(payload, size, texts);
        // Bytes after the last known field belong to later minor versions: kept for the caller
        // that carries them on, skipped otherwise.
        ok = decodeFields(in, out);
        if (ok && trailing != nullptr) trailing->assign(in.rest(), in.rest() + in.left());
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        texts.releaseRecordTexts(out);
        std::memset(&out, 0, sizeof out);
    }
    return ok;
}

}  // namespace probestore

// Record -> JSON text, as export writes it.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>
#include <span>

#include "probe_core/record/conversions.h"
#include "probe_core/json/probe_fields.h"

namespace probejson {

using namespace fields;

namespace {

// Export writes its text directly rather than through a JSON value: building a tree of values
// for every record costs several times more than reading the records. The layout is two-space
// indentation with a sub-field, a date and the header on one line each.

// A JSON string. Texts with nothing to escape (nearly all) are copied as they stand; the rest go
// through the JSON library's serializer. Texts here always come from the cp1251 codec, so they
// are well-formed UTF-8.
void appendString(std::string& out, std::string_view text) {
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\';
    });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
    } else {
        out +=
            Json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
}

void appendInteger(std::string& out, std::int64_t value) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void appendQuantity(std::string& out, double value) {
    if (std::isfinite(value))
        out += Json(value).dump();
    else
        appendString(out, hexBits(std::bit_cast<std::uint64_t>(value), 16));
}

// An object or an array spread over lines: each member on a line of its own, indented.
class Block {
  public:
    Block(std::string& out, int indent, char open, char close)
        : out_(out), indent_(indent), close_(close) {
        out_ += open;
    }
    ~Block() {
        if (!first_) {
            out_ += '\n';
            out_.append(static_cast<std::size_t>(indent_), ' ');
        }
        out_ += close_;
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    // Starts the next member; the caller writes its value.
    std::string& item() {
        out_ += first_ ? "\n" : ",\n";
        first_ = false;
        out_.append(static_cast<std::size_t>(indent_ + 2), ' ');
        return out_;
    }
    std::string& key(const char* key) {
        item() += '"';
        out_ += key;
        out_ += "\": ";
        return out_;
    }
    int inner() const { return indent_ + 2; }

  private:
    std::string& out_;
    int indent_;
    char close_;
    bool first_ = true;
};

// {"code": ..., "text": ...} on one line; text null when the code names no entry.
void appendCoded(std::string& out, std::int64_t code, const char* text) {
    out += "{\"code\": ";
    appendInteger(out, code);
    out += ", \"text\": ";
    if (text)
        appendString(out, text);
    else
        out += "null";
    out += '}';
}

const char* itemText(std::uint32_t value, const probe::SubField& f) {
    if (f.items.empty()) return value <= 1 ? kBoxTexts[value] : nullptr;
    return value >= 1 && value <= f.items.size() ? f.items[value - 1] : nullptr;
}

void appendLines(std::string& out, const Spisok& cell, int indent) {
    Block block(out, indent, '[', ']');
    for (const std::string& line : probe::readListCell(cell)) appendString(block.item(), line);
}

void appendEntries(std::string& out, const std::vector<Entry>& entries, const ProbeRecord& r,
                   int indent);

void appendMember(std::string& out, const Member& member, const ProbeRecord& r, int indent) {
    std::visit(
        Overloaded{
            [&](const WordField& w) {
                const std::uint32_t word = r.*w.word;
                Block block(out, indent, '{', '}');
                for (std::size_t i = 0; i < w.fields.size(); ++i) {
                    const std::uint32_t value = probe::extractSubField(word, w.fields[i]);
                    appendCoded(block.key(w.keys[i].key), value, itemText(value, w.fields[i]));
                }
                appendString(block.key(kOtherBits), hexBits(word & ~subFieldBits(w.fields), 8));
            },
            [&](const TextField& t) { appendString(out, probe::readTextCell(r.*t.cell)); },
            [&](const LinesField& l) { appendLines(out, r.*l.cell, indent); },
            [&](const QuantityField& q) { appendQuantity(out, r.*q.value); },
            [&](const PriceField& p) { appendInteger(out, r.*p.value); },
            [&](const DateField& d) {
                const Json iso = isoOf(r.*d.value);
                out += "{\"iso\": ";
                if (iso.is_string())
                    appendString(out, iso.get_ref<const std::string&>());
                else
                    out += "null";
                out += ", \"day_number\": ";
                appendQuantity(out, r.*d.value);
                out += '}';
            },
            [&](const ScaleField& s) {
                const int position = probe::positionFromScale(r.*s.value);
                appendCoded(out, r.*s.value,
                            position >= 0
                                ? probe::kMasshtabProstranstva[static_cast<std::size_t>(position)]
                                : nullptr);
            },
            [&](const ReservedField& f) {
                // Trailing zero bytes are left out: an all-zero range reads as "".
                std::span<const std::uint8_t> bytes = f.read(r);
                std::size_t used = bytes.size();
                while (used > 0 && bytes[used - 1] == 0) --used;
                static const char kDigits[] = "0123456789abcdef";
                out += '"';
                for (std::size_t i = 0; i < used; ++i) {
                    out += kDigits[bytes[i] >> 4];
                    out += kDigits[bytes[i] & 0xF];
                }
                out += '"';
            },
            [&](const GroupField& g) { appendEntries(out, *g.entries, r, indent); },
        },
        member);
}

void appendEntries(std::string& out, const std::vector<Entry>& entries, const ProbeRecord& r,
                   int indent) {
    Block block(out, indent, '{', '}');
    for (const Entry& e : entries) appendMember(block.key(e.key), e.member, r, block.inner());
}

}  // namespace

void appendProbe(std::string& out, const ProbeRecord& record, int indent) {
    appendEntries(out, probeEntries(), record, indent);
}

std::string probeToJsonText(const ProbeRecord& record) {
    std::string out;
    appendProbe(out, record, 0);
    return out;
}

Json probeToJson(const ProbeRecord& record) {
    return Json::parse(probeToJsonText(record));
}

DocumentWriter::DocumentWriter(std::ostream& out) : out_(out) {
    buffer_ = "{\n  \"header\": {\"format\": ";
    appendString(buffer_, kFormatName);
    buffer_ += ", \"version\": ";
    appendInteger(buffer_, kFormatVersion);
    buffer_ += "},\n  \"probes\": [";
}

void DocumentWriter::probe(const ProbeRecord& record) {
    buffer_ += probes_++ == 0 ? "\n    " : ",\n    ";
    appendProbe(buffer_, record, 4);
    if (buffer_.size() >= (1u << 20)) {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
}

bool DocumentWriter::finish() {
    buffer_ += probes_ == 0 ? "]\n}\n" : "\n  ]\n}\n";
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    out_.flush();
    return static_cast<bool>(out_);
}

}  // namespace probejson

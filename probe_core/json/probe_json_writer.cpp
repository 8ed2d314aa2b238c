// Record -> JSON text, as export writes it.
#include <charconv>
#include <optional>
#include <ostream>
#include <span>

#include "probe_core/json/base64.h"
#include "probe_core/json/probe_fields.h"
#include "probe_core/record/field_values.h"

namespace probejson {

using namespace fields;
using namespace probe::fields;

namespace {

// Export writes its text directly rather than through a JSON value: building a tree of values
// for every record costs several times more than reading the records. The layout is two-space
// indentation with a sub-field, a date and the header on one line each.

void appendInteger(std::string& out, std::int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
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
    out += "{\"";
    out += kCode;
    out += "\": ";
    appendInteger(out, code);
    out += ", \"";
    out += kText;
    out += "\": ";
    if (text)
        appendString(out, text);
    else
        out += "null";
    out += '}';
}

// The fields of a record written as they are visited: a block for the probe object, one for the
// group being written, one for each word.
class ProbeWriter : public probe::fields::FieldVisitor {
  public:
    ProbeWriter(std::string& out, int indent) : out_(out), probe_(out, indent, '{', '}') {}

    void groupBegin(const char* key) override {
        group_.emplace(probe_.key(key), probe_.inner(), '{', '}');
    }
    void groupEnd() override { group_.reset(); }

    void word(const Field& field, const Word& w, std::uint32_t value) override {
        Block block(key(field), indent(), '{', '}');
        for (const probe::SubField& f : w.subFields) {
            const std::uint32_t code = probe::extractSubField(value, f);
            appendCoded(block.key(f.key), code, codeText(code, f));
        }
        appendString(block.key(kOtherBits), hexBits(value & ~subFieldBits(w.subFields), 8));
    }
    void text(const Field& field, std::string_view utf8) override {
        appendString(key(field), utf8);
    }
    void lines(const Field& field, const std::vector<std::string>& utf8) override {
        Block block(key(field), indent(), '[', ']');
        for (const std::string& line : utf8) appendString(block.item(), line);
    }
    void quantity(const Field& field, double value) override { appendQuantity(key(field), value); }
    void price(const Field& field, std::int32_t value) override {
        appendInteger(key(field), value);
    }
    void date(const Field& field, double dayNumber) override {
        std::string& out = key(field);
        out += "{\"";
        out += kIso;
        out += "\": ";
        if (const auto iso = isoDate(dayNumber))
            appendString(out, *iso);
        else
            out += "null";
        out += ", \"";
        out += kDayNumber;
        out += "\": ";
        appendQuantity(out, dayNumber);
        out += '}';
    }
    void scale(const Field& field, std::int32_t exponent) override {
        appendCoded(key(field), exponent, scaleText(exponent));
    }
    void reserved(const Field& field, std::span<const std::uint8_t> bytes) override {
        // Trailing zero bytes are left out: an all-zero range reads as "".
        std::size_t used = bytes.size();
        while (used > 0 && bytes[used - 1] == 0) --used;
        static const char kDigits[] = "0123456789abcdef";
        std::string& out = key(field);
        out += '"';
        for (std::size_t i = 0; i < used; ++i) {
            out += kDigits[bytes[i] >> 4];
            out += kDigits[bytes[i] & 0xF];
        }
        out += '"';
    }

    void laterVersionBytes(std::span<const std::uint8_t> bytes) {
        std::string& out = probe_.key(kLaterVersionBytes);
        out += '"';
        base64::append(out, bytes);
        out += '"';
    }

  private:
    Block& block() { return group_ ? *group_ : probe_; }
    std::string& key(const Field& field) { return block().key(field.key); }
    int indent() { return block().inner(); }

    std::string& out_;
    Block probe_;
    std::optional<Block> group_;
};

}  // namespace

void appendProbe(std::string& out, const ProbeRecord& record, int indent,
                 std::span<const std::uint8_t> laterVersionBytes) {
    ProbeWriter writer(out, indent);
    visitFields(record, writer);
    if (!laterVersionBytes.empty()) writer.laterVersionBytes(laterVersionBytes);
}

std::string probeToJsonText(const ProbeRecord& record) {
    std::string out;
    appendProbe(out, record, 0);
    return out;
}

DocumentWriter::DocumentWriter(std::ostream& out) : out_(out) {
    buffer_ = "{\n  \"header\": {\"format\": ";
    appendString(buffer_, kFormatName);
    buffer_ += ", \"version\": ";
    appendInteger(buffer_, kFormatVersion);
    buffer_ += "},\n  \"probes\": [";
}

void DocumentWriter::probe(const ProbeRecord& record,
                           std::span<const std::uint8_t> laterVersionBytes) {
    buffer_ += probes_++ == 0 ? "\n    " : ",\n    ";
    appendProbe(buffer_, record, 4, laterVersionBytes);
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

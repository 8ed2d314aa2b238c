// The JSON Schema and the key table, walked out of the field table.
#include "probe_core/json/probe_json_schema.h"

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "probe_core/json/probe_json.h"
#include "probe_core/record/captions.h"
#include "probe_core/record/field_table.h"

namespace probejson {

using namespace probe::fields;

namespace {

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

// A caption as a description: without the frame's brackets, the spaces around it and the colon
// that stands before its control.
std::string cleaned(const char* caption) {
    std::string_view text(caption);
    while (!text.empty() && (text.front() == ' ' || text.front() == '[')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == ']' || text.back() == ':'))
        text.remove_suffix(1);
    return std::string(text);
}

// What names a row: its caption, or for a row whose page shows none, the page's caption.
std::string captionOf(const Field& f) {
    if (f.caption != nullptr) return cleaned(f.caption);
    if (f.page >= 0) return probe::captions::kPages[static_cast<std::size_t>(f.page)];
    return {};
}

// The bits of a sub-field, "bit 4" or "bits 0-1".
std::string bitsOf(const probe::SubField& s) {
    if (s.width == 1) return "bit " + std::to_string(s.shift);
    return "bits " + std::to_string(s.shift) + "-" + std::to_string(s.shift + s.width - 1);
}

// The largest code a sub-field's bits hold.
std::uint32_t largestCode(const probe::SubField& s) {
    return (std::uint32_t{1} << s.width) - 1;
}

// The definition a sub-field's code object refers to: a box, or a list of so many bits.
std::string codeDefinition(const probe::SubField& s) {
    return s.items.empty() ? "box" : "choice" + std::to_string(largestCode(s));
}

std::string subFieldDescription(const probe::SubField& s) {
    std::string text = cleaned(s.caption);
    for (std::size_t i = 0; i < s.items.size(); ++i)
        text += (i == 0 ? ": " : ", ") + std::to_string(i + 1) + " " + s.items[i];
    return text + " (" + bitsOf(s) + ")";
}

// Writes the JSON form of a schema step by step.
class Schema {
  public:
    explicit Schema(Writer& w) : w_(w) {}

    void key(const char* name) { w_.Key(name); }
    void text(const std::string& value) {
        w_.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
    }
    void member(const char* name, const std::string& value) {
        key(name);
        text(value);
    }
    void description(const std::string& value) {
        if (!value.empty()) member("description", value);
    }
    void ref(const std::string& definition) { member("$ref", "#/$defs/" + definition); }
    void type(const char* name) { member("type", name); }
    // "type": ["string", "null"]
    void stringOrNull() {
        key("type");
        w_.StartArray();
        text("string");
        text("null");
        w_.EndArray();
    }
    void integer(std::int64_t least, std::int64_t most) {
        type("integer");
        key("minimum");
        w_.Int64(least);
        key("maximum");
        w_.Int64(most);
    }
    void int32() {
        integer(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    }
    void required(std::initializer_list<const char*> names) {
        key("required");
        w_.StartArray();
        for (const char* name : names) text(name);
        w_.EndArray();
    }
    void closed() {
        key("additionalProperties");
        w_.Bool(false);
    }
    void start() { w_.StartObject(); }
    void end() { w_.EndObject(); }
    // The "properties" of an object: opened here, closed by endProperties().
    void startProperties() {
        type("object");
        key("properties");
        start();
    }
    void endProperties() {
        end();
        closed();
    }
    // {"code": ..., "text": string or null}, code required; `code` writes the code's range.
    template <class WriteCode>
    void codeAndText(WriteCode&& code) {
        startProperties();
        key(kCode);
        start();
        code();
        end();
        key(kText);
        start();
        stringOrNull();
        end();
        endProperties();
        required({kCode});
    }

    Writer& writer() { return w_; }

  private:
    Writer& w_;
};

void writeWord(Schema& s, const Field& f, const Word& word) {
    s.description(captionOf(f) + ": a bit-field word, one key per sub-field from bit 0 up, and " +
                  kOtherBits + ".");
    s.startProperties();
    for (const probe::SubField& sub : word.subFields) {
        s.key(sub.key);
        s.start();
        s.description(subFieldDescription(sub));
        s.ref(codeDefinition(sub));
        s.end();
    }
    s.key(kOtherBits);
    s.start();
    s.ref(kOtherBits);
    s.end();
    s.endProperties();
}

void writeField(Schema& s, const Field& f) {
    s.start();
    std::visit(
        Overloaded{
            [&](const Word& w) { writeWord(s, f, w); },
            [&](const Text&) {
                s.description(captionOf(f));
                s.ref("text");
            },
            [&](const Lines&) {
                s.description(captionOf(f) + ", one entry per line");
                s.ref("lines");
            },
            [&](const Quantity& q) {
                s.description(captionOf(f) + ", unit: " + q.unit);
                s.ref("quantity");
            },
            [&](const Price&) {
                s.description(captionOf(f) + ", 0 = not given");
                s.int32();
            },
            [&](const Date&) {
                s.description(
                    captionOf(f) + ": " + kDayNumber +
                    " counts days from 30 December 1899, its fraction is the time of day, 0 = "
                    "not given; " +
                    kIso +
                    " is its date (null for 0 and for day numbers that name no date of the years "
                    "1 to 9999). Import uses " +
                    kDayNumber + " when given, otherwise " + kIso +
                    "; when both are given they must agree.");
                s.startProperties();
                s.key(kIso);
                s.start();
                s.stringOrNull();
                s.member("pattern", "^[0-9]{4}-[0-9]{2}-[0-9]{2}$");
                s.end();
                s.key(kDayNumber);
                s.start();
                s.ref("quantity");
                s.end();
                s.endProperties();
            },
            [&](const Scale&) {
                s.description(captionOf(f) +
                              ": code is the decimal exponent, 6 to -9 name an entry of the scale "
                              "list, 0 is one to one, 7 means no entry chosen; text is the entry "
                              "or null.");
                s.codeAndText([&] { s.int32(); });
            },
            [&](const Reserved& r) {
                const std::string count = std::to_string(r.size);
                s.type("string");
                s.member("pattern", "^([0-9A-Fa-f]{2}){0," + count + "}$");
                s.description(count +
                              " reserved bytes as hexadecimal digit pairs, first byte first; "
                              "bytes not given are zero.");
            },
        },
        f.place);
    s.end();
}

// What a group of fields holds.
std::string groupDescription(const Field& first) {
    if (first.page >= 0)
        return std::string("The fields of the page «") +
               probe::captions::kPages[static_cast<std::size_t>(first.page)] + "».";
    return "The reserved byte ranges of the record, named after their offsets in the record of "
           "the home platform: bytes no page shows, kept as they stand.";
}

void writeProbe(Schema& s) {
    s.start();
    s.description(
        "One probe record. Every key may be left out: its field is then not given "
        "(zero, empty, nothing chosen).");
    s.startProperties();
    for (std::size_t i = 0; i < kProbeFields.size(); ++i) {
        const Field& f = kProbeFields[i];
        if (f.group == nullptr) {
            s.key(f.key);
            writeField(s, f);
            continue;
        }
        s.key(f.group);
        s.start();
        s.description(groupDescription(f));
        s.startProperties();
        for (; i < kProbeFields.size() && kProbeFields[i].group == f.group; ++i) {
            s.key(kProbeFields[i].key);
            writeField(s, kProbeFields[i]);
        }
        --i;
        s.endProperties();
        s.end();
    }
    s.key(kLaterVersionBytes);
    s.start();
    s.description(
        "Only for a record read from a probe file of a later minor version: the bytes its record "
        "carries after the fields above, as canonical base64 (standard alphabet, '=' padding, no "
        "white space). Import writes them back after the record's fields.");
    s.type("string");
    s.member("pattern", "^([A-Za-z0-9+/]{4})*([A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?$");
    s.end();
    s.endProperties();
    s.end();
}

// The definitions the fields refer to.
void writeDefinitions(Schema& s) {
    // The code objects of the sub-fields: one per kind of code that some sub-field has.
    std::map<std::string, const probe::SubField*> codes;
    for (const Field& f : kProbeFields)
        if (const auto* w = std::get_if<Word>(&f.place))
            for (const probe::SubField& sub : w->subFields)
                codes.emplace(codeDefinition(sub), &sub);
    for (const auto& [name, sub] : codes) {
        s.key(name.c_str());
        s.start();
        if (sub->items.empty())
            s.description(std::string("A yes/no box in one bit: code 1 = checked (text \"") +
                          kBoxTexts[1] + "\"), 0 = not (text \"" + kBoxTexts[0] + "\").");
        else
            s.description("A fixed list in a " + std::to_string(sub->width) +
                          "-bit sub-field: code = list position + 1, 0 = nothing chosen; codes "
                          "beyond the list are kept as they are and read with text null.");
        s.codeAndText([&] { s.integer(0, largestCode(*sub)); });
        s.end();
    }
    s.key(kOtherBits);
    s.start();
    s.description(
        "Bits of the word that lie outside every sub-field, as \"0x\" and hexadecimal "
        "digits; none of them may fall inside a sub-field.");
    s.type("string");
    s.member("pattern", "^0[xX][0-9A-Fa-f]{1,8}$");
    s.end();
    s.key("text");
    s.start();
    s.description(
        "A text: UTF-8 here, code page 1251 in the record; every character must exist "
        "in code page 1251 and U+0000 is not allowed.");
    s.type("string");
    s.end();
    s.key("lines");
    s.start();
    s.description("Lines of a list, in order; empty lines are kept.");
    s.type("array");
    s.key("items");
    s.start();
    s.ref("text");
    s.end();
    s.end();
    s.key("quantity");
    s.start();
    s.description(
        "A double: a JSON number, or \"0x\" and up to 16 hexadecimal digits of its IEEE "
        "754 bit pattern (how values that are no finite number are written). 0 = not "
        "given.");
    s.key("oneOf");
    s.writer().StartArray();
    s.start();
    s.type("number");
    s.end();
    s.start();
    s.type("string");
    s.member("pattern", "^0[xX][0-9A-Fa-f]{1,16}$");
    s.end();
    s.writer().EndArray();
    s.end();
    s.key("probe");
    writeProbe(s);
}

}  // namespace

std::string probeJsonSchema() {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.SetIndent(' ', 2);
    Schema s(w);
    s.start();
    s.member("$schema", "https://json-schema.org/draft/2020-12/schema");
    s.member("$id", "probe.schema.json");
    s.member("title", "Probe descriptions");
    s.description("Probe records of a probe file (*.dt) as probetool exports and imports them.");
    s.startProperties();
    s.key("header");
    s.start();
    s.startProperties();
    s.key("format");
    s.start();
    s.member("const", kFormatName);
    s.end();
    s.key("version");
    s.start();
    s.key("const");
    w.Int(kFormatVersion);
    s.end();
    s.endProperties();
    s.required({"format", "version"});
    s.end();
    s.key("probes");
    s.start();
    s.type("array");
    s.key("items");
    s.start();
    s.ref("probe");
    s.end();
    s.end();
    s.endProperties();
    s.required({"header", "probes"});
    s.key("$defs");
    s.start();
    writeDefinitions(s);
    s.end();
    s.end();
    return std::string(buffer.GetString(), buffer.GetSize()) + '\n';
}

}  // namespace probejson

// The Markdown table of the keys of one probe, walked out of the field table.
#include <string>

#include "probe_core/json/probe_json_schema.h"
#include "probe_core/record/captions.h"
#include "probe_core/record/field_table.h"

namespace probejson {

using namespace probe::fields;

namespace {

// A caption as a table cell: without the frame's brackets, the surrounding spaces and the colon
// before its control; "|" would end the cell.
std::string cell(const char* caption) {
    std::string text;
    for (const char* c = caption; *c != '\0'; ++c)
        text += *c == '|' ? std::string("\\|") : std::string(1, *c);
    const auto first = text.find_first_not_of(" [");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" ]:");
    return text.substr(first, last - first + 1);
}

std::string kindOf(const Field& f) {
    return std::visit(
        Overloaded{
            [](const Word&) -> std::string { return "bit-field word"; },
            [](const Text&) -> std::string { return "text"; },
            [](const Lines&) -> std::string { return "lines"; },
            [](const Quantity& q) { return "quantity, " + std::string(q.unit); },
            [](const Price&) -> std::string { return "integer, −2147483648 to 2147483647"; },
            [](const Date&) -> std::string { return "date"; },
            [](const Scale&) -> std::string { return "scale"; },
            [](const Reserved& r) { return "reserved bytes, at most " + std::to_string(r.size); },
        },
        f.place);
}

void row(std::string& out, const std::string& key, const std::string& kind,
         const std::string& caption) {
    out += "| `" + key + "` | " + kind + " | " + caption + " |\n";
}

}  // namespace

std::string probeJsonKeyTable() {
    std::string out = "| Key | Value | Caption |\n|---|---|---|\n";
    for (const Field& f : kProbeFields) {
        const std::string path = f.group ? std::string(f.group) + "." + f.key : f.key;
        std::string caption;
        if (f.caption != nullptr)
            caption = cell(f.caption);
        else if (f.page >= 0)
            caption = probe::captions::kPages[static_cast<std::size_t>(f.page)];
        row(out, path, kindOf(f), caption);
        const auto* w = std::get_if<Word>(&f.place);
        if (w == nullptr) continue;
        for (const probe::SubField& s : w->subFields) {
            const std::string bits = s.width == 1 ? "bit " + std::to_string(s.shift)
                                                  : "bits " + std::to_string(s.shift) + "–" +
                                                        std::to_string(s.shift + s.width - 1);
            row(out, path + "." + s.key, (s.items.empty() ? "box, " : "list, ") + bits,
                cell(s.caption));
        }
        row(out, path + "." + kOtherBits, "other bits", "");
    }
    return out;
}

}  // namespace probejson

#include "probe_core/record/probe_contents.h"

#include <algorithm>
#include <bit>

#include "probe_core/record/field_table.h"
#include "probe_core/record/record_cells.h"

namespace probe {

namespace {

using namespace fields;

std::string textOf(const Stroka& cell) {
    return cell.text ? std::string(cell.text) : std::string();
}

std::vector<std::string> linesOf(const Spisok& cell) {
    std::vector<std::string> lines;
    if (cell.count == 0 || cell.lines == nullptr) return lines;
    for (std::uint32_t i = 0; i < cell.count; ++i)
        lines.push_back(cell.lines[i] ? std::string(cell.lines[i]) : std::string());
    return lines;
}

extern "C" const char* PLUGIN_CALL heldText(std::int32_t, void* context) {
    return static_cast<const std::string*>(context)->c_str();
}

extern "C" const char* PLUGIN_CALL heldLine(std::int32_t index, void* context) {
    const auto& lines = *static_cast<const std::vector<std::string>*>(context);
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) return "";
    return lines[static_cast<std::size_t>(index)].c_str();
}

ProbeContents::Value valueOf(const ProbeRecord& r, const Field& f) {
    return std::visit(
        Overloaded{
            [&](const Word& w) -> ProbeContents::Value { return r.*w.member; },
            [&](const Text& t) -> ProbeContents::Value { return textOf(r.*t.member); },
            [&](const Lines& l) -> ProbeContents::Value { return linesOf(r.*l.member); },
            [&](const Quantity& q) -> ProbeContents::Value {
                return std::bit_cast<std::uint64_t>(r.*q.member);
            },
            [&](const Price& p) -> ProbeContents::Value { return r.*p.member; },
            [&](const Date& d) -> ProbeContents::Value {
                return std::bit_cast<std::uint64_t>(r.*d.member);
            },
            [&](const Scale& s) -> ProbeContents::Value { return r.*s.member; },
            [&](const Reserved& b) -> ProbeContents::Value {
                const auto bytes = bytesOf(r, b);
                return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
            },
        },
        f.place);
}

}  // namespace

ProbeContents::ProbeContents() {
    static const ProbeRecord fresh{};
    values.reserve(kProbeFields.size());
    for (const Field& f : kProbeFields) values.push_back(valueOf(fresh, f));
}

ProbeContents contentsOf(const ProbeRecord& r) {
    ProbeContents c;
    for (std::size_t i = 0; i < kProbeFields.size(); ++i) c.values[i] = valueOf(r, kProbeFields[i]);
    return c;
}

void restoreContents(const contracts::ProbeStoreApi& store, ProbeRecord& r,
                     const ProbeContents& c) {
    for (std::size_t i = 0; i < kProbeFields.size() && i < c.values.size(); ++i) {
        const ProbeContents::Value& v = c.values[i];
        std::visit(Overloaded{
                       [&](const Word& w) { r.*w.member = std::get<std::uint32_t>(v); },
                       [&](const Text& t) {
                           replaceTextCell(store, r.*t.member, &heldText,
                                           const_cast<std::string*>(&std::get<std::string>(v)));
                       },
                       [&](const Lines& l) {
                           auto& lines = std::get<std::vector<std::string>>(v);
                           replaceListCell(store, r.*l.member, &heldLine,
                                           static_cast<std::uint32_t>(lines.size()),
                                           const_cast<std::vector<std::string>*>(&lines));
                       },
                       [&](const Quantity& q) {
                           r.*q.member = std::bit_cast<double>(std::get<std::uint64_t>(v));
                       },
                       [&](const Price& p) { r.*p.member = std::get<std::int32_t>(v); },
                       [&](const Date& d) {
                           r.*d.member = std::bit_cast<double>(std::get<std::uint64_t>(v));
                       },
                       [&](const Scale& s) { r.*s.member = std::get<std::int32_t>(v); },
                       [&](const Reserved& b) {
                           const auto& bytes = std::get<std::vector<std::uint8_t>>(v);
                           auto target = bytesOf(r, b);
                           std::copy_n(bytes.begin(), std::min(bytes.size(), target.size()),
                                       target.begin());
                       },
                   },
                   kProbeFields[i].place);
    }
}

}  // namespace probe

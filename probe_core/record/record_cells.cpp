#include "probe_core/record/record_cells.h"

#include <algorithm>

#include "probe_core/record/field_table.h"

namespace probe {

namespace {

const char* PLUGIN_CALL giveText(std::int32_t, void* context) {
    return static_cast<const char*>(context);
}

const char* PLUGIN_CALL giveLine(std::int32_t index, void* context) {
    const auto* cell = static_cast<const Spisok*>(context);
    if (index < 0 || static_cast<std::uint32_t>(index) >= cell->count) return "";
    const char* line = cell->lines[index];
    return line ? line : "";
}

}  // namespace

void replaceTextCell(const contracts::ProbeStoreApi& store, Stroka& cell, TextCallback text,
                     void* context) {
    if (store.UdalitStroku == nullptr || store.SozdatStroku == nullptr) return;
    store.UdalitStroku(&cell);
    if (text != nullptr) store.SozdatStroku(&cell, text, context);
}

void replaceListCell(const contracts::ProbeStoreApi& store, Spisok& cell, TextCallback line,
                     std::uint32_t count, void* context) {
    if (store.UdalitSpisok == nullptr || store.SozdatSpisok == nullptr) return;
    store.UdalitSpisok(&cell);
    if (line != nullptr) store.SozdatSpisok(&cell, line, count, context);
}

void copyRecord(const ProbeRecord& from, ProbeRecord& to, const contracts::ProbeStoreApi& store) {
    using namespace fields;
    for (const Field& f : kProbeFields) {
        std::visit(Overloaded{
                       [&](const Word& w) { to.*w.member = from.*w.member; },
                       [&](const Text& t) {
                           const char* text = (from.*t.member).text;
                           replaceTextCell(store, to.*t.member, text ? giveText : nullptr,
                                           const_cast<char*>(text));
                       },
                       [&](const Lines& l) {
                           const Spisok& source = from.*l.member;
                           const bool any = source.count != 0 && source.lines != nullptr;
                           replaceListCell(store, to.*l.member, any ? giveLine : nullptr,
                                           source.count, const_cast<Spisok*>(&source));
                       },
                       [&](const Quantity& q) { to.*q.member = from.*q.member; },
                       [&](const Price& p) { to.*p.member = from.*p.member; },
                       [&](const Date& d) { to.*d.member = from.*d.member; },
                       [&](const Scale& s) { to.*s.member = from.*s.member; },
                       [&](const Reserved& b) {
                           const auto bytes = bytesOf(from, b);
                           std::copy(bytes.begin(), bytes.end(), bytesOf(to, b).begin());
                       },
                   },
                   f.place);
    }
}

}  // namespace probe

#include "probe_core/json/record_transfer.h"

#include <algorithm>
#include <span>

#include "probe_core/json/probe_fields.h"

namespace probejson {

using namespace fields;

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

void transferEntries(const std::vector<Entry>& entries, const ProbeRecord& from, ProbeRecord& to,
                     const contracts::ProbeStoreApi& store) {
    for (const Entry& e : entries) {
        std::visit(Overloaded{
                       [&](const WordField& w) { to.*w.word = from.*w.word; },
                       [&](const TextField& t) {
                           store.UdalitStroku(&(to.*t.cell));
                           if (const char* text = (from.*t.cell).text)
                               store.SozdatStroku(&(to.*t.cell), giveText, const_cast<char*>(text));
                       },
                       [&](const LinesField& l) {
                           store.UdalitSpisok(&(to.*l.cell));
                           const Spisok& source = from.*l.cell;
                           if (source.count != 0 && source.lines != nullptr)
                               store.SozdatSpisok(&(to.*l.cell), giveLine, source.count,
                                                  const_cast<Spisok*>(&source));
                       },
                       [&](const QuantityField& q) { to.*q.value = from.*q.value; },
                       [&](const PriceField& p) { to.*p.value = from.*p.value; },
                       [&](const DateField& d) { to.*d.value = from.*d.value; },
                       [&](const ScaleField& s) { to.*s.value = from.*s.value; },
                       [&](const ReservedField& f) {
                           std::span<const std::uint8_t> source = f.read(from);
                           std::copy(source.begin(), source.end(), f.write(to).begin());
                       },
                       [&](const GroupField& g) { transferEntries(*g.entries, from, to, store); },
                   },
                   e.member);
    }
}

}  // namespace

void transferRecord(const ProbeRecord& source, ProbeRecord& target,
                    const contracts::ProbeStoreApi& store) {
    transferEntries(probeEntries(), source, target, store);
}

}  // namespace probejson

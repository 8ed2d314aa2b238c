// JSON -> record: the document read by the JSON library's SAX reader under the probe document's
// rules (json_rules.h), each probe gathered into a compact value (value_tape.h), checked field by
// field (probe_reader.h) and dropped.
#include <algorithm>

#include "probe_core/json/json_rules.h"
#include "probe_core/json/probe_reader.h"
#include "probe_core/json/value_tape.h"

namespace probejson {

namespace checks {

const Level& probeLevel() {
    static const Level level = [] {
        Level out;
        for (std::size_t i = 0; i < probe::fields::kProbeFields.size(); ++i) {
            const Field& f = probe::fields::kProbeFields[i];
            if (f.group == nullptr) {
                out.keys.push_back(f.key);
                out.fields.push_back(&f);
                out.groups.emplace_back();
                continue;
            }
            if (!out.keys.empty() && out.fields.back() == nullptr &&
                std::string_view(out.keys.back()) == f.group) {
                out.groups.back() = {out.groups.back().data(), out.groups.back().size() + 1};
                continue;
            }
            out.keys.push_back(f.group);
            out.fields.push_back(nullptr);
            out.groups.emplace_back(&f, 1);
        }
        return out;
    }();
    return level;
}

}  // namespace checks

namespace {

using checks::Path;

using tape::TapeBuilder;
using tape::TapeView;

template <typename V>
void checkDocument(const V& document, Problems& problems) {
    checks::Reader<V> in(problems, 0);
    const std::string rootText;
    const Path root(rootText);
    static constexpr const char* kTop[] = {"header", "probes"};
    const auto top = in.object(document, root, kTop);
    if (!top) return;

    const std::string headerText = "/header";
    const Path headerPath(headerText);
    const auto& [header, list] = std::tie((*top)[0], (*top)[1]);
    if (!header) {
        in.fail(root, "не хватает заголовка «header»");
    } else {
        static constexpr const char* kHeader[] = {"format", "version"};
        if (const auto fields = in.object(*header, headerPath, kHeader)) {
            const auto& [format, version] = std::tie((*fields)[0], (*fields)[1]);
            if (!format || !format->isString() || format->string() != kFormatName)
                in.fail(Path(headerPath, "format"),
                        std::string("ожидается формат \"") + kFormatName + "\"");
            if (!version || !version->isNumber() || version->asDouble() != kFormatVersion)
                in.fail(Path(headerPath, "version"),
                        "поддерживается только версия " + std::to_string(kFormatVersion));
        }
    }
    // The probes themselves were checked as they were read; only the list is left.
    const std::string listText = "/probes";
    if (!list)
        in.fail(root, "не хватает массива датчиков «probes»");
    else if (!list->isArray())
        in.fail(Path(listText), "ожидается массив датчиков");
}

}  // namespace

bool checkJsonText(std::string_view text, Problems& problems) {
    const std::size_t before = problems.count();
    rules::RuleReader reader(text, problems, 0);
    reader.run();
    return problems.count() == before;
}

std::unique_ptr<StagedProbe> probeFromJsonText(std::string_view text, Problems& problems) {
    TapeBuilder builder;
    rules::RuleReader reader(text, problems, 1);
    reader.setSink(&builder);
    if (!reader.run()) return std::make_unique<StagedProbe>();
    return readProbe(TapeView(builder.bytes(), 0), "", 1, problems, true);
}

void readDocument(std::string_view text, Problems& problems,
                  const std::function<void(std::size_t number, StagedProbe& probe)>& onProbe,
                  ReaderStorage* storage) {
    TapeBuilder outside, probe;
    rules::RuleReader reader(text, problems, 0);
    reader.setSink(&outside);
    reader.onProbes(&probe, [&](std::size_t index) {
        const std::size_t number = index + 1;
        auto staged = readProbe(TapeView(probe.bytes(), 0), fields::child("/probes", index), number,
                                problems, true);
        if (problems.empty()) onProbe(number, *staged);
    });
    // Only the header and an emptied probe list are left: checked as a document of no probes.
    if (reader.run()) checkDocument(TapeView(outside.bytes(), 0), problems);
    if (storage != nullptr) {
        storage->largestValue = std::max(outside.largest(), probe.largest());
        storage->largestKeyIndex = reader.largestKeyIndex();
    }
}

}  // namespace probejson

// JSON -> record: the document read by the JSON library's SAX reader under the probe document's
// rules (json_rules.h), each probe gathered into a value of the library, checked field by field
// (probe_reader.h) and dropped.
#include <rapidjson/document.h>

#include "probe_core/json/json_rules.h"
#include "probe_core/json/probe_reader.h"

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

// A value of the JSON library, read through the calls the checks use.
class LibraryView {
  public:
    explicit LibraryView(const rapidjson::Value& v) : v_(&v) {}
    bool isObject() const { return v_->IsObject(); }
    bool isArray() const { return v_->IsArray(); }
    bool isString() const { return v_->IsString(); }
    bool isNull() const { return v_->IsNull(); }
    bool isInteger() const { return v_->IsInt64() || v_->IsUint64(); }
    bool isUnsigned() const { return v_->IsUint64(); }
    bool isNumber() const { return v_->IsNumber(); }
    std::int64_t asSigned() const { return v_->GetInt64(); }
    std::uint64_t asUnsigned() const { return v_->GetUint64(); }
    double asDouble() const { return v_->GetDouble(); }
    std::string_view string() const { return {v_->GetString(), v_->GetStringLength()}; }
    std::size_t size() const { return v_->Size(); }
    LibraryView operator[](std::size_t i) const {
        return LibraryView((*v_)[static_cast<rapidjson::SizeType>(i)]);
    }
    template <typename F>
    void forEachMember(F&& f) const {
        for (auto m = v_->MemberBegin(); m != v_->MemberEnd(); ++m)
            f(std::string_view(m->name.GetString(), m->name.GetStringLength()),
              LibraryView(m->value));
    }

  private:
    const rapidjson::Value* v_;
};

// Takes the events of one whole value into a document of the library.
class ValueBuilder : public rules::ValueSink {
  public:
    void null() override { doc_.Null(); }
    void boolean(bool b) override { doc_.Bool(b); }
    void signedInteger(std::int64_t i) override { doc_.Int64(i); }
    void unsignedInteger(std::uint64_t u) override { doc_.Uint64(u); }
    void real(double d) override { doc_.Double(d); }
    void string(std::string_view s) override {
        doc_.String(s.data(), static_cast<rapidjson::SizeType>(s.size()), true);
    }
    void startObject() override { doc_.StartObject(); }
    void key(std::string_view s) override {
        doc_.Key(s.data(), static_cast<rapidjson::SizeType>(s.size()), true);
    }
    void endObject(std::size_t members) override {
        doc_.EndObject(static_cast<rapidjson::SizeType>(members));
    }
    void startArray() override { doc_.StartArray(); }
    void endArray(std::size_t elements) override {
        doc_.EndArray(static_cast<rapidjson::SizeType>(elements));
    }

    // A new value begins: the last one and its memory go.
    void begin() override {
        doc_.SetNull();
        doc_.GetAllocator().Clear();
    }
    // The value whose events came since `begin`; valid until the next `begin`.
    const rapidjson::Value& take() {
        // The events have left the value on the document's stack: a generator of no further
        // events moves it into the document.
        auto noMoreEvents = [](rapidjson::Document&) { return true; };
        doc_.Populate(noMoreEvents);
        return doc_;
    }

  private:
    rapidjson::Document doc_;
};

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
    ValueBuilder builder;
    rules::RuleReader reader(text, problems, 1);
    reader.setSink(&builder);
    if (!reader.run()) return std::make_unique<StagedProbe>();
    return readProbe(LibraryView(builder.take()), "", 1, problems, true);
}

void readDocument(std::string_view text, Problems& problems,
                  const std::function<void(std::size_t number, StagedProbe& probe)>& onProbe) {
    ValueBuilder outside, probe;
    rules::RuleReader reader(text, problems, 0);
    reader.setSink(&outside);
    reader.onProbes(&probe, [&](std::size_t index) {
        const std::size_t number = index + 1;
        auto staged = readProbe(LibraryView(probe.take()), fields::child("/probes", index), number,
                                problems, true);
        if (problems.empty()) onProbe(number, *staged);
    });
    // Only the header and an emptied probe list are left: checked as a document of no probes.
    if (reader.run()) checkDocument(LibraryView(outside.take()), problems);
}

}  // namespace probejson

// The field table against what walks it: every row goes through the JSON form and back on its
// own, and the probe file carries every row in the order of the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include <rapidjson/document.h>

#include "platform/cp1251.h"
#include "probe_core/json/probe_json.h"
#include "probe_core/json/probe_json_schema.h"
#include "probe_core/record/field_table.h"
#include "probe_core/record/probe_contents.h"
#include "probe_core/record/staged_record.h"
#include "suite/probestore/probe_file.h"

namespace {

using namespace probe::fields;

// Gives row `f` of the record a value unlike a fresh record's, one that needs the row's whole
// encoding: bits outside every sub-field, escapes, an empty line, a fraction of a day, every byte.
void giveValue(const Field& f, probe::StagedRecord& staged) {
    ProbeRecord& r = staged.record;
    std::visit(Overloaded{
                   [&](const Word& w) { r.*w.member = 0xA5A5A5A5u; },
                   [&](const Text& t) {
                       staged.setText(r.*t.member, platform::utf8ToCp1251("Ёж «№1»\t\"\\"));
                   },
                   [&](const Lines& l) {
                       staged.setLines(r.*l.member, {platform::utf8ToCp1251("Ж"), "", "b"});
                   },
                   [&](const Quantity& q) { r.*q.member = -1.0 / 3.0; },
                   [&](const Price& p) { r.*p.member = -123456; },
                   [&](const Date& d) { r.*d.member = 45366.75; },
                   [&](const Scale& s) { r.*s.member = -9; },
                   [&](const Reserved& b) {
                       auto bytes = bytesOf(r, b);
                       for (std::size_t i = 0; i < bytes.size(); ++i)
                           bytes[i] = static_cast<std::uint8_t>(i * 37 + 1);
                   },
               },
               f.place);
}

// Where the row's field starts in the record.
std::size_t offsetOf(const Field& f) {
    static const ProbeRecord r{};
    const auto at = [&](const auto& member) {
        return static_cast<std::size_t>(reinterpret_cast<const char*>(&member) -
                                        reinterpret_cast<const char*>(&r));
    };
    return std::visit(Overloaded{
                          [&](const Reserved& b) { return b.offset; },
                          [&](const auto& place) { return at(r.*place.member); },
                      },
                      f.place);
}

class FieldRow : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FieldRow, GoesThroughJsonAndBackAlone) {
    const Field& f = kProbeFields[GetParam()];
    probe::StagedRecord original;
    giveValue(f, original);
    const probe::ProbeContents given = probe::contentsOf(original.record);
    const probe::ProbeContents fresh;
    for (std::size_t i = 0; i < kProbeFields.size(); ++i)
        EXPECT_EQ(given.values[i] != fresh.values[i], i == GetParam()) << kProbeFields[i].key;

    const std::string json = probejson::probeToJsonText(original.record);
    EXPECT_NE(json.find('"' + std::string(f.key) + "\": "), std::string::npos) << json;
    probejson::Problems problems;
    const auto read = probejson::probeFromJsonText(json, problems);
    ASSERT_TRUE(problems.empty()) << problems.kept()[0].path << ": " << problems.kept()[0].message;
    EXPECT_EQ(probe::contentsOf(read->record), given) << json;
}

INSTANTIATE_TEST_SUITE_P(EveryRow, FieldRow, ::testing::Range<std::size_t>(0, kProbeFields.size()),
                         [](const ::testing::TestParamInfo<std::size_t>& row) {
                             return std::string(kProbeFields[row.param].key);
                         });

// The probe file's encoder keeps its own list of the fields: it must carry every row of the
// table, in the order of the record. Each row changes the encoded record first at a later byte
// than the row before it in the record.
TEST(FieldTable, TheProbeFileCarriesEveryRowInRecordOrder) {
    const probe::StagedRecord fresh;
    const std::vector<std::uint8_t> base = probestore::encodeRecord(fresh.record);
    std::map<std::size_t, std::size_t> firstChangeByOffset;
    for (const Field& f : kProbeFields) {
        probe::StagedRecord one;
        giveValue(f, one);
        const std::vector<std::uint8_t> encoded = probestore::encodeRecord(one.record);
        const auto diverge =
            std::mismatch(base.begin(), base.end(), encoded.begin(), encoded.end());
        const auto at = static_cast<std::size_t>(diverge.first - base.begin());
        ASSERT_LT(at, std::max(base.size(), encoded.size())) << f.key << " is not in the file";
        firstChangeByOffset[offsetOf(f)] = at;
    }
    ASSERT_EQ(firstChangeByOffset.size(), kProbeFields.size());
    std::size_t last = 0;
    for (const auto& [offset, at] : firstChangeByOffset) {
        EXPECT_TRUE(offset == 0 || at > last) << "the field at record offset " << offset;
        last = at;
    }
}

// Keys are unique where they are looked up: among the probe object's own keys and groups, within
// a group, and among a word's sub-fields; every row but the reserved bytes is on a page.
TEST(FieldTable, KeysAreUniqueWithinTheirObject) {
    std::map<std::string, int> keys;
    std::set<std::string> groups;
    for (const Field& f : kProbeFields) {
        const std::string object = f.group ? f.group : "";
        ++keys[object + "/" + f.key];
        if (f.group != nullptr) groups.insert(f.group);
        EXPECT_EQ(f.page < 0, f.group == kReservedGroup) << f.key;
        const auto* w = std::get_if<Word>(&f.place);
        if (w != nullptr) {
            std::uint32_t owned = 0;
            for (const probe::SubField& s : w->subFields) {
                ++keys[std::string(f.key) + "/" + s.key];
                EXPECT_EQ(owned & s.mask, 0u) << s.key;
                EXPECT_EQ(s.mask, ((1u << s.width) - 1) << s.shift) << s.key;
                owned |= s.mask;
            }
        }
    }
    for (const auto& [key, count] : keys) EXPECT_EQ(count, 1) << key;
    // A group's key is one of the probe object's keys too.
    for (const std::string& group : groups) EXPECT_EQ(keys.count("/" + group), 0u) << group;
}

// The JSON Schema that probetool prints names the keys for validators: the same keys as the
// table, in its order, at every level, and last the later version's bytes; the objects take no
// other key.
TEST(FieldTable, TheSchemaNamesTheKeysOfTheTable) {
    const std::string text = probejson::probeJsonSchema();
    rapidjson::Document schema;
    schema.Parse(text.c_str(), text.size());
    ASSERT_FALSE(schema.HasParseError());
    const auto keysOf = [](const rapidjson::Value& object) {
        EXPECT_FALSE(object["additionalProperties"].GetBool());
        std::vector<std::string> keys;
        for (auto m = object["properties"].MemberBegin(); m != object["properties"].MemberEnd();
             ++m)
            keys.emplace_back(m->name.GetString());
        return keys;
    };
    const rapidjson::Value& probe = schema["$defs"]["probe"];
    std::vector<std::string> top;
    std::map<std::string, std::vector<std::string>> inside;
    for (const Field& f : kProbeFields) {
        const std::string key = f.group ? f.group : f.key;
        if (top.empty() || top.back() != key) top.push_back(key);
        if (f.group) inside[f.group].push_back(f.key);
        if (const auto* w = std::get_if<Word>(&f.place)) {
            for (const probe::SubField& s : w->subFields) inside[f.key].push_back(s.key);
            inside[f.key].push_back(kOtherBits);
        }
    }
    // The probe's last key is no field's: the bytes a later minor version added.
    top.push_back(kLaterVersionBytes);
    EXPECT_EQ(keysOf(probe), top);
    for (const auto& [object, keys] : inside)
        EXPECT_EQ(keysOf(probe["properties"][object.c_str()]), keys) << object;
}

// What the schema lets through is what import takes: a sub-field's code up to the largest its
// bits hold, a list's entries in its description, as many reserved byte pairs as the range has.
TEST(FieldTable, TheSchemaBoundsCodesAndBytesByTheTable) {
    const std::string text = probejson::probeJsonSchema();
    rapidjson::Document schema;
    schema.Parse(text.c_str(), text.size());
    ASSERT_FALSE(schema.HasParseError());
    const rapidjson::Value& defs = schema["$defs"];
    const rapidjson::Value& probe = defs["probe"]["properties"];
    for (const Field& f : kProbeFields) {
        const rapidjson::Value& object =
            f.group ? probe[f.group]["properties"][f.key] : probe[f.key];
        if (const auto* r = std::get_if<Reserved>(&f.place)) {
            EXPECT_EQ(object["pattern"].GetString(),
                      "^([0-9A-Fa-f]{2}){0," + std::to_string(r->size) + "}$")
                << f.key;
        }
        const auto* w = std::get_if<Word>(&f.place);
        if (w == nullptr) continue;
        for (const probe::SubField& s : w->subFields) {
            const rapidjson::Value& sub = object["properties"][s.key];
            const std::string ref = sub["$ref"].GetString();
            ASSERT_EQ(ref.rfind("#/$defs/", 0), 0u) << ref;
            const rapidjson::Value& code = defs[ref.substr(8).c_str()]["properties"][kCode];
            EXPECT_EQ(code["minimum"].GetInt(), 0) << s.key;
            EXPECT_EQ(code["maximum"].GetUint(), s.mask >> s.shift) << s.key;
            const std::string description = sub["description"].GetString();
            for (std::size_t i = 0; i < s.items.size(); ++i)
                EXPECT_NE(description.find(std::to_string(i + 1) + " " + s.items[i]),
                          std::string::npos)
                    << description;
        }
    }
}

// The Markdown table of `probetool schema --markdown` has a row for every key and sub-field key.
TEST(FieldTable, TheKeyTableHasARowPerKey) {
    const std::string table = probejson::probeJsonKeyTable();
    for (const Field& f : kProbeFields) {
        const std::string path = f.group ? std::string(f.group) + "." + f.key : f.key;
        EXPECT_NE(table.find("| `" + path + "` |"), std::string::npos) << path;
        const auto* w = std::get_if<Word>(&f.place);
        for (std::size_t i = 0; w != nullptr && i < w->subFields.size(); ++i) {
            const std::string sub = path + "." + w->subFields[i].key;
            EXPECT_NE(table.find("| `" + sub + "` |"), std::string::npos) << sub;
        }
    }
}

}  // namespace

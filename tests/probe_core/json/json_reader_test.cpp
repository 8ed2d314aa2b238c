// The JSON reader's own parts: the base64 of a later version's bytes, and how the reader takes
// them.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>

#include "probe_core/json/base64.h"
#include "probe_core/json/probe_json.h"
#include "probe_core/json/probe_reader.h"
#include "probe_core/json/value_tape.h"
#include "probe_core/record/field_table.h"

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(JsonBase64, KnownVectorsBothWays) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, coded] : vectors) {
        std::string out;
        probejson::base64::append(out, bytes(plain));
        EXPECT_EQ(out, coded);
        EXPECT_EQ(probejson::base64::decode(coded), bytes(plain)) << coded;
    }
    // Every byte value, at every place in the last group.
    std::vector<std::uint8_t> all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
    for (std::size_t cut = 254; cut <= 256; ++cut) {
        const std::vector<std::uint8_t> part(all.begin(), all.begin() + static_cast<long>(cut));
        std::string out;
        probejson::base64::append(out, part);
        EXPECT_EQ(probejson::base64::decode(out), part);
    }
}

// Only the one text export writes for the bytes is taken.
TEST(JsonBase64, RefusesEveryOtherText) {
    for (const char* bad : {"Zg=", "Zg", "Zg===", "====", "Z===", "Zg=a", "Zg==Zm8=", "Zh==",
                            "Zm9=", "Zm-v", "Zm_v", "Zm9v\n", " Zm9v", "Zm 9", "Zm\x80v"})
        EXPECT_FALSE(probejson::base64::decode(bad).has_value()) << bad;
}

TEST(JsonLaterVersionBytes, AreReadAsTheProbesLastKeyAndCheckedStrictly) {
    const std::string key = probe::fields::kLaterVersionBytes;
    probejson::Problems problems;
    auto probe = probejson::probeFromJsonText("{\"" + key + "\": \"Zm9vYg==\"}", problems);
    ASSERT_TRUE(problems.empty()) << problems.kept()[0].message;
    EXPECT_EQ(probe->laterVersionBytes, bytes("foob"));

    for (const char* value : {"\"Zm9vYg\"", "3", "null", "[\"Zm9v\"]"}) {
        probejson::Problems faults;
        probejson::probeFromJsonText("{\"" + key + "\": " + value + "}", faults);
        ASSERT_EQ(faults.count(), 1u) << value;
        EXPECT_EQ(faults.kept()[0].path, "/" + key) << value;
    }
    // Written back by the writer as it was read, after the fields.
    const std::string text = probejson::probeToJsonText(probe->record);
    std::string withBytes;
    probejson::appendProbe(withBytes, probe->record, 0, probe->laterVersionBytes);
    EXPECT_EQ(text.find(key), std::string::npos);
    EXPECT_EQ(withBytes.substr(withBytes.rfind("\n  \"")), "\n  \"" + key + "\": \"Zm9vYg==\"\n}");
}

std::string document(const std::string& probes) {
    return R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [)" + probes +
           "]}";
}

// A caller that cannot write the bytes back (the default) gets a fault, never a record without
// them.
TEST(JsonLaterVersionBytes, AreAFaultWhereTheyCannotBeKept) {
    probejson::tape::TapeBuilder value;
    value.begin();
    value.startObject();
    value.key(probe::fields::kLaterVersionBytes);
    value.string("Zm9v");
    value.endObject(1);
    probejson::Problems problems;
    const auto probe =
        probejson::readProbe(probejson::tape::TapeView(value.bytes(), 0), "/probes/4", 5, problems);
    ASSERT_EQ(problems.count(), 1u);
    EXPECT_EQ(problems.kept()[0].probe, 5u);
    EXPECT_EQ(problems.kept()[0].path, "/probes/4/later_version_bytes");
    EXPECT_TRUE(probe->laterVersionBytes.empty());
}

// Numbers are held in a compact form between reading and checking: each comes back bit for bit.
TEST(JsonReaderValues, NumbersComeBackExactly) {
    for (const char* number : {"0.1", "-0", "-0.0", "1e5", "2.5e6", "123456789.123456789", "5e-324",
                               "1.7976931348623157e308", "-1", "18446744073709551615",
                               "-9223372036854775808", "123456789012345678901234567890"}) {
        probejson::Problems problems;
        const auto probe = probejson::probeFromJsonText(
            std::string("{\"parameters\": {\"frequency_hz\": ") + number + "}}", problems);
        ASSERT_TRUE(problems.empty()) << number << ": " << problems.kept()[0].message;
        const std::string_view text(number);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(probe->record.OCHIP),
                  std::bit_cast<std::uint64_t>(expected))
            << number;
    }
    const std::pair<const char*, bool> prices[] = {{"-2147483648", true},
                                                   {"2147483647", true},
                                                   {"2147483648", false},
                                                   {"-9223372036854775808", false},
                                                   {"18446744073709551615", false}};
    for (const auto& [price, fits] : prices) {
        probejson::Problems problems;
        const auto probe = probejson::probeFromJsonText(
            std::string("{\"identification\": {\"price\": ") + price + "}}", problems);
        EXPECT_EQ(problems.empty(), fits) << price;
        if (fits)
            EXPECT_EQ(std::to_string(probe->record.Cena), price);
        else
            EXPECT_NE(problems.kept()[0].message.find(price), std::string::npos) << price;
    }
}

// Below a probe's deepest field the reader keeps a container's kind, not its members; what the
// checks see is unchanged: a container where a line or a code belongs is one fault.
TEST(JsonReaderValues, DeepContainersStillShowTheirKind) {
    probejson::Problems problems;
    probejson::probeFromJsonText(
        R"({"preprocessing": ["a", [["x"]], {"k": {"k": 1}}, "b"],
            "focusing": {"lens_count": {"code": [1], "text": {"a": []}}}})",
        problems);
    ASSERT_EQ(problems.count(), 4u);
    EXPECT_EQ(problems.kept()[0].path, "/focusing/lens_count/text");
    EXPECT_EQ(problems.kept()[1].path, "/focusing/lens_count/code");
    EXPECT_EQ(problems.kept()[2].path, "/preprocessing/1");
    EXPECT_EQ(problems.kept()[3].path, "/preprocessing/2");
}

// Empty objects and lists, and objects among other members, are read as what they are.
TEST(JsonReaderValues, EmptyContainersHoldNothingAndEndWhereTheyEnd) {
    probejson::Problems problems;
    const auto probe = probejson::probeFromJsonText(
        R"({"focusing": {}, "preprocessing": ["a", "b"], "identification": {"date": {},
            "compatible_instruments": [], "name": "x"}, "parameters": {"other": ["c"]}})",
        problems);
    ASSERT_TRUE(problems.empty()) << problems.kept()[0].path << ": " << problems.kept()[0].message;
    const std::string json = probejson::probeToJsonText(probe->record);
    for (const char* part : {"\"a\",\n    \"b\"\n  ]", "\"name\": \"x\"", "\"c\""})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
}

// A key repeated among an object's first keys, after them, and between both.
TEST(JsonReaderKeys, ARepeatedKeyIsFoundInAnObjectOfAnySize) {
    for (const auto& [first, again] : {std::pair{3, 17}, {20, 40}, {5, 3000}}) {
        std::string members;
        for (int i = 0; i < std::max(first, again); ++i)
            members += "\"k" + std::to_string(i) + "\": 0, ";
        members += "\"k" + std::to_string(first) + "\": 1";
        probejson::Problems problems;
        probejson::readDocument(document("{" + members + "}"), problems,
                                [](std::size_t, probejson::StagedProbe&) {});
        std::size_t repeated = 0;
        for (const probejson::Problem& p : problems.kept())
            repeated += p.message.find("повторяется") != std::string::npos;
        EXPECT_EQ(repeated, 1u) << first << " " << again;
        EXPECT_EQ(problems.count(), std::max<std::size_t>(first, again) + 1) << first;
    }
}

// A document of a million tiny things: what the reader holds follows the largest probe, and its
// key index stays within a fixed bound however many keys the objects have.
TEST(JsonReaderStorage, AMillionTinyThingsTakeBoundedStorage) {
    std::string lists = "{\"preprocessing\": [[]";
    for (int i = 1; i < 1000000; ++i) lists += ",[]";
    lists += "]}";
    std::string nested = "{\"preprocessing\": [";
    for (int i = 0; i < 200000; ++i) nested += i ? ",[[[[[]]]]]" : "[[[[[]]]]]";
    nested += "]}";
    std::string keys;
    for (int probe = 0; probe < 250; ++probe) {
        keys += probe ? ", {\"reserved\": {" : "{\"reserved\": {";
        for (int i = 0; i < 4000; ++i) keys += (i ? ", \"k" : "\"k") + std::to_string(i) + "\": 0";
        keys += "}}";
    }
    const std::pair<std::string, std::size_t> cases[] = {
        // One byte for each empty list, seven for each list that holds one below the deepest
        // kept level (whose text takes eleven).
        {document(lists), 1000000 + 64},
        {document(nested), 7 * 200000 + 64},
        // A probe of 4,000 unknown keys, each fewer bytes than its text.
        {document(keys), 4000 * 10},
    };
    for (const auto& [text, most] : cases) {
        probejson::Problems problems;
        probejson::ReaderStorage storage;
        probejson::readDocument(
            text, problems, [](std::size_t, probejson::StagedProbe&) {}, &storage);
        EXPECT_GE(problems.count(), 200000u);
        EXPECT_LE(storage.largestValue, most);
        EXPECT_LE(storage.largestKeyIndex, 96u * 1024) << text.size();
    }
}

}  // namespace

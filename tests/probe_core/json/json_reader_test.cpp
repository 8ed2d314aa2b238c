// The JSON reader's own parts: the base64 of a later version's bytes, and how the reader takes
// them.
#include <gtest/gtest.h>

#include <string>

#include "probe_core/json/base64.h"
#include "probe_core/json/probe_json.h"
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

}  // namespace

// Records of a later minor version through export, import and salvage: the bytes after the fields
// this version knows travel as one base64 value and come back unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/crc32.h"
#include "platform/little_endian.h"
#include "suite/probestore/probe_file_format.h"
#include "tests/tools/probetool/probetool_support.h"

namespace {

namespace format = probestore;

std::uint8_t* at(std::string& bytes, std::size_t offset) {
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + offset;
}

// The sample file as minor version 1 whose first record carries `extra` after its fields.
std::string laterVersionFile(const std::string& extra) {
    std::string file = bytesOf(PROBE_SAMPLE_PROBES);
    file[format::kHeaderMinorOffset] = 1;
    platform::le::putU32(at(file, format::kHeaderCrcOffset),
                         platform::crc32Of(file.data(), format::kHeaderCrcOffset));
    const std::size_t frame = format::kFileHeaderSize;
    const std::uint32_t size = platform::le::getU32(at(file, frame + format::kFrameSizeOffset));
    const std::size_t payload = frame + format::kFrameHeaderSize;
    file.insert(payload + size, extra);
    platform::le::putU32(at(file, frame + format::kFrameSizeOffset),
                         static_cast<std::uint32_t>(size + extra.size()));
    platform::le::putU32(at(file, frame + format::kFramePayloadCrcOffset),
                         platform::crc32Of(file.data() + payload, size + extra.size()));
    platform::le::putU32(at(file, frame + format::kFrameHeaderCrcOffset),
                         platform::crc32Of(file.data() + frame, format::kFrameHeaderCrcOffset));
    return file;
}

TEST(ProbetoolLaterVersionBytes, GoThroughExportImportAndSalvageUnchanged) {
    const std::string extra("later fields\0\xff", 14);
    const std::string later = temp("later.dt");
    write(later, laterVersionFile(extra));

    const Result exported = run({"export", later});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.err, "");
    // Base64 of the bytes, on the first probe only.
    const std::string line = "\"later_version_bytes\": \"bGF0ZXIgZmllbGRzAP8=\"\n";
    const std::size_t found = exported.out.find(line);
    ASSERT_NE(found, std::string::npos) << exported.out.substr(0, 4000);
    EXPECT_EQ(exported.out.find("later_version_bytes", found + line.size()), std::string::npos);

    const std::string json = temp("later.json"), imported = temp("imported.dt"),
                      salvaged = temp("salvaged.dt");
    write(json, exported.out);
    ASSERT_EQ(run({"import", json, imported}).status, 0);
    EXPECT_EQ(run({"export", imported}).out, exported.out);
    EXPECT_NE(bytesOf(imported).find(extra), std::string::npos);
    ASSERT_EQ(run({"salvage", later, salvaged}).status, 0);
    EXPECT_EQ(run({"export", salvaged}).out, exported.out);
}

TEST(ProbetoolLaterVersionBytes, AValueThatIsNotExportsBase64IsAFaultAndNothingIsAdded) {
    std::string text = run({"export", PROBE_SAMPLE_PROBES}).out;
    const std::string closing = "\n    },\n    {";
    for (const char* value : {"\"bGF0ZXI\"", "\"bGF0ZXI=\\n\"", "17"}) {
        std::string doc = text;
        doc.insert(doc.find(closing), ",\n      \"later_version_bytes\": " + std::string(value));
        const std::string json = temp("bad_later.json"), target = temp("bad_later.dt");
        write(json, doc);
        const Result imported = run({"import", json, target});
        EXPECT_EQ(imported.status, 1) << value;
        EXPECT_NE(imported.err.find("датчик 1, /probes/0/later_version_bytes: "), std::string::npos)
            << imported.err;
        EXPECT_FALSE(std::filesystem::exists(target));
    }
}

}  // namespace

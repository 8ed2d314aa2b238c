// The probe-file client's errors as values, and the targets no command may replace: through the
// client itself and through probetool, which prints the client's messages.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <cstring>

#include "probe_core/files/probe_files.h"
#include "suite/surfarch/pv_format.h"
#include "tests/tools/probetool/probetool_support.h"

namespace {

namespace fs = std::filesystem;
using probefiles::ErrorCode;

probefiles::FileName named(const std::string& utf8) {
    auto name = probefiles::nameOf(utf8);
    EXPECT_TRUE(name.ok()) << utf8;
    return *name;
}

const char* PLUGIN_CALL giveBigText(std::int32_t, void* context) {
    return static_cast<const std::string*>(context)->c_str();
}

// Every failure names its kind, its file and, where one is at fault, the record; the message is
// made from the value, and nothing is written by a refused append.
TEST(ProbeFilesClient, FailuresAreValuesNamingFileAndRecord) {
    EXPECT_EQ(probefiles::nameOf("").error().code, ErrorCode::kEmptyName);
    EXPECT_EQ(probefiles::nameOf(std::string("a\0b.dt", 6)).error().code, ErrorCode::kNameHasNul);
    EXPECT_EQ(probefiles::nameOf("日本.dt").error().code, ErrorCode::kNameNotInCp1251);

    probefiles::ProbeFiles files;
    ASSERT_EQ(files.loadError(), nullptr) << probefiles::messageOf(*files.loadError());
    const std::string missing = temp("missing.dt");
    const auto notThere = files.open(named(missing));
    ASSERT_FALSE(notThere.ok());
    EXPECT_EQ(notThere.error().code, ErrorCode::kNotFound);
    EXPECT_EQ(notThere.error().file, missing);
    EXPECT_EQ(files.open(named(fs::temp_directory_path().string())).error().code,
              ErrorCode::kNotAFile);
    const std::string text = temp("text.dt");
    write(text, "no probes here");
    EXPECT_EQ(files.open(named(text)).error().code, ErrorCode::kNotProbeFile);

    // Record 3 damaged: read names it, the others load.
    std::string bytes = bytesOf(PROBE_SAMPLE_PROBES);
    const std::string damaged = temp("client_damaged.dt");
    std::size_t at = 24;
    for (int i = 0; i < 2; ++i) {
        std::uint32_t size;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        at += 16 + size;
    }
    bytes[at + 20] = static_cast<char>(bytes[at + 20] ^ 0x01);
    write(damaged, bytes);
    const auto opened = files.open(named(damaged));
    ASSERT_TRUE(opened.ok());
    EXPECT_TRUE(files.read(*opened, 1).ok());
    const auto third = files.read(*opened, 2);
    ASSERT_FALSE(third.ok());
    EXPECT_EQ(third.error().code, ErrorCode::kRecordDamaged);
    EXPECT_EQ(third.error().probe, 3u);
    EXPECT_NE(probefiles::messageOf(third.error()).find("Запись 3"), std::string::npos);

    // Four records whose third is too large to write: the batch adds none of them.
    const contracts::ProbeStoreApi& api = files.store().api();
    ASSERT_TRUE(api.VibratDatchikPoIndeksu(0));
    const ProbeRecord* small = api.PoluchitVibranniyDatchik();
    api.VibratVremenniyDatchik();
    ProbeRecord* big = api.PoluchitVibranniyDatchik();
    const std::string huge((65u << 20), 'a');
    ASSERT_TRUE(api.SozdatStroku(&big->Nazvanie, giveBigText, const_cast<std::string*>(&huge)));
    const std::string target = temp("all_or_nothing.dt");
    write(target, bytesOf(PROBE_SAMPLE_PROBES));
    const ProbeRecord* four[] = {small, small, big, small};
    const auto refused = files.appendAll(named(target), four);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code, ErrorCode::kProbeTooLarge);
    EXPECT_EQ(refused->probe, 3u);
    EXPECT_EQ(bytesOf(target), bytesOf(PROBE_SAMPLE_PROBES));
    const ProbeRecord* two[] = {small, small};
    EXPECT_FALSE(files.appendAll(named(target), two).has_value());
    EXPECT_EQ(files.open(named(target))->count, 8u);
}

// Export writes over a JSON document, an empty file or a device only: never over a probe file or
// a surface file, whatever their headers say, --force or not; the message says what the file is.
TEST(ProbetoolTargets, ExportNeverReplacesRecordsOrSurfaces) {
    namespace pv = surfaces::pv;
    const std::string probes = bytesOf(PROBE_SAMPLE_PROBES);
    const std::string source = temp("export_source.dt");
    write(source, probes);
    pv::Surface s;
    s.name = "дно";
    s.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    s.triangles = {0, 1, 2};
    const std::string surfaces = pv::encodeHeader() + pv::encodeBlock(s);

    struct Case {
        const char* what;
        std::string bytes;
        const char* said;
    };
    std::vector<Case> cases;
    for (std::size_t bit : {0u, 63u, 70u, 100u, 130u, 191u}) {
        std::string flipped = probes;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        cases.push_back({"probe file, header bit flipped", flipped, "файл датчиков"});
    }
    cases.push_back({"probe file", probes, "файл датчиков"});
    cases.push_back({"surface file", surfaces, "файл поверхностей"});
    std::string badMagic = surfaces;
    badMagic[0] = 'Q';
    cases.push_back({"surface file, damaged magic", badMagic, "файл поверхностей"});
    cases.push_back({"binary", std::string("\x01\x02\x03{", 4), "не документ JSON"});
    cases.push_back({"text", "old text", "не документ JSON"});
    for (const Case& c : cases) {
        const std::string target = temp("export_target.json");
        write(target, c.bytes);
        const Result r = run({"export", source, target, "--force"});
        EXPECT_EQ(r.status, 2) << c.what;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(bytesOf(target), c.bytes) << c.what;
    }

#if !defined(_WIN32)
    // An empty file and a JSON document are replaced (with --force), a symbolic link is written
    // through, and the file keeps its permissions.
    const std::string json = temp("export_kept.json"), link = temp("export_link.json");
    write(json, "");
    EXPECT_EQ(run({"export", source, json}).status, 2);
    ASSERT_EQ(run({"export", source, json, "--force"}).status, 0);
    const std::string exported = bytesOf(json);
    ASSERT_EQ(::chmod(json.c_str(), 0640), 0);
    write(json, R"({"probes": []})");
    fs::create_symlink(fs::path(json), fs::path(link));
    ASSERT_EQ(run({"export", source, link, "--force"}).status, 0);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(fs::path(link))));
    EXPECT_EQ(bytesOf(json), exported);
    struct stat st {};
    ASSERT_EQ(::stat(json.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

// Texts from outside reach a message with their control characters escaped: a key with a NUL is
// shown as it was written, never as the valid key it would read as.
TEST(ProbetoolMessages, ControlCharactersAreShownEscaped) {
    const std::string json = temp("nul_key.json"), target = temp("nul_key.dt");
    write(json, R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [)"
                R"({"identification": {"na\u0000me": "x", "model": "a\u0001b"}}]})");
    const Result r = run({"import", json, target});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find('\0'), std::string::npos);
    EXPECT_NE(r.err.find("na\\0me"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(fs::path(target)));
    EXPECT_EQ(probefiles::escapeControls(std::string("a\0\t\x1b\x7f", 5)), "a\\0\\t\\x1B\\x7F");
}

#if !defined(_WIN32)
// An import or salvage into a new file that the disk refuses (a file size limit stands in for a
// full disk) reports the system's reason and leaves no empty file behind.
TEST(ProbetoolMessages, RefusedWriteIntoANewFileLeavesNothing) {
    const std::string json = temp("refused.json"), target = temp("refused.dt");
    const std::string rescued = temp("refused_rescue.dt"), log = temp("refused.log");
    write(json, R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [{}]})");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"import", json, target},
          std::vector<std::string>{"salvage", PROBE_SAMPLE_PROBES, rescued}}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{16, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::ostringstream out, err;
            const int status = probetool::run(args, out, err);
            limit.rlim_cur = RLIM_INFINITY;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::ofstream(log, std::ios::binary | std::ios::trunc) << err.str();
            ::_exit(status);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2) << args[0] << ": " << bytesOf(log);
        EXPECT_NE(bytesOf(log).find("ничего не добавлено"), std::string::npos) << bytesOf(log);
        EXPECT_FALSE(fs::exists(fs::path(args[2]))) << args[0];
    }
}

#endif

}  // namespace

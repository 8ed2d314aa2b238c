// probetool's commands run in-process against the probe store library beside the test program:
// the JSON round trip, the commands on a damaged file, the checks of import, and wrong calls.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "platform/cp1251.h"
#include "probe_core/files/probe_store.h"
#include "probe_core/json/probe_json.h"
#include "suite/surfarch/pv_format.h"
#include "tests/tools/probetool/probetool_support.h"
#include "tools/probetool/commands.h"
#include "tools/probetool/probe_view.h"

namespace fs = std::filesystem;
using Json = rapidjson::Document;
using rapidjson::Pointer;

namespace {

// A JSON text read by the JSON library, for looking into what probetool wrote.
Json parse(const std::string& text) {
    Json doc;
    doc.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str(), text.size());
    EXPECT_FALSE(doc.HasParseError()) << text.substr(0, 200);
    return doc;
}

// The value at a JSON pointer ("/probes/0/identification/name").
const rapidjson::Value& at(const rapidjson::Value& root, const char* pointer) {
    static const rapidjson::Value missing;
    const rapidjson::Value* v = Pointer(pointer).Get(root);
    if (v == nullptr) ADD_FAILURE() << "no value at " << pointer;
    return v ? *v : missing;
}

std::string text(const rapidjson::Value& root, const char* pointer) {
    const rapidjson::Value& v = at(root, pointer);
    return v.IsString() ? std::string(v.GetString(), v.GetStringLength()) : "(no string)";
}

std::string dump(const rapidjson::Value& v) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    v.Accept(writer);
    return {buffer.GetString(), buffer.GetSize()};
}

// Offsets of the record frames of a probe file (24-byte header, frames of 16 bytes + payload).
std::vector<std::size_t> frameOffsets(const std::string& bytes) {
    std::vector<std::size_t> frames;
    for (std::size_t p = 24; p + 16 <= bytes.size();) {
        frames.push_back(p);
        std::uint32_t size;
        std::memcpy(&size, bytes.data() + p + 4, 4);
        p += 16 + size;
    }
    return frames;
}

const char* PLUGIN_CALL giveText(std::int32_t, void* context) {
    return static_cast<const std::string*>(context)->c_str();
}
const char* PLUGIN_CALL giveLine(std::int32_t i, void* context) {
    return (*static_cast<const std::vector<std::string>*>(context))[static_cast<std::size_t>(i)]
        .c_str();
}

TEST(ProbetoolRoundTrip, SampleFileGoesThroughJsonAndBackByteForByte) {
    const Result exported = run({"export", PROBE_SAMPLE_PROBES});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const Json doc = parse(exported.out);
    EXPECT_EQ(text(doc, "/header/format"), "probe-descriptions");
    ASSERT_EQ(at(doc, "/probes").Size(), 6u);
    const rapidjson::Value& first = at(doc, "/probes/0");
    EXPECT_EQ(text(first, "/identification/manufacturer"), "НПО «Акустика»");
    EXPECT_EQ(text(first, "/identification/date/iso"), "2024-03-15");
    EXPECT_EQ(text(first, "/piezo_elements/frequency_class/text"), "Одночастотный");
    EXPECT_EQ(at(first, "/model_objects/surface_scale/code").GetInt(), -3);
    EXPECT_EQ(at(first, "/parameters/frequency_hz").GetDouble(), 2.5e6);

    const std::string json = temp("sample.json"), copy = temp("copy.dt");
    write(json, exported.out);
    const Result imported = run({"import", json, copy});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(run({"export", copy}).out, exported.out);
    // Same records, same frames: the whole file is the same.
    EXPECT_EQ(bytesOf(copy), bytesOf(PROBE_SAMPLE_PROBES));

    // Written to a file instead of standard output: the same text.
    const std::string out = temp("out.json");
    EXPECT_EQ(run({"export", copy, out}).status, 0);
    EXPECT_EQ(bytesOf(out), exported.out);
    EXPECT_NE(run({"show", copy, "6"}).out.find("Масштаб поверхностей: 1 мм' = 1 м"),
              std::string::npos);
}

// Values the editor never writes but a record may hold: codes beyond a list, bits outside every
// sub-field, reserved bytes, doubles that are no finite numbers, a date with a time of day,
// texts with every cp1251 byte, empty lines.
TEST(ProbetoolRoundTrip, UnusualRecordKeepsEveryByte) {
    const std::string original = temp("unusual.dt");
    {
        probefiles::ProbeStore store;
        ASSERT_TRUE(store.ready()) << store.loaderMessage();
        const contracts::ProbeStoreApi& api = store.api();
        ASSERT_TRUE(api.VibratDatchikPoIndeksu(0));
        ProbeRecord& r = *api.PoluchitVibranniyDatchik();
        r.Piezoelementi = 0xFFFFFFFFu;
        r.Fokusirovka = 0x80000203u;
        r.Otklonenie = 0x40;
        r.Skanirovanie = 0x12345678u;
        for (std::size_t i = 0; i < sizeof r.reserved1; ++i)
            r.reserved1[i] = static_cast<std::uint8_t>(i * 7);
        r.reserved0[0] = 0xFF;
        r.reserved4[83] = 1;
        r.RKIP1 = std::bit_cast<double>(0x7FF8000000000123ull);
        r.RKIP2 = -0.0;
        r.TP = -INFINITY;
        r.OCHIP = 1.0 / 3.0;
        r.MU = 5e-324;
        r.Data = 45366.75;
        r.Cena = -2147483647 - 1;
        r.MasshtabProstranstva = 7;
        std::string every;
        for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
        std::string plain = "plain";
        api.SozdatStroku(&r.Proizvoditel, giveText, &every);
        api.SozdatStroku(&r.IIPP, giveText, &plain);
        std::vector<std::string> lines{"", "a\nb", ""};
        api.SozdatSpisok(&r.Parametri, giveLine, 3, &lines);
        ASSERT_TRUE(api.SohranitDatchik(original.c_str()));
    }

    const Result first = run({"export", original});
    ASSERT_EQ(first.status, 0) << first.err;
    const Json doc = parse(first.out);
    const rapidjson::Value& probe = at(doc, "/probes/0");
    EXPECT_EQ(dump(at(probe, "/piezo_elements/frequency_class")), R"({"code":3,"text":null})");
    EXPECT_EQ(text(probe, "/piezo_elements/other_bits"), "0xFFC00080");
    EXPECT_EQ(text(probe, "/parameters/radius_plane1_m"), "0x7FF8000000000123");
    EXPECT_EQ(text(probe, "/identification/date/iso"), "2024-03-15");
    EXPECT_TRUE(at(probe, "/model_objects/surface_scale/text").IsNull());

    // The library's record <-> JSON on its own, one probe object: the same object.
    probejson::Problems problems;
    const auto staged = probejson::probeFromJsonText(dump(probe), problems);
    ASSERT_TRUE(problems.empty()) << problems.kept()[0].path << ": " << problems.kept()[0].message;
    EXPECT_TRUE(parse(probejson::probeToJsonText(staged->record)) == probe);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(staged->record.RKIP2), 0x8000000000000000ull);

    const std::string json = temp("unusual.json"), copy = temp("unusual_copy.dt");
    write(json, first.out);
    ASSERT_EQ(run({"import", json, copy}).status, 0);
    EXPECT_EQ(run({"export", copy}).out, first.out);
    EXPECT_EQ(bytesOf(copy), bytesOf(original));
}

void checkKeysFilledTheirFields(const ProbeRecord& r);

// Every key lands in its own field of the record (a swap of two keys would still go through
// export and import unnoticed), and the forms import accepts besides export's own.
TEST(ProbetoolJson, KeysFillTheirOwnFieldsOfTheRecord) {
    const std::string doc = R"({
      "header": {"format": "probe-descriptions", "version": 1},
      "probes": [{
        "piezo_elements": {"frequency_class": {"code": 2}, "surface_dimensionality": {"code": 4},
                           "receiver_access": {"code": 3, "text": "не тот текст"},
                           "other_bits": "0x80"},
        "focusing": {"lens_change_method": {"code": 3}, "dynamic_focusing_circuit": {"code": 1}},
        "deflection": {"convex_surface_plane2": {"code": 1}},
        "scanning": {"lens_change_control_circuit": {"code": 1}, "other_bits": "0xFFFFFFE0"},
        "preprocessing": ["П1", "П2"],
        "identification": {"manufacturer": "M", "model": "X", "name": "N", "price": -5,
                           "compatible_instruments": ["I"], "date": {"iso": "1899-12-31"}},
        "parameters": {"radius_plane1_m": 1, "radius_plane2_m": 2, "frequency_hz": 3,
                       "thickness_m": 4, "angular_width_deg": "0x4014000000000000",
                       "other": ["o"]},
        "model_objects": {"surface_file": "f.pv", "radiating_surface": "r",
                          "directivity_pattern": "d", "reception_pattern": "p",
                          "surface_scale": {"code": -9}},
        "reserved": {"bytes_0_7": "01", "bytes_32_111": "02", "bytes_144_223": "03",
                     "bytes_272_351": "04", "bytes_372_455": "0506"}
      }]})";
    probejson::Problems problems;
    std::size_t handed = 0;
    probejson::readDocument(doc, problems, [&](std::size_t, probejson::StagedProbe& probe) {
        ++handed;
        checkKeysFilledTheirFields(probe.record);
    });
    ASSERT_TRUE(problems.empty()) << problems.kept()[0].path << ": " << problems.kept()[0].message;
    EXPECT_EQ(handed, 1u);
}

void checkKeysFilledTheirFields(const ProbeRecord& r) {
    EXPECT_EQ(r.Piezoelementi, 0x2u | 0x40u | 0x300000u | 0x80u);
    EXPECT_EQ(r.Fokusirovka, 0xCu | 0x100u);
    EXPECT_EQ(r.Otklonenie, 0x4u);
    EXPECT_EQ(r.Skanirovanie, 0xFFFFFFF0u);
    auto text = [](const Stroka& s) { return platform::cp1251ToUtf8(s.text ? s.text : ""); };
    ASSERT_EQ(r.Obrabotka.count, 2u);
    EXPECT_EQ(platform::cp1251ToUtf8(r.Obrabotka.lines[1]), "П2");
    EXPECT_EQ(text(r.Proizvoditel) + text(r.Model) + text(r.Nazvanie), "MXN");
    EXPECT_EQ(r.Cena, -5);
    ASSERT_EQ(r.Pribori.count, 1u);
    EXPECT_EQ(r.Data, 1.0);
    EXPECT_EQ(r.RKIP1, 1.0);
    EXPECT_EQ(r.RKIP2, 2.0);
    EXPECT_EQ(r.OCHIP, 3.0);
    EXPECT_EQ(r.TP, 4.0);
    EXPECT_EQ(r.MU, 5.0);
    ASSERT_EQ(r.Parametri.count, 1u);
    EXPECT_EQ(text(r.IFsP) + text(r.IIP) + text(r.IIIP) + text(r.IIPP), "f.pvrdp");
    EXPECT_EQ(r.MasshtabProstranstva, -9);
    EXPECT_EQ(r.reserved0[0], 1);
    EXPECT_EQ(r.reserved1[0], 2);
    EXPECT_EQ(r.reserved2[0], 3);
    EXPECT_EQ(r.reserved3[0], 4);
    EXPECT_EQ(r.reserved4[1], 6);

    // The record shown as the pages show it.
    const std::string shown = probetool::showRecord(r);
    for (const char* expected : {
             "  По размерности излучающей поверхности: Матричный\n",
             "  Способ доступа к пьезоэлементам - приёмникам: Прямой\n",
             "  (прочие биты слова: 0x00000080)\n",
             "  Встроенная схема динамического фокусирования: да\n",
             "  Система акустических линз (АЛ): нет\n",
             "  Ориентировочная цена: -5\n",
             "  Дата последнего обновления: 31.12.1899\n",
             "  Угловая ширина диаграммы направленности: 5 °\n",
             "  Масштаб поверхностей: 1 нм' = 1 м   ( / 10^9 )\n",
             "  (резервные байты 372–455: 0506",
         })
        EXPECT_NE(shown.find(expected), std::string::npos) << expected << "\n" << shown;
}

TEST(ProbetoolDamagedFile, CommandsNameTheRecordWithTheFlippedByteAndKeepTheOthers) {
    std::string bytes = bytesOf(PROBE_SAMPLE_PROBES);
    const std::vector<std::size_t> frames = frameOffsets(bytes);
    ASSERT_EQ(frames.size(), 6u);
    bytes[frames[2] + 100] ^= 0x04;  // inside record 3's payload
    const std::string damaged = temp("damaged.dt");
    write(damaged, bytes);

    const Result check = run({"check", damaged});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("Запись 3 повреждена"), std::string::npos);
    EXPECT_EQ(check.out.find("Запись 2 "), std::string::npos);
    EXPECT_EQ(run({"check", PROBE_SAMPLE_PROBES}).status, 0);

    const Result list = run({"list", damaged});
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.out.find("3\tповреждена\n4\tисправна\tООО «Фазатрон»\tКР-3,5-8К"),
              std::string::npos);

    const std::string rescued = temp("rescued.dt");
    const Result salvage = run({"salvage", damaged, rescued});
    EXPECT_EQ(salvage.status, 1);
    EXPECT_NE(salvage.out.find("потеряно: 1 (номер 3)"), std::string::npos);
    EXPECT_EQ(run({"check", rescued}).out, "Все записи загружаются, записей: 5\n");
    // The five rescued records are the sample's records 1, 2, 4, 5, 6, frame for frame.
    const std::string sample = bytesOf(PROBE_SAMPLE_PROBES);
    EXPECT_EQ(bytesOf(rescued), sample.substr(0, frames[2]) + sample.substr(frames[3]));

    const Result exported = run({"export", damaged});
    EXPECT_EQ(exported.status, 1);
    EXPECT_EQ(at(parse(exported.out), "/probes").Size(), 5u);
    EXPECT_EQ(run({"show", damaged, "3"}).status, 1);

    // A damaged header leaves no record readable: that is damage, not an empty file.
    bytes[13] ^= 0x01;
    write(damaged, bytes);
    EXPECT_EQ(run({"check", damaged}).status, 1);
    EXPECT_EQ(run({"salvage", damaged, temp("nothing.dt")}).status, 1);
}

TEST(ProbetoolImport, EveryFaultIsNamedByPathAndProbeAndNothingIsWritten) {
    Json doc = parse(run({"export", PROBE_SAMPLE_PROBES}).out);
    Pointer("/probes/0/piezo_elements/surface_dimensionality/code").Set(doc, 8);  // 3 bits
    Pointer("/probes/0/identification/colour").Set(doc, "red");
    Pointer("/probes/1/identification/model").Set(doc, "Модель ✓");
    Pointer("/probes/1/identification/price").Set(doc, 12.5);
    Pointer("/probes/2/focusing/other_bits").Set(doc, "0x00000100");
    Pointer("/probes/2/reserved/bytes_0_7").Set(doc, "00112233445566778899");
    const Json date = parse(R"({"iso": "2024-03-16", "day_number": 45366})");
    rapidjson::Value dateCopy(date, doc.GetAllocator());
    Pointer("/probes/3/identification/date").Set(doc, dateCopy);
    rapidjson::Value withZero("a\0b", 3, doc.GetAllocator());
    Pointer("/probes/4/parameters/other/1").Set(doc, withZero);
    Pointer("/probes/5/deflection/rotor_drive/code").Set(doc, 2);
    Pointer("/probes/5/model_objects").Set(doc, "none");
    Pointer("/header/version").Set(doc, 2);

    const std::string target = temp("target.dt");
    write(target, bytesOf(PROBE_SAMPLE_PROBES));
    const std::string json = temp("faults.json");
    write(json, dump(doc));
    const Result r = run({"import", json, target});
    EXPECT_EQ(r.status, 1);
    for (const char* expected : {
             "датчик 1, /probes/0/piezo_elements/surface_dimensionality/code: число 8",
             "датчик 1, /probes/0/identification/colour: неизвестный ключ",
             "датчик 2, /probes/1/identification/model: знака «✓» (U+2713) нет в кодовой странице "
             "1251",
             "датчик 2, /probes/1/identification/price: ожидается целое число",
             "датчик 3, /probes/2/focusing/other_bits: биты 0x00000100",
             "датчик 3, /probes/2/reserved/bytes_0_7:",
             "датчик 4, /probes/3/identification/date/iso: дата не совпадает",
             "датчик 5, /probes/4/parameters/other/1: текст содержит нулевой знак",
             "датчик 6, /probes/5/deflection/rotor_drive/code: число 2",
             "датчик 6, /probes/5/model_objects: ожидается объект",
             ": /header/version: поддерживается только версия 1",
         })
        EXPECT_NE(r.err.find(expected), std::string::npos) << expected << "\n" << r.err;
    EXPECT_EQ(bytesOf(target), bytesOf(PROBE_SAMPLE_PROBES));

    // Malformed text: the line and column of the fault; a key given twice: its path.
    write(json,
          "{\n  \"header\": {\"format\": \"probe-descriptions\", \"version\": 1},\n"
          "  \"probes\": [{\"identification\": {\"price\": 5,}}]\n}\n");
    const Result syntax = run({"import", json, target});
    EXPECT_EQ(syntax.status, 1);
    EXPECT_NE(syntax.err.find("синтаксическая ошибка JSON в строке 3, столбце 45"),
              std::string::npos)
        << syntax.err;
    write(json, R"({"header": {"format": "probe-descriptions", "version": 1},
                    "probes": [{}, {"identification": {"price": 5, "price": 6}}]})");
    const Result twice = run({"import", json, target});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("датчик 2, /probes/1/identification/price: ключ «price» повторяется"),
              std::string::npos)
        << twice.err;
    EXPECT_EQ(bytesOf(target), bytesOf(PROBE_SAMPLE_PROBES));

    // Keys left out mean "not given"; the one probe appends after the six.
    write(json, R"({"header": {"format": "probe-descriptions", "version": 1},
                    "probes": [{"identification": {"name": "Ёлка", "date": {"iso": "2000-01-01"}}}]})");
    ASSERT_EQ(run({"import", json, target}).status, 0);
    const Json after = parse(run({"export", target}).out);
    const rapidjson::Value& seventh = at(after, "/probes/6");
    EXPECT_EQ(text(seventh, "/identification/name"), "Ёлка");
    EXPECT_EQ(at(seventh, "/identification/date/day_number").GetDouble(), 36526.0);
    EXPECT_EQ(at(seventh, "/focusing/lens_count/code").GetInt(), 0);
}

TEST(ProbetoolUsage, WrongCallsAndUnusableFilesExitWithTwo) {
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("нумеруются с 1"), std::string::npos);
    for (const char* command : {"list", "show", "export", "import", "check", "salvage"})
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;

    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"frob"}).status, 2);
    EXPECT_EQ(run({"list"}).status, 2);
    EXPECT_EQ(run({"show", PROBE_SAMPLE_PROBES, "0"}).status, 2);
    EXPECT_EQ(run({"show", PROBE_SAMPLE_PROBES, "7"}).status, 2);
    EXPECT_EQ(run({"check", temp("missing.dt")}).status, 2);
    EXPECT_EQ(run({"salvage", PROBE_SAMPLE_PROBES, PROBE_SAMPLE_PROBES}).status, 2);
    EXPECT_EQ(run({"import", temp("missing.json"), temp("x.dt")}).status, 2);

    const std::string text = temp("not_probes.dt");
    write(text, "just some text, no probes here");
    const Result notProbes = run({"list", text});
    EXPECT_EQ(notProbes.status, 2);
    EXPECT_NE(notProbes.err.find("не файл датчиков"), std::string::npos);
    // Appending to it is refused before anything is written.
    const std::string json = temp("empty.json");
    write(json, R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [{}]})");
    EXPECT_EQ(run({"import", json, text}).status, 2);
    EXPECT_EQ(bytesOf(text), "just some text, no probes here");
    EXPECT_EQ(run({"import", json, temp("日本.dt")}).status, 2);
}

// No file is lost to a slip of the command line: export writes over nothing without --force,
// never JSON over a probe file, never over its own input; a failed system look names its cause.
TEST(ProbetoolTargets, NothingIsOverwrittenByMistake) {
    const std::string probes = temp("keep.dt"), other = temp("other.dt"), json = temp("old.json");
    write(probes, bytesOf(PROBE_SAMPLE_PROBES));
    write(other, bytesOf(PROBE_SAMPLE_PROBES));
    write(json, R"({"old": "JSON"})");

    const Result overProbes = run({"export", probes, other});
    EXPECT_EQ(overProbes.status, 2);
    EXPECT_NE(overProbes.err.find("файл датчиков: JSON поверх него не записывается"),
              std::string::npos)
        << overProbes.err;
    EXPECT_EQ(run({"export", probes, other, "--force"}).status, 2);
    EXPECT_EQ(run({"export", probes, probes, "--force"}).status, 2);
    EXPECT_EQ(bytesOf(other), bytesOf(PROBE_SAMPLE_PROBES));
    EXPECT_EQ(bytesOf(probes), bytesOf(PROBE_SAMPLE_PROBES));

    const Result noForce = run({"export", probes, json});
    EXPECT_EQ(noForce.status, 2);
    EXPECT_NE(noForce.err.find("--force"), std::string::npos);
    EXPECT_EQ(bytesOf(json), R"({"old": "JSON"})");
    ASSERT_EQ(run({"--force", "export", probes, json}).status, 0);
    EXPECT_EQ(bytesOf(json), run({"export", probes}).out);
    // Only export replaces files.
    EXPECT_EQ(run({"import", json, temp("new.dt"), "--force"}).status, 2);

    // Import into its own input, salvage into its own source: refused, nothing written.
    EXPECT_EQ(run({"import", json, json}).status, 2);
    EXPECT_EQ(bytesOf(json), run({"export", probes}).out);
    EXPECT_EQ(run({"salvage", probes, probes}).status, 2);
    EXPECT_EQ(bytesOf(probes), bytesOf(PROBE_SAMPLE_PROBES));

    // A loop of symbolic links is no missing file.
    const std::string loop = temp("loop.dt");
    std::error_code noLinks;
    fs::create_symlink(fs::path(loop), fs::path(loop), noLinks);
    if (noLinks) return;  // a system without symbolic links
    const Result looped = run({"list", loop});
    EXPECT_EQ(looped.status, 2);
    EXPECT_NE(looped.err.find("петлю"), std::string::npos) << looped.err;
    EXPECT_EQ(looped.err.find("не найден"), std::string::npos) << looped.err;
}

}  // namespace

#if !defined(_WIN32)
namespace {

std::string manyProbes(int count) {
    std::string json = R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [)";
    for (int i = 0; i < count; ++i)
        json += std::string(i == 0 ? "" : ",") + R"({"identification": {"price": )" +
                std::to_string(i) + R"(, "name": "датчик для проверки импорта целиком"}})";
    return json + "]}";
}

}  // namespace

// Import is one unit: killed at any moment it leaves the file with all of the probes or none,
// and what it leaves behind is reported by check.
TEST(ProbetoolImport, KilledImportLeavesAllOrNone) {
    const std::string json = temp("many.json"), target = temp("all_or_none.dt");
    write(json, manyProbes(20000));
    const fs::path program = fs::path(PROBETOOL_PROGRAM);
    std::mt19937 random(7);
    for (int round = 0; round < 6; ++round) {
        write(target, bytesOf(PROBE_SAMPLE_PROBES));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
            ::execl(program.c_str(), "probetool", "import", json.c_str(), target.c_str(), nullptr);
            ::_exit(127);
        }
        ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 400000)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const Result listed = run({"check", target});
        const std::size_t records = at(parse(run({"export", target}).out), "/probes").Size();
        EXPECT_TRUE(records == 6 || records == 20006) << records;
        // The leftover of a cut replacement is named, then removed for the next round.
        for (const auto& entry : fs::directory_iterator(fs::path(target).parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(fs::path(target).filename().string() + ".replacing-", 0) != 0) continue;
            EXPECT_NE(listed.out.find("Незавершённый импорт"), std::string::npos);
            EXPECT_EQ(listed.status, 1);
            fs::remove(entry.path());
        }
    }
}
#endif

// Numbers a double cannot hold are faults named by probe and key; -0 keeps its sign.
TEST(ProbetoolImport, NumbersBeyondDoubleAreFaultsAndNegativeZeroKeepsItsSign) {
    const std::string json = temp("numbers.json"), target = temp("numbers.dt");
    auto document = [](const std::string& value) {
        return R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [{},
                  {"parameters": {"frequency_hz": )" +
               value + "}}]}";
    };
    for (const char* value : {"1e400", "-1e400", "1e-400", "0.0000e-999999999999"}) {
        write(json, document(value));
        const Result r = run({"import", json, target});
        EXPECT_EQ(r.status, std::string(value).find("0000e") != std::string::npos ? 0 : 1) << value;
        if (r.status == 1) {
            EXPECT_NE(r.err.find("датчик 2, /probes/1/parameters/frequency_hz: число"),
                      std::string::npos)
                << value << ": " << r.err;
            EXPECT_FALSE(fs::exists(target));
        }
        fs::remove(target);
    }
    write(json, document("-0"));
    ASSERT_EQ(run({"import", json, target}).status, 0);
    const Json probes = parse(run({"export", target}).out);
    ASSERT_EQ(at(probes, "/probes").Size(), 2u);
    EXPECT_TRUE(std::signbit(at(probes, "/probes/1/parameters/frequency_hz").GetDouble()));
}

// A flipped bit in the file header costs no record: check names the damage and counts the
// intact records, salvage carries every one of them over, and nothing is appended to the file.
TEST(ProbetoolDamagedFile, DamagedHeaderLosesNoRecord) {
    const std::string sample = bytesOf(PROBE_SAMPLE_PROBES);
    for (std::size_t bit : {0u, 70u, 100u, 130u, 191u}) {
        std::string flipped = sample;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        const std::string damaged = temp("damaged_header.dt"), copy = temp("rescued.dt");
        write(damaged, flipped);
        const Result checked = run({"check", damaged});
        EXPECT_EQ(checked.status, 1) << bit;
        EXPECT_NE(checked.out.find("Заголовок файла повреждён; записей: 6, исправных: 6"),
                  std::string::npos)
            << bit << checked.out << checked.err;
        const Result rescued = run({"salvage", damaged, copy});
        EXPECT_EQ(rescued.status, 0) << bit << rescued.err;
        EXPECT_EQ(bytesOf(copy), sample) << bit;
        const std::string json = temp("one.json");
        write(json,
              R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [{}]})");
        EXPECT_EQ(run({"import", json, damaged}).status, 2) << bit;
        EXPECT_EQ(bytesOf(damaged), flipped) << bit;
        fs::remove(copy);
    }
}

namespace {

std::string probeDocument(const std::string& probes) {
    return R"({"header": {"format": "probe-descriptions", "version": 1}, "probes": [)" + probes +
           "]}";
}

}  // namespace

// The document reader's syntax: every form JSON allows is read without a fault, every text that is
// no JSON is refused with one syntax error on its line.
TEST(ProbeJsonReader, ReadsWhatJsonAllowsAndRefusesWhatItDoesNot) {
    for (
        const char* text : {
            R"({"n": [0, 1, -2, 3.5, -0.0, 1e-300, 4e-320, 18446744073709551615, 1E+2,
                       -9223372036854775808, 18446744073709551616, -9223372036854775809]})",
            "\xEF\xBB\xBF {\"bom\": [true, false, null, \"\", {}, []]}\r\n",
            R"({"esc": "\"\\\/\b\f\n\r\t\u0041\u00e9\u0416\u20AC\ud83d\ude00\u0000", "": "Ёж ✓ 😀"})",
            R"([[[[]]], {"k": {"k": {}}}, "a/b~c"])",
        }) {
        probejson::Problems problems;
        EXPECT_TRUE(probejson::checkJsonText(text, problems))
            << text << ": " << problems.kept()[0].message;
    }
    for (const char* text : {"",
                             " ",
                             "{",
                             "[1,]",
                             "[1 2]",
                             "{\"a\" 1}",
                             "{\"a\": 1,}",
                             "{1: 2}",
                             "[01]",
                             "[1.]",
                             "[-]",
                             "[.5]",
                             "[+1]",
                             "[1e]",
                             "[1e+]",
                             "[\"\\x\"]",
                             "[\"\\u12G4\"]",
                             "[\"\\ud800\"]",
                             "[\"\\ud800\\u0041\"]",
                             "[\"\\udc00\"]",
                             "[\"a\tb\"]",
                             "[\"\xC0\xAF\"]",
                             "[\"\xE0\x80\xAF\"]",
                             "[\"\xED\xA0\x80\"]",
                             "[\"\xF4\x90\x80\x80\"]",
                             "[\"\xFF\"]",
                             "[\"\xD0\"]",
                             "[\"abc",
                             "[tru]",
                             "[nul",
                             "{} {}",
                             "[1] x",
                             "\xEF\xBB",
                             "[1}",
                             "{\"a\": 1]"}) {
        probejson::Problems problems;
        EXPECT_FALSE(probejson::checkJsonText(text, problems)) << text;
        ASSERT_EQ(problems.count(), 1u) << text;
        EXPECT_NE(problems.kept()[0].message.find("синтаксическая ошибка JSON в строке 1"),
                  std::string::npos)
            << text << ": " << problems.kept()[0].message;
    }
}

// A document cut anywhere short of its end is refused as one that ended early (the probes read
// before the cut were handed on, and are dropped by the caller for the fault).
TEST(ProbeJsonReader, EveryCutOfADocumentIsRefused) {
    std::string text = run({"export", PROBE_SAMPLE_PROBES}).out;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    for (std::size_t length = 0; length < text.size(); ++length) {
        probejson::Problems problems;
        probejson::readDocument(std::string_view(text).substr(0, length), problems,
                                [](std::size_t, probejson::StagedProbe&) {});
        ASSERT_EQ(problems.count(), 1u) << length;
        EXPECT_NE(problems.kept()[0].message.find("текст кончился раньше, чем значение"),
                  std::string::npos)
            << length << ": " << problems.kept()[0].message;
    }
}

// Hostile shapes: nesting deeper than any probe, a probe object of more keys than any probe has,
// an element of the list that is no object, a key given twice among many; each is named and
// nothing is written.
TEST(ProbetoolImport, HostileDocumentsAreNamedFaults) {
    const std::string json = temp("hostile.json"), target = temp("hostile.dt");
    std::string manyKeys;
    for (int i = 0; i < 40; ++i)
        manyKeys += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ", ";
    std::string hugeObject = "\"u0\": 0";
    for (int i = 1; i <= 5000; ++i) hugeObject += ", \"u" + std::to_string(i) + "\": 0";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {probeDocument("{}, {\"identification\": " + std::string(100000, '[')),
         {"датчик 2, /probes/1/identification/0/0/", "вложены глубже 512 уровней"}},
        {probeDocument("{\"x\": " + std::string(600, '[') + std::string(600, ']') + "}"),
         {"датчик 1, /probes/0/x/0/0/"}},
        {probeDocument("{}, 5, \"text\", [{}]"),
         {"датчик 2, /probes/1: ожидается объект", "датчик 3, /probes/2: ожидается объект",
          "датчик 4, /probes/3: ожидается объект"}},
        {probeDocument("{}, {" + hugeObject + "}"),
         {"датчик 2, /probes/1: в объекте больше 4096 ключей"}},
        {probeDocument("{\"identification\": {" + manyKeys + "\"k7\": 0}}"),
         {"датчик 1, /probes/0/identification/k7: ключ «k7» повторяется",
          "датчик 1, /probes/0/identification/k39: неизвестный ключ"}},
    };
    for (const auto& [document, expected] : cases) {
        write(json, document);
        const Result r = run({"import", json, target});
        EXPECT_EQ(r.status, 1) << r.err;
        for (const std::string& e : expected)
            EXPECT_NE(r.err.find(e), std::string::npos) << e << "\n" << r.err.substr(0, 2000);
        EXPECT_FALSE(fs::exists(target));
    }
}

// A document of far more faults than are kept: the first ones are kept and named (each cut to a
// bounded length however long its key), all of them are counted exactly, nothing is written.
TEST(ProbetoolImport, FaultsBeyondTheKeptOnesAreCountedExactly) {
    const std::string longKey(3000, 'k');
    std::string probes = "{\"" + longKey + "\": 1}";
    for (int i = 0; i < 3000; ++i) probes += ", null";
    probes += ", {";
    for (int i = 0; i < 2000; ++i) probes += (i ? ", \"u" : "\"u") + std::to_string(i) + "\": 0";
    probes += ", \"u0\": 1}";  // a key given twice: a fault of the reader
    const std::string text = probeDocument(probes);
    const std::size_t faults = 1 + 3000 + 2000 + 1;

    probejson::Problems problems;
    probejson::readDocument(text, problems, [](std::size_t, probejson::StagedProbe&) {});
    EXPECT_EQ(problems.count(), faults);
    ASSERT_EQ(problems.kept().size(), probejson::Problems::kKept);
    const probejson::Problem& first = problems.kept().front();
    EXPECT_EQ(first.path.substr(0, 13), "/probes/0/kkk");
    EXPECT_LE(first.path.size(), probejson::Problems::kLongestText + 3);
    EXPECT_LE(first.message.size(), probejson::Problems::kLongestText + 3);
    EXPECT_EQ(problems.kept().back().path, "/probes/999");

    const std::string json = temp("many_faults.json"), target = temp("many_faults.dt");
    write(json, text);
    const Result r = run({"import", json, target});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("датчик 100, /probes/99: ожидается объект\n… и ещё ошибок: " +
                         std::to_string(faults - 100) + "\n"),
              std::string::npos)
        << r.err.substr(r.err.size() - 500);
    EXPECT_NE(r.err.find("Ничего не добавлено: ошибок в «" + json + "»: " + std::to_string(faults)),
              std::string::npos);
    EXPECT_FALSE(fs::exists(target));
}

// Where a syntax error is reported: the line and column of the character at which reading
// stopped, for each kind of fault the reader finds inside a token or between tokens.
TEST(ProbeJsonReader, SyntaxErrorsNameTheLineAndColumnOfTheFault) {
    const std::string head = "{\"header\": {\"format\": \"probe-descriptions\", \"version\": 1},\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + " \"probes\": [{\"a\": \"x\\qy\"}]}", "строке 2, столбце 22"},        // escape
        {head + " \"probes\": [{\"a\": \"x\xFFy\"}]}", "строке 2, столбце 21"},       // UTF-8
        {head + " \"probes\": [{\"a\": \"\\ud800x\"}]}", "строке 2, столбце 26"},     // surrogate
        {head + " \"probes\": [{\"a\": 01}]}", "строке 2, столбце 20"},               // number
        {head + " \"probes\": [{\"a\": -x}]}", "строке 2, столбце 20"},               // number
        {head + " \"probes\": [{\"a\": nul}]}", "строке 2, столбце 22"},              // literal
        {head + " \"probes\": [{\"a\" 1}]}", "строке 2, столбце 18"},                 // colon
        {head + "\n\n \"probes\": [{\"ж\": \"ёж\", 1}]}", "строке 4, столбце 25"},    // key
        {head + " \"probes\": [{\"a\": \"ж", "текст кончился раньше, чем значение"},  // cut
    };
    for (const auto& [text, expected] : cases) {
        probejson::Problems problems;
        probejson::readDocument(text, problems, [](std::size_t, probejson::StagedProbe&) {});
        ASSERT_EQ(problems.count(), 1u) << text;
        EXPECT_NE(problems.kept()[0].message.find(expected), std::string::npos)
            << text << "\n"
            << problems.kept()[0].message;
    }
}

// Escapes and a byte order mark are read as the JSON library reads them: an escaped key is the
// same key (and given twice when it repeats one), escaped texts land in the record as their
// characters and come back from export as the same values.
TEST(ProbetoolImport, EscapedKeysAndTextsAreTheirCharacters) {
    const std::string json = temp("escaped.json"), target = temp("escaped.dt");
    write(json, "\xEF\xBB\xBF" + probeDocument(R"({"identification": {
        "n\u0061me": "a\"b\\c\/d\te", "model": "\u0416\u0451\u00ab\u2116\u00bb",
        "compatible_instruments": ["\u0000"]}})"));
    const Result nul = run({"import", json, target});
    EXPECT_EQ(nul.status, 1);
    EXPECT_NE(nul.err.find("/probes/0/identification/compatible_instruments/0: текст содержит "
                           "нулевой знак"),
              std::string::npos)
        << nul.err;

    write(json, "\xEF\xBB\xBF" + probeDocument(R"({"identification": {
        "n\u0061me": "a\"b\\c\/d\te", "model": "\u0416\u0451\u00ab\u2116\u00bb"}})"));
    ASSERT_EQ(run({"import", json, target}).status, 0);
    const Json probe = parse(run({"export", target}).out);
    EXPECT_EQ(text(probe, "/probes/0/identification/name"), "a\"b\\c/d\te");
    EXPECT_EQ(text(probe, "/probes/0/identification/model"), "Жё«№»");

    write(json, probeDocument(R"({"identification": {"price": 1, "pri\u0063e": 2}})"));
    const Result twice = run({"import", json, temp("twice.dt")});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("/probes/0/identification/price: ключ «price» повторяется"),
              std::string::npos)
        << twice.err;
}

namespace {

// Salvage of a surface file: a damaged surface and a flipped bit of the header cost only that
// surface; the rescued file is new, whole and byte for byte what the writer makes of the rest; an
// existing file is never written into.
TEST(ProbetoolSurfaces, SalvageCopiesEveryIntactSurfaceIntoANewFile) {
    namespace pv = surfaces::pv;
    std::vector<pv::Surface> surfaces(3);
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        surfaces[i].name = "surface " + std::to_string(i);
        surfaces[i].vertices = {0, 0, 0, 1, 0, 0, 0, 1, static_cast<double>(i)};
        surfaces[i].triangles = {0, 1, 2};
    }
    const std::string block1 = pv::encodeBlock(surfaces[1]);
    const std::string intact =
        pv::encodeHeader() + pv::encodeBlock(surfaces[0]) + block1 + pv::encodeBlock(surfaces[2]);
    std::string damaged = intact;
    damaged[3] = static_cast<char>(damaged[3] ^ 0x10);  // the magic
    damaged[pv::kHeaderSize + pv::encodeBlock(surfaces[0]).size() + block1.size() - 3] ^= 1;
    const std::string source = temp("damaged.pv"), rescued = temp("rescued.pv");
    write(source, damaged);

    Result r = run({"salvage", source, rescued});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("Записано поверхностей: 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("потеряно: 1 (номер 2)"), std::string::npos) << r.out;
    EXPECT_EQ(bytesOf(rescued),
              pv::encodeHeader() + pv::encodeBlock(surfaces[0]) + pv::encodeBlock(surfaces[2]));

    // Into an existing file: refused, the file untouched; an intact file is copied as it is.
    r = run({"salvage", source, rescued});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(run({"salvage", source, source}).status, 2);
    EXPECT_EQ(bytesOf(source), damaged);
    const std::string whole = temp("whole.pv"), copy = temp("copy.PV");
    write(whole, intact);
    EXPECT_EQ(run({"salvage", whole, copy}).status, 0);
    EXPECT_EQ(bytesOf(copy), intact);
    // A file with no surface to rescue leaves no target behind.
    const std::string text = temp("text.pv"), nothing = temp("nothing.pv");
    write(text, "не поверхности");
    EXPECT_EQ(run({"salvage", text, nothing}).status, 2);
    EXPECT_FALSE(fs::exists(fs::path(std::u8string(nothing.begin(), nothing.end()))));
}

// A header size flipped onto a block boundary hides no surface from check or salvage.
TEST(ProbetoolSurfaces, HeaderSizeOnABlockBoundaryIsReportedAndEverySurfaceKept) {
    namespace pv = surfaces::pv;
    std::vector<pv::Surface> surfaces(11);
    std::string bytes = pv::encodeHeader();
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        surfaces[i].name = std::string(38, static_cast<char>('a' + i));
        surfaces[i].vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        bytes += pv::encodeBlock(surfaces[i]);
    }
    const std::string intact = bytes;
    bytes[11] = static_cast<char>(bytes[11] ^ 0x04);  // header size 16 -> 1040
    const std::string source = temp("flipped.pv"), rescued = temp("rescued.pv");
    write(source, bytes);
    Result r = run({"check", source});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Поверхностей: 11, исправных: 11"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("повреждён"), std::string::npos) << r.out;
    r = run({"salvage", source, rescued});
    EXPECT_NE(r.out.find("Записано поверхностей: 11"), std::string::npos) << r.out;
    EXPECT_EQ(bytesOf(rescued), intact);
}

}  // namespace

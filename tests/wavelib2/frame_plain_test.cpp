// wavelib2 beside a wavelib that exports its request under the plain name only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/environment.h"
#include "tests/wavelib2/wavelib2_library.h"

// Doubles of the packed wave records are checked as values (+x): the checks take their
// arguments by reference, and a reference to such a double promises 8-byte alignment.
namespace {

using LastRequestFn = const char* (*)();

TEST(PlainWavelibTest, IsBoundThroughThePlainNameAndGetsEveryOtherRequest) {
    Wavelib2Library lib;
    ASSERT_TRUE(lib.loaded()) << platform::lastErrorText();
    platform::Module wavelib = platform::loadLibrary("wavelib.dll");  // the one wavelib2 bound
    ASSERT_NE(wavelib, nullptr);
    auto lastRequest =
        reinterpret_cast<LastRequestFn>(platform::findExport(wavelib, "FixtureLastRequest"));
    ASSERT_NE(lastRequest, nullptr);

    const WaveProcessorTable11 t = lib.table11();
    ASSERT_NE(t.errorText, nullptr);
    EXPECT_STREQ(t.errorText(), "fixture wavelib");

    const std::string longer = std::string(kWaveProcessorTable11Name) + "1";
    std::array<TableCell, 14> cells{};
    EXPECT_EQ(lib.request(cells.data(), sizeof(cells), longer.c_str()), nullptr);
    EXPECT_EQ(lastRequest(), longer);

    // Entry 6 of version 1.1 runs this wavelib's step, then moves the waves on by it.
    Ray ray{};
    Wave wave{};
    WaveSet s{};
    s.rays = &ray;
    s.waves = &wave;
    s.count = 1;
    s.medium.speed = 2.0;
    ASSERT_TRUE(isTrue(t.prodvinutVolny(&s, 3.0)));
    EXPECT_EQ(+wave.path, 3.0);
    EXPECT_EQ(+wave.time2, 1.5);
    platform::freeLibrary(wavelib);
}

TEST(PlainWavelibTest, NoVersion10TableRefusesTheLoad) {
    {
        testenv::Scoped noTable("FIXTURE_WAVELIB_NO_TABLE", "1");
        Wavelib2Library lib;
        EXPECT_FALSE(lib.loaded());
        EXPECT_EQ(platform::lastErrorCode(), platform::kErrorDllInitFailed);
    }
    Wavelib2Library again;
    EXPECT_TRUE(again.loaded());
}

}  // namespace

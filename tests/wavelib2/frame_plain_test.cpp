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

    const TablicaVolny11 t = lib.table11();
    ASSERT_NE(t.tekstOshibki, nullptr);
    EXPECT_STREQ(t.tekstOshibki(), "fixture wavelib");

    const std::string longer = std::string(kImyaTablicy11) + "1";
    std::array<TableCell, 14> cells{};
    EXPECT_EQ(lib.request(cells.data(), sizeof(cells), longer.c_str()), nullptr);
    EXPECT_EQ(lastRequest(), longer);

    // Entry 6 of version 1.1 runs this wavelib's step, then moves the waves on by it.
    Luch luch{};
    Volna volna{};
    NaborVoln s{};
    s.luchi = &luch;
    s.volny = &volna;
    s.chislo = 1;
    s.sreda.skorost = 2.0;
    ASSERT_TRUE(isTrue(t.prodvinutVolny(&s, 3.0)));
    EXPECT_EQ(+volna.put, 3.0);
    EXPECT_EQ(+volna.vremya2, 1.5);
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

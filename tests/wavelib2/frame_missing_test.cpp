// wavelib2 in a folder without wavelib.
#include <gtest/gtest.h>

#include "tests/wavelib2/wavelib2_library.h"

namespace {

TEST(MissingWavelibTest, Wavelib2CannotBeLoaded) {
    Wavelib2Library lib;
    EXPECT_EQ(lib.module(), nullptr);
    EXPECT_EQ(platform::lastErrorCode(), platform::kErrorDllInitFailed);
}

}  // namespace

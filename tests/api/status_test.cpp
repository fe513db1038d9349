#include "plover.h"

#include <gtest/gtest.h>

TEST(status, version) {
    EXPECT_STREQ(lib_version(), "0.1.0");
    EXPECT_EQ(lib_version(), get_version());
}

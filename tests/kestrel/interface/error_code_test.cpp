// The one mapping between cell error values and the public ErrorCodeEnum.
#include "kestrel/interface/error_code.h"

#include <gtest/gtest.h>

namespace {

using vex::mta::error_value_enum;

TEST(error_code, both_ways_for_every_error) {
    const struct {
        error_value_enum value;
        int code;
        const char* literal;
    } rows[] = {
        {error_value_enum::null, ERRORCODE_NULL, "#NULL!"},
        {error_value_enum::div0, ERRORCODE_DIV0, "#DIV/0!"},
        {error_value_enum::value, ERRORCODE_VALUE, "#VALUE!"},
        {error_value_enum::ref, ERRORCODE_REF, "#REF!"},
        {error_value_enum::name, ERRORCODE_NAME, "#NAME?"},
        {error_value_enum::num, ERRORCODE_NUM, "#NUM!"},
        {error_value_enum::na, ERRORCODE_NA, "#N/A"},
        {error_value_enum::getting_data, ERRORCODE_GETTING_DATA, "#GETTING_DATA"},
        {error_value_enum::spill, ERRORCODE_SPILL, "#SPILL!"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(vex::to_public_error_code(r.value), r.code) << r.literal;
        EXPECT_EQ(vex::from_public_error_code(r.code), r.value) << r.literal;
        EXPECT_EQ(vex::mta::cell_t::get_error_string(r.value), r.literal);
    }
}

TEST(error_code, codes_outside_the_enumeration_map_to_nothing) {
    for (int code : {int{ERRORCODE_NONE}, 10, -1, -2147483647 - 1, 2147483647})
        EXPECT_FALSE(vex::from_public_error_code(code).has_value()) << code;
}

} // namespace

#include "mta/formula/function_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using vex::mta::formula::function_count;
using vex::mta::formula::function_name;
using vex::mta::formula::lookup_function_id;

TEST(function_table, names_give_their_ids) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"ABS", 1},           {"AGGREGATE", 8},   {"ADDRESS", 9},      {"ATAN2", 20},  {"BETADIST", 33},
        {"BETA.DIST", 34},    {"DAYS360", 114},   {"FALSE", 158},      {"IF", 209},    {"LOG10", 273},
        {"NOW", 321},         {"PERCENTILE.INC", 338}, {"PERCENTILE", 339}, {"STOCKHISTORY", 410},
        {"STDEV", 411},       {"SUM", 420},       {"sum", 420},        {"Sum", 420},   {"SWITCH", 428},
        {"switch", 428},      {"TRUE", 452},      {"Z.TEST", 488},     {"ZTEST", 489}, {"forecast.ets.seasonality", 178},
    };
    for (const auto& [name, id] : cases) EXPECT_EQ(lookup_function_id(name), id) << name;
}

TEST(function_table, anything_but_a_whole_name_gives_0) {
    for (const char* name : {"", " SUM", "SUM ", "SUM(", "SU", "SUMM", "A1", "Z.TES", "ZTESTS",
                             "FORECAST.ETS.SEASONALITYX", "\xC5\xBFUM"}) {
        EXPECT_EQ(lookup_function_id(name), 0u) << name;
    }
    EXPECT_EQ(lookup_function_id(std::string_view("SUM\0", 4)), 0u);
    EXPECT_EQ(lookup_function_id(std::string(10000, 'A')), 0u);
}

TEST(function_table, every_id_names_a_distinct_function) {
    std::set<std::string> names;
    for (uint32_t id = 1; id <= function_count; ++id) {
        const auto name = function_name(id);
        ASSERT_FALSE(name.empty()) << id;
        names.emplace(name);
        EXPECT_EQ(lookup_function_id(name), id) << name;
    }
    EXPECT_EQ(names.size(), 489u);
    // Case does not matter to the index either, and cells are no functions.
    for (const std::string& name : names) {
        std::string lower = name;
        for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        EXPECT_EQ(lookup_function_id(lower), lookup_function_id(name)) << lower;
    }
    for (const char* cell : {"A1", "B10", "$A$1", "$C3", "XFD1048576", "a1"}) EXPECT_EQ(lookup_function_id(cell), 0u) << cell;
    EXPECT_EQ(function_name(0), "");
    EXPECT_EQ(function_name(490), "");
}

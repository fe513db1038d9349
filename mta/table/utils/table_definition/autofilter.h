#pragma once
// The filter and sort records of an autoFilter or sortState element, shared by
// tables and sheets. An auto-filter record holds every filter column read or set.

#include "coord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

// The names of each enumeration, in value order, as the readers look them up
// and the writers write them.
namespace filter_lists {
inline constexpr std::string_view table_type = "worksheet, queryTable, xml";
inline constexpr std::string_view totals_function =
    "none, average, count, countNums, custom, min, max, stdDev, sum, var";
inline constexpr std::string_view filter_operator =
    "equal, notEqual, lessThan, lessThanOrEqual, greaterThan, greaterThanOrEqual";
inline constexpr std::string_view dynamic_filter =
    "null, belowAverage, aboveAverage, M1, M2, M3, M4, M5, M6, M7, M8, M9, M10, M11, M12, Q1, Q2, Q3, Q4, "
    "yesterday, today, tomorrow, yearToDate, lastWeek, thisWeek, nextWeek, lastMonth, thisMonth, nextMonth, "
    "lastQuarter, thisQuarter, nextQuarter, lastYear, thisYear, nextYear";
inline constexpr std::string_view calendar_type =
    "none, gregorian, gregorianArabic, gregorianMeFrench, gregorianUs, gregorianXlitEnglish, gregorianXlitFrench, "
    "hebrew, hijri, japan, korea, saka, taiwan, thai";
inline constexpr std::string_view date_grouping = "second, minute, hour, day, month, year";
inline constexpr std::string_view icon_set =
    "___3Arrows, ___3ArrowsGray, ___3Flags, ___3Signs, ___3Symbols, ___3Symbols2, ___3TrafficLights1, "
    "___3TrafficLights2, ___4Arrows, ___4ArrowsGray, ___4Rating, ___4RedToBlack, ___4TrafficLights, ___5Arrows, "
    "___5ArrowsGray, ___5Quarters, ___5Rating";
inline constexpr std::string_view sort_method = "none, pinYin, stroke";
inline constexpr std::string_view sort_by = "value, cellColor, fontColor, icon";
} // namespace filter_lists

struct color_filter_t {
    uint8_t cell_color = 1;
    int32_t dxf_id = -1;
};

struct custom_filter_t {
    uint32_t op = 0;
    std::string value;
};

struct custom_filters_t {
    uint8_t and_ = 0;
    std::vector<custom_filter_t> filters;
};

struct dynamic_filter_t {
    uint32_t type = 0;
    double max_val_iso = 0;
    double val_iso = 0;
    double val = 0;
};

struct date_group_item_t {
    uint32_t grouping = 0;
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct filters_t {
    uint8_t blank = 0;
    uint32_t calendar_type = 0;
    std::vector<std::string> values;
    std::vector<date_group_item_t> date_groups;
};

struct icon_filter_t {
    uint32_t icon_set = 0;
    int32_t icon_id = -1;
};

struct top10_t {
    uint8_t top = 1;
    uint8_t percent = 0;
    double val = 0;
    double filter_val = 0;
};

struct sort_condition_t {
    uint8_t descending = 0;
    uint32_t sort_by = 0;
    uint32_t icon_set = 0;
    range_t ref{};
    int32_t dxf_id = -1;
    int32_t icon_id = -1;
    std::string custom_list;
};

struct sort_state_t {
    uint8_t case_sensitive = 0;
    uint8_t column_sort = 0;
    uint32_t sort_method = 0;
    range_t ref{};
    std::vector<sort_condition_t> conditions;  // the sort keys, in order
};

// One filterColumn: the criteria of that column, each kind at most once.
struct filter_column_t {
    int32_t col_id = -1;
    uint8_t hidden_button = 0;
    uint8_t show_button = 1;
    std::unique_ptr<color_filter_t> color_filter;
    std::unique_ptr<custom_filters_t> custom_filters;
    std::unique_ptr<dynamic_filter_t> dynamic_filter;
    std::unique_ptr<filters_t> filters;
    std::unique_ptr<icon_filter_t> icon_filter;
    std::unique_ptr<top10_t> top10;
};

struct autofilter_t {
    range_t range{};
    std::vector<filter_column_t> columns;  // in document order
    std::unique_ptr<sort_state_t> sort_state;
};

} // namespace vex

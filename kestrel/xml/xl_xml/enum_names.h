#pragma once
// The XML names of the enumerations the parts carry. Each enumeration has one
// comma-separated list, scanned by its reader and indexed by its writer, so the
// two never disagree. A name that cannot be an identifier ("default") is kept
// with three leading underscores, which are never written.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vex {

struct enum_name_entry_t {
    const char* text = nullptr;
    uint32_t length = 0;
};

// The name as written: empty for an empty entry, without the "___" prefix.
constexpr std::string_view enum_name_string(const enum_name_entry_t& e) noexcept {
    if (!e.text || e.length == 0) return {};
    const std::string_view s(e.text, e.length);
    return s.starts_with("___") ? s.substr(3) : s;
}

constexpr size_t enum_name_count(std::string_view list) noexcept {
    size_t n = list.empty() ? 0 : 1;
    for (const char c : list) n += c == ',';
    return n;
}

// Splits a list at its commas, dropping the blanks after each comma.
template <size_t N>
constexpr std::array<enum_name_entry_t, N> split_enum_names(std::string_view list) noexcept {
    std::array<enum_name_entry_t, N> out{};
    size_t i = 0;
    while (i < N && !list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        out[i++] = {name.data(), static_cast<uint32_t>(name.size())};
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
        while (!list.empty() && list.front() == ' ') list.remove_prefix(1);
    }
    return out;
}

// A name by value; empty past the table.
template <size_t N>
constexpr std::string_view enum_name_or_empty(const std::array<enum_name_entry_t, N>& table, uint64_t value) noexcept {
    return value < N ? enum_name_string(table[value]) : std::string_view{};
}

// A name by value; past the table throws std::runtime_error
// "Enumeration subscript out of bounds: <value>"".
[[noreturn]] void throw_enum_subscript(int64_t value);
template <size_t N>
std::string_view enum_name_checked(const std::array<enum_name_entry_t, N>& table, int64_t value) {
    if (value < 0 || static_cast<uint64_t>(value) >= N) throw_enum_subscript(value);
    return enum_name_string(table[static_cast<size_t>(value)]);
}

// The index of a name in a table (the "___" prefix ignored); `fallback` when absent.
template <size_t N>
constexpr uint32_t enum_value_of(const std::array<enum_name_entry_t, N>& table, std::string_view name,
                                 uint32_t fallback) noexcept {
    for (size_t i = 0; i < N; ++i)
        if (!name.empty() && enum_name_string(table[i]) == name) return static_cast<uint32_t>(i);
    return fallback;
}

namespace enum_lists {
inline constexpr std::string_view sheet_state = "visible, hidden, veryHidden";
inline constexpr std::string_view calc_mode = "auto, autoNoTable, manual";
// The children of a workbook, in schema order.
inline constexpr std::string_view workbook_elements =
    "fileVersion, fileSharing, workbookPr, workbookProtection, bookViews, sheets, functionGroups, "
    "externalReferences, definedNames, calcPr, oleSize, customWorkbookViews, pivotCaches, smartTagPr, "
    "smartTagTypes, webPublishing, fileRecoveryPr, webPublishObjects, extLst";
inline constexpr std::string_view space = "___default, preserve";
inline constexpr std::string_view underline = "none, single, singleAccounting, double, doubleAccounting";
inline constexpr std::string_view vert_align = "baseline, subscript, superscript";
inline constexpr std::string_view font_scheme = "none, minor, major";
inline constexpr std::string_view phonetic_type = "fullwidthKatakana, halfwidthKatakana, Hiragana, noConversion";
inline constexpr std::string_view phonetic_alignment = "noControl, center, left, distributed";
inline constexpr std::string_view pattern_type =
    "none, solid, mediumGray, darkUp, darkDown, darkVertical, darkHorizontal, darkGray, darkGrid, darkTrellis, "
    "gray0625, gray125, lightUp, lightDown, lightVertical, lightHorizontal, lightTrellis, lightGray, lightGrid";
inline constexpr std::string_view gradient_type = "linear, path";
inline constexpr std::string_view border_style =
    "none, thin, dashed, dashDot, dashDotDot, dotted, hair, medium, mediumDashed, mediumDashDot, "
    "mediumDashDotDot, slantDashDot, double, thick";
inline constexpr std::string_view horizontal_alignment =
    "general, left, center, right, fill, justify, centerContinuous, distributed";
inline constexpr std::string_view vertical_alignment = "bottom, center, top, justify, distributed";
inline constexpr std::string_view table_style_type =
    "blankRow, firstColumn, firstColumnStripe, firstColumnSubheading, firstHeaderCell, firstRowStripe, "
    "firstRowSubheading, firstSubtotalColumn, firstSubtotalRow, firstTotalCell, headerRow, lastColumn, "
    "lastHeaderCell, lastTotalCell, pageFieldLabels, pageFieldValues, secondColumnStripe, "
    "secondColumnSubheading, secondRowStripe, secondRowSubheading, secondSubtotalColumn, secondSubtotalRow, "
    "thirdColumnSubheading, thirdRowSubheading, thirdSubtotalColumn, thirdSubtotalRow, totalRow, wholeTable";
inline constexpr std::string_view validation_error_style = "information, stop, warning";
inline constexpr std::string_view validation_ime_mode =
    "disabled, noControl, on, off, hiragana, halfAlpha, halfHangul, halfKatakana, fullAlpha, fullHangul, "
    "fullKatakana";
inline constexpr std::string_view validation_operator =
    "equal, notEqual, lessThan, lessThanOrEqual, greaterThan, greaterThanOrEqual, between, notBetween";
inline constexpr std::string_view validation_type = "none, custom, time, date, decimal, textLength, list, whole";
inline constexpr std::string_view pivot_axis = "axisValues, axisCol, axisRow, axisPage";
inline constexpr std::string_view pivot_area_type = "none, normal, origin, topEnd, data, button, all";
inline constexpr std::string_view consolidation_function =
    "average, count, countNums, max, min, product, stdDev, stdDevp, sum, var, varp";
} // namespace enum_lists

#define VEX_ENUM_NAMES(table, list) \
    inline constexpr auto table = split_enum_names<enum_name_count(list)>(list)

VEX_ENUM_NAMES(sheet_state_names, enum_lists::sheet_state);
VEX_ENUM_NAMES(calc_mode_names, enum_lists::calc_mode);
VEX_ENUM_NAMES(workbook_element_names, enum_lists::workbook_elements);
VEX_ENUM_NAMES(space_names, enum_lists::space);
VEX_ENUM_NAMES(underline_names, enum_lists::underline);
VEX_ENUM_NAMES(vert_align_names, enum_lists::vert_align);
VEX_ENUM_NAMES(font_scheme_names, enum_lists::font_scheme);
VEX_ENUM_NAMES(phonetic_type_names, enum_lists::phonetic_type);
VEX_ENUM_NAMES(phonetic_alignment_names, enum_lists::phonetic_alignment);
VEX_ENUM_NAMES(pattern_type_names, enum_lists::pattern_type);
VEX_ENUM_NAMES(gradient_type_names, enum_lists::gradient_type);
VEX_ENUM_NAMES(border_style_names, enum_lists::border_style);
VEX_ENUM_NAMES(horizontal_alignment_names, enum_lists::horizontal_alignment);
VEX_ENUM_NAMES(vertical_alignment_names, enum_lists::vertical_alignment);
VEX_ENUM_NAMES(table_style_type_names, enum_lists::table_style_type);
VEX_ENUM_NAMES(validation_error_style_names, enum_lists::validation_error_style);
VEX_ENUM_NAMES(validation_ime_mode_names, enum_lists::validation_ime_mode);
VEX_ENUM_NAMES(validation_operator_names, enum_lists::validation_operator);
VEX_ENUM_NAMES(validation_type_names, enum_lists::validation_type);
VEX_ENUM_NAMES(pivot_axis_names, enum_lists::pivot_axis);
VEX_ENUM_NAMES(pivot_area_type_names, enum_lists::pivot_area_type);

#undef VEX_ENUM_NAMES

} // namespace vex

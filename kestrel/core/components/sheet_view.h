#pragma once
// The view records of a sheet as its sheetView, pane, selection,
// pivotSelection and customSheetView elements hold them. The readers fill them and the writers
// write them back; the worksheet component works on the first view.

#include "coord.h"
#include "kestrel/core/components/page_setup.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

// A selection's ranges in the order they were added, each once: the saved
// sqref keeps that order.
class sqref_t {
public:
    // False, adding nothing, for a range held already.
    bool add(const range_t& r);
    const std::vector<range_t>& ranges() const noexcept { return ranges_; }
    bool empty() const noexcept { return ranges_.empty(); }
    size_t size() const noexcept { return ranges_.size(); }

private:
    std::vector<range_t> ranges_;
};

struct pane_t {
    uint32_t active_pane = 0;  // 0 topLeft, 1 topRight, 2 bottomLeft, 3 bottomRight
    uint32_t state = 2;        // 0 frozen, 1 frozenSplit, 2 split
    coord_t top_left_cell{};   // row and column 0 when not set
    double x_split = 0.0;
    double y_split = 0.0;
};

struct selection_t {
    uint32_t pane = 0;  // codes of pane_t::active_pane
    coord_t active_cell{};
    sqref_t sqref;
    uint32_t active_cell_id = 0;
};

// A pivot table's structure selected in a view (pivotSelection with its
// pivotArea), carried from the reader to the writer; nothing else reads it.
// Flags hold the attribute values, absent ones as the format's defaults.
struct pivot_reference_t {
    enum flag : uint16_t {
        selected = 1u << 0,
        by_position = 1u << 1,
        relative = 1u << 2,
        // The subtotal flags follow, in the order of pivot_reference_flag_names.
    };
    static constexpr uint16_t default_flags = selected;
    std::optional<uint32_t> field;
    std::optional<uint32_t> count;
    uint16_t flags = default_flags;
    std::vector<uint32_t> items;  // the x elements' indexes
};

struct pivot_area_t {
    enum flag : uint8_t {
        data_only = 1u << 0,
        label_only = 1u << 1,
        grand_row = 1u << 2,
        grand_col = 1u << 3,
        cache_index = 1u << 4,
        outline = 1u << 5,
        collapsed_levels_are_subtotals = 1u << 6,
    };
    static constexpr uint8_t default_flags = data_only | outline;
    std::optional<int32_t> field;
    uint32_t type = 1;  // codes of pivot_area_type_names; 1 normal
    uint8_t flags = default_flags;
    std::string offset;
    std::optional<uint32_t> axis;  // codes of pivot_axis_names
    std::optional<uint32_t> field_position;
    bool has_references = false;
    std::optional<uint32_t> reference_count;  // the references element's, as read
    std::vector<pivot_reference_t> references;
};

struct pivot_selection_t {
    enum flag : uint8_t {
        show_header = 1u << 0,
        label = 1u << 1,
        data = 1u << 2,
        extendable = 1u << 3,
    };
    // The unsigned attributes, all 0 by default.
    enum number : uint8_t {
        count, dimension, start, min, max, active_row, active_col, previous_row, previous_col, click
    };
    uint32_t pane = 0;  // codes of pane_t::active_pane
    uint8_t flags = 0;
    std::array<uint32_t, 10> numbers{};
    std::optional<uint32_t> axis;
    std::string relationship_id;  // as read; the save writes the Id it gives the same target
    pivot_area_t area;
};

// Attribute names by bit (flags) or by index (numbers), for the reader and the writer.
inline constexpr std::array<std::string_view, 4> pivot_selection_flag_names = {"showHeader", "label", "data",
                                                                               "extendable"};
inline constexpr std::array<std::string_view, 10> pivot_selection_number_names = {
    "count", "dimension", "start", "min", "max", "activeRow", "activeCol", "previousRow", "previousCol", "click"};
inline constexpr std::array<std::string_view, 7> pivot_area_flag_names = {
    "dataOnly", "labelOnly", "grandRow", "grandCol", "cacheIndex", "outline", "collapsedLevelsAreSubtotals"};
inline constexpr std::array<std::string_view, 15> pivot_reference_flag_names = {
    "selected",       "byPosition",  "relative",        "defaultSubtotal", "sumSubtotal",
    "countASubtotal", "avgSubtotal", "maxSubtotal",     "minSubtotal",     "productSubtotal",
    "countSubtotal",  "stdDevSubtotal", "stdDevPSubtotal", "varSubtotal",  "varPSubtotal"};

struct sheet_view_extension_t {
    std::string uri;
    std::string content;
};

struct sheet_view_t {
    enum flag : uint16_t {
        default_grid_color = 1u << 0,
        right_to_left = 1u << 1,
        show_formulas = 1u << 2,
        show_grid_lines = 1u << 3,
        show_outline_symbols = 1u << 4,
        show_row_col_headers = 1u << 5,
        show_ruler = 1u << 6,
        show_white_space = 1u << 7,
        show_zeros = 1u << 8,
        tab_selected = 1u << 9,
        window_protection = 1u << 10,
    };
    // What a view is when its element leaves the attributes out.
    static constexpr uint16_t default_flags = default_grid_color | show_grid_lines | show_outline_symbols |
                                              show_row_col_headers | show_ruler | show_white_space | show_zeros;

    bool has(flag f) const noexcept { return (flags & f) != 0; }
    void set(flag f, bool on) noexcept { flags = on ? uint16_t(flags | f) : uint16_t(flags & ~f); }

    uint16_t flags = default_flags;
    uint32_t view = 0;  // 0 normal, 1 pageBreakPreview, 2 pageLayout
    coord_t top_left_cell{};
    uint32_t color_id = 0;
    uint32_t workbook_view_id = 0;
    uint32_t zoom_scale = 0;  // percent; 0 when not set
    uint32_t zoom_scale_normal = 0;
    uint32_t zoom_scale_page_layout_view = 0;
    uint32_t zoom_scale_sheet_layout_view = 0;
    std::unique_ptr<pane_t> pane;
    std::vector<pivot_selection_t> pivot_selections;
    std::vector<selection_t> selections;
    std::unique_ptr<sheet_view_extension_t> extension;
};

struct custom_sheet_view_t {
    bool filter = false;
    bool filter_unique = false;
    bool fit_to_page = false;
    bool hidden_columns = false;
    bool hidden_rows = false;
    bool outline_symbols = false;
    bool print_area = false;
    bool show_auto_filter = false;
    bool show_formulas = false;
    bool show_grid_lines = false;
    bool show_page_breaks = false;
    bool show_row_col = false;
    bool show_ruler = false;
    bool zero_values = false;
    uint32_t color_id = 0;
    uint32_t scale = 0;
    uint32_t state = 0;
    uint32_t view = 0;
    coord_t top_left_cell{};
    std::string guid;
    std::unique_ptr<pane_t> pane;
    std::vector<selection_t> selections;
    print_settings_t print;
};

// The sheetFormatPr record; absent until one is read.
struct sheet_format_t {
    uint32_t base_col_width = 8;
    double default_col_width = 0.0;
    double default_row_height = 0.0;
    bool custom_height = false;
    bool zero_height = false;
    bool thick_top = false;
    bool thick_bottom = false;
    uint8_t outline_level_row = 0;
    uint8_t outline_level_col = 0;
};

} // namespace vex

#pragma once
// The view records of a sheet as its sheetView, pane, selection and
// customSheetView elements hold them. The readers fill them and the writers
// write them back; the worksheet component works on the first view.

#include "coord.h"
#include "kestrel/core/components/page_setup.h"

#include <cstdint>
#include <memory>
#include <string>
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

// Carried for the reader and the writer; nothing here reads it.
struct pivot_selection_t {
    uint32_t pane = 0;
    std::string attributes;
};

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

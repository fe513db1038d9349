#pragma once
// The model of a worksheet part: the sheet's views and settings, and the
// worktable child it makes, whose cell store holds the sheet's cells.

#include "kestrel/core/components/component_base.h"
#include "kestrel/core/components/page_setup.h"
#include "kestrel/core/components/sheet_protection.h"
#include "kestrel/core/components/sheet_view.h"
#include "mta/table/table/table.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vex {

class assign_for_worksheet_t;
class workbook_t;
class worktable_t;

struct worksheet_settings_t {
    struct child_worktable {
        std::string relationship_id;
        worktable_t* worktable;
    };

    std::vector<child_worktable> worktables;  // in creation order
    std::vector<sheet_view_t> views;
    std::vector<custom_sheet_view_t> custom_views;
    std::unique_ptr<sheet_format_t> sheet_format;
    print_settings_t print;
};

// The cell store a new worktable is made with: rows x cols from the sheet's
// first cell, placed at extent.
struct worktable_shape_t {
    uint32_t rows;
    uint32_t cols;
    mta::extent_t extent;
};

class worksheet_t : public component_base_t {
public:
    using child_worktable = worksheet_settings_t::child_worktable;

    // With one default view.
    explicit worksheet_t(xml_part_t* part);
    ~worksheet_t() override;

    // The whole sheet XML: cell-level nodes go to the worktable first, what it
    // leaves (status keep) to the sheet-level reader.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;
    void notify_children(int code) override { component_base_t::notify_children(code); }

    worksheet_settings_t& settings() noexcept { return settings_; }
    const worksheet_settings_t& settings() const noexcept { return settings_; }

    // ---- views ----
    // Zoom and direction belong to the first view of workbook view 0; a setter
    // puts such a view in front when there is none.
    uint32_t zoom() const noexcept;
    void set_zoom(uint32_t percent);
    bool right_to_left() const noexcept;
    void set_right_to_left(bool on);
    // The cell getters give 0, 0 when there is nothing to read and read a stored
    // 0 as 1; the setters refuse cells outside the sheet with "Invalid cell
    // coordinate.". All work on the first view.
    void topleft_cell(int32_t* row, int32_t* col) const noexcept;
    void set_topleft_cell(int32_t row, int32_t col);
    void active_cell(int32_t* row, int32_t* col) const noexcept;
    void set_active_cell(int32_t row, int32_t col);
    void split_cell(int32_t* row, int32_t* col) const noexcept;
    void set_split_cell(int32_t row, int32_t col);
    // True when any view shows them; the setter changes the first view.
    bool display_gridlines() const noexcept;
    void set_display_gridlines(bool on);

    // ---- printing ----
    // Breaks by 1-based row or column; a set break spans the worktable. An index
    // is a position in ascending order; a bad one gives "Index out of range."
    // and 0xFFFFFFFF. Rows and columns outside the sheet: "Row out of range.",
    // "Column out of range.", false.
    uint64_t row_break_count() const noexcept { return settings_.print.row_breaks.size(); }
    uint32_t row_break(int32_t index) const;
    bool set_row_break(int32_t row, bool add);
    uint64_t col_break_count() const noexcept { return settings_.print.col_breaks.size(); }
    uint32_t col_break(int32_t index) const;
    bool set_col_break(int32_t col, bool add);
    // True only while both gridLines and gridLinesSet are; clearing leaves the
    // second set.
    bool print_gridlines() const noexcept;
    void set_print_gridlines(bool on);
    bool print_headings() const noexcept { return settings_.print.options.headings; }
    void set_print_headings(bool on) { settings_.print.options.headings = on; }
    bool h_centered_printing() const noexcept { return settings_.print.options.horizontal_centered; }
    void set_h_centered_printing(bool on) { settings_.print.options.horizontal_centered = on; }
    bool v_centered_printing() const noexcept { return settings_.print.options.vertical_centered; }
    void set_v_centered_printing(bool on) { settings_.print.options.vertical_centered = on; }
    // Inches. A negative margin is stored as 0, one that is not finite ignored.
    double left_margin() const noexcept { return settings_.print.margins.left; }
    void set_left_margin(double v);
    double right_margin() const noexcept { return settings_.print.margins.right; }
    void set_right_margin(double v);
    double top_margin() const noexcept { return settings_.print.margins.top; }
    void set_top_margin(double v);
    double bottom_margin() const noexcept { return settings_.print.margins.bottom; }
    void set_bottom_margin(double v);
    double header_margin() const noexcept { return settings_.print.margins.header; }
    void set_header_margin(double v);
    double footer_margin() const noexcept { return settings_.print.margins.footer; }
    void set_footer_margin(double v);
    // Paper ids 1 to 118; others give "No such paper id, please refer to the
    // paper id in enum.h." and false.
    int32_t paper() const noexcept { return int32_t(settings_.print.page_setup.paper_size); }
    bool set_paper(int32_t id);
    // Percent; values outside 10 to 400 are ignored.
    int32_t print_scale() const noexcept { return int32_t(settings_.print.page_setup.scale); }
    void set_print_scale(int32_t percent);
    uint32_t page_orientation() const noexcept { return settings_.print.page_setup.orientation; }
    void set_page_orientation(uint32_t code) { settings_.print.page_setup.orientation = code; }
    uint32_t print_errors() const noexcept { return settings_.print.page_setup.errors; }
    void set_print_errors(uint32_t code) { settings_.print.page_setup.errors = code; }
    // Pages; values below 1 are ignored.
    int32_t fit_page_height() const noexcept { return int32_t(settings_.print.page_setup.fit_to_height); }
    void set_fit_page_height(int32_t pages);
    int32_t fit_page_width() const noexcept { return int32_t(settings_.print.page_setup.fit_to_width); }
    void set_fit_page_width(int32_t pages);
    // The odd-page texts, UTF-8.
    std::string_view page_header() const noexcept { return settings_.print.header_footer.odd_header; }
    void set_page_header(std::string text) { settings_.print.header_footer.odd_header = std::move(text); }
    std::string_view page_footer() const noexcept { return settings_.print.header_footer.odd_footer; }
    void set_page_footer(std::string text) { settings_.print.header_footer.odd_footer = std::move(text); }

    // ---- protection ----
    // Cell locking goes through the worktable's cell store; without a
    // worktable no range is valid.
    const sheet_protection_t& protection() const noexcept { return protection_; }
    sheet_protection_t& protection() noexcept { return protection_; }
    bool is_protected() const noexcept { return protection_.is_protected(); }
    bool protect(uint32_t options, std::string_view password) { return protection_.protect(options, password); }
    void unprotect();
    bool protect_range(const range_t& range);
    bool set_editable_range(const range_t& range);
    uint32_t editable_range_count() const noexcept { return protection_.editable_range_count(); }
    const char* get_editable_range(int32_t index, int32_t* first_row, int32_t* first_col, int32_t* last_row,
                                   int32_t* last_col) const {
        return protection_.get_editable_range(index, first_row, first_col, last_row, last_col);
    }
    bool delete_editable_range(int32_t index) { return protection_.delete_editable_range(index); }

    // ---- the sheet and its worktables ----
    std::string_view name() const noexcept;
    worktable_t* worktable() const noexcept { return worktable_; }
    // Makes the worktable child part over rows x cols; null when the part tree
    // refuses it.
    worktable_t* create_worktable__(uint32_t rows, uint32_t cols, const mta::extent_t& extent);
    // The shape asked of the worktable being made; null outside create_worktable__.
    const worktable_shape_t* pending_worktable_shape() const noexcept {
        return pending_shape_ ? &*pending_shape_ : nullptr;
    }
    worktable_t* worktable_by_name(std::string_view name) const;
    void set_sheet_name(std::string_view name);
    // After a load: hands the sheet's hyperlink relationships to its worktable
    // and lets every worktable finish; true when all did.
    bool finish_relations();
    // Summed over the sheet's worktables.
    uint64_t hyperlink_count() const noexcept;

    const std::vector<child_worktable>& worktables() const noexcept { return settings_.worktables; }
    void record_worktable(std::string relationship_id, worktable_t* worktable);
    bool has_worktable(const component_base_t* c) const noexcept;
    // The part of the first recorded worktable; null before there is one.
    xml_part_t* worktable_part() const noexcept;

    // The part the page setup's r:id names, under the sheet or its worktable.
    xml_part_t* printer_settings() const noexcept { return printer_settings_; }
    void set_printer_settings(xml_part_t* part) noexcept { printer_settings_ = part; }

    // The relationship Id the loaded sheet's legacyDrawingHF names; empty
    // when it has none.
    const std::string& header_footer_drawing_id() const noexcept { return header_footer_drawing_id_; }
    void set_header_footer_drawing_id(std::string id) { header_footer_drawing_id_ = std::move(id); }
    // Likewise for the picture element, the sheet's background.
    const std::string& background_picture_id() const noexcept { return background_picture_id_; }
    void set_background_picture_id(std::string id) { background_picture_id_ = std::move(id); }

    // Sections of the loaded sheet that no reader takes yet: a save would lose
    // them, so it refuses instead.
    void note_unread_section(std::string_view name);
    const std::vector<std::string>& unread_sections() const noexcept { return unread_sections_; }

private:
    workbook_t* workbook__() const noexcept;
    uint32_t document_format__() const noexcept;
    sheet_view_t* first_view__() noexcept;
    const sheet_view_t* first_view__() const noexcept;
    const sheet_view_t* workbook_view__() const noexcept;
    sheet_view_t& workbook_view_or_front__();

    worksheet_settings_t settings_;
    sheet_protection_t protection_;
    worktable_t* worktable_ = nullptr;
    std::unique_ptr<assign_for_worksheet_t> reader_;
    uint32_t reading_format_ = 0;  // the document's format while reader_ reads
    xml_part_t* printer_settings_ = nullptr;
    std::optional<worktable_shape_t> pending_shape_;
    std::vector<std::string> unread_sections_;
    std::string header_footer_drawing_id_;
    std::string background_picture_id_;
};

} // namespace vex

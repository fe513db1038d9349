#pragma once
// The model of a worksheet part: the sheet's views and settings, and the
// worktable child it makes, whose cell store holds the sheet's cells.

#include "kestrel/core/components/component_base.h"
#include "kestrel/core/components/sheet_view.h"
#include "mta/table/table/table.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

    // Kept for the page setup, which comes with the printing settings.
    xml_part_t* printer_settings() const noexcept { return printer_settings_; }
    void set_printer_settings(xml_part_t* part) noexcept { printer_settings_ = part; }

private:
    workbook_t* workbook__() const noexcept;
    uint32_t document_format__() const noexcept;
    sheet_view_t* first_view__() noexcept;
    const sheet_view_t* first_view__() const noexcept;
    const sheet_view_t* workbook_view__() const noexcept;
    sheet_view_t& workbook_view_or_front__();

    worksheet_settings_t settings_;
    worktable_t* worktable_ = nullptr;
    std::unique_ptr<assign_for_worksheet_t> reader_;
    xml_part_t* printer_settings_ = nullptr;
    std::optional<worktable_shape_t> pending_shape_;
};

} // namespace vex

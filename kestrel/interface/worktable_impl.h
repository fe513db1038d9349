#pragma once
// The cell-level handle of one sheet, owned by its worksheet handle, which
// forwards its cell slots here. Every slot checks its coordinates first (where
// it has any), then works on the sheet's cell store under the document's lock;
// an exception leaves its text as the last message and gives the failure value.

#include "coord.h"
#include "interfaces.h"

#include "kestrel/interface/document_lock.h"
#include "kestrel/interface/entry.h"
#include "kestrel/interface/tabledef_impl.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vex {

class iWorksheet_impl;
class worktable_t;
namespace mta {
class style_settings_t;
}

// The slots built so far, in their order.
class iWorktable {
public:
    virtual void set_bg_picture(const char* path) = 0;
    virtual int cell_type(int row, int col) = 0;
    virtual double get_num(int row, int col) = 0;
    virtual const char* get_text(int row, int col) = 0;
    virtual bool get_boolean(int row, int col) = 0;
    virtual double get_datetime(int row, int col) = 0;
    virtual int get_error(int row, int col) = 0;
    virtual bool set_num(int row, int col, double value) = 0;
    virtual bool set_text(int row, int col, const char* text) = 0;
    virtual bool set_datetime(int row, int col, double serial) = 0;
    virtual bool set_boolean(int row, int col, bool value) = 0;
    virtual bool set_error(int row, int col, int code) = 0;
    virtual void clear_contents(int first_row, int first_col, int last_row, int last_col) = 0;
    // Formulas, cell styles and rich text.
    virtual bool contains_formula(int row, int col) = 0;
    virtual bool contains_richtext(int row, int col) = 0;
    virtual const char* get_formula_expr(int row, int col) = 0;
    virtual bool set_formula(int row, int col, const char* formula) = 0;
    virtual bool set_formula_num(int row, int col, double value) = 0;
    virtual bool set_formula_string(int row, int col, const char* text) = 0;
    virtual bool set_formula_boolean(int row, int col, bool value) = 0;
    virtual bool set_formula_datetime(int row, int col, double serial) = 0;
    virtual bool set_formula_error(int row, int col, int code) = 0;
    virtual iStyle* cell_style(int row, int col) = 0;
    virtual iStyle* get_cell_style(int row, int col) = 0;
    virtual void set_cell_style(int row, int col, iStyle* style) = 0;
    virtual void set_range_style(int first_row, int first_col, int last_row, int last_col, iStyle* style) = 0;
    virtual iRichtext* get_richtext(int row, int col) = 0;
    virtual bool set_richtext(int row, int col, iRichtext* text) = 0;
    // Extent, rows, columns and shifts; pictures, used area, merges,
    // protection and outlines.
    virtual int min_row() = 0;
    virtual int min_col() = 0;
    virtual int max_row() = 0;
    virtual int max_col() = 0;
    virtual int row_count() = 0;
    virtual int col_count() = 0;
    virtual int sheet_index() = 0;
    virtual void get_current_cell(int* row, int* col) = 0;
    virtual void set_current_cell(int row, int col) = 0;
    virtual bool is_default_row_height(int first, int last) = 0;
    virtual bool get_custom_row_height(int first, int last, double* out, int unit) = 0;
    virtual void set_custom_row_height(int first, int last, double height, int unit) = 0;
    virtual bool is_default_col_width(int first, int last) = 0;
    virtual bool get_custom_col_width(int first, int last, double* out, int unit) = 0;
    virtual void set_custom_col_width(int first, int last, double width, int unit) = 0;
    virtual iStyle* row_style(int row) = 0;
    virtual void set_row_style(int first, int last, iStyle* style) = 0;
    virtual void remove_row_style(int row) = 0;
    virtual iStyle* col_style(int col) = 0;
    virtual void set_col_style(int first, int last, iStyle* style) = 0;
    virtual void remove_col_style(int col) = 0;
    virtual bool col_hidden(int col) = 0;
    virtual void set_col_hidden(int first, int last, bool hidden) = 0;
    virtual bool row_hidden(int row) = 0;
    virtual void set_row_hidden(int first, int last, bool hidden) = 0;
    virtual bool shift_range_down(int first_col, int last_col, int row, int count) = 0;
    virtual bool shift_range_up(int first_col, int last_col, int first_row, int last_row) = 0;
    virtual bool shift_range_right(int first_row, int last_row, int col, int count) = 0;
    virtual bool shift_range_left(int first_row, int last_row, int first_col, int last_col) = 0;
    virtual int add_cell_image(const char* file, int first_row, int first_col, int last_row, int last_col) = 0;
    virtual int add_image_with_two_cells(const char* file, int first_row, int first_col, int last_row, int last_col,
                                         int first_row_offset, int first_col_offset, int last_row_offset,
                                         int last_col_offset) = 0;
    virtual int add_image_with_one_cell(const char* file, int row, int col, int width, int height, double scale,
                                        int col_offset, int row_offset) = 0;
    virtual int add_absolute_image(const char* file, int x, int y, int width, int height, double scale) = 0;
    virtual int image_num() = 0;
    virtual int get_image_id(int index) = 0;
    virtual int image_anchor_type(int id) = 0;
    virtual bool get_anchored_cell(int id, int* row, int* col) = 0;
    virtual bool get_absolute_coord(int id, int* x, int* y) = 0;
    virtual void delete_image(int id) = 0;
    virtual void remove_image(int row, int col) = 0;
    virtual void remove_absolute_image(int x, int y) = 0;
    virtual bool first_data_cell(int* row, int* col) = 0;
    virtual bool last_data_cell(int* row, int* col) = 0;
    virtual int merged_num() = 0;
    virtual bool merged_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) = 0;
    virtual bool merge(int first_row, int first_col, int last_row, int last_col) = 0;
    virtual bool unmerge(int row, int col) = 0;
    virtual bool is_protected() = 0;
    virtual bool protect(int options, const char* password) = 0;
    virtual void unprotect() = 0;
    virtual bool protect_range(int first_row, int first_col, int last_row, int last_col) = 0;
    virtual bool set_editable_range(int first_row, int first_col, int last_row, int last_col) = 0;
    virtual int editable_range_count() = 0;
    virtual const char* get_editable_range(int index, int* first_row, int* first_col, int* last_row,
                                           int* last_col) = 0;
    virtual bool delete_editable_range(int index) = 0;
    virtual void group_rows(int first, int last, bool collapsed) = 0;
    virtual void ungroup_rows(int first, int last) = 0;
    virtual void group_cols(int first, int last, bool collapsed) = 0;
    virtual void ungroup_cols(int first, int last) = 0;
    virtual int row_outline_level(int row, bool* collapsed) = 0;
    virtual int col_outline_level(int col, bool* collapsed) = 0;
    virtual int max_row_outline_level() = 0;
    virtual int max_col_outline_level() = 0;
    virtual void delete_row_outline() = 0;
    virtual void delete_col_outline() = 0;
    virtual bool group_summary_below() = 0;
    virtual void set_group_summary_below(bool below) = 0;
    virtual bool group_summary_right() = 0;
    virtual void set_group_summary_right(bool right) = 0;
    // Defined names, tables and hyperlinks.
    virtual bool defined_name_exists(const char* name) = 0;
    virtual bool set_defined_name(const char* name, const char* expression, const char* local_sheet) = 0;
    virtual int defined_name_num() = 0;
    virtual const char* get_defined_name(int index, bool* is_local) = 0;
    virtual const char* get_local_name(int index) = 0;
    virtual const char* get_defined_name_expr(int index) = 0;
    virtual void delete_defined_name(int index) = 0;
    virtual int tabledef_count() = 0;
    virtual const char* get_tabledef_name(int index) = 0;
    virtual iTabledef* set_tabledef_name(int index, const char* name) = 0;
    virtual iTabledef* get_tabledef(int index) = 0;
    virtual iTabledef* get_tabledef_by_name(const char* name) = 0;
    virtual iTabledef* add_tabledef(const char* name, int first_row, int first_col, int last_row, int last_col) = 0;
    virtual bool delete_tabledef(const char* name) = 0;
    virtual bool add_hyperlink(const char* address, int first_row, int first_col, int last_row, int last_col) = 0;
    virtual int hyperlink_num() = 0;
    virtual int hyperlink_index(int row, int col) = 0;
    virtual const char* hyperlink(int index, int* first_row, int* first_col, int* last_row, int* last_col) = 0;
    virtual bool delete_hyperlink(int index) = 0;
    virtual ~iWorktable() = default;
};

class iWorktable_impl final : public iWorktable {
public:
    iWorktable_impl(iWorksheet_impl* owner, worktable_t* sheet);
    // Table-definition handles first, then the style handle.
    ~iWorktable_impl() override;
    iWorktable_impl(const iWorktable_impl&) = delete;
    iWorktable_impl& operator=(const iWorktable_impl&) = delete;

    void set_bg_picture(const char* path) override;
    int cell_type(int row, int col) override;
    double get_num(int row, int col) override;
    const char* get_text(int row, int col) override;
    bool get_boolean(int row, int col) override;
    double get_datetime(int row, int col) override;
    int get_error(int row, int col) override;
    bool set_num(int row, int col, double value) override;
    bool set_text(int row, int col, const char* text) override;
    bool set_datetime(int row, int col, double serial) override;
    bool set_boolean(int row, int col, bool value) override;
    bool set_error(int row, int col, int code) override;
    void clear_contents(int first_row, int first_col, int last_row, int last_col) override;
    // Formulas, cell styles and rich text (worktable_formulas_styles.cpp).
    // The cached-result setters fill a formula cell's result without
    // recalculating; cell_style refills the one shared style handle.
    bool contains_formula(int row, int col) override;
    bool contains_richtext(int row, int col) override;
    const char* get_formula_expr(int row, int col) override;
    bool set_formula(int row, int col, const char* formula) override;
    bool set_formula_num(int row, int col, double value) override;
    bool set_formula_string(int row, int col, const char* text) override;
    bool set_formula_boolean(int row, int col, bool value) override;
    bool set_formula_datetime(int row, int col, double serial) override;
    bool set_formula_error(int row, int col, int code) override;
    iStyle* cell_style(int row, int col) override;
    iStyle* get_cell_style(int row, int col) override;
    void set_cell_style(int row, int col, iStyle* style) override;
    void set_range_style(int first_row, int first_col, int last_row, int last_col, iStyle* style) override;
    // The handle lives in the workbook handle's slot for the calling thread,
    // until this thread's next get_richtext on any of its sheets.
    iRichtext* get_richtext(int row, int col) override;
    bool set_richtext(int row, int col, iRichtext* text) override;

    // Extent, rows, columns and shifts (worktable_rows.cpp); pictures, used
    // area and merges (worktable_images.cpp); protection and outlines
    // (worktable_protection.cpp).
    int min_row() override;
    int min_col() override;
    int max_row() override;
    int max_col() override;
    int row_count() override;
    int col_count() override;
    int sheet_index() override;
    void get_current_cell(int* row, int* col) override;
    void set_current_cell(int row, int col) override;
    bool is_default_row_height(int first, int last) override;
    bool get_custom_row_height(int first, int last, double* out, int unit) override;
    void set_custom_row_height(int first, int last, double height, int unit) override;
    bool is_default_col_width(int first, int last) override;
    bool get_custom_col_width(int first, int last, double* out, int unit) override;
    void set_custom_col_width(int first, int last, double width, int unit) override;
    iStyle* row_style(int row) override;
    void set_row_style(int first, int last, iStyle* style) override;
    void remove_row_style(int row) override;
    iStyle* col_style(int col) override;
    void set_col_style(int first, int last, iStyle* style) override;
    void remove_col_style(int col) override;
    bool col_hidden(int col) override;
    void set_col_hidden(int first, int last, bool hidden) override;
    bool row_hidden(int row) override;
    void set_row_hidden(int first, int last, bool hidden) override;
    bool shift_range_down(int first_col, int last_col, int row, int count) override;
    bool shift_range_up(int first_col, int last_col, int first_row, int last_row) override;
    bool shift_range_right(int first_row, int last_row, int col, int count) override;
    bool shift_range_left(int first_row, int last_row, int first_col, int last_col) override;
    int add_cell_image(const char* file, int first_row, int first_col, int last_row, int last_col) override;
    int add_image_with_two_cells(const char* file, int first_row, int first_col, int last_row, int last_col,
                                         int first_row_offset, int first_col_offset, int last_row_offset,
                                         int last_col_offset) override;
    int add_image_with_one_cell(const char* file, int row, int col, int width, int height, double scale,
                                        int col_offset, int row_offset) override;
    int add_absolute_image(const char* file, int x, int y, int width, int height, double scale) override;
    int image_num() override;
    int get_image_id(int index) override;
    int image_anchor_type(int id) override;
    bool get_anchored_cell(int id, int* row, int* col) override;
    bool get_absolute_coord(int id, int* x, int* y) override;
    void delete_image(int id) override;
    void remove_image(int row, int col) override;
    void remove_absolute_image(int x, int y) override;
    bool first_data_cell(int* row, int* col) override;
    bool last_data_cell(int* row, int* col) override;
    int merged_num() override;
    bool merged_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) override;
    bool merge(int first_row, int first_col, int last_row, int last_col) override;
    bool unmerge(int row, int col) override;
    bool is_protected() override;
    bool protect(int options, const char* password) override;
    void unprotect() override;
    bool protect_range(int first_row, int first_col, int last_row, int last_col) override;
    bool set_editable_range(int first_row, int first_col, int last_row, int last_col) override;
    int editable_range_count() override;
    const char* get_editable_range(int index, int* first_row, int* first_col, int* last_row,
                                           int* last_col) override;
    bool delete_editable_range(int index) override;
    void group_rows(int first, int last, bool collapsed) override;
    void ungroup_rows(int first, int last) override;
    void group_cols(int first, int last, bool collapsed) override;
    void ungroup_cols(int first, int last) override;
    int row_outline_level(int row, bool* collapsed) override;
    int col_outline_level(int col, bool* collapsed) override;
    int max_row_outline_level() override;
    int max_col_outline_level() override;
    void delete_row_outline() override;
    void delete_col_outline() override;
    bool group_summary_below() override;
    void set_group_summary_below(bool below) override;
    bool group_summary_right() override;
    void set_group_summary_right(bool right) override;
    // Defined names, tables and hyperlinks. The names are the workbook's,
    // shared by its sheets. A renamed table gets a new handle; the one before
    // is retired, like the handle of a table that goes.
    bool defined_name_exists(const char* name) override;
    bool set_defined_name(const char* name, const char* expression, const char* local_sheet) override;
    int defined_name_num() override;
    const char* get_defined_name(int index, bool* is_local) override;
    const char* get_local_name(int index) override;
    const char* get_defined_name_expr(int index) override;
    void delete_defined_name(int index) override;
    int tabledef_count() override;
    const char* get_tabledef_name(int index) override;
    iTabledef* set_tabledef_name(int index, const char* name) override;
    iTabledef* get_tabledef(int index) override;
    iTabledef* get_tabledef_by_name(const char* name) override;
    iTabledef* add_tabledef(const char* name, int first_row, int first_col, int last_row, int last_col) override;
    bool delete_tabledef(const char* name) override;
    bool add_hyperlink(const char* address, int first_row, int first_col, int last_row, int last_col) override;
    int hyperlink_num() override;
    int hyperlink_index(int row, int col) override;
    const char* hyperlink(int index, int* first_row, int* first_col, int* last_row, int* last_col) override;
    bool delete_hyperlink(int index) override;

    iWorksheet_impl* owner() const noexcept { return owner_; }
    worktable_t* sheet() const noexcept { return sheet_; }
    iStyle* style() const noexcept { return style_.get(); }

    // The frame of every slot: `work` runs under the lock; an exception leaves
    // its text and gives `failure`.
    template <typename R, typename Work>
    R guarded(R failure, Work&& work) noexcept;
    template <typename Work>
    void guarded_void(Work&& work) noexcept;

private:
    // The shared style handle, made when first asked for, loaded with the settings.
    iStyle* load_shared_style__(const mta::style_settings_t& settings);
    // Two-cell corners checked and ordered per axis; -1 with the reason otherwise.
    int add_two_cell_picture__(const char* file, int first_row, int first_col, int last_row, int last_col,
                               const int (&offsets)[4]);

    document_lock_t& mutex_;  // the document's, see document_lock.h
    iWorksheet_impl* owner_;
    worktable_t* sheet_;  // the sheet's component, owned by the part tree
    // Filled by the style slots; most sheets are never asked for one.
    std::unique_ptr<iStyle> style_;
    tabledef_handles_t tabledefs_{*this};
};

template <typename R, typename Work>
R iWorktable_impl::guarded(R failure, Work&& work) noexcept {
    try {
        std::lock_guard lock(mutex_);
        return work();
    } catch (...) {
        detail::report_exception();
        return failure;
    }
}

template <typename Work>
void iWorktable_impl::guarded_void(Work&& work) noexcept {
    try {
        std::lock_guard lock(mutex_);
        work();
    } catch (...) {
        detail::report_exception();
    }
}

} // namespace vex

#pragma once
// The host's handle on one sheet, made and owned by its workbook handle. Its
// cell slots go to the worktable handle it owns.

#include "interfaces.h"
#include "kestrel/interface/entry.h"
#include "kestrel/interface/worktable_impl.h"

#include <memory>

namespace vex {

class iWorkbook_impl;
class worksheet_t;

class iWorksheet_impl final : public iWorksheet {
public:
    // Gives the sheet a worktable over the whole sheet, named after the sheet,
    // when it has none, and makes the worktable handle.
    iWorksheet_impl(iWorkbook_impl* owner, worksheet_t* worksheet);
    ~iWorksheet_impl() override = default;

    void set_bg_picture(const char* path) override { worktable_->set_bg_picture(path); }
    int cell_type(int row, int col) override { return worktable_->cell_type(row, col); }
    double get_num(int row, int col) override { return worktable_->get_num(row, col); }
    const char* get_text(int row, int col) override { return worktable_->get_text(row, col); }
    bool get_boolean(int row, int col) override { return worktable_->get_boolean(row, col); }
    double get_datetime(int row, int col) override { return worktable_->get_datetime(row, col); }
    int get_error(int row, int col) override { return worktable_->get_error(row, col); }
    bool set_num(int row, int col, double value) override { return worktable_->set_num(row, col, value); }
    bool set_text(int row, int col, const char* text) override { return worktable_->set_text(row, col, text); }
    bool set_datetime(int row, int col, double serial) override { return worktable_->set_datetime(row, col, serial); }
    bool set_boolean(int row, int col, bool value) override { return worktable_->set_boolean(row, col, value); }
    bool set_error(int row, int col, int code) override { return worktable_->set_error(row, col, code); }
    void clear_contents(int first_row, int first_col, int last_row, int last_col) override {
        worktable_->clear_contents(first_row, first_col, last_row, last_col);
    }
    // Formulas, cell styles and rich text.
    bool contains_formula(int row, int col) override { return worktable_->contains_formula(row, col); }
    bool contains_richtext(int row, int col) override { return worktable_->contains_richtext(row, col); }
    const char* get_formula_expr(int row, int col) override { return worktable_->get_formula_expr(row, col); }
    bool set_formula(int row, int col, const char* formula) override { return worktable_->set_formula(row, col, formula); }
    bool set_formula_num(int row, int col, double value) override { return worktable_->set_formula_num(row, col, value); }
    bool set_formula_string(int row, int col, const char* text) override {
        return worktable_->set_formula_string(row, col, text);
    }
    bool set_formula_boolean(int row, int col, bool value) override {
        return worktable_->set_formula_boolean(row, col, value);
    }
    bool set_formula_datetime(int row, int col, double serial) override {
        return worktable_->set_formula_datetime(row, col, serial);
    }
    bool set_formula_error(int row, int col, int code) override { return worktable_->set_formula_error(row, col, code); }
    iStyle* cell_style(int row, int col) override { return worktable_->cell_style(row, col); }
    iStyle* get_cell_style(int row, int col) override { return worktable_->get_cell_style(row, col); }
    // Hosts rely on this text, which the worktable words otherwise.
    void set_cell_style(int row, int col, iStyle* style) override {
        if (row < 1 || row > 1048576 || col < 1 || col > 16384) return detail::report("invalid cell.");
        worktable_->set_cell_style(row, col, style);
    }
    void set_range_style(int first_row, int first_col, int last_row, int last_col, iStyle* style) override {
        worktable_->set_range_style(first_row, first_col, last_row, last_col, style);
    }
    iRichtext* get_richtext(int row, int col) override { return worktable_->get_richtext(row, col); }
    bool set_richtext(int row, int col, iRichtext* text) override { return worktable_->set_richtext(row, col, text); }

    // Rows, columns, shifts, pictures, merges, protection and outlines.
    int min_row() override { return worktable_->min_row(); }
    int min_col() override { return worktable_->min_col(); }
    int max_row() override { return worktable_->max_row(); }
    int max_col() override { return worktable_->max_col(); }
    bool is_default_row_height(int first, int last) override { return worktable_->is_default_row_height(first, last); }
    bool get_custom_row_height(int first, int last, double* out, int unit) override {
        return worktable_->get_custom_row_height(first, last, out, unit);
    }
    void set_custom_row_height(int first, int last, double height, int unit) override {
        worktable_->set_custom_row_height(first, last, height, unit);
    }
    bool is_default_col_width(int first, int last) override { return worktable_->is_default_col_width(first, last); }
    bool get_custom_col_width(int first, int last, double* out, int unit) override {
        return worktable_->get_custom_col_width(first, last, out, unit);
    }
    void set_custom_col_width(int first, int last, double width, int unit) override {
        worktable_->set_custom_col_width(first, last, width, unit);
    }
    iStyle* row_style(int row) override { return worktable_->row_style(row); }
    void set_row_style(int first, int last, iStyle* style) override { worktable_->set_row_style(first, last, style); }
    void remove_row_style(int row) override { worktable_->remove_row_style(row); }
    iStyle* col_style(int col) override { return worktable_->col_style(col); }
    void set_col_style(int first, int last, iStyle* style) override { worktable_->set_col_style(first, last, style); }
    void remove_col_style(int col) override { worktable_->remove_col_style(col); }
    bool col_hidden(int col) override { return worktable_->col_hidden(col); }
    void set_col_hidden(int first, int last, bool hidden) override { worktable_->set_col_hidden(first, last, hidden); }
    bool row_hidden(int row) override { return worktable_->row_hidden(row); }
    void set_row_hidden(int first, int last, bool hidden) override { worktable_->set_row_hidden(first, last, hidden); }
    bool shift_range_down(int first_col, int last_col, int row, int count) override {
        return worktable_->shift_range_down(first_col, last_col, row, count);
    }
    bool shift_range_right(int first_row, int last_row, int col, int count) override {
        return worktable_->shift_range_right(first_row, last_row, col, count);
    }
    int add_cell_image(const char* file, int first_row, int first_col, int last_row, int last_col) override {
        return worktable_->add_cell_image(file, first_row, first_col, last_row, last_col);
    }
    int add_image_with_two_cells(const char* file, int first_row, int first_col, int last_row, int last_col,
                                 int first_row_offset, int first_col_offset, int last_row_offset,
                                 int last_col_offset) override {
        return worktable_->add_image_with_two_cells(file, first_row, first_col, last_row, last_col, first_row_offset,
                                                    first_col_offset, last_row_offset, last_col_offset);
    }
    int add_image_with_one_cell(const char* file, int row, int col, int width, int height, double scale,
                                int col_offset, int row_offset) override {
        return worktable_->add_image_with_one_cell(file, row, col, width, height, scale, col_offset, row_offset);
    }
    int add_absolute_image(const char* file, int x, int y, int width, int height, double scale) override {
        return worktable_->add_absolute_image(file, x, y, width, height, scale);
    }
    int image_num() override { return worktable_->image_num(); }
    int get_image_id(int index) override { return worktable_->get_image_id(index); }
    int image_anchor_type(int id) override { return worktable_->image_anchor_type(id); }
    bool get_anchored_cell(int id, int* row, int* col) override { return worktable_->get_anchored_cell(id, row, col); }
    bool get_absolute_coord(int id, int* x, int* y) override { return worktable_->get_absolute_coord(id, x, y); }
    void delete_image(int id) override { worktable_->delete_image(id); }
    void remove_image(int row, int col) override { worktable_->remove_image(row, col); }
    void remove_absolute_image(int x, int y) override { worktable_->remove_absolute_image(x, y); }
    bool first_data_cell(int* row, int* col) override { return worktable_->first_data_cell(row, col); }
    bool last_data_cell(int* row, int* col) override { return worktable_->last_data_cell(row, col); }
    int merged_num() override { return worktable_->merged_num(); }
    bool merged_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) override {
        return worktable_->merged_range(index, first_row, first_col, last_row, last_col);
    }
    bool merge(int first_row, int first_col, int last_row, int last_col) override {
        return worktable_->merge(first_row, first_col, last_row, last_col);
    }
    bool unmerge(int row, int col) override { return worktable_->unmerge(row, col); }
    bool is_protected() override { return worktable_->is_protected(); }
    bool protect(int options, const char* password) override { return worktable_->protect(options, password); }
    void unprotect() override { worktable_->unprotect(); }
    bool protect_range(int first_row, int first_col, int last_row, int last_col) override {
        return worktable_->protect_range(first_row, first_col, last_row, last_col);
    }
    bool set_editable_range(int first_row, int first_col, int last_row, int last_col) override {
        return worktable_->set_editable_range(first_row, first_col, last_row, last_col);
    }
    int editable_range_count() override { return worktable_->editable_range_count(); }
    const char* get_editable_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) override {
        return worktable_->get_editable_range(index, first_row, first_col, last_row, last_col);
    }
    bool delete_editable_range(int index) override { return worktable_->delete_editable_range(index); }
    void group_rows(int first, int last, bool collapsed) override { worktable_->group_rows(first, last, collapsed); }
    void ungroup_rows(int first, int last) override { worktable_->ungroup_rows(first, last); }
    void group_cols(int first, int last, bool collapsed) override { worktable_->group_cols(first, last, collapsed); }
    void ungroup_cols(int first, int last) override { worktable_->ungroup_cols(first, last); }
    int row_outline_level(int row, bool* collapsed) override { return worktable_->row_outline_level(row, collapsed); }
    int col_outline_level(int col, bool* collapsed) override { return worktable_->col_outline_level(col, collapsed); }
    int max_row_outline_level() override { return worktable_->max_row_outline_level(); }
    int max_col_outline_level() override { return worktable_->max_col_outline_level(); }
    void delete_row_outline() override { worktable_->delete_row_outline(); }
    void delete_col_outline() override { worktable_->delete_col_outline(); }
    bool group_summary_below() override { return worktable_->group_summary_below(); }
    void set_group_summary_below(bool below) override { worktable_->set_group_summary_below(below); }
    bool group_summary_right() override { return worktable_->group_summary_right(); }
    void set_group_summary_right(bool right) override { worktable_->set_group_summary_right(right); }


    // Whole rows and columns over every column or row, and the upward and
    // leftward shifts turned into the span they delete (worksheet_rows.cpp).
    bool insert_row(int row, int count) override;
    bool delete_row(int first_row, int last_row) override;
    bool insert_col(int col, int count) override;
    bool delete_col(int first_col, int last_col) override;
    bool shift_range_up(int first_col, int last_col, int row, int count) override;
    bool shift_range_left(int first_row, int last_row, int col, int count) override;
    // Tables and hyperlinks.
    int tabledef_count() override { return worktable_->tabledef_count(); }
    const char* get_tabledef_name(int index) override { return worktable_->get_tabledef_name(index); }
    iTabledef* set_tabledef_name(int index, const char* name) override {
        return worktable_->set_tabledef_name(index, name);
    }
    iTabledef* get_tabledef(int index) override { return worktable_->get_tabledef(index); }
    iTabledef* get_tabledef_by_name(const char* name) override { return worktable_->get_tabledef_by_name(name); }
    iTabledef* add_tabledef(const char* name, int first_row, int first_col, int last_row, int last_col) override {
        return worktable_->add_tabledef(name, first_row, first_col, last_row, last_col);
    }
    bool delete_tabledef(const char* name) override { return worktable_->delete_tabledef(name); }
    bool add_hyperlink(const char* address, int first_row, int first_col, int last_row, int last_col) override {
        return worktable_->add_hyperlink(address, first_row, first_col, last_row, last_col);
    }
    int hyperlink_num() override { return worktable_->hyperlink_num(); }
    int hyperlink_index(int row, int col) override { return worktable_->hyperlink_index(row, col); }
    const char* hyperlink(int index, int* first_row, int* first_col, int* last_row, int* last_col) override {
        return worktable_->hyperlink(index, first_row, first_col, last_row, last_col);
    }
    bool delete_hyperlink(int index) override { return worktable_->delete_hyperlink(index); }

    // The sheet's own settings, under the document's lock so that a host may
    // use one sheet from two threads.
    const char* name() override;
    // Through the workbook handle, under the same lock.
    bool set_name(const char* name) override;
    int ws_type() override;
    int get_ws_state() override;
    int zoom() override;
    void set_zoom(int percent) override;
    bool right_to_left() override;
    void set_right_to_left(bool on) override;
    void topleft_cell(int* row, int* col) override;
    void set_topleft_cell(int row, int col) override;
    void active_cell(int* row, int* col) override;
    void set_active_cell(int row, int col) override;
    void split_cell(int* row, int* col) override;
    void set_split_cell(int row, int col) override;
    bool display_gridlines() override;
    void set_display_gridlines(bool on) override;
    double left_margin() override;
    void set_left_margin(double inches) override;
    double right_margin() override;
    void set_right_margin(double inches) override;
    double top_margin() override;
    void set_top_margin(double inches) override;
    double bottom_margin() override;
    void set_bottom_margin(double inches) override;
    double header_margin() override;
    void set_header_margin(double inches) override;
    double footer_margin() override;
    void set_footer_margin(double inches) override;
    int paper() override;
    bool set_paper(int id) override;
    int print_scale() override;
    void set_print_scale(int percent) override;
    int page_orientation() override;
    void set_page_orientation(int value) override;

    int row_break_count() override;
    int row_break(int index) override;
    bool set_row_break(int row, bool on) override;
    int col_break_count() override;
    int col_break(int index) override;
    bool set_col_break(int col, bool on) override;
    bool print_gridlines() override;
    void set_print_gridlines(bool on) override;
    bool print_headings() override;
    void set_print_headings(bool on) override;
    bool h_centered_printing() override;
    void set_h_centered_printing(bool on) override;
    bool v_centered_printing() override;
    void set_v_centered_printing(bool on) override;
    int print_errors() override;
    void set_print_errors(int way) override;
    int fit_page_height() override;
    void set_fit_page_height(int pages) override;
    int fit_page_width() override;
    void set_fit_page_width(int pages) override;
    const char* page_header() override;
    void set_page_header(const char* text) override;
    const char* page_footer() override;
    void set_page_footer(const char* text) override;

    iWorkbook_impl* owner() const noexcept { return owner_; }
    worksheet_t* worksheet() const noexcept { return worksheet_; }
    iWorktable_impl* worktable() const noexcept { return worktable_.get(); }

private:
    // Runs `work` on the sheet component under the lock; an exception leaves
    // its text and gives `failure`.
    template <typename R, typename Work>
    R locked(R failure, Work&& work) noexcept;
    template <typename Work>
    void locked_void(Work&& work) noexcept {
        locked(0, [&](worksheet_t& w) {
            work(w);
            return 0;
        });
    }

    document_lock_t& mutex_;  // the document's, see document_lock.h
    worksheet_t* worksheet_;  // owned by the package part tree
    iWorkbook_impl* owner_;
    std::unique_ptr<iWorktable_impl> worktable_;
};

} // namespace vex

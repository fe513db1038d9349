#pragma once
// The host's handle on one sheet, made and owned by its workbook handle. Its
// cell slots go to the worktable handle it owns.

#include "kestrel/interface/unbuilt_slots.h"
#include "kestrel/interface/worktable_impl.h"

#include <memory>
#include <mutex>

namespace vex {

class iWorkbook_impl;
class worksheet_t;

class iWorksheet_impl final : public iWorksheet_unbuilt {
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

    // The sheet's own settings, under this handle's mutex so that a host may
    // use one sheet from two threads.
    const char* name() override;
    // Through the workbook handle: this handle's mutex, then the workbook's.
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
    // Runs `work` on the sheet component under the mutex; an exception leaves
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

    std::mutex mutex_;
    worksheet_t* worksheet_;  // owned by the package part tree
    iWorkbook_impl* owner_;
    std::unique_ptr<iWorktable_impl> worktable_;
};

} // namespace vex

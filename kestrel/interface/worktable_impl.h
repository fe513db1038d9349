#pragma once
// The cell-level handle of one sheet, owned by its worksheet handle, which
// forwards its cell slots here. Every slot checks its coordinates first (where
// it has any), then works on the sheet's cell store under the handle's lock;
// an exception leaves its text as the last message and gives the failure value.

#include "interfaces.h"

#include "kestrel/interface/entry.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vex {

class iWorksheet_impl;
class worktable_t;

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
    // The handle lives in the workbook handle's one slot, until the next
    // get_richtext on any of its sheets.
    iRichtext* get_richtext(int row, int col) override;
    bool set_richtext(int row, int col, iRichtext* text) override;

    iWorksheet_impl* owner() const noexcept { return owner_; }
    worktable_t* sheet() const noexcept { return sheet_; }
    iStyle* style() const noexcept { return style_.get(); }
    size_t tabledef_count() const noexcept { return tabledef_order_.size(); }

    // The frame of every slot: `work` runs under the lock; an exception leaves
    // its text and gives `failure`.
    template <typename R, typename Work>
    R guarded(R failure, Work&& work) noexcept;
    template <typename Work>
    void guarded_void(Work&& work) noexcept;

private:
    std::recursive_mutex mutex_;
    iWorksheet_impl* owner_;
    worktable_t* sheet_;  // the sheet's component, owned by the part tree
    // Filled by the style slots.
    std::unique_ptr<iStyle> style_;
    // Table-definition handles in the sheet's table order, and by name.
    std::vector<std::unique_ptr<iTabledef>> tabledef_order_;
    std::unordered_map<std::string, iTabledef*> tabledefs_;
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

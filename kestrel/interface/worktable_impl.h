#pragma once
// The cell-level handle of one sheet, owned by its worksheet handle, which
// forwards its cell slots here. Every slot checks its coordinates first (where
// it has any), then works on the sheet's cell store under the handle's lock;
// an exception leaves its text as the last message and gives the failure value.

#include "interfaces.h"

#include "kestrel/interface/entry.h"
#include "kestrel/interface/tabledef_impl.h"

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
    std::recursive_mutex mutex_;
    iWorksheet_impl* owner_;
    worktable_t* sheet_;  // the sheet's component, owned by the part tree
    // Filled by the style slots; none until the style handle can be made.
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

#pragma once
// The host's handle on one table of a sheet, and the set of such handles a
// worktable handle keeps. A handle points at the table record in the sheet's
// cell store and works on it under the worktable handle's lock, so table and
// sheet edits cannot race.

#include "interfaces.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

class iWorktable_impl;
namespace mta {
class tabledef_t;
}

class iTabledef_impl final : public iTabledef {
public:
    iTabledef_impl(iWorktable_impl* owner, std::string_view name, mta::tabledef_t* table);
    ~iTabledef_impl() override = default;
    iTabledef_impl(const iTabledef_impl&) = delete;
    iTabledef_impl& operator=(const iTabledef_impl&) = delete;

    const char* name() override;
    void range(int* first_row, int* first_col, int* last_row, int* last_col) override;
    const char* display_name() override;
    void set_display_name(const char* name) override;
    const char* comment() override;
    void set_comment(const char* text) override;
    const char* col_name(int index) override;
    bool set_col_name(int index, const char* name) override;
    bool insert_col(int index, const char* name) override;
    // The table's last column going takes the table with it.
    void delete_col_by_index(int index) override;
    void delete_col(const char* name) override;
    void set_totals_row_label(const char* label) override;
    void set_display_total(bool on) override;
    int totals_row_func(int col) override;
    // On a hidden totals row, shows it as set_display_total does.
    void set_totals_row_func(int col, int func) override;
    const char* style_name() override;
    void set_style_name(const char* name) override;
    void set_preset_style(int number) override;
    bool row_strips() override;
    void set_row_strips(bool on) override;

    mta::tabledef_t* table() const noexcept { return table_; }
    // The table went (deleted, renamed, or let go by the sheet): every
    // operation but name fails from now on.
    void retire() noexcept { table_ = nullptr; }

private:
    // The table, or an exception when it is gone; under the owner's lock.
    mta::tabledef_t& live__() const;
    template <typename R, typename Work>
    R with_table__(R failure, Work&& work) noexcept;
    template <typename Work>
    void with_table_void__(Work&& work) noexcept;

    iWorktable_impl* owner_;  // not owned
    std::string name_;
    mta::tabledef_t* table_;  // in the sheet's cell store; null once retired
};

// The table handles of one worktable handle, by table name; the sheet's table
// list gives their order. A handle whose table goes is retired, not freed, and
// kept until the worktable handle ends, so that a host still holding it gets a
// message instead of freed memory. Used under the worktable handle's lock.
class tabledef_handles_t {
public:
    explicit tabledef_handles_t(iWorktable_impl& owner);

    // A handle for each table the sheet holds now.
    void adopt_all();
    // The handle of the table of that name, made when the table has none;
    // null when the sheet has no such table.
    iTabledef_impl* get(std::string_view name);
    void retire(std::string_view name);
    void clear() noexcept;

private:
    iWorktable_impl& owner_;
    std::unordered_map<std::string, std::unique_ptr<iTabledef_impl>> live_;
    std::vector<std::unique_ptr<iTabledef_impl>> retired_;
};

} // namespace vex

#include "kestrel/interface/tabledef_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worktable_checks.h"
#include "kestrel/interface/worktable_impl.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/utils/table_definition/tabledef.h"
#include "unicode.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace vex {

namespace {

constexpr std::string_view msg_table_gone = "The table no longer exists.";
constexpr std::string_view msg_empty_column = "Column name cannot be empty.";

// The stored totals-row function of each TotalsFuncEnum value; the stored
// order is the table part's: none, average, count, countNums, custom, min,
// max, stdDev, sum, var.
constexpr std::array<int32_t, 10> stored_totals_func = {0, 8, 1, 2, 3, 4, 5, 6, 7, 9};

int public_totals_func(int32_t stored) noexcept {
    const auto* at = std::find(stored_totals_func.begin(), stored_totals_func.end(), stored);
    return at == stored_totals_func.end() ? 0 : static_cast<int>(at - stored_totals_func.begin());
}

const char* text_or_null(std::string_view text) noexcept { return text.empty() ? nullptr : text.data(); }

// A table part cannot hold an empty table or column name: refused as a null one.
bool name_given(const char* name, std::string_view message) noexcept {
    return detail::text_given(name && *name ? name : nullptr, message);
}

bool admit_column(const mta::tabledef_t& t, int index) noexcept {
    if (index >= 0 && index < t.column_count()) return true;
    detail::report("Index out of range.");
    return false;
}

} // namespace

iTabledef_impl::iTabledef_impl(iWorktable_impl* owner, std::string_view name, mta::tabledef_t* table)
    : owner_(owner), name_(name), table_(table) {}

mta::tabledef_t& iTabledef_impl::live__() const {
    // A table the sheet let go by itself (cleared, its rows deleted) is no
    // longer listed under this handle's name.
    if (!table_ || owner_->sheet()->tabledefs().find(name_) != table_)
        throw std::runtime_error(std::string(msg_table_gone));
    return *table_;
}

template <typename R, typename Work>
R iTabledef_impl::with_table__(R failure, Work&& work) noexcept {
    return owner_->guarded(failure, [&] { return work(live__()); });
}

template <typename Work>
void iTabledef_impl::with_table_void__(Work&& work) noexcept {
    owner_->guarded_void([&] { work(live__()); });
}

const char* iTabledef_impl::name() {
    return with_table__(static_cast<const char*>(nullptr), [&](mta::tabledef_t&) { return name_.c_str(); });
}

void iTabledef_impl::range(int* first_row, int* first_col, int* last_row, int* last_col) {
    with_table_void__([&](mta::tabledef_t& t) {
        const range_t& r = t.range();
        if (first_row) *first_row = r.first.row;
        if (first_col) *first_col = r.first.col;
        if (last_row) *last_row = r.last.row;
        if (last_col) *last_col = r.last.col;
    });
}

const char* iTabledef_impl::display_name() {
    // The record keeps it in a std::string: the view ends in NUL.
    return with_table__(static_cast<const char*>(nullptr),
                        [](mta::tabledef_t& t) { return t.display_name().data(); });
}

void iTabledef_impl::set_display_name(const char* name) {
    if (!name_given(name, "Display name cannot be empty.")) return;
    with_table_void__([&](mta::tabledef_t& t) {
        std::string text = checked_host_text(name);
        std::replace(text.begin(), text.end(), ' ', '_');
        detail::check_table_name(text);
        // Formulas find a table by its display name: two alike would be one.
        if (owner_->sheet()->table_name_taken(text, &t)) {
            detail::report("Table name already exists.");
            return;
        }
        const std::string old_name(t.display_name());
        // Read while the old name still finds the table.
        if (old_name != text) owner_->sheet()->rewrite_table_references({old_name, text, {}, {}, false});
        t.set_display_name(text);
        if (!utf8_iequals(old_name, text)) owner_->sheet()->follow_new_table_name(text);
    });
}

const char* iTabledef_impl::comment() {
    return with_table__(static_cast<const char*>(nullptr), [](mta::tabledef_t& t) { return text_or_null(t.comment()); });
}

void iTabledef_impl::set_comment(const char* text) {
    if (!detail::text_given(text, "Comment cannot be empty.")) return;
    with_table_void__([&](mta::tabledef_t& t) { t.set_comment(checked_host_text(text)); });
}

const char* iTabledef_impl::col_name(int index) {
    return with_table__(static_cast<const char*>(nullptr), [&](mta::tabledef_t& t) {
        return admit_column(t, index) ? text_or_null(t.column_name(index)) : nullptr;
    });
}

bool iTabledef_impl::set_col_name(int index, const char* name) {
    if (!name_given(name, msg_empty_column)) return false;
    return with_table__(false, [&](mta::tabledef_t& t) {
        const std::string old_name(index >= 0 && index < t.column_count() ? t.column_name(index) : "");
        const std::string text = checked_host_text(name);
        if (!t.set_column_name(index, text)) return false;
        if (old_name != text)
            owner_->sheet()->rewrite_table_references({std::string(t.display_name()), {}, old_name, text, false});
        owner_->sheet()->follow_new_table_name(t.display_name());
        return true;
    });
}

bool iTabledef_impl::insert_col(int index, const char* name) {
    if (!name_given(name, msg_empty_column)) return false;
    return with_table__(false, [&](mta::tabledef_t& t) {
        if (!t.insert_column(index, checked_host_text(name))) return false;
        owner_->sheet()->follow_new_table_name(t.display_name());
        return true;
    });
}

void iTabledef_impl::delete_col_by_index(int index) {
    with_table_void__([&](mta::tabledef_t& t) {
        const int before = t.column_count();
        if (!t.delete_column_by_index(index) || before != 1) return;
        // The sheet let the table go with its column; the owner retires this
        // handle, and nothing here touches the table after that.
        owner_->delete_tabledef(name_.c_str());
    });
}

void iTabledef_impl::delete_col(const char* name) {
    if (!detail::text_given(name, msg_empty_column)) return;
    with_table_void__([&](mta::tabledef_t& t) { t.delete_column(checked_host_text(name)); });
}

void iTabledef_impl::set_totals_row_label(const char* label) {
    if (!detail::text_given(label, "Label cannot be empty.")) return;
    with_table_void__([&](mta::tabledef_t& t) { t.set_totals_row_label(checked_host_text(label)); });
}

void iTabledef_impl::set_display_total(bool on) {
    with_table_void__([&](mta::tabledef_t& t) { t.set_display_total(on); });
}

int iTabledef_impl::totals_row_func(int col) {
    return with_table__(0, [&](mta::tabledef_t& t) {
        return admit_column(t, col) ? public_totals_func(t.totals_row_func(col)) : 0;
    });
}

void iTabledef_impl::set_totals_row_func(int col, int func) {
    if (static_cast<unsigned>(func) >= stored_totals_func.size()) {
        detail::report("func: Invalid parameter value. Please refer to enum TotalsFuncEnum in enum.h");
        return;
    }
    with_table_void__([&](mta::tabledef_t& t) {
        if (!admit_column(t, col)) return;
        // Setting only the shown flag would make the last data row the totals
        // row, which hiding it again would clear.
        if (t.totals_row_shown() == 0 && !t.set_display_total(true)) return;
        t.set_totals_row_func(col, stored_totals_func[size_t(func)]);
    });
}

const char* iTabledef_impl::style_name() {
    return with_table__(static_cast<const char*>(nullptr),
                        // Empty for a table read without a style; a view of a string, so it ends in a NUL.
                        [](mta::tabledef_t& t) { return t.style_name().data(); });
}

void iTabledef_impl::set_style_name(const char* name) {
    if (!detail::text_given(name, "Style name cannot be empty.")) return;
    with_table_void__([&](mta::tabledef_t& t) { t.set_style_name(checked_host_text(name)); });
}

void iTabledef_impl::set_preset_style(int number) {
    const std::string_view name = mta::builtin_table_style_name(number);
    if (name.empty()) {
        detail::report("No such table list style number.");
        return;
    }
    set_style_name(std::string(name).c_str());
}

bool iTabledef_impl::row_strips() {
    return with_table__(false, [](mta::tabledef_t& t) { return t.row_strips() != 0; });
}

void iTabledef_impl::set_row_strips(bool on) {
    with_table_void__([&](mta::tabledef_t& t) { t.set_row_strips(on ? 1 : 0); });
}

// ---- the handles of a worktable handle ----

tabledef_handles_t::tabledef_handles_t(iWorktable_impl& owner) : owner_(owner) {
    live_.rehash(8);
    live_.max_load_factor(1.0f);
}

void tabledef_handles_t::adopt_all() {
    for (const auto& [name, table] : owner_.sheet()->tabledefs().all())
        live_.try_emplace(std::string(name), std::make_unique<iTabledef_impl>(&owner_, name, table));
}

iTabledef_impl* tabledef_handles_t::get(std::string_view name) {
    mta::tabledef_t* table = owner_.sheet()->tabledefs().find(name);
    if (!table) return nullptr;
    const std::string key(name);
    const auto found = live_.find(key);
    if (found != live_.end() && found->second->table() == table) return found->second.get();
    // No handle yet, or one left by a table of the same name that went.
    retire(name);
    auto handle = std::make_unique<iTabledef_impl>(&owner_, name, table);
    iTabledef_impl* raw = handle.get();
    live_.emplace(key, std::move(handle));
    return raw;
}

void tabledef_handles_t::retire(std::string_view name) {
    const auto found = live_.find(std::string(name));
    if (found == live_.end()) return;
    found->second->retire();
    retired_.push_back(std::move(found->second));
    live_.erase(found);
}

void tabledef_handles_t::clear() noexcept {
    live_.clear();
    retired_.clear();
}

} // namespace vex

// The worktable handle's defined names, tables and hyperlinks.
#include "kestrel/interface/worktable_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worktable_checks.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/utils/hyperlink/hyperlink_list.h"
#include "mta/table/utils/table_definition/tabledef_list.h"
#include "mta/types/document_model_access.h"
#include "unicode.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

namespace vex {

namespace {

int count_of(size_t n) noexcept { return static_cast<int>(std::min<size_t>(n, INT_MAX)); }

bool in_range(int index, size_t count) noexcept { return index >= 0 && size_t(index) < count; }

// An index outside the list is a failure the host is told of.
bool admit_index(int index, size_t count) noexcept {
    if (in_range(index, count)) return true;
    detail::report("Index out of range.");
    return false;
}

// The store keeps whole strings: a view of one ends in NUL.
const char* text_or_null(std::string_view text) noexcept { return text.empty() ? nullptr : text.data(); }

// A host's table name, checked as UTF-8 and against the naming rule.
std::string table_name_of(const char* name) {
    std::string text = checked_host_text(name);
    detail::check_table_name(text);
    return text;
}

} // namespace

void detail::check_table_name(std::string_view name) {
    if (!mta::is_valid_table_name(name)) throw std::runtime_error("Invalid table name.");
}

// ---- defined names ----

bool iWorktable_impl::defined_name_exists(const char* name) {
    if (!name) return false;
    return guarded(false, [&] {
        const std::string text = checked_host_text(name);
        const mta::defined_name_store_t* store = sheet_->get_defined_names();
        return store && store->contains_name(text);
    });
}

bool iWorktable_impl::set_defined_name(const char* name, const char* expression, const char* local_sheet) {
    if (!detail::text_given(name, "The defined name can not be empty.")) return false;
    if (!detail::text_given(expression, "The defined name expression can not be empty.")) return false;
    return guarded(false, [&] {
        uint32_t scope = mta::workbook_scope;
        if (local_sheet && *local_sheet) {
            // Found through the workbook's lookup of names, in its exact spelling.
            const std::string wanted = checked_host_text(local_sheet);
            const mta::document_model_access* book = sheet_->get_document_access();
            const uint32_t grid = book ? book->get_sheet_grid_id(wanted) : 0;
            const mta::Table* local = grid ? mta::find_table_by_grid_id(int32_t(grid)) : nullptr;
            if (!local || local->name() != wanted) {
                detail::report("No such local name.");
                return false;
            }
            scope = local->sheet_id();
        }
        const std::string text = checked_host_text(name);
        return sheet_->set_defined_name({text, scope}, checked_host_text(expression));
    });
}

int iWorktable_impl::defined_name_num() {
    return guarded(0, [&] {
        const mta::defined_name_store_t* store = sheet_->get_defined_names();
        return store ? count_of(store->size()) : 0;
    });
}

const char* iWorktable_impl::get_defined_name(int index, bool* is_local) {
    return guarded(static_cast<const char*>(nullptr), [&]() -> const char* {
        const mta::defined_name_store_t* store = sheet_->get_defined_names();
        if (!store || !admit_index(index, store->size())) return nullptr;
        const std::string_view name = store->name_at(size_t(index));
        if (name.empty()) return nullptr;
        if (is_local) *is_local = store->local_sheet_id_at(size_t(index)) != mta::workbook_scope;
        return name.data();
    });
}

const char* iWorktable_impl::get_local_name(int index) {
    return guarded(static_cast<const char*>(nullptr), [&]() -> const char* {
        const mta::defined_name_store_t* store = sheet_->get_defined_names();
        if (!store || !admit_index(index, store->size())) return nullptr;
        const uint32_t scope = store->local_sheet_id_at(size_t(index));
        if (scope == mta::workbook_scope || scope > uint32_t(INT32_MAX)) return nullptr;
        const mta::Table* local = mta::find_table_by_grid_id(int32_t(scope));
        return local ? text_or_null(local->name()) : nullptr;
    });
}

const char* iWorktable_impl::get_defined_name_expr(int index) {
    return guarded(static_cast<const char*>(nullptr), [&]() -> const char* {
        const mta::defined_name_store_t* store = sheet_->get_defined_names();
        if (!store || !admit_index(index, store->size())) return nullptr;
        return text_or_null(store->expression_at(size_t(index)));
    });
}

void iWorktable_impl::delete_defined_name(int index) {
    guarded_void([&] {
        mta::defined_name_store_t* store = sheet_->get_defined_names();
        if (!store || !admit_index(index, store->size())) return;
        // The key's view would point into the entry it erases.
        const std::string name(store->name_at(size_t(index)));
        sheet_->delete_defined_name({name, store->local_sheet_id_at(size_t(index))});
    });
}

// ---- tables ----

int iWorktable_impl::tabledef_count() {
    return guarded(-1, [&] { return count_of(sheet_->tabledefs().size()); });
}

const char* iWorktable_impl::get_tabledef_name(int index) {
    return guarded(static_cast<const char*>(nullptr), [&]() -> const char* {
        if (!in_range(index, sheet_->tabledefs().size())) {
            detail::report("The index out of range.");
            return nullptr;
        }
        return sheet_->tabledefs().name_at(size_t(index)).data();
    });
}

iTabledef* iWorktable_impl::set_tabledef_name(int index, const char* name) {
    if (!detail::text_given(name, "The oldName or newName is invalid.")) return nullptr;
    return guarded(static_cast<iTabledef*>(nullptr), [&]() -> iTabledef* {
        if (!in_range(index, sheet_->tabledefs().size())) {
            detail::report("Index out of range.");
            return nullptr;
        }
        const std::string new_name = table_name_of(name);
        const std::string old_name(sheet_->tabledefs().name_at(size_t(index)));
        if (!sheet_->rename_tabledef(old_name, new_name)) return nullptr;
        tabledefs_.retire(old_name);
        return tabledefs_.get(new_name);
    });
}

iTabledef* iWorktable_impl::get_tabledef(int index) {
    return guarded(static_cast<iTabledef*>(nullptr), [&]() -> iTabledef* {
        if (!in_range(index, sheet_->tabledefs().size())) {
            detail::report("Index out of range.");
            return nullptr;
        }
        return tabledefs_.get(sheet_->tabledefs().name_at(size_t(index)));
    });
}

iTabledef* iWorktable_impl::get_tabledef_by_name(const char* name) {
    if (!detail::text_given(name, "Name cannot be empty.")) return nullptr;
    return guarded(static_cast<iTabledef*>(nullptr), [&]() -> iTabledef* {
        iTabledef* handle = tabledefs_.get(checked_host_text(name));
        if (!handle) detail::report("No table named with the given name.");
        return handle;
    });
}

iTabledef* iWorktable_impl::add_tabledef(const char* name, int first_row, int first_col, int last_row,
                                         int last_col) {
    if (!detail::text_given(name, "The name cannot be empty.")) return nullptr;
    const range_t range = detail::ordered_range(first_row, first_col, last_row, last_col);
    return guarded(static_cast<iTabledef*>(nullptr), [&]() -> iTabledef* {
        if (!sheet_->is_valid_range(range)) {
            detail::report("The table range is invalid.");
            return nullptr;
        }
        const std::string text = table_name_of(name);
        if (!sheet_->add_tabledef(text, range, nullptr)) return nullptr;
        return tabledefs_.get(text);
    });
}

bool iWorktable_impl::delete_tabledef(const char* name) {
    if (!detail::text_given(name, "Name can not be empty.")) return false;
    return guarded(false, [&] {
        const std::string text = checked_host_text(name);
        // The table's cells are cleared: refused, as a clear is, when that
        // would leave part of an array formula, before anything changes.
        if (const mta::tabledef_t* table = sheet_->tabledefs().find(text); table && !sheet_->can_clear(table->range()))
            return false;
        sheet_->delete_tabledef(text);
        // Also when the sheet had let the table go by itself.
        if (!sheet_->tabledefs().find(text)) tabledefs_.retire(text);
        return true;
    });
}

// ---- hyperlinks ----

bool iWorktable_impl::add_hyperlink(const char* address, int first_row, int first_col, int last_row, int last_col) {
    // An empty target would be saved as a relationship to nowhere.
    if (!address || !*address) {
        detail::report("The hyperlink address can not be empty.");
        return false;
    }
    const range_t range = detail::ordered_range(first_row, first_col, last_row, last_col);
    return guarded(false, [&] {
        if (!sheet_->is_valid_range(range)) {
            detail::report("The row or column for setting hyperlink is out of range.");
            return false;
        }
        return sheet_->hyperlinks().add(range, checked_host_text(address));
    });
}

int iWorktable_impl::hyperlink_num() {
    return guarded(-1, [&] { return count_of(sheet_->hyperlinks().size()); });
}

int iWorktable_impl::hyperlink_index(int row, int col) {
    return guarded(-1, [&] { return sheet_->hyperlinks().index_of(row, col); });
}

const char* iWorktable_impl::hyperlink(int index, int* first_row, int* first_col, int* last_row, int* last_col) {
    return guarded(static_cast<const char*>(nullptr), [&]() -> const char* {
        if (!admit_index(index, sheet_->hyperlinks().size())) return nullptr;
        const mta::hyperlink_t* link = sheet_->hyperlinks().at(size_t(index));
        if (!link) return nullptr;
        if (first_row) *first_row = link->range.first.row;
        if (first_col) *first_col = link->range.first.col;
        if (last_row) *last_row = link->range.last.row;
        if (last_col) *last_col = link->range.last.col;
        return link->address.c_str();
    });
}

bool iWorktable_impl::delete_hyperlink(int index) {
    return guarded(false, [&] {
        if (!admit_index(index, sheet_->hyperlinks().size())) return false;
        sheet_->hyperlinks().remove(size_t(index));
        return true;
    });
}

} // namespace vex

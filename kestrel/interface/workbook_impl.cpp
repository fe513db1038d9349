#include "kestrel/interface/workbook_impl.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/entry.h"
#include "kestrel/interface/richtext_impl.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "mta/table/style/manager/style_manager.h"
#include "run_message.h"
#include "unicode.h"

#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace vex {

namespace {

// What the workbook component answers for a sheet it does not hold.
constexpr uint32_t absent_sheet = 0xFFFFFFFFu;

constexpr std::string_view msg_bad_index = "Index out of range.";
constexpr std::string_view msg_not_worksheet = "The sheet is not a worksheet.";
constexpr std::string_view msg_empty_new_name = "The new name can not be empty.";
constexpr std::string_view msg_bad_rename_index = "Sheet index out of range.";
constexpr std::string_view msg_calc_mode = "type: Invalid parameter value. Please refer to enum CalcTypeEnum in enum.h";
constexpr std::string_view msg_no_sheet_for_name = "Cannot define a name as there is no worksheet available.";
constexpr std::string_view msg_empty_style_name = "The name of style cannot be empty.";
constexpr std::string_view msg_no_worksheet = "At least one worksheet is required, please add a worksheet first.";
constexpr std::string_view msg_sheet_state = "state: Invalid parameter value. Please refer to enum SheetStateEnum in enum.h";

// Stored calculation modes: 0 automatic, 1 automatic except tables, 2 manual.
// The host numbers the last two the other way round.
constexpr uint32_t host_to_stored_calc_mode(int type) noexcept { return type == 1 ? 2u : type == 2 ? 1u : 0u; }

} // namespace

iWorkbook_impl::iWorkbook_impl(iDocument_impl* owner, workbook_t* workbook) : workbook_(workbook), owner_(owner) {
    if (!workbook_) throw std::runtime_error("The document has no workbook.");
    // A record without a worksheet (a chart sheet) gets no handle, and the walk
    // goes on: stopping there would hide every sheet behind a leading chart.
    for (uint64_t i = 0; i < workbook_->sheet_count(); ++i) {
        worksheet_t* sheet = workbook_->sheet_at(i);
        if (!sheet) continue;
        std::string name(workbook_->sheet_name(i));
        if (sheets_.contains(name)) continue;  // a file repeating a name: the first keeps it
        auto handle = std::make_unique<iWorksheet_impl>(this, sheet);
        sheets_.emplace(std::move(name), std::move(handle));
    }
}

iWorkbook_impl::~iWorkbook_impl() {
    cell_richtexts_.clear();
    richtexts_.clear();
    styles_.clear();
    sheets_.clear();
}

// ---- settings ----

bool iWorkbook_impl::is_date1904() {
    std::lock_guard lock(mutex_);
    return workbook_->is_date1904();
}

void iWorkbook_impl::set_date1904(bool on) {
    try {
        std::lock_guard lock(mutex_);
        if (workbook_->is_date1904() == on) return;
        workbook_->set_date1904(on);
        // Every date a formula gave or read now counts from another day.
        if (worktable_t* table = workbook_->first_worktable()) table->drop_workbook_results();
    } catch (...) {
        detail::report_exception();
    }
}

bool iWorkbook_impl::is_a1_ref_mode() {
    std::lock_guard lock(mutex_);
    return workbook_->is_a1_ref_mode();
}

void iWorkbook_impl::set_a1_ref_mode(bool on) {
    std::lock_guard lock(mutex_);
    workbook_->set_a1_ref_mode(on);
}

int iWorkbook_impl::get_calc_mode() {
    std::lock_guard lock(mutex_);
    switch (workbook_->calc_mode()) {
    case 2: return 1;
    case 1: return 2;
    default: return 0;
    }
}

void iWorkbook_impl::set_calc_mode(int type) {
    // 0 is accepted: refusing it would leave no way back to automatic.
    if (type < 0 || type > 2) {
        detail::report(msg_calc_mode);
        return;
    }
    std::lock_guard lock(mutex_);
    workbook_->set_calc_mode(host_to_stored_calc_mode(type));
}

// ---- the sheet list ----

bool iWorkbook_impl::sheet_in_range__(int index) const {
    if (index >= 0 && uint64_t(index) < workbook_->sheet_count()) return true;
    detail::report(msg_bad_index);
    return false;
}

iWorksheet_impl* iWorkbook_impl::handle_at__(uint64_t index) const {
    const worksheet_t* sheet = workbook_->sheet_at(index);
    if (!sheet) return nullptr;
    const auto it = sheets_.find(std::string(workbook_->sheet_name(index)));
    return it != sheets_.end() && it->second->worksheet() == sheet ? it->second.get() : nullptr;
}

iWorksheet_impl* iWorkbook_impl::insert_sheet__(uint64_t index, const char* name) {
    const std::string text = name ? checked_host_text(name) : std::string();
    worksheet_t* sheet = workbook_->insert_worksheet(text, index);
    if (!sheet) return nullptr;  // the component stored its reason
    // The component may have made the name up.
    std::string actual(workbook_->sheet_name_of(sheet));
    try {
        auto handle = std::make_unique<iWorksheet_impl>(this, sheet);
        iWorksheet_impl* raw = handle.get();
        sheets_.emplace(std::move(actual), std::move(handle));
        // Placed among other sheets it may lie inside a span, read from now on;
        // its cell table exists once its handle does. Formulas may have named
        // it before it came.
        if (worktable_t* table = sheet->worktable()) {
            if (index < workbook_->sheet_count() - 1) table->follow_sheet_order([] {}, true);
            table->follow_new_sheet_name();
            table->follow_sheet_list();
        }
        return raw;
    } catch (...) {
        // No sheet without its handle.
        workbook_->delete_worksheet(workbook_->sheet_name_of(sheet));
        throw;
    }
}

iWorksheet* iWorkbook_impl::add_worksheet(const char* name) {
    try {
        std::lock_guard lock(mutex_);
        return insert_sheet__(UINT64_MAX, name);
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

iWorksheet* iWorkbook_impl::insert_worksheet(int index, const char* name) {
    try {
        std::lock_guard lock(mutex_);
        // A negative index appends, as an index past the end does.
        return insert_sheet__(index < 0 ? UINT64_MAX : uint64_t(index), name);
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

void iWorkbook_impl::shift_sheet(int from, int to) {
    std::lock_guard lock(mutex_);
    if (!sheet_in_range__(from) || !sheet_in_range__(to)) return;
    workbook_->shift_sheet(uint64_t(from), uint64_t(to));
}

void iWorkbook_impl::delete_sheet(int index) {
    try {
        std::lock_guard lock(mutex_);
        if (!sheet_in_range__(index)) return;
        iWorksheet_impl* handle = handle_at__(uint64_t(index));
        if (!handle) {
            detail::report(msg_not_worksheet);
            return;
        }
        // The last sheet may go, not the last one shown.
        if (workbook_->sheet_state(uint64_t(index)) == 0 && workbook_->sheet_count() > 1 &&
            !workbook_->shows_a_sheet_without(uint64_t(index)))
            return;
        const std::string name(workbook_->sheet_name(uint64_t(index)));
        if (!workbook_->delete_worksheet(name)) return;
        sheets_.erase(name);
    } catch (...) {
        detail::report_exception();
    }
}

unsigned int iWorkbook_impl::sheet_count() {
    try {
        std::lock_guard lock(mutex_);
        const uint64_t count = workbook_->sheet_count();
        return count < 0xFFFFFFFFu ? static_cast<unsigned int>(count) : 0xFFFFFFFFu;
    } catch (...) {
        detail::report_exception();
    }
    return 0xFFFFFFFFu;
}

iWorksheet* iWorkbook_impl::get_sheet(int index) {
    try {
        std::lock_guard lock(mutex_);
        if (!sheet_in_range__(index)) return nullptr;
        if (!workbook_->sheet_at(uint64_t(index))) {
            detail::report(msg_not_worksheet);
            return nullptr;
        }
        return handle_at__(uint64_t(index));
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

int iWorkbook_impl::sheet_type(int index) {
    std::lock_guard lock(mutex_);
    if (!sheet_in_range__(index)) return 0;
    const uint32_t type = workbook_->sheet_type(uint64_t(index));
    return type >= 1 && type <= 3 ? int(type) : 0;
}

int iWorkbook_impl::get_sheet_state(int index) {
    try {
        std::lock_guard lock(mutex_);
        if (!sheet_in_range__(index)) return 0;
        const uint32_t state = workbook_->sheet_state(uint64_t(index));
        return state == 1 || state == 2 ? int(state) : 0;
    } catch (...) {
        detail::report_exception();
    }
    return 0;
}

void iWorkbook_impl::set_sheet_state(int index, int state) {
    if (state < 0 || state > 2) {
        detail::report(msg_sheet_state);
        return;
    }
    try {
        std::lock_guard lock(mutex_);
        if (!sheet_in_range__(index)) return;
        workbook_->set_sheet_state(uint64_t(index), uint32_t(state));
    } catch (...) {
        detail::report_exception();
    }
}

const char* iWorkbook_impl::sheet_name(int index) {
    try {
        std::lock_guard lock(mutex_);
        if (!sheet_in_range__(index)) return nullptr;
        const uint64_t i = uint64_t(index);
        // A chart sheet has no handle: its name is handed out from a copy, as
        // the records move.
        if (!workbook_->sheet_at(i)) return chart_names_.emplace(workbook_->sheet_name(i)).first->c_str();
        const auto it = sheets_.find(std::string(workbook_->sheet_name(i)));
        return it != sheets_.end() && it->second->worksheet() == workbook_->sheet_at(i) ? it->first.c_str() : nullptr;
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

bool iWorkbook_impl::rename(uint64_t index, const char* name) {
    if (!name) {
        detail::report(msg_empty_new_name);
        return false;
    }
    std::lock_guard lock(mutex_);
    return rename__(index, name);
}

bool iWorkbook_impl::rename(const iWorksheet_impl* sheet, const char* name) {
    if (!name) {
        detail::report(msg_empty_new_name);
        return false;
    }
    std::lock_guard lock(mutex_);
    const uint32_t index = sheet ? workbook_->sheet_index(sheet->worksheet()) : absent_sheet;
    return rename__(index == absent_sheet ? UINT64_MAX : index, name);
}

uint32_t iWorkbook_impl::index_of(const iWorksheet_impl* sheet) {
    std::lock_guard lock(mutex_);
    return sheet ? workbook_->sheet_index(sheet->worksheet()) : absent_sheet;
}

const char* iWorkbook_impl::name_of(const iWorksheet_impl* sheet) {
    std::lock_guard lock(mutex_);
    if (!sheet) return nullptr;
    const auto it = sheets_.find(std::string(workbook_->sheet_name_of(sheet->worksheet())));
    return it != sheets_.end() && it->second.get() == sheet ? it->first.c_str() : nullptr;
}

bool iWorkbook_impl::rename__(uint64_t index, const char* name) {
    if (index >= workbook_->sheet_count()) {
        detail::report(msg_bad_rename_index);
        return false;
    }
    std::string text = checked_host_text(name);
    iWorksheet_impl* handle = handle_at__(index);
    const std::string old_name(workbook_->sheet_name(index));
    // Everything that may throw comes before the rename, so that a renamed
    // sheet never loses its handle.
    std::string new_key = text;
    sheets_.reserve(sheets_.size() + 1);
    if (!workbook_->rename_sheet(index, text)) return false;
    if (!handle) return true;
    auto node = sheets_.extract(old_name);
    node.key() = std::move(new_key);
    sheets_.insert(std::move(node));
    return true;
}

void iWorkbook_impl::rename_sheet(unsigned int index, const char* name) {
    try {
        rename(index, name);
    } catch (...) {
        detail::report_exception();
    }
}

int iWorkbook_impl::get_active_sheet() {
    try {
        std::lock_guard lock(mutex_);
        return workbook_->active_sheet();
    } catch (...) {
        detail::report_exception();
    }
    return -1;
}

bool iWorkbook_impl::set_active_sheet(int index) {
    try {
        std::lock_guard lock(mutex_);
        return workbook_->set_active_sheet(index);
    } catch (...) {
        detail::report_exception();
    }
    return false;
}

// ---- defined names ----
// Forwarded to the first worksheet's cell-level handle under the document's
// lock, so that the sheet cannot go between the look-up and the call. The
// names live in the workbook's store, shared by its sheets, so the first sheet
// going loses none of them.

iWorktable_impl* iWorkbook_impl::first_worktable__() {
    iWorksheet_impl* sheet = first_sheet();
    return sheet ? sheet->worktable() : nullptr;
}

bool iWorkbook_impl::set_defined_name(const char* name, const char* expression, const char* local_sheet) {
    std::lock_guard lock(mutex_);
    iWorktable_impl* table = first_worktable__();
    if (!table) {
        detail::report(msg_no_sheet_for_name);
        return false;
    }
    return table->set_defined_name(name, expression, local_sheet);
}

int iWorkbook_impl::defined_name_num() {
    std::lock_guard lock(mutex_);
    iWorktable_impl* table = first_worktable__();
    return table ? table->defined_name_num() : 0;
}

const char* iWorkbook_impl::get_defined_name(int index, bool* is_local) {
    std::lock_guard lock(mutex_);
    iWorktable_impl* table = first_worktable__();
    return table ? table->get_defined_name(index, is_local) : nullptr;
}

const char* iWorkbook_impl::get_local_name(int index) {
    std::lock_guard lock(mutex_);
    iWorktable_impl* table = first_worktable__();
    return table ? table->get_local_name(index) : nullptr;
}

const char* iWorkbook_impl::get_defined_name_expr(int index) {
    std::lock_guard lock(mutex_);
    iWorktable_impl* table = first_worktable__();
    return table ? table->get_defined_name_expr(index) : nullptr;
}

void iWorkbook_impl::delete_defined_name(int index) {
    std::lock_guard lock(mutex_);
    if (iWorktable_impl* table = first_worktable__()) table->delete_defined_name(index);
}

// ---- named styles and rich text ----

// Null, with the message that says why, before the first sheet.
mta::style_manager_t* iWorkbook_impl::style_manager__() const {
    worktable_t* table = workbook_->first_worktable();
    mta::style_manager_t* manager = table ? table->get_style_manager() : nullptr;
    if (!manager) detail::report(msg_no_worksheet);
    return manager;
}

iStyle* iWorkbook_impl::get_named_style(const char* name) {
    if (!name || !*name) {
        detail::report(msg_empty_style_name);
        return nullptr;
    }
    try {
        std::lock_guard lock(mutex_);
        const std::string text = checked_host_text(name);
        mta::style_manager_t* manager = style_manager__();
        if (!manager) return nullptr;
        std::unique_ptr<mta::style_settings_t> settings = manager->get_named_style(text);
        if (!settings) {
            detail::report("No style named " + text + ".");
            return nullptr;
        }
        return keep__(styles_, std::make_unique<iStyle_impl>(this, std::move(*settings)));
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

iStyle* iWorkbook_impl::add_custom_style(const char* name, iStyle* style) {
    if (!name || !*name) {
        detail::report(msg_empty_style_name);
        return nullptr;
    }
    try {
        // The style may be another document's: copied under its own mutex
        // before this document's lock.
        auto* handle = dynamic_cast<iStyle_impl*>(style);
        if (!handle) {
            detail::report(detail::style_refusal(style));
            return nullptr;
        }
        mta::style_settings_t settings = handle->settings_for(this);
        std::lock_guard lock(mutex_);
        const std::string text = checked_host_text(name);
        mta::style_manager_t* manager = style_manager__();
        if (!manager) return nullptr;
        if (!manager->add_custom_style(text, settings)) return nullptr;
        // Cells styled with the handle from now on derive from the new style.
        if (handle->owner() == this) handle->set_style_id(settings.style_id());
        return get_named_style(name);
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

bool iWorkbook_impl::modify_named_style(const char* name, iStyle* style) {
    try {
        const auto* handle = dynamic_cast<const iStyle_impl*>(style);
        const std::optional<mta::style_settings_t> settings =
            handle ? std::optional(handle->settings_for(this)) : std::nullopt;
        std::lock_guard lock(mutex_);
        mta::style_manager_t* manager = style_manager__();
        if (!manager) return false;
        if (!settings) {
            detail::report(detail::style_refusal(style));
            return false;
        }
        if (!name || !*name) {
            detail::report(msg_empty_style_name);
            return false;
        }
        return manager->modify_named_style(checked_host_text(name), *settings);
    } catch (...) {
        detail::report_exception();
    }
    return false;
}

iStyle* iWorkbook_impl::make_normal_style() { return get_named_style("normal"); }

iRichtext* iWorkbook_impl::make_richtext() {
    try {
        std::lock_guard lock(mutex_);
        return keep__(richtexts_, std::make_unique<iRichtext_impl>(this));
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

bool iWorkbook_impl::release_style(const iStyle_impl* style) { return release_from__(styles_, style); }

bool iWorkbook_impl::release_richtext(const iRichtext_impl* richtext) { return release_from__(richtexts_, richtext); }

iRichtext* iWorkbook_impl::keep_cell_richtext(std::unique_ptr<iRichtext_impl> handle) {
    std::unique_ptr<iRichtext_impl> previous;  // destroyed after the lock is let go
    std::lock_guard lock(mutex_);
    std::unique_ptr<iRichtext_impl>& slot = cell_richtexts_[std::this_thread::get_id()];
    previous = std::exchange(slot, std::move(handle));
    return slot.get();
}

// ---- the first worksheet ----

iWorksheet_impl* iWorkbook_impl::first_sheet__() const {
    for (uint64_t i = 0; i < workbook_->sheet_count(); ++i)
        if (iWorksheet_impl* handle = handle_at__(i)) return handle;
    return nullptr;
}

iWorksheet_impl* iWorkbook_impl::first_sheet() {
    std::lock_guard lock(mutex_);
    return first_sheet__();
}

} // namespace vex

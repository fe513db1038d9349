#pragma once
// The workbook handle a document hands out: one sheet handle per worksheet of
// the workbook component, kept under the sheet's current name. Sheet indexes run
// over every sheet record in tab order, chart sheets included.

#include "interfaces.h"
#include "kestrel/interface/document_lock.h"
#include "kestrel/interface/entry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace vex {

class iDocument_impl;
class iRichtext_impl;
class iStyle_impl;
class iWorksheet_impl;
class iWorktable_impl;
class workbook_t;
namespace mta {
class style_manager_t;
}

class iWorkbook_impl final : public iWorkbook {
public:
    // A handle for every sheet the workbook component holds.
    iWorkbook_impl(iDocument_impl* owner, workbook_t* workbook);
    // Rich-text handles, then style handles, then sheet handles.
    ~iWorkbook_impl() override;
    iWorkbook_impl(const iWorkbook_impl&) = delete;
    iWorkbook_impl& operator=(const iWorkbook_impl&) = delete;

    bool is_date1904() override;
    void set_date1904(bool on) override;
    bool is_a1_ref_mode() override;
    void set_a1_ref_mode(bool on) override;
    int get_calc_mode() override;
    void set_calc_mode(int type) override;
    iWorksheet* add_worksheet(const char* name) override;
    iWorksheet* insert_worksheet(int index, const char* name) override;
    void shift_sheet(int from, int to) override;
    void delete_sheet(int index) override;
    unsigned int sheet_count() override;
    iWorksheet* get_sheet(int index) override;
    int sheet_type(int index) override;
    int get_sheet_state(int index) override;
    void set_sheet_state(int index, int state) override;
    const char* sheet_name(int index) override;
    void rename_sheet(unsigned int index, const char* name) override;
    int get_active_sheet() override;
    bool set_active_sheet(int index) override;
    bool set_defined_name(const char* name, const char* expression, const char* local_sheet) override;
    int defined_name_num() override;
    const char* get_defined_name(int index, bool* is_local) override;
    const char* get_local_name(int index) override;
    const char* get_defined_name_expr(int index) override;
    void delete_defined_name(int index) override;
    iStyle* get_named_style(const char* name) override;
    iStyle* add_custom_style(const char* name, iStyle* style) override;
    bool modify_named_style(const char* name, iStyle* style) override;
    iStyle* make_normal_style() override;
    iRichtext* make_richtext() override;

    // True when this workbook owned the handle and has destroyed it; false,
    // leaving it alone, for any other handle.
    bool release_style(const iStyle_impl* style);
    bool release_richtext(const iRichtext_impl* richtext);
    // The slot for the rich text a sheet's get_richtext hands out, one per
    // calling thread: the handle replaces (and destroys) the one this thread
    // was given before, never another thread's, and dies with the workbook
    // handle.
    iRichtext* keep_cell_richtext(std::unique_ptr<iRichtext_impl> handle);

    // Renames the sheet through the component and keeps its handle under the
    // new name; false with the reason in the last message. The one path for
    // renaming from the workbook and from the sheet handle.
    bool rename(uint64_t index, const char* name);
    bool rename(const iWorksheet_impl* sheet, const char* name);
    // The sheet's index in tab order, or absent_sheet when it is gone.
    uint32_t index_of(const iWorksheet_impl* sheet);
    // The name this handle keeps the sheet under: it stays put until the sheet
    // is renamed or removed, whatever happens to the other sheets. Null when
    // the sheet is gone.
    const char* name_of(const iWorksheet_impl* sheet);

    workbook_t* workbook() const noexcept { return workbook_; }
    iDocument_impl* owner() const noexcept { return owner_; }
    document_lock_t& document_lock() const noexcept { return mutex_; }
    // The handle of the first sheet in tab order that is a worksheet; null
    // when there is none.
    iWorksheet_impl* first_sheet();

private:
    // Under the mutex. A null name asks for the next default name.
    iWorksheet_impl* insert_sheet__(uint64_t index, const char* name);
    iWorksheet_impl* first_sheet__() const;
    bool rename__(uint64_t index, const char* name);
    // False with "Index out of range." for an index outside the sheet records.
    bool sheet_in_range__(int index) const;
    // The first worksheet's cell-level handle; null without a worksheet. Takes
    // the mutex itself.
    iWorktable_impl* first_worktable__();
    // The manager the first worksheet's cell store uses; null without one.
    mta::style_manager_t* style_manager__() const;
    // The handle of the record at index; null for a chart sheet or a record
    // whose name another record took first.
    iWorksheet_impl* handle_at__(uint64_t index) const;

    // Under the mutex.
    template <typename Set, typename Handle>
    static Handle* keep__(Set& set, std::unique_ptr<Handle> handle) {
        Handle* raw = handle.get();
        set.emplace(raw, std::move(handle));
        return raw;
    }
    // Destroys the handle when the set holds it.
    template <typename Set, typename Handle>
    bool release_from__(Set& set, const Handle* handle) noexcept {
        try {
            std::lock_guard lock(mutex_);
            return set.erase(handle) != 0;
        } catch (...) {
            detail::report_exception();
        }
        return false;
    }

    mutable document_lock_t mutex_;  // the document's lock, see document_lock.h
    workbook_t* workbook_;  // the document's component
    iDocument_impl* owner_;
    std::unordered_map<std::string, std::unique_ptr<iWorksheet_impl>> sheets_;
    // Handed out by the style and rich-text slots, destroyed with the workbook.
    std::unordered_map<const iStyle_impl*, std::unique_ptr<iStyle_impl>> styles_;
    std::unordered_map<const iRichtext_impl*, std::unique_ptr<iRichtext_impl>> richtexts_;
    // See keep_cell_richtext.
    std::unordered_map<std::thread::id, std::unique_ptr<iRichtext_impl>> cell_richtexts_;
    // Names handed out for chart sheets, which have no handle to keep theirs;
    // the sheet records move whenever a sheet comes, goes or moves.
    std::unordered_set<std::string> chart_names_;
};

// The document lock of a style or rich-text handle's owner; none without one.
inline std::unique_lock<document_lock_t> lock_document(const iWorkbook_impl* owner) {
    return owner ? std::unique_lock(owner->document_lock()) : std::unique_lock<document_lock_t>();
}

} // namespace vex

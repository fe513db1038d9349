#include "kestrel/interface/workbook_impl.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/interface/worksheet_impl.h"
#include "unicode.h"

#include <stdexcept>
#include <string_view>

namespace vex {

iWorkbook_impl::iWorkbook_impl(iDocument_impl* owner, workbook_t* workbook) : workbook_(workbook), owner_(owner) {
    if (!workbook_) throw std::runtime_error("The document has no workbook.");
    // A record without a worksheet (a chart sheet) gets no handle, and the walk
    // goes on: stopping there would hide every sheet behind a leading chart.
    for (uint64_t i = 0; i < workbook_->sheet_count(); ++i) {
        worksheet_t* sheet = workbook_->sheet_at(i);
        if (!sheet) continue;
        std::string name(workbook_->sheet_name(i));
        if (sheets_.contains(name)) continue;  // a file repeating a name: the first keeps it
        keep_sheet__(std::move(name), std::make_unique<iWorksheet_impl>(this, sheet));
    }
}

iWorkbook_impl::~iWorkbook_impl() {
    richtexts_.clear();
    styles_.clear();
    sheets_.clear();
    sheet_order_.clear();
}

void iWorkbook_impl::keep_sheet__(std::string name, std::unique_ptr<iWorksheet_impl> sheet) {
    iWorksheet_impl* raw = sheet.get();
    sheet_order_.push_back(std::move(sheet));
    try {
        sheets_.emplace(std::move(name), raw);
    } catch (...) {
        sheet_order_.pop_back();
        throw;
    }
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
        keep_sheet__(actual, std::move(handle));
        return raw;
    } catch (...) {
        // No sheet without its handle.
        workbook_->delete_worksheet(actual);
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

iWorksheet_impl* iWorkbook_impl::first_sheet() {
    std::lock_guard lock(mutex_);
    return sheet_order_.empty() ? nullptr : sheet_order_.front().get();
}

} // namespace vex

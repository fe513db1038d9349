#pragma once
// The workbook handle a document hands out: one sheet handle per sheet of the
// workbook component, kept under the sheet's name. Only the lifecycle is built
// here (construction, adding a sheet, destruction); its other slots come later.

#include "kestrel/interface/unbuilt_slots.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vex {

class iDocument_impl;
class iWorksheet_impl;
class workbook_t;

class iWorkbook_impl final : public iWorkbook_unbuilt {
public:
    // A handle for every sheet the workbook component holds.
    iWorkbook_impl(iDocument_impl* owner, workbook_t* workbook);
    // Rich-text handles, then style handles, then sheet handles.
    ~iWorkbook_impl() override;
    iWorkbook_impl(const iWorkbook_impl&) = delete;
    iWorkbook_impl& operator=(const iWorkbook_impl&) = delete;

    iWorksheet* add_worksheet(const char* name) override;

    workbook_t* workbook() const noexcept { return workbook_; }
    iDocument_impl* owner() const noexcept { return owner_; }
    // The sheet handle kept first; null when the workbook has no sheet.
    iWorksheet_impl* first_sheet();

private:
    // Under the mutex. A null name asks for the next default name.
    iWorksheet_impl* insert_sheet__(uint64_t index, const char* name);
    void keep_sheet__(std::string name, std::unique_ptr<iWorksheet_impl> sheet);

    std::mutex mutex_;
    workbook_t* workbook_;  // the document's component
    iDocument_impl* owner_;
    // Sheet handles in the order they were made, and by name.
    std::vector<std::unique_ptr<iWorksheet_impl>> sheet_order_;
    std::unordered_map<std::string, iWorksheet_impl*> sheets_;
    // Handed out by the style and rich-text slots, destroyed with the workbook.
    std::vector<std::unique_ptr<iStyle>> styles_;
    std::vector<std::unique_ptr<iRichtext>> richtexts_;
};

} // namespace vex

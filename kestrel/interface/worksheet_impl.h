#pragma once
// The host's handle on one sheet, made and owned by its workbook handle, with
// the worktable handle its cell slots will go to.

#include "kestrel/interface/unbuilt_slots.h"
#include "kestrel/interface/worktable_impl.h"

#include <memory>

namespace vex {

class iWorkbook_impl;
class worksheet_t;

class iWorksheet_impl final : public iWorksheet_unbuilt {
public:
    // Gives the sheet a worktable over the whole sheet, named after the sheet,
    // when it has none, and makes the worktable handle.
    iWorksheet_impl(iWorkbook_impl* owner, worksheet_t* worksheet);
    ~iWorksheet_impl() override = default;

    iWorkbook_impl* owner() const noexcept { return owner_; }
    worksheet_t* worksheet() const noexcept { return worksheet_; }
    iWorktable_impl* worktable() const noexcept { return worktable_.get(); }

private:
    worksheet_t* worksheet_;  // owned by the package part tree
    iWorkbook_impl* owner_;
    std::unique_ptr<iWorktable_impl> worktable_;
};

} // namespace vex

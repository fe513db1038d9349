#pragma once
// The host's handle on one sheet, made and owned by its workbook handle. So far
// it only makes sure the sheet has its cell store; its slots come later.

#include "kestrel/interface/unbuilt_slots.h"

namespace vex {

class iWorkbook_impl;
class worksheet_t;

class iWorksheet_impl final : public iWorksheet_unbuilt {
public:
    // Gives the sheet a worktable over the whole sheet, named after the sheet,
    // when it has none.
    iWorksheet_impl(iWorkbook_impl* owner, worksheet_t* worksheet);
    ~iWorksheet_impl() override = default;

    iWorkbook_impl* owner() const noexcept { return owner_; }
    worksheet_t* worksheet() const noexcept { return worksheet_; }

private:
    worksheet_t* worksheet_;  // owned by the package part tree
    iWorkbook_impl* owner_;
};

} // namespace vex

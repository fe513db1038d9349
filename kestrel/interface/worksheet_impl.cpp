#include "kestrel/interface/worksheet_impl.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "sheet_limits.h"

#include <stdexcept>
#include <string>

namespace vex {

iWorksheet_impl::iWorksheet_impl(iWorkbook_impl* owner, worksheet_t* worksheet)
    : worksheet_(worksheet), owner_(owner) {
    if (!worksheet_) throw std::logic_error("Internal logic error: a sheet handle without its sheet.");
    worktable_t* table = worksheet_->worktable();
    if (!table) {
        const sheet_limits_t& limits = get_sheet_limits();
        table = worksheet_->create_worktable__(static_cast<uint32_t>(limits.row_count()),
                                               static_cast<uint32_t>(limits.col_count()), mta::extent_t{});
        if (!table) throw std::runtime_error("The worksheet's cell table could not be created.");
        table->set_name(std::string(worksheet_->name()));
    }
    worktable_ = std::make_unique<iWorktable_impl>(this, table);
}

} // namespace vex

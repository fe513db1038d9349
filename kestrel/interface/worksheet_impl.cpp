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

template <typename R, typename Work>
R iWorksheet_impl::locked(R failure, Work&& work) noexcept {
    try {
        std::lock_guard lock(mutex_);
        return work(*worksheet_);
    } catch (...) {
        detail::report_exception();
        return failure;
    }
}

const char* iWorksheet_impl::name() {
    return locked(static_cast<const char*>(nullptr), [](worksheet_t& w) -> const char* {
        // A view of the record's std::string, so it ends in NUL.
        const std::string_view n = w.name();
        return n.empty() ? nullptr : n.data();
    });
}

int iWorksheet_impl::zoom() {
    return locked(0, [](worksheet_t& w) { return static_cast<int>(w.zoom()); });
}

void iWorksheet_impl::set_zoom(int percent) {
    if (percent < 10 || percent > 400) return;  // ignored without a message
    locked(0, [&](worksheet_t& w) {
        w.set_zoom(static_cast<uint32_t>(percent));
        return 0;
    });
}

// The margins: the component stores a negative one as 0.
#define PLOVER_SHEET_MARGIN(which)                                                  \
    double iWorksheet_impl::which##_margin() {                                      \
        return locked(0.0, [](worksheet_t& w) { return w.which##_margin(); });      \
    }                                                                               \
    void iWorksheet_impl::set_##which##_margin(double inches) {                     \
        locked(0, [&](worksheet_t& w) {                                             \
            w.set_##which##_margin(inches);                                         \
            return 0;                                                               \
        });                                                                         \
    }
PLOVER_SHEET_MARGIN(left)
PLOVER_SHEET_MARGIN(right)
PLOVER_SHEET_MARGIN(top)
PLOVER_SHEET_MARGIN(bottom)
PLOVER_SHEET_MARGIN(header)
PLOVER_SHEET_MARGIN(footer)
#undef PLOVER_SHEET_MARGIN

int iWorksheet_impl::paper() {
    return locked(0, [](worksheet_t& w) { return static_cast<int>(w.paper()); });
}

bool iWorksheet_impl::set_paper(int id) {
    return locked(false, [&](worksheet_t& w) { return w.set_paper(id); });
}

int iWorksheet_impl::print_scale() {
    return locked(0, [](worksheet_t& w) { return static_cast<int>(w.print_scale()); });
}

void iWorksheet_impl::set_print_scale(int percent) {
    if (percent < 0) return;
    locked(0, [&](worksheet_t& w) {
        w.set_print_scale(percent);
        return 0;
    });
}

int iWorksheet_impl::page_orientation() {
    return locked(0, [](worksheet_t& w) {
        const uint32_t o = w.page_orientation();
        return o <= 2 ? static_cast<int>(o) : 0;
    });
}

void iWorksheet_impl::set_page_orientation(int value) {
    if (value < 0 || value > 2) {
        detail::report("orientation: Invalid parameter value. Please refer to enum PageOrientEnum in enum.h");
        return;
    }
    locked(0, [&](worksheet_t& w) {
        w.set_page_orientation(static_cast<uint32_t>(value));
        return 0;
    });
}

} // namespace vex

#include "kestrel/interface/worksheet_impl.h"

#include "kestrel/interface/workbook_impl.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "sheet_limits.h"
#include "unicode.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace vex {

namespace {

// The component keeps names and texts in std::strings, so a view of one ends
// in NUL.
const char* text_or_null(std::string_view text) { return text.empty() ? nullptr : text.data(); }

} // namespace

namespace {

document_lock_t& lock_of(iWorkbook_impl* owner) {
    if (!owner) throw std::logic_error("Internal logic error: a sheet handle without its workbook.");
    return owner->document_lock();
}

} // namespace

iWorksheet_impl::iWorksheet_impl(iWorkbook_impl* owner, worksheet_t* worksheet)
    : mutex_(lock_of(owner)), worksheet_(worksheet), owner_(owner) {
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
    // The workbook handle's key, not the sheet record: the records move when
    // other sheets are added, removed or moved.
    return locked(static_cast<const char*>(nullptr), [&](worksheet_t&) { return owner_->name_of(this); });
}

bool iWorksheet_impl::set_name(const char* name) {
    return locked(false, [&](worksheet_t&) { return owner_->rename(this, name ? name : ""); });
}

int iWorksheet_impl::ws_type() {
    return locked(0, [&](worksheet_t&) { return owner_->sheet_type(static_cast<int>(owner_->index_of(this))); });
}

int iWorksheet_impl::get_ws_state() {
    return locked(0, [&](worksheet_t&) { return owner_->get_sheet_state(static_cast<int>(owner_->index_of(this))); });
}

int iWorksheet_impl::zoom() {
    return locked(0, [](worksheet_t& w) { return static_cast<int>(w.zoom()); });
}

void iWorksheet_impl::set_zoom(int percent) {
    if (percent < 10 || percent > 400) return;  // ignored without a message
    locked_void([&](worksheet_t& w) { w.set_zoom(static_cast<uint32_t>(percent)); });
}

bool iWorksheet_impl::right_to_left() {
    return locked(false, [](worksheet_t& w) { return w.right_to_left(); });
}

void iWorksheet_impl::set_right_to_left(bool on) {
    locked_void([&](worksheet_t& w) { w.set_right_to_left(on); });
}

void iWorksheet_impl::topleft_cell(int* row, int* col) {
    locked_void([&](worksheet_t& w) { w.topleft_cell(row, col); });
}

void iWorksheet_impl::set_topleft_cell(int row, int col) {
    locked_void([&](worksheet_t& w) { w.set_topleft_cell(row, col); });
}

void iWorksheet_impl::active_cell(int* row, int* col) {
    locked_void([&](worksheet_t& w) { w.active_cell(row, col); });
}

void iWorksheet_impl::set_active_cell(int row, int col) {
    locked_void([&](worksheet_t& w) { w.set_active_cell(row, col); });
}

void iWorksheet_impl::split_cell(int* row, int* col) {
    locked_void([&](worksheet_t& w) { w.split_cell(row, col); });
}

void iWorksheet_impl::set_split_cell(int row, int col) {
    locked_void([&](worksheet_t& w) { w.set_split_cell(row, col); });
}

bool iWorksheet_impl::display_gridlines() {
    return locked(false, [](worksheet_t& w) { return w.display_gridlines(); });
}

void iWorksheet_impl::set_display_gridlines(bool on) {
    locked_void([&](worksheet_t& w) { w.set_display_gridlines(on); });
}

// The margins: the component stores a negative one as 0.
#define PLOVER_SHEET_MARGIN(which)                                                  \
    double iWorksheet_impl::which##_margin() {                                      \
        return locked(0.0, [](worksheet_t& w) { return w.which##_margin(); });      \
    }                                                                               \
    void iWorksheet_impl::set_##which##_margin(double inches) {                     \
        locked_void([&](worksheet_t& w) { w.set_##which##_margin(inches); });        \
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
    locked_void([&](worksheet_t& w) { w.set_print_scale(percent); });
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
    locked_void([&](worksheet_t& w) { w.set_page_orientation(static_cast<uint32_t>(value)); });
}

int iWorksheet_impl::row_break_count() {
    return locked(-1, [](worksheet_t& w) { return static_cast<int>(w.row_break_count()); });
}

int iWorksheet_impl::row_break(int index) {
    // The component's bad index (0xFFFFFFFF) is -1 here.
    return locked(-1, [&](worksheet_t& w) { return static_cast<int>(w.row_break(index)); });
}

bool iWorksheet_impl::set_row_break(int row, bool on) {
    return locked(false, [&](worksheet_t& w) { return w.set_row_break(row, on); });
}

int iWorksheet_impl::col_break_count() {
    return locked(-1, [](worksheet_t& w) { return static_cast<int>(w.col_break_count()); });
}

int iWorksheet_impl::col_break(int index) {
    return locked(-1, [&](worksheet_t& w) { return static_cast<int>(w.col_break(index)); });
}

bool iWorksheet_impl::set_col_break(int col, bool on) {
    return locked(false, [&](worksheet_t& w) { return w.set_col_break(col, on); });
}

bool iWorksheet_impl::print_gridlines() {
    return locked(false, [](worksheet_t& w) { return w.print_gridlines(); });
}

void iWorksheet_impl::set_print_gridlines(bool on) {
    locked_void([&](worksheet_t& w) { w.set_print_gridlines(on); });
}

bool iWorksheet_impl::print_headings() {
    return locked(false, [](worksheet_t& w) { return w.print_headings(); });
}

void iWorksheet_impl::set_print_headings(bool on) {
    locked_void([&](worksheet_t& w) { w.set_print_headings(on); });
}

bool iWorksheet_impl::h_centered_printing() {
    return locked(false, [](worksheet_t& w) { return w.h_centered_printing(); });
}

void iWorksheet_impl::set_h_centered_printing(bool on) {
    locked_void([&](worksheet_t& w) { w.set_h_centered_printing(on); });
}

bool iWorksheet_impl::v_centered_printing() {
    return locked(false, [](worksheet_t& w) { return w.v_centered_printing(); });
}

void iWorksheet_impl::set_v_centered_printing(bool on) {
    locked_void([&](worksheet_t& w) { w.set_v_centered_printing(on); });
}

int iWorksheet_impl::print_errors() {
    return locked(-1, [](worksheet_t& w) { return static_cast<int>(w.print_errors()); });
}

void iWorksheet_impl::set_print_errors(int way) {
    if (way < 0 || way > 3) {
        detail::report("way: Invalid parameter value. Please refer to enum PrintErrorEnum in enum.h");
        return;
    }
    locked_void([&](worksheet_t& w) { w.set_print_errors(static_cast<uint32_t>(way)); });
}

int iWorksheet_impl::fit_page_height() {
    return locked(0, [](worksheet_t& w) { return static_cast<int>(w.fit_page_height()); });
}

void iWorksheet_impl::set_fit_page_height(int pages) {
    locked_void([&](worksheet_t& w) { w.set_fit_page_height(pages); });
}

int iWorksheet_impl::fit_page_width() {
    return locked(0, [](worksheet_t& w) { return static_cast<int>(w.fit_page_width()); });
}

void iWorksheet_impl::set_fit_page_width(int pages) {
    locked_void([&](worksheet_t& w) { w.set_fit_page_width(pages); });
}

const char* iWorksheet_impl::page_header() {
    return locked(static_cast<const char*>(nullptr), [](worksheet_t& w) { return text_or_null(w.page_header()); });
}

void iWorksheet_impl::set_page_header(const char* text) {
    locked_void([&](worksheet_t& w) { w.set_page_header(text ? checked_host_text(text) : std::string()); });
}

const char* iWorksheet_impl::page_footer() {
    return locked(static_cast<const char*>(nullptr), [](worksheet_t& w) { return text_or_null(w.page_footer()); });
}

void iWorksheet_impl::set_page_footer(const char* text) {
    locked_void([&](worksheet_t& w) { w.set_page_footer(text ? checked_host_text(text) : std::string()); });
}

} // namespace vex

// What a sheet keeps by range beside its cells follows an edit of them as a
// reference does: editable ranges and ignored-error ranges move and shrink,
// one whose cells are all deleted goes; a page break moves with the row or
// column it stands at and goes with it.

#include "kestrel/core/components/worktable.h"

#include "errors.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vex {

namespace {

// The areas of a reference list after the shift; false when none is left.
// The text stays as read when no area moved, and so does a list the reader
// would refuse.
bool follow_area_list(std::string& list, const mta::band_shift_t& shift) {
    std::vector<range_t> areas;
    try {
        read_range_list(list, [&](const range_t& r) { areas.push_back(r); });
    } catch (const loading_error&) {
        return true;
    }
    bool moved = false;
    std::erase_if(areas, [&](range_t& r) {
        const range_t before = range_t(r).order();
        const bool kept = shift.follow_reference(r, false);
        moved = moved || !kept || r != before;
        return !kept;
    });
    if (!moved) return true;
    list = range_list_text(areas);
    return !areas.empty();
}

void follow_breaks(page_break_set_t& breaks, const mta::band_shift_t& shift) {
    if (breaks.empty()) return;
    page_break_set_t moved;
    for (page_break_t b : breaks) {
        int at = int(b.id) + 1, end = at;
        if (!shift.follow(at, end)) continue;
        b.id = uint32_t(at - 1);
        moved.set(b);
    }
    breaks = std::move(moved);
}

} // namespace

void worktable_t::follow_kept_ranges__(const mta::band_shift_t& shift) {
    std::erase_if(periphery_.ignored_errors,
                  [&](ignored_error_t& e) { return !e.sqref.empty() && !follow_area_list(e.sqref, shift); });
    worksheet_t* sheet = get_worksheet();
    if (!sheet) return;
    sheet->protection().follow_editable_ranges([&](editable_range_t& e) {
        // A range read without cells is written as read.
        if (e.sqref.empty()) return e.range.first.row == 0 || shift.follow_reference(e.range, false);
        if (!follow_area_list(e.sqref, shift)) return false;
        std::vector<range_t> areas;
        read_range_list(e.sqref, [&](const range_t& r) { areas.push_back(r); });
        if (!areas.empty()) e.range = areas.front();
        if (areas.size() == 1) e.sqref.clear();
        return true;
    });
    // A band across part of the sheet moves no whole row or column.
    if (shift.band_lo != 1 || shift.band_hi != (shift.rows ? mta::last_col_of(*this) : mta::last_row_of(*this)))
        return;
    worksheet_settings_t& settings = sheet->settings();
    follow_breaks(shift.rows ? settings.print.row_breaks : settings.print.col_breaks, shift);
    for (custom_sheet_view_t& view : settings.custom_views)
        follow_breaks(shift.rows ? view.print.row_breaks : view.print.col_breaks, shift);
}

} // namespace vex

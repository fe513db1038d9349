#include "kestrel/core/components/worksheet.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_worksheet.h"
#include "run_message.h"
#include "sheet_limits.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vex {

using xml::sxml::status_t;

namespace {

constexpr uint32_t created_in_memory = 1;
constexpr uint32_t loaded_package = 2;

bool valid_cell(int32_t row, int32_t col) {
    const sheet_limits_t& limits = get_sheet_limits();
    if (limits.valid_row(row) && limits.valid_col(col)) return true;
    set_run_message("Invalid cell coordinate.");
    return false;
}

// A stored 0 means "not set", which reads as the first row or column.
void read_cell(const coord_t& cell, int32_t* row, int32_t* col) noexcept {
    if (row) *row = cell.row ? cell.row : 1;
    if (col) *col = cell.col ? cell.col : 1;
}

void read_nothing(int32_t* row, int32_t* col) noexcept {
    if (row) *row = 0;
    if (col) *col = 0;
}

void store_cell(coord_t& cell, int32_t row, int32_t col) noexcept {
    cell.row = row;
    cell.col = col;
}

worktable_t* worktable_of(const xml_part_t& p) noexcept {
    return p.kind() == part_kind_enum::worktable_part ? dynamic_cast<worktable_t*>(p.get_component()) : nullptr;
}

} // namespace

worksheet_t::worksheet_t(xml_part_t* part) : component_base_t(part) {
    settings_.views.emplace_back();
}

worksheet_t::~worksheet_t() = default;

workbook_t* worksheet_t::workbook__() const noexcept {
    const xml_part_t* parent = get_part() ? get_part()->get_parent() : nullptr;
    return parent ? dynamic_cast<workbook_t*>(parent->get_component()) : nullptr;
}

uint32_t worksheet_t::document_format__() const noexcept {
    const workbook_t* book = workbook__();
    return book ? book->document_format() : 0;
}

// ---- views ----

sheet_view_t* worksheet_t::first_view__() noexcept {
    return settings_.views.empty() ? nullptr : &settings_.views.front();
}

const sheet_view_t* worksheet_t::first_view__() const noexcept {
    return settings_.views.empty() ? nullptr : &settings_.views.front();
}

const sheet_view_t* worksheet_t::workbook_view__() const noexcept {
    const auto it = std::find_if(settings_.views.begin(), settings_.views.end(),
                                 [](const sheet_view_t& v) { return v.workbook_view_id == 0; });
    return it == settings_.views.end() ? nullptr : &*it;
}

sheet_view_t& worksheet_t::workbook_view_or_front__() {
    auto& views = settings_.views;
    const auto it = std::find_if(views.begin(), views.end(), [](const sheet_view_t& v) { return v.workbook_view_id == 0; });
    return it != views.end() ? *it : *views.emplace(views.begin());
}

uint32_t worksheet_t::zoom() const noexcept {
    const sheet_view_t* v = workbook_view__();
    return v ? v->zoom_scale : 0;
}

void worksheet_t::set_zoom(uint32_t percent) {
    const bool inserting = workbook_view__() == nullptr;
    sheet_view_t& v = workbook_view_or_front__();
    v.zoom_scale = percent;
    if (inserting) v.zoom_scale_normal = percent;
}

bool worksheet_t::right_to_left() const noexcept {
    const sheet_view_t* v = workbook_view__();
    return v && v->has(sheet_view_t::right_to_left);
}

void worksheet_t::set_right_to_left(bool on) {
    workbook_view_or_front__().set(sheet_view_t::right_to_left, on);
}

void worksheet_t::topleft_cell(int32_t* row, int32_t* col) const noexcept {
    if (const sheet_view_t* v = first_view__())
        read_cell(v->top_left_cell, row, col);
    else
        read_nothing(row, col);
}

void worksheet_t::set_topleft_cell(int32_t row, int32_t col) {
    if (!valid_cell(row, col)) return;
    if (settings_.views.empty()) settings_.views.emplace_back();
    store_cell(settings_.views.front().top_left_cell, row, col);
}

void worksheet_t::active_cell(int32_t* row, int32_t* col) const noexcept {
    const sheet_view_t* v = first_view__();
    if (v && !v->selections.empty())
        read_cell(v->selections.front().active_cell, row, col);
    else
        read_nothing(row, col);
}

void worksheet_t::set_active_cell(int32_t row, int32_t col) {
    if (!valid_cell(row, col)) return;
    if (settings_.views.empty()) settings_.views.emplace_back();
    sheet_view_t& v = settings_.views.front();
    if (v.selections.empty()) v.selections.emplace_back();
    selection_t& s = v.selections.front();
    store_cell(s.active_cell, row, col);
    // Applications take the active cell from the selected ranges: one outside
    // them all selects the cell alone.
    const auto& ranges = s.sqref.ranges();
    const auto holds = [&](range_t r) {
        r.order();
        return row >= r.first.row && row <= r.last.row && col >= r.first.col && col <= r.last.col;
    };
    if (std::any_of(ranges.begin(), ranges.end(), holds)) return;
    range_t cell;
    store_cell(cell.first, row, col);
    store_cell(cell.last, row, col);
    s.sqref = {};
    s.sqref.add(cell);
    s.active_cell_id = 0;
}

void worksheet_t::split_cell(int32_t* row, int32_t* col) const noexcept {
    const sheet_view_t* v = first_view__();
    if (v && v->pane)
        read_cell(v->pane->top_left_cell, row, col);
    else
        read_nothing(row, col);
}

void worksheet_t::set_split_cell(int32_t row, int32_t col) {
    if (!valid_cell(row, col)) return;
    if (settings_.views.empty()) settings_.views.emplace_back();
    sheet_view_t& v = settings_.views.front();
    if (!v.pane) v.pane = std::make_unique<pane_t>();
    store_cell(v.pane->top_left_cell, row, col);
}

bool worksheet_t::display_gridlines() const noexcept {
    return std::any_of(settings_.views.begin(), settings_.views.end(),
                       [](const sheet_view_t& v) { return v.has(sheet_view_t::show_grid_lines); });
}

void worksheet_t::set_display_gridlines(bool on) {
    if (settings_.views.empty()) settings_.views.emplace_back();
    settings_.views.front().set(sheet_view_t::show_grid_lines, on);
}

// ---- the sheet and its worktables ----

std::string_view worksheet_t::name() const noexcept {
    const workbook_t* book = workbook__();
    return book ? book->sheet_name_of(this) : std::string_view();
}

worktable_t* worksheet_t::create_worktable__(uint32_t rows, uint32_t cols, const mta::extent_t& extent) {
    pending_shape_ = worktable_shape_t{rows, cols, extent};
    xml_part_t* part = nullptr;
    try {
        part = get_part()->create_part(std::string(uri::worktable_relationship).c_str(), nullptr);
    } catch (...) {
        pending_shape_.reset();
        throw;
    }
    pending_shape_.reset();
    worktable_t* table = part ? dynamic_cast<worktable_t*>(part->get_component()) : nullptr;
    if (!table) return nullptr;
    table->set_extent(extent);
    // Named from the start, so that lookups by grid id find the sheet.
    table->set_name(std::string(name()));
    const char* id = part->get_relationship_id();
    record_worktable(id ? id : "", table);
    worktable_ = table;
    return table;
}

status_t worksheet_t::assign(const xml::sxml::xml_node_t* node) {
    if (node->kind == xml::sxml::node_kind::document_element && node->closed) {
        reader_.reset();
        if (worktable_) worktable_->assign(node);
        return status_t::done;
    }
    if (!reader_) {
        // Asked once per part: the workbook is found through a cast.
        reading_format_ = document_format__();
        if (reading_format_ != created_in_memory && !worktable_) {
            const sheet_limits_t& limits = get_sheet_limits();
            create_worktable__(uint32_t(limits.last_row), uint32_t(limits.last_col), mta::extent_t{});
        }
        reader_ = std::make_unique<assign_for_worksheet_t>(*this);
    }
    if (reading_format_ != created_in_memory && worktable_) {
        const status_t s = worktable_->assign(node);
        if (s != status_t::keep) return s;
    }
    return reader_->root_handler(node);
}

void worksheet_t::note_unread_section(std::string_view name) {
    if (std::find(unread_sections_.begin(), unread_sections_.end(), name) == unread_sections_.end())
        unread_sections_.emplace_back(name);
}

void worksheet_t::set_sheet_name(std::string_view name) {
    for (const auto& c : get_part()->get_child_parts()) {
        if (worktable_t* table = worktable_of(*c)) {
            table->set_name(std::string(name));
            return;
        }
    }
}

worktable_t* worksheet_t::worktable_by_name(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (const auto& c : get_part()->get_child_parts()) {
        worktable_t* table = worktable_of(*c);
        if (table && table->name() == name) return table;
    }
    return nullptr;
}

bool worksheet_t::finish_relations() {
    xml_part_t* sheet = get_part();
    if (document_format__() == loaded_package && worktable_) {
        // Before the table's own records, the last one read first, in one move.
        std::vector<relationship_t> links;
        for (const relationship_t& r : sheet->get_relationships())
            if (r.type == uri::hyperlink_relationship) links.push_back(r);
        std::reverse(links.begin(), links.end());
        worktable_->get_part()->children().add_relationships_at_front(std::move(links));
    }
    bool all_done = true;
    for (const auto& c : sheet->get_child_parts())
        if (worktable_t* table = worktable_of(*c)) all_done = table->after_loading__() && all_done;
    return all_done;
}

void worksheet_t::record_worktable(std::string relationship_id, worktable_t* worktable) {
    settings_.worktables.push_back({std::move(relationship_id), worktable});
}

bool worksheet_t::has_worktable(const component_base_t* c) const noexcept {
    return c && std::any_of(settings_.worktables.begin(), settings_.worktables.end(),
                            [&](const child_worktable& w) { return w.worktable == c; });
}

xml_part_t* worksheet_t::worktable_part() const noexcept {
    const auto& w = settings_.worktables;
    return w.empty() || !w.front().worktable ? nullptr : w.front().worktable->get_part();
}

uint64_t worksheet_t::hyperlink_count() const noexcept {
    uint64_t n = 0;
    for (const child_worktable& w : settings_.worktables)
        if (w.worktable) n += w.worktable->hyperlink_count();
    return n;
}

// ---- protection ----

void worksheet_t::unprotect() { protection_.unprotect(worktable_); }

bool worksheet_t::protect_range(const range_t& range) { return protection_.protect_range(worktable_, range); }

bool worksheet_t::set_editable_range(const range_t& range) {
    return protection_.set_editable_range(worktable_, range);
}

} // namespace vex

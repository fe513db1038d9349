#include "kestrel/core/components/workbook.h"

#include "kestrel/parts/workbook_part.h"

#include <algorithm>
#include <cstring>

namespace vex {

namespace {

constexpr uint32_t not_found = 0xFFFFFFFFu;

template <typename Sheets, typename Pred>
uint32_t position_if(const Sheets& sheets, Pred pred) {
    const auto it = std::find_if(sheets.begin(), sheets.end(), pred);
    return it == sheets.end() ? not_found : static_cast<uint32_t>(it - sheets.begin());
}

uint32_t position_of_rid(const std::vector<sheet_entry_t>& sheets, const char* rid) {
    if (!rid || !*rid) return not_found;
    return position_if(sheets, [&](const sheet_entry_t& s) { return s.relationship_id == rid; });
}

} // namespace

uint32_t workbook_t::sheet_id_by_rid(const char* rid) const noexcept {
    const uint32_t i = position_of_rid(sheets_, rid);
    return i == not_found ? not_found : sheets_[i].sheet_id;
}

uint32_t workbook_t::attach_worksheet(worksheet_t* sheet, const char* rid) noexcept {
    const uint32_t i = position_of_rid(sheets_, rid);
    if (i != not_found) sheets_[i].component = sheet;
    return i;
}

uint32_t workbook_t::sheet_index(const worksheet_t* sheet) const noexcept {
    if (!sheet) return not_found;
    return position_if(sheets_, [&](const sheet_entry_t& s) { return s.component == sheet; });
}

std::string_view workbook_t::sheet_name_of(const worksheet_t* sheet) const noexcept {
    const uint32_t i = sheet_index(sheet);
    return i == not_found ? std::string_view() : std::string_view(sheets_[i].name);
}

std::vector<worktable_t*> workbook_t::worktables() const {
    const auto* part = dynamic_cast<const workbook_part_t*>(get_part());
    return part ? part->get_worktables() : std::vector<worktable_t*>();
}

worktable_t* workbook_t::first_worktable() const {
    const auto* part = dynamic_cast<const workbook_part_t*>(get_part());
    return part ? part->first_worktable() : nullptr;
}

} // namespace vex

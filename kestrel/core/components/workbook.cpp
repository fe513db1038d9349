#include "kestrel/core/components/workbook.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_workbook.h"
#include "mta/table/table/table_registry.h"
#include "run_message.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vex {

using xml::sxml::status_t;

namespace {

constexpr uint32_t not_found = 0xFFFFFFFFu;
constexpr size_t max_name_length = 31;

constexpr const char* rel_worksheet = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
constexpr const char* rel_styles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* rel_shared_strings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";

constexpr const char* msg_too_long = "Worksheet name cannot contain more than 31 characters.";
constexpr const char* msg_bad_chars = "Worksheet name contains invalid characters.";
constexpr const char* msg_blank = "Worksheet name cannot be blank.";
constexpr const char* msg_no_sheets = "There are no sheets yet.";
constexpr const char* msg_bad_tab = "Invalid sheet tab or no sheet yet available.";
constexpr const char* msg_bad_index = "Index out of range.";
constexpr const char* msg_bad_name = "Failed to parse definition name.";

template <typename Sheets, typename Pred>
uint32_t position_if(const Sheets& sheets, Pred pred) {
    const auto it = std::find_if(sheets.begin(), sheets.end(), pred);
    return it == sheets.end() ? not_found : static_cast<uint32_t>(it - sheets.begin());
}

// The number a default name such as "Sheet12" carries.
bool default_name_number(std::string_view name, int64_t& out) noexcept {
    constexpr std::string_view stem = "Sheet";
    if (name.size() <= stem.size() || name.substr(0, stem.size()) != stem) return false;
    return leading_int64(name.substr(stem.size()), out);
}

} // namespace

// Spreadsheet applications reject these in a sheet name and report the file
// as damaged.
bool sheet_name_has_invalid_characters(std::string_view name) noexcept {
    if (name.find_first_of("[]:*?/\\") != std::string_view::npos) return true;
    // Control characters cannot be written in the workbook part's XML.
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return true;
    return !name.empty() && (name.front() == '\'' || name.back() == '\'');
}

// ---- table index ----

bool table_index_t::add(std::string_view name, table_definition_t* table) {
    if (name.empty() || find(name)) return false;
    tables_.emplace_back(std::string(name), table);
    return true;
}

bool table_index_t::remove(std::string_view name) {
    const auto it = std::find_if(tables_.begin(), tables_.end(), [&](const auto& t) { return t.first == name; });
    if (it == tables_.end()) return false;
    tables_.erase(it);
    return true;
}

table_definition_t* table_index_t::find(std::string_view name) const noexcept {
    for (const auto& t : tables_)
        if (t.first == name) return t.second;
    return nullptr;
}

// ---- lifetime and reading ----

workbook_t::workbook_t(xml_part_t* part) : component_base_t(part), tables_(std::make_unique<table_index_t>()) {
    // A book made empty holds no chart: its first sheet delete need not walk
    // the parts to learn so. The version is read first, so a chart added
    // meanwhile still counts.
    const uint64_t growth = part_container::chart_growth_version();
    if (!part || part->get_child_parts().empty()) chartless_at_ = growth;
}

workbook_t::~workbook_t() {
    reader_.reset();
    // What the sheets shared (styles, names, images, strings) goes with the
    // workbook, once its last sheet has left the registry.
    if (get_part()) mta::get_table_registry().release_workbook(get_part()->get_part_id());
}

status_t workbook_t::assign(const xml::sxml::xml_node_t* node) {
    if (node && node->kind == xml::sxml::node_kind::document_element && node->closed) {
        reader_.reset();
        return status_t::done;
    }
    if (!reader_) reader_ = std::make_unique<assign_for_workbook_t>(*this);
    if (!get_part() || get_part()->is_complete()) return reader_->assign(node);
    // A workbook read for another workbook's references needs only its sheets
    // and names.
    const xml::sxml::xml_node_t* top = top_element_of(node);
    if (!top || !top->name) return status_t::keep;
    const std::string_view name = top->name;
    if (name == "sheets") return reader_->assign_sheets(node);
    if (name == "definedNames") return reader_->assign_defined_names(node);
    return status_t::keep;
}

// ---- sheet names ----

bool workbook_t::check_new_name__(std::string_view name, const sheet_entry_t* self,
                                  std::string_view duplicate_text) const {
    if (sheet_name_has_invalid_characters(name)) return refuse(msg_bad_chars);
    if (name.find_first_not_of(' ') == std::string_view::npos) return refuse(msg_blank);
    const std::string folded = utf8_fold_case(name);
    const auto& names = lookup__().folded_names;
    const auto found = names.find(folded);
    uint32_t others = found == names.end() ? 0 : found->second.count;
    // A sheet may take its own name in another case, never its own name.
    if (self && utf8_fold_case(self->name) == folded) {
        if (self->name == name) return refuse(duplicate_text);
        --others;
    }
    return others == 0 || refuse(duplicate_text);
}

std::string workbook_t::next_sheet_name() const {
    const auto& numbers = lookup__().default_numbers;
    const int64_t highest = numbers.empty() ? 0 : std::max<int64_t>(0, numbers.rbegin()->first);
    return "Sheet" + std::to_string(static_cast<uint64_t>(highest) + 1);
}

uint32_t workbook_t::next_sheet_id() const { return lookup__().free_id; }

// ---- the lookup kept of the records ----

namespace {

// Moves the element at `from` to `to`, those between closing up.
template <class T>
void move_one(std::vector<T>& v, uint64_t from, uint64_t to) {
    // Each element between moves once; a rotation would swap them.
    const auto first = v.begin();
    T moving = std::move(v[from]);
    if (from < to) std::move(first + ptrdiff_t(from) + 1, first + ptrdiff_t(to) + 1, first + ptrdiff_t(from));
    else std::move_backward(first + ptrdiff_t(to), first + ptrdiff_t(from), first + ptrdiff_t(from) + 1);
    v[to] = std::move(moving);
}

} // namespace

void workbook_t::sheet_lookup_t::count_record(const sheet_entry_t& s, uint32_t position) {
    uint32_t slot = uint32_t(place_of.size());
    if (free_slots.empty()) {
        place_of.push_back(position);
    } else {
        slot = free_slots.back();
        place_of[slot] = position;
        free_slots.pop_back();
    }
    slot_at.insert(slot_at.begin() + ptrdiff_t(position), slot);
    grid_at.insert(grid_at.begin() + ptrdiff_t(position), 0);
    if (s.component)
        if (const auto [it, added] = sheet_slots.try_emplace(s.component, slot); !added && position < place(it->second))
            it->second = slot;
    // A loaded file may repeat an id; a repeat must not pass for a gap.
    ++ids[s.sheet_id];
    while (ids.contains(free_id)) ++free_id;
    int64_t n = 0;
    if (default_name_number(s.name, n)) ++default_numbers[n];
    // The first record of a name, whatever order the records are counted in.
    named_t& named = folded_names[utf8_fold_case(s.name)];
    if (named.count == 1) ++repeated;
    if (named.count++ == 0 || position < place(named.first)) named.first = slot;
}

const workbook_t::sheet_lookup_t& workbook_t::lookup__() const {
    if (lookup_.current) return lookup_;
    lookup_ = {};
    const auto& sheets = record_.sheets;
    for (uint32_t i = 0; i < sheets.size(); ++i) lookup_.count_record(sheets[i], i);
    lookup_.current = true;
    return lookup_;
}

void workbook_t::count_inserted__(uint32_t position) {
    if (!lookup_.current) return;
    // Made again on the next question should this throw half way.
    lookup_.current = false;
    // Those behind it move back one place; a sheet added at the end moves none.
    if (position + 1 < record_.sheets.size())
        for (uint32_t& at : lookup_.place_of)
            if (at != sheet_lookup_t::no_place && at >= position) ++at;
    lookup_.count_record(record_.sheets[position], position);
    lookup_.current = true;
}

void workbook_t::uncount_name__(uint32_t position) {
    const std::string& name = record_.sheets[position].name;
    int64_t n = 0;
    if (default_name_number(name, n))
        if (const auto it = lookup_.default_numbers.find(n); it != lookup_.default_numbers.end() && --it->second == 0)
            lookup_.default_numbers.erase(it);
    const auto it = lookup_.folded_names.find(utf8_fold_case(name));
    if (it == lookup_.folded_names.end()) return;
    if (it->second.count == 2) --lookup_.repeated;
    if (--it->second.count == 0) {
        lookup_.folded_names.erase(it);
    } else if (it->second.first == lookup_.slot_at[position]) {
        // A loaded file may repeat a name but for case: the next record carrying it comes first.
        for (uint32_t i = position + 1; i < record_.sheets.size(); ++i)
            if (utf8_iequals(record_.sheets[i].name, name)) {
                it->second.first = lookup_.slot_at[i];
                break;
            }
    }
}

void workbook_t::count_erasing__(uint32_t position) {
    if (!lookup_.current) return;
    lookup_.current = false;
    const sheet_entry_t& s = record_.sheets[position];
    const uint32_t slot = lookup_.slot_at[position];
    if (const auto it = lookup_.sheet_slots.find(s.component); s.component && it != lookup_.sheet_slots.end() &&
                                                                it->second == slot)
        lookup_.sheet_slots.erase(it);
    if (const auto it = lookup_.ids.find(s.sheet_id); it != lookup_.ids.end() && --it->second == 0) {
        lookup_.ids.erase(it);
        if (s.sheet_id != 0) lookup_.free_id = std::min(lookup_.free_id, s.sheet_id);
    }
    uncount_name__(position);
    // Sheets deleted from the last give back the last slots: no list of free ones grows.
    if (slot + 1 == lookup_.place_of.size()) {
        lookup_.place_of.pop_back();
    } else {
        lookup_.free_slots.push_back(slot);
        lookup_.place_of[slot] = sheet_lookup_t::no_place;
    }
    if (const uint32_t grid = lookup_.grid_at[position]) lookup_.grid_slots.erase(grid);
    lookup_.slot_at.erase(lookup_.slot_at.begin() + ptrdiff_t(position));
    lookup_.grid_at.erase(lookup_.grid_at.begin() + ptrdiff_t(position));
    // The records behind it move up one place.
    if (position < lookup_.slot_at.size())
        for (uint32_t& at : lookup_.place_of)
            if (at != sheet_lookup_t::no_place && at > position) --at;
    lookup_.current = true;
}

void workbook_t::count_moved__(uint32_t from, uint32_t to) {
    if (!lookup_.current) return;
    lookup_.current = false;
    move_one(lookup_.slot_at, from, to);
    move_one(lookup_.grid_at, from, to);
    // Names repeated but for case (a loaded file) are made again.
    if (lookup_.repeated != 0) return;
    for (uint32_t i = std::min(from, to); i <= std::max(from, to); ++i) lookup_.place_of[lookup_.slot_at[i]] = i;
    lookup_.current = true;
}

void workbook_t::count_renamed__(uint32_t position, std::string_view name) {
    if (!lookup_.current) {
        record_.sheets[position].name = std::string(name);
        return;
    }
    lookup_.current = false;
    uncount_name__(position);
    sheet_entry_t& s = record_.sheets[position];
    s.name = std::string(name);
    int64_t n = 0;
    if (default_name_number(s.name, n)) ++lookup_.default_numbers[n];
    auto& named = lookup_.folded_names[utf8_fold_case(s.name)];
    if (named.count == 1) ++lookup_.repeated;
    if (named.count++ == 0 || position < lookup_.place(named.first)) named.first = lookup_.slot_at[position];
    lookup_.current = true;
}

// ---- adding, removing, moving and renaming ----

worksheet_t* workbook_t::insert_worksheet(std::string_view name, uint64_t index) {
    if (utf8_length(name) > max_name_length) {
        set_run_message(msg_too_long);
        return nullptr;
    }
    if (!name.empty() && !check_new_name__(name, nullptr, "Duplicate sheet name.")) return nullptr;
    xml_part_t* part = get_part() ? get_part()->create_part(rel_worksheet, nullptr) : nullptr;
    if (!part) return nullptr;
    auto* sheet = dynamic_cast<worksheet_t*>(part->get_component());
    sheet_entry_t entry;
    entry.sheet_id = next_sheet_id();
    entry.name = name.empty() ? next_sheet_name() : std::string(name);
    entry.component = sheet;
    part->set_part_id(entry.sheet_id);
    auto& sheets = record_.sheets;
    if (index < sheets.size()) {
        sheets.insert(sheets.begin() + static_cast<ptrdiff_t>(index), std::move(entry));
    } else {
        sheets.push_back(std::move(entry));
        index = sheets.size() - 1;
    }
    count_inserted__(static_cast<uint32_t>(index));
    if (record_.views.empty()) {
        record_.views.emplace_back();
        record_.views.front().active_tab = static_cast<uint32_t>(index);
    }
    // The tab is an index: an insert before it may leave it on a hidden sheet.
    show_visible_tab__();
    return sheet;
}

bool workbook_t::delete_worksheet(std::string_view name) {
    if (name.empty()) return false;
    auto& sheets = record_.sheets;
    // A record without a component (a chart sheet) is not deleted through here.
    const auto deletable = [&](const sheet_entry_t& s) { return s.component && s.name == name; };
    const uint32_t found = sheet_index_by_name(name);
    const auto it = found < sheets.size() && deletable(sheets[found]) ? sheets.begin() + ptrdiff_t(found)
                                                                      : std::find_if(sheets.begin(), sheets.end(), deletable);
    if (it == sheets.end()) return false;
    xml_part_t* part = it->component->get_part();
    if (worktable_t* table = it->component->worktable()) {
        table->drop_references_to_sheet();
        table->follow_sheet_list();
    }
    count_erasing__(static_cast<uint32_t>(it - sheets.begin()));
    sheets.erase(it);
    if (get_part() && part) get_part()->remove_part(part);
    repair_active_tab__();
    return true;
}

void workbook_t::repair_active_tab__() {
    if (record_.views.empty()) {
        set_run_message(msg_no_sheets);
        return;
    }
    const uint64_t count = record_.sheets.size();
    uint32_t& tab = record_.views.front().active_tab;
    if (tab >= count) {
        const uint64_t repaired = count ? count - 1 : 0;
        if (repaired > uint64_t(std::numeric_limits<int32_t>::max())) {
            set_run_message(msg_bad_tab);
            return;
        }
        tab = static_cast<uint32_t>(repaired);
    }
    show_visible_tab__();
}

void workbook_t::shift_sheet(uint64_t from, uint64_t to) {
    auto& sheets = record_.sheets;
    if (from == to || from >= sheets.size() || to >= sheets.size()) return;
    reorder__(sheet_grid(from), [&] {
        move_one(sheets, from, to);
        count_moved__(uint32_t(from), uint32_t(to));
    });
    show_visible_tab__();
}

void workbook_t::reorder__(uint32_t moved, const std::function<void()>& reorder) {
    for (const sheet_entry_t& s : record_.sheets)
        if (worktable_t* table = s.component ? s.component->worktable() : nullptr) {
            table->follow_sheet_order(reorder, false, moved);
            table->follow_sheet_list();
            return;
        }
    reorder();
}

bool workbook_t::rename_sheet(uint64_t index, std::string_view name) {
    if (name.empty()) return refuse("The new name can not be empty.");
    if (utf8_length(name) > max_name_length) return refuse(msg_too_long);
    if (index >= record_.sheets.size()) return refuse("Sheet index out of range.");
    sheet_entry_t& entry = record_.sheets[index];
    if (!check_new_name__(name, &entry, "Duplicate new sheet name.")) return false;
    // Formulas naming the sheet are read under its old name before it goes.
    worktable_t* table = entry.component ? entry.component->worktable() : nullptr;
    if (table) table->rename_references_to_sheet(name);
    const bool new_name = !utf8_iequals(entry.name, name);
    count_renamed__(static_cast<uint32_t>(index), name);
    entry.name_as_stored = false;
    // The table keeps the sheet's name so that formulas and local names find it.
    if (entry.component) entry.component->set_sheet_name(name);
    // Formulas written while no sheet had the name read it from now on.
    if (table && new_name) table->follow_new_sheet_name();
    if (table) table->follow_sheet_list();
    return true;
}

// ---- lookups ----

worksheet_t* workbook_t::sheet_at(uint64_t index) const noexcept {
    return index < record_.sheets.size() ? record_.sheets[index].component : nullptr;
}

std::string_view workbook_t::sheet_name(uint64_t index) const noexcept {
    return index < record_.sheets.size() ? std::string_view(record_.sheets[index].name) : std::string_view();
}

uint32_t workbook_t::sheet_index(const worksheet_t* sheet) const noexcept {
    if (!sheet) return not_found;
    try {
        const sheet_lookup_t& lookup = lookup__();
        const auto it = lookup.sheet_slots.find(sheet);
        if (it == lookup.sheet_slots.end()) return not_found;
        const uint32_t at = lookup.place(it->second);
        if (at < record_.sheets.size() && record_.sheets[at].component == sheet) return at;
    } catch (...) {
        // Without memory for the lookup the records are walked.
    }
    lookup_.current = false;
    return position_if(record_.sheets, [&](const sheet_entry_t& s) { return s.component == sheet; });
}

uint32_t workbook_t::sheet_grid(uint64_t index) const {
    if (index >= record_.sheets.size()) return 0;
    lookup__();
    uint32_t& known = lookup_.grid_at[index];
    if (known) return known;
    // None yet may mean its cells are still to come: asked again next time.
    const worksheet_t* sheet = record_.sheets[index].component;
    const worktable_t* table = sheet ? sheet->worktable() : nullptr;
    if (!table) return 0;
    lookup_.grid_slots.emplace(table->sheet_id(), lookup_.slot_at[index]);
    known = table->sheet_id();
    return known;
}

uint32_t workbook_t::sheet_index_by_grid(uint32_t grid) const {
    if (!grid) return not_found;
    const sheet_lookup_t& lookup = lookup__();
    if (const auto it = lookup.grid_slots.find(grid); it != lookup.grid_slots.end())
        if (const uint32_t at = lookup.place(it->second); at < lookup.grid_at.size() && lookup.grid_at[at] == grid)
            return at;
    // Not asked yet: found through the sheet, and by its grid from then on.
    const auto* table = dynamic_cast<const worktable_t*>(mta::find_table_by_grid_id(int32_t(grid)));
    const worksheet_t* sheet = table ? table->get_worksheet() : nullptr;
    // A sheet of another workbook has no place here.
    const uint32_t at = sheet ? sheet_index(sheet) : not_found;
    if (at == not_found) return not_found;
    sheet_grid(at);
    return at;
}

uint32_t workbook_t::sheet_index_by_name(std::string_view name) const noexcept {
    try {
        const sheet_lookup_t& lookup = lookup__();
        const auto it = lookup.folded_names.find(utf8_fold_case(name));
        if (it == lookup.folded_names.end()) return not_found;
        const uint32_t first = lookup.place(it->second.first);
        if (first < record_.sheets.size() && utf8_iequals(record_.sheets[first].name, name)) return first;
    } catch (...) {
        // Without memory for the lookup the records are walked.
    }
    lookup_.current = false;
    return position_if(record_.sheets, [&](const sheet_entry_t& s) { return utf8_iequals(s.name, name); });
}

std::string_view workbook_t::sheet_name_of(const worksheet_t* sheet) const noexcept {
    const uint32_t i = sheet_index(sheet);
    return i == not_found ? std::string_view() : std::string_view(record_.sheets[i].name);
}

uint32_t workbook_t::sheet_type(uint64_t index) const noexcept {
    return index < record_.sheets.size() ? record_.sheets[index].type : 0;
}

uint32_t workbook_t::sheet_state(uint64_t index) const {
    if (index >= record_.sheets.size()) {
        set_run_message(msg_bad_index);
        return 0;
    }
    return record_.sheets[index].state;
}

void workbook_t::set_sheet_state(uint64_t index, uint32_t state) {
    if (index >= record_.sheets.size()) {
        set_run_message(msg_bad_index);
        return;
    }
    if (state != 0 && !shows_a_sheet_without(index)) return;
    record_.sheets[index].state = state;
    if (state != 0) show_visible_tab__();
}

// Saved without a visible sheet, the workbook is refused or repaired by other
// applications.
bool workbook_t::shows_a_sheet_without(uint64_t index) const {
    for (uint64_t i = 0; i < record_.sheets.size(); ++i)
        if (i != index && record_.sheets[i].state == 0) return true;
    set_run_message("A workbook needs one visible sheet.");
    return false;
}

// A hidden sheet is no tab to show: the first visible one is.
void workbook_t::show_visible_tab__() {
    if (record_.views.empty()) return;
    uint32_t& tab = record_.views.front().active_tab;
    if (tab >= record_.sheets.size() || record_.sheets[tab].state == 0) return;
    const uint32_t visible = position_if(record_.sheets, [](const sheet_entry_t& s) { return s.state == 0; });
    if (visible != not_found) tab = visible;
}

uint32_t workbook_t::sheet_index_by_table_id(uint32_t table_id) const {
    for (const worktable_t* t : worktables()) {
        if (!t || t->sheet_id() != table_id) continue;
        const std::string& name = t->name();
        return position_if(record_.sheets, [&](const sheet_entry_t& s) { return s.name == name; });
    }
    return not_found;
}

uint32_t workbook_t::position_of_rid__(const char* rid) const noexcept {
    if (!rid || !*rid) return not_found;
    if (!rid_positions_.empty()) {
        const auto it = rid_positions_.find(rid);
        return it == rid_positions_.end() ? not_found : it->second;
    }
    return position_if(record_.sheets, [&](const sheet_entry_t& s) { return s.relationship_id == rid; });
}

std::vector<const sheet_entry_t*> workbook_t::index_relationship_ids() {
    rid_positions_.clear();
    std::vector<const sheet_entry_t*> repeated;
    rid_positions_.reserve(record_.sheets.size());
    for (uint32_t i = 0; i < record_.sheets.size(); ++i) {
        const std::string& rid = record_.sheets[i].relationship_id;
        if (rid.empty()) continue;
        if (!rid_positions_.emplace(rid, i).second) repeated.push_back(&record_.sheets[i]);
    }
    return repeated;
}

uint32_t workbook_t::sheet_id_by_rid(const char* rid) const noexcept {
    const uint32_t i = position_of_rid__(rid);
    return i == not_found ? not_found : record_.sheets[i].sheet_id;
}

uint32_t workbook_t::attach_worksheet(worksheet_t* sheet, const char* rid) noexcept {
    if (!sheet) return not_found;
    auto& sheets = record_.sheets;
    const uint32_t count = static_cast<uint32_t>(sheets.size());
    if (rid && *rid) {
        const uint32_t i = position_of_rid__(rid);
        if (i == not_found) return count;
        // Taken in as it is only while neither the record nor the sheet had
        // another: else the first record of each may have changed.
        if (lookup_.current && !sheets[i].component && !lookup_.sheet_slots.contains(sheet)) {
            try {
                lookup_.sheet_slots.emplace(sheet, lookup_.slot_at[i]);
            } catch (...) {
                lookup_.current = false;
            }
        } else {
            lookup_.current = false;
        }
        sheets[i].component = sheet;
        return i + 1;
    }
    const uint32_t i = sheet_index(sheet);
    return i == not_found ? count : i + 1;
}

// ---- active sheet ----

// Views are optional: without one, the first sheet is active.
int32_t workbook_t::active_sheet() const {
    if (!record_.views.empty()) return static_cast<int32_t>(record_.views.front().active_tab);
    if (record_.sheets.empty()) {
        set_run_message(msg_no_sheets);
        return -1;
    }
    return 0;
}

bool workbook_t::set_active_sheet(int32_t index) {
    if (index < 0 || uint64_t(index) >= record_.sheets.size()) return refuse(msg_bad_tab);
    if (record_.sheets[size_t(index)].state != 0) return refuse("A hidden sheet cannot be the active sheet.");
    if (record_.views.empty()) record_.views.emplace_back();
    record_.views.front().active_tab = static_cast<uint32_t>(index);
    return true;
}

// ---- worktables ----

std::vector<worktable_t*> workbook_t::worktables() const {
    const auto* part = dynamic_cast<const workbook_part_t*>(get_part());
    return part ? part->get_worktables() : std::vector<worktable_t*>();
}

worktable_t* workbook_t::first_worktable() const {
    for (const sheet_entry_t& s : record_.sheets) {
        if (!s.component) continue;
        const auto* part = dynamic_cast<const worksheet_part_t*>(s.component->get_part());
        const xml_part_t* table_part = part ? part->get_worktable_part() : nullptr;
        if (auto* table = table_part ? dynamic_cast<worktable_t*>(table_part->get_component()) : nullptr) return table;
    }
    return nullptr;
}

// ---- after loading ----

void workbook_t::assign_sheet_types__() {
    const xml_part_t* part = get_part();
    if (!part) return;
    // By Id through the index, made here unless the load holds one already.
    const bool own_index = rid_positions_.empty();
    if (own_index) {
        try {
            index_relationship_ids();
        } catch (...) {
            drop_relationship_index();  // walked instead
        }
    }
    for (const auto& child : part->get_child_parts()) {
        const char* rid = child->get_relationship_id();
        const uint32_t i = position_of_rid__(rid);
        if (i == not_found) continue;
        switch (child->kind()) {
        case part_kind_enum::chartsheet_part: record_.sheets[i].type = 2; break;
        case part_kind_enum::dialogsheet_part:
        case part_kind_enum::macro_sheet_part:
        case part_kind_enum::international_macro_sheet_part: record_.sheets[i].type = 3; break;
        default: break;
        }
    }
    if (own_index) drop_relationship_index();
}

bool workbook_t::after_loading__() {
    if (xml_part_t* part = get_part()) {
        if (!styles_) part->create_part(rel_styles, nullptr);
        if (!shared_strings_) part->create_part(rel_shared_strings, nullptr);
    }
    for (workbook_view_t& v : record_.views)
        if (v.active_tab >= record_.sheets.size()) v.active_tab = 0;
    assign_sheet_types__();
    for (const sheet_entry_t& s : record_.sheets)
        if (s.type == 1 && s.component) s.component->set_sheet_name(s.name);

    bool all_accepted = true;
    for (const defined_name_t& d : pending_names_) {
        mta::Table* table = nullptr;
        uint32_t scope = mta::workbook_scope;
        if (d.local_sheet_id == -1) {
            table = first_worktable();
        } else if (d.local_sheet_id >= 0 && uint64_t(d.local_sheet_id) < record_.sheets.size()) {
            const sheet_entry_t& s = record_.sheets[size_t(d.local_sheet_id)];
            table = s.component ? s.component->worktable_by_name(s.name) : nullptr;
            if (table) scope = table->sheet_id();
        }
        if (!table || !table->add_defined_name(d.name, d.text, d.props, scope)) {
            set_run_message(msg_bad_name);
            all_accepted = false;
        }
    }
    pending_names_.clear();
    // A name's text may read a name listed after it.
    if (mta::Table* table = first_worktable()) table->reread_tokenless_names();

    for (const sheet_entry_t& s : record_.sheets)
        if (s.type == 1 && s.component) s.component->finish_relations();
    return all_accepted;
}

} // namespace vex

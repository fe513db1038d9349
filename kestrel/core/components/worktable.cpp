#include "kestrel/core/components/worktable.h"

#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/table_formula_model.h"

#include "errors.h"
#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/workbook_style.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/document/xml_doc_access.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/drawings_part.h"
#include "kestrel/parts/image_part.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_worktable.h"
#include "mta/table/cell/cell.h"
#include "mta/table/cell/cell_getters.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/utils/table_definition/filter_shift.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "unicode.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vex {

using xml::sxml::node_kind;
using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

// The workbook part above, or null for a part outside a workbook tree.
xml_part_t* workbook_part_above(const xml_part_t* part) noexcept {
    for (const xml_part_t* p = part; p; p = p->get_parent())
        if (p->kind() == part_kind_enum::workbook_part && !p->get_parent()) return const_cast<xml_part_t*>(p);
    return nullptr;
}

// The element directly below the document element that holds the node.
const xml_node_t& top_element(const xml_node_t& node) noexcept {
    const xml_node_t* n = &node;
    while (n->parent && !n->parent->closed && n->parent->kind != node_kind::document_element) n = n->parent;
    return *n;
}

bool is_table_part(const xml_part_t& p) noexcept { return p.kind() == part_kind_enum::table_definition_part; }

table_definition_t* definition_of(const xml_part_t& p) noexcept {
    return is_table_part(p) ? dynamic_cast<table_definition_t*>(p.get_component()) : nullptr;
}

namespace image = mta::image;

image::two_cell_anchor_t two_cell_of(const int32_t (&c)[8]) noexcept {
    image::two_cell_anchor_t at;
    at.from_col = c[0];
    at.from_col_offset = c[1];
    at.from_row = c[2];
    at.from_row_offset = c[3];
    at.to_col = c[4];
    at.to_col_offset = c[5];
    at.to_row = c[6];
    at.to_row_offset = c[7];
    return at;
}

constexpr std::string_view msg_target_not_found = "External hyperlink target not found.";
constexpr std::string_view msg_table_name_taken = "Table name already exists.";

// What a header cell holds, as the text that names its column; empty for an
// empty cell, an error or a formula without a result.
std::string header_text(const mta::Table& table, int row, int col) {
    namespace get = mta::cell_getters;
    switch (get::cell_type(table, row, col)) {
    case 1:
    case 4: {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, get::get_num(table, row, col)).ptr;
        return std::string(buffer, end);
    }
    case 2: {
        const char* text = get::get_text(table, row, col);
        return text ? text : "";
    }
    case 3:
        return get::get_boolean(table, row, col) ? "TRUE" : "FALSE";
    default:
        return {};
    }
}

// Whether the workbook's styles part defines a table style of that name.
bool workbook_defines_table_style(const mta::style_manager_t* manager, std::string_view name) {
    if (!manager) return false;
    const auto lock = manager->lock();
    const std::vector<mta::table_style_t>& styles = manager->get_impl().table_styles;
    return std::any_of(styles.begin(), styles.end(), [&](const mta::table_style_t& s) { return s.name == name; });
}

mta::tabledef_t* refused(std::string_view reason) {
    set_run_message(reason);
    return nullptr;
}

} // namespace

worktable_t::worktable_t(xml_part_t* part)
    : worktable_t(part, static_cast<unsigned>(get_sheet_limits().row_count()),
                  static_cast<unsigned>(get_sheet_limits().col_count()), mta::extent_t{}) {}

worktable_t::worktable_t(xml_part_t* part, unsigned rows, unsigned cols, const mta::extent_t& extent)
    : component_base_t(part), mta::Table(extent, rows, cols, workbook_part_above(part) != nullptr) {
    // The grid comes before the access: formulas ask it for this sheet's id.
    xml_part_t* book = workbook_part_above(part);
    if (book) {
        const xml_part_t* sheet = part->get_parent();
        register_grid(sheet ? sheet->get_part_id() : 0, book->get_part_id());
    }
    set_document_access(new xml_doc_access(book ? dynamic_cast<workbook_t*>(book->get_component()) : nullptr));
}

worktable_t::~worktable_t() = default;

worksheet_t* worktable_t::get_worksheet() const noexcept {
    const xml_part_t* sheet = get_part() ? get_part()->get_parent() : nullptr;
    return sheet ? dynamic_cast<worksheet_t*>(sheet->get_component()) : nullptr;
}

void worktable_t::notify_children(int code) {
    if (const xml_part_t* book = workbook_part_above(get_part()))
        if (component_base_t* c = book->get_component()) c->notify_children(code);
}

// ---- load ----

status_t worktable_t::assign(const xml_node_t* node) {
    if (node && node->kind == node_kind::document_element && node->closed) {
        reader_.reset();
        return status_t::done;
    }
    if (!reader_) {
        // Only the first sheet of a load finds the tables the styles part read.
        const xml_part_t* book = workbook_part_above(get_part());
        auto* book_model = book ? dynamic_cast<workbook_t*>(book->get_component()) : nullptr;
        if (auto* styles = book_model ? dynamic_cast<workbook_style_t*>(book_model->styles()) : nullptr) {
            if (std::unique_ptr<mta::style_manager_t::impl> tables = styles->take_style_tables())
                get_style_manager()->assign_loaded_styles(std::move(tables));
        }
        // The strings read go into the workbook's pool, shared by its sheets, once.
        shared_string_table_t* strings = book_model ? book_model->shared_strings() : nullptr;
        if (strings && strings->pending_count() != 0) strings->intern_loaded(get_string_pool());
        reader_ = std::make_unique<assign_for_worktable>(*this, strings, book_model && book_model->is_date1904());
    }
    if (!get_part() || get_part()->is_complete()) return reader_->assign(node);
    if (!node) return status_t::done;
    const std::string_view top = local_name(top_element(*node));
    if (top == "sheetData") return reader_->assign(node);
    return status_t::done;
}

namespace {

// What a map keyed by cell holds follows its cell; a deleted cell drops it.
template <class T>
void shift_cells(std::map<std::pair<int32_t, int32_t>, T>& cells, const mta::band_shift_t& shift) {
    if (cells.empty()) return;
    std::map<std::pair<int32_t, int32_t>, T> moved;
    for (auto& [at, m] : cells) {
        range_t r{};
        r.first.row = r.last.row = at.first;
        r.first.col = r.last.col = at.second;
        if (shift.follow(r)) moved.emplace(std::pair{r.first.row, r.first.col}, std::move(m));
    }
    cells = std::move(moved);
}

} // namespace

void worktable_t::on_shift__(const mta::band_shift_t& shift) {
    shift_cells(periphery_.cell_metadata, shift);
    shift_cells(periphery_.error_literals, shift);
    if (extras_.autofilter && !mta::follow_shift(*extras_.autofilter, shift)) extras_.autofilter.reset();
    if (extras_.sort_state && !mta::follow_shift(*extras_.sort_state, shift)) extras_.sort_state.reset();
    follow_kept_ranges__(shift);
}

void worktable_t::on_values_set__(const range_t& range) {
    auto& literals = periphery_.error_literals;
    if (literals.empty()) return;
    auto it = literals.lower_bound({range.first.row, range.first.col});
    while (it != literals.end() && it->first.first <= range.last.row) {
        const int32_t col = it->first.second;
        if (col >= range.first.col && col <= range.last.col) it = literals.erase(it);
        else ++it;
    }
}

void worktable_t::on_value_moved__(int from_row, int from_col, int row, int col) {
    auto& literals = periphery_.error_literals;
    const auto it = literals.find({from_row, from_col});
    if (it == literals.end()) return;
    literals.insert_or_assign({row, col}, std::move(it->second));
    literals.erase(it);
}

bool worktable_t::after_loading__() {
    // The first record of an Id is the one a link names.
    std::unordered_map<std::string_view, const relationship_t*> by_id;
    if (!extras_.pending_hyperlinks.empty())
        for (const relationship_t& r : get_part()->get_relationships()) by_id.try_emplace(r.id, &r);
    for (pending_hyperlink_t& link : extras_.pending_hyperlinks) {
        const bool external = !link.relationship_id.empty();
        // An external link's location is the place inside its target.
        std::string location = link.target;
        if (external) {
            const auto found = by_id.find(link.relationship_id);
            if (found == by_id.end()) throw opendoc_error(msg_target_not_found);
            link.target = found->second->target;
        }
        mta::hyperlink_list_t& list = hyperlinks();
        if (!list.add_loaded(link.range, external ? link.relationship_id : std::string(), std::move(link.display),
                             std::move(location), std::move(link.tooltip)))
            continue;
        if (external) list.set_address(list.size() - 1, link.target);
    }
    extras_.pending_hyperlinks.clear();
    comments().forget_unplaced_shapes();
    // A table names a style of the workbook's own, or shows the default.
    for (const auto& [name, table] : tabledefs().all()) {
        const std::string_view style = table->style_name();
        if (style.empty() || mta::is_builtin_table_style(style) ||
            workbook_defines_table_style(get_style_manager(), style))
            continue;
        set_run_message("No such table style: " + std::string(style));
        table->keep_style_info(mta::default_table_style, 1, 0, 0, 0);
    }
    // Every sheet has its name now, so references to later sheets resolve.
    get_formula_model()->parse_imported();
    return true;
}

const char* worktable_t::get_shared_string(int row, int col) const {
    if (!is_valid_cell(row, col)) return nullptr;
    mta::cell_t cell(this, row, col);
    if (cell.get_cell_type() != mta::cell_type_values::text || cell.string_index() < 0) return nullptr;
    const std::string_view text = get_string_pool().string_at(cell.string_index());
    return text.data();
}

// ---- pictures ----

namespace {

// The part's own block when the bytes are its inflated bytes: the picture
// keeps it rather than a copy, which for a large picture would double the
// memory it takes.
std::shared_ptr<const char[]> block_of(const image_part_t* part, const void* bytes) {
    if (!part || !bytes || part->get_raw_data() != bytes || part->get_stored_form()) return nullptr;
    return part->get_raw_block();
}

} // namespace

drawings_part_t* worktable_t::get_drawing_part__() {
    xml_part_t* drawing = get_part()->create_part(std::string(uri::drawing_relationship).c_str(), nullptr);
    return dynamic_cast<drawings_part_t*>(drawing);
}

int32_t worktable_t::show_image__(int32_t id, image_part_t* part) {
    if (id < 1) return id;
    const image::image_anchor_t* record = get_image_manager()->find_image(id);
    drawings_part_t* drawing = record ? get_drawing_part__() : nullptr;
    if (drawing) drawing->register_image(id, record->image, part);
    return id;
}

int32_t worktable_t::add_absolute_image(std::string_view file, int32_t x, int32_t y, int32_t width, int32_t height,
                                        double scale, image_part_t* part) {
    const image::absolute_anchor_t at{x, y, width, height, scale};
    return show_image__(get_image_manager()->add_absolute_image_from_file(sheet_id(), file, at), part);
}

int32_t worktable_t::add_image_with_one_cell(std::string_view file, int32_t row, int32_t col, int32_t width,
                                             int32_t height, double scale, int32_t col_offset, int32_t row_offset,
                                             image_part_t* part) {
    const image::one_cell_anchor_t at{row, col, col_offset, row_offset, width, height, scale};
    return show_image__(get_image_manager()->add_one_cell_image_from_file(sheet_id(), file, at), part);
}

int32_t worktable_t::add_image_with_two_cells(int32_t edit_as, std::string_view file, int32_t from_col,
                                              int32_t from_col_offset, int32_t from_row, int32_t from_row_offset,
                                              int32_t to_col, int32_t to_col_offset, int32_t to_row,
                                              int32_t to_row_offset, image_part_t* part) {
    const int32_t corners[8] = {from_col, from_col_offset, from_row, from_row_offset,
                                to_col,   to_col_offset,   to_row,   to_row_offset};
    const int32_t id = get_image_manager()->add_two_cell_image_from_file(
        sheet_id(), static_cast<image::image_anchor_type_enum>(edit_as), file, two_cell_of(corners));
    return show_image__(id, part);
}

int32_t worktable_t::add_absolute_image_from_memory(const void* bytes, size_t n, int32_t x, int32_t y,
                                                    int32_t width, int32_t height, double scale,
                                                    image_part_t* part) {
    const image::absolute_anchor_t at{x, y, width, height, scale};
    return show_image__(
        get_image_manager()->add_absolute_image_from_memory(sheet_id(), bytes, n, at, block_of(part, bytes)), part);
}

int32_t worktable_t::add_one_cell_image_from_memory(const void* bytes, size_t n, int32_t row, int32_t col,
                                                    int32_t width, int32_t height, double scale, int32_t col_offset,
                                                    int32_t row_offset, image_part_t* part) {
    const image::one_cell_anchor_t at{row, col, col_offset, row_offset, width, height, scale};
    return show_image__(
        get_image_manager()->add_one_cell_image_from_memory(sheet_id(), bytes, n, at, block_of(part, bytes)), part);
}

int32_t worktable_t::add_two_cell_image__(int32_t edit_as, const void* bytes, size_t n, const int32_t (&corners)[8],
                                          image_part_t* part, bool manager_only) {
    const int32_t id = get_image_manager()->add_two_cell_image_from_memory(
        sheet_id(), static_cast<image::image_anchor_type_enum>(edit_as), bytes, n, two_cell_of(corners),
        block_of(part, bytes));
    return manager_only ? id : show_image__(id, part);
}

int32_t worktable_t::add_two_cell_image_from_memory_to_part(int32_t edit_as, const void* bytes, size_t n,
                                                            int32_t from_col, int32_t from_col_offset,
                                                            int32_t from_row, int32_t from_row_offset,
                                                            int32_t to_col, int32_t to_col_offset, int32_t to_row,
                                                            int32_t to_row_offset, image_part_t* part) {
    const int32_t corners[8] = {from_col, from_col_offset, from_row, from_row_offset,
                                to_col,   to_col_offset,   to_row,   to_row_offset};
    return add_two_cell_image__(edit_as, bytes, n, corners, part, false);
}

int32_t worktable_t::add_two_cell_image_from_memory(int32_t edit_as, const void* bytes, size_t n, int32_t from_col,
                                                    int32_t from_col_offset, int32_t from_row,
                                                    int32_t from_row_offset, int32_t to_col, int32_t to_col_offset,
                                                    int32_t to_row, int32_t to_row_offset) {
    const int32_t corners[8] = {from_col, from_col_offset, from_row, from_row_offset,
                                to_col,   to_col_offset,   to_row,   to_row_offset};
    return add_two_cell_image__(edit_as, bytes, n, corners, nullptr, true);
}

int32_t worktable_t::fill_background__(int32_t id, const void* from) {
    if (id < 0) return -1;
    const image::image_anchor_t* record = get_image_manager()->find_image(id);
    xml_part_t* part = nullptr;
    for (const auto& c : get_part()->get_child_parts()) {
        if (c->kind() == part_kind_enum::image_part) {
            part = c.get();
            break;
        }
    }
    if (!part) part = get_part()->create_part(std::string(uri::image_relationship).c_str(), nullptr);
    if (auto* image = dynamic_cast<image_part_t*>(part); image && record) {
        // The previous bytes stay with whatever other part shares them.
        const bool as_read = from && image->get_raw_data() == from && !image->content_type().empty();
        if (!as_read) image->set_image(record->image);
        image->clear_images();
        image->register_image(id);
    }
    return id;
}

int32_t worktable_t::set_bg_picture(std::string_view file) {
    return fill_background__(get_image_manager()->set_background_image_from_file(sheet_id(), file));
}

int32_t worktable_t::set_bg_picture_from_memory(const void* bytes, size_t n) {
    return fill_background__(get_image_manager()->set_background_image_from_memory(sheet_id(), bytes, n), bytes);
}

// ---- tables ----

xml_part_t* worktable_t::table_part_named__(std::string_view name) const {
    table_part_index_t& index = table_parts_;
    const xml_part_t* sheet = get_part();
    const uint64_t version = part_container::tree_version();
    if (!index.built || index.sheet != sheet || index.version != version) {
        index.by_name.clear();
        for (const auto& c : sheet->get_child_parts())
            if (const table_definition_t* d = definition_of(*c))
                index.by_name[std::string(d->get_name())].push_back(c.get());
        index.sheet = sheet;
        index.version = version;
        index.built = true;
    }
    const auto found = index.by_name.find(std::string(name));
    return found == index.by_name.end() ? nullptr : found->second.front();
}

void worktable_t::remove_table_part__(xml_part_t* part) {
    table_part_index_t& index = table_parts_;
    const uint64_t before = part_container::tree_version();
    const bool current = index.built && index.sheet == get_part() && index.version == before;
    const table_definition_t* d = definition_of(*part);
    const std::string name(d ? d->get_name() : std::string_view());
    get_part()->remove_part(part);
    // Kept when the removal was the only change to the tree since it was built.
    if (!current || part_container::tree_version() != before + 1) return;
    if (const auto found = index.by_name.find(name); found != index.by_name.end()) {
        std::erase(found->second, part);
        if (found->second.empty()) index.by_name.erase(found);
    }
    index.version = before + 1;
}

void worktable_t::name_columns__(mta::tabledef_t& table) {
    const range_t& at = table.range();
    const int width = table.column_count();
    // Names are compared by their case fold: applications take "a" and "A"
    // for one column name.
    std::vector<std::string> given(static_cast<size_t>(width));
    std::unordered_set<std::string> all_given;
    for (int i = 0; i < width; ++i) {
        given[size_t(i)] = header_text(*this, at.first.row, at.first.col + i);
        if (!given[size_t(i)].empty()) all_given.insert(utf8_fold_case(given[size_t(i)]));
    }
    std::unordered_set<std::string> taken;
    std::deque<mta::tabledef_column_t> columns;
    for (int i = 0; i < width; ++i) {
        const std::string& own = given[size_t(i)];
        const std::string own_fold = utf8_fold_case(own);
        const std::string base = own.empty() ? "Column" + std::to_string(i + 1) : own;
        // A name another header cell holds stays that cell's.
        const auto clashes = [&](const std::string& fold) {
            return taken.contains(fold) || (fold != own_fold && all_given.contains(fold));
        };
        std::string name = base;
        std::string fold = utf8_fold_case(name);
        for (int k = 2; clashes(fold); ++k) fold = utf8_fold_case(name = base + std::to_string(k));
        taken.insert(std::move(fold));
        columns.push_back(table.column_at(i));
        columns.back().name = std::move(name);
    }
    table.set_columns(columns);
}

mta::tabledef_t* worktable_t::add_tabledef(std::string_view name, const range_t& range, const char* style) {
    if (name.empty()) return refused("Table name can not be empty.");
    if (!is_valid_range(range)) return refused("Table range is out of scope.");
    if (tabledefs().find(name)) return refused("Table already exists.");
    if (table_name_taken(name)) return refused(msg_table_name_taken);
    if (!merged_cells().all_within(range)) return refused("The range of the table conflicts with a merged cell range.");
    // No array formula of several cells may stand in a table: the header names
    // would be written over its cells.
    if (!clear_of_wide_arrays(range)) return nullptr;
    // The list unmerges what lies inside once it accepts the table, so a
    // refusal there leaves the merges as they were.
    const std::string key(name);
    mta::tabledef_t* table = tabledefs().add(0, key.c_str(), range);
    if (!table) return nullptr;
    note_kept_texts();
    if (style) table->set_style_name(style);
    xml_part_t* part = get_part()->create_part(std::string(uri::table_relationship).c_str(), nullptr);
    if (table_definition_t* d = part ? definition_of(*part) : nullptr) d->set_name(name);
    if (table->has_header()) name_columns__(*table);
    const range_t& at = table->range();
    for (int i = 0; i <= at.last.col - at.first.col; ++i)
        set_text(at.first.row, at.first.col + i, table->column_name(i), true);
    follow_new_table_name(table->display_name());
    return table;
}

bool worktable_t::delete_tabledef(std::string_view name) {
    if (!table_part_named__(name)) return false;
    if (const mta::tabledef_t* table = tabledefs().find(name)) {
        // Read while the table is there to find: "Tbl" alone names it too.
        rewrite_table_references({std::string(table->display_name()), {}, {}, {}, true});
        const range_t at = table->range();
        // Clearing a whole table lets it go, and its part with it.
        clear_contents(at);
        clear_styles(at);
        // Gone with its part: no walk over the sheet's parts for it again.
        if (!tabledefs().find(name)) return true;
    }
    if (xml_part_t* part = table_part_named__(name)) remove_table_part__(part);
    tabledefs().remove(name);
    return true;
}

void worktable_t::on_table_removed__(std::string_view name) {
    if (xml_part_t* part = get_part() ? table_part_named__(name) : nullptr) remove_table_part__(part);
}

mta::tabledef_t* worktable_t::rename_tabledef(std::string_view old_name, std::string_view new_name) {
    // An exact name of this sheet is the list's to refuse; the table may take
    // its own name in another case.
    if (!tabledefs().find(new_name) && table_name_taken(new_name, tabledefs().find(old_name)))
        return refused(msg_table_name_taken);
    mta::tabledef_t* table = tabledefs().rename(old_name, new_name);
    if (!table) return nullptr;
    xml_part_t* part = table_part_named__(old_name);
    if (!part)
        throw kestrel_error("Fatal error: Cannot find a child table definition named " + std::string(new_name) +
                            " in sub parts.");
    definition_of(*part)->set_name(new_name);
    return table;
}

} // namespace vex

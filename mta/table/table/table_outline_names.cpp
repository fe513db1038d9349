#include "mta/table/table/table.h"

#include "errors.h"
#include "mta/formula/cell_tracker.h"
#include "mta/formula/expression_syntax.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/function_table.h"
#include "mta/table/formula_model/name_spellers.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/spelling_sheets.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/range_check.h"
#include "run_message.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace vex::mta {

namespace {

// Each sheet once, in the order the workbook registered them. Each table is
// read once for its id, not at every comparison: among thousands of sheets
// most of them lie outside the cache.
void in_sheet_order(std::vector<Table*>& sheets) {
    std::vector<std::pair<unsigned, Table*>> keyed;
    keyed.reserve(sheets.size());
    for (Table* t : sheets) keyed.emplace_back(t->sheet_id(), t);
    std::sort(keyed.begin(), keyed.end());
    keyed.erase(std::unique(keyed.begin(), keyed.end()), keyed.end());
    sheets.clear();
    for (const auto& [id, t] : keyed) sheets.push_back(t);
}

using spans_t = std::vector<std::pair<int32_t, int32_t>>;

// The spans within [a, b] of the runs whose values pass `pred`, in order.
template <class Store, class Pred>
void add_spans_where(spans_t& out, const Store& store, int32_t a, int32_t b, Pred pred) {
    const auto& runs = store.runs();
    const auto from = store.run_index_of(a);
    if (!from) return;
    for (size_t i = *from; i < runs.size() && int64_t(runs[i].start) <= b; ++i)
        if (pred(runs[i].value)) out.emplace_back(std::max(int32_t(runs[i].start), a), std::min(store.run_end(i), b));
}

// Which rows of spans `x` or `y` (each ordered) lie in one of them alone, or,
// with `both` set, in either; merged and in order.
spans_t merge_spans(const spans_t& x, const spans_t& y, bool both) {
    std::vector<std::pair<int64_t, int>> edges;
    for (const spans_t* list : {&x, &y})
        for (const auto& [first, last] : *list) edges.emplace_back(first, 1), edges.emplace_back(int64_t(last) + 1, -1);
    std::sort(edges.begin(), edges.end());
    spans_t out;
    int depth = 0;
    int64_t open = 0;
    for (size_t i = 0; i < edges.size();) {
        const int64_t at = edges[i].first;
        const bool was = both ? depth > 0 : depth == 1;
        for (; i < edges.size() && edges[i].first == at; ++i) depth += edges[i].second;
        const bool is = both ? depth > 0 : depth == 1;
        if (!was && is) open = at;
        if (was && !is) {
            if (!out.empty() && out.back().second + 1 == open) out.back().second = int32_t(at - 1);
            else out.emplace_back(int32_t(open), int32_t(at - 1));
        }
    }
    return out;
}

// The rows of [a, b] that show hidden: by their flag or inside a collapsed
// group (saved hidden).
spans_t hidden_rows(const Table& table, int32_t a, int32_t b) {
    spans_t flagged, collapsed;
    add_spans_where(flagged, table.row_records(), a, b,
                    [](const rc_record_t& r) { return (r.flags & rc_record_t::hidden) != 0; });
    add_spans_where(collapsed, table.row_outline().runs(), a, b, [](int32_t level) { return level < 0; });
    return collapsed.empty() ? flagged : merge_spans(flagged, collapsed, true);
}

// Calls SUBTOTAL or AGGREGATE, or may through a name or a text not read.
bool may_skip_hidden_rows(const formula::formula_cell& cell) {
    static const uint32_t ids[] = {formula::lookup_function_id("SUBTOTAL"), formula::lookup_function_id("AGGREGATE")};
    if (!cell.parsed) return true;
    return std::any_of(cell.tokens.begin(), cell.tokens.end(), [](const formula::token_t& t) {
        return t.opcode == formula::op_name ||
               (t.opcode == formula::op_function &&
                std::find(std::begin(ids), std::end(ids), std::get<uint32_t>(t.operand)) != std::end(ids));
    });
}

// Whether the cell calls one of the functions; a text kept unparsed was
// filed by its lenient reading's calls.
bool calls(const formula::formula_cell& cell, std::initializer_list<uint32_t> ids) {
    if (!cell.parsed) return true;
    return std::any_of(cell.tokens.begin(), cell.tokens.end(), [&](const formula::token_t& t) {
        return t.opcode == formula::op_function &&
               std::find(ids.begin(), ids.end(), std::get<uint32_t>(t.operand)) != ids.end();
    });
}

// Whether what the cell was filed as reading meets one of the areas.
bool reads_any(const formula::formula_cell& cell, const std::vector<vex::range_t>& areas) {
    for (const formula::token_t& t : cell.reference_tokens) {
        const auto* read = std::get_if<vex::range_t>(&t.operand);
        if (!read) continue;
        vex::range_t r = *read;
        r.order();
        for (const vex::range_t& a : areas)
            if (r.first.grid_id == a.first.grid_id && r.first.row <= a.last.row && a.first.row <= r.last.row &&
                r.first.col <= a.last.col && a.first.col <= r.last.col)
                return true;
    }
    return false;
}

} // namespace

void Table::change_row_visibility(int first, int last, const std::function<void()>& edit) {
    if (first > last) std::swap(first, last);
    const spans_t before = hidden_rows(*this, first, last);
    edit();
    if (!registered_) return;
    const spans_t changed = merge_spans(before, hidden_rows(*this, first, last), false);
    if (changed.empty()) return;
    const int32_t grid = int32_t(sheet_id_);
    std::vector<vex::range_t> rows;
    for (const auto& [lo, hi] : changed) rows.push_back({{grid, lo, 1, 1, 0, 0}, {grid, hi, last_col_of(*this), 1, 0, 0}});
    drop_stale_results__(hidden_row_readers__(rows), {}, true);
}

Table::stale_formulas_t Table::filed_under__(std::string_view mark,
                                            const std::function<bool(const formula::formula_cell&)>& keep) const {
    stale_formulas_t found;
    for (Table* sheet : sheets_spelling__(mark)) {
        std::vector<formula::formula_cell*> cells = sheet->get_formula_model()->spelling(mark);
        in_cell_order__(cells);
        for (formula::formula_cell* cell : cells)
            if (!keep || keep(*cell)) found.emplace_back(sheet, cell);
    }
    return found;
}

Table::stale_formulas_t Table::hidden_row_readers__(const std::vector<vex::range_t>& areas) const {
    return filed_under__(formula::name_spellers_t::skips_hidden_rows, [&](const formula::formula_cell& cell) {
        return may_skip_hidden_rows(cell) && reads_any(cell, areas);
    });
}

Table::stale_formulas_t Table::text_readers__() const {
    return filed_under__(formula::name_spellers_t::reads_formula_texts,
                         [](const formula::formula_cell& cell) {
        static const uint32_t formulatext = formula::lookup_function_id("FORMULATEXT");
        return calls(cell, {formulatext});
    });
}

void Table::follow_sheet_list() {
    if (!registered_) return;
    drop_stale_results__(filed_under__(formula::name_spellers_t::reads_sheet_list,
                                       [](const formula::formula_cell& cell) {
                                           static const uint32_t sheet = formula::lookup_function_id("SHEET"),
                                                                 sheets = formula::lookup_function_id("SHEETS");
                                           return calls(cell, {sheet, sheets});
                                       }),
                         {});
}

bool Table::rows_hidden_in(int first, int last) const {
    return !hidden_rows(*this, first, last).empty();
}

bool Table::set_row_outline_level(int r1, int r2, int level) {
    if (static_cast<unsigned>(level) > outline_store_t::max_group_level) return refuse("Illegal outline level.");
    row_outline_.set_level(r1, r2, level);
    return true;
}

const defined_name_entry_t* Table::find_defined_name(const defined_name_key_t& key) const {
    const defined_name_store_t* store = get_defined_names();
    return store ? store->find(key) : nullptr;
}

bool Table::has_defined_name(const defined_name_key_t& key) const {
    const defined_name_store_t* store = get_defined_names();
    return store && store->contains(key);
}

vex::coord_t Table::name_origin__() const noexcept {
    vex::coord_t at = current_cell_;
    at.grid_id = int32_t(sheet_id_);
    return at;
}

bool Table::add_defined_name(std::string_view name, std::string_view expression, const defined_name_props_t& props,
                             uint32_t scope) {
    defined_name_store_t* store = get_defined_names();
    if (!store) return false;
    // A name as a file gives it is kept whatever its text: one that does not
    // parse keeps no tokens, and the last message stays.
    std::vector<formula::token_t> tokens;
    const std::string before = get_run_message().str();
    try {
        formula_model_->parse_formula(tokens, name_origin__(), expression);
    } catch (const std::exception&) {
        tokens.clear();
    }
    set_run_message(before);
    if (!store->add_with_props({name, scope}, props, expression, std::move(tokens)))
        return refuse("Duplicate defined name.");
    return true;
}

bool Table::set_defined_name(const defined_name_key_t& key, std::string_view expression) {
    // Saved, such a name would make other applications refuse the file, or
    // read it as a cell and shift it with its rows.
    if (!is_valid_defined_name(key.name) || names_table__(key.name, nullptr)) return refuse("Invalid defined name.");
    if (expression.empty()) return refuse("Defined name parsing error.");
    defined_name_store_t* store = get_defined_names();
    if (!store) return false;
    std::vector<formula::token_t> tokens;
    try {
        formula_model_->parse_formula(tokens, name_origin__(), expression);
    } catch (const general_error& e) {
        // A sheet without a reference mode the parser knows keeps the text alone.
        if (e.category() != "general") return refuse(e.message());
        return store->add_new_name(key, expression, {}) ? true : refuse("Duplicate defined name.");
    } catch (const std::exception& e) {
        return refuse(e.what());
    }
    if (tokens.empty() || !formula::is_complete_expression(tokens)) return refuse("Defined name parsing error.");
    const auto references = formula::find_references(formula_model_->context(), name_origin__(), expression);
    const bool unqualified = std::any_of(references.begin(), references.end(), [&](const auto& r) {
        return expression.substr(r.begin, r.end - r.begin).find('!') == std::string_view::npos;
    });
    if (unqualified) return refuse("Please add the sheet name and '!' before the cell and range references.");
    if (!store->add_new_name(key, expression, std::move(tokens))) return refuse("Duplicate defined name.");
    reread_tokenless_names__(utf8_fold_case(key.name));
    if (key.local_sheet_id != workbook_scope) reread_names_seeing_other_scopes__(utf8_fold_case(key.name));
    // Formulas written before the name, or reading a name it now hides.
    refile__(name_readers__(key));
    drop_results_reading_name({std::string(key.name), key.local_sheet_id});
    return true;
}

void Table::delete_defined_name(const defined_name_key_t& key) {
    defined_name_store_t* store = get_defined_names();
    if (!store) return;
    // Readers go on naming a deleted name, which reads as #NAME?, unless
    // another scope's name of its spelling now shows through to them: only
    // then are they read again, a cost per reader that hosts deleting names
    // in a loop would pay over and over.
    const bool uncovers = store->contains_name_beside(key.name, key.local_sheet_id);
    const stale_formulas_t readers = uncovers ? name_readers__(key) : stale_formulas_t{};
    drop_results_reading_name({std::string(key.name), key.local_sheet_id});
    store->erase(key);
    if (uncovers) reread_names_seeing_other_scopes__(utf8_fold_case(key.name));
    refile__(readers);
}

// Read again; those that now read other cells are filed anew together, so
// that the tracker visits each range they read once, not once for each of
// them. A name defined again over the same cells costs its readers a reading.
Table::stale_formulas_t Table::refile__(const stale_formulas_t& readers) {
    formula::cell_tracker_t& tracker = formula::get_cell_tracker();
    stale_formulas_t changed;
    std::vector<formula::formula_cell*> tracked;
    for (const auto& [sheet, cell] : readers) {
        const bool registered = cell->state() == formula::formula_cell_state::registered;
        if (registered) {
            try {
                if (sheet->get_formula_model()->files_as_read(cell)) continue;
            } catch (const std::exception&) {
                // A range the tracker cannot hold: filed anew, it stays untracked.
            }
        }
        changed.emplace_back(sheet, cell);
        if (registered) tracked.push_back(cell);
    }
    tracker.unregister_formulas(tracked);
    for (formula::formula_cell* cell : tracked) cell->set_state(formula::formula_cell_state::created);
    {
        formula::cell_tracker_t::batch_t batch(tracker);
        for (const auto& [sheet, cell] : changed) sheet->get_formula_model()->refile(cell, &batch);
    }
    return changed;
}

Table::stale_formulas_t Table::readers_of__(const vex::range_t& cells) const {
    stale_formulas_t readers;
    for (vex::range_t f : formula::get_cell_tracker().dependents_of(cells)) {
        f.order();
        Table* sheet = f.first.grid_id > 0 ? workbook_sheet__(uint32_t(f.first.grid_id)) : nullptr;
        if (!sheet) continue;
        if (formula::formula_cell* cell = sheet->get_formula_cell(f.first.row, f.first.col))
            readers.emplace_back(sheet, cell);
    }
    return readers;
}

void Table::reread_tokenless_names() {
    reread_tokenless_names__({});
    reread_names_seeing_other_scopes__({});
}

void Table::reread_names_seeing_other_scopes__(std::string_view folded) {
    const defined_name_store_t* store = get_defined_names();
    if (!store) return;
    std::vector<formula::named_expression_t> candidates;
    if (!folded.empty()) candidates = store->token_readers(folded);
    else
        for (size_t i = 0; i < store->size(); ++i)
            candidates.push_back({std::string(store->name_at(i)), store->local_sheet_id_at(i)});
    std::vector<formula::named_expression_t> misread;
    for (const auto& [name, scope] : candidates) {
        const std::vector<formula::token_t>* tokens = scope == workbook_scope ? nullptr : store->tokens_of({name, scope});
        if (!tokens) continue;
        const bool other_scope = std::any_of(tokens->begin(), tokens->end(), [&](const formula::token_t& t) {
            if (t.opcode != formula::op_name) return false;
            const auto& read = std::get<formula::named_expression_t>(t.operand);
            if (!folded.empty() && utf8_fold_case(read.name) != folded) return false;
            const uint32_t seen = store->contains({read.name, scope}) ? scope : workbook_scope;
            return read.scope != seen && store->contains({read.name, seen});
        });
        if (other_scope) misread.push_back({name, scope});
    }
    reread_names__(misread);
}

void Table::reread_tokenless_names__(std::string_view folded) {
    if (const defined_name_store_t* store = get_defined_names()) reread_names__(store->tokenless_names(folded));
}

void Table::reread_names__(const std::vector<formula::named_expression_t>& names) {
    defined_name_store_t* store = get_defined_names();
    if (!store || names.empty()) return;
    const std::string before = get_run_message().str();
    for (const auto& name : names) {
        const defined_name_entry_t* entry = store->find({name.name, name.scope});
        if (!entry) continue;
        const Table* own = name.scope != workbook_scope ? workbook_sheet__(name.scope) : nullptr;
        const Table& at = own ? *own : *this;
        std::vector<formula::token_t> tokens;
        try {
            at.formula_model_->parse_formula(tokens, at.name_origin__(), entry->expression);
        } catch (const std::exception&) {
            continue;
        }
        // A text that reads as a span of sheets now keeps no tokens, as it
        // would defined now: its lenient reading shows the span. Still
        // without, its kept reading goes: sheets and tables it names may have come.
        store->set_tokens({name.name, name.scope}, std::move(tokens));
    }
    set_run_message(before);  // a text that still reads nothing known says nothing
}

// Whoever may read a name of the key's spelling, in any scope, directly or
// through other names: which scope a formula finds depends on its sheet.
Table::stale_formulas_t Table::name_readers__(const defined_name_key_t& key) const {
    std::vector<formula::named_expression_t> read{{std::string(key.name), key.local_sheet_id}};
    if (const defined_name_store_t* store = get_defined_names()) store->add_readers(formula_model_->context(), read);
    // Held in every scope: a sheet's formulas find the spelling in the scope
    // they see, which the key may now hide or uncover.
    return formulas_reading__(read, true);
}

Table::stale_formulas_t Table::formulas_reading__(const std::vector<formula::named_expression_t>& names,
                                                  bool every_scope) const {
    std::vector<std::string> spellings;
    for (const auto& name : names)
        if (std::find(spellings.begin(), spellings.end(), name.name) == spellings.end()) spellings.push_back(name.name);
    const std::vector<Table*> sheets = sheets_spelling__(spellings);
    const formula::name_set_t named(names, every_scope);
    stale_formulas_t readers;
    for (Table* sheet : sheets) {
        const formula::table_formula_model& model = *sheet->get_formula_model();
        if (!model.spells_names()) continue;
        std::vector<formula::formula_cell*> cells;
        for (const std::string_view spelling : spellings) {
            const std::vector<formula::formula_cell*> found = model.spelling(spelling);
            cells.insert(cells.end(), found.begin(), found.end());
        }
        in_cell_order__(cells);
        for (formula::formula_cell* cell : cells)
            if (formula::reads_names(model.context(), cell->position(), cell->parsed ? &cell->tokens : nullptr,
                                     model.text_of(*cell), named))
                readers.emplace_back(sheet, cell);
    }
    return readers;
}

std::vector<Table*> Table::workbook_sheets__() const {
    if (registered_) return get_table_registry().tables_of(workbook_);
    return {const_cast<Table*>(this)};
}

Table* Table::workbook_sheet__(uint32_t grid) const {
    if (registered_) return get_table_registry().find_in_workbook(grid, workbook_);
    return grid == sheet_id_ ? const_cast<Table*>(this) : nullptr;
}

std::vector<Table*> Table::sheets_spelling__(std::string_view name) const {
    return sheets_spelling__(std::vector<std::string>{std::string(name)});
}

std::vector<Table*> Table::sheets_spelling__(const std::vector<std::string>& names) const {
    if (!registered_ || !shared_spellings_) return {const_cast<Table*>(this)};
    std::vector<Table*> sheets;
    for (const std::string& name : names) {
        const std::vector<Table*> found = shared_spellings_->sheets(utf8_fold_case(name));
        sheets.insert(sheets.end(), found.begin(), found.end());
    }
    in_sheet_order(sheets);
    return sheets;
}

void Table::follow_keepers__(const text_rewrite_t& text_of, const Table* except) {
    const auto follow = [&](const std::vector<Table*>& sheets) {
        for (Table* sheet : sheets)
            if (sheet != except && sheet->keeps_texts__()) sheet->follow_kept_texts__(nullptr, text_of);
    };
    if (registered_ && shared_spellings_) follow(shared_spellings_->keepers());
    else follow(workbook_sheets__());
}

bool Table::names_table__(std::string_view name, const tabledef_t* except) const {
    const std::string folded = utf8_fold_case(name);
    const std::vector<Table*> holders =
        registered_ ? get_table_registry().table_holders_of(workbook_) : std::vector<Table*>{const_cast<Table*>(this)};
    for (const Table* sheet : holders)
        if (sheet->tabledefs().names_table(folded, except)) return true;
    return false;
}

void Table::on_tables_held__(bool held) {
    if (registered_) get_table_registry().hold_tables(workbook_, sheet_id_, held);
}

bool Table::table_name_taken(std::string_view name, const tabledef_t* except) const {
    if (names_table__(name, except)) return true;
    const defined_name_store_t* store = get_defined_names();
    return store && store->contains_name_in_any_case(name);
}

} // namespace vex::mta

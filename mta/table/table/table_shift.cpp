#include "mta/table/table/table.h"

#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/formula_interpreter.h"
#include "mta/table/formula_model/edit_reach.h"
#include "mta/table/formula_model/name_spellers.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/spelling_sheets.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/utils/range_check.h"
#include "mta/types/document_model_access.h"
#include "run_message.h"
#include "unicode.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex::mta {

namespace {

// Whether a formula of another sheet may name the shifted one: a parsed one by
// its tokens, an unparsed one when its text qualifies any reference.
bool may_reference(const formula::table_formula_model& model, const formula::formula_cell& cell, int32_t grid) {
    if (cell.parsed)
        return std::any_of(cell.tokens.begin(), cell.tokens.end(),
                           [&](const formula::token_t& t) { return formula::token_on_grid(t, grid); });
    return model.text_of(cell).view().find('!') != std::string_view::npos;
}

// A structured reference names no sheet: it reads wherever its table stands.
bool reads_table(const formula::table_formula_model& model, const formula::formula_cell& cell) {
    if (cell.parsed)
        return std::any_of(cell.tokens.begin(), cell.tokens.end(),
                           [](const formula::token_t& t) { return t.opcode == formula::op_table_ref; });
    return model.text_of(cell).view().find('[') != std::string_view::npos;
}

// The names reading a table through a structured reference, with the names
// reading them, when the shift moves or reshapes a table of the sheet: their
// readers, filed by where the table stood, file it again where it stands.
std::vector<formula::named_expression_t> names_reading_tables(const Table& sheet, const defined_name_store_t& store,
                                                              const band_shift_t& s) {
    const auto tables = sheet.tabledefs().all();
    if (std::none_of(tables.begin(), tables.end(), [&](const auto& t) { return s.reaches(t.second->range()); }))
        return {};
    std::vector<formula::named_expression_t> out = store.table_readers();
    if (!out.empty()) store.add_readers(sheet.get_formula_model()->context(), out);
    return out;
}

// A text naming a span holds a ":" and a "!".
bool may_spell_span(std::string_view text) {
    return text.find('!') != std::string_view::npos && text.find(':') != std::string_view::npos;
}

// A span is never parsed.
bool may_read_span(const formula::formula_cell& cell, std::string_view text) {
    return !cell.parsed && may_spell_span(text);
}

// A name over a span keeps no tokens, only its text.
const defined_name_entry_t* span_name(const defined_name_store_t& store, const formula::named_expression_t& name) {
    const defined_name_entry_t* entry = store.find({name.name, name.scope});
    return entry && entry->tokens.empty() && may_spell_span(entry->expression) ? entry : nullptr;
}

// A formula reading spans filed anew, by the ranges it gained where it can.
void refile_span_reader(formula::table_formula_model& model, formula::formula_cell* cell) {
    if (model.track_unparsed_gains(cell)) return;
    formula::table_formula_model::untrack(cell);
    model.track_unparsed(cell);
}

// How a sheet just placed at `at` stands to the spans a text reads, told from
// the places of their ends alone.
struct arrival_t {
    size_t holding = 0;  // spans holding it between their ends
    bool at_end = false;  // a span ending on it, or naming it beside a sheet the workbook lacks
    // Where the one span holding it files its ranges, known when only
    // references of one range each come before it.
    std::optional<formula::cell_tracker_t::span_gain_t> gain;

    bool changes() const noexcept { return holding || at_end; }
};

// Many spans start or end on the same sheets: each is placed once.
class sheet_places_t {
public:
    explicit sheet_places_t(const document_model_access& book) : book_(book) {}

    uint32_t of(uint32_t grid) {
        const auto [it, added] = places_.try_emplace(grid, UINT32_MAX);
        if (added) it->second = book_.get_sheet_position(grid);
        return it->second;
    }
    void forget() { places_.clear(); }

private:
    const document_model_access& book_;
    std::unordered_map<uint32_t, uint32_t> places_;
};

// The sheet just placed, asked about the texts of one formula or name after
// another.
class sheet_arrival_t {
public:
    sheet_arrival_t(const document_model_access& book, uint32_t grid, uint32_t at)
        : places_(book), grid_(grid), at_(at), before_(at ? book.get_grid_at(at - 1) : 0),
          after_(book.get_grid_at(at + 1)) {}

    arrival_t in(const std::vector<formula::token_t>& tokens) {
        arrival_t out;
        size_t listed = 0;
        bool counted = true;
        for (const formula::token_t& t : tokens) {
            const bool range = t.opcode == formula::op_range_ref;
            if (t.opcode == formula::op_cell_ref ||
                (range && !formula::spans_sheets(std::get<vex::range_t>(t.operand)))) {
                ++listed;
                continue;
            }
            if (t.opcode == formula::op_name || t.opcode == formula::op_table_ref) counted = false;
            if (!range) continue;
            const bool placed = counted;
            counted = false;
            if (t.names[0]) continue;  // another workbook's sheets
            const auto& r = std::get<vex::range_t>(t.operand);
            const uint32_t a = uint32_t(r.first.grid_id), b = uint32_t(r.last.grid_id);
            if (a == grid_ || b == grid_) {
                out.at_end = true;
                continue;
            }
            const uint32_t pa = places_.of(a), pb = places_.of(b);
            if (pa == UINT32_MAX || pb == UINT32_MAX) continue;  // read as its two ends alone
            const uint32_t lo = std::min(pa, pb), hi = std::max(pa, pb);
            if (at_ <= lo || at_ >= hi) continue;
            if (++out.holding == 1 && placed)
                out.gain = formula::cell_tracker_t::span_gain_t{
                    listed, uint32_t(pa == lo ? a : b), listed + (at_ - lo), before_, after_, grid_};
        }
        return out;
    }

private:
    sheet_places_t places_;
    const uint32_t grid_;
    const uint32_t at_;
    const uint32_t before_;
    const uint32_t after_;
};

// How a sheet moving to another place stands to the spans a text reads, told
// from the places of their ends alone: asked once before the move and once
// after it.
class sheet_move_t {
public:
    sheet_move_t(const document_model_access& book, uint32_t grid) : places_(book), grid_(grid) {}

    // The sheet has moved: places are read anew.
    void moved() { places_.forget(); }

    // For each span, whether it holds the sheet between its ends; none when
    // an end is the sheet itself or a sheet the workbook lacks, whose reading
    // the ends do not tell.
    std::optional<std::vector<bool>> holding(const std::vector<formula::token_t>& tokens) {
        std::vector<bool> out;
        for (const formula::token_t& t : tokens) {
            if (t.opcode != formula::op_range_ref || t.names[0]) continue;
            const auto& r = std::get<vex::range_t>(t.operand);
            if (!formula::spans_sheets(r)) continue;
            const uint32_t a = uint32_t(r.first.grid_id), b = uint32_t(r.last.grid_id);
            if (a == grid_ || b == grid_) return std::nullopt;
            const uint32_t pa = places_.of(a), pb = places_.of(b), at = places_.of(grid_);
            if (pa == UINT32_MAX || pb == UINT32_MAX || at == UINT32_MAX) return std::nullopt;
            out.push_back(at > std::min(pa, pb) && at < std::max(pa, pb));
        }
        return out;
    }

private:
    sheet_places_t places_;
    const uint32_t grid_;
};

} // namespace

// Deleted formula cells are released by their column before they go; the others
// that move or name the shifted sheet are rewritten here, before the move, and
// tracked again after it, as are the readers of the names the shift rewrites
// (`names`). A shared group's followers are settled once the cells have moved
// (`shared`, one per sheet).
std::vector<formula::formula_cell*> Table::rewrite_formulas__(const formula::edit_reach_t& reach,
                                                             const std::vector<formula::named_expression_t>& names,
                                                             std::vector<formula::shared_shift_t>& shared,
                                                             stale_formulas_t& stale,
                                                             const std::vector<formula::formula_cell*>* only,
                                                             std::vector<vex::coord_t>* seen) {
    const band_shift_t& s = reach.shift;
    std::vector<formula::formula_cell*> rewritten;
    const int32_t grid = int32_t(sheet_id_);
    const std::vector<Table*> sheets = workbook_sheets__();
    // Readers of this sheet's tables file the tables' new ranges once they moved.
    const bool tables_here = tabledefs_.size() != 0;
    const formula::name_set_t named(names);
    // Another sheet is read only when its formulas may name this one, a span
    // or a moved name, leave hidden rows out or hold unparsed texts, lose
    // their results on any change, or follow a lost shared master: the others
    // hold nothing the shift moves or reads otherwise. A table here may be
    // read from anywhere by its name alone.
    const bool every_sheet = tables_here || !registered_ || !shared_spellings_;
    std::unordered_set<const Table*> spelling;
    if (!every_sheet) {
        std::vector<std::string> spellings{formula::name_spellers_t::grid(grid), utf8_fold_case(name_),
                                           std::string(formula::name_spellers_t::span),
                                           std::string(formula::name_spellers_t::skips_hidden_rows)};
        for (const formula::named_expression_t& name : names) spellings.push_back(utf8_fold_case(name.name));
        for (Table* sheet : sheets_spelling__(spellings)) spelling.insert(sheet);
    }
    const formula::cell_tracker_t& tracker = formula::get_cell_tracker();
    shared.reserve(sheets.size());
    for (Table* sheet : sheets) {
        const bool own = sheet == this;
        formula::table_formula_model& model = *sheet->get_formula_model();
        if (!own && !every_sheet && !spelling.contains(sheet) && !tracker.holds_volatile_on(sheet->sheet_id()) &&
            !model.has_orphaned_groups())
            continue;
        formula::model_context& context = model.context();
        formula::shared_shift_t& groups = shared.emplace_back(model, grid, s, own);
        const auto visit = [&](formula::formula_cell* cell) {
            const vex::coord_t from = cell->position();
            vex::coord_t to = from;
            if (own && s.in_band(from) && s.along(from) >= s.first) {
                if (!s.insert && s.along(from) <= s.last()) return;  // deleted with its cell
                s.along(to) += s.insert ? s.count : -s.count;
            }
            // Most of a table's records lie outside the shift: told apart cheaply.
            if (own && to == from && cell->parsed && !cell->drops_on_any_change() && cell->attributes().type == 0 &&
                reach.keeps_own_record(context, from, cell->tokens)) {
                if (seen && s.along(from) >= s.first) seen->push_back(to);
                return;
            }
            if (own && seen) seen->push_back(to);
            const bool follower = groups.follows(*cell);
            const bool table_reader = tables_here && reads_table(model, *cell);
            const std::vector<formula::token_t>* tokens = cell->parsed ? &cell->tokens : nullptr;
            // An unparsed follower without a text of its own reads its master's.
            std::optional<std::string> group_text;
            if (!tokens && follower && cell->expression().empty()) group_text = groups.text_before(*cell, from);
            const std::string_view written = group_text ? std::string_view(*group_text) : cell->expression();
            const bool name_reader = !named.empty() && formula::reads_names(context, from, tokens, written, named);
            const bool unsure = cell->unread_text || cell->unread_names;
            if (!own && !follower && !table_reader && !name_reader && !cell->drops_on_any_change() &&
                !may_reference(model, *cell, grid))
                return;
            if (unsure || reach.drops(context, from, to, tokens, written)) stale.emplace_back(sheet, cell);
            std::optional<std::string> text;
            if (!cell->expression().empty())
                text = formula::shift_formula_text(context, from, cell->expression(), grid, s, false);
            if (text) cell->set_expression(std::move(*text));
            const bool moved = to != from;
            // The tracker holds an array by its range: it leaves before the range moves.
            const bool array = own && cell->attributes().type == 2;
            const auto names_grid = [&] {
                return std::any_of(cell->tokens.begin(), cell->tokens.end(),
                                   [&](const auto& t) { return formula::token_on_grid(t, grid); });
            };
            // Filed again only when what it reads moves: a shift beside a column
            // of running totals leaves their tracking as it is.
            const auto reads_moved = [&] {
                // A follower kept unparsed reads its group's text, which the shift may move.
                if (group_text) return formula::shift_formula_text(context, from, *group_text, grid, s, false).has_value();
                if (!names_grid()) return false;
                if (!cell->parsed) return true;
                std::vector<formula::token_t> shifted = cell->tokens;
                return formula::shift_formula_tokens(shifted, from, to, grid, s, false);
            };
            if (!text && !moved && !array && !table_reader && !name_reader && !reads_moved()) {
                follow_formula_range__(model, *cell, to, own ? &s : nullptr);
                if (follower) groups.keep(*cell, from, false);
                return;
            }
            const bool tracked = cell->state() == formula::formula_cell_state::registered;
            formula::table_formula_model::untrack(cell);
            follow_formula_range__(model, *cell, to, own ? &s : nullptr);
            const bool changed =
                cell->parsed && formula::shift_formula_tokens(cell->tokens, from, to, grid, s, false);
            if (follower) groups.keep(*cell, from, moved || changed || text);
            if (cell->parsed || tracked) rewritten.push_back(cell);
        };
        if (own && only) std::for_each(only->begin(), only->end(), visit);
        else sheet->for_each_formula_cell(visit);
    }
    return rewritten;
}

// An array's or a shared master's range moves with its cells. A shared master
// the band carried out of its own range cannot lead its group: it stands alone,
// and so, once settled, do its followers.
void Table::follow_formula_range__(formula::table_formula_model& model, formula::formula_cell& cell,
                                   const vex::coord_t& to, const band_shift_t* s) {
    formula::formula_attributes_t a = cell.attributes();
    if ((a.type != 1 && a.type != 2) || a.ref.first.row == 0) return;
    if (s) {
        if (!s->follow(a.ref)) a.ref.first = a.ref.last = to;
        cell.set_attributes(a);
    }
    if (a.type != 1) return;
    if (a.ref.holds(to)) {
        model.follow_shared_master(a.shared_index, cell.expression(), to);
        return;
    }
    model.master_leaving(cell);
    formula::table_formula_model::stand_alone(cell, std::string(cell.expression()));
}

Table::record_readers_t Table::record_readers_key__() const {
    return {sheet_id_, tabledefs_.reshapes()};
}

// A row shift that leaves the formula's row leaves what it reads, when it
// reads its own record alone, whatever the shift.
bool Table::reads_beyond_record__(const formula::formula_cell& cell, const formula::edit_reach_t& probe) const {
    if (!cell.parsed || cell.drops_on_any_change() || cell.attributes().type != 0) return true;
    // Its volatility is heard of once it is read, after it is stored.
    if (std::any_of(cell.tokens.begin(), cell.tokens.end(), [](const formula::token_t& t) {
            return t.opcode == formula::op_function && formula::is_volatile_function(std::get<uint32_t>(t.operand));
        }))
        return true;
    return !probe.keeps_own_record(formula_model_->context(), cell.position(), cell.tokens);
}

Table::record_other_t Table::record_other__(const formula::formula_cell& cell) const {
    if (!cell.parsed || cell.drops_on_any_change() || cell.attributes().type != 0) return {cell.position()};
    record_other_t out{cell.position()};
    out.reach = formula::last_row_read(formula_model_->context(), cell.position(), cell.tokens, &out.by_table);
    return out;
}

// A shift below every row: no formula's record moves. It keeps the last
// table it met, for the next formula of the same table.
formula::edit_reach_t Table::record_probe__() const {
    // The probe holds the band by reference.
    static const band_shift_t below{true, true, 1, 1, std::numeric_limits<int>::max(), 0, 0};
    return {int32_t(sheet_id_), below, {}, {}, {}, {}};
}

Table::row_shift_list_t Table::row_shift_formulas__(const band_shift_t& s) const {
    if (!s.rows || !record_readers_ || record_readers_->grid != sheet_id_) return std::nullopt;
    // A formula reading only its own record keeps doing so whatever the tables
    // become, but a reach a table's extent set may have grown with it since.
    const bool reshaped = record_readers_->tables != tabledefs_.reshapes();
    row_shift_formulas_t out;
    for (const record_other_t& other : record_others_) {
        if (other.at.row >= s.first) continue;
        if (other.reach < s.first && !(reshaped && other.by_table)) out.passed.push_back(other);
        else if (formula::formula_cell* cell = get_formula_cell(other.at.row, other.at.col)) out.cells.push_back(cell);
    }
    for (int c = 1; c <= columns_.count(); ++c) {
        const Column& column = *columns_.at(c);
        if (size_t(s.first) > column.size()) continue;
        auto [block, offset] = column.position_of(s.first);
        for (; block != column.cells().end(); ++block, offset = 0)
            if (block->type == element_type_formula)
                for (size_t i = offset; i < block->size; ++i) out.cells.push_back(formula_block::at(*block->data, i));
    }
    // In the order a walk over every formula meets them, each once.
    in_cell_order__(out.cells);
    return out;
}

void Table::note_record_readers__(const std::vector<vex::coord_t>& seen, std::vector<record_other_t> passed) {
    record_readers_ = record_readers_key__();
    const formula::edit_reach_t probe = record_probe__();
    std::vector<record_other_t> others;
    for (const vex::coord_t& at : seen)
        if (const formula::formula_cell* cell = get_formula_cell(at.row, at.col);
            cell && reads_beyond_record__(*cell, probe))
            others.push_back(record_other__(*cell));
    // The list was in order when noted, and stores since appended to it:
    // what a shift passed over is sorted only when such stores came.
    in_cell_order__(others);
    const auto fresh = std::ptrdiff_t(others.size());
    others.insert(others.end(), passed.begin(), passed.end());
    if (!std::is_sorted(others.begin() + fresh, others.end(), record_other_t::before))
        std::sort(others.begin() + fresh, others.end(), record_other_t::before);
    if (fresh != 0) std::inplace_merge(others.begin(), others.begin() + fresh, others.end(), record_other_t::before);
    record_other_t::keep_farthest(others);
    record_others_ = std::move(others);
    record_others_compacted_ = record_others_.size();
}

// Only the sheets whose formulas name this one, read it by its grid or span
// sheets are read, and only those formulas: deleting sheets one by one costs
// what reads each, not the workbook.
void Table::drop_references_to_sheet() {
    if (!registered_) return;
    const int32_t grid = int32_t(sheet_id_);
    formula::cell_tracker_t& tracker = formula::get_cell_tracker();
    stale_formulas_t stale;
    const text_rewrite_t dropped = [&](formula::model_context& context, const vex::coord_t& at, std::string_view text) {
        return formula::drop_grid_references(context, at, text, grid);
    };
    follow_book_parts__(dropped);
    follow_keepers__(dropped, this);
    const std::vector<std::string> spellings{utf8_fold_case(name_), formula::name_spellers_t::grid(grid),
                                             std::string(formula::name_spellers_t::span)};
    for (Table* sheet : sheets_spelling__(spellings)) {
        if (sheet == this) continue;
        formula::table_formula_model& model = *sheet->get_formula_model();
        formula::model_context& context = model.context();
        std::vector<formula::formula_cell*> cells;
        for (const std::string& spelling : spellings) {
            const std::vector<formula::formula_cell*> found = model.spelling(spelling);
            cells.insert(cells.end(), found.begin(), found.end());
        }
        in_cell_order__(cells);
        // Shared groups whose first cell's text changed, each with whether its
        // followers are filed anew.
        std::unordered_map<uint32_t, bool> groups;
        std::unordered_set<const formula::formula_cell*> seen;
        const auto untrack = formula::table_formula_model::untrack;
        for (formula::formula_cell* cell : cells) {
            // "Sheet1!#REF!" names the sheet in its text alone; a follower's
            // group hears of it through its first cell.
            if (!may_reference(model, *cell, grid) && cell->expression().find("!#REF!") == std::string_view::npos)
                continue;
            std::optional<std::string> text;
            if (!cell->expression().empty())
                text = formula::drop_grid_references(context, cell->position(), cell->expression(), grid);
            const bool tokens = std::any_of(cell->tokens.begin(), cell->tokens.end(),
                                            [&](const auto& t) { return formula::token_on_grid(t, grid); });
            if (!text && !tokens) continue;
            stale.emplace_back(sheet, cell);
            seen.insert(cell);
            const formula::formula_attributes_t& a = cell->attributes();
            const bool group = a.type == 1 && a.ref.first.row != 0;
            // A span holding the sheet between its ends keeps its text, and the
            // sheet still stands: filed anew, it would be filed as it is, at
            // the span's width. Its range on the sheet goes with the sheet.
            if (!tokens && !cell->parsed && *text == cell->expression() &&
                cell->state() == formula::formula_cell_state::registered) {
                if (group) groups.try_emplace(a.shared_index, false);
                continue;
            }
            untrack(cell);
            if (text) cell->set_expression(std::move(*text));
            formula::drop_grid_tokens(cell->tokens, grid);
            if (group) {
                model.follow_shared_master(a.shared_index, cell->expression(), cell->position());
                if (text) groups[a.shared_index] = true;
            }
            // Kept unparsed, it is tracked again as its new text reads.
            if (!cell->parsed) {
                model.track_unparsed(cell);
                continue;
            }
            try {
                tracker.register_formula(cell);
            } catch (const std::exception&) {
                cell->parsed = 0;  // a range the tracker cannot hold stays untracked
            }
        }
        for (const uint32_t index : model.rewrite_orphaned_groups([&](const vex::coord_t& at, std::string_view text) {
                 return formula::drop_grid_references(context, at, text, grid);
             }))
            groups[index] = true;
        if (groups.empty()) continue;
        // Followers without a text of their own read their group's new one.
        sheet->for_each_formula_cell([&](formula::formula_cell* cell) {
            const formula::formula_attributes_t& a = cell->attributes();
            if (a.type != 1 || !cell->expression().empty()) return;
            const auto group = groups.find(a.shared_index);
            if (group == groups.end()) return;
            if (!seen.contains(cell)) stale.emplace_back(sheet, cell);
            if (cell->parsed || !group->second) return;
            untrack(cell);
            model.track_unparsed(cell);
        });
    }
    if (!stale.empty()) {
        const stale_formulas_t texts = text_readers__();
        stale.insert(stale.end(), texts.begin(), texts.end());
    }
    auto* names = get_defined_names();
    // What a formula reads by a text it builds may lie on the sheet going.
    drop_stale_results__(stale, names ? names->on_sheet_going(*this) : std::vector<formula::named_expression_t>(),
                         true);
    for (const auto& [name, table] : tabledefs_.all())
        rewrite_table_references({std::string(table->display_name()), {}, {}, {}, true});
}

void Table::drop_results_reading_name(const formula::named_expression_t& name) {
    std::vector<formula::named_expression_t> names{name};
    if (auto* store = get_defined_names()) store->add_readers(formula_model_->context(), names);
    drop_stale_results__({}, names, true);
}

void Table::drop_workbook_results() {
    stale_formulas_t stale;
    for (Table* sheet : workbook_sheets__())
        sheet->for_each_formula_cell([&](formula::formula_cell* cell) { stale.emplace_back(sheet, cell); });
    drop_stale_results__(std::move(stale), {}, true);
}

void Table::follow_sheet_order(const std::function<void()>& reorder, bool arrived, uint32_t moved) {
    if (arrived && follow_arrival__(reorder)) return;
    const document_model_access* book = get_document_access();
    std::optional<sheet_move_t> move;
    if (moved && book && !arrived) move.emplace(*book, moved);
    // What a text's spans read: which hold the moved sheet where their ends
    // tell, so a span costs its ends, not its width; else the grids they list.
    struct reading_t {
        std::optional<std::vector<bool>> holding;
        std::vector<uint32_t> grids;

        bool operator==(const reading_t&) const = default;
    };
    const auto read_spans = [&](formula::model_context& context, const vex::coord_t& origin, std::string_view text) {
        reading_t out;
        if (move) out.holding = move->holding(formula::read_leniently(context, origin, text));
        if (!out.holding) out.grids = formula::span_grids(context, origin, text);
        return out;
    };
    // Before a sheet arrived, its spans read it not.
    const auto as_before = [&](reading_t r) {
        if (arrived) std::erase(r.grids, sheet_id_);
        return r;
    };
    // A sheet moving inside a span leaves what it reads but not their order.
    enum class change_t { none, order, reading };
    const auto change = [](const reading_t& before, const reading_t& after) {
        if (before != after) return change_t::reading;
        if (!before.holding) return change_t::none;
        const auto& holds = *before.holding;
        return std::find(holds.begin(), holds.end(), true) != holds.end() ? change_t::order : change_t::none;
    };
    const auto empty = [](const reading_t& r) { return r.holding ? r.holding->empty() : r.grids.empty(); };
    struct reader_t {
        Table* sheet;
        formula::formula_cell* cell;
        reading_t reading;
    };
    const auto spans_read = [&](Table* sheet, formula::formula_cell* cell) {
        if (cell->parsed) return reading_t{};
        formula::table_formula_model& model = *sheet->get_formula_model();
        const formula::formula_text_t text = model.text_of(*cell);
        if (!may_read_span(*cell, text.view())) return reading_t{};
        return read_spans(model.context(), cell->position(), text.view());
    };
    // Spans are filed by what they spell: only their readers are read.
    const std::string_view span = formula::name_spellers_t::span;
    std::vector<reader_t> readers;
    for (const auto& [sheet, cell] : filed_under__(span)) {
        reading_t reading = spans_read(sheet, cell);
        if (!empty(reading)) readers.push_back({sheet, cell, as_before(std::move(reading))});
    }
    // A name over a span keeps no tokens: its readers were filed from its
    // text, by the sheets the span held then.
    using name_span_t = std::pair<formula::named_expression_t, reading_t>;
    defined_name_store_t* const store = get_defined_names();
    const std::vector<formula::named_expression_t> spanning =
        store ? store->names_spelling(span, may_spell_span)
              : std::vector<formula::named_expression_t>();
    const auto name_spans = [&] {
        std::vector<name_span_t> out;
        for (const formula::named_expression_t& name : spanning) {
            const defined_name_entry_t* entry = span_name(*store, name);
            if (!entry) continue;
            reading_t reading = read_spans(formula_model_->context(), name_origin__(), entry->expression);
            if (!empty(reading)) out.push_back({name, std::move(reading)});
        }
        return out;
    };
    std::vector<name_span_t> spans = name_spans();
    for (auto& [name, reading] : spans) reading = as_before(std::move(reading));
    reorder();
    if (move) move->moved();
    stale_formulas_t stale;
    for (const reader_t& r : readers) {
        const change_t c = change(r.reading, spans_read(r.sheet, r.cell));
        if (c == change_t::none) continue;
        // The same sheets in another order: the filing still holds them all.
        if (c == change_t::reading) refile_span_reader(*r.sheet->get_formula_model(), r.cell);
        stale.emplace_back(r.sheet, r.cell);
    }
    std::vector<formula::named_expression_t> names_moved;
    const std::vector<name_span_t> now = name_spans();
    for (const auto& [name, reading] : spans) {
        const auto after = std::find_if(now.begin(), now.end(), [&](const name_span_t& n) { return n.first == name; });
        if (after == now.end() || change(reading, after->second) != change_t::none) names_moved.push_back(name);
    }
    drop_span_results__(std::move(stale), std::move(names_moved));
}

bool Table::follow_arrival__(const std::function<void()>& reorder) {
    const document_model_access* book = get_document_access();
    const uint32_t at = book ? book->get_sheet_position(sheet_id_) : UINT32_MAX;
    if (at == UINT32_MAX) return false;
    reorder();
    sheet_arrival_t arrival(*book, sheet_id_, at);
    const std::string_view span = formula::name_spellers_t::span;
    formula::cell_tracker_t& tracker = formula::get_cell_tracker();
    stale_formulas_t stale;
    for (const auto& [sheet, cell] : filed_under__(span)) {
        formula::table_formula_model& model = *sheet->get_formula_model();
        const formula::formula_text_t text = model.text_of(*cell);
        if (!may_read_span(*cell, text.view())) continue;
        const arrival_t a = arrival.in(formula::read_leniently(model.context(), cell->position(), text));
        if (!a.changes()) continue;
        // One span gaining the sheet files its one range; others are read again.
        const bool filed = !a.at_end && a.holding == 1 && a.gain &&
                           cell->state() == formula::formula_cell_state::registered &&
                           tracker.file_span_gain(*cell, *a.gain);
        if (!filed) refile_span_reader(model, cell);
        stale.emplace_back(sheet, cell);
    }
    std::vector<formula::named_expression_t> moved;
    if (defined_name_store_t* store = get_defined_names())
        for (const formula::named_expression_t& name :
             store->names_spelling(span, may_spell_span))
            if (const defined_name_entry_t* entry = span_name(*store, name);
                entry &&
                arrival.in(formula::read_leniently(formula_model_->context(), name_origin__(), entry->expression))
                    .changes())
                moved.push_back(name);
    drop_span_results__(std::move(stale), std::move(moved));
    return true;
}

void Table::drop_span_results__(stale_formulas_t stale, std::vector<formula::named_expression_t> moved) {
    if (!moved.empty()) {
        get_defined_names()->add_readers(formula_model_->context(), moved);
        const stale_formulas_t readers = formulas_reading__(moved);
        refile__(readers);
        stale.insert(stale.end(), readers.begin(), readers.end());
    }
    // A sheet a text names may have moved into or out of a span it builds.
    drop_stale_results__(std::move(stale), {}, true);
}

// Only the results go: the recalculation step, seeded with the stale formulas,
// drops those of every formula reading them.
void Table::drop_stale_results__(stale_formulas_t stale, const std::vector<formula::named_expression_t>& names,
                                 bool volatiles) {
    const stale_formulas_t readers = formulas_reading__(names);
    stale.insert(stale.end(), readers.begin(), readers.end());
    if (stale.empty() && !volatiles) return;
    std::unordered_set<vex::range_t> changed;
    for (const auto& [sheet, cell] : stale) {
        sheet->drop_formula_result(*cell);
        changed.insert(cell->formula_range());
    }
    formula_model_->recalc(changed, false);
}

int Table::last_pushed__(const band_shift_t& s) const {
    int best = s.rows ? columns_.last_used_row(s.band_lo, s.band_hi) : columns_.last_used_col(s.band_lo, s.band_hi);
    const auto reach = [&](vex::range_t r, bool whole_in_band) {
        r.order();
        const bool in = whole_in_band ? s.in_band(r.first) && s.in_band(r.last)
                                      : s.across(r.last) >= s.band_lo && s.across(r.first) <= s.band_hi;
        if (in && s.along(r.last) >= s.first) best = std::max(best, s.along(r.last));
    };
    // Merged ranges and tables meeting the band are refused by their own guards
    // unless they lie inside it; links and comments reaching outside it stay.
    for (const auto& r : merged_cells_.get_all()) reach(r, false);
    for (const auto& t : tabledefs_.all()) reach(t.second->range(), false);
    for (size_t i = 0; i < hyperlinks_.size(); ++i) reach(hyperlinks_.at(i)->range, true);
    for (const auto& [row, col] : comments_.positions()) reach({{0, row, col, 0, 0, 0}, {0, row, col, 0, 0, 0}}, true);
    return best;
}

bool Table::can_shift__(bool rows, bool insert, int lo, int hi, int a, int b, row_shift_list_t* looked_at) const {
    const auto valid_along = [&](int i) { return rows ? is_valid_row(i) : is_valid_col(i); };
    const auto valid_across = [&](int i) { return rows ? is_valid_col(i) : is_valid_row(i); };
    if (insert && !valid_along(a)) return refuse(rows ? "Starting row out of range." : "Starting column out of range.");
    if (!insert && (!valid_along(a) || !valid_along(b))) return refuse(rows ? "Row out of range." : "Column out of range.");
    if (!valid_across(lo) || !valid_across(hi)) return refuse(rows ? "Column out of range." : "Row out of range.");
    if (insert && b < 1) return refuse(rows ? "Insert at least one row." : "Insert at least one column.");

    const int edge = rows ? last_row_of(*this) : last_col_of(*this);
    const auto pushes_off = [&] {
        return insert && int64_t(last_pushed__(band_shift_t::inserting(rows, lo, hi, a, b, edge))) + b > edge;
    };
    if (rows && pushes_off())
        return refuse("Cannot insert row because it would push non-empty cells off the end of the table.");
    const bool stores_allow =
        rows ? (insert ? merged_cells_.can_insert_rows(lo, hi, a, b) && tabledefs_.check_insert_rows(lo, hi, a)
                       : merged_cells_.can_delete_rows(lo, hi, a, b) && tabledefs_.check_delete_rows(lo, hi, a, b))
             : (insert ? merged_cells_.can_insert_cols(lo, hi, a, b) && tabledefs_.check_insert_columns(lo, hi, a)
                       : merged_cells_.can_delete_cols(lo, hi, a, b) && tabledefs_.check_delete_columns(lo, hi, a));
    if (!stores_allow) return false;
    // Spreadsheet applications refuse it too: an array formula moves or goes whole.
    const band_shift_t s = insert ? band_shift_t::inserting(rows, lo, hi, a, b, edge)
                                  : band_shift_t::deleting(rows, lo, hi, a, b, edge);
    // An array is never read as an own record: those a row shift looks at hold them all.
    row_shift_list_t only = row_shift_formulas__(s);
    const std::vector<vex::range_t> arrays = only ? wide_arrays_among__(only->cells, rows ? edge : hi, rows ? hi : edge)
                                                  : wide_arrays(rows ? edge : hi, rows ? hi : edge);
    if (looked_at) *looked_at = std::move(only);
    for (const vex::range_t& r : arrays)
        if (s.cuts(r)) return refuse(msg_array_part);
    if (!rows && pushes_off())
        return refuse("Cannot insert column because it would push non-empty cells off the end of the table.");
    const bool whole = lo == 1 && hi == (rows ? last_col_of(*this) : last_row_of(*this));
    return !whole || !insert || (rows ? row_outline_ : col_outline_).can_insert(a);
}

bool Table::shift__(bool rows, bool insert, int band_a, int band_b, int a, int b) {
    const int lo = std::min(band_a, band_b), hi = std::max(band_a, band_b);
    if (!insert && a > b) std::swap(a, b);
    // The formulas a row shift looks at, listed by the check: nothing it does
    // before the rewrite stores a formula or moves a table.
    row_shift_list_t only;
    if (!can_shift__(rows, insert, lo, hi, a, b, &only)) return false;
    const int edge = rows ? last_row_of(*this) : last_col_of(*this);
    const band_shift_t s = insert ? band_shift_t::inserting(rows, lo, hi, a, b, edge)
                                  : band_shift_t::deleting(rows, lo, hi, a, b, edge);
    // Read while the tables still hold what the deletion takes.
    if (!insert) drop_references_to_lost_columns__(s);
    const bool whole = lo == 1 && hi == (rows ? last_col_of(*this) : last_row_of(*this));
    if (whole && rows) {
        if (insert) {
            row_records_.insert(s.first, s.count);
            insert_row_sizes(s.first, s.count);
        } else {
            row_records_.erase(s.first, s.last());
            delete_row_sizes(s.first, s.last());
        }
    } else if (whole) {
        if (insert) {
            col_records_.insert(s.first, s.count);
            insert_col_sizes(s.first, s.count);
        } else {
            col_records_.erase(s.first, s.last());
            delete_col_sizes(s.first, s.last());
        }
    }
    // The moved formulas come back to the ranges that others left.
    std::optional<formula::cell_tracker_t::compaction_hold_t> hold(std::in_place, formula::get_cell_tracker());
    // Names follow first: their readers file them again where they now point.
    std::vector<formula::named_expression_t> moved_names;
    auto* names = get_defined_names();
    formula::edit_reach_t reach{int32_t(sheet_id_), s,
                                names ? names->on_shift(*this, s, &moved_names)
                                      : std::vector<formula::named_expression_t>()};
    std::vector<formula::named_expression_t> refiled = reach.names;
    if (names) {
        const std::vector<formula::named_expression_t> over_tables = names_reading_tables(*this, *names, s);
        refiled.insert(refiled.end(), over_tables.begin(), over_tables.end());
    }
    formula::name_set_t listed(moved_names);
    for (const auto& name : refiled)
        if (listed.insert(name)) moved_names.push_back(name);
    std::vector<formula::shared_shift_t> shared;
    stale_formulas_t stale;
    // Most formulas of a table's records lie above a row shift and read only
    // their own record: once listed, the others are looked at alone.
    std::vector<vex::coord_t> seen;
    const std::vector<formula::formula_cell*> rewritten =
        rewrite_formulas__(reach, moved_names, shared, stale, only ? &only->cells : nullptr, rows ? &seen : nullptr);
    if (rows)
        insert ? columns_.insert_rows(lo, hi, s.first, s.count) : columns_.delete_rows(lo, hi, s.first, s.count);
    else
        insert ? columns_.insert_cols(lo, hi, s.first, s.count) : columns_.delete_cols(lo, hi, s.first, s.count);
    // Tables move before the formulas come back: a structured reference files
    // its table's new range.
    tabledefs_.shift(s);
    // Followers kept unparsed are tracked from their texts, which settling gives.
    for (formula::shared_shift_t& groups : shared) groups.settle();
    for (formula::formula_cell* cell : rewritten) {
        if (!cell->parsed) {
            // Kept unparsed, tracked from its text as it now reads.
            if (formula::model_context* owner = cell->owner()) owner->get_formula_model()->track_unparsed(cell);
            continue;
        }
        try {
            formula::get_cell_tracker().register_formula(cell);
        } catch (const std::exception&) {
            cell->parsed = 0;  // a range the tracker cannot hold stays untracked
        }
    }
    merged_cells_.shift(s);
    // Cells of part of the rows move into or out of hidden rows, which stay:
    // what leaves hidden rows out reads other values.
    if (rows && !whole && registered_ && rows_hidden_in(s.first, edge)) {
        const int32_t grid = int32_t(sheet_id_);
        const stale_formulas_t skipping = hidden_row_readers__({{{grid, s.first, lo, 1, 0, 0}, {grid, edge, hi, 1, 0, 0}}});
        stale.insert(stale.end(), skipping.begin(), skipping.end());
    }
    if (!rewritten.empty()) {
        const stale_formulas_t texts = text_readers__();
        stale.insert(stale.end(), texts.begin(), texts.end());
    }
    drop_stale_results__(std::move(stale), {});
    if (whole) {
        outline_store_t& outline = rows ? row_outline_ : col_outline_;
        insert ? void(outline.insert(s.first, s.count)) : outline.erase(s.first, s.count);
        // The store spans the sheet: levels pushed off a smaller table go, as its cells do.
        if (insert && s.edge < outline.last()) outline.set_level(s.edge + 1, outline.last(), 0);
    }
    hyperlinks_.shift(s);
    comments_.shift(s);
    note_wide_arrays__();
    on_shift__(s);
    const int32_t grid = int32_t(sheet_id_);
    const text_rewrite_t shifted = [&](formula::model_context& context, const vex::coord_t& at, std::string_view text) {
        return formula::shift_formula_text(context, at, text, grid, s, false);
    };
    for (Table* sheet : workbook_sheets__()) sheet->follow_kept_texts__(sheet == this ? &s : nullptr, shifted);
    follow_book_parts__(shifted);
    hold.reset();
    if (rows) note_record_readers__(seen, only ? std::move(only->passed) : std::vector<record_other_t>{});
    else record_readers_.reset();
    return true;
}

bool Table::shift_range_down(int first_col, int last_col, int row, int count) {
    return shift__(true, true, first_col, last_col, row, count);
}

bool Table::shift_range_up(int first_col, int last_col, int first_row, int last_row) {
    return shift__(true, false, first_col, last_col, first_row, last_row);
}

bool Table::shift_range_right(int first_row, int last_row, int col, int count) {
    return shift__(false, true, first_row, last_row, col, count);
}

bool Table::shift_range_left(int first_row, int last_row, int first_col, int last_col) {
    return shift__(false, false, first_row, last_row, first_col, last_col);
}

} // namespace vex::mta

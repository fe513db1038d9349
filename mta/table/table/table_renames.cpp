// Formulas and defined names follow a sheet or table renamed, or name a table
// that went as #REF!, as spreadsheet applications do: a saved copy names
// nothing the workbook no longer has.

#include "mta/table/table/table.h"

#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_cell.h"
#include "mta/table/formula_model/name_spellers.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/spelling_sheets.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex::mta {

std::pair<Table::stale_formulas_t, std::vector<formula::named_expression_t>>
Table::rewrite_workbook_formulas__(const std::function<bool(std::string_view)>& may_name, const text_rewrite_t& text_of,
                                   const tokens_rewrite_t& tokens_of, bool refile, const rewrite_reach_t* reach) {
    formula::cell_tracker_t& tracker = formula::get_cell_tracker();
    stale_formulas_t changed;
    const text_rewrite_t named = [&](formula::model_context& context, const vex::coord_t& at, std::string_view text) {
        return may_name(text) ? text_of(context, at, text) : std::optional<std::string>();
    };
    follow_book_parts__(named);
    // A reach the workbook's index knows costs the sheets that spell it, and
    // those keeping texts beside their cells; any other passes every sheet.
    const bool indexed = reach && reach->indexed;
    std::vector<Table*> sheets = indexed ? sheets_spelling__(reach->folded) : workbook_sheets__();
    if (indexed) {
        follow_keepers__(named, nullptr);
        // Its own formulas are read whatever they spell.
        if (reach->whole_sheet == int32_t(sheet_id_) && std::find(sheets.begin(), sheets.end(), this) == sheets.end())
            sheets.insert(std::upper_bound(sheets.begin(), sheets.end(), this,
                                           [](const Table* a, const Table* b) { return a->sheet_id() < b->sheet_id(); }),
                          this);
    }
    for (Table* sheet : sheets) {
        if (!indexed) sheet->follow_kept_texts__(nullptr, named);
        formula::table_formula_model& model = *sheet->get_formula_model();
        formula::model_context& context = model.context();
        std::unordered_set<uint32_t> groups;  // shared groups whose master changed
        std::unordered_set<const formula::formula_cell*> seen;
        const auto rewrite = [&](formula::formula_cell* cell) {
            // A shared group's follower has its master's text and tokens of its own.
            const std::string_view expression = cell->expression();
            if (!expression.empty() && !may_name(expression)) return;
            std::optional<std::string> text;
            if (!expression.empty()) text = text_of(context, cell->position(), expression);
            // The tracker forgets a formula by what it filed, not by its tokens.
            const bool tokens_changed = tokens_of(cell->tokens);
            if (!text && !tokens_changed) return;
            changed.emplace_back(sheet, cell);
            seen.insert(cell);
            const bool tracked = cell->state() == formula::formula_cell_state::registered;
            if (refile) formula::table_formula_model::untrack(cell);
            if (text) cell->set_expression(std::move(*text));
            const formula::formula_attributes_t& a = cell->attributes();
            if (a.type == 1 && a.ref.first.row != 0) {
                model.follow_shared_master(a.shared_index, cell->expression(), cell->position());
                groups.insert(a.shared_index);
            }
            model.respell(cell);
            if (!refile || !tracked) return;
            if (!cell->parsed) {
                model.track_unparsed(cell);
                return;
            }
            try {
                tracker.register_formula(cell);
            } catch (const std::exception&) {
                cell->parsed = 0;  // a range the tracker cannot hold stays untracked
            }
        };
        if (reach && reach->whole_sheet != int32_t(sheet->sheet_id_))
            for (formula::formula_cell* cell : sheet->cells_in_reach__(*reach)) rewrite(cell);
        else
            sheet->for_each_formula_cell(rewrite);
        for (const uint32_t index : model.rewrite_orphaned_groups(
                 [&](const vex::coord_t& at, std::string_view text) { return named(context, at, text); }))
            groups.insert(index);
        // Followers read their master's new text, whatever their tokens held.
        if (groups.empty()) continue;
        sheet->for_each_formula_cell([&](formula::formula_cell* cell) {
            const formula::formula_attributes_t& a = cell->attributes();
            if (a.type != 1 || !groups.contains(a.shared_index) || seen.contains(cell)) return;
            changed.emplace_back(sheet, cell);
            // Kept unparsed, it is filed by the words of its group's text.
            if (!cell->parsed) model.respell(cell);
        });
    }
    std::vector<formula::named_expression_t> names;
    if (defined_name_store_t* store = get_defined_names()) {
        formula::model_context& context = formula_model_->context();
        const vex::coord_t origin{int32_t(sheet_id_), 1, 1, 0, 0, 0};
        names = store->rewrite(
            context,
            [&](const std::string& text) {
                return may_name(text) ? text_of(context, origin, text) : std::optional<std::string>();
            },
            tokens_of, reach ? &reach->folded : nullptr);
    }
    return {std::move(changed), std::move(names)};
}

std::vector<formula::formula_cell*> Table::cells_in_reach__(const rewrite_reach_t& reach) const {
    const formula::table_formula_model& model = *formula_model_;
    std::vector<formula::formula_cell*> cells;
    for (const std::string& folded : reach.folded) {
        if (folded == formula::name_spellers_t::table_around) continue;  // only inside `around`
        for (const auto& found : {model.spelling(folded), model.reading_table(folded)})
            cells.insert(cells.end(), found.begin(), found.end());
    }
    if (int32_t(sheet_id_) == reach.around.first.grid_id)
        for (formula::formula_cell* cell : model.spelling(formula::name_spellers_t::table_around))
            if (reach.around.holds(cell->position())) cells.push_back(cell);
    in_cell_order__(cells);
    return cells;
}

void Table::follow_kept_texts__(const band_shift_t* shift, const text_rewrite_t& text_of) {
    formula::model_context& context = formula_model_->context();
    // An application copies a column's formula into the rows the table gains:
    // it reads as the column's cells do.
    if (tabledefs_.holds_formulas())
        for (const auto& entry : tabledefs_.all())
            entry.second->rewrite_formulas(
                [&](const vex::coord_t& origin, std::string_view text) { return text_of(context, origin, text); });
    follow_kept_formulas__(shift, text_of);
}

void Table::rename_references_to_sheet(std::string_view new_name) {
    if (!registered_) return;
    const std::string old_name = name_;
    // A span naming the new name lacked that end: it reads other cells now,
    // though it may be filed as before (the sheet it held was this one).
    stale_formulas_t completed;
    if (!utf8_iequals(old_name, new_name)) {
        const std::string folded = utf8_fold_case(new_name);
        for (Table* sheet : sheets_spelling__(folded)) {
            const formula::table_formula_model& model = *sheet->get_formula_model();
            for (formula::formula_cell* cell : model.spelling(folded)) {
                const formula::formula_text_t text = model.text_of(*cell);
                if (!cell->parsed && text.view().find('!') != std::string_view::npos &&
                    text.view().find(':') != std::string_view::npos)
                    completed.emplace_back(sheet, cell);
            }
        }
    }
    // The tokens hold the sheet's grid, which keeps its cells: only texts
    // change, and what reads them. Other sheets' formulas naming this one are
    // filed by its grid, or kept unparsed by the words of their texts; its own
    // formulas may name it too, and are all read.
    rewrite_reach_t reach{{formula::name_spellers_t::grid(int32_t(sheet_id_)), utf8_fold_case(old_name)}, {},
                          int32_t(sheet_id_), true};
    const auto changed = rewrite_workbook_formulas__(
        [](std::string_view text) { return text.find('!') != std::string_view::npos; },
        [&](formula::model_context& context, const vex::coord_t& origin, std::string_view text) {
            return formula::rename_sheet_references(context, origin, text, old_name, new_name);
        },
        [](std::vector<formula::token_t>&) { return false; }, false, &reach);
    if (!changed.first.empty()) drop_stale_results__(text_readers__(), {});
    if (!completed.empty()) drop_stale_results__(std::move(completed), {});
}

void Table::rewrite_table_references(const formula::table_rename_t& change) {
    const std::string folded = utf8_fold_case(change.table);
    // What names the table is filed under its name, or is a bare "[Column]"
    // inside it: a rename reads those, not every formula. A loaded table named
    // like a cell is no word the names' texts are filed under.
    std::optional<rewrite_reach_t> reach;
    const tabledef_t* table = tabledefs_.find_display(change.table);
    if (table && !reads_as_cell_reference(change.table)) {
        reach = rewrite_reach_t{{folded, std::string(formula::name_spellers_t::table_around)}, table->range()};
        reach->around.order();
    }
    auto [changed, names] = rewrite_workbook_formulas__(
        // A bare "[Column]" inside the table names it too.
        [&](std::string_view text) { return text.find('[') != text.npos || utf8_holds_folded(text, folded); },
        [&](formula::model_context& context, const vex::coord_t& origin, std::string_view text) {
            return formula::rewrite_table_references(context, origin, text, change);
        },
        [&](std::vector<formula::token_t>& tokens) { return formula::rewrite_table_tokens(tokens, change); },
        change.gone || change.loses_columns(), reach ? &*reach : nullptr);
    // A renamed table's cells are the ones it read before; the texts changed.
    const stale_formulas_t texts = changed.empty() ? stale_formulas_t{} : text_readers__();
    if (change.gone || change.loses_columns()) {
        changed.insert(changed.end(), texts.begin(), texts.end());
        drop_stale_results__(std::move(changed), names);
    } else if (!texts.empty()) {
        drop_stale_results__(texts, {});
    }
}

void Table::drop_references_to_lost_columns__(const band_shift_t& s) {
    for (const tabledef_list_t::loss_t& loss : tabledefs_.losses(s)) {
        formula::table_rename_t change{std::string(loss.table->display_name())};
        change.gone = loss.whole();
        if (!change.gone) {
            for (int i = 0; i < loss.table->column_count(); ++i) change.columns.emplace_back(loss.table->column_name(i));
            change.first_gone = loss.first;
            change.last_gone = loss.last;
        }
        rewrite_table_references(change);
    }
}

void Table::follow_new_sheet_name() {
    if (!registered_) return;
    const std::string folded = utf8_fold_case(name_);
    // A text names "It's" quoted, as 'It''s'.
    const std::string written = formula::quoted_sheet_text(folded);
    read_again_spelling__(
        folded, [&](std::string_view text) { return text.find('!') != text.npos && utf8_holds_folded(text, written); });
}

void Table::follow_new_table_name(std::string_view table, const vex::range_t* before) {
    const std::string folded = utf8_fold_case(table);
    const tabledef_t* made = tabledefs_.find_display(table);
    stale_formulas_t inside;
    if (before && made && registered_) {
        vex::range_t reach = *before, now = made->range();
        reach.order(), now.order();
        reach.first.row = std::min(reach.first.row, now.first.row), reach.first.col = std::min(reach.first.col, now.first.col);
        reach.last.row = std::max(reach.last.row, now.last.row), reach.last.col = std::max(reach.last.col, now.last.col);
        inside = readers_of__(reach);
    }
    // A bare "[Column]" inside a table made around it names it too.
    if (made)
        for (formula::formula_cell* cell : formula_model_->spelling(formula::name_spellers_t::table_around))
            if (made->range().holds(cell->position())) inside.emplace_back(this, cell);
    read_again_spelling__(
        folded, [&](std::string_view text) { return text.find('[') != text.npos || utf8_holds_folded(text, folded); },
        std::move(inside));
}

// Nothing had the name, so what spelled it read no cells there: reading it
// again and filing anew tells which formulas now read otherwise, and only
// those lose their results (a formula renamed into the name reads as before).
void Table::read_again_spelling__(std::string_view filed_under,
                                  const std::function<bool(std::string_view)>& may_spell, stale_formulas_t also) {
    stale_formulas_t readers = std::move(also);
    std::unordered_set<const formula::formula_cell*> seen;
    for (const auto& reader : readers) seen.insert(reader.second);
    for (Table* sheet : sheets_spelling__(filed_under)) {
        const formula::table_formula_model& model = *sheet->get_formula_model();
        // What names a sheet or table the workbook lacked is kept unparsed or
        // reads an unknown sheet or table, and its text files it: the cost
        // follows those formulas, not every formula of the workbook.
        for (formula::formula_cell* cell : model.spelling(filed_under))
            if (may_spell(model.text_of(*cell).view()) && seen.insert(cell).second) readers.emplace_back(sheet, cell);
    }
    if (defined_name_store_t* store = get_defined_names()) {
        std::vector<formula::named_expression_t> names = store->names_spelling(filed_under, may_spell);
        reread_names__(names);
        store->add_readers(formula_model_->context(), names);
        for (const auto& reader : formulas_reading__(names))
            if (seen.insert(reader.second).second) readers.push_back(reader);
    }
    // A formula that builds the name as text (INDIRECT) may read it now.
    drop_stale_results__(refile__(readers), {}, true);
}

} // namespace vex::mta

#include "mta/table/formula_model/name_spellers.h"

#include "mta/formula/function_table.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/parser/formula_lexer.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/spelling_sheets.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <utility>

namespace vex::mta::formula {

namespace {

void add_folded(std::vector<std::string>& names, std::string_view name) {
    std::string folded = utf8_fold_case(name);
    if (std::find(names.begin(), names.end(), folded) == names.end()) names.push_back(std::move(folded));
}

// The marks of the calls the tokens make.
void add_calls(std::vector<std::string>& names, const std::vector<token_t>& tokens, bool unparsed) {
    static const uint32_t skipping[] = {lookup_function_id("SUBTOTAL"), lookup_function_id("AGGREGATE")};
    static const uint32_t listing[] = {lookup_function_id("SHEET"), lookup_function_id("SHEETS")};
    static const uint32_t texts = lookup_function_id("FORMULATEXT");
    bool skips = unparsed, lists = false, reads_texts = false;
    for (const token_t& t : tokens) {
        if (t.opcode == op_name) skips = true;
        if (t.opcode != op_function) continue;
        const uint32_t id = std::get<uint32_t>(t.operand);
        skips = skips || std::find(std::begin(skipping), std::end(skipping), id) != std::end(skipping);
        lists = lists || std::find(std::begin(listing), std::end(listing), id) != std::end(listing);
        reads_texts = reads_texts || id == texts;
    }
    if (skips) names.emplace_back(name_spellers_t::skips_hidden_rows);
    if (lists) names.emplace_back(name_spellers_t::reads_sheet_list);
    if (reads_texts) names.emplace_back(name_spellers_t::reads_formula_texts);
}

} // namespace

std::string name_spellers_t::grid(int32_t grid_id) {
    return std::string(span) + std::to_string(grid_id);
}

void name_spellers_t::file(formula_cell* cell, const std::vector<token_t>& tokens) {
    std::vector<std::string> names, tables;
    const int32_t own = cell->position().grid_id;
    const auto add_grid = [&](int32_t grid_id) {
        if (grid_id == own) return;
        std::string key = grid(grid_id);
        if (std::find(names.begin(), names.end(), key) == names.end()) names.push_back(std::move(key));
    };
    for (const token_t& t : tokens) {
        if (t.opcode == op_name) add_folded(names, std::get<named_expression_t>(t.operand).name);
        else if (t.opcode == op_table_ref) add_folded(tables, std::get<structured_reference_t>(t.operand).table);
        else if (t.names[0]) continue;  // a cell of another workbook
        else if (t.opcode == op_cell_ref) add_grid(std::get<vex::coord_t>(t.operand).grid_id);
        else if (t.opcode == op_range_ref) {
            const auto& r = std::get<vex::range_t>(t.operand);
            add_grid(r.first.grid_id);
            add_grid(r.last.grid_id);
            if (spans_sheets(r)) add_folded(names, span);
        }
    }
    add_calls(names, tokens, false);
    file__(cell, std::move(names));
    file_tables__(cell, std::move(tables));
}

std::vector<std::string> text_spellings(std::string_view text, bool cells) {
    // A word the reading took for nothing (a name not defined yet) spells a
    // name all the same; "Sheet1!Rate" spells Rate.
    std::vector<std::string> names;
    formula_lexer lexer(text);
    for (const lexeme_t& lexeme : lexer.run()) {
        if (lexeme.kind != lexeme_name) continue;
        std::string_view word = lexeme.text(text);
        if (const size_t bang = qualifier_end(word); bang != std::string_view::npos) {
            if (const auto qualifier = qualifier_names(word.substr(0, bang + 1))) {
                for (const std::string& sheet : qualifier->sheets) add_folded(names, sheet);
                // "S1:S3!A1" may reach the lexer as "S1", ":" and "S3!A1".
                const size_t at = size_t(word.data() - text.data());
                if (qualifier->sheets.size() > 1 || (at > 0 && text[at - 1] == ':'))
                    add_folded(names, name_spellers_t::span);
            }
            word.remove_prefix(bang + 1);
        }
        // "Sales[Qty]" spells the table, a bare "[Qty]" the one around its cell.
        if (const size_t bracket = word.find('['); bracket != std::string_view::npos)
            word = bracket == 0 ? name_spellers_t::table_around : word.substr(0, bracket);
        if (word.empty() || (!cells && parse_a1_reference(word, {}))) continue;
        add_folded(names, word);
    }
    return names;
}

void name_spellers_t::file(formula_cell* cell, std::string_view text, const std::vector<token_t>& read,
                           bool unparsed) {
    std::vector<std::string> names = text_spellings(text);
    add_calls(names, read, unparsed);
    file__(cell, std::move(names));
    file_tables__(cell, {});
}

void name_spellers_t::file_tables__(formula_cell* cell, std::vector<std::string> tables) {
    const auto it = tables_read_.find(cell);
    if (it != tables_read_.end()) {
        if (it->second == tables) return;
        for (const std::string& table : it->second) {
            const auto found = table_readers_.find(table);
            if (found == table_readers_.end()) continue;
            found->second.erase(cell);
            if (found->second.empty()) table_readers_.erase(found);
        }
        tables_read_.erase(it);
    }
    if (tables.empty()) return;
    for (const std::string& table : tables) table_readers_[table].insert(cell);
    tables_read_.emplace(cell, std::move(tables));
}

void name_spellers_t::file__(formula_cell* cell, std::vector<std::string> names) {
    const auto it = spelled_.find(cell);
    if (it != spelled_.end() && it->second == names) return;
    forget_names__(cell);
    if (names.empty()) return;
    for (const std::string& name : names) {
        auto& cells = cells_[name];
        if (cells.empty() && index_) index_->add(name, sheet_);
        cells.insert(cell);
    }
    spelled_.emplace(cell, std::move(names));
}

void name_spellers_t::forget(formula_cell* cell) {
    file_tables__(cell, {});
    forget_names__(cell);
}

void name_spellers_t::forget_names__(formula_cell* cell) {
    const auto it = spelled_.find(cell);
    if (it == spelled_.end()) return;
    for (const std::string& name : it->second) {
        const auto found = cells_.find(name);
        if (found == cells_.end()) continue;
        found->second.erase(cell);
        if (!found->second.empty()) continue;
        if (index_) index_->remove(name, sheet_);
        cells_.erase(found);
    }
    spelled_.erase(it);
}

void name_spellers_t::report_to(spelling_sheets_t* index, Table* sheet) {
    if (index_) {
        for (const auto& [name, cells] : cells_) index_->remove(name, sheet_);
        index_->leave(sheet_);
    }
    index_ = index;
    sheet_ = sheet;
    if (index_)
        for (const auto& [name, cells] : cells_) index_->add(name, sheet_);
}

std::vector<formula_cell*> name_spellers_t::spelling(std::string_view name) const {
    const auto it = cells_.find(utf8_fold_case(name));
    return it == cells_.end() ? std::vector<formula_cell*>() : std::vector<formula_cell*>(it->second.begin(), it->second.end());
}

std::vector<formula_cell*> name_spellers_t::reading_table(const std::string& folded) const {
    const auto it = table_readers_.find(folded);
    return it == table_readers_.end() ? std::vector<formula_cell*>()
                                      : std::vector<formula_cell*>(it->second.begin(), it->second.end());
}

} // namespace vex::mta::formula

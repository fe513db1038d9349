#pragma once
// The formulas of a sheet by the defined names they spell, the spellings
// compared without case. Defining, deleting or redefining a name then reaches
// the formulas that spell it, not every formula of the workbook. A cell is
// filed by the names its tokens hold, a cell kept unparsed by the words of
// its text, and forgotten before it goes; a cell may stay filed under a name
// it no longer spells, so a caller checks what it finds.

#include "mta/formula/token.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vex::mta {
class Table;
}

namespace vex::mta::formula {

class formula_cell;
class spelling_sheets_t;

class name_spellers_t {
public:
    // What a bare "[Qty]" is filed under: it names whatever table holds its cell.
    static constexpr std::string_view table_around = "[";
    // What the calls a cell makes are filed under, spellings no name, sheet
    // or table can have: the formulas that may leave hidden rows out
    // (SUBTOTAL, AGGREGATE, a name's reader, a text kept unparsed), those
    // reading the workbook's list of sheets (SHEET, SHEETS) and those reading
    // formula texts (FORMULATEXT).
    static constexpr std::string_view skips_hidden_rows = "[?hidden";
    static constexpr std::string_view reads_sheet_list = "[?sheets";
    static constexpr std::string_view reads_formula_texts = "[?formulatext";
    // What a span of sheets is filed under: it reads the sheets between its
    // ends, which it does not spell. No name or word holds a ":".
    static constexpr std::string_view span = ":";
    // What a parsed reference to another sheet is filed under: by its grid, as
    // the tokens hold no sheet name.
    static std::string grid(int32_t grid_id);

    // The cell spells the names of these tokens, and no others; its references
    // to other sheets file it by their grids.
    void file(formula_cell* cell, const std::vector<token_t>& tokens);
    // The cell is kept unparsed, or reads a sheet or table the workbook
    // lacks: every word of its text may be a name, and the sheets its
    // qualifiers name and the tables its structured references name are
    // filed too, so that a sheet or table that comes later finds it.
    // `read` gives the calls of a text read leniently; `unparsed` files it
    // as leaving hidden rows out, whatever it calls.
    void file(formula_cell* cell, std::string_view text, const std::vector<token_t>& read = {},
              bool unparsed = false);
    void forget(formula_cell* cell);
    // No cell filed: a cell reading a table spells no name, yet must be forgotten.
    bool empty() const noexcept { return spelled_.empty() && tables_read_.empty(); }
    // The cells filed under the name in any case, in no set order.
    std::vector<formula_cell*> spelling(std::string_view name) const;
    // The cells whose tokens read the table of that folded display name
    // through a structured reference (a bare "[Qty]" reads the one around
    // it), in no set order. A rename of the table or its columns rewrites
    // these and the ones spelling it, not every formula.
    std::vector<formula_cell*> reading_table(const std::string& folded) const;
    // The workbook's index hears which names the sheet's cells spell from now
    // on; null leaves it.
    void report_to(spelling_sheets_t* index, Table* sheet);

private:
    void file__(formula_cell* cell, std::vector<std::string> names);
    void file_tables__(formula_cell* cell, std::vector<std::string> tables);
    // The names alone: the tables it reads are filed apart.
    void forget_names__(formula_cell* cell);

    std::unordered_map<std::string, std::unordered_set<formula_cell*>> cells_;  // by folded name
    std::unordered_map<formula_cell*, std::vector<std::string>> spelled_;
    std::unordered_map<std::string, std::unordered_set<formula_cell*>> table_readers_;  // by folded table
    std::unordered_map<formula_cell*, std::vector<std::string>> tables_read_;
    spelling_sheets_t* index_ = nullptr;
    Table* sheet_ = nullptr;
};

// The names, sheets and tables a text may spell, each once, folded as
// utf8_fold_case folds them: every word, the sheets its qualifiers name, the
// tables its structured references name (table_around for a bare "[Qty]"),
// and `span` when a qualifier names a span of sheets.
// Without `cells`, words that read as a cell are left out: a shift moving the
// text's references leaves what it spells as it was.
std::vector<std::string> text_spellings(std::string_view text, bool cells = true);

} // namespace vex::mta::formula

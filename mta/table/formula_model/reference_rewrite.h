#pragma once
// Formula texts and tokens after rows or columns of one sheet were inserted or
// deleted: every reference into that sheet follows the cells it names (the rule
// is band_shift_t::follow_reference), a reference whose cells are all gone
// becomes #REF!, and a text changes only in the spans of the references that
// changed.

#include "coord.h"
#include "mta/formula/token.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex::mta {
struct band_shift_t;
}

namespace vex::mta::formula {

class model_context;

// A qualifier's sheet names ("S1!" gives S1, "'S1:My S3'!" S1 and My S3) and
// whether it was quoted; none for another workbook's.
struct qualifier_names_t {
    std::vector<std::string> sheets;
    bool quoted = false;
};
std::optional<qualifier_names_t> qualifier_names(std::string_view prefix);
// A sheet name as it stands between a qualifier's quotes: "It's" gives It''s.
std::string quoted_sheet_text(std::string_view name);

// The references a text holds as the parser finds them, read leniently so that
// a text stored unparsed shows its references too; positions in sheet terms.
struct text_reference_t {
    uint32_t begin = 0;  // the span in the text, sheet qualifier included
    uint32_t end = 0;
    vex::range_t range;  // relative parts resolved at the origin
    bool cell = false;   // one cell, else a range
};
std::vector<text_reference_t> find_references(model_context& context, const vex::coord_t& origin,
                                              std::string_view text);

// The text written at `origin` with its references into `grid` moved by the
// shift; none when no reference changed.
std::optional<std::string> shift_formula_text(model_context& context, const vex::coord_t& origin,
                                              std::string_view text, int32_t grid, const band_shift_t& shift,
                                              bool absolute_only);

// The reference tokens into `grid` moved by the shift, a gone one turned into
// #REF!; relative parts are read at `from` and stored for `to`, where the
// formula's cell now is. True when a token changed.
bool shift_formula_tokens(std::vector<token_t>& tokens, const vex::coord_t& from, const vex::coord_t& to, int32_t grid,
                          const band_shift_t& shift, bool absolute_only);

// The text written at `from` as it reads at `to`: the relative parts of its
// references move with the cell, as a shared formula's follower sees its
// master's text; a reference moved off the sheet becomes #REF!.
std::string moved_formula_text(model_context& context, const vex::coord_t& from, const vex::coord_t& to,
                               std::string_view text);

// Whether a "#This Row" reference made at `origin`, a cell of its table's
// data rows, reads the record the cell stands in.
bool reads_own_row(model_context& context, const vex::coord_t& origin, const structured_reference_t& ref);

// Whether the shift of `grid` changes what a formula at `origin` reads there
// (band_shift_t::changes_reading): by its tokens, or without them by the
// references of its text.
bool shift_changes_reading(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                           std::string_view text, int32_t grid, const band_shift_t& shift, bool absolute_only);

// The tokens of a text read leniently, so that a text stored unparsed shows
// its references too; none for a sheet without a reference mode the parser knows.
std::vector<token_t> read_leniently(model_context& context, const vex::coord_t& origin, std::string_view text);
// A cell or range reference's cells, relative parts read at `origin`.
vex::range_t reference_range(const token_t& token, const vex::coord_t& origin);

// Defined names, each looked up at once as named_expression_t compares them:
// many formulas are asked about one list of names.
class name_set_t {
public:
    name_set_t() = default;
    // With `every_scope`, each name is held in every scope a formula may find
    // it in, the workbook's and each sheet's.
    explicit name_set_t(const std::vector<named_expression_t>& names, bool every_scope = false);
    // False when it held the name already.
    bool insert(const named_expression_t& name);
    bool contains(const named_expression_t& name) const;
    bool empty() const noexcept { return keys_.empty() && spellings_.empty(); }

private:
    std::unordered_set<std::string> keys_;
    std::unordered_set<std::string> spellings_;  // folded, held in every scope
};

// Whether the tokens name one of the defined names.
bool names_any_of(const std::vector<token_t>& tokens, const name_set_t& names);
// Whether a formula names one of the defined names: by its tokens, or without
// them by its text read leniently.
bool reads_names(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                 std::string_view text, const name_set_t& names);
// The names a text spells, read leniently, folded as utf8_fold_case folds them.
std::vector<std::string> spelled_names(model_context& context, const vex::coord_t& origin, std::string_view text);

// The grids the text's spans of sheets read, in the workbook's order; none
// when it reads no span.
std::vector<uint32_t> span_grids(model_context& context, const vex::coord_t& origin, std::string_view text);

// The text with every reference into `grid`, its sheet qualifier included,
// written #REF!, as that sheet is gone; none when no reference names it. A
// span of sheets with the sheet between its ends gives the text unchanged.
std::optional<std::string> drop_grid_references(model_context& context, const vex::coord_t& origin,
                                                std::string_view text, int32_t grid);
// The reference tokens into `grid` become #REF!; true when one did.
bool drop_grid_tokens(std::vector<token_t>& tokens, int32_t grid);

// Whether a token names a cell or range of the grid.
bool token_on_grid(const token_t& token, int32_t grid) noexcept;

// The text with each sheet qualifier naming `from` (in any case, as sheets
// are found) naming `to`, quoted where `to` needs it; none when no qualifier
// names it.
std::optional<std::string> rename_sheet_references(model_context& context, const vex::coord_t& origin,
                                                   std::string_view text, std::string_view from, std::string_view to);

// What becomes of a structured reference to one table: its table's new name,
// a column's new name, #REF! when the table went, or, when columns went,
// #REF! for a reference to them alone and a span narrowed to the columns left.
struct table_rename_t {
    table_rename_t(std::string table, std::string new_table = {}, std::string column = {},
                   std::string new_column = {}, bool gone = false)
        : table(std::move(table)), new_table(std::move(new_table)), column(std::move(column)),
          new_column(std::move(new_column)), gone(gone) {}

    std::string table;       // the display name formulas name it by
    std::string new_table;   // empty: the table keeps its name
    std::string column;      // with new_column: the column renamed
    std::string new_column;
    bool gone = false;
    std::vector<std::string> columns;  // with the deleted ones: the names before
    int first_gone = 0;
    int last_gone = -1;

    bool loses_columns() const noexcept { return first_gone <= last_gone; }
};
std::optional<std::string> rewrite_table_references(model_context& context, const vex::coord_t& origin,
                                                    std::string_view text, const table_rename_t& change);
bool rewrite_table_tokens(std::vector<token_t>& tokens, const table_rename_t& change);
// Whether the tokens, or without them the text read leniently, name the table.
bool reads_table(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                 std::string_view text, std::string_view table);

} // namespace vex::mta::formula

#pragma once
// Which formulas lose their results when rows or columns of a sheet are
// inserted, deleted or shifted. Every such edit asks here, whatever kind of
// reference a formula holds, so that none keeps a result the edit made wrong:
// a range the edit reaches into or across (band_shift_t::changes_reading), a
// name or a table reading one, and a position that moved. When unsure, the
// result goes: an application opening the file computes it again.

#include "coord.h"
#include "mta/formula/token.h"
#include "mta/table/formula_model/reference_rewrite.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex::mta {
struct band_shift_t;
}

namespace vex::mta::formula {

class model_context;

// Whether a formula moved whole, its text unchanged, may read otherwise: it
// calls ROW(), COLUMN() and the like, names cells by a computed reference or
// reads its own row of a table; without tokens, unsure.
bool reads_its_place(const std::vector<token_t>* tokens);

// The last row of its own sheet that a formula at `from` may read by its
// tokens, tables resolved as they stand now; INT_MAX when that cannot be told
// (a name, a span of sheets, a computed reference, another sheet's table or
// book). A row shift below that row leaves its reading as it is. With
// `by_table`, told whether a table's extent set that row: it moves when the
// table is reshaped.
int last_row_read(model_context& context, const vex::coord_t& from, const std::vector<token_t>& tokens,
                  bool* by_table = nullptr);

struct edit_reach_t {
    int32_t grid;                           // the sheet edited
    const band_shift_t& shift;
    std::vector<named_expression_t> names;  // names reading other cells since, with their readers
    name_set_t named{names};

    // Whether the formula written at `from` may compute otherwise after the
    // edit, its cell now at `to`: by its tokens, or without them by its text
    // read leniently.
    bool drops(model_context& context, const vex::coord_t& from, const vex::coord_t& to,
               const std::vector<token_t>* tokens, std::string_view text) const;

    // Whether a formula at `from` that a row shift leaves in place reads only
    // its own record of a table ("[@Qty]*[@Price]") that the shift leaves too:
    // its text, its reading and its filing stay. Told from its tokens alone,
    // so that a record appended costs what it moves, not every record.
    bool keeps_own_record(model_context& context, const vex::coord_t& from, const std::vector<token_t>& tokens) const;

    // The data rows of the table a reference last spelled, looked up once for a run of such formulas.
    mutable std::string last_table_{};
    mutable vex::range_t last_data_{};
};

} // namespace vex::mta::formula

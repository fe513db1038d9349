#include "mta/table/formula_model/reference_rewrite.h"

#include "errors.h"
#include "mta/formula/model_context.h"
#include "mta/formula/parser/formula_parser.h"
#include "mta/formula/parser/token_resolver.h"
#include "mta/table/utils/band_shift.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <algorithm>
#include <string>

namespace vex::mta::formula {

namespace {

bool is_reference(const token_t& t) noexcept {
    // A cell of another workbook carries its names; no sheet of this one moves it.
    return (t.opcode == op_cell_ref || t.opcode == op_range_ref) && !t.names[0];
}

vex::coord_t resolved(vex::coord_t c, const vex::coord_t& origin) {
    const auto& lim = get_sheet_limits();
    c.row = absolute_line(c.row, c.flag1, origin.row, lim.row_count());
    c.col = absolute_line(c.col, c.flag2, origin.col, lim.col_count());
    return c;
}

vex::coord_t stored(vex::coord_t c, const vex::coord_t& origin) {
    const auto& lim = get_sheet_limits();
    c.row = stored_line(c.row, c.flag1, origin.row, lim.row_count());
    c.col = stored_line(c.col, c.flag2, origin.col, lim.col_count());
    return c;
}

vex::range_t range_of(const token_t& t, const vex::coord_t& origin) {
    if (t.opcode == op_cell_ref) {
        const vex::coord_t c = resolved(std::get<vex::coord_t>(t.operand), origin);
        return {c, c};
    }
    const auto& r = std::get<vex::range_t>(t.operand);
    return {resolved(r.first, origin), resolved(r.last, origin)};
}

// The sheet qualifier of a reference's text, "!" included; empty when unqualified.
std::string_view qualifier(std::string_view span) {
    size_t at = 0;
    if (!span.empty() && span[0] == '\'') {
        for (at = 1; at < span.size(); ++at) {
            if (span[at] != '\'') continue;
            if (at + 1 < span.size() && span[at + 1] == '\'') {
                ++at;
                continue;
            }
            break;
        }
    }
    const size_t bang = span.find('!', at);
    return bang == std::string_view::npos ? std::string_view() : span.substr(0, bang + 1);
}

// The '$' signs as the corner's own text has them: the parser gives a range one
// flag per axis, taken from whichever corner it kept.
void written_flags(std::string_view corner, vex::coord_t& c) {
    if (corner.empty()) return;
    c.flag2 = corner[0] == '$';
    const size_t digit = corner.find_first_of("0123456789");
    if (digit != std::string_view::npos) c.flag1 = digit > 0 && corner[digit - 1] == '$';
    else c.flag1 = c.flag2;  // "$A" or "$1": one part, one sign
    if (digit == 0 || (digit == 1 && corner[0] == '$')) c.flag1 = c.flag2;
}

void append_corner(std::string& out, const vex::coord_t& c, bool row, bool col) {
    if (col) {
        if (c.flag2) out += '$';
        out += column_number_to_letters(c.col);
    }
    if (row) {
        if (c.flag1) out += '$';
        out += std::to_string(c.row);
    }
}

// The reference's new text, written the way the old one was: a cell, a range,
// or whole rows or columns.
std::string reference_text(std::string_view span, const text_reference_t& ref, const vex::range_t& r) {
    const std::string_view prefix = qualifier(span);
    const std::string_view body = span.substr(prefix.size());
    std::string out(prefix);
    if (ref.cell) {
        append_corner(out, r.first, true, true);
        return out;
    }
    const bool lines_of_cols = std::none_of(body.begin(), body.end(), ascii_is_digit);   // "A:C"
    const bool lines_of_rows = std::none_of(body.begin(), body.end(), ascii_is_alpha);   // "1:3"
    vex::coord_t first = r.first, last = r.last;
    const size_t colon = body.find(':');
    if (colon != std::string_view::npos && body.find(':', colon + 1) == std::string_view::npos) {
        std::string_view second = body.substr(colon + 1);
        second.remove_prefix(qualifier(second).size());  // "Sheet1!A1:Sheet1!B2"
        written_flags(body.substr(0, colon), first);
        written_flags(second, last);
    }
    append_corner(out, first, !lines_of_cols, !lines_of_rows);
    out += ':';
    append_corner(out, last, !lines_of_cols, !lines_of_rows);
    return out;
}

} // namespace

bool token_on_grid(const token_t& token, int32_t grid) noexcept {
    if (!is_reference(token)) return false;
    if (token.opcode == op_cell_ref) return std::get<vex::coord_t>(token.operand).grid_id == grid;
    return std::get<vex::range_t>(token.operand).first.grid_id == grid;
}

namespace {

// The tokens of a text read leniently, each with its span when asked; none for
// a sheet without a reference mode the parser knows.
std::vector<token_t> lenient_tokens(model_context& context, const vex::coord_t& origin, std::string_view text,
                                    std::vector<token_span_t>* spans) {
    if (text.empty()) return {};
    std::optional<formula_parser> built;
    try {
        built.emplace(context, origin, text);
    } catch (const general_error&) {
        return {};
    }
    formula_parser& parser = *built;
    if (spans) parser.record_spans(*spans);
    parser.set_lenient();
    parser.parse();
    return std::move(parser.tokens());
}

// A span reads every sheet from its first to its last in the workbook's order.
bool reads_grid(model_context& context, const vex::range_t& r, int32_t grid) {
    if (!spans_sheets(r)) return r.first.grid_id == grid;
    const auto grids = context.get_span_grids(uint32_t(r.first.grid_id), uint32_t(r.last.grid_id));
    return std::find(grids.begin(), grids.end(), uint32_t(grid)) != grids.end();
}

// A span is written for all its sheets and moves with none of them: any cell
// an edit moves or deletes inside it changes what it reads.
bool changes_reading(const band_shift_t& shift, const vex::range_t& r, bool absolute_only) {
    return spans_sheets(r) ? shift.reaches(r) : shift.changes_reading(r, absolute_only);
}

} // namespace

std::vector<token_t> read_leniently(model_context& context, const vex::coord_t& origin, std::string_view text) {
    return lenient_tokens(context, origin, text, nullptr);
}

vex::range_t reference_range(const token_t& token, const vex::coord_t& origin) {
    return range_of(token, origin);
}

std::vector<text_reference_t> find_references(model_context& context, const vex::coord_t& origin,
                                              std::string_view text) {
    std::vector<text_reference_t> out;
    std::vector<token_span_t> spans;
    const std::vector<token_t> tokens = lenient_tokens(context, origin, text, &spans);
    for (size_t i = 0; i < tokens.size() && i < spans.size(); ++i) {
        if (!is_reference(tokens[i])) continue;
        // "Sheet1:Sheet3!B5" is one cell on each sheet: its text says so.
        const std::string_view span = text.substr(spans[i].begin, spans[i].end - spans[i].begin);
        const bool cell = span.substr(qualifier(span).size()).find(':') == std::string_view::npos;
        out.push_back({spans[i].begin, spans[i].end, range_of(tokens[i], origin), cell});
    }
    return out;
}

bool shift_changes_reading(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                           std::string_view text, int32_t grid, const band_shift_t& shift, bool absolute_only) {
    std::vector<token_t> lenient;
    if (!tokens) {
        lenient = lenient_tokens(context, origin, text, nullptr);
        tokens = &lenient;
    }
    return std::any_of(tokens->begin(), tokens->end(), [&](const token_t& t) {
        if (t.opcode == op_table_ref) {
            // The table's ranges as they stand before the shift; the reference
            // grows and shrinks with its table.
            const auto& ref = std::get<structured_reference_t>(t.operand);
            const range_set_t ranges =
                context.resolve_table_reference(origin, ref.table, ref.items, ref.first_column, ref.second_column);
            return std::any_of(ranges.begin(), ranges.end(), [&](const vex::range_t& r) {
                return r.first.grid_id == grid && shift.changes_reading(r, false);
            });
        }
        if (!is_reference(t)) return false;
        const vex::range_t r = range_of(t, origin);
        return reads_grid(context, r, grid) && changes_reading(shift, r, absolute_only);
    });
}

bool names_any_of(const std::vector<token_t>& tokens, const std::vector<named_expression_t>& names) {
    return std::any_of(tokens.begin(), tokens.end(), [&](const token_t& t) {
        return t.opcode == op_name &&
               std::find(names.begin(), names.end(), std::get<named_expression_t>(t.operand)) != names.end();
    });
}

bool reads_names(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                 std::string_view text, const std::vector<named_expression_t>& names) {
    if (names.empty()) return false;
    return tokens ? names_any_of(*tokens, names) : names_any_of(lenient_tokens(context, origin, text, nullptr), names);
}

std::optional<std::string> shift_formula_text(model_context& context, const vex::coord_t& origin,
                                              std::string_view text, int32_t grid, const band_shift_t& shift,
                                              bool absolute_only) {
    std::string out;
    size_t copied = 0;
    bool changed = false;
    for (const text_reference_t& ref : find_references(context, origin, text)) {
        if (ref.range.first.grid_id != grid || spans_sheets(ref.range)) continue;
        vex::range_t before = ref.range, after = ref.range;
        before.order();
        const std::string_view span = text.substr(ref.begin, ref.end - ref.begin);
        std::string replacement;
        if (!shift.follow_reference(after, absolute_only)) {
            replacement = std::string(qualifier(span)) + "#REF!";
        } else {
            after.order();
            if (after == before) continue;
            replacement = reference_text(span, ref, after);
        }
        out.append(text.substr(copied, ref.begin - copied));
        out += replacement;
        copied = ref.end;
        changed = true;
    }
    if (!changed) return std::nullopt;
    out.append(text.substr(copied));
    return out;
}

std::string moved_formula_text(model_context& context, const vex::coord_t& from, const vex::coord_t& to,
                               std::string_view text) {
    const auto& lim = get_sheet_limits();
    std::string out;
    size_t copied = 0;
    for (const text_reference_t& ref : find_references(context, from, text)) {
        vex::range_t after = ref.range;
        const std::string_view span = text.substr(ref.begin, ref.end - ref.begin);
        const std::string_view body = span.substr(qualifier(span).size());
        // Whole columns keep their rows, whole rows their columns.
        bool rows = true, cols = true;
        if (!ref.cell) {
            rows = std::any_of(body.begin(), body.end(), ascii_is_digit);
            cols = std::any_of(body.begin(), body.end(), ascii_is_alpha);
            // The parser keeps one '$' per axis for a range; each corner's own is in the text.
            const size_t colon = body.find(':');
            if (colon != std::string_view::npos && body.find(':', colon + 1) == std::string_view::npos) {
                std::string_view second = body.substr(colon + 1);
                second.remove_prefix(qualifier(second).size());
                written_flags(body.substr(0, colon), after.first);
                written_flags(second, after.last);
            }
        }
        const auto move = [&](vex::coord_t& c) {
            if (rows && !c.flag1) c.row += to.row - from.row;
            if (cols && !c.flag2) c.col += to.col - from.col;
            return c.row >= 1 && c.row <= lim.row_count() && c.col >= 1 && c.col <= lim.col_count();
        };
        const bool inside = move(after.first) && move(after.last);
        out.append(text.substr(copied, ref.begin - copied));
        out += inside ? reference_text(span, ref, after) : std::string(qualifier(span)) + "#REF!";
        copied = ref.end;
    }
    out.append(text.substr(copied));
    return out;
}

std::vector<uint32_t> span_grids(model_context& context, const vex::coord_t& origin, std::string_view text) {
    std::vector<uint32_t> grids;
    for (const token_t& t : lenient_tokens(context, origin, text, nullptr)) {
        if (!is_reference(t) || t.opcode != op_range_ref) continue;
        const auto& r = std::get<vex::range_t>(t.operand);
        if (!spans_sheets(r)) continue;
        const auto span = context.get_span_grids(uint32_t(r.first.grid_id), uint32_t(r.last.grid_id));
        grids.insert(grids.end(), span.begin(), span.end());
    }
    return grids;
}

std::optional<std::string> drop_grid_references(model_context& context, const vex::coord_t& origin,
                                                std::string_view text, int32_t grid) {
    // "Sheet1!#REF!", a reference whose cells went before their sheet: the
    // qualifier goes with the sheet, as it does from every other reference.
    const auto names_grid = [&](std::string_view prefix) {
        const auto refs = find_references(context, origin, std::string(prefix) + "A1");
        return refs.size() == 1 && refs.front().range.first.grid_id == grid;
    };
    std::string out;
    size_t copied = 0;
    bool spans_over = false;
    std::vector<token_span_t> spans;
    const std::vector<token_t> tokens = lenient_tokens(context, origin, text, &spans);
    for (size_t i = 0; i < tokens.size() && i < spans.size(); ++i) {
        const std::string_view span = text.substr(spans[i].begin, spans[i].end - spans[i].begin);
        const std::string_view prefix = qualifier(span);
        bool gone = false;
        if (!is_reference(tokens[i])) {
            gone = !prefix.empty() && span.substr(prefix.size()) == "#REF!" && names_grid(prefix);
        } else if (const vex::range_t r = range_of(tokens[i], origin); !spans_sheets(r)) {
            gone = r.first.grid_id == grid;
        } else {
            // A span losing an end sheet names a sheet no more; one losing a
            // sheet between its ends keeps its text but reads other cells.
            gone = r.first.grid_id == grid || r.last.grid_id == grid;
            spans_over = spans_over || reads_grid(context, r, grid);
        }
        if (!gone) continue;
        out.append(text.substr(copied, spans[i].begin - copied));
        out += "#REF!";
        copied = spans[i].end;
    }
    if (copied == 0) return spans_over ? std::optional<std::string>(text) : std::nullopt;
    out.append(text.substr(copied));
    return out;
}

bool drop_grid_tokens(std::vector<token_t>& tokens, int32_t grid) {
    bool changed = false;
    for (token_t& token : tokens) {
        if (!token_on_grid(token, grid)) continue;
        token = token_t(formula_error(error_value_enum::ref));
        changed = true;
    }
    return changed;
}

bool shift_formula_tokens(std::vector<token_t>& tokens, const vex::coord_t& from, const vex::coord_t& to, int32_t grid,
                          const band_shift_t& shift, bool absolute_only) {
    const bool moved = from.row != to.row || from.col != to.col;
    bool changed = false;
    for (token_t& token : tokens) {
        if (!is_reference(token)) continue;
        vex::range_t r = range_of(token, from);
        if (r.first.grid_id == grid) {
            const vex::range_t before = r;
            if (!shift.follow_reference(r, absolute_only)) {
                token = token_t(formula_error(error_value_enum::ref));
                changed = true;
                continue;
            }
            changed = changed || r != before;
        } else if (!moved) {
            continue;
        }
        if (token.opcode == op_cell_ref) {
            token.operand = stored(r.first, to);
        } else {
            token.operand.assign_range(stored(r.first, to), stored(r.last, to));
        }
        changed = changed || moved;
    }
    return changed;
}

} // namespace vex::mta::formula

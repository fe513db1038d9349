#include "mta/table/formula_model/reference_rewrite.h"

#include "errors.h"
#include "mta/formula/model_context.h"
#include "mta/formula/parser/formula_parser.h"
#include "mta/formula/parser/token_resolver.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/band_shift.h"
#include "sheet_limits.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <functional>
#include <string>

namespace vex::mta::formula {

namespace {

constexpr uint32_t table_items_this_row = 2;  // T[@Col]
constexpr uint32_t table_items_data = 4;      // T[#Data]
constexpr uint32_t table_items_all = 16;      // T[#All]

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
    const size_t bang = qualifier_end(span);
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

// The text with each token's span that `replace` gives another text for
// written so; none when none changed.
std::optional<std::string> rewrite_spans(
    model_context& context, const vex::coord_t& origin, std::string_view text,
    const std::function<std::optional<std::string>(const token_t&, std::string_view)>& replace) {
    std::string out;
    size_t copied = 0;
    bool changed = false;
    std::vector<token_span_t> spans;
    const std::vector<token_t> tokens = lenient_tokens(context, origin, text, &spans);
    for (size_t i = 0; i < tokens.size() && i < spans.size(); ++i) {
        const std::string_view span = text.substr(spans[i].begin, spans[i].end - spans[i].begin);
        const std::optional<std::string> replacement = replace(tokens[i], span);
        if (!replacement || *replacement == span) continue;
        out.append(text.substr(copied, spans[i].begin - copied));
        out += *replacement;
        copied = spans[i].end;
        changed = true;
    }
    if (!changed) return std::nullopt;
    out.append(text.substr(copied));
    return out;
}

// A span reads every sheet from its first to its last in the workbook's order.
bool reads_grid(model_context& context, const vex::range_t& r, int32_t grid) {
    if (!spans_sheets(r)) return r.first.grid_id == grid;
    return context.span_holds(uint32_t(r.first.grid_id), uint32_t(r.last.grid_id), uint32_t(grid));
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

bool reads_own_row(model_context& context, const vex::coord_t& origin, const structured_reference_t& ref) {
    if (ref.items != table_items_this_row) return false;
    const range_set_t data = context.resolve_table_reference(origin, ref.table, table_items_data, {}, {});
    if (data.size() != 1 || data.begin()->first.grid_id != origin.grid_id || !data.begin()->holds(origin)) return false;
    // A column the table lacks reads nothing, and may come with a column made.
    return !context.resolve_table_reference(origin, ref.table, ref.items, ref.first_column, ref.second_column).empty();
}

namespace {

// A record read from outside its table is the one on the formula's row: a row
// shift moving the formula's cell without that row of the table, or that row
// without the cell, makes it read another record.
bool parts_from_its_record(model_context& context, const vex::coord_t& origin, const structured_reference_t& ref,
                           int32_t grid, const band_shift_t& shift) {
    if (ref.items != table_items_this_row || !shift.rows) return false;
    const range_set_t data = context.resolve_table_reference(origin, ref.table, table_items_data, {}, {});
    if (data.size() != 1) return false;
    const vex::coord_t record{data.begin()->first.grid_id, origin.row, data.begin()->first.col, 0, 0, 0};
    const auto moves = [&](const vex::coord_t& c) {
        return c.grid_id == grid && shift.in_band(c) && shift.along(c) >= shift.first;
    };
    return moves(origin) != moves(record);
}

} // namespace

bool shift_changes_reading(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                           std::string_view text, int32_t grid, const band_shift_t& shift, bool absolute_only) {
    std::vector<token_t> lenient;
    if (!tokens) {
        lenient = lenient_tokens(context, origin, text, nullptr);
        tokens = &lenient;
    }
    return std::any_of(tokens->begin(), tokens->end(), [&](const token_t& t) {
        if (t.opcode == op_table_ref) {
            // A table gaining or losing rows or columns changes what any part
            // of it reads (ROWS(T), INDEX(T[x],1)), though the cells a part
            // covered may move whole; a table moving whole reads as before.
            const auto& ref = std::get<structured_reference_t>(t.operand);
            // Its own record's cells move with the formula, or go with it.
            if (reads_own_row(context, origin, ref)) return false;
            if (parts_from_its_record(context, origin, ref, grid, shift)) return true;
            const range_set_t tables = context.resolve_table_reference(origin, ref.table, table_items_all, {}, {});
            return std::any_of(tables.begin(), tables.end(), [&](const vex::range_t& r) {
                return r.first.grid_id == grid && shift.reshapes(r);
            });
        }
        if (!is_reference(t)) return false;
        const vex::range_t r = range_of(t, origin);
        return reads_grid(context, r, grid) && changes_reading(shift, r, absolute_only);
    });
}

namespace {

std::string name_key(const named_expression_t& name) {
    std::string key = utf8_fold_case(name.name);
    key.push_back('\0');
    key.append(std::to_string(name.scope));
    return key;
}

} // namespace

name_set_t::name_set_t(const std::vector<named_expression_t>& names, bool every_scope) {
    for (const named_expression_t& name : names)
        if (every_scope) spellings_.insert(utf8_fold_case(name.name));
        else insert(name);
}

bool name_set_t::insert(const named_expression_t& name) {
    return keys_.insert(name_key(name)).second;
}

bool name_set_t::contains(const named_expression_t& name) const {
    return (!spellings_.empty() && spellings_.contains(utf8_fold_case(name.name))) ||
           (!keys_.empty() && keys_.contains(name_key(name)));
}

bool names_any_of(const std::vector<token_t>& tokens, const name_set_t& names) {
    return std::any_of(tokens.begin(), tokens.end(), [&](const token_t& t) {
        return t.opcode == op_name && names.contains(std::get<named_expression_t>(t.operand));
    });
}

bool reads_names(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                 std::string_view text, const name_set_t& names) {
    if (names.empty()) return false;
    return tokens ? names_any_of(*tokens, names) : names_any_of(lenient_tokens(context, origin, text, nullptr), names);
}

std::vector<std::string> spelled_names(model_context& context, const vex::coord_t& origin, std::string_view text) {
    std::vector<std::string> out;
    for (const token_t& t : lenient_tokens(context, origin, text, nullptr))
        if (t.opcode == op_name) out.push_back(utf8_fold_case(std::get<named_expression_t>(t.operand).name));
    return out;
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

namespace {

// Letters of any script, digits, "_" and ".", not starting with a digit: what
// a qualifier may write without quotes. Other readers refuse a bare no-break
// space, dash or currency sign, though this parser reads them.
bool plain_sheet_word(std::string_view name) {
    return !name.empty() && !ascii_is_digit(name.front()) && utf8_is_word(name);
}

// A new sheet name is quoted unless it reads as nothing but a sheet name.
bool sheet_name_needs_quotes(std::string_view name) {
    return !plain_sheet_word(name) || reads_as_cell_reference(name) || ascii_iequals(name, "TRUE") ||
           ascii_iequals(name, "FALSE");
}

} // namespace

std::optional<qualifier_names_t> qualifier_names(std::string_view prefix) {
    if (prefix.size() < 2 || prefix.back() != '!') return std::nullopt;
    const std::string_view inner = prefix.substr(0, prefix.size() - 1);
    qualifier_names_t out;
    std::string names;
    // Quoted as one ('S1:My S3') or, as read leniently, in parts (S1:'My S3').
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] != '\'') {
            names += inner[i];
            continue;
        }
        out.quoted = true;
        for (++i; i < inner.size(); ++i) {
            if (inner[i] == '\'') {
                if (i + 1 == inner.size() || inner[i + 1] != '\'') break;
                ++i;  // '' stands for '
            }
            names += inner[i];
        }
    }
    if (names.empty() || names.find('[') != std::string::npos) return std::nullopt;
    // No sheet name holds ":".
    const size_t colon = names.find(':');
    out.sheets.push_back(names.substr(0, colon));
    if (colon != std::string::npos) out.sheets.push_back(names.substr(colon + 1));
    return out;
}

std::string quoted_sheet_text(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out;
}

namespace {

std::string qualifier_text(const std::vector<std::string>& sheets, bool quoted) {
    std::string joined = sheets.front();
    if (sheets.size() > 1 && sheets.back() != sheets.front()) joined += ':' + sheets.back();
    if (!quoted) return joined + '!';
    return "'" + quoted_sheet_text(joined) + "'!";
}

// Whether the token may be written with a sheet qualifier: a reference, a
// sheet's name, a reference already gone ("Sheet1!#REF!", read leniently as a
// stand-in), but no text.
bool may_name_sheet(const token_t& t) {
    return t.opcode != op_string && ((t.opcode != op_cell_ref && t.opcode != op_range_ref) || is_reference(t));
}

// The span without the sheet going: its text names the first and last sheets
// left, or #REF! when none is.
std::string narrowed_span(model_context& context, std::string_view span, const vex::range_t& r, int32_t grid) {
    std::vector<uint32_t> grids = context.get_span_grids(uint32_t(r.first.grid_id), uint32_t(r.last.grid_id));
    std::erase(grids, uint32_t(grid));
    const std::string_view prefix = qualifier(span);
    auto names = qualifier_names(prefix);
    const Table* first = grids.empty() ? nullptr : context.get_sheet(int32_t(grids.front()));
    const Table* last = grids.empty() ? nullptr : context.get_sheet(int32_t(grids.back()));
    if (!names || !first || !last) return "#REF!";
    names->sheets = {first->name(), last->name()};
    // A span keeps no quotes its names do not need, as a rename leaves it.
    const bool quoted = (names->quoted && first == last) || !plain_sheet_word(first->name()) ||
                        !plain_sheet_word(last->name());
    return qualifier_text(names->sheets, quoted) + std::string(span.substr(prefix.size()));
}

} // namespace

std::optional<std::string> drop_grid_references(model_context& context, const vex::coord_t& origin,
                                                std::string_view text, int32_t grid) {
    // "Sheet1!#REF!", a reference whose cells went before their sheet: the
    // qualifier goes with the sheet, as it does from every other reference.
    const auto names_grid = [&](std::string_view prefix) {
        const auto refs = find_references(context, origin, std::string(prefix) + "A1");
        return refs.size() == 1 && refs.front().range.first.grid_id == grid;
    };
    bool spans_over = false;
    auto out = rewrite_spans(context, origin, text, [&](const token_t& t, std::string_view span) {
        const std::string_view prefix = qualifier(span);
        bool gone = false;
        std::string replacement = "#REF!";
        if (!is_reference(t)) {
            gone = !prefix.empty() && span.substr(prefix.size()) == "#REF!" && names_grid(prefix);
        } else if (const vex::range_t r = range_of(t, origin); !spans_sheets(r)) {
            gone = r.first.grid_id == grid;
        } else {
            // A span losing an end sheet narrows to the sheets left, as other
            // applications do; one losing a sheet between its ends keeps its
            // text but reads other cells.
            gone = r.first.grid_id == grid || r.last.grid_id == grid;
            spans_over = spans_over || reads_grid(context, r, grid);
            if (gone) replacement = narrowed_span(context, span, r, grid);
        }
        return gone ? std::optional<std::string>(std::move(replacement)) : std::nullopt;
    });
    if (!out && spans_over) return std::string(text);
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

std::optional<std::string> rename_sheet_references(model_context& context, const vex::coord_t& origin,
                                                   std::string_view text, std::string_view from, std::string_view to) {
    // One qualifier, renamed where it names the sheet.
    const auto renamed = [&](std::string_view prefix) -> std::optional<std::string> {
        auto names = qualifier_names(prefix);
        if (!names) return std::nullopt;
        bool hit = false;
        for (std::string& sheet : names->sheets) {
            if (!utf8_iequals(sheet, from)) continue;
            sheet = std::string(to);
            hit = true;
        }
        if (!hit) return std::nullopt;
        // Few applications read a quoted span: it is quoted only where a name
        // needs it, so that a name renamed and back reads as it did. One sheet
        // keeps the quotes it was written with.
        const bool span = names->sheets.size() > 1 && names->sheets.front() != names->sheets.back();
        const bool needed = std::any_of(names->sheets.begin(), names->sheets.end(), sheet_name_needs_quotes);
        return qualifier_text(names->sheets, needed || (names->quoted && !span));
    };
    using replaced_t = std::optional<std::string>;
    return rewrite_spans(context, origin, text, [&](const token_t& t, std::string_view span) -> replaced_t {
        const std::string_view prefix = qualifier(span);
        if (!may_name_sheet(t) || prefix.empty()) return std::nullopt;
        std::string replacement = renamed(prefix).value_or(std::string(prefix));
        // "Sheet1!A1:Sheet1!B2" qualifies both corners.
        std::string_view body = span.substr(prefix.size());
        const size_t colon = body.find(':');
        const std::string_view second =
            colon == std::string_view::npos ? std::string_view() : qualifier(body.substr(colon + 1));
        if (!second.empty()) {
            replacement += body.substr(0, colon + 1);
            replacement += renamed(second).value_or(std::string(second));
            body = body.substr(colon + 1 + second.size());
        }
        return replacement + std::string(body);
    });
}

namespace {

bool names_table(const token_t& t, std::string_view table) {
    return t.opcode == op_table_ref && utf8_iequals(std::get<structured_reference_t>(t.operand).table, table);
}

// A column name as a structured reference writes it: '[', ']', '#' and "'"
// escaped with "'".
std::string escaped_column(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == '[' || c == ']' || c == '#' || c == '\'') out += '\'';
        out += c;
    }
    return out;
}

std::string unescaped_column(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\'' && i + 1 < name.size()) ++i;
        out += name[i];
    }
    return out;
}

// The brackets of "Tbl[[#This Row],[Old]]" with each column named `from`
// named `to`; a column written after "@" alone, or after the last inner
// bracket as in "[[#This Row],Old]", takes brackets where its new name needs them.
std::string renamed_columns(std::string_view brackets, std::string_view from, std::string_view to) {
    const auto plain = [](std::string_view name) {
        return std::all_of(name.begin(), name.end(),
                           [](char c) { return ascii_is_alpha(c) || ascii_is_digit(c) || c == '_' || c == '.'; });
    };
    std::string out;
    size_t copied = 0;
    size_t open = std::string_view::npos;
    size_t previous = 0;  // first character after the last closing bracket
    for (size_t i = 0; i < brackets.size(); ++i) {
        const char c = brackets[i];
        if (c == '\'') {
            ++i;
        } else if (c == '[') {
            open = i + 1;
        } else if (c == ']') {
            const bool trailing = open == std::string_view::npos;
            const size_t begin = trailing ? previous : open;
            const std::string_view item = brackets.substr(begin, i - begin);
            previous = i + 1;
            open = std::string_view::npos;
            size_t lead = item.find_first_not_of(" \t");
            if (trailing && (lead == std::string_view::npos || item[lead] != ',')) continue;
            if (trailing) lead = item.find_first_not_of(" \t", lead + 1);
            const bool at = lead != std::string_view::npos && item[lead] == '@';
            if (at) lead = item.find_first_not_of(" \t", lead + 1);
            if (lead == std::string_view::npos || item[lead] == '#') continue;
            const size_t end = item.find_last_not_of(" \t") + 1;
            if (!utf8_iequals(unescaped_column(item.substr(lead, end - lead)), from)) continue;
            out.append(brackets.substr(copied, begin + lead - copied));
            const std::string name = escaped_column(to);
            out += (at || trailing) && !plain(to) ? "[" + name + "]" : name;
            copied = begin + end;
        }
    }
    out.append(brackets.substr(copied));
    return out;
}

// A column of the reference renamed in its text and tokens: `from` reads as `to`.
struct column_fate_t {
    bool gone = false;
    std::string from;
    std::string to;
};

// Columns deleted from a table: a reference to them alone goes, a span
// losing an end narrows to the columns left, as a cell range does.
column_fate_t column_fate(const structured_reference_t& ref, const table_rename_t& change) {
    if (!change.loses_columns()) return {false, change.column, change.new_column};
    const auto position = [&](const std::string& name) {
        for (size_t i = 0; i < change.columns.size(); ++i)
            if (utf8_iequals(change.columns[i], name)) return int(i);
        return -1;
    };
    const int first = ref.first_column.empty() ? -1 : position(ref.first_column);
    const int second = ref.second_column.empty() ? first : position(ref.second_column);
    if (first < 0 || second < 0) return {};
    const int lo = std::min(first, second), hi = std::max(first, second);
    const auto lost = [&](int i) { return i >= change.first_gone && i <= change.last_gone; };
    if (lost(lo) && lost(hi)) return {true, {}, {}};
    if (lost(lo)) return {false, change.columns[size_t(lo)], change.columns[size_t(change.last_gone) + 1]};
    if (lost(hi)) return {false, change.columns[size_t(hi)], change.columns[size_t(change.first_gone) - 1]};
    return {};
}

} // namespace

std::optional<std::string> rewrite_table_references(model_context& context, const vex::coord_t& origin,
                                                    std::string_view text, const table_rename_t& change) {
    using replaced_t = std::optional<std::string>;
    return rewrite_spans(context, origin, text, [&](const token_t& t, std::string_view span) -> replaced_t {
        if (!names_table(t, change.table)) return std::nullopt;
        if (change.gone) return "#REF!";
        // "Tbl" alone reads the table's data; "[Qty]" names its own table by where it stands.
        const size_t bracket = std::min(span.find('['), span.size());
        if (!change.new_table.empty())
            return bracket == 0 ? replaced_t() : change.new_table + std::string(span.substr(bracket));
        const column_fate_t fate = column_fate(std::get<structured_reference_t>(t.operand), change);
        if (fate.gone) return "#REF!";
        if (fate.from.empty()) return std::nullopt;
        return std::string(span.substr(0, bracket)) + renamed_columns(span.substr(bracket), fate.from, fate.to);
    });
}

bool rewrite_table_tokens(std::vector<token_t>& tokens, const table_rename_t& change) {
    bool changed = false;
    for (token_t& token : tokens) {
        if (!names_table(token, change.table)) continue;
        auto& ref = std::get<structured_reference_t>(token.operand);
        const column_fate_t fate = change.new_table.empty() ? column_fate(ref, change) : column_fate_t();
        if (change.gone || fate.gone) {
            token = token_t(formula_error(error_value_enum::ref));
            changed = true;
            continue;
        }
        const structured_reference_t before = ref;
        if (!change.new_table.empty()) ref.table = change.new_table;
        for (std::string* column : {&ref.first_column, &ref.second_column})
            if (!fate.from.empty() && utf8_iequals(*column, fate.from)) *column = fate.to;
        changed = changed || ref != before;
    }
    return changed;
}

bool reads_table(model_context& context, const vex::coord_t& origin, const std::vector<token_t>* tokens,
                 std::string_view text, std::string_view table) {
    const auto any = [&](const std::vector<token_t>& all) {
        return std::any_of(all.begin(), all.end(), [&](const token_t& t) { return names_table(t, table); });
    };
    return tokens ? any(*tokens) : any(lenient_tokens(context, origin, text, nullptr));
}

} // namespace vex::mta::formula

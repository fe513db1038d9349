#include "mta/formula/parser/token_resolver.h"

#include "mta/formula/function_table.h"
#include "mta/formula/model_context.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <algorithm>
#include <optional>
#include <string>

namespace vex::mta::formula {

int32_t absolute_line(int32_t stored, bool absolute, int32_t origin, int32_t count) noexcept {
    if (absolute) return stored;
    int64_t line = int64_t(stored) + origin - 1;
    if (line > count) line -= count;
    return int32_t(line);
}

int32_t stored_line(int32_t line, bool absolute, int32_t origin, int32_t count) noexcept {
    if (absolute) return line;
    const int64_t offset = int64_t(line) - origin + 1;
    return int32_t(line >= origin ? offset : offset + count);
}

namespace {

constexpr auto npos = std::string_view::npos;

// A cell within the sheet's limits, relative parts stored as offsets. Past the
// last row or column the text is a name ("XYZ1"), not a cell.
std::optional<vex::coord_t> parse_cell(std::string_view text, const vex::coord_t& origin, int32_t grid) {
    auto cell = parse_a1_reference(text, {0, 1, 1, 0, 0, 0});
    const auto& lim = get_sheet_limits();
    if (!cell || !lim.valid_row(cell->row) || !lim.valid_col(cell->col)) return std::nullopt;
    cell->grid_id = grid;
    cell->row = stored_line(cell->row, cell->flag1, origin.row, lim.row_count());
    cell->col = stored_line(cell->col, cell->flag2, origin.col, lim.col_count());
    return cell;
}

// One side of a whole-row ("$3") or whole-column ("AB") range.
struct line_part_t {
    bool row = false;
    bool absolute = false;
    int32_t line = 0;
};

std::optional<line_part_t> parse_line(std::string_view text) {
    line_part_t part;
    if (!text.empty() && text[0] == '$') {
        part.absolute = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 7) return std::nullopt;
    part.row = ascii_is_digit(text[0]);
    int64_t value = 0;
    for (const char c : text) {
        if (part.row && ascii_is_digit(c)) value = add_row_digit(value, c);
        else if (!part.row && ascii_is_alpha(c)) value = add_column_letter(value, c);
        else return std::nullopt;
    }
    const auto& lim = get_sheet_limits();
    if (part.row ? !lim.valid_row(value) : !lim.valid_col(value)) return std::nullopt;
    part.line = int32_t(value);
    return part;
}

// 'It''s' holds It's.
std::string unquote(std::string_view inner) {
    std::string out;
    out.reserve(inner.size());
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
    }
    return out;
}

// "Sheet1!rest" or "'My sheet'!rest" with something after the "!".
struct sheet_prefix_t {
    std::string_view quoted;  // between the quotes, quotes still doubled; empty when unquoted
    std::string_view sheet;   // unquoted form only
    std::string_view rest;
    bool is_quoted = false;
};

std::optional<sheet_prefix_t> split_quoted(std::string_view view) {
    size_t close = 1;
    for (;;) {
        close = view.find('\'', close);
        if (close == npos) return std::nullopt;
        if (close + 1 == view.size() || view[close + 1] != '\'') break;
        close += 2;
    }
    if (close + 2 >= view.size() || view[close + 1] != '!') return std::nullopt;
    return sheet_prefix_t{view.substr(1, close - 1), {}, view.substr(close + 2), true};
}

// One end of a span of sheets, "S1" or "'My S3'"; none for anything else.
std::optional<std::string> span_end(std::string_view text) {
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        const std::string_view inner = text.substr(1, text.size() - 2);
        if (inner.find('[') != npos || !word_is_closed(text)) return std::nullopt;
        return unquote(inner);
    }
    if (text.empty() || text.find_first_of("!'[") != npos) return std::nullopt;
    return std::string(text);
}

bool is_blank(std::string_view text) {
    return std::ranges::all_of(text, ascii_is_space);
}

std::string_view trim_right(std::string_view text) {
    while (!text.empty() && ascii_is_space(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view trim_left(std::string_view text) {
    while (!text.empty() && ascii_is_space(text.front())) text.remove_prefix(1);
    return text;
}

// Item words in any case: some producers write "#this row" and "#all".
uint32_t item_flags(std::string_view item) {
    if (ascii_iequals(item, "#Headers")) return 1;
    if (ascii_iequals(item, "#This Row")) return 2;
    if (ascii_iequals(item, "#Data")) return 4;
    if (ascii_iequals(item, "#Totals")) return 8;
    if (ascii_iequals(item, "#All")) return 16;
    return 0;
}

// A column name with its escapes dropped: '# '' '[ '] stand for the character.
bool store_column(structured_reference_t& ref, std::string_view name) {
    std::string column;
    column.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\'') {
            if (++i == name.size()) return false;
            const char next = name[i];
            if (next != '#' && next != '\'' && next != '[' && next != ']') return false;
        }
        column += name[i];
    }
    if (ref.first_column.empty()) ref.first_column = std::move(column);
    else if (ref.second_column.empty()) ref.second_column = std::move(column);
    else return false;
    return true;
}

// The part of a structured reference after "Table1[", up to and with its
// closing bracket. Brackets that hold further brackets are no items.
bool walk_structured(std::string_view body, structured_reference_t& ref) {
    int depth = 1;
    size_t open = 0;         // first character after the innermost open bracket
    size_t previous = 0;     // first character after the previous bracket
    bool holds_inner = false;
    bool worded = false;     // an item word came: columns read its rows
    ref.items = 4;           // a column alone reads the data rows; "@" its own row
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\'') {
            ++i;  // escapes the next character; checked when the column is stored
        } else if (c == '[') {
            if (++depth > 2) return false;
            const std::string_view between = trim_left(trim_right(body.substr(previous, i - previous)));
            if (between.size() == 1) {
                if (between == "@") ref.items = 2;
                else if (between != "," && between != ":") return false;
            }
            holds_inner = true;
            open = previous = i + 1;
        } else if (c == ']') {
            if (--depth < 0) return false;
            const std::string_view item = body.substr(open, i - open);
            const std::string_view tail = trim_left(body.substr(previous, i - previous));
            previous = i + 1;
            if (depth == 0) {
                // The reference ends with its outer bracket.
                if (i + 1 != body.size()) return false;
                if (holds_inner) {
                    // "[[#This Row],Qty]", as some producers write "[@Qty]".
                    const bool named = !tail.empty() && tail[0] == ',';
                    const std::string_view column = named ? trim_right(trim_left(tail.substr(1))) : std::string_view();
                    return column.empty() || column[0] == '#' || store_column(ref, column);
                }
            }
            if (is_blank(item)) continue;
            if (item[0] == '#') {
                // [#Headers],[#Data] reads both.
                const uint32_t flags = item_flags(item);
                if (flags == 0) return false;
                ref.items = (worded ? ref.items : 0) | flags;
                worded = true;
                continue;
            }
            const std::string_view lead = trim_left(item);
            if (lead.size() > 1 && lead[0] == '@') {
                if (!worded) ref.items = 2;
                if (!store_column(ref, trim_right(trim_left(lead.substr(1))))) return false;
                continue;
            }
            if (!store_column(ref, trim_right(item))) return false;
        }
    }
    return depth == 0;
}

} // namespace

std::optional<token_t> excel_a1::resolve(const lexeme_t& lexeme) {
    result_.reset();
    view_ = lexeme.text(text_);
    // Without a call "Rate", "Date" or "Index" are names, defined yet or not,
    // and "LOG10" is a cell.
    if (const uint32_t id = lookup_function_id(view_); id && (called__(lexeme) || is_bare_function(id)))
        return token_t(id);
    if (plain_cell__(view_, origin_.grid_id)) return std::move(result_);
    const size_t at = view_.find_first_of("!'[");
    if (at != npos) {
        if (view_[at] == '[') structured__(at);
        else if (view_[at] == '!') sheet_qualified__(at);
        else if (at == 0) quoted__();
    }
    // Neither the sheet's nor the workbook's name: a table's, or undefined.
    if (!result_ && !unqualified_name__(view_)) name__(view_, workbook_scope);
    return std::move(result_);
}

std::optional<token_t> excel_a1::resolve_lines(const lexeme_t& first, const lexeme_t& last) {
    std::string_view head = first.text(text_);
    int32_t grid = origin_.grid_id;
    int32_t last_grid = grid;
    if (first.kind == lexeme_name && !head.empty() && head[0] == '\'') {
        const auto prefix = split_quoted(head);
        if (!prefix || prefix->quoted.find('[') != npos) return std::nullopt;
        const std::string sheets = unquote(prefix->quoted);
        // 'Sheet1:Sheet3'!A:A spans sheets, as no sheet name holds ":".
        const size_t colon = sheets.find(':');
        grid = sheet_grid__(std::string_view(sheets).substr(0, colon));
        last_grid = colon == npos ? grid : sheet_grid__(std::string_view(sheets).substr(colon + 1));
        head = prefix->rest;
    } else if (const size_t bang = head.find('!'); bang != npos) {
        grid = last_grid = sheet_grid__(head.substr(0, bang));
        head = head.substr(bang + 1);
    }
    return lines__(grid, last_grid, head, last.text(text_));
}

std::optional<token_t> excel_a1::resolve_span_lines(const lexeme_t& first, const lexeme_t& middle,
                                                    const lexeme_t& last) {
    const std::string_view mid = middle.text(text_);
    const size_t bang = qualifier_end(mid);
    if (bang == npos) return std::nullopt;
    const auto head = span_end(first.text(text_));
    const auto tail = span_end(mid.substr(0, bang));
    if (!head || !tail) return std::nullopt;
    const uint32_t a = context_.get_sheet_grid_id(*head);
    const uint32_t b = context_.get_sheet_grid_id(*tail);
    if (a == 0 || b == 0) return std::nullopt;
    return lines__(int32_t(a), int32_t(b), mid.substr(bang + 1), last.text(text_));
}

std::optional<token_t> excel_a1::lines__(int32_t grid, int32_t last_grid, std::string_view head,
                                         std::string_view tail) const {
    const auto a = parse_line(head);
    const auto b = parse_line(tail);
    if (!a || !b || a->row != b->row) return std::nullopt;

    const auto& lim = get_sheet_limits();
    const int32_t origin = a->row ? origin_.row : origin_.col;
    const int32_t count = a->row ? lim.row_count() : lim.col_count();
    const bool b_first = b->line < a->line;
    const line_part_t& low = b_first ? *b : *a;
    const line_part_t& high = b_first ? *a : *b;
    const auto low_line = stored_line(low.line, low.absolute, origin, count);
    const auto high_line = stored_line(high.line, high.absolute, origin, count);
    // The other axis spans the sheet and never moves.
    vex::range_t range;
    if (a->row) {
        range.first = {grid, low_line, lim.first_col, 1, uint8_t(low.absolute), 1};
        range.last = {last_grid, high_line, lim.last_col, 1, uint8_t(high.absolute), 1};
    } else {
        range.first = {grid, lim.first_row, low_line, 1, 1, uint8_t(low.absolute)};
        range.last = {last_grid, lim.last_row, high_line, 1, 1, uint8_t(high.absolute)};
    }
    return token_t(range);
}

std::optional<token_t> excel_a1::resolve_span(const lexeme_t& first, const lexeme_t& last) {
    result_.reset();
    const std::string_view tail = last.text(text_);
    const size_t bang = qualifier_end(tail);
    if (bang == npos) return std::nullopt;
    const auto head = span_end(first.text(text_));
    const auto last_sheet = span_end(tail.substr(0, bang));
    if (!head || !last_sheet) return std::nullopt;
    span__(*head, *last_sheet, tail.substr(bang + 1));
    return std::move(result_);
}

// Both ends must be sheets of this workbook; the corners keep the cell's marks.
bool excel_a1::span__(std::string_view first_sheet, std::string_view last_sheet, std::string_view cell) {
    const uint32_t first = first_sheet.empty() ? 0 : context_.get_sheet_grid_id(first_sheet);
    const uint32_t last = last_sheet.empty() ? 0 : context_.get_sheet_grid_id(last_sheet);
    if (first == 0 || last == 0 || !plain_cell__(cell, int32_t(first))) return false;
    vex::coord_t corner = std::get<vex::coord_t>(result_->operand);
    vex::range_t span{corner, corner};
    span.last.grid_id = int32_t(last);
    result_.emplace(span);
    return true;
}

bool excel_a1::plain_cell__(std::string_view text, int32_t grid) {
    const auto cell = parse_cell(text, origin_, grid);
    if (!cell) return false;
    result_.emplace(*cell);
    return true;
}

bool excel_a1::sheet_qualified__(size_t bang) {
    if (bang + 1 >= view_.size()) return false;
    return qualified__(view_.substr(0, bang), view_.substr(bang + 1));
}

bool excel_a1::quoted__() {
    const auto prefix = split_quoted(view_);
    if (!prefix) return false;
    if (prefix->quoted.find('[') != npos) return external_cell__(unquote(prefix->quoted), prefix->rest);
    const std::string sheets = unquote(prefix->quoted);
    // No sheet name holds ":": one inside the quotes spans sheets.
    if (const size_t colon = sheets.find(':'); colon != npos) {
        const std::string_view view(sheets);
        if (span__(view.substr(0, colon), view.substr(colon + 1), prefix->rest)) return true;
    }
    return qualified__(sheets, prefix->rest);
}

bool excel_a1::qualified__(std::string_view sheet, std::string_view rest) {
    const int32_t grid = sheet_grid__(sheet);
    if (plain_cell__(rest, grid)) return true;
    return name__(rest, sheet.empty() ? uint32_t(context_.get_sheet_id()) : uint32_t(grid));
}

// 'C:\dir\[Book1]Sheet1'!A1: a cell of another workbook, named by its texts.
bool excel_a1::external_cell__(std::string_view inner, std::string_view cell_text) {
    const size_t open = inner.find('[');
    const size_t close = inner.find(']', open);
    if (close == npos || close == open + 1 || close + 1 == inner.size()) return false;
    const std::string_view sheet = inner.substr(close + 1);
    if (sheet.find_first_of(" */:?[\\]") != npos) return false;
    const auto cell = parse_cell(cell_text, origin_, 0);
    if (!cell) return false;
    result_.emplace(*cell);
    result_->names[0] = std::make_unique<std::string>(inner.substr(0, open));
    result_->names[0]->append(inner.substr(open + 1, close - open - 1));
    result_->names[1] = std::make_unique<std::string>();
    result_->names[2] = std::make_unique<std::string>(sheet);
    return true;
}

bool excel_a1::structured__(size_t bracket) {
    structured_reference_t ref;
    if (!walk_structured(view_.substr(bracket + 1), ref)) return false;
    ref.table = view_.substr(0, bracket);
    // "[Qty]" alone, as totals rows are written, names the column of the
    // table holding the cell; outside any table it names nothing.
    if (bracket == 0) ref.table = context_.table_at(origin_.row, origin_.col);
    if (ref.table.empty()) return false;
    result_.emplace(std::move(ref));
    return true;
}

// "(" after the word, blanks allowed between.
bool excel_a1::called__(const lexeme_t& lexeme) const noexcept {
    for (size_t i = lexeme.end + 1; i < text_.size(); ++i)
        if (!is_formula_blank(text_[i])) return text_[i] == '(';
    return false;
}

// A sheet's own name hides the workbook's of the same spelling on that sheet.
bool excel_a1::unqualified_name__(std::string_view name) {
    const auto* store = context_.get_name_store();
    if (!store) return false;
    for (const uint32_t scope : {uint32_t(context_.get_sheet_id()), workbook_scope}) {
        if (!store->contains({name, scope})) continue;
        result_.emplace(named_expression_t{std::string(name), scope});
        return true;
    }
    return false;
}

bool excel_a1::name__(std::string_view name, uint32_t scope) {
    const auto* store = context_.get_name_store();
    if (store && store->contains({name, scope})) {
        result_.emplace(named_expression_t{std::string(name), scope});
    } else if (scope == workbook_scope && !context_.resolve_table_reference(origin_, name, 16, {}, {}).empty()) {
        // A table's name alone reads its data rows.
        structured_reference_t ref;
        ref.table = name;
        ref.items = 4;
        result_.emplace(std::move(ref));
    } else {
        result_.emplace(formula_error(5));
    }
    return true;
}

int32_t excel_a1::sheet_grid__(std::string_view sheet) const {
    if (sheet.empty()) return origin_.grid_id;
    const uint32_t grid = context_.get_sheet_grid_id(sheet);
    return grid == 0 ? unknown_sheet_grid : int32_t(grid);
}

} // namespace vex::mta::formula

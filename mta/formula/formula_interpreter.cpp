#include "mta/formula/formula_interpreter.h"

#include "mta/formula/formula_cell.h"
#include "mta/formula/function_table.h"
#include "mta/formula/model_context.h"
#include "mta/formula/parser/formula_parser.h"
#include "mta/formula/value_operators.h"
#include "mta/table/utils/defined_names/defined_name_store.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex::mta::formula {

namespace {

// Names met along many paths (a chain each adding SUM(S1:S2!$A$1)) read the
// same cells many times: each is listed once, so its readers file it once.
void drop_repeats(std::vector<token_t>& references) {
    std::unordered_set<vex::range_t> met;
    std::erase_if(references, [&](const token_t& t) {
        if (t.opcode == op_cell_ref) {
            const auto& c = std::get<vex::coord_t>(t.operand);
            return !met.insert(vex::range_t{c, c}).second;
        }
        return t.opcode == op_range_ref && !met.insert(std::get<vex::range_t>(t.operand)).second;
    });
}

constexpr uint32_t now_function_id = 321;
const uint32_t true_function_id = lookup_function_id("TRUE");
const uint32_t false_function_id = lookup_function_id("FALSE");
// Deeper nesting, of parentheses, minus signs or names, gives an error value: no
// formula may exhaust the stack of the thread that evaluates it.
constexpr int max_nesting = 1000;
// References wrap around the largest sheet, whatever the sheet's own extent.
constexpr int64_t grid_rows = 1048576;
constexpr int64_t grid_cols = 16384;

bool is_comparison(int32_t op) noexcept { return op >= 400 && op <= 499; }
bool is_additive(int32_t op) noexcept { return op == op_add || op == op_sub; }
bool is_multiplicative(int32_t op) noexcept { return op == op_mul || op == op_div; }
bool is_power(int32_t op) noexcept { return op == op_pow; }
bool is_intersection(int32_t op) noexcept { return op == op_intersect; }

// A relative row or column is stored as a positive one-based offset from the
// formula's cell; the target wraps around the grid, the last row included.
int32_t relative_target(int32_t origin, int32_t offset, int64_t size) noexcept {
    const int64_t zero_based = ((int64_t(origin) - 1 + int64_t(offset) - 1) % size + size) % size;
    return int32_t(zero_based + 1);
}

int32_t opcode_of_value(size_t index) {
    static constexpr int32_t opcodes[] = {op_number,   op_boolean,   op_string, op_datetime,
                                          op_cell_ref, op_range_ref, op_range_set, 0,
                                          op_table_ref, op_function,  op_matrix, op_error};
    if (index == operand_t::name_index) throw_unsupported_combination();
    return opcodes[index];
}

using value_operator_t = operand_t (*)(const operand_t&, const operand_t&);

// Unary minus (304) and percent (306) multiply by their token's value.
value_operator_t operator_of(int32_t op) noexcept {
    static constexpr value_operator_t arithmetic[] = {value_add,      value_subtract, value_multiply, value_divide,
                                                      value_multiply, value_power,    value_multiply};
    static constexpr value_operator_t comparisons[] = {value_equal,   value_not_equal,  value_less,
                                                       value_greater, value_less_equal, value_greater_equal};
    if (op >= op_add && op <= op_percent) return arithmetic[op - op_add];
    if (op >= op_eq && op <= op_ge) return comparisons[op - op_eq];
    return nullptr;
}

token_t make_token_from_value(operand_t&& value) {
    token_t token{int32_t{op_open_paren}};  // no operand yet
    token.opcode = opcode_of_value(value.index());
    token.operand = std::move(value);
    return token;
}

} // namespace

// Functions whose result may change with any cell of the workbook, or with none.
bool is_volatile_function(uint32_t id) noexcept {
    static const uint32_t ids[] = {now_function_id, lookup_function_id("TODAY"), lookup_function_id("RAND"),
                                   lookup_function_id("RANDBETWEEN"), lookup_function_id("INDIRECT"),
                                   lookup_function_id("OFFSET"), lookup_function_id("CELL"),
                                   lookup_function_id("INFO"), lookup_function_id("RANDARRAY")};
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

struct formula_interpreter::impl {
    model_context* context;
    formula_cell* cell;
    std::vector<const token_t*> flattened;  // the formula's tokens, its names kept whole
    const std::vector<const token_t*>* walk = &flattened;  // the formula's or a name's, under evaluation
    std::deque<token_t> references;  // deques: addresses stay put while they grow
    uint32_t error_code = 0;
    std::deque<token_t> made;
    std::deque<const token_t*> stack;  // the top is the front
    size_t cursor = 0;
    size_t end = 0;

    int nesting = 0;
    const token_t* stop_error = nullptr;  // set when nesting ran too deep
    // A name is evaluated once a run, however often the formula and its names
    // name it: a name of two names that each name the next would otherwise
    // cost twice as much with each level.
    struct name_run_t {
        std::vector<const token_t*> tokens;
        const token_t* value = nullptr;
        bool open = false;
        bool checked = false;
    };
    std::unordered_map<const defined_name_entry_t*, name_run_t> names;
    bool expansion_stopped = false;
    std::deque<std::vector<token_t>> lenient_names;  // names' texts read for the scan
    bool unsure = false;   // a name's reading could not show all it reads

    impl(formula_cell* c) : context(c->owner()), cell(c) {
        if (!context) throw std::invalid_argument("formula cell without a model context");
    }

    // ---- stack and cursor --------------------------------------------------------
    void push(const token_t* token) { stack.push_front(token); }
    const token_t* pop() {
        if (stack.empty()) return nullptr;
        const token_t* top = stack.front();
        stack.pop_front();
        return top;
    }
    bool top_is_error() const { return !stack.empty() && stack.front()->opcode == op_error; }
    const token_t* current() const { return cursor < end ? (*walk)[cursor] : nullptr; }
    bool current_is(int32_t op) const {
        const token_t* t = current();
        return t && t->opcode == op;
    }
    void next() {
        if (cursor < end) ++cursor;
    }

    const token_t* make(token_t&& token) {
        made.push_back(std::move(token));
        return &made.back();
    }
    const token_t* push_error(uint32_t code, std::string text) {
        error_code = code;
        const token_t* token = make(token_t(formula_error(code, std::move(text))));
        push(token);
        return token;
    }
    bool halted() const { return stop_error != nullptr; }

    // Counts one level of nesting for its scope; past the limit the evaluation halts.
    struct nesting_guard {
        impl& self;
        bool too_deep;
        explicit nesting_guard(impl& s) : self(s), too_deep(++s.nesting > max_nesting) {
            if (too_deep && !s.halted()) s.stop_error = s.push_error(3, "Formula nested too deeply.");
        }
        ~nesting_guard() { --self.nesting; }
    };

    // ---- preparation ----------------------------------------------------------------
    void reset() {
        stack = {};
        flattened.clear();
        walk = &flattened;
        references.clear();
        made.clear();
        nesting = 0;
        stop_error = nullptr;
        names.clear();
        expansion_stopped = false;
        cursor = end = 0;
        if (cell->tokens.empty()) return;
        check_names(cell->tokens, 0);
        flattened = evaluated_tokens(cell->tokens);
        end = flattened.size();
    }

    const defined_name_entry_t* entry_of(const token_t& token) const {
        const auto& name = std::get<named_expression_t>(token.operand);
        return context->get_named_expression(defined_name_key_t{name.name, name.scope});
    }

    // Before anything is computed, every name the formula reads, through other
    // names too, is looked up: an undefined one leaves its error on the stack,
    // which ends the evaluation, and a circle or too deep a chain stops it.
    void check_names(const std::vector<token_t>& tokens, size_t depth) {
        for (const auto& token : tokens) {
            if (expansion_stopped) return;
            if (token.opcode != op_name) continue;
            const defined_name_entry_t* entry = entry_of(token);
            if (!entry) {
                push_error(4, "undefined name");
                continue;
            }
            if (entry->tokens.empty()) continue;
            name_run_t& run = names[entry];
            if (run.open) return stop_expansion(4, "circular name");
            if (run.checked) continue;
            if (depth >= size_t(max_nesting)) return stop_expansion(3, "Formula nested too deeply.");
            run.open = true;
            check_names(entry->tokens, depth + 1);
            run.open = false;
            run.checked = true;
        }
    }

    // The tokens evaluated in turn: a name that stands for nothing is passed over.
    std::vector<const token_t*> evaluated_tokens(const std::vector<token_t>& tokens) const {
        std::vector<const token_t*> out;
        out.reserve(tokens.size());
        for (const auto& token : tokens) {
            if (token.opcode == op_name) {
                const defined_name_entry_t* entry = entry_of(token);
                if (!entry || entry->tokens.empty()) continue;
            }
            out.push_back(&token);
        }
        return out;
    }

    void stop_expansion(uint32_t code, const char* text) {
        push_error(code, text);
        expansion_stopped = true;
    }

    void name_value();

    // ---- precedence levels, loosest first ------------------------------------------
    using level_t = void (impl::*)();

    void binary_level(bool (*belongs)(int32_t), level_t operand) {
        (this->*operand)();
        if (halted() || top_is_error()) return;
        for (const token_t* t = current(); t && belongs(t->opcode); t = current()) {
            const int32_t op = t->opcode;
            const token_t* left = pop();
            next();
            (this->*operand)();
            if (halted()) return;
            const token_t* right = pop();
            apply_operator(op, left, right);
        }
    }

    void comparison() {
        nesting_guard guard(*this);
        if (guard.too_deep) return;
        binary_level(is_comparison, &impl::additive);
    }
    void additive() { binary_level(is_additive, &impl::multiplicative); }
    void multiplicative() { binary_level(is_multiplicative, &impl::power); }
    void power() { binary_level(is_power, &impl::percent); }

    void percent() {
        unary();
        if (halted() || top_is_error()) return;
        while (current_is(op_percent)) {
            const token_t* operand = pop();
            const token_t* percent_token = current();
            next();
            apply_operator(op_percent, operand, percent_token);
        }
    }

    void unary() {
        if (top_is_error()) return;
        // Where an operand is due a plus sign changes nothing: +1, 2*+3, -+1.
        while (current_is(op_add)) next();
        if (current_is(op_neg)) {
            nesting_guard guard(*this);
            if (guard.too_deep) return;
            const token_t* minus = current();
            next();
            unary();
            if (halted()) return;
            const token_t* operand = pop();
            apply_operator(op_neg, minus, operand);
            return;
        }
        intersection();
        if (halted() || top_is_error()) return;
        if (current_is(op_union)) primary();  // a union has no value: "#VALUE"
    }

    void intersection() { binary_level(is_intersection, &impl::range_operation); }

    void range_operation();

    void primary() {
        const token_t* token = current();
        if (!token) {
            push_error(3, "#VALUE");  // the formula ends where an operand is due
            return;
        }
        switch (token->opcode) {
        case op_number:
        case op_string:
        case op_boolean:
        case op_datetime:
            push(token);
            break;
        case op_cell_ref:
            cell_reference();
            break;
        case op_table_ref:
            table_reference();
            break;
        case op_function:
            function_call();
            break;
        case op_name:
            name_value();
            if (halted()) return;
            break;
        case op_open_array:
            constant_array();
            break;
        case op_open_paren:
            next();
            comparison();
            if (halted()) return;
            if (current_is(op_close_paren)) break;
            push_error(11, "incomplete paren.");
            return;
        default:
            push_error(3, "#VALUE");
            return;
        }
        next();
    }

    // ---- operands --------------------------------------------------------------------
    const operand_t* operand_value(const token_t* token) const {
        static const operand_t minus_one{-1.0};
        static const operand_t one_percent{0.01};
        if (!token) return nullptr;
        if (token->opcode == op_neg) return &minus_one;
        if (token->opcode == op_percent) return &one_percent;
        return &token->operand;
    }

    void apply_operator(int32_t op, const token_t* left_token, const token_t* right_token) {
        const operand_t* left = operand_value(left_token);
        const operand_t* right = operand_value(right_token);
        if (!left || !right) {
            error_code = 3;
            throw std::runtime_error("incompatible type.");
        }
        const value_operator_t operation = operator_of(op);
        if (!operation) {
            // The intersection operator among them: the engine computes no intersection.
            error_code = 13;
            throw_unsupported_combination();
        }
        operand_t result = operation(*left, *right);
        push(make(make_token_from_value(std::move(result))));
    }

    void constant_array() {
        next();
        if (current_is(op_close_array)) {
            push(make(token_t(matrix_t(1, 1))));
            return;
        }
        push_error(3, "An error ocured while interpreting constant array.");
    }

    // No built-in function is computed: the call is passed over and refused.
    // TRUE and FALSE written without parentheses are the boolean constants.
    void function_call() {
        const uint32_t id = std::get<uint32_t>(current()->operand);
        if (is_volatile_function(id)) cell->volatile_flag = 1;
        const bool call = cursor + 1 < end && (*walk)[cursor + 1]->opcode == op_open_paren;
        if (!call && (id == true_function_id || id == false_function_id)) {
            push(make(token_t(id == true_function_id)));
            return;
        }
        if (call) {
            next();
            for (size_t depth = 0; const token_t* t = current(); next()) {
                if (t->opcode == op_open_paren) ++depth;
                if (t->opcode == op_close_paren && --depth == 0) break;
            }
        }
        throw_unsupported_combination();
    }

    // A stored corner as the cell it designates from the formula's own cell.
    vex::coord_t target_of(const vex::coord_t& c) const;
    void cell_reference();
    void table_reference();
    // The scan's own: what a reference or a name reads, listed.
    const token_t* list_cell(const token_t& token);
    void list_range(const token_t& token);
    void list_table_columns(const token_t& token);
    void list_name(const token_t& token, std::unordered_set<const defined_name_entry_t*>& met);
    name_reading_t read_name(const defined_name_entry_t& entry);
    void gather(const std::vector<token_t>& tokens, name_reading_t& reading,
                std::unordered_set<const defined_name_entry_t*>& seen, size_t depth);
    const std::vector<token_t>* leniently_read(const std::string& text, name_reading_t& reading);

    // Each name the formula meets is listed once, by the reading its readers share.
    void collect_references() {
        reset_for_scan();
        std::unordered_set<const defined_name_entry_t*> met;
        for (const token_t& token : cell->tokens) {
            switch (token.opcode) {
            case op_cell_ref: list_cell(token); break;
            case op_range_ref: list_range(token); break;
            case op_table_ref: list_table_columns(token); break;
            case op_name: list_name(token, met); break;
            case op_function:
                if (is_volatile_function(std::get<uint32_t>(token.operand))) cell->volatile_flag = 1;
                break;
            default: break;
            }
        }
        cell->unread_names = unsure;
    }

    void reset_for_scan() {
        references.clear();
        lenient_names.clear();
        unsure = false;
    }

    void hand_over_references() {
        std::vector<token_t> list(references.begin(), references.end());
        cell->reference_tokens.swap(list);
    }
};

// ---- references ------------------------------------------------------------------------

vex::coord_t formula_interpreter::impl::target_of(const vex::coord_t& c) const {
    const auto& origin = cell->position();
    const int32_t row = c.flag1 ? c.row : relative_target(origin.row, c.row, grid_rows);
    const int32_t col = c.flag2 ? c.col : relative_target(origin.col, c.col, grid_cols);
    return {c.grid_id, row, col, c.flag0, c.flag1, c.flag2};
}

const token_t* formula_interpreter::impl::list_cell(const token_t& token) {
    const vex::coord_t corner = target_of(std::get<vex::coord_t>(token.operand));
    references.emplace_back(vex::range_t{corner, corner});
    return &references.back();
}

void formula_interpreter::impl::cell_reference() {
    push(list_cell(*current()));
}

void formula_interpreter::impl::list_range(const token_t& token) {
    const auto& r = std::get<vex::range_t>(token.operand);
    vex::coord_t first = target_of(r.first);
    vex::coord_t last = target_of(r.last);
    // Relative corners may wrap past each other: the range is the box they span.
    if (first.row > last.row) std::swap(first.row, last.row);
    if (first.col > last.col) std::swap(first.col, last.col);
    if (!spans_sheets(r)) {
        references.emplace_back(vex::range_t{first, last});
        return;
    }
    // A span reads the same cells on every sheet from its first to its last.
    for (const uint32_t grid : context->get_span_grids(uint32_t(r.first.grid_id), uint32_t(r.last.grid_id))) {
        first.grid_id = last.grid_id = int32_t(grid);
        references.emplace_back(vex::range_t{first, last});
    }
}

void formula_interpreter::impl::list_table_columns(const token_t& token) {
    const auto& ref = std::get<structured_reference_t>(token.operand);
    for (const auto& r :
         context->resolve_table_reference(cell->position(), ref.table, ref.items, ref.first_column, ref.second_column))
        references.emplace_back(r);
}

void formula_interpreter::impl::list_name(const token_t& token,
                                          std::unordered_set<const defined_name_entry_t*>& met) {
    const defined_name_entry_t* entry = entry_of(token);
    if (!entry || !met.insert(entry).second) return;
    const defined_name_store_t* store = context->get_name_store();
    const auto kept = store ? store->reading_of(*entry, uint32_t(context->get_sheet_id()), [&] { return read_name(*entry); })
                            : std::make_shared<const name_reading_t>(read_name(*entry));
    const name_reading_t& r = *kept;
    for (const token_t& ref : r.references) {
        if (ref.opcode == op_cell_ref) list_cell(ref);
        else if (ref.opcode == op_range_ref) list_range(ref);
        else list_table_columns(ref);
    }
    if (r.is_volatile) cell->volatile_flag = 1;
    unsure = unsure || r.unsure;
}

// Walks the names the entry reads, each once, gathering what they reference.
name_reading_t formula_interpreter::impl::read_name(const defined_name_entry_t& entry) {
    name_reading_t reading;
    std::unordered_set<const defined_name_entry_t*> seen{&entry};
    const std::vector<token_t>* body = &entry.tokens;
    if (body->empty() && !(body = leniently_read(entry.expression, reading))) return reading;
    gather(*body, reading, seen, 1);
    drop_repeats(reading.references);
    return reading;
}

void formula_interpreter::impl::gather(const std::vector<token_t>& tokens, name_reading_t& reading,
                                       std::unordered_set<const defined_name_entry_t*>& seen, size_t depth) {
    for (const token_t& token : tokens) {
        switch (token.opcode) {
        case op_cell_ref:
        case op_range_ref:
        case op_table_ref: reading.references.push_back(token); break;
        case op_function:
            if (is_volatile_function(std::get<uint32_t>(token.operand))) reading.is_volatile = true;
            break;
        case op_name: {
            const defined_name_entry_t* entry = entry_of(token);
            if (!entry || !seen.insert(entry).second) break;
            if (depth >= size_t(max_nesting)) {
                reading.unsure = true;
                break;
            }
            const std::vector<token_t>* body = &entry->tokens;
            if (body->empty() && !(body = leniently_read(entry->expression, reading))) break;
            gather(*body, reading, seen, depth + 1);
            break;
        }
        default: break;
        }
    }
}

// A name whose text keeps no tokens (a span of sheets, say) still reads
// cells: the reference scan lists them from its lenient reading. Null, and
// the reading unsure, when that reading cannot show them all.
const std::vector<token_t>* formula_interpreter::impl::leniently_read(const std::string& text,
                                                                      name_reading_t& reading) {
    if (text.empty()) return nullptr;
    reading.lasting = false;
    try {
        formula_parser parser(*context, {context->get_sheet_id(), 1, 1, 0, 0, 0}, text);
        parser.set_lenient();
        parser.set_quiet();
        parser.parse();
        reading.unsure = reading.unsure || parser.syntax_fault() || parser.approximated();
        if (parser.syntax_fault()) return nullptr;
        return &lenient_names.emplace_back(std::move(parser.tokens()));
    } catch (const std::exception&) {
        reading.unsure = true;
        return nullptr;
    }
}

// The name under the cursor, worked out from its own tokens the first time
// and taken from that result after. The name stands for one value, as if
// bracketed: 2*two with two = 1+1 is 4, not 3.
void formula_interpreter::impl::name_value() {
    const defined_name_entry_t* entry = entry_of(*current());
    name_run_t& run = names[entry];
    if (run.value) {
        push(make(token_t(*run.value)));
        return;
    }
    if (run.tokens.empty()) run.tokens = evaluated_tokens(entry->tokens);
    const auto* outer = walk;
    const size_t at = cursor, outer_end = end, below = stack.size();
    walk = &run.tokens;
    cursor = 0;
    end = run.tokens.size();
    comparison();
    const bool whole = cursor == end;
    walk = outer;
    cursor = at;
    end = outer_end;
    if (halted()) return;
    if (!whole) {
        push_error(11, "incomplete paren.");
        return;
    }
    // Kept apart: ":" may change the value left on the stack in place.
    if (stack.size() > below) run.value = make(token_t(*stack.front()));
}

void formula_interpreter::impl::table_reference() {
    const auto ref = std::get<structured_reference_t>(current()->operand);
    range_set_t ranges =
        context->resolve_table_reference(cell->position(), ref.table, ref.items, ref.first_column, ref.second_column);
    if (ranges.size() == 1)
        push(make(token_t(*ranges.begin())));
    else
        push(make(token_t(ranges)));
}

void formula_interpreter::impl::range_operation() {
    primary();
    if (halted() || top_is_error()) return;
    while (current_is(op_range)) {
        const token_t* left = pop();
        next();
        primary();
        if (halted()) return;
        const token_t* right = stack.front();
        const auto* a = std::get_if<vex::range_t>(&left->operand);
        const auto* b = std::get_if<vex::range_t>(&right->operand);
        const bool fit = left->opcode == op_range_ref && right->opcode == op_range_ref && a && b &&
                         a->first.grid_id == a->last.grid_id && a->first.grid_id == b->first.grid_id &&
                         b->first.grid_id == b->last.grid_id;
        if (!fit) {
            error_code = 3;
            throw formula_error(3, "Type mismatch, region operation cannot be performed.");
        }
        const int32_t grid = a->first.grid_id;
        const vex::coord_t first{grid, std::min(a->first.row, b->first.row), std::min(a->first.col, b->first.col),
                                 1, 0, 0};
        const vex::coord_t last{grid, std::max(a->last.row, b->last.row), std::max(a->last.col, b->last.col), 1, 0, 0};
        // A range operand on the stack is always one this interpreter made (a formula's
        // own range tokens read as "#VALUE"), so the formula's tokens stay untouched.
        const_cast<token_t*>(right)->operand.assign_range(first, last);
    }
}

// ---- public face ---------------------------------------------------------------------------

formula_interpreter::formula_interpreter(formula_cell* cell) : impl_(std::make_unique<impl>(cell)) {}

formula_interpreter::~formula_interpreter() = default;

uint32_t formula_interpreter::error_code() const noexcept {
    return impl_->error_code;
}

void formula_interpreter::evaluate() {
    impl& m = *impl_;
    m.reset();
    if (m.flattened.empty()) {
        // Only names that are undefined or empty: an error met while expanding them
        // is the result; otherwise there is nothing to compute.
        if (m.top_is_error()) m.cell->store_value(m.stack.front()->operand);
        return;
    }
    m.comparison();
    m.hand_over_references();
    const token_t* top = m.halted() ? m.stop_error : m.pop();
    if (!top) {
        m.error_code = 10;
        throw formula_error(10, "No data or wrong type of data on the stack.");
    }
    m.cell->store_value(top->operand);
}

void formula_interpreter::get_reference_tokens() {
    impl_->collect_references();
    impl_->hand_over_references();
}

std::vector<vex::range_t> formula_interpreter::reference_ranges() {
    impl_->collect_references();
    std::vector<vex::range_t> out;
    out.reserve(impl_->references.size());
    for (const token_t& t : impl_->references) out.push_back(std::get<vex::range_t>(t.operand));
    return out;
}

} // namespace vex::mta::formula

#pragma once
// A formula cell as the cell store keeps it: its position, its formula text, the
// attributes of an imported formula and the last result, calculated or cached.
// The store's formula block owns it. Tokens, evaluation and dependency tracking
// belong to the formula engine, which fills them in over this record.

#include "coord.h"
#include "datetime.h"
#include "mta/formula/formula_error.h"
#include "mta/formula/token.h"
#include "mta/table/cell/cell.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vex::mta::formula {

class model_context;

// The attributes of a formula element as a file gives them; a formula set by a
// host has the defaults (a normal formula, nothing else set).
struct formula_attributes_t {
    uint8_t flags = 0;          // bits: 0 ca, 1 aca, 2 bx, 3 del1, 4 del2, 5 dt2D, 6 dtr
    uint32_t type = 0;          // 0 normal, 1 shared, 2 array, 3 dataTable
    uint32_t shared_index = 0;  // si
    vex::coord_t r1{};
    vex::coord_t r2{};
    vex::range_t ref{{0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}};

    friend bool operator==(const formula_attributes_t&, const formula_attributes_t&) = default;
};

// An optional kept behind a pointer: a member that most records leave empty
// costs one word, not its whole size.
template <class T>
class boxed_optional {
public:
    bool has_value() const noexcept { return bool(value_); }
    explicit operator bool() const noexcept { return has_value(); }
    const T& operator*() const noexcept { return *value_; }
    const T* operator->() const noexcept { return value_.get(); }
    template <class U>
    void emplace(U&& value) {
        if (value_) *value_ = std::forward<U>(value);
        else value_ = std::make_unique<T>(std::forward<U>(value));
    }
    void reset() noexcept { value_.reset(); }

private:
    std::unique_ptr<T> value_;
};

// What a formula last gave: a number, a text, a boolean, a date-time, a matrix
// (shared, so that the record stays small) or an error.
using formula_result_t =
    std::variant<double, std::string, bool, vex::datetime_t, std::shared_ptr<const matrix_t>, formula_error>;

// A four-byte lock: a formula cell keeps one per cell, and a std::mutex would
// make the record a fifth larger.
class cell_mutex_t {
public:
    void lock() noexcept {
        while (state_.exchange(1, std::memory_order_acquire)) state_.wait(1, std::memory_order_relaxed);
    }
    bool try_lock() noexcept { return !state_.exchange(1, std::memory_order_acquire); }
    void unlock() noexcept {
        state_.store(0, std::memory_order_release);
        state_.notify_one();
    }

private:
    std::atomic<uint32_t> state_{0};
};

// 0 when made, 1 once the dependency tracker has registered the cell.
enum class formula_cell_state : uint8_t { created = 0, registered = 1 };

class formula_cell {
public:
    // Attributes equal to the defaults are not kept.
    formula_cell(const vex::coord_t& position, std::string expression, const formula_attributes_t& attributes = {})
        : position_(position), expression_(std::move(expression)) {
        if (!(attributes == default_attributes())) attributes_.emplace(attributes);
    }
    // A cell the interpreter can evaluate: it reads the sheet through `owner`.
    formula_cell(model_context* owner, const vex::coord_t& position, std::string_view expression)
        : owner_(owner), position_(position), expression_(expression) {}
    formula_cell(const formula_cell&) = delete;
    formula_cell& operator=(const formula_cell&) = delete;

    const vex::coord_t& position() const noexcept { return position_; }
    int row() const noexcept { return position_.row; }
    int col() const noexcept { return position_.col; }
    // The store moves a cell it owns, as when a merge gathers it into the top-left.
    void set_position(const vex::coord_t& position) noexcept { position_ = position; }

    // Stays valid, and NUL-terminated, while the cell lives.
    std::string_view expression() const noexcept { return expression_; }
    const formula_attributes_t& attributes() const noexcept {
        return attributes_ ? *attributes_ : default_attributes();
    }
    // A shift moves an array's or a shared master's range with its cells.
    void set_attributes(const formula_attributes_t& attributes) {
        if (attributes == default_attributes()) attributes_.reset();
        else attributes_.emplace(attributes);
    }
    // A rewrite after a shift replaces the text; string constants, and the
    // escapes they were read with, stay as they were.
    void set_expression(std::string expression) { expression_ = std::move(expression); }
    // The text was read with escapes that decoding kept as written
    // (decode_x_escapes): a save writes them back unchanged.
    bool expression_escapes_kept() const noexcept { return expression_escapes_kept_; }
    void set_expression_escapes_kept(bool kept) noexcept { expression_escapes_kept_ = kept; }

    bool has_result() const noexcept { return result_.has_value(); }
    const std::optional<formula_result_t>& result() const noexcept { return result_; }
    // Public cell type of the result: 0 while there is none, 2 number, 3 text,
    // 4 boolean, 5 date-time, 6 error. A matrix has no cell type: formula_exception.
    int result_type() const;

    // A cell value becomes the result: numbers of any width as a number, a text
    // as an owned copy, an error value e as error code e + 1. An empty optional,
    // and a value that is no result (a formula cell), change nothing.
    // `escapes_kept`: a cached text read with escapes decoding kept as written,
    // which a save writes back unchanged; any other result is escaped anew.
    void set_result(const std::optional<cell_t::value_type>& value, bool escapes_kept = false);
    void set_result(formula_result_t value) {
        result_ = std::move(value);
        result_escapes_kept_ = 0;
        regained__();
    }
    bool result_escapes_kept() const noexcept { return result_escapes_kept_ && result_.has_value(); }
    // Marks the cell as not calculated.
    void clear_result() noexcept { result_.reset(); }
    // A change to what the formula reads made its result stale: it is dropped,
    // and until a new one comes the cell says so. False when it had none.
    bool drop_result() noexcept {
        if (!result_) return false;
        result_.reset();
        result_dropped_ = 1;
        return true;
    }
    bool result_dropped() const noexcept { return result_dropped_ && !result_; }
    // The tracker parked the formula when its result went: a result that comes
    // back brings it back, so that the next change to what it reads finds it.
    void mark_parked() noexcept { parked_ = 1; }

    model_context* owner() const noexcept { return owner_; }
    // The sheet reader builds cells before the sheet's model takes them.
    void set_owner(model_context* owner) noexcept { owner_ = owner; }

    // Runs the interpreter under the cell's lock and turns its final value into
    // the result; a reference to one cell gives the value that cell holds, and a
    // value that is no result (a wider range, say) keeps the earlier one.
    // Interpreter errors pass through with the result unchanged.
    void evaluate();
    // Rescans the formula for its cell references, without the lock.
    const std::vector<token_t>& get_reference_tokens();
    // The ranges of that scan, the reference tokens left as they were.
    std::vector<vex::range_t> reference_ranges();
    // The cells the formula covers: an array formula's ref range, else its own cell.
    vex::range_t formula_range() const noexcept;

    formula_cell_state state() const noexcept { return state_; }
    void set_state(formula_cell_state state) noexcept { state_ = state; }

    // The interpreter's final value, kept as it came; turning it into the cached
    // result is the evaluation step's to do.
    void store_value(operand_t value) { value_.emplace(std::move(value)); }
    const boxed_optional<operand_t>& stored_value() const noexcept { return value_; }

private:
    // The value a cell of the workbook holds as the result; nothing for an empty
    // cell, a formula cell or a sheet that is gone.
    void take_value_of__(const vex::coord_t& cell);
    void regained__() {
        if (parked_ && result_) unpark__();
    }
    void unpark__();

    static const formula_attributes_t& default_attributes() noexcept {
        static const formula_attributes_t defaults;
        return defaults;
    }

    // Imported attributes and the interpreter's value are usually absent and
    // large (80 and 112 bytes), so they live out of line. The lock and the state
    // share the word of the flags.
    model_context* owner_ = nullptr;
    vex::coord_t position_;
    std::string expression_;
    boxed_optional<formula_attributes_t> attributes_;
    std::optional<formula_result_t> result_;
    boxed_optional<operand_t> value_;

public:
    std::vector<token_t> tokens;            // the parsed expression
    std::vector<token_t> reference_tokens;  // one-cell ranges of its cell references
    uint8_t volatile_flag = 0;              // set when the formula calls NOW
    uint8_t parsed = 0;                     // tokens hold the parsed expression
    // What it reads cannot all be filed: a text read only in part, a name
    // whose text reads so. The tracker drops it on any change, as a volatile one.
    uint8_t unread_text = 0;   // set by the formula model when it files the cell
    uint8_t unread_names = 0;  // set by the reference scan
    // Filed to lose its result with any change: volatile, or read in part.
    bool drops_on_any_change() const noexcept { return volatile_flag || unread_text || unread_names; }

private:
    formula_cell_state state_ = formula_cell_state::created;
    uint8_t result_dropped_ = 0;  // meaningful while there is no result
    uint8_t parked_ = 0;
    uint8_t expression_escapes_kept_ = 0;
    uint8_t result_escapes_kept_ = 0;  // meaningful while there is a result
    cell_mutex_t mutex_;  // held for one evaluation
};

// How the cell store deletes a cell it owns: a cell the dependency tracker
// registered is first unregistered, so no entry outlives its formula.
struct formula_cell_deleter {
    void operator()(formula_cell* cell) const noexcept;
};

} // namespace vex::mta::formula

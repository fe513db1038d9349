#pragma once
// Evaluates one formula cell's tokens as the parser stored them (infix order):
// recursive descent by precedence over one operand stack. References stay
// references: no cell value is read and no built-in function is computed.

#include <cstdint>
#include <memory>

namespace vex::mta::formula {

class formula_cell;

// Functions whose result may change with any cell of the workbook, or with none.
bool is_volatile_function(uint32_t id) noexcept;

class formula_interpreter {
public:
    // The cell must have an owner: the interpreter reads the sheet through it.
    explicit formula_interpreter(formula_cell* cell);
    ~formula_interpreter();
    formula_interpreter(const formula_interpreter&) = delete;
    formula_interpreter& operator=(const formula_interpreter&) = delete;

    // Stores the formula's value in the cell and hands it the reference tokens met.
    // Throws formula_error (code 10 for an empty stack, code 3 for ":" on unfit
    // operands) and std::runtime_error for operations the engine does not compute.
    void evaluate();
    // Lists in the cell's reference tokens every cell, range and table column
    // the formula reads, each as the range it designates; a name adds what it
    // reads, through other names too, once however often it is named, from a
    // reading its store keeps for all readers. Flags a formula calling a
    // volatile function (NOW, INDIRECT, OFFSET and the like).
    void get_reference_tokens();
    // The same ranges, handed back; the cell's reference tokens stay as they were.
    std::vector<vex::range_t> reference_ranges();

    // Code of the last failure recorded: 3, 4, 10, 11 or 13; 0 before any.
    uint32_t error_code() const noexcept;

private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

} // namespace vex::mta::formula

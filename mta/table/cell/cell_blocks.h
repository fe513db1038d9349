#pragma once
// The element blocks of a column. Strings and errors get wrapper types of their
// own: a bare int32 would land in mdds's int32 block and read back as a number.
// Formula cells are owned by their block: overwriting or erasing an element
// deletes the cell.

#include "mta/formula/formula_cell.h"

#include <mdds/multi_type_vector.hpp>
#include <mdds/multi_type_vector/custom_func3.hpp>
#include <mdds/multi_type_vector/macro.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace vex::mta {

// A cell text: the index of the text in the workbook's string pool.
struct mtv_string_type {
    int32_t index = 0;
    friend bool operator==(const mtv_string_type&, const mtv_string_type&) = default;
};

// A cell error value, 0 "#NULL!" to 8 "#SPILL!".
struct mtv_error_type {
    int32_t code = 0;
    friend bool operator==(const mtv_error_type&, const mtv_error_type&) = default;
};

inline constexpr mdds::mtv::element_t element_type_string_index = mdds::mtv::element_type_user_start;
inline constexpr mdds::mtv::element_t element_type_formula = mdds::mtv::element_type_user_start + 1;
inline constexpr mdds::mtv::element_t element_type_error = mdds::mtv::element_type_user_start + 2;

using string_index_block = mdds::mtv::default_element_block<element_type_string_index, mtv_string_type>;
using error_block = mdds::mtv::default_element_block<element_type_error, mtv_error_type>;

// Like mdds's managed block, but never copied: a formula cell is not a value.
struct formula_block
    : mdds::mtv::noncopyable_element_block<formula_block, element_type_formula, formula::formula_cell*> {
    using base_type = mdds::mtv::noncopyable_element_block<formula_block, element_type_formula, formula::formula_cell*>;
    using base_type::get;
    using base_type::m_array;
    using base_type::set_value;

    formula_block() = default;
    explicit formula_block(size_t n) : base_type(n) {}
    template <typename Iter>
    formula_block(const Iter& begin, const Iter& end) : base_type(begin, end) {}
    ~formula_block() { std::for_each(m_array.begin(), m_array.end(), formula::formula_cell_deleter()); }

    static formula_block* create_block_with_value(size_t size, formula::formula_cell* cell) {
        // One cell cannot be owned by several positions.
        if (size > 1) throw mdds::mtv::element_block_error("a formula block cannot repeat a cell");
        auto block = std::make_unique<formula_block>(size);
        if (size == 1) set_value(*block, 0, cell);
        return block.release();
    }

    template <typename Iter>
    static formula_block* create_block_with_values(const Iter& begin, const Iter& end) {
        return new formula_block(begin, end);
    }

    static void overwrite_values(mdds::mtv::base_element_block& block, size_t pos, size_t len) {
        auto& array = get(block).m_array;
        std::for_each(array.begin() + pos, array.begin() + pos + len, formula::formula_cell_deleter());
    }
};

MDDS_MTV_DEFINE_ELEMENT_CALLBACKS(mtv_string_type, element_type_string_index, mtv_string_type{}, string_index_block)
MDDS_MTV_DEFINE_ELEMENT_CALLBACKS(mtv_error_type, element_type_error, mtv_error_type{}, error_block)

using cell_block_func = mdds::mtv::custom_block_func3<string_index_block, formula_block, error_block>;
// The values of a run of rows of one column; column_store_t keeps a column as runs of these.
using cell_run_store_t = mdds::multi_type_vector<cell_block_func>;

} // namespace vex::mta

namespace vex::mta::formula {
MDDS_MTV_DEFINE_ELEMENT_CALLBACKS_PTR(formula_cell, vex::mta::element_type_formula, nullptr, vex::mta::formula_block)
}

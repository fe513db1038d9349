#include "errors.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/table/table.h"

#include <mdds/multi_type_matrix.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace vex::mta {

namespace {

template <class Block>
auto block_begin(const mdds::mtv::base_element_block& data, size_t offset) {
    return Block::cbegin(data) + static_cast<std::ptrdiff_t>(offset);
}

// One run of equal-typed elements into matrix column `col` from row `row`, in one set.
void copy_block_to_matrix(const string_pool_t& pool, range_matrix_t& m, size_t col, size_t row,
                          const column_store_t::const_iterator& block, size_t offset, size_t n) {
    if (n == 0) return;
    const auto& data = block->data;
    switch (block->type) {
    case mdds::mtv::element_type_boolean: {
        const auto b = block_begin<mdds::mtv::boolean_element_block>(*data, offset);
        m.set(row, col, b, b + std::ptrdiff_t(n));
        break;
    }
    case mdds::mtv::element_type_int32: {
        const auto b = block_begin<mdds::mtv::int32_element_block>(*data, offset);
        m.set(row, col, b, b + std::ptrdiff_t(n));
        break;
    }
    case mdds::mtv::element_type_int64: {
        // The matrix has no 64-bit integers: they come as numbers.
        const auto b = block_begin<mdds::mtv::int64_element_block>(*data, offset);
        std::vector<double> values(b, b + std::ptrdiff_t(n));
        m.set(row, col, values.begin(), values.end());
        break;
    }
    case mdds::mtv::element_type_double: {
        const auto b = block_begin<mdds::mtv::double_element_block>(*data, offset);
        m.set(row, col, b, b + std::ptrdiff_t(n));
        break;
    }
    case element_type_string_index: {
        std::vector<std::string> texts;
        texts.reserve(n);
        const auto b = block_begin<string_index_block>(*data, offset);
        for (auto it = b; it != b + std::ptrdiff_t(n); ++it) texts.emplace_back(pool.string_at(it->index));
        m.set(row, col, texts.begin(), texts.end());
        break;
    }
    case element_type_error: {
        std::vector<std::string> texts;
        texts.reserve(n);
        const auto b = block_begin<error_block>(*data, offset);
        for (auto it = b; it != b + std::ptrdiff_t(n); ++it) texts.emplace_back(error_literal(it->code));
        m.set(row, col, texts.begin(), texts.end());
        break;
    }
    default:  // empty, formula cells
        break;
    }
}

} // namespace

range_matrix_t Table::get_range_value(const vex::range_t& given) const {
    // The table never reaches past the sheet limits.
    if (!is_valid_cell(given.first.row, given.first.col) || !is_valid_cell(given.last.row, given.last.col))
        throw mta_error("range out of the sheet.");
    const vex::range_t ordered = vex::range_t(given).order();
    const int r1 = ordered.first.row, r2 = ordered.last.row, c1 = ordered.first.col, c2 = ordered.last.col;
    const size_t rows = size_t(r2 - r1) + 1, cols = size_t(c2 - c1) + 1;

    int walked;
    {
        std::lock_guard lock(mutex_);
        walked = std::min(c2, columns_.count());
    }
    // Made at its full shape: mdds 2.0's resize cannot copy integer elements.
    // The columns past the last one made are never walked and stay empty.
    range_matrix_t m(rows, cols);
    for (int c = c1; c <= walked; ++c) {
        const column_store_t& cells = find_column(c)->cells();
        auto [block, offset] = cells.position(size_t(r1) - 1);
        for (size_t copied = 0; copied < rows; ++block, offset = 0) {
            const size_t n = std::min(rows - copied, block->size - offset);
            copy_block_to_matrix(get_string_pool(), m, size_t(c - c1), copied, block, offset, n);
            copied += n;
        }
    }
    return m;
}

} // namespace vex::mta

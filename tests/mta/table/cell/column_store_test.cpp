#include "mta/table/cell/column_store.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using vex::mta::cell_run_store_t;
using vex::mta::column_store_t;
using vex::mta::mtv_string_type;

// What a position holds, read the same way from either store.
template <class Store>
std::string held(const Store& s, size_t pos) {
    switch (s.get_type(pos)) {
    case mdds::mtv::element_type_empty: return "";
    case mdds::mtv::element_type_double: return std::to_string(s.template get<double>(pos));
    default: return "s" + std::to_string(s.template get<mtv_string_type>(pos).index);
    }
}

// Every position, and the walk over the blocks, agree with one plain store.
void expect_same(const column_store_t& c, const cell_run_store_t& plain, const std::string& step) {
    ASSERT_EQ(c.size(), plain.size()) << step;
    for (size_t p = 0; p < plain.size(); ++p) ASSERT_EQ(held(c, p), held(plain, p)) << step << " at " << p;
    size_t next = 0;
    for (const auto& block : c) {
        ASSERT_EQ(block.position, next) << step;
        const auto [at, offset] = c.position(block.position + block.size - 1);
        ASSERT_EQ(at->position, block.position) << step;
        ASSERT_EQ(offset, block.size - 1) << step;
        next += block.size;
    }
    ASSERT_EQ(next, plain.size()) << step;
    // A walk may start anywhere: from the middle row it still reaches the end.
    auto [from, offset] = c.position(plain.size() / 2);
    for (next = from->position; from != c.end(); ++from) {
        ASSERT_EQ(from->position, next) << step;
        next += from->size;
    }
    ASSERT_EQ(next, plain.size()) << step;
}

// A column of thousands of blocks, so that it is kept as many runs, edited as
// hosts edit: values set, cleared, rows opened and removed, moved to another
// column. Each step is checked against a plain store given the same edits.
TEST(column_store, many_runs_read_as_one_store) {
    constexpr size_t rows = 3000;
    column_store_t c(rows), other(rows);
    cell_run_store_t plain(rows), plain_other(rows);
    for (size_t p = 0; p < rows; p += 2) {
        c.set(p, double(p));
        plain.set(p, double(p));
    }
    expect_same(c, plain, "filled");
    std::mt19937 rng(7);
    const auto pick = [&](size_t n) { return size_t(rng() % n); };
    for (int step = 0; step < 240; ++step) {
        const size_t a = pick(rows), b = std::min(rows - 1, a + pick(200));
        switch (step % 6) {
        case 0:
            c.set(a, mtv_string_type{int32_t(step)});
            plain.set(a, mtv_string_type{int32_t(step)});
            break;
        case 1:
            c.set_empty(a, b);
            plain.set_empty(a, b);
            break;
        case 2:
            c.insert_empty(a, b - a + 1);
            c.resize(rows);
            plain.insert_empty(a, b - a + 1);
            plain.resize(rows);
            break;
        case 3:
            c.erase(a, b);
            c.resize(rows);
            plain.erase(a, b);
            plain.resize(rows);
            break;
        case 4: {
            const size_t to = pick(rows - (b - a));
            c.transfer(a, b, other, to);
            plain.transfer(a, b, plain_other, to);
            expect_same(other, plain_other, "moved out at step " + std::to_string(step));
            break;
        }
        default:
            for (size_t p = a; p <= b; p += 3) {
                c.set(p, double(step));
                plain.set(p, double(step));
            }
        }
        expect_same(c, plain, "step " + std::to_string(step));
    }
    c.set_empty(0, rows - 1);
    EXPECT_TRUE(c.all_empty());
    EXPECT_EQ(c.valued_end(), 0u);
    EXPECT_THROW(c.set(rows, 1.0), std::out_of_range);
}

} // namespace

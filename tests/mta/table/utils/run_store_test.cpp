#include "mta/table/utils/run_store.h"
#include "mta/types/rc_record.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <stdexcept>
#include <vector>

using vex::mta::run_store_t;

namespace {

struct key_of {
    uint16_t operator()(const int& v) const { return uint16_t(v); }
};

// Knows where the runs of each value start, as row and column records do.
using store_t = run_store_t<int, vex::mta::equal_values<int>, key_of>;
using runs = std::vector<std::pair<uint32_t, int>>;  // start, value

runs runs_of(const store_t& s) {
    runs out;
    for (const auto& r : s.runs()) out.emplace_back(r.start, r.value);
    return out;
}

} // namespace

TEST(run_store, edits_join_equal_neighbours) {
    store_t s(0, 14, 0);
    EXPECT_FALSE(s.run_index_of(-1) || s.run_index_of(15));
    for (auto [first, last, v] : {std::tuple(0, 4, 7), {9, 5, 8}, {10, 20, 7}}) s.assign(first, last, v);
    EXPECT_EQ(runs_of(s), (runs{{0, 7}, {5, 8}, {10, 7}}));
    s.erase(5, 9);  // the two 7-runs meet; the freed tail takes the default
    EXPECT_EQ(runs_of(s), (runs{{0, 7}, {10, 0}}));
    s.insert(1, 20);  // everything after 0 pushed off
    EXPECT_EQ(runs_of(s), (runs{{0, 7}, {1, 0}}));
    EXPECT_THROW(s.assign_spans({{10, 12, 1}, {11, 13, 2}}), std::invalid_argument);
}

TEST(run_store, random_edits_match_a_plain_model) {
    std::mt19937 rng(42);
    const auto pick = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
    for (int round = 0; round < 20; ++round) {
        const int first = round % 3, last = first + 40;
        store_t s(first, last, 0);
        std::vector<int> model(last - first + 1, 0);
        const auto fill = [&](int64_t a, int64_t b, int v) {
            for (int64_t i = std::max<int64_t>(a, first); i <= std::min<int64_t>(b, last); ++i) model[i - first] = v;
        };
        for (int step = 0; step < 150; ++step) {
            int a = pick(first, last), b = pick(first, last);
            if (a > b) std::swap(a, b);
            switch (rng() % 5) {
            case 0: {  // reversed, and now and then past either end
                const int lo = a - (rng() % 4 == 0 ? 5 : 0), hi = b + (rng() % 4 == 0 ? 5 : 0), v = pick(0, 2);
                s.assign(hi, lo, v);
                fill(lo, hi, v);
                break;
            }
            case 1:
                s.erase(a, b);
                model.erase(model.begin() + (a - first), model.begin() + (b - first) + 1);
                model.resize(last - first + 1, 0);
                break;
            case 2: {
                const int n = pick(1, 48);  // now and then past the end
                s.insert(a, n);
                model.insert(model.begin() + (a - first), n, 0);
                model.resize(last - first + 1);
                break;
            }
            case 3: {  // every other index, one by one, forth or back, as a host's loop
                const int v = pick(0, 2);
                const bool back = rng() % 2;
                for (int i = 0; i <= b - a; i += 2) {
                    const int at = back ? b - i : a + i;
                    s.assign(at, at, v);
                    fill(at, at, v);
                }
                break;
            }
            default: {
                std::vector<store_t::span_t> spans;
                for (int at = first - 2; at <= last + 2; at += pick(1, 8)) {  // sorted, apart
                    if (rng() % 2) continue;
                    spans.push_back({at, at + pick(0, 5), pick(0, 2)});
                    at = int(spans.back().last);
                }
                s.assign_spans(spans);
                for (const auto& sp : spans) fill(sp.first, sp.last, sp.value);
                break;
            }
            }
            // Sorted, from first, no two equal neighbours, the model's values.
            const auto& r = s.runs();
            ASSERT_EQ(int(r.front().start), first);
            for (size_t i = 1; i < r.size(); ++i) {
                ASSERT_LT(r[i - 1].start, r[i].start);
                ASSERT_NE(r[i - 1].value, r[i].value) << "equal neighbours at run " << i;
            }
            for (int i = first; i <= last; ++i) ASSERT_EQ(s.value_at(i), model[i - first]) << "index " << i;
            std::map<uint16_t, std::vector<uint32_t>> by_value, indexed;
            for (const auto& run : r) by_value[key_of{}(run.value)].push_back(run.start);
            indexed = s.starts_by_key();
            ASSERT_EQ(indexed, by_value) << "step " << step;
        }
    }
}

TEST(run_store, column_records_ignore_the_high_flag_bit) {
    using vex::mta::rc_record_t;
    run_store_t<rc_record_t, vex::mta::col_record_equal> cols(1, 10, {});
    cols.assign(3, 4, rc_record_t{0, 0x80});
    EXPECT_EQ(cols.runs().size(), 1u);
    run_store_t<rc_record_t, vex::mta::row_record_equal> rows(1, 10, {});
    rows.assign(3, 4, rc_record_t{0, 0x40});
    EXPECT_EQ(rows.runs().size(), 3u);
}

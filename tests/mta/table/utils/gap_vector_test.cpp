#include "mta/table/utils/gap_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using vex::mta::gap_vector;

// Inserts, erasures and cuts at random places against a plain vector: the
// room moves, grows and closes in every way.
TEST(gap_vector, random_edits_match_a_plain_vector) {
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        gap_vector<int> g;
        std::vector<int> model;
        int next = 0;
        for (int step = 0; step < 300; ++step) {
            const size_t n = model.size();
            const size_t at = n ? rng() % (n + 1) : 0;
            switch (rng() % 7) {
            case 0: {
                const size_t to = std::min(n, at + rng() % 6);
                g.erase(at, to);
                model.erase(model.begin() + long(at), model.begin() + long(to));
                break;
            }
            case 1:
                if (rng() % 4 == 0) {
                    g.truncate(at);
                    model.resize(std::min(n, at));
                }
                break;
            case 2:
                if (rng() % 8 == 0) {
                    model.assign(rng() % 5, next++);
                    g.assign(std::vector<int>(model));
                }
                break;
            default:
                g.insert(at, next);
                model.insert(model.begin() + long(at), next++);
            }
            ASSERT_EQ(g.size(), model.size()) << "step " << step;
            ASSERT_TRUE(std::equal(g.begin(), g.end(), model.begin(), model.end())) << "step " << step;
        }
    }
}

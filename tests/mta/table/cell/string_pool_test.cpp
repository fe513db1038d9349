#include "mta/table/cell/string_pool.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using vex::mta::string_pool_t;
using vex::mta::richtext_segment_t;
using vex::mta::richtext_t;

namespace {

richtext_t rich(std::vector<std::pair<std::string, bool>> runs) {
    richtext_t rt;
    for (auto& [text, bold] : runs) {
        richtext_segment_t s;
        s.text = text;
        s.font.bold = bold;
        rt.append(std::move(s));
    }
    return rt;
}

} // namespace

TEST(string_pool, one_index_per_text_and_the_preserve_flag_is_upgraded) {
    string_pool_t pool;
    const std::string abc = "abc";
    const int32_t i = pool.add_string(0, abc);
    EXPECT_EQ(pool.add_string(1, abc), i);
    EXPECT_EQ(pool.add_string(0, abc), i);
    uint32_t flag = 7;
    EXPECT_EQ(pool.string_at(i, &flag), abc);
    EXPECT_EQ(flag, 1u);  // asked for once: kept

    // White space at either end sets it without being asked.
    const std::string u = "edge";
    for (const std::string& edged : {u + " ", u + "\t", "\n" + u, u + "\r"}) {
        pool.string_at(pool.add_string(0, edged), &flag);
        EXPECT_EQ(flag, 1u) << edged;
    }
    pool.string_at(pool.add_string(0, "in ner"), &flag);
    EXPECT_EQ(flag, 0u);
}

TEST(string_pool, invalid_and_empty_indexes) {
    string_pool_t pool;
    EXPECT_NE(pool.string_at(pool.add_string(0, "")).data(), nullptr) << "the empty text has an entry";
    for (int32_t bad : {-1, static_cast<int32_t>(pool.size())}) {
        uint32_t flag = 9;
        EXPECT_EQ(pool.string_at(bad, &flag).data(), nullptr);
        EXPECT_EQ(flag, 9u);
        EXPECT_EQ(pool.rich_text_at(bad), nullptr);
        EXPECT_FALSE(pool.is_rich_text(bad));
    }
}

TEST(string_pool, rich_and_plain_entries_are_apart) {
    string_pool_t pool;
    const std::string a = "a", b = "bc";
    const int32_t plain = pool.add_string(0, a + b);
    const int32_t r1 = pool.add_rich_text(rich({{a, true}, {b, false}}));
    EXPECT_NE(plain, r1);
    EXPECT_FALSE(pool.is_rich_text(plain));
    EXPECT_TRUE(pool.is_rich_text(r1));
    EXPECT_EQ(pool.string_at(r1), a + b);
    EXPECT_EQ(pool.rich_text_at(r1)->segments_num(), 2u);

    // Same plain text, other runs: an entry of its own, found again each time.
    const int32_t r2 = pool.add_rich_text(rich({{a, false}, {b, true}}));
    EXPECT_NE(r2, r1);
    const size_t size = pool.size();
    EXPECT_EQ(pool.add_rich_text(rich({{a, false}, {b, true}})), r2);
    EXPECT_EQ(pool.add_rich_text(rich({{a, true}, {b, false}})), r1);
    EXPECT_EQ(pool.size(), size);
}

// A text read with an escape kept as written (NUL) is not the same text set
// by a host, which only looks like it.
TEST(string_pool, read_escapes_and_look_alikes_are_apart) {
    string_pool_t pool;
    const int32_t set = pool.add_string(0, "a_x0000_");
    const int32_t read = pool.add_string(0, "a_x0000_", true);
    EXPECT_NE(set, read);
    EXPECT_EQ(pool.add_string(0, "a_x0000_", true), read);
    EXPECT_EQ(pool.add_string(0, "a_x0000_"), set);
    for (const auto& [index, kept] : {std::pair{set, false}, std::pair{read, true}}) {
        bool got = !kept;
        EXPECT_EQ(pool.string_at(index, nullptr, &got), "a_x0000_");
        EXPECT_EQ(got, kept);
    }
}

// Readings go with the text: two texts read alike otherwise stay two entries.
TEST(string_pool, texts_with_other_readings_are_apart) {
    string_pool_t pool;
    vex::mta::phonetic_text_t tokyo;
    tokyo.runs.push_back({0, 2, 0, "トウキョウ", false});
    vex::mta::phonetic_text_t other = tokyo;
    other.runs[0].end = 1;
    const vex::mta::phonetic_text_t none;
    const int32_t plain = pool.add_string(0, "東京");
    const int32_t read = pool.add_string(0, "東京", false, &tokyo);
    EXPECT_NE(read, plain);
    EXPECT_NE(pool.add_string(0, "東京", false, &other), read);
    EXPECT_EQ(pool.add_string(0, "東京", false, &tokyo), read);
    EXPECT_EQ(pool.add_string(0, "東京", false, &none), plain);
    EXPECT_EQ(pool.phonetic_at(plain), nullptr);
    ASSERT_NE(pool.phonetic_at(read), nullptr);
    EXPECT_EQ(*pool.phonetic_at(read), tokyo);
    EXPECT_EQ(pool.string_at(read), "東京");

    const int32_t rich_read = pool.add_rich_text(rich({{"東", true}, {"京", false}}), &tokyo);
    EXPECT_NE(pool.add_rich_text(rich({{"東", true}, {"京", false}})), rich_read);
    EXPECT_EQ(pool.add_rich_text(rich({{"東", true}, {"京", false}}), &tokyo), rich_read);
}

TEST(string_pool, texts_keep_their_address_while_the_pool_grows) {
    string_pool_t pool;
    const std::string text = "stable";
    const int32_t i = pool.add_string(0, text);
    const char* before = pool.string_at(i).data();
    for (int k = 0; k < 5000; ++k) pool.add_string(0, "filler" + std::to_string(k));
    EXPECT_EQ(pool.string_at(i).data(), before);
    EXPECT_EQ(std::string(before), text);
}

TEST(string_pool, threads_interning_the_same_texts_get_one_index_each) {
    string_pool_t pool;
    std::vector<std::string> words;
    for (int k = 0; k < 500; ++k) words.push_back(vex::concat({"w", std::to_string(k)}));
    const size_t before = pool.size();

    constexpr int threads = 8;
    std::vector<std::vector<int32_t>> got(threads, std::vector<int32_t>(words.size()));
    std::vector<std::thread> pool_threads;
    for (int t = 0; t < threads; ++t) {
        pool_threads.emplace_back([&, t] {
            // Each thread in its own order.
            for (size_t i = 0; i < words.size(); ++i) {
                const size_t k = (i * 7 + size_t(t) * 61) % words.size();
                got[t][k] = pool.add_string(t % 2, words[k]);
            }
        });
    }
    for (auto& th : pool_threads) th.join();

    EXPECT_EQ(pool.size(), before + words.size());
    for (int t = 1; t < threads; ++t) EXPECT_EQ(got[t], got[0]);
    for (size_t k = 0; k < words.size(); ++k) EXPECT_EQ(pool.string_at(got[0][k]), words[k]);
}

TEST(string_pool, key_hash_tells_plain_from_rich) {
    const vex::shared_string_key_hash h;
    EXPECT_EQ(h({"abc", false}), 0xe6afccd19ca6dff9ull);
    EXPECT_EQ(h({"abc", true}), 0xe6afccd1cb544b4full);
}

// Through many growths of the index: every text, plain or rich, is found at
// the index it was given, and a pool taken over keeps them.
TEST(string_pool, many_texts_are_found_again_after_the_index_grows) {
    string_pool_t pool;
    std::vector<int32_t> plain, styled;
    for (int k = 0; k < 20000; ++k) {
        plain.push_back(pool.add_string(0, vex::concat({"t", std::to_string(k)})));
        if (k % 10 == 0)
            styled.push_back(pool.add_rich_text(rich({{vex::concat({"t", std::to_string(k)}), k % 20 == 0}})));
    }
    EXPECT_EQ(pool.size(), 22000u);
    for (int k = 0; k < 20000; ++k) {
        ASSERT_EQ(pool.add_string(0, vex::concat({"t", std::to_string(k)})), plain[size_t(k)]) << k;
        if (k % 10 == 0) {
            ASSERT_EQ(pool.add_rich_text(rich({{vex::concat({"t", std::to_string(k)}), k % 20 == 0}})), styled[size_t(k / 10)])
                << k;
        }
    }
    string_pool_t taker;
    ASSERT_TRUE(taker.adopt(pool));
    EXPECT_EQ(pool.size(), 0u);
    EXPECT_EQ(taker.add_string(0, "t123"), plain[123]);
    EXPECT_EQ(taker.size(), 22000u);
    EXPECT_EQ(pool.add_string(0, "t123"), 0);  // the emptied pool starts afresh
    EXPECT_FALSE(taker.adopt(pool));
}

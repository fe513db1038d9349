// Hosts calling from several threads: each thread on its own handles of one
// document, or on two documents that hand each other styles and rich text.
// The faults show under AddressSanitizer (build-san) and ThreadSanitizer
// (scripts/test.sh --tsan); a plain build crashes on some of them.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using api_test::book_t;

// ThreadSanitizer runs each round many times slower, and sees a race without
// the crash that AddressSanitizer needs.
#if defined(__SANITIZE_THREAD__)
constexpr int slowdown = 5;
#else
constexpr int slowdown = 1;
#endif

constexpr int rounds(int plain) { return plain / slowdown > 0 ? plain / slowdown : 1; }

// `main_work` runs `count` rounds on this thread while `side_work` repeats on
// another, from before the first round until after the last. After each of
// its rounds the side waits a moment for a round of the main thread: taking
// the document's lock again the instant it let it go, a slow side round
// (sanitized builds) kept the main thread waiting for minutes.
void race(int count, const std::function<void(int)>& main_work, const std::function<void(int)>& side_work) {
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::atomic<int> main_rounds{0};
    std::thread side([&] {
        for (int i = 0; !done.load(std::memory_order_relaxed); ++i) {
            const int seen = main_rounds.load();
            side_work(i);
            started = true;
            for (int spin = 0; spin < 2000 && main_rounds.load() == seen && !done.load(); ++spin)
                std::this_thread::yield();
        }
    });
    while (!started) std::this_thread::yield();
    for (int i = 0; i < count; ++i) {
        main_work(i);
        ++main_rounds;
    }
    done = true;
    side.join();
}

std::string temp_path(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("plover_threads_") + name + ".xlsx")).string();
}

struct saved_file_t {
    std::string path;
    explicit saved_file_t(const char* name) : path(temp_path(name)) {}
    ~saved_file_t() { std::remove(path.c_str()); }
};

} // namespace

// The fixed names above are safe only in a folder no other run of the suite shares.
TEST(threads, files_are_named_in_a_temporary_folder_of_this_process) {
    const std::string folder = std::filesystem::temp_directory_path().filename().string();
    EXPECT_EQ(folder.rfind("plover_tests_", 0), 0u) << folder;
}

// Fault 1: the save walks every sheet while another thread edits one.
TEST(threads, save_while_a_sheet_is_edited) {
    using edit_t = void (*)(plover_worksheet_t*, int);
    const struct {
        const char* name;
        edit_t edit;
    } editors[] = {
        {"values",
         [](plover_worksheet_t* ws, int i) {
             ws_set_text(ws, 1 + i % 300, 1, "text");
             ws_set_num(ws, 1 + i % 300, 2, i);
         }},
        {"rows",
         [](plover_worksheet_t* ws, int i) {
             if (i % 2) ws_delete_row(ws, 2, 2);
             else ws_insert_row(ws, 2, 1);
             ws_set_custom_row_height(ws, 1 + i % 50, 1 + i % 50, 20.0, 0);
         }},
    };
    for (const auto& e : editors) {
        SCOPED_TRACE(e.name);
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "S1");
        ASSERT_NE(ws, nullptr);
        for (int r = 1; r <= 200; ++r) ws_set_num(ws, r, 1, r);
        saved_file_t file(e.name);
        race(rounds(40), [&](int) { EXPECT_EQ(doc_save(b.doc, file.path.c_str()), 1) << run_msg(); },
             [&](int i) { e.edit(ws, i); });
    }
}

// Fault 2: a row shift on one sheet rewrites the formulas of every sheet.
TEST(threads, row_shift_beside_formulas_on_another_sheet) {
    book_t b;
    plover_worksheet_t* s1 = wb_add_worksheet(b.wb, "S1");
    plover_worksheet_t* s2 = wb_add_worksheet(b.wb, "S2");
    ASSERT_NE(s2, nullptr);
    for (int r = 1; r <= 50; ++r) ws_set_num(s1, r, 1, r);
    ASSERT_EQ(ws_set_formula(s2, 1, 1, "A1+B2*2"), 1);
    race(rounds(4000),
         [&](int i) {
             if (i % 2) ws_delete_row(s1, 3, 3);
             else ws_insert_row(s1, 3, 1);
         },
         [&](int i) { ws_set_formula(s2, 1 + i % 200, 1, "A1+B2*2"); });
    EXPECT_STREQ(ws_get_formula_expr(s2, 1, 1), "A1+B2*2");
}

// Fault 3: the workbook's names are kept through its first sheet, which
// another thread deletes.
TEST(threads, defined_names_while_the_first_sheet_goes) {
    book_t b;
    ASSERT_NE(wb_add_worksheet(b.wb, nullptr), nullptr);
    race(rounds(20000), [&](int i) { wb_set_defined_name(b.wb, ("name_" + std::to_string(i % 20)).c_str(), "1", nullptr); },
         [&](int) {
             wb_add_worksheet(b.wb, nullptr);
             wb_delete_sheet(b.wb, 0);
         });
    EXPECT_EQ(wb_defined_name_num(b.wb), 20);
}

// Fault 4: a formula reads a name while the workbook handle deletes it.
TEST(threads, formula_using_a_name_being_deleted) {
    book_t b;
    ASSERT_NE(wb_add_worksheet(b.wb, "S1"), nullptr);
    plover_worksheet_t* s2 = wb_add_worksheet(b.wb, "S2");
    ASSERT_NE(s2, nullptr);
    race(rounds(20000), [&](int i) { ws_set_formula(s2, 1 + i % 100, 1, "nm*2+nm"); },
         [&](int) {
             wb_set_defined_name(b.wb, "nm", "S1!$A$1:$B$2", nullptr);
             wb_delete_defined_name(b.wb, 0);
         });
    EXPECT_STREQ(ws_get_formula_expr(s2, 1, 1), "nm*2+nm");
}

// Tables come and go in one document while names are defined beside a table
// of another: each workbook's sheets holding tables are kept by one registry.
TEST(threads, tables_in_one_document_names_in_another) {
    book_t a, b;
    plover_worksheet_t* passing = wb_add_worksheet(a.wb, "A1");
    wb_add_worksheet(b.wb, "B1");
    ASSERT_NE(ws_add_tabledef(wb_add_worksheet(b.wb, "B2"), "Held", 1, 1, 3, 2), nullptr) << run_msg();
    race(rounds(4000),
         [&](int) {
             EXPECT_EQ(wb_set_defined_name(b.wb, "held", "B1!$A$1", "B1"), 0);
             EXPECT_EQ(wb_set_defined_name(b.wb, "Free", "B1!$A$1", "B1"), 1);
             wb_delete_defined_name(b.wb, 0);
         },
         [&](int) {
             ws_add_tabledef(passing, "Passing", 1, 1, 3, 2);
             ws_delete_tabledef(passing, "Passing");
         });
    EXPECT_EQ(wb_defined_name_num(b.wb), 0);
}

// Clean before the document lock, kept so: one document per thread shares only
// the process-wide tables.
TEST(threads, one_document_per_thread) {
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            book_t b;
            plover_worksheet_t* s1 = wb_add_worksheet(b.wb, "S1");
            plover_worksheet_t* s2 = wb_add_worksheet(b.wb, "S2");
            for (int i = 0; i < rounds(400); ++i) {
                ws_set_num(s1, 1 + i % 50, 1, i);
                ws_set_formula(s2, 1 + i % 50, 1, "S1!A1*2");
                if (i % 2) ws_delete_row(s1, 2, 2);
                else ws_insert_row(s1, 2, 1);
            }
            saved_file_t file(("own" + std::to_string(t)).c_str());
            if (doc_save(b.doc, file.path.c_str()) == 1) ++good;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(good.load(), 4);
}

// Many threads on one sheet, each on its own rows.
TEST(threads, many_threads_on_one_sheet) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "S1");
    ASSERT_NE(ws, nullptr);
    constexpr int thread_count = 4;
    const int per_thread = rounds(2000);
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) {
                ws_set_num(ws, 1 + i % 100, 1 + t, i);
                ws_set_text(ws, 1 + i % 100, 11 + t, "x");
            }
        });
    for (auto& t : threads) t.join();
    const int last = per_thread - 1;
    for (int t = 0; t < thread_count; ++t) {
        EXPECT_EQ(ws_get_num(ws, 1 + last % 100, 1 + t), last);
        EXPECT_STREQ(ws_get_text(ws, 1, 11 + t), "x");
    }
}

// One thread writes the top of a column, numbers and texts in turn, while the
// other inserts and deletes a row further down: both rebuild the column's
// block list, so each call must hold the document lock for the whole of it.
TEST(threads, cells_written_while_rows_move_below_them) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "S1");
    ASSERT_NE(ws, nullptr);
    ASSERT_EQ(ws_set_num(ws, 200, 1, 1), 1);
    constexpr int rows = 64;
#if defined(__SANITIZE_ADDRESS__)
    const int passes = 500;  // each call is far slower, and the sanitizer sees a fault at once
#else
    const int passes = rounds(10000);
#endif
    race(
        passes,
        [&](int pass) {
            for (int row = 1; row <= rows; ++row) {
                if (row % 2) ws_set_num(ws, row, 1, pass);
                else ws_set_text(ws, row, 1, pass % 2 ? "odd" : "even");
            }
        },
        [&](int) {
            ws_insert_row(ws, 100, 1);
            ws_delete_row(ws, 100, 100);
        });
    const char* last_text = (passes - 1) % 2 ? "odd" : "even";
    for (int row = 1; row <= rows; ++row) {
        if (row % 2)
            EXPECT_EQ(ws_get_num(ws, row, 1), passes - 1) << row;
        else
            EXPECT_STREQ(ws_get_text(ws, row, 1), last_text) << row;
    }
    EXPECT_EQ(ws_get_num(ws, 200, 1), 1);
}

// Two documents hand each other styles and rich text from two threads: each
// call reads the other document's handle under its own mutex, never under the
// other document's lock, so neither waits for the other.
TEST(threads, styles_and_rich_text_across_documents_both_ways) {
    book_t a, b;
    plover_worksheet_t* wa = wb_add_worksheet(a.wb, "A");
    plover_worksheet_t* wbs = wb_add_worksheet(b.wb, "B");
    ASSERT_NE(wa, nullptr);
    ASSERT_NE(wbs, nullptr);
    plover_style_t* sa = wb_make_normal_style(a.wb);
    plover_style_t* sb = wb_make_normal_style(b.wb);
    plover_richtext_t* ra = wb_make_richtext(a.wb);
    plover_richtext_t* rb = wb_make_richtext(b.wb);
    ASSERT_EQ(style_set_numfmt(sa, "0.000%"), 164);
    ASSERT_EQ(style_set_numfmt(sb, "#,##0.0000"), 164);
    rt_append(ra, "a", sa);
    rt_append(rb, "b", sb);
    for (const auto& [book, style] : {std::pair{a.wb, sa}, std::pair{b.wb, sb}})
        style_release(wb_add_custom_style(book, "mine", style));
    // One direction on each thread: A's sheet takes B's handles, B's takes A's.
    const auto cross = [](plover_workbook_t* book, plover_worksheet_t* ws, plover_style_t* mine,
                          plover_style_t* theirs, plover_richtext_t* their_text, int i) {
        ws_set_cell_style(ws, 1 + i % 20, 1, theirs);
        ws_set_range_style(ws, 1, 2, 3, 3, theirs);
        ws_set_row_style(ws, 30, 30, theirs);
        ws_set_richtext(ws, 1 + i % 20, 4, their_text);
        style_set_bold(mine, i % 2);
        wb_modify_named_style(book, "mine", mine);
        if (i % 50 == 0) {
            plover_style_t* added = wb_add_custom_style(book, std::string("c").append(std::to_string(i)).c_str(), theirs);
            if (added) style_release(added);
        }
    };
    race(rounds(2000), [&](int i) { cross(a.wb, wa, sa, sb, rb, i); },
         [&](int i) { cross(b.wb, wbs, sb, sa, ra, i); });
    race(rounds(1000), [&](int) { rt_append(ra, "y", sb); }, [&](int) { rt_append(rb, "z", sa); });
    plover_style_t* got = ws_get_cell_style(wa, 1, 1);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(style_numfmt_code(got), "#,##0.0000");
    style_release(got);
}

// ws_get_richtext hands each thread its own object: another thread's call on
// another sheet no longer frees the one this thread reads.
TEST(threads, rich_texts_read_on_two_threads_stay_each_threads_own) {
    book_t b;
    plover_worksheet_t* s1 = wb_add_worksheet(b.wb, "S1");
    plover_worksheet_t* s2 = wb_add_worksheet(b.wb, "S2");
    ASSERT_NE(s2, nullptr);
    plover_style_t* normal = wb_make_normal_style(b.wb);
    for (const auto& [ws, text] : {std::pair{s1, "first"}, std::pair{s2, "second"}}) {
        plover_richtext_t* rt = wb_make_richtext(b.wb);
        rt_append(rt, text, normal);
        ASSERT_EQ(ws_set_richtext(ws, 1, 1, rt), 1) << run_msg();
        rt_release(rt);
    }
    style_release(normal);
    plover_richtext_t* mine = ws_get_richtext(s1, 1, 1);
    std::thread([&] { EXPECT_STREQ(rt_plain_text(ws_get_richtext(s2, 1, 1)), "second"); }).join();
    EXPECT_STREQ(rt_plain_text(mine), "first");
    race(rounds(2000), [&](int) { EXPECT_STREQ(rt_plain_text(ws_get_richtext(s1, 1, 1)), "first"); },
         [&](int) { EXPECT_STREQ(rt_plain_text(ws_get_richtext(s2, 1, 1)), "second"); });
}

// A setter's recalculation follows the volatile formulas of every document in
// the process; it must not read the sheets of one another thread releases.
TEST(threads, recalculation_beside_a_document_being_released) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "S1");
    ASSERT_NE(ws, nullptr);
    race(rounds(40000), [&](int n) { ws_set_formula(ws, 1 + n % 100, 1, "B1+1"); },
         [](int) {
             plover_document_t* doc = create_document();
             plover_worksheet_t* other = wb_add_worksheet(doc_get_workbook(doc), nullptr);
             ws_set_formula(other, 1, 1, "NOW()");
             doc_release(doc);
         });
    EXPECT_STREQ(ws_get_formula_expr(ws, 100, 1), "B1+1");
}

// A document loaded, edited and released over and over beside a thread setting
// formulas on a sheet of its own: each load files its formulas at once, and a
// value set after it drops the results reading it.
TEST(threads, loads_beside_formulas_set_on_another_thread) {
    saved_file_t file("loaded");
    {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "S1");
        for (int r = 1; r <= 100; ++r) {
            ws_set_num(ws, r, 1, r);
            ws_set_formula(ws, r, 2, ("A" + std::to_string(r) + "*2+SUM($A$1:A" + std::to_string(r) + ")").c_str());
            ws_set_formula_num(ws, r, 2, 1);
        }
        ASSERT_EQ(doc_save(b.doc, file.path.c_str()), 1) << run_msg();
    }
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "S1");
    std::atomic<int> stale{0};
    race(rounds(20000),
         [&](int n) {
             ws_set_formula(ws, 1 + n % 100, 2, "A1+1");
             ws_set_num(ws, 1, 1, n);
         },
         [&](int) {
             plover_document_t* doc = load_document(file.path.c_str());
             plover_worksheet_t* loaded = doc ? wb_get_sheet(doc_get_workbook(doc), 0) : nullptr;
             if (!loaded || (ws_set_num(loaded, 1, 1, 5), ws_cell_type(loaded, 100, 2) == CELLTYPE_NUMBER)) ++stale;
             doc_release(doc);
         });
    EXPECT_EQ(stale.load(), 0);
}

// The document lock as a C++ host meets it through the interfaces: every handle
// of a document waits for it, the thread holding it calls through, and a
// handle of another document is read without it.
#include "kestrel/interface/document_lock.h"

#include "kestrel/interface/workbook_impl.h"
#include "plover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct book_t {
    plover_document_t* handle = doc_create();
    vex::iDocument* doc = handle;
    vex::iWorkbook_impl* wb = static_cast<vex::iWorkbook_impl*>(doc->get_workbook());
    vex::iWorksheet* ws = wb->add_worksheet("S");
    book_t() = default;
    book_t(const book_t&) = delete;
    book_t& operator=(const book_t&) = delete;
    ~book_t() { doc_release(handle); }
};

} // namespace

TEST(document_lock, every_handle_waits_for_it_and_its_holder_calls_through) {
    book_t b;
    ASSERT_NE(b.ws, nullptr);
    vex::iStyle* style = b.wb->make_normal_style();
    vex::iRichtext* text = b.wb->make_richtext();
    vex::iTabledef* table = b.ws->add_tabledef("T", 1, 1, 3, 2);
    ASSERT_NE(table, nullptr);
    const std::string path = (std::filesystem::temp_directory_path() / "plover_document_lock.xlsx").string();
    const std::vector<std::function<void()>> calls = {
        [&] { b.ws->set_num(5, 1, 1); },
        [&] { b.ws->set_zoom(120); },
        [&] { b.wb->set_defined_name("nm", "1", nullptr); },
        [&] { style->set_bold(true); },
        [&] { text->append("x", style); },
        [&] { table->set_comment("c"); },
        [&] { b.doc->save(path.c_str()); },
    };

    std::unique_lock held(b.wb->document_lock(), std::defer_lock);
    for (size_t i = 0; i < calls.size(); ++i) {
        held.lock();
        calls[i]();  // the holder is not kept waiting
        std::atomic<bool> started{false};
        std::atomic<bool> done{false};
        std::thread other([&] {
            started = true;
            calls[i]();
            done = true;
        });
        while (!started) std::this_thread::yield();
        // Time for a call that does not wait to finish; one that waits cannot.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(done.load()) << "call " << i << " ran beside the holder";
        held.unlock();
        other.join();
        EXPECT_TRUE(done.load());
    }
    std::filesystem::remove(path);
}

// A lock held on one document never stops a call on another that is handed
// this document's style or rich text: neither waits for the other.
TEST(document_lock, a_handle_of_another_document_is_read_without_its_lock) {
    book_t a, b;
    vex::iStyle* style = a.wb->make_normal_style();
    vex::iRichtext* text = a.wb->make_richtext();
    ASSERT_EQ(style->set_numfmt("0.000%"), 164);
    text->append("a", style);
    std::unique_lock held(a.wb->document_lock());
    std::thread other([&] {
        b.ws->set_cell_style(1, 1, style);
        b.ws->set_range_style(2, 1, 3, 2, style);
        b.ws->set_row_style(4, 4, style);
        b.ws->set_richtext(5, 1, text);
        b.wb->add_custom_style("from a", style);
        b.wb->modify_named_style("from a", style);
        b.wb->make_richtext()->append("b", style);
    });
    other.join();
    held.unlock();
    EXPECT_STREQ(b.ws->cell_style(1, 1)->numfmt_code(), "0.000%");
    EXPECT_STREQ(b.ws->get_text(5, 1), "a");
}

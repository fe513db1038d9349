// Creating, loading, saving and releasing documents as a host does, through
// the shared library.
#include "plover.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Leaves "Wrong cell reference: 1" as the last message.
void set_marker() { a1_to_row_col("1", nullptr, nullptr); }

struct scratch_dir {
    fs::path path;
    scratch_dir() {
        std::string t = (fs::temp_directory_path() / "plover_api_XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~scratch_dir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

const std::string excel = std::string(PLOVER_EXCEL);

} // namespace

TEST(document_lifecycle, created_documents_refuse_to_save_without_sheet_or_path) {
    plover_document_t* a = doc_create();
    plover_document_t* b = create_document();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    plover_workbook_t* wb = doc_get_workbook(a);
    ASSERT_NE(wb, nullptr);
    EXPECT_EQ(doc_get_workbook(a), wb);
    EXPECT_EQ(doc_save(a, "never.xlsx"), 0);
    EXPECT_STREQ(run_msg(), "At least one worksheet needs to be added.");
    ASSERT_NE(wb_add_worksheet(wb, nullptr), nullptr);
    EXPECT_EQ(doc_save(a, nullptr), 0);
    EXPECT_STREQ(run_msg(), "Saved file name can not be empty.");
    EXPECT_EQ(doc_save(a, "bad \xC3("), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_EQ(wb_add_worksheet(wb, "bad \xC3("), nullptr);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_FALSE(fs::exists("never.xlsx"));
    doc_release(a);
    doc_release(b);
}

TEST(document_lifecycle, loads_refuse_what_is_not_an_unopened_package) {
    scratch_dir dir;
    std::ofstream(dir / "text.xlsx") << "plain text";
    fs::create_directory(dir / "folder.xlsx");
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(doc_load(path), nullptr);
        EXPECT_STREQ(run_msg(), "The file name can not be empty.");
    }
    EXPECT_EQ(doc_load("bad \xC3("), nullptr);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    for (const std::string& path :
         {dir / "missing.xlsx", dir / "folder.xlsx", dir / "none/x.xlsx", dir / "text.xlsx/x.xlsx"}) {
        set_marker();
        EXPECT_EQ(load_document(path.c_str()), nullptr);
        EXPECT_STREQ(run_msg(), "The file name can not be empty.") << path;
    }
    EXPECT_EQ(load_document((dir / "text.xlsx").c_str()), nullptr);
    EXPECT_EQ(std::string(run_msg()), "archive error: Unrecognized file type: " + (dir / "text.xlsx"));

    const std::string book = excel + "autofilter00.xlsx";
    set_marker();
    const std::string before = run_msg();
    plover_document_t* doc = load_document(book.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    EXPECT_EQ(run_msg(), before);  // a successful load says nothing
    EXPECT_EQ(doc_load(book.c_str()), nullptr);
    EXPECT_EQ(std::string(run_msg()), "File " + book + " has been loaded.");
    doc_release(doc);
    doc = doc_load(book.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    doc_release(doc);
}

// Creating, loading, saving and releasing documents as a host does, through
// the shared library.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Leaves "Wrong cell reference: 1" as the last message.
void set_marker() { a1_to_row_col("1", nullptr, nullptr); }

using api_test::scratch_dir;

const std::string excel = std::string(PLOVER_EXCEL);

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The file type at path, links not followed; 0 when nothing is there.
unsigned type_at(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

plover_document_t* one_sheet_book() {
    plover_document_t* doc = doc_create();
    ws_set_num(wb_add_worksheet(doc_get_workbook(doc), "Data"), 1, 1, 1);
    return doc;
}

// Each path is refused with the message and stays what it was; nothing is
// left beside it.
void expect_refused_saves(plover_document_t* doc, const fs::path& dir, const std::vector<std::string>& paths) {
    const auto entries = [&] { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); };
    const auto before = entries();
    for (const std::string& path : paths) {
        const unsigned type = type_at(path);
        EXPECT_EQ(doc_save(doc, path.c_str()), 0) << path;
        EXPECT_EQ(std::string(run_msg()), "The saved file must be a regular file: " + path);
        EXPECT_EQ(type_at(path), type) << path;
    }
    EXPECT_EQ(entries(), before);
}

// The working folder for a while; the one before is restored.
struct in_folder {
    fs::path was = fs::current_path();
    explicit in_folder(const fs::path& dir) { fs::current_path(dir); }
    ~in_folder() { fs::current_path(was); }
};

// A book of one sheet whose A1 holds value, saved at path.
void save_marked_book(const std::string& path, double value) {
    plover_document_t* doc = doc_create();
    ws_set_num(wb_add_worksheet(doc_get_workbook(doc), "Data"), 1, 1, value);
    EXPECT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
}

// A1 of the book at path; -1 when it does not load.
double marked_value(const std::string& path) {
    plover_document_t* doc = doc_load(path.c_str());
    const double value = doc ? ws_get_num(wb_get_sheet(doc_get_workbook(doc), 0), 1, 1) : -1;
    if (doc) doc_release(doc);
    return value;
}

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
        EXPECT_EQ(std::string(run_msg()), "archive error: Unrecognized file type: " + path);
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

TEST(document_lifecycle, saves_write_through_links_and_refuse_what_is_not_a_regular_file) {
    scratch_dir dir;
    plover_document_t* doc = one_sheet_book();
    const std::string real = dir / "real.xlsx";
    ASSERT_EQ(doc_save(doc, real.c_str()), 1) << run_msg();
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string first = slurp(real);
    fs::create_symlink("real.xlsx", dir / "link.xlsx");
    fs::create_symlink(dir / "link.xlsx", dir / "chain.xlsx");
    fs::create_symlink("later.xlsx", dir / "dangling.xlsx");
    ws_set_num(wb_get_sheet(doc_get_workbook(doc), 0), 1, 1, 2);
    // Relative or absolute, through another link or to no file yet: followed,
    // and the link stays.
    for (const char* name : {"link.xlsx", "chain.xlsx", "dangling.xlsx"}) {
        EXPECT_EQ(doc_save(doc, (dir / name).c_str()), 1) << name << ": " << run_msg();
        EXPECT_EQ(type_at(dir / name), S_IFLNK) << name;
    }
    EXPECT_NE(slurp(real), first);
    EXPECT_EQ(slurp(dir / "later.xlsx"), slurp(real));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A FIFO (its reader would get nothing), a folder, a link to the FIFO, a socket.
    ASSERT_EQ(::mkfifo((dir / "pipe.xlsx").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.xlsx");
    fs::create_symlink("pipe.xlsx", dir / "to_pipe.xlsx");
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string socket_path = dir / "sock.xlsx";
    ASSERT_LT(socket_path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, socket_path.c_str(), socket_path.size() + 1);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    const std::string held = slurp(real);
    expect_refused_saves(doc, dir.path, {dir / "pipe.xlsx", dir / "folder.xlsx", dir / "to_pipe.xlsx", socket_path});
    ::close(sock);
    EXPECT_EQ(slurp(real), held);
    // The registered path stays the last one saved: the dangling link's.
    fs::remove(dir / "later.xlsx");
    EXPECT_EQ(doc_save(doc, nullptr), 1) << run_msg();
    EXPECT_EQ(type_at(dir / "later.xlsx"), S_IFREG);
    doc_release(doc);
}

// Never a real device: a node with /dev/full's numbers in the scratch folder.
TEST(document_lifecycle, saving_over_a_character_device_is_refused) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a character device needs root; not run";
    scratch_dir dir;
    const std::string device = dir / "full.xlsx";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "mknod refused here (" << std::strerror(errno) << "); not run";
    plover_document_t* doc = one_sheet_book();
    expect_refused_saves(doc, dir.path, {device});
    doc_release(doc);
}

TEST(document_lifecycle, a_released_document_is_refused_by_every_doc_function) {
    scratch_dir dir;
    const std::string path = dir / "never.xlsx";
    const std::string closed = "The document is not open: released or never made.";
    plover_document_t* doc = one_sheet_book();
    doc_release(doc);
    int stranger = 0;
    for (plover_document_t* gone : {doc, reinterpret_cast<plover_document_t*>(&stranger)}) {
        set_marker();
        EXPECT_EQ(doc_get_workbook(gone), nullptr);
        EXPECT_EQ(run_msg(), closed);
        set_marker();
        EXPECT_EQ(doc_save(gone, path.c_str()), 0);
        EXPECT_EQ(run_msg(), closed);
        set_marker();
        doc_release(gone);
        EXPECT_EQ(run_msg(), closed);
    }
    EXPECT_FALSE(fs::exists(path));
}

// A relative path names the file in the working folder of the call that
// gave it, whatever folder the host is in later.
TEST(document_lifecycle, a_relative_path_keeps_naming_the_loaded_file_across_folders) {
    scratch_dir dir;
    fs::create_directory(dir / "sub");
    const std::string inner = dir / "sub/a.xlsx", outer = dir / "a.xlsx";
    save_marked_book(inner, 1);
    save_marked_book(outer, 2);
    const in_folder here(dir / "sub");
    plover_document_t* doc = doc_load("a.xlsx");
    ASSERT_NE(doc, nullptr) << run_msg();
    fs::current_path(dir.path);
    EXPECT_EQ(doc_load("sub/a.xlsx"), nullptr);
    plover_document_t* other = doc_load("a.xlsx");
    EXPECT_NE(other, nullptr) << run_msg();
    if (other) doc_release(other);
    ws_set_num(wb_get_sheet(doc_get_workbook(doc), 0), 1, 1, 3);
    EXPECT_EQ(doc_save(doc, nullptr), 1) << run_msg();
    EXPECT_EQ(doc_save(doc, "sub/b.xlsx"), 1) << run_msg();
    fs::current_path(dir / "sub");
    ws_set_num(wb_get_sheet(doc_get_workbook(doc), 0), 1, 1, 4);
    EXPECT_EQ(doc_save(doc, nullptr), 1) << run_msg();
    doc_release(doc);
    EXPECT_EQ(marked_value(inner), 3);
    EXPECT_EQ(marked_value(outer), 2);
    EXPECT_EQ(marked_value(dir / "sub/b.xlsx"), 4);
}

// The temporary file beside the target must take a name the folder takes too.
TEST(document_lifecycle, names_up_to_the_longest_the_folder_takes_save) {
    scratch_dir dir;
    for (size_t n : {246, 255}) {
        const std::string path = dir / (std::string(n - 5, 'n') + ".xlsx");
        save_marked_book(path, double(n));
        EXPECT_EQ(marked_value(path), double(n)) << n;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);  // no temporary left
}

// One file under any spelling of its path is one document: two would each
// save over the other's edits.
TEST(document_lifecycle, one_file_loads_once_whatever_its_path_says) {
    scratch_dir dir;
    fs::create_directory(dir / "sub");
    const std::string path = dir / "sub/a.xlsx";
    plover_document_t* made = one_sheet_book();
    ASSERT_EQ(doc_save(made, path.c_str()), 1) << run_msg();
    doc_release(made);
    fs::create_symlink("sub/a.xlsx", dir / "link.xlsx");
    fs::create_hard_link(path, dir / "hard.xlsx");
    // Relative spellings are read from the scratch folder.
    const in_folder here(dir.path);
    const std::vector<std::string> spellings = {"sub/a.xlsx", dir / "sub/../sub/a.xlsx", dir / "./sub/a.xlsx",
                                                dir / "link.xlsx", dir / "hard.xlsx"};
    for (const std::string& first : {path, spellings[0], spellings[3]}) {
        plover_document_t* doc = doc_load(first.c_str());
        ASSERT_NE(doc, nullptr) << first << ": " << run_msg();
        for (const std::string& other : spellings) {
            if (other == first) continue;
            EXPECT_EQ(doc_load(other.c_str()), nullptr) << first << " then " << other;
            EXPECT_EQ(std::string(run_msg()), "File " + other + " has been loaded.");
        }
        doc_release(doc);
    }
}

// Once "File .../fresh.xlsx has been loaded.": the new file took the inode the
// held one freed, or is the held file under the name it was moved to. Saves
// of the holder go to its own path, so the file is nobody's.
TEST(document_lifecycle, a_file_is_held_only_while_the_held_path_names_it) {
    for (const bool moved : {false, true}) {
        scratch_dir dir;
        const std::string held = dir / "held.xlsx", fresh = dir / "fresh.xlsx";
        save_marked_book(held, 1);
        plover_document_t* holder = doc_load(held.c_str());
        ASSERT_NE(holder, nullptr) << run_msg();
        if (moved) {
            fs::rename(held, fresh);
        } else {
            fs::remove(held);
            save_marked_book(fresh, 2);
        }
        EXPECT_EQ(marked_value(fresh), moved ? 1 : 2) << run_msg();
        doc_release(holder);
    }
}

// Once "newdir/sub" (or the first folders of the deep path) stayed behind.
TEST(document_lifecycle, a_refused_save_makes_no_folder) {
    scratch_dir dir;
    plover_document_t* doc = one_sheet_book();
    std::string deep = dir / "newdir";
    for (int i = 0; i < 20; ++i) deep += "/" + std::string(250, 'd');  // past the longest path
    for (const std::string& path : {dir / ("newdir/sub/" + std::string(300, 'x') + ".xlsx"),
                                    dir / ("newdir/" + std::string(300, 'x') + "/a.xlsx"), deep + "/a.xlsx"}) {
        EXPECT_EQ(doc_save(doc, path.c_str()), 0);
        EXPECT_EQ(run_msg(), "archive error: Can not create file: '" + path +
                                 "'. Please check if the file has been opened or if the file name is illegal.");
        EXPECT_TRUE(fs::is_empty(dir.path)) << path.substr(0, 80);
    }
    doc_release(doc);
}

// The document registry and the life of a document: create, load, save and
// release, with stand-in writers for the parts whose own writers come later.
#include "kestrel/interface/document_impl.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/interface/document_registry.h"
#include "kestrel/interface/workbook_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"
#include "plover.h"
#include "run_message.h"
#include "tests/heap_in_use.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/interface/unbuilt_slots.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using package_test::entries_t;
using package_test::read_zip;
using package_test::saved_decl;
using package_test::scratch_dir;
using package_test::slurp;
using package_test::write_zip;

namespace {

std::string last_message() { return vex::get_run_message().str(); }
void set_marker() { vex::set_run_message("marker"); }

// The smallest XML each modelled part needs to be read back: the workbook
// lists its sheets under their relationship Ids.
class sheet_listing_writer final : public vex::output_handler {
public:
    explicit sheet_listing_writer(vex::xml_part_t& part) : part_(part) {}
    void write() override {
        vex::xml::xml_stream_writer& w = *part_.get_xml_writer();
        w.write_raw(saved_decl);
        switch (part_.kind()) {
        case vex::part_kind_enum::workbook_part: return write_workbook(w);
        case vex::part_kind_enum::workbook_styles_part: return root(w, "styleSheet");
        case vex::part_kind_enum::shared_string_table_part: return root(w, "sst");
        default: return root(w, "worksheet");
        }
    }

private:
    static void root(vex::xml::xml_stream_writer& w, const char* name) {
        w.start_element(name);
        w.write_attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
        w.end_empty_element();
    }
    void write_workbook(vex::xml::xml_stream_writer& w) {
        const auto* book = dynamic_cast<const vex::workbook_t*>(part_.get_component());
        w.start_element("workbook");
        w.write_attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
        w.write_attribute("xmlns:r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
        w.close_start_tag();
        w.start_element("sheets");
        w.close_start_tag();
        for (const vex::sheet_entry_t& s : book->sheets()) {
            const char* id = s.component ? s.component->get_part()->get_relationship_id() : nullptr;
            w.start_element("sheet");
            w.write_attribute("name", s.name);
            w.write_attribute("sheetId", std::to_string(s.sheet_id));
            w.write_attribute("r:id", id ? id : "");
            w.end_empty_element();
        }
        w.end_element("sheets");
        w.end_element("workbook");
    }
    vex::xml_part_t& part_;
};

std::unique_ptr<vex::output_handler> make_sheet_listing_writer(vex::xml_part_t& part) {
    return std::make_unique<sheet_listing_writer>(part);
}

vex::iDocument_impl& impl(vex::iDocument* doc) { return *dynamic_cast<vex::iDocument_impl*>(doc); }

// The document with the stand-ins for the parts of a new document with sheets.
vex::iDocument* with_writers(vex::iDocument* doc) {
    if (!doc) return doc;
    for (auto kind : {vex::part_kind_enum::workbook_part, vex::part_kind_enum::worksheet_part,
                      vex::part_kind_enum::worktable_part, vex::part_kind_enum::workbook_styles_part,
                      vex::part_kind_enum::shared_string_table_part})
        impl(doc).document().stand_in_writers().set(kind, make_sheet_listing_writer);
    return doc;
}

std::string registered_path(vex::iDocument* doc) { return vex::get_document_registry().find_path(doc); }

// A created document with one sheet, saved at path; released again.
void save_new_book(const std::string& path) {
    vex::iDocument* doc = with_writers(vex::create_document());
    ASSERT_NE(doc->get_workbook()->add_worksheet("Data"), nullptr);
    ASSERT_TRUE(doc->save(path.c_str())) << last_message();
    doc->release();
}

// Records its destruction.
class counted_document final : public vex::iDocument_unbuilt {
public:
    explicit counted_document(int& destroyed) : destroyed_(destroyed) {}
    ~counted_document() override { ++destroyed_; }

private:
    int& destroyed_;
};

} // namespace

TEST(document_registry, keeps_paths_by_handle_in_registration_order) {
    vex::document_registry_t registry;
    int destroyed = 0;
    vex::iDocument* a = registry.add_document(std::make_unique<counted_document>(destroyed), nullptr);
    vex::iDocument* b = registry.add_document(std::make_unique<counted_document>(destroyed), "/tmp/b.xlsx");
    EXPECT_EQ(registry.find_path(a), "");
    EXPECT_EQ(registry.find_path(b), "/tmp/b.xlsx");
    EXPECT_EQ(registry.find_path(nullptr), "");
    EXPECT_EQ(registry.find_by_path("/tmp/b.xlsx"), b);
    EXPECT_EQ(registry.find_by_path("/tmp/B.xlsx"), nullptr);  // exact bytes
    EXPECT_EQ(registry.find_by_path("/tmp/b.xlsx/"), nullptr);
    // A load finding its path taken at registration gives its document up.
    EXPECT_EQ(registry.add_document_at_new_path(std::make_unique<counted_document>(destroyed), "/tmp/b.xlsx"),
              nullptr);
    EXPECT_EQ(destroyed, 1);
    EXPECT_NE(registry.add_document_at_new_path(std::make_unique<counted_document>(destroyed), "/tmp/c.xlsx"),
              nullptr);
    registry.update_path(a, "/tmp/b.xlsx");
    EXPECT_EQ(registry.find_by_path("/tmp/b.xlsx"), a);  // the first registered
    // A repeated key is refused without destroying the registered object.
    EXPECT_THROW(registry.add_document(std::unique_ptr<vex::iDocument>(a), "x"), std::logic_error);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(registry.size(), 3u);
    registry.remove_document(a);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(registry.find_by_path("/tmp/b.xlsx"), b);
    counted_document stranger(destroyed);
    for (auto op : {+[](vex::document_registry_t& r, vex::iDocument* d) { r.update_path(d, "p"); },
                    +[](vex::document_registry_t& r, vex::iDocument* d) { r.remove_document(d); }}) {
        try {
            op(registry, &stranger);
            ADD_FAILURE() << "accepted";
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "Internal logic error: Unable to find the idocument to update.");
        }
    }
    EXPECT_EQ(registry.size(), 2u);
    EXPECT_EQ(destroyed, 2);
}

TEST(document_registry, a_file_is_found_under_any_spelling_of_its_path) {
    scratch_dir dir;
    std::ofstream(dir / "a.xlsx") << "a";
    std::ofstream(dir / "b.xlsx") << "b";
    vex::document_registry_t registry;
    int destroyed = 0;
    vex::iDocument* a = registry.add_document(std::make_unique<counted_document>(destroyed), (dir / "a.xlsx").c_str());
    registry.add_document(std::make_unique<counted_document>(destroyed), (dir / "gone.xlsx").c_str());
    EXPECT_EQ(registry.find_by_path(dir / "./a.xlsx"), a);
    EXPECT_EQ(registry.find_by_path(dir / "b.xlsx"), nullptr);
    EXPECT_EQ(registry.find_by_path(dir / "./gone.xlsx"), nullptr);  // no file: the bytes alone
    EXPECT_EQ(registry.add_document_at_new_path(std::make_unique<counted_document>(destroyed),
                                                (dir.path / ".." / dir.path.filename() / "a.xlsx").c_str()),
              nullptr);
    EXPECT_EQ(destroyed, 1);
}

TEST(document_registry, destroys_open_documents_with_itself) {
    int destroyed = 0;
    {
        vex::document_registry_t registry;
        registry.add_document(std::make_unique<counted_document>(destroyed), nullptr);
        registry.add_document(std::make_unique<counted_document>(destroyed), nullptr);
    }
    EXPECT_EQ(destroyed, 2);
    // At exit the process-wide registry destroys what the host left open.
    EXPECT_EXIT(
        {
            vex::iDocument* doc = vex::create_document();
            doc->get_workbook()->add_worksheet(nullptr);
            vex::create_document();
            std::exit(vex::get_document_registry().size() >= 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(document_lifecycle, release_of_an_unregistered_handle_is_reported) {
    auto document = std::make_unique<vex::xml_document_t>();
    document->create_package();
    vex::iDocument_impl doc(std::move(document));
    doc.release();  // not registered: nothing is destroyed
    EXPECT_EQ(last_message(), "Internal logic error: Unable to find the idocument to update.");
    EXPECT_NE(doc.get_workbook(), nullptr);
}

TEST(document_lifecycle, created_document_saves_only_with_a_sheet_and_a_path) {
    scratch_dir dir;
    vex::iDocument* doc = with_writers(vex::create_document());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(registered_path(doc), "");
    set_marker();
    EXPECT_FALSE(doc->save((dir / "book.xlsx").c_str()));
    EXPECT_EQ(last_message(), "At least one worksheet needs to be added.");
    vex::iWorkbook* wb = doc->get_workbook();
    EXPECT_EQ(doc->get_workbook(), wb);
    set_marker();
    vex::iWorksheet* sheet = wb->add_worksheet(nullptr);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(last_message(), "marker");
    // The default name is the map's key and the cell store's name.
    auto& book = impl(doc).workbook();
    EXPECT_EQ(book.first_sheet(), sheet);
    EXPECT_EQ(book.workbook()->sheet_name(0), "Sheet1");
    ASSERT_NE(book.first_sheet()->worksheet()->worktable(), nullptr);
    EXPECT_EQ(book.first_sheet()->worksheet()->worktable()->name(), "Sheet1");
    EXPECT_FALSE(doc->save(nullptr));
    EXPECT_EQ(last_message(), "Saved file name can not be empty.");
    EXPECT_TRUE(dir.files().empty());
    set_marker();
    ASSERT_TRUE(doc->save((dir / "book.xlsx").c_str())) << last_message();
    EXPECT_EQ(last_message(), "marker");
    EXPECT_EQ(registered_path(doc), dir / "book.xlsx");
    // Opened already: the saved path is refused while the document is open.
    EXPECT_EQ(vex::load_document((dir / "book.xlsx").c_str()), nullptr);
    EXPECT_EQ(last_message(), "File " + (dir / "book.xlsx") + " has been loaded.");
    // A null path now writes there again.
    std::filesystem::remove(dir / "book.xlsx");
    ASSERT_TRUE(doc->save(nullptr)) << last_message();
    EXPECT_TRUE(std::filesystem::exists(dir / "book.xlsx"));
    // A failed save keeps the registered path.
    // An empty path goes to the driver, which refuses it; so is a file as a folder.
    // Neither leaves the document in the middle of a save.
    const uint32_t format = impl(doc).document().format_code();
    for (const std::string& bad : {std::string(), dir / "book.xlsx/inner.xlsx"}) {
        set_marker();
        EXPECT_FALSE(doc->save(bad.c_str())) << bad;
        EXPECT_NE(last_message(), "marker") << bad;
        EXPECT_EQ(impl(doc).document().format_code(), format);
    }
    EXPECT_EQ(registered_path(doc), dir / "book.xlsx");
    EXPECT_EQ(doc->get_workbook()->add_worksheet("Second") != nullptr, true);
    EXPECT_TRUE(doc->save(nullptr)) << last_message();
    doc->release();
    EXPECT_EQ(vex::get_document_registry().find_by_path(dir / "book.xlsx"), nullptr);
}

TEST(document_lifecycle, loaded_document_saves_back_to_its_path) {
    scratch_dir dir;
    const std::string path = dir / "book.xlsx";
    save_new_book(path);
    set_marker();
    vex::iDocument* doc = with_writers(vex::load_document(path.c_str()));
    ASSERT_NE(doc, nullptr) << last_message();
    EXPECT_EQ(last_message(), "marker");  // success leaves the message alone
    EXPECT_EQ(registered_path(doc), path);
    auto& book = impl(doc).workbook();
    ASSERT_NE(book.first_sheet(), nullptr);
    EXPECT_EQ(book.workbook()->sheet_name(0), "Data");
    EXPECT_EQ(vex::load_document(path.c_str()), nullptr);
    EXPECT_EQ(last_message(), "File " + path + " has been loaded.");
    std::filesystem::rename(path, dir / "first.xlsx");
    ASSERT_TRUE(doc->save(nullptr)) << last_message();
    EXPECT_EQ(read_zip(path), read_zip(dir / "first.xlsx"));
    doc->release();
    // Released: the path loads again.
    doc = vex::load_document(path.c_str());
    ASSERT_NE(doc, nullptr) << last_message();
    doc->release();
}

TEST(document_lifecycle, racing_loads_of_one_path_leave_one_document) {
    scratch_dir dir;
    const std::string path = dir / "book.xlsx";
    save_new_book(path);
    constexpr int racers = 4;
    std::atomic<int> ready{0};
    std::vector<vex::iDocument*> got(racers);
    std::vector<std::thread> threads;
    for (int t = 0; t < racers; ++t)
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < racers) std::this_thread::yield();
            got[t] = vex::load_document(path.c_str());
        });
    for (auto& t : threads) t.join();
    int loaded = 0;
    for (vex::iDocument* doc : got)
        if (doc) ++loaded, doc->release();
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(last_message(), "File " + path + " has been loaded.");
}

TEST(document_lifecycle, corpus_packages_load_with_their_sheets) {
    const std::string excel = PLOVER_EXCEL;
    scratch_dir dir;
    // The same book with its chart sheet moved in front of the worksheet.
    entries_t entries = read_zip(excel + "chartsheet01.xlsx");
    for (auto& [name, bytes] : entries) {
        if (name != "xl/workbook.xml") continue;
        const std::string sheet = "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>";
        const size_t at = bytes.find(sheet);
        ASSERT_NE(at, std::string::npos);
        bytes.erase(at, sheet.size());
        bytes.insert(bytes.find("</sheets>"), sheet);
    }
    write_zip(dir / "chart_first.xlsx", entries);
    for (const std::string& file : {excel + "chartsheet01.xlsx", dir / "chart_first.xlsx", excel + "macro01.xlsm",
                                    excel + "autofilter00.xlsx"}) {
        vex::iDocument* doc = vex::load_document(file.c_str());
        ASSERT_NE(doc, nullptr) << file << ": " << last_message();
        auto& book = impl(doc).workbook();
        ASSERT_NE(book.first_sheet(), nullptr) << file;
        ASSERT_NE(book.first_sheet()->worksheet()->worktable(), nullptr) << file;
        EXPECT_EQ(book.workbook()->sheet_name_of(book.first_sheet()->worksheet()), "Sheet1") << file;
        doc->release();
    }
}

TEST(document_lifecycle, failed_save_over_a_file_leaves_it_untouched) {
    scratch_dir dir;
    const std::string path = dir / "book.xlsx";
    save_new_book(path);
    const std::string before = slurp(path);
    vex::iDocument* doc = with_writers(vex::create_document());
    vex::iWorkbook* wb = doc->get_workbook();
    for (int i = 0; i < 20; ++i) wb->add_worksheet(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writing past 256 bytes fails instead of killing the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256, 256};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool saved = doc->save(path.c_str());
        _exit(saved ? 1 : last_message().empty() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved, 2: no message";
    EXPECT_EQ(slurp(path), before);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"book.xlsx"});
    doc->release();
}

TEST(document_lifecycle, released_documents_give_their_memory_back) {
    using heap_test::heap_in_use;
    size_t baseline = 0, peak = 0;
    std::string text;
    for (unsigned round = 0; round < heap_test::memory_rounds; ++round) {
        vex::iDocument* doc = vex::create_document();
        ASSERT_NE(doc, nullptr);
        ASSERT_NE(doc->get_workbook()->add_worksheet(nullptr), nullptr);
        vex::worktable_t* table = impl(doc).workbook().workbook()->first_worktable();
        ASSERT_NE(table, nullptr);
        for (int s = 0; s < 1000; ++s) {
            text = "document " + std::to_string(round) + " text " + std::to_string(s);
            table->set_text(s + 1, 1, text);
        }
        if (round == 100) baseline = heap_in_use();
        if (round > 100) peak = std::max(peak, heap_in_use());
        doc->release();
    }
    EXPECT_EQ(vex::get_document_registry().size(), 0u);
    EXPECT_LT(peak, baseline + (1u << 20)) << "baseline " << baseline;
}

TEST(document_lifecycle, threads_create_save_load_and_release_their_own_documents) {
    scratch_dir dir;
    constexpr int workers = 4, rounds = 25;
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    set_marker();
    // Every text read whole: one of those the workers leave.
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            const std::string_view m = run_msg();
            if (m != "marker" && !(m.starts_with("archive error: Unrecognized file type: ") && m.ends_with(".missing")) &&
                !(m.starts_with("File " + dir.path.string()) && m.ends_with(".xlsx has been loaded.")))
                ++torn;
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < workers; ++t)
        threads.emplace_back([&, t] {
            const std::string path = dir / ("book" + std::to_string(t) + ".xlsx");
            for (int r = 0; r < rounds; ++r) {
                vex::iDocument* doc = with_writers(vex::create_document());
                if (!doc || !doc->get_workbook()->add_worksheet(vex::concat({"T", std::to_string(r)}).c_str()) ||
                    !doc->save(path.c_str()))
                    ++failures;
                if (doc) doc->release();
                if (vex::load_document((path + ".missing").c_str())) ++failures;  // a message meanwhile
                vex::iDocument* back = vex::load_document(path.c_str());
                if (!back || !impl(back).workbook().first_sheet()) ++failures;
                if (back) {
                    if (vex::load_document(path.c_str())) ++failures;  // open already
                    back->release();
                }
            }
        });
    for (auto& t : threads) t.join();
    done = true;
    reader.join();
    EXPECT_EQ(failures.load(), 0) << last_message();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(dir.files().size(), size_t(workers));
}

#include "kestrel/document/concrete_resolver/excel_resolver.h"

#include "errors.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/kept_part.h"
#include "kestrel/parts/part.h"
#include "text_utils.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

using namespace package_test;
using vex::ascii_lower;

namespace {

const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string workbook_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const std::string theme_type = "application/vnd.openxmlformats-officedocument.theme+xml";
const std::string core_type = "application/vnd.openxmlformats-package.core-properties+xml";
const std::string link_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml";
const std::string calc_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml";
const std::string bom = "\xEF\xBB\xBF";

// A workbook with the kinds a round trip must keep or drop.
entries_t hardened_package() {
    const std::string theme = std::string(decl) + "<a:theme xmlns:a=\"x\" name=\"T\">" +
                              std::string(20000, 'q') + "</a:theme>\n";
    const std::string link = std::string(decl) + "<externalLink xmlns=\"" + main_ns + "\"/>";
    std::string book_rels = rel("rId1", std::string(od) + "theme", "theme/theme1.xml") +
                            rel("rId2", std::string(od) + "calcChain", "calcChain.xml") +
                            rel("rId3", std::string(od) + "externalLink", "externalLinks/externalLink1.xml");
    std::string root_rels = rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml") +
                            rel("rId2", std::string(pr) + "/metadata/core-properties", "docProps/core.xml") +
                            rel("rId3", std::string(pr) + "/metadata/thumbnail", "docProps/thumbnail.jpeg");
    std::string overrides = override_of("xl/workbook.xml", workbook_type) +
                            override_of("xl/theme/theme1.xml", theme_type) +
                            override_of("docProps/core.xml", core_type) +
                            override_of("xl/externalLinks/externalLink1.xml", link_type) +
                            "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>";
    entries_t e = {
        {"[Content_Types].xml", bom + types(overrides)},
        {"_rels/.rels", bom + rels(root_rels)},
        // A text longer than several read buffers, and a newline after the root.
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\"><definedNames><definedName name=\"n\">" +
                                std::string(32767, 'A') + "</definedName></definedNames></workbook>\n"},
        {"xl/_rels/workbook.xml.rels", rels(book_rels)},
        {"xl/theme/theme1.xml", theme},
        {"xl/externalLinks/externalLink1.xml", link},
        {"xl/externalLinks/_rels/externalLink1.xml.rels",
         rels(rel("rId1", std::string(od) + "externalLinkPath", "file:///C:/other.xlsx", true))},
        {"docProps/core.xml", std::string(decl) + "<cp:coreProperties xmlns:cp=\"c\"/>"},
        {"docProps/thumbnail.jpeg", std::string("\xFF\xD8\xFF\xE0 not really a jpeg")},
    };
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        book_rels += rel("rId" + std::to_string(10 + i), std::string(od) + "customXml", "../customXml/item" + n + ".xml");
        e.push_back({"customXml/item" + n + ".xml", "<b:Sources xmlns:b=\"s" + n + "\"/>"});
    }
    e[3].second = rels(book_rels);
    return e;
}

} // namespace

TEST(excel_resolver, new_package_entries_types_and_relationships) {
    scratch_dir dir;
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.create_package();
    doc.save((dir / "new.xlsx").c_str(), 2);
    const entries_t saved = read_zip(dir / "new.xlsx");
    EXPECT_EQ(names(saved), (std::vector<std::string>{"_rels/.rels", "xl/workbook.xml", "xl/styles.xml",
                                                       "xl/_rels/workbook.xml.rels", "[Content_Types].xml"}));
    EXPECT_EQ(find(saved, "xl/workbook.xml"),
              saved_decl + std::string(stand_in_text(vex::part_kind_enum::workbook_part)));
    EXPECT_EQ(find(saved, "xl/styles.xml"),
              saved_decl + std::string(stand_in_text(vex::part_kind_enum::workbook_styles_part)));
    EXPECT_EQ(find(saved, "_rels/.rels"),
              rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml")));
    EXPECT_EQ(find(saved, "xl/_rels/workbook.xml.rels"), rels(rel("rId1", std::string(od) + "styles", "styles.xml")));
    EXPECT_EQ(find(saved, "[Content_Types].xml"),
              types(override_of("xl/styles.xml",
                                "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml") +
                    override_of("xl/workbook.xml", workbook_type)));
}

TEST(excel_resolver, round_trip_keeps_parts_and_drops_the_calculation_chain) {
    scratch_dir dir;
    const entries_t original = hardened_package();
    write_zip(dir / "in.xlsx", original);
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.load((dir / "in.xlsx").c_str(), false);
    EXPECT_EQ(doc.format_code(), 0u);
    doc.save((dir / "out.xlsx").c_str(), 2);
    const entries_t saved = read_zip(dir / "out.xlsx");
    for (const char* same : {"xl/theme/theme1.xml", "docProps/core.xml", "docProps/thumbnail.jpeg",
                             "customXml/item1.xml", "customXml/item2.xml",
                             "customXml/item3.xml"})
        EXPECT_EQ(find(saved, same), find(original, same)) << same;
    EXPECT_EQ(find(saved, "xl/calcChain.xml"), "<absent>");
    // Under the kind's own name, with its External record as it was.
    EXPECT_EQ(find(saved, "xl/externalReferences/externalReference1.xml"),
              find(original, "xl/externalLinks/externalLink1.xml"));
    EXPECT_EQ(find(saved, "xl/externalReferences/_rels/externalReference1.xml.rels"),
              find(original, "xl/externalLinks/_rels/externalLink1.xml.rels"));
    const std::string ct = find(saved, "[Content_Types].xml");
    EXPECT_NE(ct.find("<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"), std::string::npos) << ct;
    EXPECT_EQ(ct.find("calcChain"), std::string::npos);
    EXPECT_EQ(names(saved).front(), "_rels/.rels");
    EXPECT_EQ(names(saved).back(), "[Content_Types].xml");
    expect_no_dangling_targets(saved);
    EXPECT_EQ(std::system(("unzip -tqq " + (dir / "out.xlsx") + " >/dev/null").c_str()), 0);
}

// Kinds newer than the part tables (threaded comments, persons, sensitivity
// labels) and printer settings come back whole with their relationships.
TEST(excel_resolver, later_kinds_and_printer_settings_survive_a_round_trip) {
    scratch_dir dir;
    const std::string ms17 = "http://schemas.microsoft.com/office/2017/10/relationships/";
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    const std::string printer = std::string("\x01\x00binary\xFF\x00", 10) + std::string(300, '\x7F');
    const entries_t original = {
        {"[Content_Types].xml",
         types(override_of("xl/workbook.xml", workbook_type) + override_of("xl/worksheets/sheet1.xml", sheet_type) +
               override_of("xl/threadedComments/threadedComment1.xml", "application/vnd.ms-excel.threadedcomments+xml") +
               override_of("xl/persons/person.xml", "application/vnd.ms-excel.person+xml") +
               override_of("docMetadata/LabelInfo.xml", "application/vnd.ms-office.classificationlabels+xml") +
               "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument."
               "spreadsheetml.printerSettings\"/>")},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml") +
                             rel("rId2", "http://schemas.microsoft.com/office/2020/02/relationships/classificationlabels",
                                 "docMetadata/LabelInfo.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" +
                                std::string(od).substr(0, std::string(od).size() - 1) +
                                "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                                            rel("rId2", ms17 + "person", "persons/person.xml"))},
        {"xl/worksheets/sheet1.xml", std::string(decl) + "<worksheet xmlns=\"" + main_ns + "\"><sheetData/></worksheet>"},
        {"xl/worksheets/_rels/sheet1.xml.rels",
         rels(rel("rId1", ms17 + "threadedComment", "../threadedComments/threadedComment1.xml") +
              rel("rId2", std::string(od) + "printerSettings", "../printerSettings/printerSettings1.bin"))},
        {"xl/threadedComments/threadedComment1.xml",
         std::string(decl) + "<ThreadedComments xmlns=\"http://schemas.microsoft.com/office/spreadsheetml/2018/"
                             "threadedcomments\"><threadedComment ref=\"A1\" id=\"{1}\"><text>hi</text>"
                             "</threadedComment></ThreadedComments>"},
        {"xl/persons/person.xml", std::string(decl) + "<personList xmlns=\"http://schemas.microsoft.com/office/"
                                                      "spreadsheetml/2018/threadedcomments\"/>"},
        {"docMetadata/LabelInfo.xml",
         std::string(decl) + "<clbl:labelList xmlns:clbl=\"http://schemas.microsoft.com/office/2020/mipLabelMetadata\">"
                             "<clbl:label id=\"{5}\" enabled=\"1\" method=\"Standard\" siteId=\"{6}\"/></clbl:labelList>"},
        {"xl/printerSettings/printerSettings1.bin", printer},
    };
    write_zip(dir / "in.xlsx", original);
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.load((dir / "in.xlsx").c_str(), false);
    doc.save((dir / "out.xlsx").c_str(), 2);
    const entries_t saved = read_zip(dir / "out.xlsx");
    for (const char* same : {"xl/threadedComments/threadedComment1.xml", "xl/persons/person.xml",
                             "docMetadata/LabelInfo.xml", "xl/printerSettings/printerSettings1.bin"})
        EXPECT_EQ(find(saved, same), find(original, same)) << same;
    const std::string sheet_rels = find(saved, "xl/worksheets/_rels/sheet1.xml.rels");
    EXPECT_NE(sheet_rels.find(ms17 + "threadedComment"), std::string::npos) << sheet_rels;
    EXPECT_NE(sheet_rels.find(std::string(od) + "printerSettings"), std::string::npos) << sheet_rels;
    EXPECT_NE(find(saved, "xl/_rels/workbook.xml.rels").find(ms17 + "person"), std::string::npos);
    EXPECT_NE(find(saved, "_rels/.rels").find("classificationlabels"), std::string::npos);
    const std::string ct = find(saved, "[Content_Types].xml");
    for (const char* type : {"threadedcomments+xml", "person+xml", "classificationlabels+xml", "printerSettings"})
        EXPECT_NE(ct.find(type), std::string::npos) << type << " in " << ct;
    expect_no_dangling_targets(saved);
}

// A kept part stays as the archive held it, and the save copies those bytes:
// a few KB that inflate to MB are never inflated.
TEST(excel_resolver, kept_parts_are_held_and_saved_as_stored) {
    scratch_dir dir;
    std::string blob = std::string(decl) + "<blob xmlns=\"urn:example\">";
    for (int i = 0; i < 100000; ++i) blob += "<item v=\"" + std::to_string(i % 7) + "\"/>";
    blob += "</blob>";
    const std::string blob_type = "http://example.com/relationships/blob";
    const entries_t original = {
        {"[Content_Types].xml", types(override_of("xl/workbook.xml", workbook_type) +
                                      override_of("xl/blob/blob1.xml", "application/xml"))},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\"><sheets/></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", blob_type, "blob/blob1.xml"))},
        {"xl/blob/blob1.xml", blob},
    };
    write_zip(dir / "in.xlsx", original);
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.load((dir / "in.xlsx").c_str(), false);
    const vex::xml_part_t* kept = nullptr;
    for (const auto& child : doc.workbook_part()->get_child_parts())
        if (child->kind() == vex::part_kind_kept) kept = child.get();
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(kept->get_stored_form(), nullptr);
    EXPECT_EQ(kept->get_stored_form()->method, 8);
    EXPECT_EQ(kept->get_stored_form()->size, blob.size());
    EXPECT_LT(kept->get_raw_size(), blob.size() / 20);
    doc.save((dir / "out.xlsx").c_str(), 2);

    EXPECT_EQ(find(read_zip(dir / "out.xlsx"), "xl/blob/blob1.xml"), blob);
    vex::zip_archive in, out;
    in.open_zip_file((dir / "in.xlsx"));
    out.open_zip_file((dir / "out.xlsx"));
    const vex::zip_stored_t before = in.stored_form("xl/blob/blob1.xml");
    const vex::zip_stored_t after = out.stored_form("xl/blob/blob1.xml");
    EXPECT_EQ(std::tie(after.method, after.crc, after.size, after.stored_size),
              std::tie(before.method, before.crc, before.size, before.stored_size));
    std::string held_in(before.stored_size, '\0'), held_out(after.stored_size, '\0');
    in.read_stored("xl/blob/blob1.xml", held_in.data());
    out.read_stored("xl/blob/blob1.xml", held_out.data());
    EXPECT_EQ(held_out, held_in);

    // Loaded again from the copy, it is the same part.
    vex::xml_document_t again;
    const stand_in_writers again_writers(again);
    again.load((dir / "out.xlsx").c_str(), false);
    again.save((dir / "again.xlsx").c_str(), 2);
    EXPECT_EQ(find(read_zip(dir / "again.xlsx"), "xl/blob/blob1.xml"), blob);
}

TEST(excel_resolver, shared_target_is_read_once_and_written_once) {
    scratch_dir dir;
    entries_t p = hardened_package();
    // A second relationship to the same theme entry.
    std::string& in_rels = p[3].second;
    in_rels.insert(in_rels.find("</Relationships>"),
                     rel("rId9", std::string(od) + "customXml", "theme/theme1.xml"));
    write_zip(dir / "in.xlsx", p);
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.load((dir / "in.xlsx").c_str(), false);
    doc.save((dir / "out.xlsx").c_str(), 2);
    const entries_t saved = read_zip(dir / "out.xlsx");
    expect_no_dangling_targets(saved);  // also: no entry twice
    const std::string book_rels = find(saved, "xl/_rels/workbook.xml.rels");
    size_t count = 0;
    for (size_t at = book_rels.find("theme/theme1.xml"); at != std::string::npos;
         at = book_rels.find("theme/theme1.xml", at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << book_rels;
}

TEST(excel_resolver, corrupt_raw_entry_fails_the_load) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", hardened_package());
    std::string bytes = slurp(dir / "in.xlsx");
    const size_t at = bytes.find("docProps/thumbnail.jpeg");  // the local header's name
    bytes[at + 23 + 3] ^= 0x55;                              // a byte of its stored data
    std::ofstream(dir / "in.xlsx", std::ios::binary | std::ios::trunc) << bytes;
    vex::xml_document_t doc;
    EXPECT_THROW(doc.load((dir / "in.xlsx").c_str(), false), general_error);
}

namespace {

// A part whose writer fails half-way through the package.
class failing_part final : public vex::xml_part_t {
public:
    explicit failing_part(vex::xml_part_t* parent)
        : xml_part_t(parent, "", "urn:failing", "application/xml", ".", "failing", nullptr) {}
    ~failing_part() override = default;
    void create_output_handler(int) override { set_output_handler(std::make_unique<failing_writer>()); }

private:
    struct failing_writer final : vex::output_handler {
        void write() override { throw std::runtime_error("writer failed"); }
    };
};

} // namespace

TEST(excel_resolver, failed_save_leaves_the_target_untouched) {
    scratch_dir dir;
    const std::string target = dir / "book.xlsx";
    std::ofstream(target, std::ios::binary) << "previous bytes";
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.create_package();
    auto* bad = new failing_part(doc.workbook_part());
    bad->set_relationship_id("rId9");
    doc.workbook_part()->children().add(bad, false);
    try {
        doc.save(target.c_str(), 2);
        ADD_FAILURE() << "saved";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "writer failed");  // unchanged, not a copy
    }
    EXPECT_EQ(slurp(target), "previous bytes");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"book.xlsx"});
}

TEST(excel_resolver, corpus_packages_keep_every_part) {
    const std::string corpus = PLOVER_EXCEL;
    for (const char* file : {"chartsheet01.xlsx", "header_image01.xlsx", "macro01.xlsm"}) {
        ASSERT_TRUE(fs::exists(corpus + file)) << file;
        scratch_dir dir;
        vex::xml_document_t doc;
        const stand_in_writers writers(doc);
        doc.load((corpus + file).c_str(), false);
        doc.save((dir / "out.xlsx").c_str(), 2);
        const entries_t original = read_zip(corpus + file);
        const entries_t saved = read_zip(dir / "out.xlsx");
        std::set<std::string> before, after;
        // The VML drawing kind names its entries in lower case.
        for (const auto& e : original) before.insert(ascii_lower(e.first));
        for (const auto& e : saved) after.insert(ascii_lower(e.first));
        EXPECT_EQ(after, before) << file;
        for (const char* raw : {"xl/theme/theme1.xml", "xl/vbaProject.bin", "xl/media/image1.jpeg",
                                "xl/charts/chart1.xml", "docProps/core.xml"})
            if (find(original, raw) != "<absent>") {
                EXPECT_EQ(find(saved, raw), find(original, raw)) << file << raw;
            }
        expect_no_dangling_targets(saved);
    }
}

namespace {

// A new package with one sheet whose worktable holds a VML drawing with the
// note of the sheet's one comment.
void add_sheet_with_drawing(vex::xml_document_t& doc) {
    vex::worksheet_t* sheet = doc.workbook()->insert_worksheet("Data", ~0ull);
    vex::worktable_t* table = sheet->create_worktable__(10, 10, {});
    vex::xml_part_t* drawing = table->get_part()->create_part((std::string(od) + "vmlDrawing").c_str(), nullptr);
    drawing->set_extension("vml");  // as a loaded one has
    table->comments().add(1, 1, {}, "Ann");
}

// A part of a kind no writer knows, without bytes.
void add_bare_part(vex::xml_document_t& doc) {
    vex::xml_part_t* table_part = doc.workbook()->sheet_at(0)->worktable()->get_part();
    auto* bare = new vex::kept_part_t(table_part, "urn:example:unknown");
    bare->set_kind(vex::part_kind_kept);
    bare->set_entry_name("xl/unknown1.bin");
    table_part->add_part(bare, false);
}

vex::shared_string_table_t& shared_strings(vex::xml_part_t& part) {
    return *dynamic_cast<vex::workbook_t*>(part.get_workbook())->shared_strings();
}

// A sheet writer that, as the real one will, fills the shared strings.
struct filling_sheet_writer final : stand_in_part_xml {
    using stand_in_part_xml::stand_in_part_xml;
    void write() override {
        shared_strings(part_).add_string_to_save("x");
        stand_in_part_xml::write();
    }
    static std::unique_ptr<vex::output_handler> make(vex::xml_part_t& part) {
        return std::make_unique<filling_sheet_writer>(part);
    }
};

std::vector<vex::part_kind_enum> all_but(vex::part_kind_enum left_out) {
    std::vector<vex::part_kind_enum> kinds;
    for (const vex::part_kind_enum k : modelled_kinds)
        if (k != left_out) kinds.push_back(k);
    return kinds;
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(excel_resolver, part_without_writer_or_bytes_fails_the_save_before_the_disk_changes) {
    using k = vex::part_kind_enum;
    const struct {
        const char* name;
        std::vector<k> installed;
        bool strings_to_save;
        bool sheet_fills_strings;
        std::string entry;  // empty: the save succeeds
        bool strings_written = false;
        bool bare_part = false;
    } cases[] = {
        // The modelled parts write themselves.
        {"no writer at all", {}, false, false, ""},
        {"no styles stand-in", all_but(k::workbook_styles_part), false, false, ""},
        // The sheet writes itself and its worktable.
        {"no sheet stand-in", all_but(k::worksheet_part), false, false, ""},
        {"no drawing stand-in", all_but(k::vml_drawing_part), false, false, ""},
        {"a part with neither", modelled_kinds, false, false, "xl/unknown1.bin", false, true},
        {"strings to save, no stand-in for them", all_but(k::shared_string_table_part), true, false, "", true},
        {"strings filled by the sheets, no stand-in for them", all_but(k::shared_string_table_part), false, true,
         "", true},
        {"no strings: the part is dropped", all_but(k::shared_string_table_part), false, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scratch_dir dir;
        vex::xml_document_t doc;
        const stand_in_writers writers(doc, c.installed);
        const stand_in_writers filling(doc,
                                       c.sheet_fills_strings ? std::vector<k>{k::worksheet_part} : std::vector<k>{},
                                       &filling_sheet_writer::make);
        doc.create_package();
        add_sheet_with_drawing(doc);
        if (c.bare_part) add_bare_part(doc);
        if (c.strings_to_save) shared_strings(*doc.workbook_part()).add_string_to_save("s");
        const std::string target = dir / "book.xlsx";
        std::ofstream(target, std::ios::binary) << "previous bytes";
        for (const std::string& path : {target, dir / "sub/book.xlsx"}) {
            try {
                doc.save(path.c_str(), 2);
                EXPECT_EQ(c.entry, "") << path;
            } catch (const general_error& e) {
                EXPECT_EQ(e.message(), "Cannot save " + c.entry + ": its part has neither a writer nor kept bytes.");
            }
        }
        if (c.entry.empty()) {
            const entries_t saved = read_zip(target);
            EXPECT_EQ(find(saved, "xl/sharedStrings.xml") != "<absent>", c.strings_written);
            EXPECT_NE(find(saved, "xl/drawings/vmldrawing1.vml"), "<absent>");
            continue;
        }
        EXPECT_EQ(slurp(target), "previous bytes");
        std::vector<std::string> files = dir.files();
        // Filled strings are found only while the sheets are written, in the
        // new file beside the target, which goes with the failure.
        EXPECT_EQ(files, std::vector<std::string>{"book.xlsx"});
        if (!c.sheet_fills_strings) {
            EXPECT_FALSE(fs::exists(dir / "sub"));
        }
    }
}

TEST(excel_resolver, saved_file_takes_the_umask_or_the_mode_of_the_file_it_replaces) {
    scratch_dir dir;
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.create_package();
    const mode_t previous = ::umask(027);
    doc.save((dir / "new.xlsx").c_str(), 2);
    EXPECT_EQ(mode_of(dir / "new.xlsx"), 0640u);

    std::ofstream(dir / "old.xlsx") << "previous bytes";
    ::chmod((dir / "old.xlsx").c_str(), 0604);
    ::umask(077);
    doc.save((dir / "old.xlsx").c_str(), 2);
    EXPECT_EQ(mode_of(dir / "old.xlsx"), 0604u);
    EXPECT_NE(slurp(dir / "old.xlsx"), "previous bytes");
    EXPECT_EQ(::umask(previous), 077u);  // left as it was
}

// A path holding anything but a regular file, or links that never end, are
// refused before anything on disk changes.
TEST(excel_resolver, save_refuses_what_is_not_a_regular_file_and_endless_links) {
    scratch_dir dir;
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.create_package();
    ASSERT_EQ(::mkfifo((dir / "pipe.xlsx").c_str(), 0600), 0);
    fs::create_symlink("loop_b.xlsx", dir / "loop_a.xlsx");
    fs::create_symlink("loop_a.xlsx", dir / "loop_b.xlsx");
    try {
        doc.save((dir / "pipe.xlsx").c_str(), 2);
        ADD_FAILURE() << "saved over a FIFO";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "The saved file must be a regular file: " + (dir / "pipe.xlsx"));
    }
    try {
        doc.save((dir / "loop_a.xlsx").c_str(), 2);
        ADD_FAILURE() << "saved through a loop of links";
    } catch (const fs::filesystem_error& e) {
        EXPECT_EQ(e.code(), std::errc::too_many_symbolic_link_levels);
    }
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.xlsx"));
    EXPECT_EQ(dir.files().size(), 3u);
}

#include "kestrel/document/xml_doc_access.h"

#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/external_document.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using vex::range_t;

namespace {

constexpr unsigned top = 4294967295u;
constexpr vex::xml_document_t* no_document = nullptr;

range_t cells(int r1, int c1, int r2, int c2) {
    return {{0, r1, c1}, {0, r2, c2}};
}

// A workbook of "Sales", whose table has that grid, and "Chart" without one.
void expect_sales_sheet(const vex::xml_doc_access& a, unsigned grid) {
    EXPECT_EQ(a.get_sheet_grid_id("sales"), grid);
    EXPECT_EQ(a.get_sheet_grid_id("Chart"), 0u);
    EXPECT_EQ(a.get_sheet_grid_id("Other"), 0u);
    EXPECT_EQ(a.get_sheet_name(grid), "Sales");
    EXPECT_EQ(a.get_sheet_name(grid + 1), "");
}

} // namespace

TEST(xml_doc_access, ids_count_down_from_the_top_once_per_triple) {
    vex::xml_doc_access a(no_document);
    EXPECT_EQ(a.get_grid_id("book.xlsx", "Sheet1", "path"), top);
    EXPECT_EQ(a.get_grid_id("book.xlsx", "Sheet2", "path"), top - 1);
    EXPECT_EQ(a.get_grid_id("book.xlsx", "Sheet1", "path"), top);
    EXPECT_EQ(a.range_tree_count(), 2u);
    EXPECT_TRUE(a.has_grid_id("book.xlsx", "Sheet1", "path"));
    EXPECT_FALSE(a.has_grid_id("book.xlsx", "sheet1", "path"));  // byte for byte
    EXPECT_TRUE(a.find_named_item("path", "Sheet2"));
    EXPECT_FALSE(a.find_named_item("Sheet2", "path"));
    EXPECT_EQ(a.get_reference_mode(), 3u);
}

TEST(xml_doc_access, clearing_keeps_references_without_a_third_name) {
    vex::xml_doc_access a(no_document);
    a.get_grid_id("a", "b", "c");
    const unsigned local = a.get_grid_id("a", "b", "");
    a.clear_external_references();
    EXPECT_FALSE(a.has_grid_id("a", "b", "c"));
    EXPECT_TRUE(a.has_grid_id("a", "b", ""));
    EXPECT_EQ(a.get_grid_id("a", "b", ""), local);
    EXPECT_EQ(a.get_grid_id("x", "y", "z"), top - 2);  // the counter went on

    vex::xml_doc_access b(no_document);
    b.get_grid_id("a", "b", "c");
    b.clear_external_references();
    EXPECT_EQ(b.range_tree_count(), 0u);
    EXPECT_EQ(b.get_grid_id("x", "y", "z"), top);  // none left: ids start again
}

TEST(xml_doc_access, recorded_ranges_are_searched_by_overlap_and_by_first_cell) {
    vex::xml_doc_access a(no_document);
    const unsigned id = a.get_grid_id("f", "s", "t");
    a.add_reference_range(id, cells(1, 1, 3, 3));
    a.add_reference_range(id - 7, cells(10, 10, 20, 20));  // no such id: ignored
    EXPECT_EQ(a.range_tree_count(), 1u);

    const struct {
        range_t r;
        bool overlap, first_cell;
    } cases[] = {
        {cells(3, 3, 5, 5), true, true},    // touching at one corner
        {cells(4, 4, 5, 5), false, false},  // beside it
        {cells(2, 0, 2, 9), true, false},   // across, first cell outside
        {cells(1, 3, 1, 3), true, true},
        {cells(10, 10, 20, 20), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(a.search_sheet_ranges("f", "s", "t", c.r), c.overlap) << c.r.first.row << "," << c.r.first.col;
        EXPECT_EQ(a.search_sheet_ranges_2("f", "s", "t", c.r), c.first_cell) << c.r.first.row << "," << c.r.first.col;
    }
    EXPECT_FALSE(a.search_sheet_ranges("f", "s", "other", cells(1, 1, 1, 1)));
    EXPECT_FALSE(a.search_sheet_ranges_2("f", "s", "other", cells(1, 1, 1, 1)));
}

// Enough ranges for node splits, spread over the sheet's corners: the squared
// spans the splits compare reach past 2^31.
TEST(xml_doc_access, ranges_at_the_sheet_corners_are_all_found) {
    vex::xml_doc_access a(no_document);
    const unsigned id = a.get_grid_id("f", "s", "t");
    const int corner_rows[] = {1, 1048576}, corner_cols[] = {1, 16384};
    std::vector<range_t> added;
    for (int i = 0; i < 240; ++i) {
        const int row = corner_rows[i % 2] + (i % 2 ? -i : i), col = corner_cols[(i / 2) % 2] + ((i / 2) % 2 ? -i : i);
        added.push_back(cells(row, col, row, col));
        a.add_reference_range(id, added.back());
    }
    for (const range_t& r : added) EXPECT_TRUE(a.search_sheet_ranges_2("f", "s", "t", r)) << r.first.row << "," << r.first.col;
    EXPECT_FALSE(a.search_sheet_ranges("f", "s", "t", cells(5000, 5000, 6000, 6000)));
}

TEST(xml_doc_access, table_references_resolve_to_nothing) {
    vex::xml_doc_access a(no_document);
    EXPECT_TRUE(a.resolve_table_reference({0, 1, 1}, "Table1", 4, "Amount", "").empty());
}

TEST(xml_doc_access, sheets_are_found_by_name_and_by_grid_id) {
    factory_test::package p;
    auto& book = *static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component();
    book.sheets().push_back({1, 1, 0, "rId1", "Sales", nullptr});
    book.sheets().push_back({2, 1, 0, "rId2", "Chart", nullptr});  // no component
    auto* part = static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", "rId1"));
    book.attach_worksheet(part->get_worksheet(), "rId1");
    vex::worktable_t* table = part->get_worksheet()->create_worktable__(10, 10, {});
    table->register_grid(1, 99);
    const unsigned grid = table->sheet_id();

    expect_sales_sheet(vex::xml_doc_access(&book), grid);
    EXPECT_EQ(vex::xml_doc_access(no_document).get_sheet_grid_id("Sales"), 0u);
}

TEST(xml_doc_access, sheets_are_found_through_the_document) {
    vex::xml_document_t doc;
    doc.create_package();
    vex::workbook_t& book = *doc.workbook();
    vex::worksheet_t* sales = book.insert_worksheet("Sales", ~0ull);
    book.sheets().push_back({2, 1, 0, "rId2", "Chart", nullptr});  // no component
    vex::worktable_t* table = sales->create_worktable__(10, 10, {});
    table->register_grid(sales->get_part()->get_part_id(), doc.workbook_part()->get_part_id());
    const unsigned grid = table->sheet_id();

    vex::xml_doc_access a(&doc);
    expect_sales_sheet(a, grid);
    EXPECT_EQ(a.get_reference_mode(), doc.reference_mode());
    EXPECT_EQ(book.document(), &doc);
    EXPECT_EQ(vex::xml_doc_access(&book).get_sheet_grid_id("SALES"), grid);
}

namespace {

using namespace package_test;

const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string r_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";

// A workbook of the named sheets, each in a part of its own with the given
// sheetData content (none: empty), with document properties beside it at the
// package root.
entries_t book_of(const std::vector<std::string>& sheets, const std::vector<std::string>& sheet_data = {},
                  const std::string& defined_names = "") {
    std::string types_body = override_of("xl/workbook.xml",
                                         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
                             override_of("docProps/core.xml",
                                         "application/vnd.openxmlformats-package.core-properties+xml");
    std::string records, book_rels;
    entries_t parts;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        types_body += override_of("xl/worksheets/sheet" + n + ".xml", sheet_type);
        records += "<sheet name=\"" + sheets[i] + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        book_rels += rel("rId" + n, std::string(od) + "worksheet", "worksheets/sheet" + n + ".xml");
        const std::string data = i < sheet_data.size() ? sheet_data[i] : "";
        parts.push_back({"xl/worksheets/sheet" + n + ".xml", std::string(decl) + "<worksheet xmlns=\"" + main_ns +
                                                                 "\"><sheetData>" + data + "</sheetData></worksheet>"});
    }
    entries_t e = {
        {"[Content_Types].xml", types(types_body)},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml") +
                             rel("rId2", "http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                                         "core-properties",
                                 "docProps/core.xml"))},
        {"docProps/core.xml", std::string(decl) + "<cp:coreProperties xmlns:cp=\"urn:x\"/>"},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + r_ns +
                                "\"><sheets>" + records + "</sheets>" + defined_names + "</workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(book_rels)},
    };
    e.insert(e.end(), parts.begin(), parts.end());
    return e;
}

// The names of the sheets of the external workbook that were read, in tab order.
std::vector<std::string> sheets_read(const vex::external_document_t& d) {
    std::vector<std::string> out;
    for (const vex::sheet_entry_t& s : d.workbook()->sheets())
        if (s.component) out.push_back(s.name);
    return out;
}

std::string open_failure(vex::xml_doc_access& a) {
    try {
        a.open_external_documents();
    } catch (const general_error& e) {
        return e.message();
    }
    return "";
}

} // namespace

TEST(xml_doc_access, external_workbooks_open_only_when_asked_with_the_named_sheets) {
    scratch_dir dir;
    const std::string path = dir / "prices.xlsx";
    write_zip(path, book_of({"Prices", "Other", "Rates"}));
    vex::xml_document_t doc;
    doc.create_package();
    vex::xml_doc_access a(&doc);
    EXPECT_TRUE(a.open_external_documents());  // nothing named yet
    a.get_grid_id("", "Prices", "");            // no workbook path: nothing to open
    a.get_grid_id("", "Prices", path);
    a.get_grid_id("", "Rates", path);
    EXPECT_EQ(a.external_document_count(), 0u);

    ASSERT_TRUE(a.open_external_documents());
    ASSERT_EQ(a.external_document_count(), 1u);  // two sheets, one workbook
    const vex::external_document_t* d = a.external_document(path);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->loaded());
    EXPECT_EQ(d->owner(), &a);
    EXPECT_EQ(d->path(), path);
    EXPECT_EQ(d->workbook()->sheets().size(), 3u);
    EXPECT_EQ(sheets_read(*d), (std::vector<std::string>{"Prices", "Rates"}));
    EXPECT_TRUE(d->is_referenced_sheet("Prices"));
    EXPECT_FALSE(d->is_referenced_sheet("Other"));
    EXPECT_EQ(d->workbook()->external_document(), d);
    EXPECT_EQ(d->workbook()->document(), d);
    // Only the workbook, read without its styles; the properties are not made.
    EXPECT_EQ(d->package_root().children().size(), 1u);
    EXPECT_EQ(d->workbook()->styles(), nullptr);
    EXPECT_EQ(d->format_code(), 0u);

    // Asked again, the same workbook is read again from scratch.
    a.get_grid_id("", "Other", path);
    ASSERT_TRUE(a.open_external_documents());
    ASSERT_EQ(a.external_document_count(), 1u);
    EXPECT_EQ(a.external_document(path), d);
    EXPECT_EQ(d->workbook()->sheets().size(), 3u);
    EXPECT_EQ(sheets_read(*d), (std::vector<std::string>{"Prices", "Other", "Rates"}));
    EXPECT_EQ(d->package_root().relationships().size(), 2u);

    // Dropping the references does not close what was opened.
    a.clear_external_references();
    EXPECT_EQ(a.external_document_count(), 1u);
}

TEST(xml_doc_access, a_missing_external_workbook_fails_the_opening) {
    scratch_dir dir;
    const std::string missing = dir / "missing.xlsx";
    const std::string present = dir / "present.xlsx";
    write_zip(present, book_of({"S"}));
    vex::xml_doc_access a(no_document);
    a.get_grid_id("", "S", present);
    a.get_grid_id("", "S", missing);
    EXPECT_EQ(open_failure(a), "Unrecognized file type: " + missing);
    // The one before it stays open; the missing one is not kept.
    EXPECT_EQ(a.external_document_count(), 1u);
    EXPECT_EQ(a.external_document(missing), nullptr);

    write_zip(missing, book_of({"S"}));
    EXPECT_EQ(open_failure(a), "");
    ASSERT_EQ(a.external_document_count(), 2u);
    EXPECT_EQ(sheets_read(*a.external_document(missing)), std::vector<std::string>{"S"});

    // A workbook opened before that can no longer be read stays, unloaded.
    std::filesystem::remove(present);
    EXPECT_EQ(open_failure(a), "Unrecognized file type: " + present);
    ASSERT_NE(a.external_document(present), nullptr);
    EXPECT_FALSE(a.external_document(present)->loaded());
}

TEST(xml_doc_access, external_documents_make_only_the_workbook_at_the_root) {
    vex::external_document_t d(nullptr, "nowhere.xlsx");
    EXPECT_EQ(d.path(), "nowhere.xlsx");
    EXPECT_FALSE(d.loaded());
    EXPECT_EQ(d.create_part(factory_test::rel("styles").c_str()), nullptr);
    vex::xml_part_t* book = d.create_part(factory_test::rel("officeDocument").c_str());
    ASSERT_NE(book, nullptr);
    EXPECT_FALSE(book->is_complete());
    EXPECT_TRUE(book->follows_relationships());
    EXPECT_EQ(d.create_part(factory_test::rel("officeDocument").c_str()), book);
    EXPECT_EQ(d.create_part(factory_test::rel("extended-properties").c_str()), nullptr);
    EXPECT_FALSE(d.is_referenced_sheet("Sheet1"));  // no owner
    EXPECT_THROW(d.load(), general_error);
}

namespace {

// Rows 1 to n, each with its number in A.
std::string numbered_rows(int n) {
    std::string out;
    for (int r = 1; r <= n; ++r) {
        const std::string at = std::to_string(r);
        out += "<row r=\"" + at + "\" customHeight=\"1\" ht=\"30\"><c r=\"A" + at + "\"><v>" + at + "</v></c></row>";
    }
    return out;
}

// The rows of the sheet's table that hold a value in A.
std::vector<int> rows_read(const vex::external_document_t& d, const std::string& sheet) {
    std::vector<int> out;
    for (const vex::sheet_entry_t& s : d.workbook()->sheets()) {
        if (s.name != sheet || !s.component || !s.component->worktable()) continue;
        for (int r = 1; r <= 10; ++r)
            if (s.component->worktable()->get_cell(r, 1).get_num()) out.push_back(r);
    }
    return out;
}

// Records every reference into another workbook that the tokens hold, as
// the table, the sheet and the workbook's path name it.
void record_references(vex::xml_doc_access& a, const std::vector<vex::mta::formula::token_t>& tokens) {
    for (const vex::mta::formula::token_t& t : tokens) {
        if (!t.names[0] || !t.names[2]) continue;
        range_t r{};
        if (const auto* range = std::get_if<range_t>(&t.operand)) r = *range;
        else if (const auto* cell = std::get_if<vex::coord_t>(&t.operand)) r = {*cell, *cell};
        else continue;
        const std::string& sheet = *t.names[2];
        a.add_reference_range(a.get_grid_id(sheet, sheet, *t.names[0]), r);
    }
}

} // namespace

TEST(xml_doc_access, only_the_referenced_rows_of_an_external_workbook_are_read) {
    scratch_dir dir;
    const std::string path = dir / "prices.xlsx";
    write_zip(path, book_of({"Prices", "Rates", "Other"}, {numbered_rows(8), numbered_rows(8), numbered_rows(8)}));
    const std::string prefix = "'" + (dir / "[prices.xlsx]");
    const std::string book = dir / "book.xlsx";
    write_zip(book, book_of({"Main"},
                            {"<row r=\"1\"><c r=\"A1\"><f>SUM(" + prefix + "Prices'!$A$3:$A$5)</f><v>12</v></c></row>"},
                            "<definedNames><definedName name=\"Rate\">" + prefix +
                                "Rates'!$A$7</definedName></definedNames>"));

    vex::xml_document_t doc;
    doc.load(book.c_str(), false);
    vex::worktable_t* main = doc.workbook()->first_worktable();
    ASSERT_NE(main, nullptr);
    auto* access = dynamic_cast<vex::xml_doc_access*>(main->get_document_access());
    ASSERT_NE(access, nullptr);
    const vex::mta::formula::formula_cell* sum = main->get_formula_cell(1, 1);
    ASSERT_NE(sum, nullptr);
    record_references(*access, sum->tokens);
    const auto* rate = main->get_defined_names()->tokens_of({"Rate"});
    ASSERT_NE(rate, nullptr);
    record_references(*access, *rate);
    ASSERT_TRUE(access->has_grid_id("Prices", "Prices", path));
    ASSERT_TRUE(access->has_grid_id("Rates", "Rates", path));
    access->get_grid_id("", "Other", path);  // the sheet, no cells of it

    ASSERT_TRUE(access->open_external_documents());
    const vex::external_document_t* d = access->external_document(path);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(sheets_read(*d), (std::vector<std::string>{"Prices", "Rates", "Other"}));
    EXPECT_EQ(rows_read(*d, "Prices"), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(rows_read(*d, "Rates"), std::vector<int>{7});
    EXPECT_EQ(rows_read(*d, "Other"), std::vector<int>{});
    // A skipped row keeps none of its settings either.
    const vex::worktable_t* prices = d->workbook()->sheets()[0].component->worktable();
    EXPECT_EQ(prices->get_row_record(2), 0u);
    EXPECT_NE(prices->get_row_record(3), 0u);

    EXPECT_TRUE(d->is_referenced_cell_range("Prices", "Prices"));
    EXPECT_FALSE(d->is_referenced_cell_range("Prices", "Rates"));
    EXPECT_FALSE(d->is_referenced_cell_range("Other", "Other"));

    // Below a sheet read this way, only a table a reference names is made.
    const std::string worktable = factory_test::rel("worktable"), drawing = factory_test::rel("drawing");
    auto* prices_part = d->workbook()->sheets()[0].component->get_part();
    auto* other_part = d->workbook()->sheets()[2].component->get_part();
    EXPECT_EQ(prices_part->create_part(drawing.c_str(), "rId9"), nullptr);
    EXPECT_EQ(other_part->create_part(worktable.c_str(), "rId9"), nullptr);
    vex::xml_part_t* made = prices_part->create_part(worktable.c_str(), "rId9");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->kind(), vex::part_kind_enum::worktable_part);
}

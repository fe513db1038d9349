// Crafted packages through the exports: each loads, and after one and after
// three saves (each copy loaded from the last) it holds the same text, colour
// or value; the second and third saves write the sheets, the workbook and the
// styles alike. A package the format allows loads; one that would lose a part
// is refused with a message naming it.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace package_test;

namespace {

using probe_t = std::function<std::string(plover_document_t*)>;

struct trip_t {
    std::vector<std::string> seen;  // the probe after the load and after each save; "load: TEXT" on a failure
    std::vector<entries_t> copies;  // what each save wrote
};

// Loads the package, then saves and loads it `saves` times.
trip_t round_trip(const entries_t& package, const probe_t& probe, int saves = 3) {
    scratch_dir dir;
    trip_t t;
    std::string path = dir / "p0.xlsx";
    write_zip(path, package);
    for (int i = 0;; ++i) {
        plover_document_t* doc = doc_load(path.c_str());
        if (!doc) {
            t.seen.push_back(std::string("load: ") + run_msg());
            return t;
        }
        t.seen.push_back(probe(doc));
        if (i == saves) {
            doc_release(doc);
            return t;
        }
        path = dir / vex::concat({"p", std::to_string(i + 1), ".xlsx"});
        const int saved = doc_save(doc, path.c_str());
        doc_release(doc);
        if (!saved) {
            t.seen.push_back(std::string("save: ") + run_msg());
            return t;
        }
        t.copies.push_back(read_zip(path));
    }
}

// The entries a second save must write as the first did.
void expect_settled(const trip_t& t) {
    ASSERT_GE(t.copies.size(), 3u);
    for (const auto& [name, bytes] : t.copies[1]) {
        if (!name.starts_with("xl/worksheets/sheet") && name != "xl/workbook.xml" && name != "xl/styles.xml" &&
            !name.starts_with("xl/tables/"))
            continue;
        EXPECT_EQ(find(t.copies[2], name), bytes) << name;
    }
}

plover_worksheet_t* first_sheet(plover_document_t* doc) { return wb_get_sheet(doc_get_workbook(doc), 0); }

std::string text_at(plover_document_t* doc, int row, int col) {
    const char* t = ws_get_text(first_sheet(doc), row, col);
    return t ? t : "<null>";
}

const std::string table_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";

// A sheet holding a table over A1:B3, whose part has `filter` before its columns.
entries_t table_package(const std::string& filter, const std::string& sheet_filter = "") {
    const std::string cells = "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
                              "<c r=\"B1\" t=\"inlineStr\"><is><t>b</t></is></c></row>"
                              "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>2</v></c></row>"
                              "<row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"B3\"><v>4</v></c></row></sheetData>";
    const std::string table = std::string(decl) + "<table xmlns=\"" + reader_test::main_ns +
                              "\" id=\"1\" name=\"T\" displayName=\"T\" ref=\"A1:B3\">" + filter +
                              "<tableColumns count=\"2\"><tableColumn id=\"1\" name=\"a\"/>"
                              "<tableColumn id=\"2\" name=\"b\"/></tableColumns>"
                              "<tableStyleInfo name=\"TableStyleMedium2\" showRowStripes=\"1\"/></table>";
    return reader_test::sheet_package_with(
        cells + sheet_filter + "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>",
        rel("rId1", std::string(od) + "table", "../tables/table1.xml"), {{"xl/tables/table1.xml", table}},
        override_of("xl/tables/table1.xml", table_type));
}

std::string table_and_filter(plover_document_t* doc) {
    plover_tabledef_t* td = ws_get_tabledef(first_sheet(doc), 0);
    if (!td) return "no table";
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    td_range(td, &r1, &c1, &r2, &c2);
    return std::to_string(r1) + "," + std::to_string(c1) + ":" + std::to_string(r2) + "," + std::to_string(c2);
}

const std::string x14_ns = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";

// Styles as Excel 2010 and later end them: the differential formats a custom
// slicer style draws with, and the slicer and timeline defaults, in an
// extension list whose first extension uses a prefix bound on the root.
const std::string slicer_extensions =
    "<extLst><ext uri=\"{46F421CA-312F-682f-3DD2-61675219B42D}\"><x14:dxfs count=\"1\"><dxf><font><b val=\"1\">"
    "</b></font></dxf></x14:dxfs></ext><ext uri=\"{EB79DEF2-80B8-43e5-95BD-54CBDDF9020C}\"><x14:slicerStyles "
    "defaultSlicerStyle=\"SlicerStyleLight1\"><x14:slicerStyle name=\"Mine\"><x14:slicerStyleElements>"
    "<x14:slicerStyleElement type=\"selectedItemWithData\" dxfId=\"0\"></x14:slicerStyleElement>"
    "</x14:slicerStyleElements></x14:slicerStyle></x14:slicerStyles></ext><ext "
    "uri=\"{9260A510-F301-46a8-8635-F512D64BE5F5}\" xmlns:x15=\"http://schemas.microsoft.com/office/spreadsheetml/"
    "2010/11/main\"><x15:timelineStyles defaultTimelineStyle=\"TimeSlicerStyleLight1\"></x15:timelineStyles></ext>"
    "</extLst>";

entries_t slicer_styles_package() {
    entries_t p = reader_test::with_styles(
        reader_test::sheet_package("<sheetData/>"),
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>" + slicer_extensions);
    for (auto& [name, bytes] : p)
        if (name == "xl/styles.xml")
            bytes.insert(bytes.find('>', bytes.find("<styleSheet")), " xmlns:x14=\"" + x14_ns + "\"");
    return p;
}

// The part in UTF-16, little- or big-endian, with its byte-order mark.
std::string utf16(const std::string& ascii, bool big_endian) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
        out += big_endian ? '\0' : c;
        out += big_endian ? c : '\0';
    }
    return out;
}

struct value_case_t {
    const char* name;
    entries_t package;
    probe_t probe;
    std::string expected;  // after the load and after each save
};

std::vector<value_case_t> value_cases() {
    const auto cell = [](const std::string& c) {
        return "<sheetData><row r=\"1\">" + c + "</row></sheetData>";
    };
    const auto a1 = [](plover_document_t* d) { return text_at(d, 1, 1); };
    const std::string sst_a = "<si><t>zero</t></si><si><t>one</t></si>";
    const std::string sst_marked = "<si><t>ab<!-- note -->cd</t></si><si><r><t><?pi x?>e<!---->f</t></r></si>";
    std::vector<value_case_t> v;
    v.push_back({"table filter without a range takes the table's",
                 table_package("<autoFilter/>"), table_and_filter, "1,1:3,2"});
    v.push_back({"sheet filter without a range is dropped",
                 table_package("", "<autoFilter><filterColumn colId=\"0\"/></autoFilter>"), table_and_filter,
                 "1,1:3,2"});
    v.push_back({"no workbook views: the first sheet is active",
                 reader_test::sheet_package(cell("<c r=\"A1\"><v>1</v></c>")),
                 [](plover_document_t* d) {
                     plover_workbook_t* wb = doc_get_workbook(d);
                     return std::to_string(wb_get_active_sheet(wb)) + std::to_string(wb_set_active_sheet(wb, 0));
                 },
                 "01"});
    v.push_back({"comment and instruction inside a shared string",
                 reader_test::sheet_package(cell("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"),
                                            &sst_marked),
                 [](plover_document_t* d) { return text_at(d, 1, 1) + "|" + text_at(d, 1, 2); }, "abcd|ef"});
    v.push_back({"comment before an inline string",
                 reader_test::sheet_package(cell("<c r=\"A1\" t=\"inlineStr\"><is><t><!-- c --> x&amp;y</t></is></c>")),
                 a1, " x&y"});
    v.push_back({"spin count past the signed range",
                 reader_test::sheet_package(cell("<c r=\"A1\"><v>1</v></c>") +
                                            "<sheetProtection sheet=\"1\" spinCount=\"4294967295\"/>"),
                 [](plover_document_t*) { return std::string("loaded"); }, "loaded"});
    v.push_back({"negative zero formula result",
                 reader_test::sheet_package(cell("<c r=\"A1\"><f>0*-1</f><v>-0</v></c>")),
                 [](plover_document_t* d) {
                     const double x = ws_get_num(first_sheet(d), 1, 1);
                     return std::string(x == 0.0 && std::signbit(x) ? "-0" : "other");
                 },
                 "-0"});
    v.push_back({"a link beside a part kept whole",
                 reader_test::sheet_package_with(
                     "<sheetData/><hyperlinks><hyperlink ref=\"A1\" r:id=\"rId1\"/></hyperlinks>",
                     rel("rId1", std::string(od) + "hyperlink", "https://example.com/x", true) +
                         rel("rId2", "http://example.com/custom", "../custom/x.xml"),
                     {{"xl/custom/x.xml", "<x/>"}}, ""),
                 [](plover_document_t* d) {
                     int r1, c1, r2, c2;
                     const char* a = ws_hyperlink(first_sheet(d), 0, &r1, &c1, &r2, &c2);
                     return std::string(a ? a : "<null>");
                 },
                 "https://example.com/x"});
    // A host copying cells by their type reads a date result as a date.
    v.push_back({"a formula's date result reads as its type says",
                 reader_test::with_styles(
                     reader_test::sheet_package(cell("<c r=\"A1\" s=\"1\"><f>DATE(2024,2,29)</f><v>45351</v></c>")),
                     "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\" applyNumberFormat=\"1\"/></cellXfs>"),
                 [](plover_document_t* d) {
                     plover_worksheet_t* ws = first_sheet(d);
                     return std::to_string(ws_cell_type(ws, 1, 1) == CELLTYPE_DATETIME) +
                            std::to_string(ws_get_datetime(ws, 1, 1) == 45351) + std::to_string(ws_get_num(ws, 1, 1) == 45351);
                 },
                 "111"});
    const std::string sst_readings = "<si><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh><phoneticPr fontId=\"1\"/></si>";
    v.push_back({"a text with readings gives the text alone",
                 reader_test::sheet_package(cell("<c r=\"A1\" t=\"s\"><v>0</v></c>"), &sst_readings), a1, "東京"});
    for (const bool big : {false, true}) {
        entries_t p = reader_test::sheet_package(cell("<c r=\"A1\" t=\"s\"><v>1</v></c>"), &sst_a);
        for (auto& [name, bytes] : p)
            if (name == "xl/sharedStrings.xml" || name == "xl/worksheets/sheet1.xml") {
                std::string text = bytes;
                text.replace(text.find("UTF-8"), 5, "UTF-16");
                bytes = utf16(text, big);
            }
        v.push_back({big ? "parts in UTF-16, big-endian" : "parts in UTF-16, little-endian", p, a1, "one"});
    }
    return v;
}

TEST(round_trip_values, each_value_survives_three_saves) {
    for (const value_case_t& c : value_cases()) {
        const trip_t t = round_trip(c.package, c.probe);
        EXPECT_EQ(t.seen, std::vector<std::string>(4, c.expected)) << c.name;
        expect_settled(t);
    }
}

TEST(round_trip_values, saved_entries_say_what_was_read) {
    struct row {
        const char* name;
        entries_t package;
        std::string entry;
        std::vector<std::string> has, lacks;
    };
    std::vector<row> rows = {
        {"table filter", table_package("<autoFilter/>"), "xl/tables/table1.xml", {"<autoFilter ref=\"A1:B3\"/>"}, {}},
        {"sheet filter", table_package("", "<autoFilter><filterColumn colId=\"0\"/></autoFilter>"),
         "xl/worksheets/sheet1.xml", {}, {"autoFilter"}},
        {"spin count",
         reader_test::sheet_package("<sheetData/><sheetProtection sheet=\"1\" spinCount=\"4294967295\"/>"),
         "xl/worksheets/sheet1.xml", {"spinCount=\"4294967295\""}, {}},
        {"negative zero result", reader_test::sheet_package("<sheetData><row r=\"1\"><c r=\"A1\"><f>0*-1</f>"
                                                            "<v>-0</v></c></row></sheetData>"),
         "xl/worksheets/sheet1.xml", {"<v>-0</v>"}, {}},
        {"styles extension list", slicer_styles_package(), "xl/styles.xml",
         {"xmlns:x14=\"" + x14_ns + "\"", slicer_extensions + "</styleSheet>"}, {}},
    };
    const auto with_strings = [](const std::string& cells, const std::string& items) {
        return reader_test::sheet_package("<sheetData><row r=\"1\">" + cells + "</row></sheetData>", &items);
    };
    const std::string strings = "xl/sharedStrings.xml";
    // Rows 2-5 and 7-10 at level 2 under summaries 6 and 11 at level 1; row 12
    // collapses the outer group, and with it the inner ones. Columns alike.
    std::string nested = "<cols><col min=\"2\" max=\"5\" width=\"9\" hidden=\"1\" outlineLevel=\"2\"/>"
                         "<col min=\"6\" max=\"6\" width=\"9\" hidden=\"1\" outlineLevel=\"1\"/>"
                         "<col min=\"7\" max=\"10\" width=\"9\" hidden=\"1\" outlineLevel=\"2\"/>"
                         "<col min=\"11\" max=\"11\" width=\"9\" hidden=\"1\" outlineLevel=\"1\"/>"
                         "<col min=\"12\" max=\"12\" width=\"9\" collapsed=\"1\"/></cols><sheetData>";
    for (int r = 2; r <= 11; ++r)
        nested += "<row r=\"" + std::to_string(r) + "\" hidden=\"1\" outlineLevel=\"" + (r == 6 || r == 11 ? "1" : "2") + "\"/>";
    nested += "<row r=\"12\" collapsed=\"1\"><c r=\"A12\"><v>1</v></c></row></sheetData>";
    rows.insert(rows.end(), {
        {"whole formula result",
         reader_test::sheet_package("<sheetData><row r=\"1\"><c r=\"A1\"><f>1E7*2</f><v>20000000</v></c></row></sheetData>"),
         "xl/worksheets/sheet1.xml", {"<v>20000000</v>"}, {"e+"}},
        {"NUL escape in a shared string", with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c>", "<si><t>a_x0000_b</t></si>"),
         strings, {"<t>a_x0000_b</t>"}, {"_x005F_"}},
        {"lone surrogate in a shared string", with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c>", "<si><t>_xD800_z</t></si>"),
         strings, {"<t>_xD800_z</t>"}, {"_x005F_"}},
        {"NUL escape in a rich run",
         with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c>", "<si><r><t>a_x0000_</t></r><r><rPr><b/></rPr><t>b</t></r></si>"),
         strings, {"<t>a_x0000_</t>"}, {"_x005F_"}},
        {"NUL escape in an inline string",
         with_strings("<c r=\"A1\" t=\"inlineStr\"><is><t>c_x0000_</t></is></c>", "<si><t>x</t></si>"), strings,
         {"<t>c_x0000_</t>"}, {"_x005F_"}},
        // The literal stays apart from the escape beside it, and from a host's text.
        {"literal beside an escape",
         with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>",
                      "<si><t>_x005F_x0000_|_x0000_</t></si><si><t>_x005F_x0000_</t></si>"),
         strings, {"<t>_x005F_x0000_|_x0000_</t>", "<t>_x005F_x0000_</t>"}, {}},
        // The mark ends with its item: the empty item after it is the empty text of the third.
        {"empty item after a kept escape",
         with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>",
                      "<si><t>a_x0000_b</t></si><si/><si><t></t></si>"),
         strings, {"uniqueCount=\"2\""}, {}},
        {"NUL escape in a formula's cached text", with_strings("<c r=\"B1\" t=\"str\"><f>\"x\"</f><v>c_x0000_d</v></c>", ""),
         "xl/worksheets/sheet1.xml", {"<v>c_x0000_d</v>"}, {"_x005F_"}},
        {"lone surrogate in a formula's cached text",
         with_strings("<c r=\"B1\" t=\"str\"><f>\"x\"</f><v>_xD800_e</v></c>", ""), "xl/worksheets/sheet1.xml",
         {"<v>_xD800_e</v>"}, {"_x005F_"}},
        {"NUL escape in a formula's text", with_strings("<c r=\"B1\"><f>\"a_x0000_b\"</f><v>1</v></c>", ""),
         "xl/worksheets/sheet1.xml", {"a_x0000_b&quot;</f>"}, {"_x005F_"}},
        {"phonetic guide shown", with_strings("<c r=\"A1\" t=\"s\" ph=\"1\"><v>0</v></c><c r=\"B1\" ph=\"1\"><v>5</v></c>",
                                              "<si><t>東</t><rPh sb=\"0\" eb=\"1\"><t>ヒガシ</t></rPh></si>"),
         "xl/worksheets/sheet1.xml", {"<c r=\"A1\" t=\"s\" ph=\"1\"><v>0</v></c><c r=\"B1\" ph=\"1\"><v>5</v></c>"}, {}},
        // A literal "_x005F" before a kept escape stays apart from a literal escape.
        {"literal _x005F before a kept escape in strings",
         with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                      "<c r=\"C1\" t=\"inlineStr\"><is><t>_x005F_x005F_xD800_</t></is></c>",
                      "<si><t>a_x005F_x005F_x0000_b</t></si>"
                      "<si><r><t>_x005F_x005F_x0000_</t></r><r><rPr><b/></rPr><t>b</t></r></si>"),
         strings, {"<t>a_x005F_x005F_x0000_b</t>", "<t>_x005F_x005F_x0000_</t></r>", "<t>_x005F_x005F_xD800_</t>"},
         {}},
        {"literal _x005F before a kept escape in formulas",
         with_strings("<c r=\"A1\"><f>\"_x005F_x005F_x0000_\"</f><v>1</v></c>"
                      "<c r=\"B1\" t=\"str\"><f>\"x\"</f><v>_x005F_x005F_x0000_</v></c>", ""),
         "xl/worksheets/sheet1.xml", {"&quot;_x005F_x005F_x0000_&quot;</f>", "<v>_x005F_x005F_x0000_</v>"}, {}},
        {"escape in a reading", with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c>",
                                             "<si><t>東</t><rPh sb=\"0\" eb=\"1\"><t>_x0041_</t></rPh></si>"),
         strings, {"<rPh sb=\"0\" eb=\"1\"><t>A</t></rPh>"}, {}},
        // Readings stay with their item, in the format's order, and tell items apart; a
        // character type the format does not know is left to its default.
        {"readings of a shared string",
         with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>",
                      "<si><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh><phoneticPr fontId=\"1\" type=\"noConversion\"/></si>"
                      "<si><t>東京</t><rPh sb=\"0\" eb=\"1\"><t>ヒガシ</t></rPh></si><si><t>東京</t></si>"),
         strings,
         {"<si><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh><phoneticPr fontId=\"1\" type=\"noConversion\"/></si>"
          "<si><t>東京</t><rPh sb=\"0\" eb=\"1\"><t>ヒガシ</t></rPh></si><si><t>東京</t></si>"},
         {}},
        {"readings of a rich item",
         with_strings("<c r=\"A1\" t=\"s\"><v>0</v></c>",
                      "<si><r><t>東</t></r><r><rPr><b/></rPr><t>京</t></r><rPh sb=\"1\" eb=\"2\"><t>キョウ</t></rPh>"
                      "<phoneticPr fontId=\"2\" alignment=\"center\" type=\"unknown\"/></si>"),
         strings, {"</r><rPh sb=\"1\" eb=\"2\"><t>キョウ</t></rPh><phoneticPr fontId=\"2\" alignment=\"center\"/></si>"}, {}},
        {"readings of an inline string",
         with_strings("<c r=\"A1\" t=\"inlineStr\"><is><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh>"
                      "<phoneticPr fontId=\"1\" type=\"Hiragana\"/></is></c>",
                      ""),
         strings, {"<si><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh><phoneticPr fontId=\"1\" type=\"Hiragana\"/></si>"}, {}},
        {"nested outline collapsed outside", reader_test::sheet_package(nested), "xl/worksheets/sheet1.xml",
         {"<row r=\"2\" hidden=\"1\" outlineLevel=\"2\">", "<row r=\"6\" hidden=\"1\" outlineLevel=\"1\">",
          "<row r=\"10\" hidden=\"1\" outlineLevel=\"2\">", "<row r=\"12\" collapsed=\"1\">",
          "collapsed=\"1\"/></cols>"},
         {"outlineLevel=\"2\" collapsed", "outlineLevel=\"1\" collapsed"}},
    });
    for (const row& r : rows) {
        const trip_t t = round_trip(r.package, [](plover_document_t*) { return std::string(); });
        ASSERT_EQ(t.copies.size(), 3u) << r.name << ": " << t.seen.back();
        for (const entries_t& copy : {t.copies[0], t.copies[2]}) {
            const std::string xml = find(copy, r.entry);
            for (const std::string& s : r.has) EXPECT_NE(xml.find(s), std::string::npos) << r.name << "\n" << xml;
            for (const std::string& s : r.lacks) EXPECT_EQ(xml.find(s), std::string::npos) << r.name << "\n" << xml;
        }
    }
}

// Numbers are read whole: one that is not of the kind the format allows is
// refused as a word would be.
TEST(round_trip_values, cell_numbers_are_read_whole) {
    const std::string sst = "<si><t>zero</t></si><si><t>one</t></si>";
    struct row {
        std::string cell;
        std::string expected;
    };
    const std::vector<row> rows = {
        {"<c r=\"A1\" t=\"s\"><v>1</v></c>", "one"},
        {"<c r=\"A1\" t=\"s\"><v> 1 </v></c>", "one"},
        {"<c r=\"A1\" t=\"s\"><v>1e9</v></c>", "load: Cell data error."},
        {"<c r=\"A1\" t=\"s\"><v>1.5</v></c>", "load: Cell data error."},
        {"<c r=\"A1\" t=\"s\"><v>abc</v></c>", "load: Cell data error."},
        {"<c r=\"A1\" t=\"s\" s=\"1e3\"><v>1</v></c>", "load: Cell data error."},
        {"<c r=\"A1\" t=\"s\" s=\"0\"><v>1</v></c>", "one"},
        {"<c r=\"A1\"><v>0x10</v></c>", "load: Cell data error."},
        {"<c r=\"A1\"><v>16abc</v></c>", "load: Cell data error."},
        {"<c r=\"A1\"><v>+1.5E1</v></c>", "15"},
    };
    for (const row& r : rows) {
        const entries_t p = reader_test::sheet_package("<sheetData><row r=\"1\">" + r.cell + "</row></sheetData>", &sst);
        const trip_t t = round_trip(p, [](plover_document_t* d) {
            plover_worksheet_t* ws = first_sheet(d);
            return ws_cell_type(ws, 1, 1) == CELLTYPE_NUMBER ? std::to_string(int(ws_get_num(ws, 1, 1)))
                                                              : text_at(d, 1, 1);
        }, 1);
        if (r.expected.starts_with("load: "))
            EXPECT_NE(t.seen.front().find(r.expected.substr(6)), std::string::npos) << r.cell << ": " << t.seen.front();
        else
            EXPECT_EQ(t.seen.front(), r.expected) << r.cell;
    }
}

// A relationship part repeating an Id names two parts; one of them would be lost.
TEST(round_trip_values, a_repeated_relationship_id_is_refused) {
    entries_t p = reader_test::sheet_package("<sheetData/>");
    for (auto& [name, bytes] : p)
        if (name == "xl/_rels/workbook.xml.rels")
            bytes = rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                         rel("rId1", std::string(od) + "styles", "styles.xml"));
    const trip_t t = round_trip(p, [](plover_document_t*) { return std::string(); });
    ASSERT_EQ(t.seen.size(), 1u);
    EXPECT_NE(t.seen[0].find("The relationship part xl/_rels/workbook.xml.rels repeats the Id rId1."), std::string::npos)
        << t.seen[0];
}

// Spreadsheet applications store an SVG picture with a PNG fallback; WebP is
// stored alone. Images of types the content-type table lacks are kept as read.
TEST(round_trip_values, pictures_of_other_types_are_kept) {
    static constexpr char png_bytes[] = "\x89PNG\r\n\x1a\n not really";
    static constexpr char webp_bytes[] = "RIFF\x0c\0\0\0WEBPVP8 not really";
    const std::string png(png_bytes, sizeof png_bytes - 1), webp(webp_bytes, sizeof webp_bytes - 1);
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"3\"/>";
    const auto anchor = [](int row, const std::string& blip) {
        const std::string r = std::to_string(row);
        return "<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>" + r +
               "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>3</xdr:col><xdr:colOff>0</xdr:colOff>"
               "<xdr:row>" + r + "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:pic><xdr:nvPicPr>"
               "<xdr:cNvPr id=\"" + std::to_string(row + 2) + "\" name=\"P\"/><xdr:cNvPicPr/></xdr:nvPicPr>"
               "<xdr:blipFill>" + blip + "<a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr>"
               "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/>"
               "</xdr:twoCellAnchor>";
    };
    const std::string drawing =
        std::string(decl) +
        "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" xmlns:r=\"" + reader_test::rel_ns + "\">" +
        anchor(1, "<a:blip r:embed=\"rId1\"><a:extLst><a:ext uri=\"{96DAC541-7B7A-43D3-8B79-37D633B846F1}\">"
                  "<asvg:svgBlip xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/SVG/main\" "
                  "r:embed=\"rId2\"/></a:ext></a:extLst></a:blip>") +
        anchor(5, "<a:blip r:embed=\"rId3\"/>") + "</xdr:wsDr>";
    const std::string image = std::string(od) + "image";
    const entries_t package = reader_test::sheet_package_with(
        "<sheetData/><drawing r:id=\"rId1\"/>", rel("rId1", std::string(od) + "drawing", "../drawings/drawing1.xml"),
        {{"xl/drawings/drawing1.xml", drawing},
         {"xl/drawings/_rels/drawing1.xml.rels",
          rels(rel("rId1", image, "../media/image1.png") + rel("rId2", image, "../media/image2.svg") +
               rel("rId3", image, "../media/image3.webp"))},
         {"xl/media/image1.png", png}, {"xl/media/image2.svg", svg}, {"xl/media/image3.webp", webp}},
        override_of("xl/drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml") +
            "<Default Extension=\"png\" ContentType=\"image/png\"/>"
            "<Default Extension=\"svg\" ContentType=\"image/svg+xml\"/>"
            "<Default Extension=\"webp\" ContentType=\"image/webp\"/>");
    const trip_t t = round_trip(package, [](plover_document_t*) { return std::string("loaded"); });
    ASSERT_EQ(t.seen, std::vector<std::string>(4, "loaded"));
    for (const entries_t& copy : t.copies) {
        expect_no_dangling_targets(copy);
        std::string bytes;
        for (const auto& [name, b] : copy) bytes += b;
        for (const std::string& kept : {png, svg, webp}) EXPECT_NE(bytes.find(kept), std::string::npos);
        const std::string types = find(copy, "[Content_Types].xml");
        for (const std::string type : {"image/svg+xml", "image/webp"})
            EXPECT_NE(types.find("ContentType=\"" + type + "\""), std::string::npos) << types;
        // The SVG's own reference still names the SVG.
        const std::string saved_drawing = find(copy, "xl/drawings/drawing1.xml");
        const size_t blip = saved_drawing.find("svgBlip");
        ASSERT_NE(blip, std::string::npos) << saved_drawing;
        const size_t id_at = saved_drawing.find("r:embed=\"", blip) + 9;
        const std::string id = saved_drawing.substr(id_at, saved_drawing.find('"', id_at) - id_at);
        const std::string drawing_rels = find(copy, "xl/drawings/_rels/drawing1.xml.rels");
        const size_t rel_at = drawing_rels.find("Id=\"" + id + "\"");
        ASSERT_NE(rel_at, std::string::npos) << id << "\n" << drawing_rels;
        const size_t target = drawing_rels.find("Target=\"", rel_at) + 8;
        EXPECT_EQ(find(copy, "xl/" + drawing_rels.substr(target + 3, drawing_rels.find('"', target) - target - 3)), svg)
            << drawing_rels;
    }
}

using reader_test::with_styles;

// Theme colour 0 (white in the default theme) and palette index 0 are colours,
// not their absence.
TEST(round_trip_values, colour_zero_is_a_colour) {
    const std::string styles =
        "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
        "<font><b/><sz val=\"11\"/><color theme=\"0\"/><name val=\"Calibri\"/></font></fonts>"
        "<fills count=\"4\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill>"
        "<fill><patternFill patternType=\"solid\"><fgColor theme=\"0\" tint=\"-0.1499\"/><bgColor indexed=\"0\"/>"
        "</patternFill></fill>"
        "<fill><gradientFill degree=\"90\"><stop position=\"0\"><color theme=\"0\"/></stop>"
        "<stop position=\"1\"><color indexed=\"0\"/></stop></gradientFill></fill></fills>"
        "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
        "<border><left style=\"thin\"><color theme=\"0\"/></left><right style=\"thin\"><color indexed=\"0\"/></right>"
        "<top style=\"thin\"><color rgb=\"00000000\"/></top><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf/></cellStyleXfs><cellXfs count=\"4\"><xf/><xf fontId=\"1\" applyFont=\"1\"/>"
        "<xf fillId=\"2\" applyFill=\"1\"/><xf fillId=\"3\" borderId=\"1\" applyFill=\"1\" applyBorder=\"1\"/></cellXfs>";
    const entries_t p = with_styles(
        reader_test::sheet_package("<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c><c r=\"B1\" s=\"2\"><v>2</v>"
                                   "</c><c r=\"C1\" s=\"3\"><v>3</v></c></row></sheetData>"),
        styles);
    const trip_t t = round_trip(p, [](plover_document_t*) { return std::string("loaded"); });
    ASSERT_EQ(t.copies.size(), 3u) << t.seen.back();
    expect_settled(t);
    for (const entries_t& copy : {t.copies[0], t.copies[2]}) {
        const std::string xml = find(copy, "xl/styles.xml");
        for (const std::string s :
             {"<b val=\"1\"/><sz val=\"11\"/><color theme=\"0\"/>", "<fgColor theme=\"0\" tint=\"-0.1499\"/><bgColor indexed=\"0\"/>",
              "<stop position=\"0\"><color theme=\"0\"/></stop><stop position=\"1\"><color indexed=\"0\"/></stop>",
              "<left style=\"thin\"><color theme=\"0\"/></left><right style=\"thin\"><color indexed=\"0\"/></right>"
              "<top style=\"thin\"><color rgb=\"00000000\"/></top>"})
            EXPECT_NE(xml.find(s), std::string::npos) << s << "\n" << xml;
    }
}

const std::string comments_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";

// Each text the writers escape, written by a producer as "X_x0041_" (meaning "XA").
entries_t escaped_texts_package() {
    const std::string body =
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>c_x0041_</t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t>b</t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\" s=\"1\" t=\"str\"><f>\"_x0041_\"&amp;\"b\"</f><v>Ab</v></c></row></sheetData>"
        "<dataValidations count=\"1\"><dataValidation type=\"list\" allowBlank=\"1\" showInputMessage=\"1\" "
        "promptTitle=\"p_x0041_\" prompt=\"q_x0041_\" errorTitle=\"e_x0041_\" error=\"r_x0041_\" sqref=\"D1\">"
        "<formula1>\"x_x0041_,y\"</formula1></dataValidation></dataValidations>"
        "<hyperlinks><hyperlink ref=\"C1\" location=\"'Data_x0041_'!A1\" tooltip=\"t_x0041_\" display=\"d_x0041_\"/>"
        "<hyperlink ref=\"C2\" r:id=\"rId3\"/></hyperlinks>"
        "<headerFooter><oddHeader>&amp;Ch_x0041_</oddHeader></headerFooter>"
        "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>";
    const std::string table = std::string(decl) + "<table xmlns=\"" + reader_test::main_ns +
                              "\" id=\"1\" name=\"T_x0041_\" displayName=\"T_x0041_\" ref=\"A1:B2\">"
                              "<tableColumns count=\"2\"><tableColumn id=\"1\" name=\"c_x0041_\"/>"
                              "<tableColumn id=\"2\" name=\"b\"/></tableColumns></table>";
    const std::string comments = std::string(decl) + "<comments xmlns=\"" + reader_test::main_ns +
                                 "\"><authors><author>a_x0041_</author></authors><commentList>"
                                 "<comment ref=\"B1\" authorId=\"0\"><text><r><t>n_x0041_ _x0001_</t></r></text>"
                                 "</comment></commentList></comments>";
    entries_t p = reader_test::sheet_package_with(
        body,
        rel("rId1", std::string(od) + "table", "../tables/table1.xml") +
            rel("rId2", std::string(od) + "comments", "../comments1.xml") +
            rel("rId3", std::string(od) + "hyperlink", "https://example.com/_x0041_", true),
        {{"xl/tables/table1.xml", table}, {"xl/comments1.xml", comments}},
        override_of("xl/tables/table1.xml", table_type) + override_of("xl/comments1.xml", comments_type));
    for (auto& [name, bytes] : p)
        if (name == "xl/workbook.xml") {
            bytes.replace(bytes.find("name=\"Data\""), 11, "name=\"Data_x0041_\"");
            bytes.insert(bytes.find("</workbook>"), "<definedNames><definedName name=\"N_x0041_\">'Data_x0041_'!$A$1"
                                                    "</definedName></definedNames>");
        }
    return with_styles(p, "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.0&quot;_x0041_&quot;\"/>"
                          "</numFmts><fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
                          "<font><sz val=\"11\"/><name val=\"F_x0041_\"/></font></fonts>"
                          "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                          "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
                          "<borders count=\"1\"><border/></borders><cellStyleXfs count=\"1\"><xf/></cellStyleXfs>"
                          "<cellXfs count=\"2\"><xf/><xf numFmtId=\"164\" fontId=\"1\" applyNumberFormat=\"1\" "
                          "applyFont=\"1\"/></cellXfs>");
}

// What the exports answer for each text of the package above, or of the host's book below.
std::string texts_of(plover_document_t* doc) {
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = first_sheet(doc);
    plover_tabledef_t* td = ws_get_tabledef(ws, 0);
    plover_style_t* style = ws_get_cell_style(ws, 2, 1);
    int r1, c1, r2, c2;
    const auto text = [](const char* t) { return std::string(t ? t : "<null>"); };
    std::string out = text(wb_sheet_name(wb, 0)) + "|" + text(ws_get_formula_expr(ws, 2, 1)) + "|" +
                      text(ws_page_header(ws)) + "|" + text(ws_hyperlink(ws, 0, &r1, &c1, &r2, &c2)) + "|" +
                      (td ? text(td_name(td)) + "|" + text(td_col_name(td, 0)) : "no table") + "|" +
                      text(ws_get_text(ws, 1, 1)) + "|" + text(style ? style_numfmt_code(style) : nullptr) + "|" +
                      text(style ? style_font_name(style) : nullptr);
    if (style) style_release(style);
    return out;
}

TEST(round_trip_values, escape_like_texts_read_as_their_producer_meant) {
    const trip_t t = round_trip(escaped_texts_package(), texts_of);
    EXPECT_EQ(t.seen, std::vector<std::string>(4, "DataA|\"A\"&\"b\"|&ChA|'DataA'!A1|TA|cA|cA|0.0\"A\"|FA")) << t.seen.back();
    expect_settled(t);
    // Texts without an export: as the saved parts say them.
    struct row {
        const char* entry;
        std::vector<std::string> has;
    };
    const std::vector<row> rows = {
        {"xl/workbook.xml", {"<sheet name=\"DataA\"", "<definedName name=\"NA\">&apos;DataA&apos;!$A$1</definedName>"}},
        {"xl/worksheets/sheet1.xml",
         {"promptTitle=\"pA\"", "prompt=\"qA\"", "errorTitle=\"eA\"", "error=\"rA\"", "<formula1>&quot;xA,y&quot;</formula1>",
          "location=\"&apos;DataA&apos;!A1\"", "tooltip=\"tA\"", "display=\"dA\""}},
        // A relationship target is a URI, which takes no such escape.
        {"xl/worksheets/_rels/sheet1.xml.rels", {"Target=\"https://example.com/_x0041_\""}},
        {"xl/tables/table1.xml", {"name=\"TA\"", "displayName=\"TA\"", "<tableColumn id=\"1\" name=\"cA\""}},
        {"xl/comments1.xml", {"<author>aA</author>", "nA _x0001_"}},
    };
    ASSERT_EQ(t.copies.size(), 3u);
    for (const entries_t& copy : {t.copies[0], t.copies[2]})
        for (const row& r : rows) {
            const std::string xml = find(copy, r.entry);
            for (const std::string& s : r.has) EXPECT_NE(xml.find(s), std::string::npos) << r.entry << ": " << s << "\n" << xml;
        }
}

// What a host sets reads back: the writers escape what would read as an
// escape, and the readers decode it.
TEST(round_trip_values, host_texts_that_look_like_escapes_read_back_as_set) {
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Q_x0041_");
    ASSERT_NE(ws, nullptr);
    ASSERT_TRUE(ws_set_formula(ws, 2, 1, "\"_x0041_\"&\"b\""));
    ws_set_page_header(ws, "&CQ_x0041_\x01");
    ASSERT_TRUE(ws_add_hyperlink(ws, "'Q_x0041_'!B2", 1, 3, 1, 3));
    ASSERT_TRUE(ws_set_text(ws, 1, 1, "c_x0041_"));
    ASSERT_TRUE(ws_set_text(ws, 1, 2, "b"));
    plover_tabledef_t* td = ws_add_tabledef(ws, "T_x0041_", 1, 1, 2, 2);
    ASSERT_NE(td, nullptr);
    plover_style_t* style = wb_make_normal_style(wb);
    ASSERT_TRUE(style_set_numfmt(style, "0.0\"_x0041_\""));
    style_set_font(style, "F_x0041_", 11);
    ws_set_cell_style(ws, 2, 1, style);
    style_release(style);
    const std::string expected = "Q_x0041_|\"_x0041_\"&\"b\"|&CQ_x0041_\x01|'Q_x0041_'!B2|T_x0041_|c_x0041_|c_x0041_|"
                                 "0.0\"_x0041_\"|F_x0041_";
    EXPECT_EQ(texts_of(doc), expected);
    ASSERT_TRUE(doc_save(doc, (dir / "host.xlsx").c_str()));
    doc_release(doc);
    const trip_t t = round_trip(read_zip(dir / "host.xlsx"), texts_of);
    EXPECT_EQ(t.seen, std::vector<std::string>(4, expected));
    expect_settled(t);
}

// A whole number goes out in digits, which readers take for a whole number,
// and every number reads back bit for bit.
TEST(round_trip_values, host_numbers_are_written_as_readers_take_them) {
    const struct {
        double v;
        const char* written;
    } rows[] = {
        {1e7, "10000000"}, {1.2e8, "120000000"}, {-3e9, "-3000000000"}, {9007199254740991.0, "9007199254740991"},
        {1e20, "1e+20"}, {0.1 + 0.2, "0.30000000000000004"}, {1e-7, "1e-07"}, {-2.5e7, "-25000000"},
    };
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Data");
    for (int i = 0; i < int(std::size(rows)); ++i) ASSERT_TRUE(ws_set_num(ws, i + 1, 1, rows[i].v));
    ASSERT_TRUE(doc_save(doc, (dir / "host.xlsx").c_str()));
    doc_release(doc);
    const entries_t saved = read_zip(dir / "host.xlsx");
    const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
    for (const auto& r : rows)
        EXPECT_NE(sheet.find(std::string("<v>") + r.written + "</v>"), std::string::npos) << r.written << "\n" << sheet;
    const trip_t t = round_trip(saved, [&](plover_document_t* d) {
        std::string differ;
        for (int i = 0; i < int(std::size(rows)); ++i)
            if (ws_get_num(first_sheet(d), i + 1, 1) != rows[i].v) differ += rows[i].written + std::string(" ");
        return differ;
    });
    EXPECT_EQ(t.seen, std::vector<std::string>(4, ""));
}

} // namespace

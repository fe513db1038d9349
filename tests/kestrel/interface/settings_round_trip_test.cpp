// Settings a file holds or a host sets come back from one save and from three,
// and the second save changes nothing.
#include "tests/kestrel/interface/round_trip_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace round_trip_test;

namespace {

const std::string sheet1 = "xl/worksheets/sheet1.xml";

struct row_t {
    std::string name;
    std::string sheet_body;  // empty: a new book
    host_t host;
    std::vector<std::string> kept;
    std::vector<std::string> gone;
    host_t check = {};
    std::string sheet_rels = {};
    entries_t extra = {};  // with their types in extra_types
    std::string extra_types = {};
};

plover_worksheet_t* first_sheet(plover_workbook_t* wb) { return wb_get_sheet(wb, 0); }

void run_rows(const std::vector<row_t>& rows) {
    for (const row_t& r : rows) {
        entries_t package;
        if (!r.sheet_body.empty()) {
            package = package_of(one_sheet(r.sheet_body, r.sheet_rels, r.extra, r.extra_types));
        }
        const saves_t s = three_saves(package, r.host, r.check);
        ASSERT_EQ(s.message, "") << r.name;
        expect_entry(s, sheet1, r.kept, r.gone, r.name);
        expect_stable(s, r.name);
    }
}

const std::string data = "<sheetData/>";

std::string protection(const std::string& algorithm) {
    return data + "<sheetProtection algorithmName=\"" + algorithm +
           "\" hashValue=\"aGFzaA==\" saltValue=\"c2FsdA==\" spinCount=\"100000\" sheet=\"1\"/>";
}

} // namespace

// Every algorithm of the table, in either spelling, is written as applications
// write it with its hash; a name outside the table is kept as read; a host's
// password writes the legacy hash alone.
TEST(settings_round_trip, sheet_protection_keeps_its_algorithm_and_hash) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"MD2", "MD2"},           {"MD4", "MD4"},           {"MD5", "MD5"},         {"RIPEMD-128", "RIPEMD128"},
        {"RIPEMD-160", "RIPEMD160"}, {"SHA-1", "SHA1"},     {"SHA-256", "SHA256"},  {"SHA-384", "SHA384"},
        {"SHA-512", "SHA512"},    {"WHIRLPOOL", "WHIRLPOOL"}, {"SHA3-256", "SHA3-256"}, {"sha-512", "sha-512"},
    };
    const auto protected_sheet = [](plover_workbook_t* wb) { EXPECT_EQ(ws_is_protected(first_sheet(wb)), 1); };
    std::vector<row_t> rows;
    for (const auto& [written, plain] : names)
        for (const std::string& read : {written, plain})
            rows.push_back({"read " + read, protection(read), {},
                            {"algorithmName=\"" + written + "\"", "hashValue=\"aGFzaA==\"", "saltValue=\"c2FsdA==\"",
                             "spinCount=\"100000\""},
                            {},
                            protected_sheet});
    rows.push_back({"host password", "",
                    [](plover_workbook_t* wb) { ASSERT_EQ(ws_protect(first_sheet(wb), 0, "secret"), 1); },
                    {"<sheetProtection sheet=\"1\" password=\""},
                    {"algorithmName", "hashValue"},
                    protected_sheet});
    run_rows(rows);
}

// Print options and page-setup flags, set by a host or read from a file, read
// back the same; an absent gridLinesSet is the format's true.
TEST(settings_round_trip, print_options_and_page_setup_flags) {
    using get_t = int (*)(plover_worksheet_t*);
    using set_t = void (*)(plover_worksheet_t*, int);
    const struct {
        const char* name;
        set_t set;
        get_t get;
        const char* attribute;
    } options[] = {
        {"gridlines", ws_set_print_gridlines, ws_print_gridlines, "gridLines=\"1\""},
        {"headings", ws_set_print_headings, ws_print_headings, "headings=\"1\""},
        {"horizontal", ws_set_h_centered_printing, ws_h_centered_printing, "horizontalCentered=\"1\""},
        {"vertical", ws_set_v_centered_printing, ws_v_centered_printing, "verticalCentered=\"1\""},
    };
    std::vector<row_t> rows;
    for (const auto& o : options) {
        rows.push_back({std::string("host ") + o.name, "", [&o](plover_workbook_t* wb) { o.set(first_sheet(wb), 1); },
                        {o.attribute},
                        {"gridLinesSet"},
                        [&o](plover_workbook_t* wb) { EXPECT_EQ(o.get(first_sheet(wb)), 1) << o.name; }});
        rows.push_back({std::string("file ") + o.name, data + "<printOptions " + o.attribute + "/>", {}, {o.attribute},
                        {"gridLinesSet"},
                        [&o](plover_workbook_t* wb) { EXPECT_EQ(o.get(first_sheet(wb)), 1) << o.name; }});
    }
    rows.push_back({"gridlines not set", data + "<printOptions gridLines=\"1\" gridLinesSet=\"0\"/>", {},
                    {"gridLines=\"1\"", "gridLinesSet=\"0\""},
                    {},
                    [](plover_workbook_t* wb) { EXPECT_EQ(ws_print_gridlines(first_sheet(wb)), 0); }});
    rows.push_back({"gridlines set in words", data + "<printOptions gridLines=\"true\" gridLinesSet=\"true\"/>", {},
                    {"<printOptions gridLines=\"1\"/>"},
                    {},
                    [](plover_workbook_t* wb) { EXPECT_EQ(ws_print_gridlines(first_sheet(wb)), 1); }});
    rows.push_back({"page setup flags",
                    data + "<pageSetup paperSize=\"8\" firstPageNumber=\"3\" orientation=\"landscape\" "
                           "usePrinterDefaults=\"0\" blackAndWhite=\"1\" draft=\"1\" useFirstPageNumber=\"1\"/>",
                    {},
                    {"paperSize=\"8\"", "firstPageNumber=\"3\"", "orientation=\"landscape\"",
                     "usePrinterDefaults=\"false\"", "blackAndWhite=\"true\"", "draft=\"true\"",
                     "useFirstPageNumber=\"true\""},
                    {},
                    [](plover_workbook_t* wb) {
                        EXPECT_EQ(ws_paper(first_sheet(wb)), 8);
                        EXPECT_EQ(ws_page_orientation(first_sheet(wb)), 1);
                    }});
    rows.push_back({"host page setup", "",
                    [](plover_workbook_t* wb) {
                        plover_worksheet_t* ws = first_sheet(wb);
                        ASSERT_EQ(ws_set_paper(ws, 8), 1);
                        ws_set_print_scale(ws, 80);
                        ws_set_page_orientation(ws, 1);
                        ws_set_print_errors(ws, 1);
                    },
                    {"paperSize=\"8\"", "scale=\"80\"", "orientation=\"landscape\"", "errors=\"dash\""},
                    {},
                    [](plover_workbook_t* wb) {
                        plover_worksheet_t* ws = first_sheet(wb);
                        EXPECT_EQ(ws_paper(ws), 8);
                        EXPECT_EQ(ws_print_scale(ws), 80);
                        EXPECT_EQ(ws_page_orientation(ws), 1);
                        EXPECT_EQ(ws_print_errors(ws), 1);
                    }});
    run_rows(rows);
}

// Protected ranges read from a file are editable ranges: listed, added to,
// deleted, and saved as one element with unique names and nothing lost.
TEST(settings_round_trip, protected_ranges_are_read_into_the_model) {
    const std::string body =
        data + "<sheetProtection sheet=\"1\"/><protectedRanges>"
               "<protectedRange algorithmName=\"SHA512\" hashValue=\"aGFzaA==\" saltValue=\"c2FsdA==\" "
               "spinCount=\"100000\" sqref=\"A1:B2 D4\" name=\"Budget\">"
               "<securityDescriptor>O:WDG:WDD:(A;;CC;;;WD)</securityDescriptor></protectedRange>"
               "<protectedRange sqref=\"C3\" name=\"N_x006F_tes\" password=\"CC3D\"/>"
               "<protectedRange sqref=\"E5\" name=\"Budget\"/></protectedRanges>";
    const auto listed = [](plover_worksheet_t* ws) {
        ASSERT_EQ(ws_editable_range_count(ws), 3);
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        const char* name = ws_get_editable_range(ws, 0, &r1, &c1, &r2, &c2);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::string(name), "Budget");
        EXPECT_EQ(std::vector<int>({r1, c1, r2, c2}), std::vector<int>({1, 1, 2, 2}));
        EXPECT_EQ(std::string(ws_get_editable_range(ws, 1, nullptr, nullptr, nullptr, nullptr)), "Notes");
        // A name held already is made unique.
        EXPECT_EQ(std::string(ws_get_editable_range(ws, 2, nullptr, nullptr, nullptr, nullptr)), "Range 1");
    };
    const saves_t s = three_saves(package_of({{{body, ""}}}),
                                  [&](plover_workbook_t* wb) {
                                      plover_worksheet_t* ws = first_sheet(wb);
                                      listed(ws);
                                      ASSERT_EQ(ws_set_editable_range(ws, 7, 1, 8, 2), 1);
                                      ASSERT_EQ(ws_delete_editable_range(ws, 1), 1);
                                      ASSERT_EQ(ws_set_editable_range(ws, 9, 9, 9, 9), 1);
                                  },
                                  [](plover_workbook_t* wb) {
                                      plover_worksheet_t* ws = first_sheet(wb);
                                      ASSERT_EQ(ws_editable_range_count(ws), 4);
                                      const char* names[] = {"Budget", "Range 1", "Range 2", "Range 3"};
                                      for (int i = 0; i < 4; ++i)
                                          EXPECT_STREQ(ws_get_editable_range(ws, i, nullptr, nullptr, nullptr, nullptr),
                                                       names[i]);
                                  });
    ASSERT_EQ(s.message, "");
    expect_entry(s, sheet1,
                 {"<protectedRanges><protectedRange algorithmName=\"SHA-512\" hashValue=\"aGFzaA==\" "
                  "saltValue=\"c2FsdA==\" spinCount=\"100000\" sqref=\"A1:B2 D4\" name=\"Budget\">"
                  "<securityDescriptor>O:WDG:WDD:(A;;CC;;;WD)</securityDescriptor></protectedRange>",
                  "<protectedRange sqref=\"E5\" name=\"Range 1\"/>", "<protectedRange sqref=\"A7:B8\" name=\"Range 2\"/>",
                  "<protectedRange sqref=\"I9\" name=\"Range 3\"/></protectedRanges>"},
                 {"Notes"}, "edited ranges");
    for (const entries_t* copy : {&s.first, &s.third}) {
        const std::string sheet = package_test::find(*copy, sheet1);
        EXPECT_EQ(sheet.find("<protectedRanges"), sheet.rfind("<protectedRanges"));
    }
    expect_stable(s, "edited ranges");
}

// Smaller losses: each row once failed on its own.
TEST(settings_round_trip, smaller_settings_are_kept) {
    const std::string od = package_test::od;
    const std::string link_rel = package_test::rel("rId1", od + "hyperlink", "other.xlsx", true);
    // Saved as read but for its Id: the save numbers the sheet's one kept part rId1.
    const std::string pivot_view =
        "<sheetView tabSelected=\"1\" workbookViewId=\"0\"><pane xSplit=\"1\" topLeftCell=\"B1\" "
        "activePane=\"topRight\" state=\"frozen\"/><selection pane=\"topRight\" activeCell=\"C4\" sqref=\"C4\"/>"
        "<pivotSelection pane=\"topRight\" showHeader=\"1\" extendable=\"1\" count=\"2\" axis=\"axisRow\" "
        "dimension=\"1\" activeRow=\"3\" activeCol=\"2\" previousRow=\"3\" previousCol=\"2\" click=\"1\" r:id=\"rId%\">"
        "<pivotArea field=\"-2\" type=\"data\" dataOnly=\"0\" labelOnly=\"1\" outline=\"0\" offset=\"A1:B2\" "
        "collapsedLevelsAreSubtotals=\"1\" axis=\"axisCol\" fieldPosition=\"0\"><references count=\"2\">"
        "<reference field=\"4294967294\" count=\"1\" selected=\"0\"><x v=\"0\"/></reference>"
        "<reference field=\"3\" count=\"2\" byPosition=\"1\" sumSubtotal=\"1\" varPSubtotal=\"1\"><x v=\"1\"/>"
        "<x v=\"5\"/></reference></references></pivotArea></pivotSelection></sheetView>";
    const auto pivot_with = [&](const std::string& id) {
        std::string v = pivot_view;
        return v.replace(v.find('%'), 1, id);
    };
    const std::string lone_pivot = "<pivotSelection r:id=\"rId7\"><pivotArea/></pivotSelection>";
    std::vector<row_t> rows = {
        {"external link location",
         data + "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId1\" location=\"Sheet1!B2\"/></hyperlinks>", {},
         {"location=\"Sheet1!B2\""},
         {},
         [](plover_workbook_t* wb) { EXPECT_STREQ(ws_hyperlink(first_sheet(wb), 0, nullptr, nullptr, nullptr, nullptr), "other.xlsx"); },
         link_rel},
        {"flags in capitals",
         "<sheetViews><sheetView showGridLines=\"FALSE\" showZeros=\"False\" workbookViewId=\"0\"/></sheetViews>" + data,
         {},
         {"showGridLines=\"0\"", "showZeros=\"0\""},
         {},
         [](plover_workbook_t* wb) { EXPECT_EQ(ws_display_gridlines(first_sheet(wb)), 0); }},
        {"sort state case sensitive",
         "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"
         "<sortState ref=\"A1:A3\" caseSensitive=\"true\"><sortCondition ref=\"A1:A3\"/></sortState>",
         {},
         {"caseSensitive=\"1\""},
         {}},
        {"new sheet shows the ruler", "", [](plover_workbook_t* wb) { ws_set_zoom(first_sheet(wb), 120); },
         {"zoomScale=\"120\""},
         {"showRuler"}},
        {"fit to one page wide", "", [](plover_workbook_t* wb) { ws_set_fit_page_width(first_sheet(wb), 1); },
         {"<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>"},
         {},
         [](plover_workbook_t* wb) { EXPECT_EQ(ws_fit_page_width(first_sheet(wb)), 1); }},
        {"fit merged into kept properties",
         "<sheetPr codeName=\"Sheet1\"><tabColor rgb=\"FFFF0000\"/><pageSetUpPr autoPageBreaks=\"0\"/></sheetPr>" + data,
         [](plover_workbook_t* wb) { ws_set_fit_page_height(first_sheet(wb), 2); },
         {"<sheetPr codeName=\"Sheet1\"><tabColor rgb=\"FFFF0000\"/><pageSetUpPr autoPageBreaks=\"0\" "
          "fitToPage=\"1\"/></sheetPr>",
          "fitToHeight=\"2\""},
         {},
         [](plover_workbook_t* wb) { EXPECT_EQ(ws_fit_page_height(first_sheet(wb)), 2); }},
        {"active cell of a new sheet", "", [](plover_workbook_t* wb) { ws_set_active_cell(first_sheet(wb), 5, 3); },
         {"<selection activeCell=\"C5\" sqref=\"C5\"/>"},
         {}},
        {"active cell inside the selection",
         "<sheetViews><sheetView workbookViewId=\"0\"><selection activeCell=\"A1\" sqref=\"A1:B2\"/></sheetView>"
         "</sheetViews>" + data,
         [](plover_workbook_t* wb) { ws_set_active_cell(first_sheet(wb), 2, 2); },
         {"<selection activeCell=\"B2\" sqref=\"A1:B2\"/>"},
         {}},
        {"active cell outside the selection",
         "<sheetViews><sheetView workbookViewId=\"0\"><selection activeCell=\"A1\" sqref=\"A1:B2\"/></sheetView>"
         "</sheetViews>" + data,
         [](plover_workbook_t* wb) { ws_set_active_cell(first_sheet(wb), 9, 4); },
         {"<selection activeCell=\"D9\" sqref=\"D9\"/>"},
         {},
         [](plover_workbook_t* wb) {
             int row = 0, col = 0;
             ws_active_cell(first_sheet(wb), &row, &col);
             EXPECT_EQ(std::vector<int>({row, col}), std::vector<int>({9, 4}));
         }},
        {"pivot selection naming a kept part", "<sheetViews>" + pivot_with("9") + "</sheetViews>" + data, {},
         {"<sheetViews>" + pivot_with("1") + "</sheetViews>"},
         {"rId9"},
         {},
         package_test::rel("rId9", od + "printerSettings", "../printerSettings/printerSettings1.bin"),
         {{"xl/printerSettings/printerSettings1.bin", std::string("\0devmode", 8)}},
         "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument."
         "spreadsheetml.printerSettings\"/>"},
        {"pivot selection naming nothing",
         "<sheetViews><sheetView workbookViewId=\"0\">" + lone_pivot + "</sheetView></sheetViews>" + data, {},
         {"<sheetView tabSelected=\"1\" workbookViewId=\"0\"><pivotSelection><pivotArea/></pivotSelection></sheetView>"},
         {"rId7"}},
    };
    run_rows(rows);
}

// Two pivot selections naming two kept parts each name, after a save, the Id
// the saved sheet's relationships give their own part.
TEST(settings_round_trip, pivot_selections_follow_their_parts_ids) {
    const std::string od = package_test::od;
    const std::string sheet_rels =
        package_test::rel("rId4", od + "printerSettings", "../printerSettings/printerSettings1.bin") +
        package_test::rel("rId8", "http://example.com/relationships/blob", "../blob/blob1.xml");
    const auto selection = [](const std::string& id) {
        return "<pivotSelection r:id=\"" + id + "\"><pivotArea/></pivotSelection>";
    };
    const std::string body = "<sheetViews><sheetView workbookViewId=\"0\">" + selection("rId8") + selection("rId4") +
                             "</sheetView></sheetViews>" + data;
    const saves_t s = three_saves(
        package_of(one_sheet(body, sheet_rels,
                             {{"xl/printerSettings/printerSettings1.bin", std::string("\0devmode", 8)},
                              {"xl/blob/blob1.xml", "<blob xmlns=\"urn:example\"/>"}},
                             "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument."
                             "spreadsheetml.printerSettings\"/>" +
                                 package_test::override_of("xl/blob/blob1.xml", "application/xml"))),
        {});
    ASSERT_EQ(s.message, "");
    for (const entries_t* copy : {&s.first, &s.third}) {
        const std::string rels = package_test::find(*copy, "xl/worksheets/_rels/sheet1.xml.rels");
        // The Id of the relationship whose target ends as given.
        const auto id_of = [&](const std::string& target) {
            const size_t at = rels.rfind("Id=\"", rels.find(target));
            return at == std::string::npos ? std::string() : rels.substr(at + 4, rels.find('"', at + 4) - at - 4);
        };
        const std::string blob = id_of("blob1.xml"), printer = id_of("printerSettings1.bin");
        ASSERT_FALSE(blob.empty() || printer.empty()) << rels;
        EXPECT_NE(blob, printer);
        EXPECT_NE(package_test::find(*copy, sheet1).find(selection(blob) + selection(printer)), std::string::npos)
            << package_test::find(*copy, sheet1);
    }
    expect_stable(s, "two parts");
}

// A deleted sheet leaves #REF! where the other sheets' formulas and the names
// referenced it, in the model and in the saved file.
TEST(settings_round_trip, references_to_a_deleted_sheet_become_ref_errors) {
    const saves_t s = three_saves(
        {},
        [](plover_workbook_t* wb) {
            plover_worksheet_t* kept = first_sheet(wb);
            ASSERT_NE(wb_add_worksheet(wb, "Sheet2"), nullptr);
            ASSERT_EQ(ws_set_formula(kept, 1, 1, "Sheet2!A7*2"), 1) << run_msg();
            ASSERT_EQ(ws_set_formula(kept, 2, 1, "SUM(Sheet2!A1:B3)+A5"), 1) << run_msg();
            ASSERT_EQ(wb_set_defined_name(wb, "Target", "Sheet2!$A$7", nullptr), 1) << run_msg();
            wb_delete_sheet(wb, 1);
            ASSERT_EQ(wb_sheet_count(wb), 1u);
            EXPECT_STREQ(ws_get_formula_expr(kept, 1, 1), "#REF!*2");
            EXPECT_STREQ(ws_get_formula_expr(kept, 2, 1), "SUM(#REF!)+A5");
            EXPECT_STREQ(wb_get_defined_name_expr(wb, 0), "#REF!");
        },
        [](plover_workbook_t* wb) { EXPECT_STREQ(ws_get_formula_expr(first_sheet(wb), 1, 1), "#REF!*2"); });
    ASSERT_EQ(s.message, "");
    expect_entry(s, sheet1, {"<f>#REF!*2</f>", "<f>SUM(#REF!)+A5</f>"}, {"Sheet2"}, "formulas");
    expect_entry(s, "xl/workbook.xml", {"<definedName name=\"Target\">#REF!</definedName>"}, {"Sheet2"}, "names");
    expect_stable(s, "deleted sheet");
}

TEST(settings_round_trip, deleting_a_link_past_the_end_says_so) {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    ASSERT_EQ(ws_add_hyperlink(ws, "https://example.com", 1, 1, 1, 1), 1);
    EXPECT_EQ(ws_delete_hyperlink(ws, 99), 0);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(ws_delete_hyperlink(ws, -1), 0);
    EXPECT_EQ(ws_hyperlink_num(ws), 1);
    doc_release(doc);
}

// A loaded workbook keeps every element and attribute it held: the model's
// elements from the model (a host's edits win), the others as read, each at
// its schema place, with the root's namespaces.
TEST(settings_round_trip, workbook_content_is_written_back) {
    const std::string mc = "http://schemas.openxmlformats.org/markup-compatibility/2006";
    crafted_t c;
    c.book_root = " xmlns:mc=\"" + mc + "\" mc:Ignorable=\"x15 xr\" "
                  "xmlns:x15=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/main\" "
                  "xmlns:xr=\"http://schemas.microsoft.com/office/spreadsheetml/2014/revision\"";
    const std::vector<std::string> elements = {
        "<fileVersion appName=\"xl\" lastEdited=\"7\" lowestEdited=\"7\" rupBuild=\"27328\"/>",
        "<fileSharing readOnlyRecommended=\"1\"/>",
        "<workbookPr codeName=\"ThisWorkbook\" defaultThemeVersion=\"166925\"",
        "<mc:AlternateContent><mc:Choice Requires=\"x15\"><x15ac:absPath "
        "xmlns:x15ac=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/ac\" url=\"C:\\Books\\\"/>"
        "</mc:Choice></mc:AlternateContent>",
        "<xr:revisionPtr revIDLastSave=\"0\" documentId=\"13_ncr:1_{ABC}\"/>",
        "<workbookProtection lockStructure=\"1\" workbookAlgorithmName=\"SHA-512\" workbookHashValue=\"aGFzaA==\" "
        "workbookSaltValue=\"c2FsdA==\" workbookSpinCount=\"100000\"/>",
        "<workbookView xWindow=\"-120\" yWindow=\"-120\" windowWidth=\"29040\" windowHeight=\"15840\"/>",
        "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>",
        "<definedName name=\"Rate\">Sheet1!$A$1</definedName>",
        "<calcPr calcId=\"191029\" iterate=\"1\" iterateCount=\"50\" fullCalcOnLoad=\"1\"",
        "<customWorkbookViews><customWorkbookView name=\"Mine\" guid=\"{00000000-0000-0000-0000-000000000001}\" "
        "windowWidth=\"800\" windowHeight=\"600\" activeSheetId=\"1\"/></customWorkbookViews>",
        "<extLst><ext uri=\"{140A7094-0E35-4892-8432-C4D2E57EDEB5}\" "
        "xmlns:x15=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/main\">"
        "<x15:workbookPr chartTrackingRefBase=\"1\"/></ext></extLst>",
    };
    const auto closed = [](const std::string& e) { return e.back() == '"' ? e + "/>" : e; };
    c.book_body = closed(elements[0]) + closed(elements[1]) + closed(elements[2]) + elements[3] + elements[4] +
                  elements[5] + "<bookViews>" + elements[6] + "</bookViews><sheets>" + elements[7] +
                  "</sheets><definedNames>" + elements[8] + "</definedNames>" + closed(elements[9]) + elements[10] +
                  elements[11];
    const std::string book = "xl/workbook.xml";
    for (const bool edit : {false, true}) {
        const std::string row = edit ? "host edits" : "unchanged";
        const saves_t s = three_saves(package_of(c), [&](plover_workbook_t* wb) {
            if (!edit) return;
            wb_set_date1904(wb, 1);
            wb_set_calc_mode(wb, 1);
        });
        ASSERT_EQ(s.message, "") << row;
        std::vector<std::string> kept = elements;
        kept.push_back("mc:Ignorable=\"x15 xr\"");
        kept.push_back("xmlns:mc=\"" + mc + "\"");
        if (!edit) {
            kept[2] += "/>";
            kept[9] += "/>";
        } else {
            kept[2] += " date1904=\"1\"/>";
            kept[9] += " calcMode=\"manual\"/>";
        }
        expect_entry(s, book, kept, {"4294967176"}, row);
        // In schema order, the unknown ones after the element they followed.
        const std::string text = empty_tags_closed(package_test::find(s.third, book));
        size_t at = 0;
        for (const std::string& e : elements) {
            const size_t found = text.find(e);
            EXPECT_GE(found, at) << row << ": " << e;
            at = found == std::string::npos ? at : found;
        }
        expect_stable(s, row);
    }
}

namespace {

// B1 the master of a formula shared down to B3.
const std::string shared_down_b =
    "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"shared\" ref=\"B1:B3\" si=\"0\">"
    "A1*$C$1+SUM(A$1:A1)</f><v>1</v></c></row>"
    "<row r=\"2\"><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row>"
    "<row r=\"3\"><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row></sheetData>";

} // namespace

// A shared formula's follower gives its own text: the master's, read at the
// follower's cell.
TEST(settings_round_trip, shared_formula_followers_give_their_text) {
    const std::string& body = shared_down_b;
    const auto check = [](plover_workbook_t* wb) {
        plover_worksheet_t* ws = first_sheet(wb);
        EXPECT_STREQ(ws_get_formula_expr(ws, 1, 2), "A1*$C$1+SUM(A$1:A1)");
        EXPECT_EQ(ws_contains_formula(ws, 3, 2), 1);
        EXPECT_STREQ(ws_get_formula_expr(ws, 3, 2), "A3*$C$1+SUM(A$1:A3)");
        EXPECT_STREQ(ws_get_formula_expr(ws, 2, 2), "A2*$C$1+SUM(A$1:A2)");
    };
    run_rows({{"followers", body, check, {"<c r=\"B3\"><f t=\"shared\" si=\"0\"/>"}, {}, check}});
}

// Each follower's text stays where it was handed out while the others are
// read, until its own cell changes.
TEST(settings_round_trip, a_followers_text_stays_until_its_cell_changes) {
    const auto hold = [](plover_workbook_t* wb) {
        plover_worksheet_t* ws = first_sheet(wb);
        const char* b2 = ws_get_formula_expr(ws, 2, 2);
        EXPECT_STREQ(ws_get_formula_expr(ws, 3, 2), "A3*$C$1+SUM(A$1:A3)");
        EXPECT_STREQ(b2, "A2*$C$1+SUM(A$1:A2)");
        ASSERT_EQ(ws_set_num(ws, 3, 2, 7), 1);
        EXPECT_EQ(ws_get_formula_expr(ws, 3, 2), nullptr);
        EXPECT_EQ(ws_get_formula_expr(ws, 2, 2), b2);
        EXPECT_STREQ(b2, "A2*$C$1+SUM(A$1:A2)");
    };
    run_rows({{"held", shared_down_b, hold, {"<c r=\"B3\"><v>7</v></c>"}, {}}});
}

// A deleted picture takes its image part with it once no other picture shows it.
TEST(settings_round_trip, a_deleted_picture_takes_its_image_part) {
    package_test::scratch_dir dir;
    std::ofstream(dir / "red.png", std::ios::binary) << package_test::red_png;
    const auto media = [&](const std::string& path) {
        size_t n = 0;
        for (const auto& [name, bytes] : package_test::read_zip(path)) n += name.starts_with("xl/media/") ? 1 : 0;
        return n;
    };
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    for (const int row : {1, 9})
        ASSERT_GT(ws_add_image_with_one_cell(ws, (dir / "red.png").c_str(), row, 1, 0, 0, 1.0, 0, 0), 0) << run_msg();
    ASSERT_EQ(doc_save(doc, (dir / "two.xlsx").c_str()), 1) << run_msg();
    const size_t two = media(dir / "two.xlsx");
    ASSERT_GE(two, 1u);
    ws_delete_image(ws, ws_get_image_id(ws, 0));
    ASSERT_EQ(ws_image_num(ws), 1);
    ASSERT_EQ(doc_save(doc, (dir / "one.xlsx").c_str()), 1) << run_msg();
    EXPECT_GE(media(dir / "one.xlsx"), 1u);
    EXPECT_LE(media(dir / "one.xlsx"), two);
    ws_delete_image(ws, ws_get_image_id(ws, 0));
    ASSERT_EQ(doc_save(doc, (dir / "none.xlsx").c_str()), 1) << run_msg();
    EXPECT_EQ(media(dir / "none.xlsx"), 0u);
    doc_release(doc);
    // The copy without pictures loads.
    plover_document_t* again = doc_load((dir / "none.xlsx").c_str());
    EXPECT_NE(again, nullptr) << run_msg();
    doc_release(again);
}

// A host's edit leaves what the sheet already holds: its protection, a width
// read without customWidth beside the host's, a background among its pictures.
TEST(settings_round_trip, host_edits_keep_what_the_sheet_held) {
    package_test::scratch_dir dir;
    const std::string png = dir / "red.png";
    std::ofstream(png, std::ios::binary) << package_test::red_png;
    const auto add_range = [](plover_workbook_t* wb) { ws_set_editable_range(first_sheet(wb), 20, 1, 22, 3); };
    run_rows({
        {"range on a sheet with a password", "",
         [&](plover_workbook_t* wb) { ws_protect(first_sheet(wb), 0, "pw"); add_range(wb); },
         {"<sheetProtection sheet=\"1\" password=\"CF75\"", "<protectedRange sqref=\"A20:C22\" name=\"Range 1\"/>"},
         {"objects="}},
        {"range on a sheet protected by hash", protection("SHA-512"), add_range,
         {"algorithmName=\"SHA-512\" hashValue=\"aGFzaA==\"", "sqref=\"A20:C22\""}, {"objects="}},
        {"width beside a plain one", "<cols><col min=\"2\" max=\"3\" width=\"20\"/></cols>" + data,
         [](plover_workbook_t* wb) { ws_set_custom_col_width(first_sheet(wb), 3, 3, 12, 0); },
         {"<col min=\"2\" max=\"2\" width=\"20\"/>", "<col min=\"3\" max=\"3\" width=\"12.625\" customWidth=\"1\"/>"},
         {}},
        // Every copy lists the background with an id; a new one takes its place.
        {"background and a picture", "",
         [&](plover_workbook_t* wb) {
             ws_set_bg_picture(first_sheet(wb), png.c_str());
             ws_add_absolute_image(first_sheet(wb), png.c_str(), 10, 10, 0, 0, 1.0);
         },
         {"<picture r:id=", "<drawing r:id="}, {},
         [&](plover_workbook_t* wb) {
             plover_worksheet_t* ws = first_sheet(wb);
             EXPECT_EQ(ws_image_num(ws), 2);
             EXPECT_GT(ws_get_image_id(ws, 1), 0);
             ws_set_bg_picture(ws, png.c_str());
             EXPECT_EQ(ws_image_num(ws), 2);
         }},
    });
}

// What only a host's arguments are held to: objects the library did not make
// are refused, while a file keeps what a host could not set.
#include "plover.h"

#include "run_message.h"
#include "tests/kestrel/interface/round_trip_support.h"
#include "tests/kestrel/interface/unbuilt_slots.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace round_trip_test;

namespace {

class host_style : public vex::iStyle_unbuilt {};
class host_richtext : public vex::iRichtext_unbuilt {};

const std::string foreign_style = "The style is not one this library made.";

} // namespace

TEST(host_checks, styles_and_rich_texts_the_library_did_not_make_are_refused) {
    struct row_t {
        std::string call;
        std::function<bool(plover_workbook_t*, plover_worksheet_t*, plover_richtext_t*)> refused;
        std::string message;
    };
    static host_style style;
    static host_richtext text;
    const std::vector<row_t> rows = {
        {"ws_set_cell_style", [](auto, auto ws, auto) { ws_set_cell_style(ws, 1, 1, &style); return true; }, foreign_style},
        {"ws_set_range_style", [](auto, auto ws, auto) { ws_set_range_style(ws, 1, 1, 2, 2, &style); return true; }, foreign_style},
        {"ws_set_row_style", [](auto, auto ws, auto) { ws_set_row_style(ws, 1, 2, &style); return true; }, foreign_style},
        {"ws_set_col_style", [](auto, auto ws, auto) { ws_set_col_style(ws, 1, 2, &style); return true; }, foreign_style},
        {"wb_add_custom_style", [](auto wb, auto, auto) { return !wb_add_custom_style(wb, "Mine", &style); }, foreign_style},
        {"wb_modify_named_style", [](auto wb, auto, auto) { return !wb_modify_named_style(wb, "normal", &style); }, foreign_style},
        {"rt_append", [](auto, auto, auto rt) { rt_append(rt, "b", &style); return rt_segments_num(rt) == 1; }, foreign_style},
        {"rt_insert", [](auto, auto, auto rt) { rt_insert(rt, 0, "b", &style); return rt_segments_num(rt) == 1; }, foreign_style},
        {"rt_modify", [](auto, auto, auto rt) {
             rt_modify(rt, 0, "b", &style);
             return std::strcmp(rt_plain_text(rt), "a") == 0;
         }, foreign_style},
        {"ws_set_richtext", [](auto, auto ws, auto) { return !ws_set_richtext(ws, 1, 1, &text); },
         "The rich text is not one this library made."},
    };
    package_test::scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Data");
    plover_richtext_t* rt = wb_make_richtext(wb);
    rt_append(rt, "a", nullptr);
    ws_set_num(ws, 1, 1, 7);
    ASSERT_EQ(doc_save(doc, (dir / "before.xlsx").c_str()), 1) << run_msg();
    const std::string before = package_test::slurp(dir / "before.xlsx");
    for (const row_t& r : rows) {
        vex::set_run_message("marker");
        EXPECT_TRUE(r.refused(wb, ws, rt)) << r.call;
        EXPECT_EQ(run_msg(), r.message) << r.call;
        ASSERT_EQ(doc_save(doc, (dir / "after.xlsx").c_str()), 1) << run_msg();
        EXPECT_TRUE(package_test::slurp(dir / "after.xlsx") == before) << r.call << ": the saved book changed";
    }
    doc_release(doc);
}

// A file may hide every sheet and hold longer texts and formulas than a host
// may set; they load and save as they are.
TEST(host_checks, files_keep_what_hosts_may_not_set) {
    const std::string text(40000, 't');
    std::string formula = "1";
    while (formula.size() < 9000) formula += "+1";
    crafted_t c;
    c.book_body = "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" state=\"hidden\" r:id=\"rId1\"/></sheets>";
    c.sheets = {{"<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + text + "</t></is></c><c r=\"B1\"><f>" +
                     formula + "</f><v>4501</v></c></row></sheetData>",
                 ""}};
    const auto check = [&](plover_workbook_t* wb) {
        plover_worksheet_t* ws = wb_get_sheet(wb, 0);
        ASSERT_NE(ws, nullptr);
        EXPECT_EQ(wb_get_sheet_state(wb, 0), 1);
        EXPECT_EQ(std::string(ws_get_text(ws, 1, 1)), text);
        EXPECT_EQ(std::string(ws_get_formula_expr(ws, 1, 2)), formula);
    };
    const saves_t s = three_saves(package_of(c), check, check);
    EXPECT_EQ(s.message, "");
}

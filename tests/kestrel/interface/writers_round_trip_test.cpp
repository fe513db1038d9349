// A workbook holding what the writers write is saved, loaded and saved again:
// the loaded cells match the made ones bit for bit with their styles, and the
// second save writes the sheet, styles and strings entries byte for byte.
#include "plover.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

using namespace package_test;

namespace {

constexpr int last_row = 24, last_col = 6;

void make_book(plover_workbook_t* wb) {
    wb_set_date1904(wb, 1);
    wb_set_calc_mode(wb, 1);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Data & more");
    plover_worksheet_t* other = wb_add_worksheet(wb, "Other");
    ASSERT_NE(ws, nullptr);
    ASSERT_NE(other, nullptr);

    const double numbers[] = {0.1234567891234, 1e-7, -0.0, 1.7976931348623157e308, 4.9e-324,
                              1.0 / 3, -123456789.125, 3e15 + 0.5};
    for (int i = 0; i < int(std::size(numbers)); ++i) ASSERT_EQ(ws_set_num(ws, i + 1, 1, numbers[i]), 1) << i;
    const char* texts[] = {"_x0041_", "tab\there\nand a line", "\x01 control \x1F", "a<b&c>\"'", " leading and trailing ",
                           "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80", "_x0041_"};
    for (int i = 0; i < int(std::size(texts)); ++i) ASSERT_EQ(ws_set_text(ws, i + 1, 2, texts[i]), 1) << i;
    ASSERT_EQ(ws_set_boolean(ws, 1, 3, 1), 1);
    ASSERT_EQ(ws_set_boolean(ws, 2, 3, 0), 1);
    for (int code = 1; code <= 7; ++code) ASSERT_EQ(ws_set_error(ws, code + 2, 3, code), 1) << code;
    ASSERT_EQ(ws_set_datetime(ws, 10, 3, encode_datetime(2024, 2, 29, 18, 30, 15, 250)), 1);

    // Formulas with cached results of each kind.
    ASSERT_EQ(ws_set_formula(ws, 1, 4, "SUM(A1:A2)*2"), 1) << run_msg();
    ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 0.2469137784468), 1) << run_msg();
    ASSERT_EQ(ws_set_formula(ws, 2, 4, "B1&\"x\""), 1);
    ASSERT_EQ(ws_set_formula_string(ws, 2, 4, "_x0041_x"), 1);
    ASSERT_EQ(ws_set_formula(ws, 3, 4, "A1>0"), 1);
    ASSERT_EQ(ws_set_formula_boolean(ws, 3, 4, 1), 1);
    ASSERT_EQ(ws_set_formula(ws, 4, 4, "1/0"), 1);
    ASSERT_EQ(ws_set_formula_error(ws, 4, 4, 3), 1);
    ASSERT_EQ(ws_set_formula(ws, 5, 4, "'Other'!A1+1"), 1);

    // Rich text: a plain run and a bold, coloured one.
    plover_richtext_t* rt = wb_make_richtext(wb);
    plover_style_t* bold = ws_get_cell_style(ws, 20, 6);
    style_set_bold(bold, 1);
    style_set_font_color(bold, 0xFFC00000u);
    style_set_font_vert_align(bold, 1);
    rt_append(rt, "plain ", nullptr);
    rt_append(rt, " bold", bold);
    ASSERT_EQ(ws_set_richtext(ws, 6, 4, rt), 1) << run_msg();
    rt_release(rt);
    style_release(bold);

    // Every kind of style setting, each on its own cell.
    auto styled = [&](int row, auto&& set) {
        ASSERT_EQ(ws_set_num(ws, row, 5, row), 1);
        plover_style_t* s = ws_get_cell_style(ws, row, 5);
        set(s);
        ws_set_cell_style(ws, row, 5, s);
        style_release(s);
    };
    styled(1, [](plover_style_t* s) { style_set_numfmt(s, "0.000\" kg\""); });
    styled(2, [](plover_style_t* s) { style_set_numfmt(s, "yyyy-mm-dd hh:mm:ss.000"); });
    styled(3, [](plover_style_t* s) {
        style_set_font(s, "Arial", 14);
        style_set_italic(s, 1);
        style_set_strikeout(s, 1);
        style_set_underline(s, 2);
    });
    styled(4, [](plover_style_t* s) {
        style_set_fill_pattern(s, 1);
        style_set_pattern_fg_color(s, 0xFF00B050u);
        style_set_pattern_bg_color(s, 0xFF123456u);
    });
    styled(5, [](plover_style_t* s) {
        for (int edge = 0; edge < 4; ++edge) {
            style_set_border(s, edge, edge + 1);
            style_set_border_color(s, edge, 0xFF000080u + unsigned(edge));
        }
    });
    styled(6, [](plover_style_t* s) {
        style_set_align_h(s, 3);
        style_set_align_v(s, 1);
        style_set_wrap(s, 1);
        style_set_rotation(s, 45);
        style_set_indent(s, 2);
    });
    styled(7, [](plover_style_t* s) {
        style_set_shrink_to_fit(s, 1);
        style_set_cell_locked(s, 0);
        style_set_cell_hidden(s, 1);
    });

    // Sizes, hidden rows, outlines, merges, links, protection, printing.
    ws_set_custom_col_width(ws, 2, 2, 30.5, 0);
    ws_set_custom_row_height(ws, 3, 3, 24.75, 0);
    ws_set_col_hidden(ws, 6, 6, 1);
    ws_set_row_hidden(ws, 12, 12, 1);
    ws_group_rows(ws, 14, 16, 0);
    ws_group_cols(ws, 8, 9, 0);
    ASSERT_EQ(ws_merge(ws, 18, 1, 19, 3), 1) << run_msg();
    ASSERT_EQ(ws_set_text(ws, 18, 1, "merged"), 1);
    ASSERT_NE(ws_add_hyperlink(ws, "https://example.com/a?b=1&c=2", 21, 1, 21, 1), 0) << run_msg();
    ASSERT_NE(ws_add_hyperlink(ws, "#'Other'!A1", 22, 1, 22, 2), 0) << run_msg();
    ASSERT_EQ(ws_set_text(ws, 21, 1, "link"), 1);
    ASSERT_EQ(ws_protect(ws, 4095, "test"), 1) << run_msg();
    ws_set_page_header(ws, "&CPage &P");
    ws_set_page_orientation(ws, 2);
    ws_set_paper(ws, 9);
    ASSERT_EQ(ws_set_row_break(ws, 10, 1), 1) << run_msg();
    ASSERT_EQ(ws_set_col_break(ws, 3, 1), 1) << run_msg();
    ws_set_left_margin(ws, 0.5);
    ASSERT_EQ(ws_set_num(other, 1, 1, 41.5), 1);
    ASSERT_EQ(wb_set_defined_name(wb, "Weights", "'Data & more'!$A$1:$A$8", nullptr), 1) << run_msg();
}

// The cell's style as its settings, one text to compare.
std::string style_text(plover_worksheet_t* ws, int row, int col) {
    plover_style_t* s = ws_get_cell_style(ws, row, col);
    if (!s) return "<none>";
    std::string out = std::string(style_numfmt_code(s) ? style_numfmt_code(s) : "") + "|" +
                      (style_font_name(s) ? style_font_name(s) : "") + "|";
    for (int v : {style_font_size(s), style_italic(s), style_strikeout(s), style_bold(s), style_font_vert_align(s),
                  style_underlined(s), style_fill_pattern(s), style_align_h(s), style_align_v(s), style_wrap(s),
                  style_rotation(s), style_indent(s), style_shrink_to_fit(s), style_cell_locked(s), style_cell_hidden(s)})
        out += std::to_string(v) + ",";
    for (unsigned v : {style_font_color(s), style_pattern_fg_color(s), style_pattern_bg_color(s)}) out += std::to_string(v) + ",";
    for (int edge = 0; edge < 4; ++edge)
        out += std::to_string(style_border(s, edge)) + ":" + std::to_string(style_border_color(s, edge)) + ",";
    style_release(s);
    return out;
}

std::string rich_text(plover_worksheet_t* ws, int row, int col) {
    if (!ws_contains_richtext(ws, row, col)) return "";
    plover_richtext_t* rt = ws_get_richtext(ws, row, col);
    std::string out;
    for (int i = 0; i < rt_segments_num(rt); ++i) {
        plover_style_t* s = nullptr;
        const char* text = rt_text(rt, i, &s);
        out += std::string(text ? text : "<null>") + "[";
        if (s) out += std::to_string(style_bold(s)) + std::to_string(style_font_color(s)) + std::to_string(style_font_vert_align(s));
        out += "]";
    }
    rt_release(rt);
    return out;
}

// Everything a cell holds, numbers as their bits.
std::string cell_text(plover_worksheet_t* ws, int row, int col) {
    const char* text = ws_get_text(ws, row, col);
    const char* formula = ws_get_formula_expr(ws, row, col);
    return std::to_string(ws_cell_type(ws, row, col)) + "|" + std::to_string(std::bit_cast<uint64_t>(ws_get_num(ws, row, col))) +
           "|" + (text ? text : "<null>") + "|" + std::to_string(ws_get_boolean(ws, row, col)) + "|" +
           std::to_string(ws_get_error(ws, row, col)) + "|" + (formula ? formula : "<null>") + "|" + rich_text(ws, row, col);
}

} // namespace

TEST(writers_round_trip, the_written_book_loads_bit_for_bit_and_saves_byte_for_byte) {
    scratch_dir dir;
    const std::string first = dir / "first.xlsx", second = dir / "second.xlsx";
    plover_document_t* made = doc_create();
    make_book(doc_get_workbook(made));
    if (HasFatalFailure()) return doc_release(made);
    ASSERT_EQ(doc_save(made, first.c_str()), 1) << run_msg();
    // The made document holds its path: load a copy.
    const std::string copy = dir / "copy.xlsx";
    fs::copy_file(first, copy);

    plover_document_t* loaded = doc_load(copy.c_str());
    ASSERT_NE(loaded, nullptr) << run_msg();
    plover_workbook_t* a = doc_get_workbook(made);
    plover_workbook_t* b = doc_get_workbook(loaded);
    EXPECT_EQ(wb_is_date1904(b), 1);
    EXPECT_EQ(wb_get_calc_mode(b), 1);
    ASSERT_EQ(wb_sheet_count(b), 2u);
    for (int sheet = 0; sheet < 2; ++sheet) {
        plover_worksheet_t* x = wb_get_sheet(a, sheet);
        plover_worksheet_t* y = wb_get_sheet(b, sheet);
        for (int row = 1; row <= last_row; ++row)
            for (int col = 1; col <= last_col; ++col) {
                EXPECT_EQ(cell_text(x, row, col), cell_text(y, row, col)) << sheet << " R" << row << "C" << col;
                EXPECT_EQ(style_text(x, row, col), style_text(y, row, col)) << sheet << " R" << row << "C" << col;
            }
    }
    ASSERT_EQ(doc_save(loaded, second.c_str()), 1) << run_msg();
    doc_release(loaded);
    doc_release(made);

    const entries_t once = read_zip(first), twice = read_zip(second);
    for (const char* entry : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml", "xl/styles.xml",
                              "xl/sharedStrings.xml", "xl/workbook.xml"}) {
        EXPECT_NE(find(once, entry), "<absent>") << entry;
        EXPECT_EQ(find(once, entry), find(twice, entry)) << entry;
    }
}

/* A C11 host: the headers compile warning-free and every family links. Exits 0
 * when a document can be made and each call answers as the header says for a
 * missing handle. */
#include <stdio.h>
#include <string.h>

#include "plover.h"

static int failures = 0;

static void expect(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "failed: %s (last message: %s)\n", what, run_msg());
        ++failures;
    }
}

int main(void) {
    plover_document_t* doc = create_document();
    expect(doc != NULL, "create_document");
    plover_workbook_t* wb = doc_get_workbook(doc);
    expect(wb != NULL, "doc_get_workbook");
    expect(wb_add_worksheet(wb, "Sheet1") != NULL, "wb_add_worksheet");

    /* Missing handles from here on. */
    expect(doc_get_workbook(NULL) == NULL && strcmp(run_msg(), "The handle cannot be empty.") == 0,
           "doc_get_workbook(NULL)");
    expect(wb_sheet_count(NULL) == 0xFFFFFFFFu, "wb_sheet_count");
    plover_worksheet_t* ws = NULL;
    int collapsed = 7;
    expect(ws_row_outline_level(ws, 1, &collapsed) == -1 && collapsed == 7, "ws_row_outline_level");
    expect(ws_set_boolean(ws, 1, 1, 2) == 0, "ws_set_boolean");
    expect(ws_cell_type(ws, 1, 1) == CELLTYPE_NONE, "ws_cell_type");

    plover_style_t* style = ws_cell_style(ws, 1, 1);
    expect(style_border(style, BORDER_LEFT) == BORDERSTYLE_NONE, "style_border");
    style_set_bold(style, 1);

    plover_tabledef_t* td = ws_get_tabledef(ws, 0);
    expect(td_name(td) == NULL, "td_name");
    td_set_preset_style(td, TABLESTYLE_DARK11);

    plover_richtext_t* rt = wb_make_richtext(NULL);
    expect(rt_segments_num(rt) == -1, "rt_segments_num");
    expect(rt_text(rt, 0, &style) == NULL, "rt_text");

    unsigned short wide[8];
    expect(to_wide_string("A1", (plover_char16*)wide) == 2 && wide[2] == 0, "to_wide_string");
    expect(PAPER_A4 == 9 && PROTECT_ALL == 32767 && ANCHOR_TWO_CELL == 3, "enum.h values");
    doc_release(doc);
    return failures == 0 ? 0 : 1;
}

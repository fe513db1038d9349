/* Opens the example.xlsx that examples/example.c wrote in the current folder,
 * raises North's units and saves the workbook as example-edited.xlsx, leaving
 * the original as it was. */
#include <stdio.h>

#include "plover.h"

int main(void) {
    plover_document_t* doc = doc_load("example.xlsx");
    if (!doc) {
        fprintf(stderr, "opening example.xlsx failed: %s (run plover_example first)\n", run_msg());
        return 1;
    }
    plover_worksheet_t* sheet = wb_get_sheet(doc_get_workbook(doc), 0);
    if (!sheet) {
        fprintf(stderr, "%s\n", run_msg());
        doc_release(doc);
        return 1;
    }
    printf("opened example.xlsx: sheet \"%s\", %s sold %g\n", ws_name(sheet), ws_get_text(sheet, 2, 1),
           ws_get_num(sheet, 2, 2));

    ws_set_num(sheet, 2, 2, 150);
    int saved = doc_save(doc, "example-edited.xlsx");
    doc_release(doc);
    if (!saved) {
        fprintf(stderr, "saving failed: %s\n", run_msg());
        return 1;
    }

    /* Read the new file back to show what it holds. */
    doc = doc_load("example-edited.xlsx");
    sheet = doc ? wb_get_sheet(doc_get_workbook(doc), 0) : NULL;
    if (!sheet) {
        fprintf(stderr, "reading example-edited.xlsx failed: %s\n", run_msg());
        doc_release(doc);
        return 1;
    }
    printf("wrote example-edited.xlsx: %s sold %g, %s sold %g\n", ws_get_text(sheet, 2, 1), ws_get_num(sheet, 2, 2),
           ws_get_text(sheet, 3, 1), ws_get_num(sheet, 3, 2));
    doc_release(doc);
    return 0;
}

/* A tour of plover's free conversions, then a small workbook written to
 * example.xlsx in the current folder. */
#include <stdio.h>

#include "plover.h"

int main(void) {
    int row = 0, col = 0;
    printf("plover %s\n", lib_version());

    /* A1 references both ways. */
    if (a1_to_row_col("XFD1048576", &row, &col))
        printf("XFD1048576 is row %d, column %d\n", row, col);
    if (!a1_to_row_col("1A", &row, &col))
        printf("1A is refused: %s\n", run_msg());
    char ref[16];
    row_col_to_a1(12, 28, ref);
    printf("row 12, column 28 is %s\n", ref);

    /* Colours. */
    unsigned int argb = encode_argb(0x12, 0x34, 0x56, 0xFF);
    int r, g, b, a;
    decode_argb(argb, &r, &g, &b, &a);
    printf("ARGB %08X is red %d, green %d, blue %d, alpha %d\n", argb, r, g, b, a);

    /* Serial dates: 2024-02-29 18:30 in the 1900 system, and back. */
    double serial = encode_datetime(2024, 2, 29, 18, 30, 0, 0);
    int y, mo, d, h, mi;
    decode_datetime(serial, &y, &mo, &d, &h, &mi, NULL, NULL);
    printf("serial %.6f is %04d-%02d-%02d %02d:%02d\n", serial, y, mo, d, h, mi);

    /* UTF-8 to UTF-16. */
    const char* text = "Gr\xC3\xBC\xC3\x9F" "e";
    printf("\"%s\" is %u UTF-16 units\n", text, to_wide_string(text, NULL));

    /* A workbook: a header row, two rows of figures and a date. */
    plover_document_t* doc = create_document();
    plover_worksheet_t* sheet = doc ? wb_add_worksheet(doc_get_workbook(doc), "Report") : NULL;
    if (!sheet) {
        fprintf(stderr, "%s\n", run_msg());
        return 1;
    }
    const char* header[] = {"Region", "Units", "Price"};
    for (int c = 0; c < 3; ++c) ws_set_text(sheet, 1, c + 1, header[c]);
    ws_set_text(sheet, 2, 1, "North");
    ws_set_num(sheet, 2, 2, 120);
    ws_set_num(sheet, 2, 3, 9.5);
    ws_set_text(sheet, 3, 1, "South");
    ws_set_num(sheet, 3, 2, 80);
    ws_set_num(sheet, 3, 3, 11.25);
    ws_set_text(sheet, 5, 1, "As of");
    ws_set_datetime(sheet, 5, 2, encode_date(2024, 2, 29));
    int saved = doc_save(doc, "example.xlsx");
    if (saved)
        printf("wrote example.xlsx: sheet \"%s\", %s in A1\n", ws_name(sheet), ws_get_text(sheet, 1, 1));
    else
        fprintf(stderr, "saving failed: %s\n", run_msg());
    doc_release(doc);
    return saved ? 0 : 1;
}

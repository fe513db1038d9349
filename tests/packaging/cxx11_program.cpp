// A C++11 host: the headers compile warning-free at the oldest standard they
// promise, and the object face is reached from the document the C calls give.
#include <cstdio>
#include <cstring>

#include "plover.h"

int main() {
    int failures = 0;
    plover_document_t* doc = doc_create();
    vex::iWorkbook* wb = doc ? doc->get_workbook() : nullptr;
    vex::iWorksheet* ws = wb ? wb->add_worksheet("Sheet1") : nullptr;
    if (!ws) {
        std::fprintf(stderr, "no sheet: %s\n", run_msg());
        return 1;
    }
    ws->set_num(2, 3, 4.5);
    // The object face and the C call see the same cell.
    if (ws_get_num(ws, 2, 3) != 4.5) {
        std::fprintf(stderr, "the object face and the C call disagree\n");
        ++failures;
    }
    doc->release();
    return failures;
}

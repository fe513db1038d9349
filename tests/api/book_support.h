#pragma once
// A new document and its workbook, released at scope end.
#include "plover.h"

namespace api_test {

struct book_t {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    book_t() = default;
    book_t(const book_t&) = delete;
    book_t& operator=(const book_t&) = delete;
    ~book_t() { doc_release(doc); }
};

} // namespace api_test

// Document exports: creating and opening documents. Each name has its own
// entry; none calls another exported name.
#include "plover.h"

#include "kestrel/interface/document_impl.h"

extern "C" {

PLOVER_API plover_document_t* create_document(void) noexcept { return vex::create_document(); }

PLOVER_API plover_document_t* doc_create(void) noexcept { return vex::create_document(); }

PLOVER_API plover_document_t* load_document(const char* path) noexcept { return vex::load_document(path); }

PLOVER_API plover_document_t* doc_load(const char* path) noexcept { return vex::load_document(path); }

}

// Document exports: creating and opening documents. The registry of open
// documents is not built yet; until it is, both refuse.
#include "plover.h"

#include "kestrel/interface/entry.h"

namespace {

plover_document_t* unbuilt_constructor() noexcept {
    return vex::detail::not_implemented(static_cast<plover_document_t*>(nullptr));
}

} // namespace

extern "C" {

PLOVER_API plover_document_t* create_document(void) noexcept { return unbuilt_constructor(); }

PLOVER_API plover_document_t* doc_create(void) noexcept { return unbuilt_constructor(); }

PLOVER_API plover_document_t* load_document(const char* path) noexcept {
    (void)path;
    return unbuilt_constructor();
}

PLOVER_API plover_document_t* doc_load(const char* path) noexcept {
    (void)path;
    return unbuilt_constructor();
}

}

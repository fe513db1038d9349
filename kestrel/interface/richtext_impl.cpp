#include "kestrel/interface/richtext_impl.h"

#include "kestrel/interface/entry.h"
#include "kestrel/interface/workbook_impl.h"

namespace vex {

iRichtext_impl::iRichtext_impl(iWorkbook_impl* owner) : owner_(owner) {}

iRichtext_impl::iRichtext_impl(iWorkbook_impl* owner, const std::vector<mta::richtext_segment_t>& segments)
    : value_(segments), owner_(owner) {}

void iRichtext_impl::release() {
    try {
        // Not under the handle's lock: the owner may destroy the handle.
        if (owner_ && owner_->release_richtext(this)) return;
        std::lock_guard lock(mutex_);
        value_.clear();
    } catch (...) {
        detail::report_exception();
    }
}

mta::richtext_t iRichtext_impl::value() const {
    std::lock_guard lock(mutex_);
    return value_;
}

} // namespace vex

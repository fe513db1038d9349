#include "kestrel/interface/style_impl.h"

#include "kestrel/interface/entry.h"
#include "kestrel/interface/workbook_impl.h"

namespace vex {

iStyle_impl::iStyle_impl(iWorkbook_impl* owner, mta::style_settings_t settings)
    : settings_(std::move(settings)), owner_(owner) {}

void iStyle_impl::release() {
    try {
        // Not under the handle's lock: the owner may destroy the handle.
        if (owner_ && owner_->release_style(this)) return;
        std::lock_guard lock(mutex_);
        settings_.reset();
    } catch (...) {
        detail::report_exception();
    }
}

mta::style_settings_t iStyle_impl::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void iStyle_impl::assign(const mta::style_settings_t& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

} // namespace vex

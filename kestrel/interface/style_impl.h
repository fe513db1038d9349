#pragma once
// The host's handle on one style value: a private copy that the workbook and
// worktable handles fill from and copy into a style manager.

#include "kestrel/interface/unbuilt_slots.h"
#include "mta/table/style/manager/style_settings.h"

#include <mutex>

namespace vex {

class iWorkbook_impl;

class iStyle_impl final : public iStyle_unbuilt {
public:
    explicit iStyle_impl(iWorkbook_impl* owner, mta::style_settings_t settings = {});
    ~iStyle_impl() override = default;
    iStyle_impl(const iStyle_impl&) = delete;
    iStyle_impl& operator=(const iStyle_impl&) = delete;

    // A handle the workbook owns is gone afterwards; any other is emptied.
    void release() override;

    mta::style_settings_t settings() const;
    void assign(const mta::style_settings_t& settings);
    iWorkbook_impl* owner() const noexcept { return owner_; }

private:
    mutable std::mutex mutex_;
    mta::style_settings_t settings_;
    iWorkbook_impl* owner_;
};

} // namespace vex

#pragma once
// The host's handle on one rich-text value.

#include "kestrel/interface/unbuilt_slots.h"
#include "mta/table/cell/richtext.h"

#include <mutex>
#include <vector>

namespace vex {

class iWorkbook_impl;

class iRichtext_impl final : public iRichtext_unbuilt {
public:
    explicit iRichtext_impl(iWorkbook_impl* owner);
    iRichtext_impl(iWorkbook_impl* owner, const std::vector<mta::richtext_segment_t>& segments);
    ~iRichtext_impl() override = default;
    iRichtext_impl(const iRichtext_impl&) = delete;
    iRichtext_impl& operator=(const iRichtext_impl&) = delete;

    // A handle the workbook owns is gone afterwards; any other is emptied.
    void release() override;

    mta::richtext_t value() const;
    iWorkbook_impl* owner() const noexcept { return owner_; }

private:
    mutable std::mutex mutex_;
    mta::richtext_t value_;
    iWorkbook_impl* owner_;
};

} // namespace vex

#pragma once
// The host's handle on one rich-text value: a private copy of the segments,
// edited one segment at a time and stored into a cell by the sheet handle.

#include "interfaces.h"
#include "mta/table/cell/richtext.h"

#include <mutex>
#include <vector>

namespace vex {

class iWorkbook_impl;

class iRichtext_impl final : public iRichtext {
public:
    explicit iRichtext_impl(iWorkbook_impl* owner);
    iRichtext_impl(iWorkbook_impl* owner, const std::vector<mta::richtext_segment_t>& segments);
    ~iRichtext_impl() override = default;
    iRichtext_impl(const iRichtext_impl&) = delete;
    iRichtext_impl& operator=(const iRichtext_impl&) = delete;

    int segments_num() override;
    // Null when every segment is empty; valid until the next call or change.
    const char* plain_text() override;
    // With a style pointer, also a workbook-owned style handle: the "normal"
    // style carrying the segment's font name and size.
    const char* text(int index, iStyle** style) override;
    // A new segment takes the whole font of the style handle, or an empty font;
    // a null or empty text changes nothing.
    void append(const char* text, iStyle* style) override;
    // An index past the end, or below 0, appends.
    void insert(int index, const char* text, iStyle* style) override;
    // A bad index leaves "Sequence number error." and changes nothing.
    void remove(int index) override;
    void modify(int index, const char* text, iStyle* style) override;
    // A handle the workbook owns is gone afterwards; any other is emptied.
    void release() override;

    mta::richtext_t value() const;
    iWorkbook_impl* owner() const noexcept { return owner_; }

private:
    // `work` runs on the value under the owner's document lock, then the
    // mutex; an exception leaves its text and gives `failure`.
    template <typename R, typename Work>
    R locked__(R failure, Work&& work) noexcept;
    // The same under the document lock alone.
    template <typename R, typename Work>
    R documented__(R failure, Work&& work) noexcept;
    // The segment a host text and style make; outside the mutex.
    static mta::richtext_segment_t segment_of__(const char* text, iStyle* style);

    mutable std::mutex mutex_;  // a leaf: value takes only it
    mta::richtext_t value_;
    iWorkbook_impl* owner_;
};

} // namespace vex

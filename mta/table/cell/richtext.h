#pragma once
// A cell text made of runs, each with its own font. The same value backs the
// rich-text handles of the host and the rich entries of the string pool.
// Segments are addressed from 0; the messages call the index a sequence number.

#include "mta/table/style/manager/font.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex::mta {

struct richtext_segment_t {
    uint32_t preserve_space = 0;  // 1: keep the blanks at the ends when written
    std::string text;             // UTF-8
    font_t font;
    bool escapes_kept = false;  // read with escapes kept as written (decode_x_escapes)

    bool operator==(const richtext_segment_t&) const = default;
};

class richtext_t {
public:
    richtext_t() = default;
    explicit richtext_t(const std::vector<richtext_segment_t>& segments) : segments_(segments) {}
    explicit richtext_t(std::vector<richtext_segment_t>&& segments) : segments_(std::move(segments)) {}

    size_t segments_num() const noexcept { return segments_.size(); }
    const std::vector<richtext_segment_t>& segments() const noexcept { return segments_; }
    // Null for an index past the end.
    const richtext_segment_t* get_segment(size_t index) const noexcept {
        return index < segments_.size() ? &segments_[index] : nullptr;
    }

    // All segment texts joined; the view lasts until the next call.
    std::string_view plain_text();

    // These set the segment's preserve-space flag when its text needs it; they
    // never clear it.
    void append(richtext_segment_t segment);
    // An index past the end appends.
    void insert(size_t index, richtext_segment_t segment);
    // A bad index leaves "Sequence number error." in the last message and changes nothing.
    void remove(size_t index);
    void modify(size_t index, richtext_segment_t segment);
    void clear() noexcept { segments_.clear(); }

    // Segment by segment; the plain-text buffer takes no part.
    bool operator==(const richtext_t& other) const { return segments_ == other.segments_; }

private:
    std::vector<richtext_segment_t> segments_;
    std::string plain_;
};

} // namespace vex::mta

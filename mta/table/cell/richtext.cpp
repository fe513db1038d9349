#include "mta/table/cell/richtext.h"

#include "mta/table/cell/preserve_space.h"
#include "run_message.h"

namespace vex::mta {

namespace {

void mark_preserve_space(richtext_segment_t& segment) {
    if (needs_preserve_space(segment.text)) segment.preserve_space = 1;
}

} // namespace

std::string_view richtext_t::plain_text() {
    plain_.clear();
    for (const auto& s : segments_) plain_ += s.text;
    return plain_;
}

void richtext_t::append(richtext_segment_t segment) {
    mark_preserve_space(segment);
    segments_.push_back(std::move(segment));
}

void richtext_t::insert(size_t index, richtext_segment_t segment) {
    mark_preserve_space(segment);
    if (index < segments_.size())
        segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(index), std::move(segment));
    else
        segments_.push_back(std::move(segment));
}

void richtext_t::remove(size_t index) {
    if (index >= segments_.size()) {
        set_run_message("Sequence number error.");
        return;
    }
    segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(index));
}

void richtext_t::modify(size_t index, richtext_segment_t segment) {
    if (index >= segments_.size()) {
        set_run_message("Sequence number error.");
        return;
    }
    mark_preserve_space(segment);
    segments_[index] = std::move(segment);
}

} // namespace vex::mta

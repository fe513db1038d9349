#include "kestrel/interface/richtext_impl.h"

#include "kestrel/interface/entry.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/workbook_impl.h"
#include "unicode.h"

#include <cmath>
#include <limits>

namespace vex {

namespace {

// A negative index names no segment.
size_t index_of(int index) noexcept {
    return index < 0 ? std::numeric_limits<size_t>::max() : static_cast<size_t>(index);
}

bool has_text(const char* text) noexcept { return text && *text; }

// The style value's font names and sizes the segment in the style handle, as
// the handle's own font setter does: a size of 0 keeps the style's.
void carry_font(iStyle_impl& style, const mta::font_t& from) {
    mta::style_settings_t settings = style.settings();
    mta::font_t font = settings.font();
    font.name = from.name;
    const double size = std::trunc(from.size);
    if (size != 0.0) font.size = size;
    settings.set_font(font);
    style.assign(settings);
}

} // namespace

iRichtext_impl::iRichtext_impl(iWorkbook_impl* owner) : owner_(owner) {}

iRichtext_impl::iRichtext_impl(iWorkbook_impl* owner, const std::vector<mta::richtext_segment_t>& segments)
    : value_(segments), owner_(owner) {}

template <typename R, typename Work>
R iRichtext_impl::locked__(R failure, Work&& work) noexcept {
    try {
        std::lock_guard lock(mutex_);
        return work(value_);
    } catch (...) {
        detail::report_exception();
        return failure;
    }
}

mta::richtext_segment_t iRichtext_impl::segment_of__(const char* text, iStyle* style) {
    mta::richtext_segment_t segment;
    // A style handle this library did not make gives no font.
    if (const auto* handle = dynamic_cast<const iStyle_impl*>(style)) segment.font = handle->settings().font();
    segment.text = checked_host_text(text);
    return segment;
}

int iRichtext_impl::segments_num() {
    return locked__(-1, [](mta::richtext_t& v) { return static_cast<int>(v.segments_num()); });
}

const char* iRichtext_impl::plain_text() {
    return locked__(static_cast<const char*>(nullptr), [](mta::richtext_t& v) -> const char* {
        // The value keeps the joined text in a std::string: the view ends in NUL.
        const std::string_view text = v.plain_text();
        return text.empty() ? nullptr : text.data();
    });
}

const char* iRichtext_impl::text(int index, iStyle** style) {
    return locked__(static_cast<const char*>(nullptr), [&](mta::richtext_t& v) -> const char* {
        const mta::richtext_segment_t* segment = v.get_segment(index_of(index));
        if (!segment) {
            detail::report("Sequence number error.");
            return nullptr;
        }
        if (style) {
            auto* normal = owner_ ? dynamic_cast<iStyle_impl*>(owner_->get_named_style("normal")) : nullptr;
            if (!normal) return nullptr;
            carry_font(*normal, segment->font);
            *style = normal;
        }
        return segment->text.c_str();
    });
}

void iRichtext_impl::append(const char* text, iStyle* style) {
    if (!has_text(text)) return;
    locked__(0, [&](mta::richtext_t& v) {
        v.append(segment_of__(text, style));
        return 0;
    });
}

void iRichtext_impl::insert(int index, const char* text, iStyle* style) {
    if (!has_text(text)) return;
    locked__(0, [&](mta::richtext_t& v) {
        v.insert(index_of(index), segment_of__(text, style));
        return 0;
    });
}

void iRichtext_impl::remove(int index) {
    locked__(0, [&](mta::richtext_t& v) {
        v.remove(index_of(index));
        return 0;
    });
}

void iRichtext_impl::modify(int index, const char* text, iStyle* style) {
    if (!has_text(text)) return;
    locked__(0, [&](mta::richtext_t& v) {
        v.modify(index_of(index), segment_of__(text, style));
        return 0;
    });
}

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

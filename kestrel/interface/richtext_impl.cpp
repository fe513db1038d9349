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
    return documented__(failure, [&] {
        std::lock_guard lock(mutex_);
        return work(value_);
    });
}

template <typename R, typename Work>
R iRichtext_impl::documented__(R failure, Work&& work) noexcept {
    try {
        const auto document = lock_document(owner_);
        return work();
    } catch (...) {
        detail::report_exception();
        return failure;
    }
}

mta::richtext_segment_t iRichtext_impl::segment_of__(const char* text, iStyle* style) {
    mta::richtext_segment_t segment;
    // No style gives no font; an object the library did not make has none to give.
    if (style) {
        const std::string_view refusal = detail::style_refusal(style);
        if (!refusal.empty()) throw std::runtime_error(std::string(refusal));
        segment.font = static_cast<const iStyle_impl*>(style)->settings().font();
    }
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
    return documented__(static_cast<const char*>(nullptr), [&]() -> const char* {
        mta::font_t font;
        const char* text = nullptr;
        {
            std::lock_guard lock(mutex_);
            const mta::richtext_segment_t* segment = value_.get_segment(index_of(index));
            if (!segment) {
                detail::report("Sequence number error.");
                return nullptr;
            }
            font = segment->font;
            text = segment->text.c_str();
        }
        // The style handle is filled outside this handle's mutex: leaf locks
        // never nest.
        if (style) {
            auto* normal = owner_ ? dynamic_cast<iStyle_impl*>(owner_->get_named_style("normal")) : nullptr;
            if (!normal) return nullptr;
            carry_font(*normal, font);
            *style = normal;
        }
        return text;
    });
}

// The segment is made first: the style handle may be another document's, read
// under its own mutex alone.
void iRichtext_impl::append(const char* text, iStyle* style) {
    if (!has_text(text)) return;
    documented__(0, [&] {
        mta::richtext_segment_t segment = segment_of__(text, style);
        std::lock_guard lock(mutex_);
        value_.append(std::move(segment));
        return 0;
    });
}

void iRichtext_impl::insert(int index, const char* text, iStyle* style) {
    if (!has_text(text)) return;
    documented__(0, [&] {
        mta::richtext_segment_t segment = segment_of__(text, style);
        std::lock_guard lock(mutex_);
        value_.insert(index_of(index), std::move(segment));
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
    documented__(0, [&] {
        mta::richtext_segment_t segment = segment_of__(text, style);
        std::lock_guard lock(mutex_);
        value_.modify(index_of(index), std::move(segment));
        return 0;
    });
}

void iRichtext_impl::release() {
    try {
        // Not under the handle's mutex: the owner may destroy the handle.
        const auto document = lock_document(owner_);
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

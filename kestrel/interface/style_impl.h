#pragma once
// The host's handle on one style value: a private copy that the workbook and
// worktable handles fill from and copy into a style manager. Setters edit one
// part of the copy and mark it applied; a refused argument changes nothing.

#include "interfaces.h"
#include "kestrel/interface/entry.h"
#include "mta/table/style/manager/style_settings.h"

#include <mutex>
#include <optional>
#include <string>

namespace vex {

class iWorkbook_impl;
namespace mta {
class style_manager_t;
}

class iStyle_impl final : public iStyle {
public:
    explicit iStyle_impl(iWorkbook_impl* owner, mta::style_settings_t settings = {});
    ~iStyle_impl() override = default;
    iStyle_impl(const iStyle_impl&) = delete;
    iStyle_impl& operator=(const iStyle_impl&) = delete;

    // The number-format slots reach the workbook's one style manager; without
    // one (no sheet was ever added) they refuse.
    int set_numfmt(const char* code) override;
    const char* numfmt_code() override;
    int numfmt_id() override;
    bool set_numfmt_id(int id) override;

    void set_font(const char* name, int size) override;
    const char* font_name() override;
    int font_size() override;
    void set_font_size(int size) override;
    bool italic() override;
    void set_italic(bool on) override;
    bool strikeout() override;
    void set_strikeout(bool on) override;
    unsigned int font_color() override;
    void set_font_color(unsigned int argb) override;
    bool bold() override;
    void set_bold(bool on) override;
    int font_vert_align() override;
    void set_font_vert_align(int align) override;
    int underlined() override;
    void set_underline(int underline) override;

    // Indexes 0-5 are single edges, 6 and 7 the two diagonals (sharing the
    // diagonal edge), 8 the four outer edges, 9 the two inner ones.
    int border(int index) override;
    bool set_border(int index, int line_style) override;
    unsigned int border_color(int index) override;
    bool set_border_color(int index, unsigned int argb) override;

    int fill_pattern() override;
    void set_fill_pattern(int pattern) override;
    unsigned int pattern_fg_color() override;
    void set_pattern_fg_color(unsigned int argb) override;
    unsigned int pattern_bg_color() override;
    void set_pattern_bg_color(unsigned int argb) override;

    int align_h() override;
    void set_align_h(int align) override;
    int align_v() override;
    void set_align_v(int align) override;
    bool wrap() override;
    void set_wrap(bool on) override;
    // Stored 0-90 upwards and 91-180 for -1 to -90.
    int rotation() override;
    void set_rotation(int degrees) override;
    int indent() override;
    void set_indent(int indent) override;
    bool shrink_to_fit() override;
    void set_shrink_to_fit(bool on) override;

    bool cell_locked() override;
    void set_cell_locked(bool on) override;
    bool cell_hidden() override;
    void set_cell_hidden(bool on) override;

    void unapply_numfmt() override;
    void unapply_font() override;
    void unapply_fill() override;
    void unapply_border() override;
    void unapply_alignment() override;
    void unapply_protection() override;
    void unapply_all() override;

    // A handle the workbook owns is gone afterwards; any other is emptied.
    void release() override;

    mta::style_settings_t settings() const;
    // The value as `book` takes it: another book's style records mean nothing
    // there, so the named style a value derives from stays behind and its
    // whole look goes instead.
    mta::style_settings_t settings_for(const iWorkbook_impl* book) const;
    void assign(const mta::style_settings_t& settings);
    void set_style_id(int32_t id);
    iWorkbook_impl* owner() const noexcept { return owner_; }

private:
    // `work` runs on the settings under the owner's document lock, then the
    // mutex; an exception leaves its text and gives `failure`.
    template <typename R, typename Work>
    R locked(R failure, Work&& work) noexcept;
    template <typename Work>
    void locked_void(Work&& work) noexcept;
    // Under the mutex: the workbook's style manager, or the no-sheet refusal.
    mta::style_manager_t& manager__() const;

    mutable std::mutex mutex_;  // a leaf: settings and assign take only it
    mta::style_settings_t settings_;
    iWorkbook_impl* owner_;
    std::string numfmt_text_;  // what numfmt_code last returned
};

namespace detail {
// A host's style pointer, as every slot that takes one checks it (entry.h).
inline std::string_view style_refusal(const iStyle* style) noexcept {
    return refusal_of<iStyle_impl>(style, null_style_message, foreign_style_message);
}
inline const iStyle_impl* admit_style(const iStyle* style) noexcept {
    return admit_own<iStyle_impl>(style, null_style_message, foreign_style_message);
}
// The value of a host's style handle as `book` takes it; none, with the
// refusal left, for a pointer that is not one of the library's handles.
inline std::optional<mta::style_settings_t> admit_style_for(const iStyle* style, const iWorkbook_impl* book) {
    if (const iStyle_impl* handle = admit_style(style)) return handle->settings_for(book);
    return std::nullopt;
}
} // namespace detail

} // namespace vex

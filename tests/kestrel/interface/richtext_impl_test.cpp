// Rich-text handles: the fonts segments take from style handles and give back,
// and what release does to a handle the workbook owns and to one it does not.
#include "kestrel/interface/richtext_impl.h"

#include "kestrel/interface/document_impl.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/workbook_impl.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string last_message() { return vex::get_run_message().str(); }

struct doc_deleter {
    void operator()(vex::iDocument* d) const { d->release(); }
};

struct book_fixture : ::testing::Test {
    std::unique_ptr<vex::iDocument, doc_deleter> doc{vex::create_document()};
    vex::iWorkbook_impl& wb = dynamic_cast<vex::iDocument_impl&>(*doc).workbook();
};

using richtext_impl = book_fixture;

vex::mta::font_t bold_font() {
    vex::mta::font_t font;
    font.name = "Arial";
    font.size = 13.75;
    font.bold = 1;
    return font;
}

} // namespace

TEST_F(richtext_impl, segments_take_the_whole_font_of_a_style) {
    vex::mta::style_settings_t settings;
    settings.set_font(bold_font());
    vex::iStyle_impl bold(&wb, settings);
    vex::iRichtext_impl rt(&wb);
    rt.append("ab", nullptr);
    rt.append(" cd", &bold);
    rt.insert(1, "mid ", &bold);

    const vex::mta::richtext_t value = rt.value();
    ASSERT_EQ(value.segments_num(), 3u);
    const auto& s = value.segments();
    EXPECT_EQ(s[0].preserve_space, 0u);
    EXPECT_TRUE(s[0].font.is_empty());
    EXPECT_EQ(s[1].preserve_space, 1u);
    EXPECT_EQ(s[1].font, bold_font());
    EXPECT_EQ(s[2].preserve_space, 1u);
    EXPECT_EQ(s[2].font, bold_font());
    EXPECT_STREQ(rt.plain_text(), "abmid  cd");

    rt.modify(2, "end", nullptr);
    EXPECT_TRUE(rt.value().segments()[2].font.is_empty());
    // A text that is not UTF-8 changes nothing.
    rt.append("bad \xC3(", &bold);
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    rt.modify(0, "bad \xC3(", nullptr);
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    EXPECT_EQ(rt.segments_num(), 3);
    EXPECT_STREQ(rt.text(0, nullptr), "ab");
}

TEST_F(richtext_impl, text_gives_the_normal_style_with_the_segments_font_name_and_size) {
    ASSERT_NE(wb.add_worksheet("Data"), nullptr);
    vex::mta::style_settings_t settings;
    settings.set_font(bold_font());
    vex::iStyle_impl bold(&wb, settings);
    vex::iRichtext_impl rt(&wb);
    rt.append("styled", &bold);
    rt.append("plain", nullptr);

    vex::iStyle* style = nullptr;
    EXPECT_STREQ(rt.text(0, &style), "styled");
    auto* handle = dynamic_cast<vex::iStyle_impl*>(style);
    ASSERT_NE(handle, nullptr);
    const vex::mta::font_t font = handle->settings().font();
    EXPECT_EQ(font.name, "Arial");
    EXPECT_EQ(font.size, 13.0);
    // Only name and size come from the segment.
    EXPECT_EQ(font.bold, 0);

    // An empty font keeps the normal style's size and empties its name.
    auto* normal = dynamic_cast<vex::iStyle_impl*>(wb.make_normal_style());
    ASSERT_NE(normal, nullptr);
    EXPECT_STREQ(rt.text(1, &style), "plain");
    handle = dynamic_cast<vex::iStyle_impl*>(style);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->settings().font().name, "");
    EXPECT_EQ(handle->settings().font().size, normal->settings().font().size);
}

TEST_F(richtext_impl, release_frees_a_made_handle_and_empties_a_cells) {
    auto* made = dynamic_cast<vex::iRichtext_impl*>(wb.make_richtext());
    ASSERT_NE(made, nullptr);
    made->append("x", nullptr);
    made->release();
    EXPECT_FALSE(wb.release_richtext(made));  // gone from the workbook's set

    vex::iRichtext_impl cells(&wb, {vex::mta::richtext_segment_t{0, "a", {}}, vex::mta::richtext_segment_t{0, "b", {}}});
    cells.release();
    EXPECT_EQ(cells.segments_num(), 0);
    cells.append("again", nullptr);
    EXPECT_STREQ(cells.plain_text(), "again");
}

#include "mta/table/cell/richtext.h"

#include "run_message.h"

#include <gtest/gtest.h>

using vex::mta::richtext_segment_t;
using vex::mta::richtext_t;

namespace {

richtext_segment_t seg(std::string text, bool bold = false) {
    richtext_segment_t s;
    s.text = std::move(text);
    s.font.bold = bold;
    return s;
}

std::vector<std::string> texts(const richtext_t& rt) {
    std::vector<std::string> out;
    for (const auto& s : rt.segments()) out.push_back(s.text);
    return out;
}

} // namespace

TEST(richtext, preserve_space_follows_the_ends_of_the_text) {
    richtext_t rt;
    for (const char* t : {" a", "a ", "a", "", "\ta", "a\n", "a b"}) rt.append(seg(t));
    std::vector<uint32_t> flags;
    for (const auto& s : rt.segments()) flags.push_back(s.preserve_space);
    EXPECT_EQ(flags, (std::vector<uint32_t>{1, 1, 0, 0, 1, 1, 0}));

    auto kept = seg("x");
    kept.preserve_space = 1;  // never cleared
    rt.insert(0, kept);
    rt.modify(1, seg(" y"));
    EXPECT_EQ(rt.get_segment(0)->preserve_space, 1u);
    EXPECT_EQ(rt.get_segment(1)->preserve_space, 1u);
}

TEST(richtext, editing_by_sequence_number) {
    richtext_t rt;
    rt.append(seg("ab"));
    rt.append(seg("cd"));
    rt.insert(5, seg("ef"));  // past the end appends
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "cd", "ef"}));
    rt.insert(1, seg("XY"));
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "XY", "cd", "ef"}));
    rt.remove(1);
    rt.remove(2);
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "cd"}));

    vex::set_run_message("");
    rt.remove(2);
    EXPECT_EQ(vex::get_run_message().str(), "Sequence number error.");
    EXPECT_EQ(rt.segments_num(), 2u);
    vex::set_run_message("");
    rt.modify(2, seg("zz"));
    EXPECT_EQ(vex::get_run_message().str(), "Sequence number error.");

    rt.modify(1, seg("gh", true));
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "gh"}));
    EXPECT_TRUE(rt.get_segment(1)->font.bold);
    EXPECT_EQ(rt.get_segment(2), nullptr);
    EXPECT_EQ(rt.plain_text(), "abgh");
    rt.clear();
    EXPECT_EQ(rt.plain_text(), "");
    EXPECT_EQ(rt.segments_num(), 0u);
}

TEST(richtext, equality_is_segment_by_segment) {
    richtext_t a, b;
    a.append(seg("ab"));
    a.append(seg("cd", true));
    b.append(seg("ab"));
    b.append(seg("cd", true));
    EXPECT_EQ(a, b);
    (void)a.plain_text();  // the buffer takes no part
    EXPECT_EQ(a, b);

    richtext_t flagged(b.segments());
    auto s = *flagged.get_segment(0);
    s.preserve_space = 1;
    flagged.modify(0, s);
    EXPECT_NE(flagged, b);

    richtext_t other_font(b.segments());
    auto f = *other_font.get_segment(1);
    f.font.name = "Arial";
    other_font.modify(1, f);
    EXPECT_NE(other_font, b);

    std::vector<richtext_segment_t> moved = a.segments();
    richtext_t taken(std::move(moved));
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(taken, a);
}

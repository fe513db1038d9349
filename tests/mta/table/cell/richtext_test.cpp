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
    rt.insert(1, seg("XY"));
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "XY", "cd", "ef"}));
    rt.remove(1);
    rt.remove(2);
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "cd"}));

    for (auto bad_edit : {+[](richtext_t& r) { r.remove(2); }, +[](richtext_t& r) { r.modify(2, seg("zz")); }}) {
        vex::set_run_message("");
        bad_edit(rt);
        EXPECT_EQ(vex::get_run_message().str(), "Sequence number error.");
        EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "cd"}));
    }

    rt.modify(1, seg("gh", true));
    EXPECT_EQ(texts(rt), (std::vector<std::string>{"ab", "gh"}));
    EXPECT_TRUE(rt.get_segment(1)->font.bold);
    EXPECT_EQ(rt.get_segment(2), nullptr);
    EXPECT_EQ(rt.plain_text(), "abgh");
    rt.clear();
    EXPECT_EQ(rt.plain_text(), "");
}

TEST(richtext, equality_is_segment_by_segment) {
    richtext_t a;
    a.append(seg("ab"));
    a.append(seg("cd", true));
    richtext_t b(a.segments());
    (void)a.plain_text();  // the buffer takes no part
    EXPECT_EQ(a, b);

    auto flagged = seg("ab");
    flagged.preserve_space = 1;
    b.modify(0, flagged);
    EXPECT_NE(a, b);
    b.modify(0, seg("ab"));
    b.modify(1, seg("cd", false));  // another font
    EXPECT_NE(a, b);
}

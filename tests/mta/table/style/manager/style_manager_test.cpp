#include "mta/table/style/manager/builtin_styles.h"
#include "mta/table/style/manager/style_manager.h"

#include "errors.h"
#include "run_message.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

using namespace vex::mta;

namespace {

font_t font(const char* name, double size, bool bold = false) {
    font_t f;
    f.name = name;
    f.size = size;
    f.bold = bold;
    return f;
}

style_settings_t with_font(const font_t& f) {
    style_settings_t s;
    s.set_font(f);
    return s;
}

style_settings_t with_indent(int32_t indent) {
    style_settings_t s;
    alignment_t a;
    a.indent = indent;
    s.set_alignment(a);
    return s;
}

} // namespace

TEST(style_manager, starts_with_normal) {
    style_manager_t m;
    const auto& t = m.get_impl();
    EXPECT_EQ(std::tuple(t.fonts.size(), t.fills.size(), t.borders.size(), t.cell_style_xfs.size(), t.cell_xfs.size()),
              std::tuple(1u, 2u, 1u, 1u, 1u));
    EXPECT_EQ(t.cell_style_xfs[0].applied, 63u);
    EXPECT_EQ(t.cell_xfs[0].applied, 0u);
    EXPECT_EQ(*t.named_styles.find("normal"), (named_style_t{"normal", 0, 0, 0, 0, 0}));

    // The settings of "normal" and of cell xf 0 both come back as 0.
    EXPECT_EQ(m.intern_style(*m.get_named_style("normal")), 0);
    EXPECT_EQ(m.intern_style(m.get_style_settings(0)), 0);
    // So does a style that adds nothing, fresh or fully unapplied.
    EXPECT_EQ(m.intern_style(style_settings_t{}), 0);
    style_settings_t bare = with_font(font("x", 1));
    for (auto unapply : {&style_settings_t::unapply_numfmt, &style_settings_t::unapply_font,
                         &style_settings_t::unapply_fill, &style_settings_t::unapply_border,
                         &style_settings_t::unapply_alignment, &style_settings_t::unapply_protection})
        (bare.*unapply)();
    EXPECT_EQ(m.intern_style(bare), 0);
    EXPECT_EQ(t.cell_xfs.size(), 1u);

    style_settings_t out = with_font(font("x", 1));
    EXPECT_FALSE(m.xf_to_style_settings(1, out));
    EXPECT_EQ(out.font().name, "x") << "left untouched";
}

TEST(style_manager, interning_reuses_equal_records) {
    style_manager_t m;
    const auto& t = m.get_impl();
    const auto bold = with_font(font("Arial", 12, true));
    const uint16_t a = m.intern_style(bold);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(m.intern_style(bold), a);
    EXPECT_EQ(std::tuple(t.cell_xfs.size(), t.fonts.size()), std::tuple(2u, 2u));

    // Read back: the record's parts with its apply mask.
    const auto back = m.get_style_settings(a);
    EXPECT_EQ(back.applied(), style_settings_t::font_bit);
    EXPECT_EQ(m.intern_style(back), a);

    // A font equal to font 0 is appended again: font 0 follows "normal".
    const uint16_t f0 = m.intern_style(with_font(builtin_font(0)));
    EXPECT_EQ(t.fonts.size(), 3u);
    EXPECT_EQ(t.cell_xfs[f0].fontId, 2u);

    // Fills: equal ones are found, the built-in ones and gradients within the
    // tolerance of the geometry included.
    style_settings_t filled;
    filled.set_fill(builtin_fill(1));
    EXPECT_EQ(t.cell_xfs[m.intern_style(filled)].fillId, 1u);
    fill_t gradient;
    gradient.gradient.degree = 90;
    gradient.gradient.stops = {{color_t::from_rgb(0xFF0000FF), 0}, {color_t::from_rgb(0xFFFFFFFF), 1}};
    filled.set_fill(gradient);
    const uint16_t g = m.intern_style(filled);
    gradient.gradient.degree = 90.0000004;
    filled.set_fill(gradient);
    EXPECT_EQ(m.intern_style(filled), g);
}

// One record with the format of cell xf 0 under another index, made once and
// never handed out by interning.
TEST(style_manager, plain_look_alike_is_made_once_beside_normal) {
    style_manager_t m;
    const auto& t = m.get_impl();
    const uint16_t bold = m.intern_style(with_font(font("Arial", 12, true)));
    const uint16_t plain = m.plain_look_alike();
    EXPECT_EQ(std::tuple(plain, m.plain_look_alike(), t.cell_xfs.size()), std::tuple(uint16_t(bold + 1), plain, 3u));
    EXPECT_TRUE(t.cell_xfs[plain] == t.cell_xfs[0]);
    EXPECT_EQ(m.intern_style(m.get_style_settings(plain)), 0);
    EXPECT_EQ(m.intern_style(with_font(font("Arial", 12, true))), bold);
}

TEST(style_manager, parent_styles) {
    style_manager_t m;
    style_settings_t framed;
    border_t b;
    b.set_edge(border_side::left, 1, {});
    framed.set_border(b);
    style_settings_t plain;
    ASSERT_TRUE(m.add_custom_style("Framed", framed) && m.add_custom_style("Plain", plain));

    // The parent takes part in equality: each keeps its own.
    auto bold = with_font(font("Arial", 12, true));
    const uint16_t first = m.intern_style(bold);
    bold.set_style_id(plain.style_id());
    EXPECT_EQ(m.intern_style(bold), first + 1);
    EXPECT_EQ(m.get_impl().cell_xfs[first].xfId, 0u);

    // Unapplied parts come from the parent.
    style_settings_t child = with_font(font("Arial", 9));
    child.set_style_id(framed.style_id());
    const auto back = m.get_style_settings(m.intern_style(child));
    EXPECT_EQ(back.style_id(), framed.style_id());
    EXPECT_EQ(back.border(), b) << "inherited, not applied";
    EXPECT_FALSE(back.is_applied(style_settings_t::border_bit));
}

TEST(style_manager, custom_number_formats) {
    style_manager_t m;
    EXPECT_EQ(m.add_numfmt_code(""), -1);
    EXPECT_EQ(m.add_numfmt_code("m/d/yyyy"), 14);
    EXPECT_EQ(m.get_numfmt_code(164).data(), nullptr);
    EXPECT_TRUE(m.is_valid_numfmt_id(163));
    EXPECT_FALSE(m.is_valid_numfmt_id(164) || m.is_valid_numfmt_id(-1));

    EXPECT_EQ(m.add_numfmt_code("0.000"), 164);
    EXPECT_EQ(m.add_numfmt_code("0.0000"), 165);
    EXPECT_EQ(m.add_numfmt_code("0.000"), 164);
    EXPECT_EQ(m.get_numfmt_code(165), "0.0000");
    EXPECT_EQ(m.get_impl().custom_numfmt_codes.size(), 2u);

    // A pending code is registered when the style is interned.
    style_settings_t s;
    s.set_numfmt_code("yyyy-mm-dd");
    const auto back = m.get_style_settings(m.intern_style(s));
    EXPECT_EQ(back.numfmt_id(), 166);
    EXPECT_EQ(back.numfmt_code(), "yyyy-mm-dd");
    EXPECT_TRUE(back.is_datetime_value(45000));
    s.set_numfmt_code("0.00");
    EXPECT_EQ(m.get_style_settings(m.intern_style(s)).numfmt_id(), 2);
}

// A style from another manager names its custom format by code: the id it
// had there may stand for another code here.
TEST(style_manager, a_code_listed_under_another_id_is_registered) {
    style_manager_t a, b;
    ASSERT_EQ(a.add_numfmt_code("0.000%"), 164);
    ASSERT_EQ(b.add_numfmt_code("#,##0.0000"), 164);
    style_settings_t s;
    s.set_numfmt_code("0.000%");
    s = a.get_style_settings(a.intern_style(s));
    ASSERT_EQ(s.numfmt_id(), 164);
    const auto in_b = b.get_style_settings(b.intern_style(s));
    EXPECT_EQ(in_b.numfmt_id(), 165);
    EXPECT_EQ(in_b.numfmt_code(), "0.000%");
    // Its own code keeps its id.
    EXPECT_EQ(b.get_style_settings(b.intern_style(in_b)).numfmt_id(), 165);
    // Adopted before a merge, which keeps the id alone.
    const style_settings_t adopted = b.adopt_numfmt(s);
    EXPECT_EQ(adopted.numfmt_id(), 165);
    style_settings_t merged;
    merged.merge(adopted);
    EXPECT_EQ(b.get_style_settings(b.intern_style(merged)).numfmt_code(), "0.000%");
    EXPECT_EQ(b.adopt_numfmt(style_settings_t{}), style_settings_t{});
}

TEST(style_manager, number_format_without_code_is_refused_before_anything_changes) {
    style_manager_t m;
    for (int32_t id : {-1, 167, 1000}) {
        style_settings_t s = with_font(font("Arial", 30));
        s.set_numfmt_id(id);
        EXPECT_EQ(what_of<mta_error>([&] { m.intern_style(s); }), "mtads error: The number format id is invalid.") << id;
    }
    EXPECT_EQ(m.get_impl().fonts.size(), 1u);
    EXPECT_EQ(m.get_impl().cell_xfs.size(), 1u);
    style_settings_t named;
    named.set_numfmt_id(999);
    EXPECT_THROW(m.add_custom_style("Broken", named), mta_error);
    EXPECT_EQ(m.get_named_style("Broken"), nullptr);
}

TEST(style_manager, freed_number_format_slots_are_reused) {
    style_manager_t::impl t;
    t.custom_numfmt_codes = {"a", "", "b"};
    t.custom_numfmt_ids = {{"a", 164}, {"b", 166}};
    // 7 does not exist and 0 still holds "a": neither is free.
    t.free_numfmt_slots = {7, 0, 1};
    EXPECT_EQ(t.register_numfmt_code("c"), 165);
    EXPECT_EQ(t.custom_numfmt_code(164), "a");
    EXPECT_EQ(t.custom_numfmt_code(165), "c");
    EXPECT_EQ(t.register_numfmt_code("d"), 167);
    EXPECT_EQ(t.register_numfmt_code("a"), 164);
    EXPECT_EQ(t.custom_numfmt_code(163), "");
}

TEST(style_manager, built_in_styles_come_into_use_on_demand) {
    style_manager_t m;
    const auto& t = m.get_impl();
    ASSERT_NE(m.get_named_style("heading1"), nullptr);
    EXPECT_EQ(t.named_styles.size(), 1u) << "reading a built-in style does not put it in use";

    const int32_t i = m.register_builtin_style("heading1");
    EXPECT_EQ(i, 1);
    EXPECT_EQ(m.register_builtin_style("heading1"), i);
    EXPECT_EQ(*t.named_styles.find("heading1"), (named_style_t{"heading1", 1, 16, 0, 1, 0}));
    EXPECT_EQ(t.borders[t.cell_style_xfs[1].borderId], builtin_border(1));
    EXPECT_EQ(t.cell_style_xfs[1].applied, 10u);

    // A built-in style keeps its number format once in use.
    const int32_t c = m.register_builtin_style("comma");
    EXPECT_EQ(t.cell_style_xfs[size_t(c)].numFmtId, 43u);
    EXPECT_EQ(m.get_named_style("comma")->numfmt_id(), 43);

    // A negative parent names a built-in style by number.
    style_settings_t s = with_font(font("Arial", 8));
    s.set_style_id(-26);   // "good"
    const uint16_t cell = m.intern_style(s);
    ASSERT_NE(t.named_styles.find("good"), nullptr);
    EXPECT_EQ(t.cell_xfs[cell].xfId, t.named_styles.find("good")->xfId);

    vex::set_run_message("");
    EXPECT_EQ(m.register_builtin_style("hyperlink"), -1);
    EXPECT_EQ(vex::get_run_message().str(), "No such built-in style name.");
    for (int32_t id : {-1, -8, -54, INT_MIN}) {
        s.set_style_id(id);
        EXPECT_EQ(what_of<mta_error>([&] { m.intern_style(s); }), "mtads error: No such built-in style name.") << id;
    }
    s.set_style_id(int32_t(t.cell_style_xfs.size()));
    EXPECT_EQ(what_of<mta_error>([&] { m.intern_style(s); }), "mtads error: The style id is invalid.");
}

TEST(style_manager, custom_styles) {
    style_manager_t m;
    // Applications match style names in any ASCII case.
    for (const char* taken : {"normal", "heading1", "accent6pct60", "Normal", "COMMA", "Accent6Pct60"}) {
        style_settings_t s;
        EXPECT_EQ(what_of<mta_error>([&] { m.add_custom_style(taken, s); }),
                  std::string("mtads error: Duplicate style name: ") + taken);
    }
    style_settings_t pct = with_indent(2);
    pct.set_numfmt_code("0.00%");
    pct.set_font(font("Arial", 10));
    ASSERT_TRUE(m.add_custom_style("Percent2", pct));
    EXPECT_EQ(pct.style_id(), 1);
    EXPECT_THROW(m.add_custom_style("Percent2", pct), mta_error);
    EXPECT_EQ(what_of<mta_error>([&] { m.add_custom_style("PERCENT2", pct); }),
              "mtads error: Duplicate style name: PERCENT2");
    EXPECT_EQ(pct.style_id(), 1);

    // The style keeps its number format and its alignment.
    const auto back = m.get_named_style("Percent2");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->numfmt_id(), 10);
    EXPECT_EQ(back->numfmt_code(), "0.00%");
    EXPECT_EQ(back->alignment().indent, 2);
    EXPECT_EQ(*m.get_impl().named_styles.find("Percent2"), (named_style_t{"Percent2", 1, -1, 0, 0, 0}));
    style_settings_t odd;
    odd.set_numfmt_code("0.0\" pts\"");
    ASSERT_TRUE(m.add_custom_style("Points", odd));
    EXPECT_EQ(m.get_named_style("Points")->numfmt_id(), 164);

    // Insertion order, "normal" first.
    std::vector<std::string> names;
    for (const auto& n : m.get_impl().named_styles) names.push_back(n.name);
    EXPECT_EQ(names, (std::vector<std::string>{"normal", "Percent2", "Points"}));
}

TEST(style_manager, modifying_named_styles) {
    style_manager_t m;
    const auto& t = m.get_impl();
    vex::set_run_message("");
    EXPECT_FALSE(m.modify_named_style("Nobody", with_font(font("Arial", 11))));
    EXPECT_EQ(vex::get_run_message().str(), "No style named Nobody.");

    // An unused built-in style comes into use, marked changed.
    ASSERT_TRUE(m.modify_named_style("title", with_font(font("Arial", 11))));
    const named_style_t* title = t.named_styles.find("title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->customBuiltin, 1);
    EXPECT_EQ(title->builtinId, 15);
    const uint32_t at = title->xfId;
    const size_t count = t.cell_style_xfs.size();

    // Changing it again rewrites its style xf in place.
    ASSERT_TRUE(m.modify_named_style("title", with_font(font("Verdana", 20))));
    EXPECT_EQ(t.cell_style_xfs.size(), count);
    EXPECT_EQ(t.named_styles.find("title")->xfId, at);
    EXPECT_EQ(m.get_named_style("title")->font().name, "Verdana");

    style_settings_t bad;
    bad.set_numfmt_id(400);
    EXPECT_THROW(m.modify_named_style("title", bad), mta_error);
    EXPECT_EQ(m.get_named_style("title")->font().name, "Verdana");
}

TEST(style_manager, modifying_a_style_leaves_an_equal_one_alone) {
    style_manager_t m;
    const auto& t = m.get_impl();
    style_settings_t a = with_font(font("Arial", 11)), b = a;
    ASSERT_TRUE(m.add_custom_style("A", a) && m.add_custom_style("B", b) && m.modify_named_style("title", a));
    ASSERT_NE(t.named_styles.find("title")->xfId, uint32_t(a.style_id())) << "equal styles have records of their own";

    ASSERT_TRUE(m.modify_named_style("A", with_font(font("Verdana", 20))));
    EXPECT_EQ(m.get_named_style("A")->font().name, "Verdana");
    EXPECT_EQ(m.get_named_style("B")->font().name, "Arial");
    EXPECT_EQ(m.get_named_style("title")->font().name, "Arial");

    // A style with a record of its own changes in place.
    const size_t count = t.cell_style_xfs.size();
    ASSERT_TRUE(m.modify_named_style("A", with_font(font("Verdana", 22))));
    EXPECT_EQ(t.cell_style_xfs.size(), count);
    EXPECT_EQ(m.get_named_style("A")->font().size, 22);
}

TEST(style_manager, changing_normal_changes_the_default_look) {
    style_manager_t m;
    const auto& t = m.get_impl();
    const uint16_t bold = m.intern_style(with_font(font("Arial", 12, true)));

    style_settings_t normal = with_font(font("Cambria", 12));
    normal.set_alignment(with_indent(1).alignment());
    fill_t yellow;
    yellow.pattern = {1, color_t::from_rgb(0xFFFFFF00), {}};
    normal.set_fill(yellow);
    normal.set_numfmt_id(4);
    ASSERT_TRUE(m.modify_named_style("normal", normal));

    EXPECT_EQ(t.fonts[0].name, "Cambria");
    EXPECT_EQ(t.fills[t.cell_xfs[0].fillId], yellow);
    EXPECT_EQ(t.cell_xfs[0].numFmtId, 0u) << "the number format of normal stays General";
    EXPECT_EQ(t.cell_xfs[0].applied, 0u);
    EXPECT_EQ(t.cell_style_xfs[0].applied, 63u);
    EXPECT_EQ(t.named_styles.find("normal")->customBuiltin, 1);
    EXPECT_EQ(m.get_style_settings(0).font().name, "Cambria");
    EXPECT_EQ(m.get_style_settings(bold).font().name, "Arial");

    // The new normal interns to 0, read either way; a cell with exactly the new
    // font gets its own.
    EXPECT_EQ(m.intern_style(*m.get_named_style("normal")), 0);
    EXPECT_EQ(m.intern_style(m.get_style_settings(0)), 0);
    EXPECT_GE(t.cell_xfs[m.intern_style(with_font(font("Cambria", 12)))].fontId, 1u);

    // Setting the same value again changes nothing.
    const auto before = t.fills.size();
    m.set_normal_style(m.get_style_settings(0));
    EXPECT_EQ(t.fills.size(), before);
}

TEST(style_manager, cell_formats_stop_at_the_16_bit_range) {
    style_manager_t m;
    for (int32_t i = 1; i < int32_t(max_cell_xf_count); ++i) ASSERT_EQ(m.intern_style(with_indent(i)), i);
    EXPECT_EQ(m.intern_style(with_indent(65535)), 65535);
    EXPECT_EQ(what_of<mta_error>([&] { m.intern_style(with_indent(70000)); }), "mtads error: Too many cell formats.");
    EXPECT_EQ(m.get_impl().cell_xfs.size(), max_cell_xf_count);
    EXPECT_EQ(m.intern_style(with_indent(17)), 17) << "known formats are still found";
    // A refused style adds none of its parts.
    const auto& t = m.get_impl();
    const auto parts = [&] {
        return std::tuple(t.fonts.size(), t.fills.size(), t.borders.size(), t.custom_numfmt_codes.size(),
                          t.cell_style_xfs.size());
    };
    const auto before = parts();
    style_settings_t all = with_font(font("Arial", 30, true));
    all.set_fill(builtin_fill(1));
    border_t b;
    b.set_edge(border_side::left, 1, {});
    all.set_border(b);
    all.set_numfmt_code("0.000\"kg\"");
    all.set_style_id(-3);  // "comma", not registered yet
    EXPECT_EQ(what_of<mta_error>([&] { m.intern_style(all); }), "mtads error: Too many cell formats.");
    EXPECT_EQ(parts(), before);
}

// A built-in style used before the list filled is found by its name after:
// another cell takes the format the first one got.
TEST(style_manager, a_built_in_style_used_before_the_formats_fill_still_applies) {
    style_manager_t m;
    const std::unique_ptr<style_settings_t> good = m.get_named_style("Good");
    ASSERT_TRUE(good);
    const uint16_t first = m.intern_style(*good);
    for (int32_t i = 1; m.get_impl().cell_xfs.size() < max_cell_xf_count; ++i) m.intern_style(with_indent(i));
    EXPECT_EQ(m.intern_style(*good), first);
}

TEST(style_manager, loaded_tables_replace_the_defaults) {
    style_manager_t m;
    m.intern_style(with_font(font("Arial", 12)));

    auto loaded = std::make_unique<style_manager_t::impl>();
    loaded->fonts = {builtin_font(0), font("Courier", 9)};
    loaded->fills = {builtin_fill(0), builtin_fill(1), builtin_fill(10)};
    loaded->borders = {border_t{}};
    const xf_t styled{.fontId = 1, .fillId = 2, .alignment = {}, .protection = {}, .applied = 6};
    loaded->cell_style_xfs = {xf_t{}, styled};
    loaded->cell_xfs = {xf_t{}, styled};
    loaded->named_styles.insert_or_assign({"Mine", 1, -1, 0, 0, 0});
    loaded->register_numfmt_code("0.0%");
    m.assign_loaded_styles(std::move(loaded));

    const auto& t = m.get_impl();
    ASSERT_EQ(t.named_styles.size(), 2u);
    EXPECT_EQ(t.named_styles.begin()->name, "normal") << "added in front when the file has none";
    EXPECT_EQ(m.get_style_settings(1).font().name, "Courier");
    EXPECT_EQ(m.add_numfmt_code("0.0%"), 164);

    // The loaded records are found again, a tinted built-in fill included.
    style_settings_t again = with_font(font("Courier", 9));
    again.set_style_id(1);
    again.set_fill(builtin_fill(10));
    const uint16_t i = m.intern_style(again);
    EXPECT_EQ(t.cell_xfs[i].fontId, 1u);
    EXPECT_EQ(t.cell_xfs[i].fillId, 2u);
    EXPECT_EQ(t.fonts.size(), 2u);
    EXPECT_EQ(t.fills.size(), 3u);
}

TEST(style_manager, loaded_parts_that_differ_from_the_parent_read_as_applied) {
    style_manager_t m;
    auto loaded = std::make_unique<style_manager_t::impl>();
    loaded->fonts = {builtin_font(0), font("Courier", 9), font("Courier", 9)};
    loaded->fills = {builtin_fill(0), builtin_fill(1), builtin_fill(10)};
    loaded->borders = {border_t{}};
    const auto xf = [](uint32_t parent, uint32_t numfmt, uint32_t font_id, uint32_t fill_id) {
        xf_t x;
        x.xfId = parent;
        x.numFmtId = numfmt;
        x.fontId = font_id;
        x.fillId = fill_id;
        return x;
    };
    loaded->cell_style_xfs = {xf(0, 0, 0, 0), xf(0, 0, 1, 0)};
    // As openpyxl writes them: no apply attributes at all.
    loaded->cell_xfs = {xf(0, 0, 0, 0), xf(0, 10, 0, 2), xf(1, 0, 2, 0), xf(1, 0, 1, 0)};
    loaded->cell_xfs[1].alignment.indent = 2;
    loaded->cell_xfs[2].protection.locked = 0;
    loaded->cell_xfs[3].applied = style_settings_t::border_bit;
    m.assign_loaded_styles(std::move(loaded));

    using ss = style_settings_t;
    const struct {
        uint16_t xf;
        uint32_t applied;
    } rows[] = {
        {0, 0},
        {1, ss::numfmt_bit | ss::fill_bit | ss::alignment_bit},
        {2, ss::protection_bit},   // an equal font under another id shows nothing new
        {3, ss::border_bit},   // the mask read stays
    };
    for (const auto& r : rows) EXPECT_EQ(m.get_style_settings(r.xf).applied(), r.applied) << r.xf;

    // An edit rebuilds the record from its parent and keeps what it showed.
    style_settings_t edited = m.get_style_settings(1);
    edited.merge(with_font(font("Arial", 10, true)));
    const auto& t = m.get_impl();
    const xf_t& x = t.cell_xfs[m.intern_style(edited)];
    EXPECT_EQ(std::tuple(x.numFmtId, x.fillId, x.alignment.indent, t.fonts[x.fontId].name),
              std::tuple(10u, 2u, 2, std::string("Arial")));
}

TEST(style_manager, loaded_cell_formats_past_the_16_bit_range_are_not_used) {
    style_manager_t m;
    auto loaded = std::make_unique<style_manager_t::impl>();
    loaded->cell_xfs.resize(max_cell_xf_count);
    xf_t indented;
    indented.alignment.indent = 3;
    indented.applied = style_settings_t::alignment_bit;
    loaded->cell_xfs.push_back(indented);
    m.assign_loaded_styles(std::move(loaded));
    EXPECT_EQ(what_of<mta_error>([&] { m.intern_style(with_indent(3)); }), "mtads error: Too many cell formats.");
}

TEST(style_manager, loaded_tables_are_completed) {
    style_manager_t m;
    m.assign_loaded_styles(std::make_unique<style_manager_t::impl>());
    const auto& t = m.get_impl();
    EXPECT_EQ(std::tuple(t.fonts.size(), t.cell_style_xfs.size(), t.cell_xfs.size()), std::tuple(1u, 1u, 1u));
    EXPECT_EQ(m.intern_style(*m.get_named_style("normal")), 0);
    EXPECT_EQ(m.intern_style(with_font(font("Arial", 1))), 1);

    // An id past its list is record 0, and the tables are taken.
    const auto broken = [](auto change) {
        auto l = std::make_unique<style_manager_t::impl>();
        l->cell_style_xfs = {xf_t{}};
        l->cell_xfs = {xf_t{}};
        change(*l);
        return l;
    };
    const std::pair<std::string, std::unique_ptr<style_manager_t::impl>> cases[] = {
        {"font", broken([](auto& l) { l.cell_xfs[0].fontId = 3; })},
        {"fill", broken([](auto& l) { l.cell_style_xfs[0].fillId = 2; })},
        {"border", broken([](auto& l) { l.cell_xfs[0].borderId = 1; })},
        {"cell style", broken([](auto& l) { l.cell_xfs[0].xfId = 1; })},
        {"named style", broken([](auto& l) { l.named_styles.insert_or_assign({"normal", 4, 0, 0, 0, 0}); })},
        {"number format", broken([](auto& l) { l.cell_xfs[0].numFmtId = 164; })},
    };
    for (const auto& [what, l] : cases) {
        SCOPED_TRACE(what);
        m.assign_loaded_styles(std::make_unique<style_manager_t::impl>(*l));
        const auto& now = m.get_impl();
        for (const xf_t* x : {&now.cell_xfs[0], &now.cell_style_xfs[0]})
            EXPECT_EQ(std::tuple(x->fontId, x->fillId, x->borderId, x->xfId, x->numFmtId), std::tuple(0u, 0u, 0u, 0u, 0u));
        EXPECT_EQ(now.named_styles.find("normal")->xfId, 0u);
    }
}

// A file names built-in styles as it likes ("Normal"): they are found by
// their builtinId, and none is added twice.
TEST(style_manager, loaded_builtin_styles_are_found_by_their_number) {
    style_manager_t m;
    auto loaded = std::make_unique<style_manager_t::impl>();
    loaded->fonts = {font("Arial", 10)};
    xf_t style_xf;
    style_xf.applied = 63;
    loaded->cell_style_xfs = {style_xf, style_xf};
    loaded->cell_xfs = {xf_t{}};
    loaded->named_styles.insert_or_assign({"Good", 1, 26, 0, 0, 0});
    loaded->named_styles.insert_or_assign({"Normal", 0, 0, 0, 0, 0});
    m.assign_loaded_styles(std::move(loaded));
    const auto& t = m.get_impl();
    EXPECT_EQ(t.named_styles.size(), 2u) << "no \"normal\" beside \"Normal\"";
    EXPECT_EQ(m.get_named_style("normal")->font().name, "Arial");
    EXPECT_EQ(m.intern_style(*m.get_named_style("normal")), 0);
    EXPECT_EQ(m.register_builtin_style("good"), 1);
    style_settings_t s = *m.get_named_style("normal");
    const font_t bigger = font("Arial", 12);
    s.set_font(bigger);
    EXPECT_TRUE(m.modify_named_style("normal", s));
    EXPECT_EQ(t.named_styles.size(), 2u);
    EXPECT_EQ(t.named_styles.find("Normal")->customBuiltin, 1);
    EXPECT_EQ(t.fonts[0].size, 12.0);
}

TEST(style_manager, two_sheets_intern_from_two_threads) {
    style_manager_t m;
    constexpr int distinct = 200;
    std::vector<uint16_t> seen[2];
    const auto work = [&](int which) {
        auto& out = seen[which];
        out.resize(distinct);
        for (int round = 0; round < 3; ++round)
            for (int k = 0; k < distinct; ++k) {
                const int i = which == 0 ? k : distinct - 1 - k;
                auto s = with_font(font("Arial", 6 + i, i % 2 == 1));
                if (i % 3 == 0) s.set_numfmt_code("0." + std::string(size_t(1 + i % 7), '0') + "x");
                out[size_t(i)] = m.intern_style(s);
                if (k % 50 == 0) m.get_named_style("normal");
            }
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(m.get_impl().cell_xfs.size(), size_t(distinct) + 1);
    EXPECT_EQ(m.get_impl().custom_numfmt_codes.size(), 7u);
}

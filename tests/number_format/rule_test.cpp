#include "number_format/number_format.h"
#include "number_format/rule.h"

#include "errors.h"
#include "token_text.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vex::numfmt;
using numfmt_test::tokens_text;

namespace {

token_list tokens(std::string_view code) { return CTokenizer::tokenize(code); }

// The rule of a one-section code, as the section parser built it.
const rule_base_t* rule_of(number_format_t::impl& f) {
    f.parse();
    return f.sections.size() == 1 ? f.sections[0].rule.get() : nullptr;
}

} // namespace

TEST(numfmt_condition, parse) {
    struct row { const char* text; condition_op op; double value; };
    const row rows[] = {
        {"<=5", condition_op::less_equal, 5}, {"<>0", condition_op::not_equal, 0},
        {"<-1.5", condition_op::less, -1.5},  {">=1e3", condition_op::greater_equal, 1000},
        {"> 7", condition_op::greater, 7},    {"=0.25", condition_op::equal, 0.25},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const auto c = condition_t::parse(r.text);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->op, r.op);
        EXPECT_EQ(c->value, r.value);
        EXPECT_FALSE(c->implied);
    }
    EXPECT_FALSE(condition_t::parse(""));
    EXPECT_FALSE(condition_t::parse("<"));
    EXPECT_FALSE(condition_t::parse("5"));
    EXPECT_FALSE(condition_t::parse("Red"));
    EXPECT_FALSE(condition_t::parse(">1e999"));
    EXPECT_THROW(condition_t::parse(">5x"), numfmt_error);
    EXPECT_THROW(condition_t::parse("<=5 "), numfmt_error);
}

TEST(numfmt_condition, holds_with_absolute_tolerance) {
    const condition_t eq{false, condition_op::equal, 0};
    EXPECT_TRUE(eq.holds(0.0000005));
    EXPECT_FALSE(eq.holds(0.00001));
    const condition_t ge{false, condition_op::greater_equal, 1e12};
    EXPECT_TRUE(ge.holds(1e12 - 5e-7));
    EXPECT_FALSE(ge.holds(1e12 - 1e-3));
    const condition_t le{false, condition_op::less_equal, 2};
    EXPECT_TRUE(le.holds(2.0000001));
    const condition_t ne{false, condition_op::not_equal, 0};
    EXPECT_TRUE(ne.holds(-1));
    EXPECT_FALSE(ne.holds(0));
    EXPECT_FALSE(ne.holds(std::nan("")));
    EXPECT_TRUE((condition_t{true, condition_op::always, 0}.holds(std::nan(""))));
}

TEST(numfmt_rule, number_rule) {
    auto percent = number_rule_t::parse(tokens("0%"));
    ASSERT_TRUE(percent);
    EXPECT_EQ(percent->percent_scale, 100.0);
    EXPECT_EQ(tokens_text(percent->tokens), "0");

    auto grouped = number_rule_t::parse(tokens("#,##0.00"));
    ASSERT_TRUE(grouped);
    EXPECT_TRUE(grouped->grouping);
    EXPECT_EQ(grouped->decimal_points, 1u);
    EXPECT_EQ(grouped->integer_digits, 4u);
    EXPECT_EQ(grouped->total_digits, 6u);
    EXPECT_EQ(tokens_text(grouped->tokens), "# gs gs # # 0 dp 0 0");

    auto short_group = number_rule_t::parse(tokens("0,0"));
    ASSERT_TRUE(short_group);
    EXPECT_EQ(short_group->integer_digits, 4u);
    EXPECT_EQ(tokens_text(short_group->tokens), "# gs # 0 gs 0");

    auto trailing_comma = number_rule_t::parse(tokens("0,"));
    ASSERT_TRUE(trailing_comma);
    EXPECT_FALSE(trailing_comma->grouping);
    EXPECT_EQ(trailing_comma->thousands_scale, 1.0);
    EXPECT_EQ(tokens_text(trailing_comma->tokens), "0 ,");

    EXPECT_FALSE(number_rule_t::parse({}));
}

TEST(numfmt_rule, datetime_rule) {
    auto ampm = datetime_rule_t::parse(tokens("h:mm AM/PM"));
    ASSERT_TRUE(ampm);
    EXPECT_TRUE(ampm->am_pm);

    auto fractional = datetime_rule_t::parse(tokens("ss.00 ss.0000 d.m"));
    ASSERT_TRUE(fractional);
    EXPECT_FALSE(fractional->am_pm);
    EXPECT_EQ(tokens_text(fractional->tokens), "dt15:2 dt16:2 ' ' dt15:2 dt16:3 ' ' dt12:1 '.' dt11:1");

    number_format_t::impl elapsed("[h]:mm:ss");
    const auto* rule = dynamic_cast<const datetime_rule_t*>(rule_of(elapsed));
    ASSERT_TRUE(rule);
    EXPECT_EQ(tokens_text(rule->tokens), "dt17:1 ':' dt11:2 ':' dt15:2");

    EXPECT_FALSE(datetime_rule_t::parse({}));
}

TEST(numfmt_rule, scientific_rule) {
    auto sci = scientific_rule_t::parse(tokens("##0.0E+0"));
    ASSERT_TRUE(sci);
    EXPECT_EQ(sci->mantissa->decimal_points, 1u);
    EXPECT_EQ(sci->exponent->total_digits, 1u);
    EXPECT_FALSE(scientific_rule_t::parse(tokens("E+0")));
    EXPECT_FALSE(scientific_rule_t::parse(tokens("0E+")));
}

TEST(numfmt_rule, fraction_rule) {
    auto mixed = fraction_rule_t::parse(tokens("# ?/?"));
    ASSERT_TRUE(mixed);
    ASSERT_TRUE(mixed->integer_part);
    EXPECT_EQ(tokens_text(mixed->integer_part->tokens), "# ' '");
    EXPECT_EQ(tokens_text(mixed->numerator->tokens), "?");
    EXPECT_EQ(tokens_text(mixed->denominator->tokens), "?");
    EXPECT_EQ(mixed->fixed_denominator, 0);

    auto proper = fraction_rule_t::parse(tokens(R"(??/??)"));
    ASSERT_TRUE(proper);
    EXPECT_FALSE(proper->integer_part);

    struct row { const char* code; int32_t fixed; };
    for (const row r : {row{"?/10", 10}, row{"?/100", 100}, row{"?/05", 5}, row{"# ?/\"16\"", 16}, row{"?/x", 0}}) {
        SCOPED_TRACE(r.code);
        auto f = fraction_rule_t::parse(tokens(r.code));
        ASSERT_TRUE(f);
        EXPECT_EQ(f->fixed_denominator, r.fixed);
    }
    EXPECT_EQ(tokens_text(fraction_rule_t::parse(tokens("?/100"))->denominator->tokens), "'100'");

    for (const char* refused : {"?", "/?", "?/", "?/#5", "?/? x ?", "?/*x", "0.0 ?/?", "#,# ?/?", "?.?/?"}) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(fraction_rule_t::parse(tokens(refused)));
    }
}

#include "number_format/number_format.h"

#include "errors.h"
#include "token_text.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace vex::numfmt;
using numfmt_test::tokens_text;

namespace {

std::string tokenized(std::string_view code) { return tokens_text(CTokenizer::tokenize(code)); }

rule_type_enum type_of(const char* code, double v) { return number_format_t(code).get_format_type(v); }

number_format_t::impl parsed(const char* code) {
    number_format_t::impl f(code);
    f.parse();
    return f;
}

std::string failure_of(const char* code) { return what_of([&] { number_format_t f(code); }); }

} // namespace

// ---- tokenizer ---------------------------------------------------------------------

TEST(numfmt_tokenizer, placeholders_symbols_and_literals) {
    EXPECT_EQ(tokenized("GeNeRaL"), "G");
    EXPECT_EQ(tokenized("0.00E+00"), "0 . 0 0 E 0 0");
    EXPECT_EQ(tokenized("#,##0_);(#,##0)"), "# , # # 0 _) ; '(' # , # # 0 ')'");
    EXPECT_EQ(tokenized("# ?/?"), "# ' ' ? / ?");
    EXPECT_EQ(tokenized(R"("$"* #\x12)"), R"('"$"' *  # 'x' '12')");
    EXPECT_EQ(tokenized("*-0"), "*- 0");
    EXPECT_EQ(tokenized("[Red][>=100]0"), "[Red] [>=100] 0");
    EXPECT_EQ(tokenized(R"("a]b;c"[x"y])"), R"('"a]b;c"' [x"y])");
    EXPECT_EQ(tokenized("0 \xE2\x82\xAC"), "0 ' \xE2\x82\xAC'");
    EXPECT_EQ(tokenized("_\xE2\x82\xAC"), "_\xE2\x82\xAC");
    EXPECT_EQ(tokenized(""), "");
}

TEST(numfmt_tokenizer, dates_and_times) {
    EXPECT_EQ(tokenized("h:mm"), "dt13:1 ':' dt14:2");
    EXPECT_EQ(tokenized("mm:ss"), "dt11:2 ':' dt15:2");        // no hour before: a month
    EXPECT_EQ(tokenized("m/d/yyyy"), "dt11:1 / dt12:1 / dt10:4");
    EXPECT_EQ(tokenized("[h]:mm:ss"), "[h] ':' dt11:2 ':' dt15:2");
    EXPECT_EQ(tokenized("yy mm hh mm"), "dt10:2 ' ' dt11:2 ' ' dt13:2 ' ' dt14:2");
    EXPECT_EQ(tokenized("mmm mmmm mmmmm mmmmmm"), "dt11:3 ' ' dt11:4 ' ' dt11:5 ' ' dt11:4");
    EXPECT_EQ(tokenized("a/p A/p a/P A/P am/PM"), "dt1:0 ' ' dt3:0 ' ' dt2:0 ' ' dt4:0 ' ' dt5:0");
    EXPECT_EQ(tokenized("aaa AAAA b bbb e ee ggg G"), "dt6:3 ' ' dt6:4 ' ' dt7:2 ' ' dt7:4 ' ' dt8:1 ' ' dt8:2 ' ' dt9:3 ' ' dt9:1");
    EXPECT_EQ(tokenized("d dddd ddddd H s SS"), "dt12:1 ' ' dt12:4 ' ' dt12:4 ' ' dt13:1 ' ' dt15:1 ' ' dt15:2");
    // Short runs of "a" stay literal.
    EXPECT_EQ(tokenized("aay"), "'aa' dt10:2");
    EXPECT_EQ(tokenized("0a0"), "0 'a' 0");
}

TEST(numfmt_tokenizer, lower_case_exponent_is_scientific) {
    EXPECT_EQ(tokenized("0.00e+00"), "0 . 0 0 E 0 0");
    EXPECT_EQ(tokenized("ee+0"), "dt8:1 E 0");
    EXPECT_EQ(tokenized("e-mm"), "E dt11:2");
    EXPECT_EQ(tokenized("E"), "'E'");
}

TEST(numfmt_tokenizer, searches_stop_at_the_end) {
    for (const auto& [code, unclosed] : {std::pair{"0[Red", true}, {"0\"abc", true}, {"0\"abc\"[Red]", false}}) {
        CTokenizer t(code);
        t.run();
        EXPECT_EQ(t.unclosed(), unclosed) << code;
    }
    // A trailing "\", "*" or "_" is a literal of itself.
    for (const auto& [code, tokens] : {std::pair{"0\\", "0 '\\'"}, {"0*", "0 '*'"}, {"0_", "0 '_'"}})
        EXPECT_EQ(tokenized(code), tokens);
}

TEST(numfmt_tokenizer, invalid_utf8_is_refused) {
    // A lead byte alone, inside quotes, after "_", cut at the end or before a placeholder, a surrogate.
    for (const char* code : {"x\xC0" "A", "0\"\xFF\"", "_\xFF", "\\\xE2\x82", "*\xE2\x82" "0", "\xED\xA0\x80"})
        EXPECT_EQ(failure_of(code), "number format error: Invalid character in format code.") << code;
    EXPECT_EQ(failure_of("0 \xE2\x82\xAC"), "no exception");
}

// ---- classification ----------------------------------------------------------------

TEST(numfmt_classification, one_section_codes) {
    struct row { const char* code; rule_type_enum type; };
    using enum rule_type_enum;
    const row rows[] = {
        {"", none}, {"    ", none}, {"[Red]", none}, {"General", general}, {"  general  ", general},
        {"0.00", number}, {"#,##0", number}, {"0%", number}, {"[$\xE2\x82\xAC-407] #,##0.00", number},
        {"[Blue][DBNum2]0", number}, {"[Color56]0", number}, {"m/d/yyyy", datetime}, {"h:mm AM/PM", datetime},
        {"[h]:mm:ss", datetime}, {"[mm]", datetime}, {"yyyy-mm-dd\"T\"hh:mm:ss.000", datetime}, {"e-mm-dd", datetime},
        {"[$-409]m/d/yyyy", datetime}, {"# ?/?", fraction}, {"?/100", fraction}, {"##0.0E+0", scientific},
        {"0.00e+00", scientific}, {"@", text}, {"\"total\"", literal},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        for (double v : {0.0, 1.5, -2.0, 1e300}) EXPECT_EQ(type_of(r.code, v), r.type);
    }
}

TEST(numfmt_classification, invalid_codes_have_no_sections) {
    const char* codes[] = {
        "[Color57]0", "[DBNum5]0", "[Foo]0", "General@", "@;@", "0;0;0;0;0", "0;0;0;0",
        "[>5]0;[>3]0;[>1]0", "[h]:[mm]", "[h]General", "?/", "#,# ?/?", "0.0 ?/?", "?/#5", "?/? x ?",
        "?/*x", "%", "E+0", "0[Red", "0\"abc", "[>1e999]0",
    };
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        EXPECT_TRUE(parsed(code).sections.empty());
        EXPECT_EQ(type_of(code, 1.0), rule_type_enum::none);
    }
}

TEST(numfmt_classification, implied_conditions) {
    const auto two = parsed("#,##0_);(#,##0)");
    ASSERT_EQ(two.sections.size(), 2u);
    EXPECT_TRUE(two.sections[0].condition->implied);
    EXPECT_EQ(two.sections[0].condition->op, condition_op::greater_equal);
    EXPECT_EQ(two.sections[1].condition->op, condition_op::less);
    for (double v : {-1.0, 0.0, 1.0}) EXPECT_EQ(two.get_format_type(v), rule_type_enum::number);

    const auto three = parsed("0;-0;0");
    ASSERT_EQ(three.sections.size(), 3u);
    EXPECT_FALSE(three.sections[2].condition);
    EXPECT_EQ(three.get_format_type(std::nan("")), rule_type_enum::number);

    EXPECT_EQ(parsed("0").sections[0].condition->op, condition_op::always);
    const auto with_text = parsed("0;@");
    EXPECT_EQ(with_text.sections[0].condition->op, condition_op::always);
    EXPECT_EQ(with_text.sections[1].kind, section_t::text);
    const auto second_conditioned = parsed("0;[<-5]0");
    EXPECT_EQ(second_conditioned.sections[0].condition->op, condition_op::greater);
    EXPECT_FALSE(second_conditioned.sections[1].condition->implied);
}

TEST(numfmt_classification, conditions_choose_the_section) {
    struct row { const char* code; double value; rule_type_enum type; };
    using enum rule_type_enum;
    const row rows[] = {
        {"[>100]0;m/d/yyyy", 150, number}, {"[>100]0;m/d/yyyy", -5, datetime},
        {"[>100]0;m/d/yyyy", 50, number},  // none holds: the first
        {"[=0]0;[>0]m/d/yyyy", 0, number}, {"[=0]0;[>0]m/d/yyyy", 0.0000005, number},
        {"[=0]0;[>0]m/d/yyyy", 0.00001, datetime}, {"[<>0]0;[=0]m/d/yyyy", -1, number},
        {"[<>0]0;[=0]m/d/yyyy", 0, datetime}, {"0;;0", -1, empty},
        {"0;", -1, number},     // a trailing ";" makes no section
        {"@;0", 5, text},       // a leading text section wins
        {"0;0;0;@", 1, number}, {"m/d/yyyy;0", -1, number},
    };
    for (const auto& r : rows) EXPECT_EQ(type_of(r.code, r.value), r.type) << r.code << " " << r.value;
}

TEST(numfmt_classification, bracket_attributes_are_kept) {
    const auto f = parsed("[Red][$-409][DBNum3]0;[Color12]0");
    ASSERT_EQ(f.sections.size(), 2u);
    EXPECT_EQ(f.sections[0].color->named, 6u);
    EXPECT_EQ(f.sections[0].locale->text, "-409");
    EXPECT_EQ(f.sections[0].numeral_system, 18u);
    EXPECT_EQ(f.sections[1].color->number, 12u);
    EXPECT_EQ(f.sections[1].color->named, 0u);
}

TEST(numfmt_classification, error_texts) {
    EXPECT_EQ(failure_of("[>5x]0"), "number format error: parsing error.");
    EXPECT_EQ(failure_of("[=abc]0"), "number format error: parsing error.");
    EXPECT_EQ(failure_of("0;\"\xC3\""), "number format error: Invalid character in format code.");
    EXPECT_EQ(failure_of(nullptr), "no exception");
    EXPECT_EQ(number_format_t(nullptr).get_format_type(1), rule_type_enum::none);
}

// Hosts may hand in what a workbook can hold: codes the engine reads as
// invalid for other reasons (four sections without "@") stay theirs to store.
TEST(numfmt_classification, host_codes) {
    const auto host_failure = [](const char* code) { return what_of([&] { check_host_code(code); }); };
    for (const char* code : {"[[[[", "0.00[Red", "0;0;0;0;0", "@;@;@;@;@", "0.0\"kg", "0;\"a;b", "[Red]0;["})
        EXPECT_EQ(host_failure(code), "number format error: parsing error.") << code;
    EXPECT_EQ(host_failure("[>5x]0"), "number format error: parsing error.");
    EXPECT_EQ(host_failure("\"\xC3\""), "number format error: Invalid character in format code.");
    for (const char* code : std::initializer_list<const char*>{"#,##0.00;[Red]-#,##0.00", "yyyy-mm-dd", "[$-409]General", "0;0;0;0", "0;-0;;@",
                             "\"a;b;c;d;e\"", "0\\;0\\;0\\;0\\;0", "", nullptr, "[Foo]0"})
        EXPECT_EQ(host_failure(code), "no exception") << (code ? code : "null");
}

// Random codes from the token alphabet, bad bytes and unclosed openers included:
// every code either parses or throws numfmt_error, and classifies within range.
TEST(numfmt_classification, random_codes_never_fail) {
    const std::vector<std::string> pieces = {
        "0", "#", "?", ".", ",", "%", "/", ";", "@", "E+", "e-", "e", "[", "]", "[Red]", "[>5]", "[<=-1]",
        "[=0]", "[h]", "[mm]", "[s]", "\"", "\"x\"", "\\", "*", "_", "h", "m", "s", "y", "d", "a", "A/P",
        "AM/PM", "General", " ", "$", "\xC3\xA9", "\xFF", "\xE2\x82", "[$\xE2\x82\xAC-407]", "[DBNum1]",
        "[Color12]", "-", "1", "5", "b", "g", "?/?", R"(# ??/10)",
    };
    std::mt19937 gen(20240607);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1), length(0, 14);
    const double values[] = {0.0, -1.0, 1e-7, 123.456, std::nan(""), std::numeric_limits<double>::infinity()};
    for (int i = 0; i < 20000; ++i) {
        std::string code;
        for (size_t n = length(gen); n > 0; --n) code += pieces[pick(gen)];
        try {
            number_format_t f(code.c_str());
            for (double v : values) EXPECT_LE(static_cast<uint32_t>(f.get_format_type(v)), 8u) << code;
        } catch (const numfmt_error&) {
        }
    }
}

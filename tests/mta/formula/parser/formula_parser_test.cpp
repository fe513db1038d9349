#include "parser_fixture.h"

#include "errors.h"
#include "mta/formula/parser/formula_lexer.h"
#include "what_of.h"

#include <stdexcept>

using vex::coord_t;
using vex::range_t;
using vex::mta::formula::formula_parser;
using parser_test::parser_fixture;

namespace {

using ops = std::vector<int32_t>;

struct sequence_case {
    const char* formula;
    ops expected;
};

} // namespace

TEST_F(parser_fixture, token_sequences_follow_the_source) {
    const sequence_case cases[] = {
        {"1+2", {700, 300, 700}},
        {"+1", {300, 700}},
        {"-1", {304, 700}},
        {" -1", {304, 700}},
        {"2*-3", {700, 302, 304, 700}},
        {"A1-1", {704, 301, 700}},
        {"(1)-2", {100, 700, 101, 301, 700}},
        {"{1,2}-1", {104, 700, 108, 700, 105, 301, 700}},
        {"5%-1", {700, 306, 301, 700}},
        {"1=-1", {700, 400, 304, 700}},
        {"SUM(1,-2)", {1000, 100, 700, 110, 304, 700, 101}},
        {"A1<=B1", {704, 404, 704}},
        {"A1<>B1", {704, 401, 704}},
        {"A1< =B1", {704, 402, 400, 704}},
        {"A1>=B1", {704, 405, 704}},
        {"A1>B1", {704, 403, 704}},
        {"SUM(A1,B1)", {1000, 100, 704, 110, 704, 101}},
        {"SUM (A1)", {1000, 100, 704, 101}},
        {"{1,2;3,4}", {104, 700, 108, 700, 109, 700, 108, 700, 105}},
        {"SUM({1,2})", {1000, 100, 104, 700, 108, 700, 105, 101}},
        // An argument separator belongs to the innermost parenthesis: a plain one
        // inside a call does not end the call's arguments.
        {"SUM((A1),B1)", {1000, 100, 100, 704, 101, 110, 704, 101}},
        {"IF((A1>0),1,2)", {1000, 100, 100, 704, 403, 700, 101, 110, 700, 110, 700, 101}},
        {"(A1,B1)", {100, 704, 201, 704, 101}},
        {"SUM((A1,B1))", {1000, 100, 100, 704, 201, 704, 101, 101}},
        {"A1:B5 B2:C3", {705, 202, 705}},
        {"A1 + B1", {704, 300, 704}},
        {"A1:B2", {705}},
        {"A1: B2", {705}},
        {"A1:B2:C3", {705}},
        {"A1:SUM(B1)", {704, 200, 1000, 100, 704, 101}},
        {"(1+2", {100, 700, 300, 700}},
        {"TRUE", {1000}},
        {"A1:", {}},
        {"", {}},
        {"1:3", {705}},
        {"$A:$C*2", {705, 302, 700}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(opcodes(c.formula), c.expected) << c.formula;
    }
}

TEST_F(parser_fixture, failures_leave_their_message) {
    const std::pair<const char*, const char*> cases[] = {
        {"A1&B1", "Error in parsing formula: &"},
        {"\"abc", "Error in parsing formula: abc"},
        {"Foo", "Undefined name: Foo"},
        {"#N/A", "Undefined name: #N"},
        {"#REF!", "Undefined name: #REF!"},
        {"1E5", "Undefined name: 1E5"},
        {"1.2.3", "Undefined name: 1.2.3"},
        {"12A", "Undefined name: 12A"},
        {"XYZ1", "Undefined name: XYZ1"},  // past the last column: a name
        {"A1048577", "Undefined name: A1048577"},
        {"[Amount]", "Undefined name: [Amount]"},
        {"Table1[[a],[b],[c]]", "Undefined name: Table1[[a],[b],[c]]"},
        {"Table1[#Bad]", "Undefined name: Table1[#Bad]"},
        {"Table1[#Total]", "Undefined name: Table1[#Total]"},
        {"Table1[a]b", "Undefined name: Table1[a]b"},
        {"Table1[a'b]", "Undefined name: Table1[a'b]"},
        {"Sheet9!Total", "Undefined name: Sheet9!Total"},
        {"Sheet1!Vat", "Undefined name: Sheet1!Vat"},
        {"'C:\\[Book1]Bad sheet'!A1", "Undefined name: 'C:\\[Book1]Bad sheet'!A1"},
        {"1+Foo*2", "Undefined name: Foo"},
        // A function's word without a call is a name, defined or not.
        {"B1*Rate", "Undefined name: Rate"},
        {"Year", "Undefined name: Year"},
        {"SUM(Value)", "Undefined name: Value"},
    };
    for (const auto& [formula, message] : cases) {
        vex::set_run_message("untouched");
        EXPECT_FALSE(parse(formula)) << formula;
        EXPECT_EQ(vex::get_run_message().str(), message) << formula;
    }
}

TEST_F(parser_fixture, open_calls_arrays_and_huge_numbers_throw) {
    for (const char* formula : {"SUM(1,2", "{1,2", "SUM((1)", "SUM(1,{2"}) {
        EXPECT_EQ(what_of<std::runtime_error>([&] { parse(formula); }), "Incomplete parentheses.") << formula;
    }
    const std::string digits(400, '9');
    EXPECT_EQ(what_of<std::runtime_error>([&] { parse("1+" + digits + "*A1"); }),
              "value overflow: " + digits + "*A1");
    // A view into a longer text: the message stops where the view does.
    const std::string longer = digits + "+1 and more";
    const std::string_view view(longer.data(), digits.size() + 2);
    EXPECT_EQ(what_of<std::runtime_error>([&] { formula_parser(context(), {}, view).parse(); }),
              "value overflow: " + digits + "+1");
}

TEST_F(parser_fixture, only_the_a1_and_r1c1_modes_parse) {
    workbook->mode = 4;
    EXPECT_EQ(opcodes("1+2"), (ops{700, 300, 700}));
    EXPECT_FALSE(parse("A1"));
    EXPECT_EQ(vex::get_run_message().str(), "Error in parsing formula: A1");
    EXPECT_FALSE(parse("SUM(1)"));
    EXPECT_EQ(opcodes("1:3"), (ops{700, 200, 700}));  // no whole rows without A1 names

    for (unsigned mode : {0u, 1u, 2u, 5u}) {
        workbook->mode = mode;
        try {
            formula_parser parser(context(), {}, "1");
            ADD_FAILURE() << mode;
        } catch (const general_error& e) {
            EXPECT_EQ(e.message(), "formula parser: cell reference mode error.");
        }
    }
    // A table without document access answers mode 1.
    vex::mta::Table bare({}, 10, 10);
    EXPECT_THROW(formula_parser(bare.get_formula_model()->context(), {}, "1"), general_error);
}

TEST_F(parser_fixture, constants_keep_their_values) {
    EXPECT_EQ(std::get<double>(only("1.5").operand), 1.5);
    EXPECT_EQ(std::get<double>(only(".5").operand), 0.5);
    EXPECT_EQ(std::get<std::string>(only("\"ab\"\"c\"").operand), "ab\"\"c");
    EXPECT_EQ(std::get<std::string>(only("\"\"").operand), "");
    EXPECT_EQ(std::get<std::string>(only("\"a+(b\"").operand), "a+(b");
    // Called, a function before a cell; alone, LOG10 is the cell.
    ASSERT_TRUE(parse("LOG10(100)"));
    EXPECT_EQ(std::get<uint32_t>(tokens.front().operand), 273u);
    ASSERT_TRUE(parse("sum(1)"));
    EXPECT_EQ(std::get<uint32_t>(tokens.front().operand), 420u);
    EXPECT_EQ(only("LOG10").opcode, 704);
}

// Numbers read without a copy give what the general reader gives, to the last
// bit; those it cannot take (a lone point, underflow) still reach the general one.
TEST_F(parser_fixture, numbers_read_as_the_general_reader_reads_them) {
    const std::string tiny = "0." + std::string(330, '0') + "1";
    const std::string long_digits = "0.1000000000000000055511151231257827021181583404541015625";
    for (const std::string& text : {std::string("0"), std::string("5."), std::string("007"), std::string("."),
                                    std::string("123456789012345678901234567890"), std::string("2.2250738585072011"),
                                    tiny, long_digits}) {
        const auto expected = vex::parse_double(text);
        ASSERT_TRUE(expected) << text;
        const auto token = only(text);
        ASSERT_EQ(token.opcode, 700) << text;
        EXPECT_EQ(std::get<double>(token.operand), *expected) << text;
    }
}

// Spans and the lenient read serve rewriting texts and checking their syntax.
TEST_F(parser_fixture, spans_and_lenient_reads) {
    text = "Sheet2!A1:B2+\"x\"*'My sheet'!C3";
    std::vector<vex::mta::formula::token_span_t> spans;
    formula_parser parser(context(), {7, 1, 1, 0, 0, 0}, text);
    parser.record_spans(spans);
    ASSERT_TRUE(parser.parse());
    std::vector<std::string> pieces;
    for (const auto& s : spans) pieces.push_back(text.substr(s.begin, s.end - s.begin));
    EXPECT_EQ(pieces, (std::vector<std::string>{"Sheet2!A1:B2", "+", "\"x\"", "*", "'My sheet'!C3"}));

    const struct {
        const char* formula;
        bool fault;
        ops opcodes;
    } cases[] = {
        {"A1&B1", false, {704, 300, 704}},
        // Blanks beside "&" are layout, as beside any operator.
        {"A1 & \" \" & B1", false, {704, 300, 701, 300, 704}},
        {"A1& B1", false, {704, 300, 704}},
        {"A1 &B1", false, {704, 300, 704}},
        {"\"a\" & \"b\"", false, {701, 300, 701}},
        {"A1 B1&C1", false, {704, 202, 704, 300, 704}},
        {"& A1", true, {300, 704}},
        {"(&A1)", true, {100, 300, 704, 101}},
        {"A1*&B1", true, {704, 302, 300, 704}},
        {"NOSUCH(1)+#N/A", false, {1000, 100, 700, 101, 300, 700, 303, 700}},
        {"\"abc", true, {701}},
        {"'Sheet2!A1", true, {700}},
        {"A1]", true, {700}},
        {"SUM(1", true, {1000, 100, 700}},
        {"A1:", false, {704, 200}},
        // Quoted in parts, a span is still one reference to rewrite.
        {"SUM(Sheet1:'My sheet'!A1)", true, {1000, 100, 705, 101}},
    };
    for (const auto& c : cases) {
        text = c.formula;
        vex::set_run_message("kept");
        formula_parser lenient(context(), {7, 1, 1, 0, 0, 0}, text);
        lenient.set_lenient();
        EXPECT_TRUE(lenient.parse()) << c.formula;
        EXPECT_EQ(lenient.syntax_fault(), c.fault) << c.formula;
        ops got;
        for (const auto& t : lenient.tokens()) got.push_back(t.opcode);
        EXPECT_EQ(got, c.opcodes) << c.formula;
        EXPECT_EQ(vex::get_run_message().str(), "kept") << c.formula;
    }
    EXPECT_TRUE(vex::mta::formula::word_is_closed("'It''s'!A1"));
    EXPECT_TRUE(vex::mta::formula::word_is_closed("Table1[[#Data],[a']b]]"));
    EXPECT_FALSE(vex::mta::formula::word_is_closed("Table1[a"));
}

#include "mta/formula/parser/formula_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vex::mta::formula::classify_lexeme;
using vex::mta::formula::formula_lexer;
using vex::mta::formula::lexeme_t;

namespace {

// Each lexeme as kind and text: "5:Sheet1!A1".
std::vector<std::string> lex(std::string_view text) {
    formula_lexer lexer(text);
    std::vector<std::string> out;
    for (const lexeme_t& l : lexer.run()) out.push_back(std::to_string(l.kind) + ":" + std::string(l.text(text)));
    return out;
}

using texts = std::vector<std::string>;

} // namespace

TEST(formula_lexer, names_hold_quotes_and_brackets_whole) {
    const std::pair<const char*, texts> cases[] = {
        {"Sheet1!A1", {"5:Sheet1!A1"}},
        {"'My sheet'!B2+1", {"5:'My sheet'!B2", "1:+", "3:1"}},
        {"'a''b (c)'!A1", {"5:'a''b (c)'!A1"}},
        {"Table1[[#Data],[Amount]]*2", {"5:Table1[[#Data],[Amount]]", "1:*", "3:2"}},
        {"T[a']b]-1", {"5:T[a']b]", "1:-", "3:1"}},
        {"A1:B2", {"5:A1", "1::", "5:B2"}},
        {".5%", {"3:.5", "1:%"}},
        {"#N/A", {"5:#N", "1:/", "5:A"}},
        {"Gr\xC3\xBC\xC3\x9F""e\x01""1", {"5:Gr\xC3\xBC\xC3\x9F""e\x01""1"}},
        {"'a\tb'!A1", {"5:'a\tb'!A1"}},
        {"'open", {"5:'open"}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(lex(text), expected) << text;
}

TEST(formula_lexer, strings_spaces_and_separators) {
    const std::pair<const char*, texts> cases[] = {
        {"\"ab\"\"c\"&\"\"", {"4:ab\"\"c", "1:&", "4:"}},
        {"\"", {"0:"}},
        {"A1   +  B1", {"5:A1", "2:   ", "1:+", "2:  ", "5:B1"}},
        // Tabs and line breaks are layout like spaces, one lexeme a run.
        {"A1+\tB1", {"5:A1", "1:+", "2:\t", "5:B1"}},
        {"A1 \r\n B1", {"5:A1", "2: \r\n ", "5:B1"}},
        {"12\n", {"3:12", "2:\n"}},
        {"\"a\nb\"", {"4:a\nb"}},
        {"{1,2;3}", {"2:{", "3:1", "2:,", "3:2", "2:;", "3:3", "2:}"}},
        {"<=<>", {"1:<", "1:=", "1:<", "1:>"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(lex(text), expected) << text;
}

TEST(formula_lexer, classification) {
    const std::string text = "%*+-/:<=>^& (),;{}1;\"s\"x";
    formula_lexer lexer(text);
    std::vector<int32_t> got;
    for (const lexeme_t& l : lexer.run()) got.push_back(classify_lexeme(l, text));
    EXPECT_EQ(got, (std::vector<int32_t>{306, 302, 300, 301, 303, 200, 402, 400, 403, 305, 0, 111, 100, 101, 107, 106,
                                         104, 105, 700, 106, 701, 0}));
}

#include "parser_fixture.h"

#include "mta/formula/parser/formula_lexer.h"

#include <random>
#include <stdexcept>

using parser_test::parser_fixture;

// Random texts over the characters the lexer tells apart: every text parses,
// fails with a message, or throws one of the parser's two texts.
TEST_F(parser_fixture, random_texts_never_crash) {
    static constexpr std::string_view alphabet = "AB1$:!'[]#@(){},; \"-+*/^%&<>=.E9\t\xC3\xA9";
    table.get_defined_names()->add({"AB", vex::mta::workbook_scope}, "1", {});
    std::mt19937 random(20261207);
    int parsed = 0, failed = 0, thrown = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string formula(random() % 24, ' ');
        for (char& c : formula) c = alphabet[random() % alphabet.size()];

        vex::mta::formula::formula_lexer lexer(formula);
        uint64_t next = 0;
        for (const auto& l : lexer.run()) {
            // Lexemes follow one another; string literals leave out their quotes.
            ASSERT_LE(l.begin, next + 1) << formula;
            ASSERT_LE(l.end + 1, formula.size() + (l.kind == 0 || l.kind == 4)) << formula;
            next = l.end + 1;
        }
        try {
            if (parse(formula)) {
                ++parsed;
            } else {
                ++failed;
                const std::string message = vex::get_run_message().str();
                EXPECT_TRUE(message.starts_with("Error in parsing formula: ") ||
                            message.starts_with("Undefined name: "))
                    << formula << " -> " << message;
            }
        } catch (const std::runtime_error& e) {
            ++thrown;
            EXPECT_TRUE(std::string_view(e.what()) == "Incomplete parentheses." ||
                        std::string_view(e.what()).starts_with("value overflow: "))
                << formula << " -> " << e.what();
        }
    }
    EXPECT_GT(parsed, 0);
    EXPECT_GT(failed, 0);
    EXPECT_GT(thrown, 0);
}

#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"

#include "kestrel/xml/xl_xml/enum_names.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

using namespace vex;
using xml::sxml::node_kind;
using xml::sxml::xml_node_t;

namespace {

std::string miss_message(std::string_view list, const char* value) {
    try {
        read_enum(list, value);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no throw";
}

template <typename F>
std::string thrown(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no throw";
}

} // namespace

TEST(shared_xml_assignment, enumeration_literals) {
    EXPECT_EQ(enum_index_in_list(enum_lists::sheet_state, "veryHidden"), 2);
    EXPECT_EQ(enum_index_in_list(enum_lists::sheet_state, "VeryHidden"), -1);
    EXPECT_EQ(miss_message(enum_lists::sheet_state, "VeryHidden"), "invalid enumeration string value: \"VeryHidden\"");
    const std::string_view orientation = "___default, landscape, portrait";
    EXPECT_EQ(enum_index_in_list(orientation, "default"), 0);
    EXPECT_EQ(enum_index_in_list(orientation, "___default"), 0);
    EXPECT_EQ(enum_index_in_list(orientation, "portrait"), 2);
    EXPECT_EQ(enum_index_in_list(orientation, "por trait"), -1);
    EXPECT_EQ(enum_index_in_list("a,b,", ""), 2);
    EXPECT_EQ(enum_index_in_list("a,b", ""), -1);
    EXPECT_EQ(enum_index_in_list(std::string_view(), "a"), -1);
    EXPECT_EQ(enum_index_in_list("___", "___"), 0);  // too short to drop its underscores
    EXPECT_EQ(enum_index_in_list("___", ""), -1);
    EXPECT_EQ(miss_message("a, b", nullptr), "invalid enumeration string value: \"\"");
}

TEST(shared_xml_assignment, integers_are_checked_to_32_bits) {
    EXPECT_EQ(read_int("  42abc"), 42);
    EXPECT_EQ(read_int("-2147483648"), INT32_MIN);
    EXPECT_EQ(read_int("+7"), 7);
    EXPECT_EQ(thrown([] { read_int("2147483648"); }), "stoi argument out of range");
    EXPECT_EQ(thrown([] { read_int("4294967297"); }), "stoi argument out of range");  // no 64-bit wrap
    EXPECT_EQ(thrown([] { read_int("x1"); }), "invalid stoi argument");
    EXPECT_EQ(thrown([] { read_int(nullptr); }), "invalid stoi argument");
    EXPECT_EQ(thrown([] { read_int("+-1"); }), "invalid stoi argument");
    EXPECT_EQ(int_or("abc", 0), 0);
    EXPECT_EQ(int_or("99999999999", -1), -1);
    EXPECT_EQ(int_or("12px", 0), 12);
    EXPECT_EQ(uint_or("12", 0), 12u);
    EXPECT_EQ(uint_or("12px", 5), 5u);
    EXPECT_EQ(uint_or("-1", 5), 5u);
}

TEST(shared_xml_assignment, doubles_are_finite_and_locale_free) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // a comma locale where installed; harmless otherwise
    EXPECT_DOUBLE_EQ(read_double(" 1.5e3x"), 1500.0);
    EXPECT_DOUBLE_EQ(read_double("+0.25"), 0.25);
    EXPECT_DOUBLE_EQ(double_or("1,5", 0), 1.0);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(thrown([] { read_double("inf"); }), "stod argument out of range");
    EXPECT_EQ(thrown([] { read_double("nan"); }), "stod argument out of range");
    EXPECT_EQ(thrown([] { read_double("1e999"); }), "stod argument out of range");
    EXPECT_EQ(thrown([] { read_double("."); }), "invalid stod argument");
    EXPECT_EQ(double_or("nan", 7.0), 7.0);
    EXPECT_EQ(double_or(nullptr, 7.0), 7.0);
}

TEST(shared_xml_assignment, flags_follow_one_rule) {
    EXPECT_FALSE(flag_or("0", true));
    EXPECT_FALSE(flag_or("false", true));
    EXPECT_TRUE(flag_or("1", false));
    EXPECT_TRUE(flag_or("true", false));
    EXPECT_TRUE(flag_or(nullptr, true));
    EXPECT_FALSE(flag_or(nullptr, false));
}

TEST(shared_xml_assignment, ancestors_by_depth) {
    xml_node_t root{}, section{}, item{}, leaf{};
    root.kind = node_kind::document_element;
    section.kind = item.kind = leaf.kind = node_kind::element;
    section.parent = &root;
    item.parent = &section;
    leaf.parent = &item;
    EXPECT_EQ(node_ancestor_at_depth(&leaf, 2), &section);  // three levels inside reaches the section
    EXPECT_EQ(node_ancestor_at_depth(&leaf, 1), &root);
    EXPECT_EQ(node_ancestor_at_depth(&leaf, 4), &leaf);
    EXPECT_EQ(node_ancestor_at_depth(&leaf, 5), nullptr);
    EXPECT_EQ(node_ancestor_at_depth(&leaf, 0), nullptr);
    EXPECT_EQ(node_ancestor_at_depth(nullptr, 1), nullptr);
    root.closed = 1;
    EXPECT_TRUE(is_end_of_document(&root));
    EXPECT_FALSE(is_end_of_document(&leaf));
}

// Names that share a prefix with the one asked for never match it.
TEST(shared_xml_assignment, node_names_match_whole) {
    xml_node_t node{};
    EXPECT_FALSE(node_named(nullptr, "row"));
    EXPECT_FALSE(node_named(&node, "row"));  // no name
    EXPECT_FALSE(node_named(&node, ""));
    node.name = "row";
    EXPECT_TRUE(node_named(&node, "row"));
    EXPECT_FALSE(node_named(&node, "r"));
    EXPECT_FALSE(node_named(&node, "rowBreaks"));
    EXPECT_FALSE(node_named(&node, "rov"));
    EXPECT_FALSE(node_named(&node, std::string_view("row\0", 4)));
    node.name = "";
    EXPECT_TRUE(node_named(&node, ""));
    EXPECT_FALSE(node_named(&node, "c"));
}

TEST(shared_xml_assignment, whole_numbers_are_the_whole_text) {
    struct row {
        const char* text;
        std::optional<uint32_t> index;
        std::optional<double> value;
    };
    const row rows[] = {
        {"12", 12u, 12.0},          {" 12\t", 12u, 12.0},      {"+7", 7u, 7.0},
        {"4294967295", 4294967295u, 4294967295.0},              {"4294967296", std::nullopt, 4294967296.0},
        {"1e3", std::nullopt, 1000.0}, {"1.5", std::nullopt, 1.5}, {"-1", std::nullopt, -1.0},
        {"0x10", std::nullopt, std::nullopt}, {"12abc", std::nullopt, std::nullopt}, {"1 2", std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt},  {"", std::nullopt, std::nullopt},      {"inf", std::nullopt, std::nullopt},
        {nullptr, std::nullopt, std::nullopt},
    };
    for (const row& r : rows) {
        EXPECT_EQ(whole_uint(r.text), r.index) << (r.text ? r.text : "null");
        EXPECT_EQ(cell_double(r.text), r.value) << (r.text ? r.text : "null");
    }
    // The extremes other producers write.
    constexpr double max = std::numeric_limits<double>::max();
    const std::pair<const char*, double> extremes[] = {
        {"1.797693134862316E+308", max}, {"-1.797693134862316E+308", -max}, {"1e400", max}, {"-1e99999999999999999999", -max},
        {"0.0001e313", max}, {"10000e-310", 1e-306}, {"INF", max}, {"-INF", -max}, {"+INF", max},
        {"1e-400", 0.0}, {"-1e-400", -0.0}, {"1000e-99999999999999999999", 0.0}, {"0.00000e400", 0.0},
    };
    for (const auto& [text, value] : extremes) {
        const std::optional<double> v = cell_double(text);
        ASSERT_TRUE(v) << text;
        EXPECT_EQ(*v, value) << text;
        EXPECT_EQ(std::signbit(*v), std::signbit(value)) << text;
    }
    EXPECT_TRUE(std::isnan(cell_double("NaN").value_or(0)));
    for (const char* text : {"nan", "Infinity", "-inf", "INFx", "1e400x", "e400"}) EXPECT_FALSE(cell_double(text)) << text;
}

#include "xml/sxml_parser.h"
#include "what_of.h"
#include "xml_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

using namespace vex::xml::sxml;
using xml_test::feed;
using xml_test::feed_whole;
using events = std::vector<std::string>;

namespace {

// Every case runs whole and through small buffers: the events must not depend
// on where the chunks are cut.
constexpr size_t buffer_sizes[] = {1, 2, 3, 5, 7, 16, 8192};
constexpr unsigned all_nodes = opt_declaration_nodes | opt_comment_nodes | opt_doctype_nodes | opt_pi_nodes |
                               opt_check_end_names;

events parse_events(std::string_view doc, unsigned options = load_options) {
    const auto whole = feed_whole(doc, options);
    EXPECT_EQ(whole.error, "") << doc;
    for (size_t size : buffer_sizes) {
        const auto chunked = feed(doc, size, options);
        EXPECT_EQ(chunked.events, whole.events) << "buffer " << size;
        EXPECT_EQ(chunked.error, whole.error) << "buffer " << size;
    }
    return whole.events;
}

// The message of the failure, the same whole and in small buffers.
std::string parse_error(std::string_view doc, unsigned options = load_options) {
    const auto whole = feed_whole(doc, options);
    for (size_t size : buffer_sizes) {
        const auto chunked = feed(doc, size, options);
        EXPECT_EQ(chunked.error_words(), whole.error_words()) << "buffer " << size;
        EXPECT_EQ(std::pair(chunked.line, chunked.column), std::pair(whole.line, whole.column)) << "buffer " << size;
    }
    return whole.error;
}

std::string message(std::string_view text) { return "xml paring error: " + std::string(text); }

// A kept tree as "a(b c d)", checking the links on the way.
std::string shape(const xml_node_t* n, const xml_node_t* parent = nullptr) {
    std::string s;
    for (const xml_node_t* prev = nullptr; n; prev = n, n = n->next_sibling) {
        EXPECT_EQ(n->prev_sibling, prev) << n->name;
        EXPECT_EQ(n->parent, parent) << n->name;
        if (!s.empty()) s += ' ';
        s += n->name;
        if (n->first_child) s += "(" + shape(n->first_child, n) + ")";
    }
    return s;
}

} // namespace

TEST(sxml_parser, elements_complete_in_one_step_are_reported_once) {
    EXPECT_EQ(parse_events("<r><a/><b></b><c> \t</c><d>x</d><e><f/></e></r>"),
              (events{"<r>", "<a/>", "<b/>", "<c> \t</c>", "<d>x</d>", "<e>", "<f/>", "</e>", "</r>"}));
    // White space before a child or between children is layout, not text.
    EXPECT_EQ(parse_events("<r>\n  <a>\n    <b/>\n  </a>\n</r>\n"),
              (events{"<r>", "<a>", "<b/>", "</a>", "</r>"}));
    EXPECT_EQ(parse_events("<si><t xml:space=\"preserve\"> </t></si>"),
              (events{"<si>", "<t xml:space=\"preserve\"> </t>", "</si>"}));
}

TEST(sxml_parser, attributes_keep_document_order) {
    EXPECT_EQ(parse_events("<a p=\"1\" q='2' p=\"3\"\n\tr = \"it's\"/>"),
              (events{"<a p=\"1\" q=\"2\" p=\"3\" r=\"it's\"/>"}));

    xml_test::session s;
    int seen = 0;
    s.parse("<c r=\"B2\" s=\"4\" t=\"s\" r=\"X9\"/>", [&](const xml_node_t* n) {
        ++seen;
        EXPECT_STREQ(vex::get_attribute_value("r", n->attributes), "B2");
        EXPECT_EQ(vex::get_attribute_value("v", n->attributes), nullptr);
        EXPECT_EQ(vex::get_attribute_value(nullptr, n->attributes), nullptr);
        const char* names[] = {"t", "v", "s", nullptr};
        EXPECT_EQ(vex::get_attribute_values(names, 4, n->attributes), 2);
        EXPECT_STREQ(names[0], "s");
        EXPECT_EQ(names[1], nullptr);
        EXPECT_STREQ(names[2], "4");
        EXPECT_EQ(names[3], nullptr);
        const char* none[] = {"r"};
        EXPECT_EQ(vex::get_attribute_values(none, 1, nullptr), 0);
        EXPECT_EQ(none[0], nullptr);
        return status_t::done;
    });
    EXPECT_EQ(seen, 1);
}

TEST(sxml_parser, references_decode_in_texts_and_values) {
    EXPECT_EQ(parse_events("<a v=\"&lt;&amp;&gt;&quot;&apos;\">&#65;&#x20AC;&#x10FFFF;&nbsp;&amp</a>"),
              (events{"<a v=\"<&>\"'\">A\xE2\x82\xAC\xF4\x8F\xBF\xBF&nbsp;&amp</a>"}));
    // Overflows, and nothing that would put a NUL or half a surrogate pair into a text.
    for (const std::string doc : {"<a>&#x110000;</a>", "<a>&#99999999999;</a>", "<a>&#;</a>", "<a>&#x;</a>", "<a>&#xD800;</a>"})
        EXPECT_EQ(parse_error(doc), message("invalid numeric character entity: {}" + doc.substr(3) + ". line 1, column 4"));
    EXPECT_EQ(parse_error("<a v='&#0;'/>"), message("invalid numeric character entity: {}&#0;'/>. line 1, column 7"));
    EXPECT_EQ(parse_error("<a>&#65</a>"), message("expected ';': {}</a>. line 1, column 8"));
    EXPECT_EQ(parse_error("<a>&#65x;</a>"), message("expected ';': {}x;</a>. line 1, column 8"));
}

TEST(sxml_parser, text_options) {
    const std::string doc = "<r><a>  x \n y  </a><b v=\" 1  2 \">&amp;&#65;</b></r>";
    EXPECT_EQ(parse_events(doc, opt_trim_text), (events{"<r>", "<a>x \n y</a>", "<b v=\" 1  2 \">&A</b>", "</r>"}));
    EXPECT_EQ(parse_events(doc, opt_normalize_text), (events{"<r>", "<a> x y </a>", "<b v=\" 1  2 \">&A</b>", "</r>"}));
    EXPECT_EQ(parse_events(doc, opt_no_entities), (events{"<r>", "<a>  x \n y  </a>", "<b v=\" 1  2 \">&amp;&#65;</b>", "</r>"}));
    EXPECT_EQ(parse_events("<a>&#x141;</a>", opt_reference_byte), (events{"<a>A</a>"}));
    EXPECT_EQ(parse_events("<r><a>x</a><b> </b></r>", opt_no_element_text), (events{"<r>", "<a/>", "<b/>", "</r>"}));
    EXPECT_EQ(parse_events("<r><b>  </b></r>", opt_trim_text), (events{"<r>", "<b/>", "</r>"}));

    // Without the option that suppresses them, a text also hangs under its
    // element as a data node.
    xml_test::session s(0);
    s.parse("<a>x</a>", [](const xml_node_t* n) {
        EXPECT_STREQ(n->text, "x");
        EXPECT_EQ(std::tuple(n->first_child->kind, n->first_child->parent), std::tuple(node_kind::data, n));
        EXPECT_STREQ(n->first_child->text, "x");
        return status_t::keep;
    });
}

TEST(sxml_parser, markup_other_than_elements) {
    // A CDATA section between elements is a node of its own; in an element's
    // text it is text (see cdata_sections_in_element_text_are_text).
    const std::string doc =
        "<?XmL version=\"1.0\" encoding='UTF-8'?>\n<!DOCTYPE r [<!ENTITY e \"v\">]>\n"
        "<?style type=\"x\"?><!-- note --><r><a/><![CDATA[<raw> & ]]><!other stuff></r>";
    EXPECT_EQ(parse_events(doc, load_options), (events{"<r>", "<a/>", "</r>"}));
    EXPECT_EQ(parse_events(doc, opt_declaration_nodes | opt_doctype_nodes | opt_pi_nodes | opt_comment_nodes),
              (events{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<!DOCTYPE r [<!ENTITY e \"v\">]>",
                      "<?style type=\"x\"?>", "<!-- note -->", "<r>", "<a/>", "<![CDATA[<raw> & ]]>", "</r>"}));
    // "xml" not followed by white space is an instruction's target.
    EXPECT_EQ(parse_events("<?xml-stylesheet href=\"a\"?><r/>", opt_pi_nodes),
              (events{"<?xml-stylesheet href=\"a\"?>", "<r/>"}));
}

TEST(sxml_parser, cdata_sections_in_element_text_are_text) {
    for (unsigned options : {load_options, 0u}) {
        EXPECT_EQ(parse_events("<t><![CDATA[x]]></t>", options), (events{"<t>x</t>"}));
        EXPECT_EQ(parse_events("<r><t>a &amp; <![CDATA[<b> &amp; ]]]>c&lt;<![CDATA[]]></t></r>", options),
                  (events{"<r>", "<t>a & <b> &amp; ]c<</t>", "</r>"}));
        // Line ends read as LF inside a section too; blanks around it are text.
        EXPECT_EQ(parse_events("<t> <![CDATA[1\r\n2\r3]]> </t>", options), (events{"<t> 1\n2\n3 </t>"}));
    }
    EXPECT_EQ(parse_events("<t>  <![CDATA[ x ]]>  </t>", opt_trim_text), (events{"<t> x</t>"}));
    // A section is text, so no element may follow it.
    EXPECT_EQ(parse_error("<r><![CDATA[x]]><a/></r>"), message("invalid closing tag name: <a/></r>. line 1, column 17"));
    using namespace std::literals;
    EXPECT_EQ(feed_whole("<t><![CDATA[x\0]]></t>"sv).message, "unexpected end of data: {}\0]]></t>"sv);
}

TEST(sxml_parser, text_is_utf8_of_characters_xml_allows) {
    EXPECT_EQ(parse_events("<t v=\"\xC3\xA9\">caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD\x7F\xC2\x80</t>"),
              (events{"<t v=\"\xC3\xA9\">caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD\x7F\xC2\x80</t>"}));
    // Each fault anywhere in the part: in a text, a value, a name, a comment.
    struct fault { std::string doc, message; };
    const fault faults[] = {
        {"<t>caf\xE9</t>", "invalid UTF-8 in p at offset 6. line 1, column 7"},
        {"<t>\xC3(</t>", "invalid UTF-8 in p at offset 3. line 1, column 4"},
        {"<t>\xC0\xAF</t>", "invalid UTF-8 in p at offset 3. line 1, column 4"},          // overlong
        {"<t>\xE0\x80\xAF</t>", "invalid UTF-8 in p at offset 3. line 1, column 4"},      // overlong
        {"<t>\xED\xA0\x80</t>", "invalid UTF-8 in p at offset 3. line 1, column 4"},      // surrogate
        {"<t>\xF4\x90\x80\x80</t>", "invalid UTF-8 in p at offset 3. line 1, column 4"},  // above U+10FFFF
        {"<t>\xF8\x88\x80\x80\x80</t>", "invalid UTF-8 in p at offset 3. line 1, column 4"},
        {"<r>\n<t>\x80</t></r>", "invalid UTF-8 in p at offset 7. line 2, column 4"},
        {"<t>a\x01" "b</t>", "character U+0001 not allowed in p at offset 4. line 1, column 5"},
        {"<t v=\"\x0B\"/>", "character U+000B not allowed in p at offset 6. line 1, column 7"},
        {"<t\x1F/>", "character U+001F not allowed in p at offset 2. line 1, column 3"},
        {"<r><!-- \x0C --></r>", "character U+000C not allowed in p at offset 8. line 1, column 9"},
        {"<t>\xEF\xBF\xBE</t>", "character U+FFFE not allowed in p at offset 3. line 1, column 4"},
        {"<t>\xEF\xBF\xBF</t>", "character U+FFFF not allowed in p at offset 3. line 1, column 4"},
        // The first fault of the part wins, whatever the chunks.
        {"<r><a/ >\x01</r>", "expected >:  >. line 1, column 7"},
        {"<r>\x01<a/ ></r>", "character U+0001 not allowed in p at offset 3. line 1, column 4"},
        // A character cut off by the end of the part.
        {"<r/>\n\xE2\x82", "incomplete xml text: . line 2, column 1"},
        // References to what a text may not hold.
        {"<t>&#1;</t>", "invalid numeric character entity: {}&#1;</t>. line 1, column 4"},
        {"<t>&#xFFFF;</t>", "invalid numeric character entity: {}&#xFFFF;</t>. line 1, column 4"},
    };
    for (const auto& f : faults) EXPECT_EQ(parse_error(f.doc), message(f.message)) << f.doc;
    EXPECT_EQ(parse_events("<t>&#9;&#xA;&#xD;&#xFFFD;</t>"), (events{"<t>\t\n\r\xEF\xBF\xBD</t>"}));
    // What comes before a fault is parsed and handed on.
    const auto cut = feed_whole("<r><a/><b>\xFF</b></r>");
    EXPECT_EQ(cut.events, (events{"<r>", "<a/>"}));
}

TEST(sxml_parser, messages_quote_little_of_the_data) {
    const std::string doc = "<r><a/ " + std::string(100000, 'x') + "></r>";
    const auto got = feed_whole(doc);
    EXPECT_EQ(got.message, "expected >:  " + std::string(63, 'x') + "...");
    EXPECT_EQ(feed_whole("<r><a/>" + std::string(1000, ' ') + "z</r>").error,
              message("expected <: " + std::string(32, ' ') + "z</r>. line 1, column 1008"));
    // A long value in the handler's position text is cut too.
    xml_test::session s;
    const std::string value(1000, 'v');
    const std::string what = what_of<parsing_error>([&] {
        s.parse("<c r=\"" + value + "\" s=\"1\"/>", [](const xml_node_t*) -> status_t { throw std::runtime_error("bad"); });
    });
    EXPECT_EQ(what, "xml paring error: bad ---at: p line 1, column " + std::to_string(value.size() + 16) + " <c r=\"" +
                        std::string(64, 'v') + "...\" s=\"1\">: . line 1, column " + std::to_string(value.size() + 16));
}

TEST(sxml_parser, namespace_prefixes_must_be_declared_in_the_part) {
    EXPECT_EQ(parse_events("<x:a xmlns:x=\"u\" x:p=\"1\"><x:b/></x:a>"),
              (events{"<x:a xmlns:x=\"u\" x:p=\"1\">", "<x:b/>", "</x:a>"}));
    // Declarations have no scope: once seen, a prefix counts to the end.
    EXPECT_EQ(parse_events("<r><a xmlns:y=\"u\"/><y:b/></r>"), (events{"<r>", "<a xmlns:y=\"u\"/>", "<y:b/>", "</r>"}));
    EXPECT_EQ(parse_events("<t xml:space=\"preserve\"><xml:a/></t>"),
              (events{"<t xml:space=\"preserve\">", "<xml:a/>", "</t>"}));
    EXPECT_EQ(parse_error("<r><x:a/></r>"), message("invalid namespace prefix in element: /></r>. line 1, column 8"));
    EXPECT_EQ(parse_error("<r a=\"1\" x:p=\"2\"/>"), message("invalid namespace prefix in attribute: x:p. line 1, column 17"));
    EXPECT_EQ(parse_events("<x:a x:p=\"1\"/>", 0), (events{"<x:a x:p=\"1\"/>"}));

    // The prefix lengths the readers split names with.
    xml_test::session s;
    s.parse("<x:ab xmlns:x=\"u\" x:cd=\"1\" xml:space=\"p\" plain=\"2\"/>", [](const xml_node_t* n) {
        EXPECT_EQ(std::tuple(n->prefixed, n->prefix_length), std::tuple(1, 1u));
        std::vector<uint32_t> lengths;
        for (auto* a = n->attributes; a; a = a->next) lengths.push_back(a->prefix_length);
        EXPECT_EQ(lengths, (std::vector<uint32_t>{0, 1, 0, 0}));
        return status_t::done;
    });
}

TEST(sxml_parser, names_take_the_usual_prefix_of_their_namespace) {
    static constexpr sxml_parser::usual_prefix_t usual[] = {{"m", ""}, {"rel", "r"}, {"vml", "x"}};
    const auto renamed = [](std::string_view doc) {
        const auto whole = feed_whole(doc, load_options, status_t::done, usual);
        EXPECT_EQ(whole.error, "") << doc;
        for (size_t size : buffer_sizes)
            EXPECT_EQ(feed(doc, size, load_options, status_t::done, usual).events, whole.events) << size;
        return whole.events;
    };
    // The main namespace bound to x: reads as the usual spelling, which stays as it is.
    EXPECT_EQ(renamed("<x:book xmlns:x=\"m\" xmlns:rr=\"rel\"><x:s x:n=\"a\" rr:id=\"1\">t</x:s></x:book>"),
              (events{"<book xmlns=\"m\" xmlns:r=\"rel\">", "<s n=\"a\" r:id=\"1\">t</s>", "</book>"}));
    EXPECT_EQ(renamed("<book xmlns=\"m\" xmlns:r=\"rel\"><s r:id=\"1\"/></book>"),
              (events{"<book xmlns=\"m\" xmlns:r=\"rel\">", "<s r:id=\"1\"/>", "</book>"}));
    // A default namespace that is not the main one gets its prefix.
    EXPECT_EQ(renamed("<a xmlns=\"m\"><shape xmlns=\"vml\"><b/></shape><c/></a>"),
              (events{"<a xmlns=\"m\">", "<x:shape xmlns:x=\"vml\">", "<x:b/>", "</x:shape>", "<c/>", "</a>"}));
    // Declarations hold for the element and its content only.
    EXPECT_EQ(renamed("<p:a xmlns:p=\"m\"><p:b xmlns:p=\"rel\"/><p:c>t</p:c><d xmlns=\"\"/></p:a>"),
              (events{"<a xmlns=\"m\">", "<r:b xmlns:r=\"rel\"/>", "<c>t</c>", "<d xmlns=\"\"/>", "</a>"}));
    // Another namespace keeps the part's prefix, unless it is a usual one.
    EXPECT_EQ(renamed("<a xmlns=\"m\" xmlns:r=\"u\" xmlns:q=\"rel\" xmlns:z=\"w\" r:k=\"1\" q:id=\"2\" z:v=\"3\"/>"),
              (events{"<a xmlns=\"m\" xmlns:ns1=\"u\" xmlns:r=\"rel\" xmlns:z=\"w\" ns1:k=\"1\" r:id=\"2\" z:v=\"3\"/>"}));
    // The prefixes markup compatibility lists are renamed with their namespaces.
    static constexpr sxml_parser::usual_prefix_t with_mc[] = {
        {"m", ""}, {"http://schemas.openxmlformats.org/markup-compatibility/2006", "mc"}, {"ac", "x14ac"}};
    EXPECT_EQ(feed_whole("<a xmlns=\"m\" xmlns:c=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
                         "xmlns:q=\"ac\" xmlns:k=\"u\" c:Ignorable=\" q k\"/>",
                         load_options, status_t::done, with_mc).events,
              (events{"<a xmlns=\"m\" xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
                      "xmlns:x14ac=\"ac\" xmlns:k=\"u\" mc:Ignorable=\" x14ac k\"/>"}));
    // Two prefixes for one namespace leave one declaration.
    EXPECT_EQ(renamed("<x:a xmlns=\"m\" xmlns:x=\"m\" xmlns:y=\"m\"><y:b/></x:a>"),
              (events{"<a xmlns=\"m\">", "<b/>", "</a>"}));
    // A hostile part cannot make every name a long search; any number of
    // namespaces may come and go.
    std::string many = "<a";
    for (int i = 0; i < 257; ++i) many += " xmlns:p" + std::to_string(i) + "=\"u" + std::to_string(i) + "\"";
    many += "/>";
    for (size_t size : {many.size(), size_t(64)})
        EXPECT_EQ(feed(many, size, load_options, status_t::done, usual).error,
                  message("more than 256 namespace declarations in scope. line 1, column 4392"));
    std::string come_and_go = "<r>";
    for (int i = 0; i < 1000; ++i) come_and_go += "<p:a xmlns:p=\"u" + std::to_string(i) + "\"/>";
    const auto gone = feed_whole(come_and_go + "</r>", load_options, status_t::done, usual);
    EXPECT_EQ(gone.error, "");
    EXPECT_EQ(gone.events[1000], "<ns999:a xmlns:ns999=\"u999\"/>");  // p went to u0
    // No list, no renaming.
    EXPECT_EQ(parse_events("<x:a xmlns:x=\"m\"/>"), (events{"<x:a xmlns:x=\"m\"/>"}));
}

TEST(sxml_parser, end_tags) {
    EXPECT_EQ(parse_error("<a><b></a></b>"), message("end tag mismatch: /a></b>. line 1, column 8"));
    EXPECT_EQ(parse_error("<a>x</b>"), message("end tag mismatch: /b>. line 1, column 6"));
    EXPECT_EQ(parse_error("<a><b/></a ></a>"), message("junk after document element: </a>. line 1, column 13"));
    EXPECT_EQ(parse_events("<a><b>t</c></d>", 0), (events{"<a>", "<b>t</b>", "</a>"}));
    EXPECT_EQ(parse_error("</a>"), message("end tag mismatch: /a>. line 1, column 2"));
    EXPECT_EQ(parse_error("<a></a x>"), message("end tag mismatch: /a x>. line 1, column 5"));
}

// An end tag names the whole element name, not a prefix of it.
TEST(sxml_parser, an_end_tag_matching_a_prefix_of_the_name_is_refused) {
    EXPECT_EQ(parse_error("<abc></ab>"), message("end tag mismatch: /ab>. line 1, column 7"));
    EXPECT_EQ(parse_error("<abc>t</ab>"), message("end tag mismatch: /ab>. line 1, column 8"));
    EXPECT_EQ(parse_error("<r><x:abc xmlns:x=\"u\"></x:ab></r>"), message("end tag mismatch: /x:ab></r>. line 1, column 24"));
    EXPECT_EQ(parse_error("<ab></abc>"), message("end tag mismatch: /abc>. line 1, column 6"));
}

TEST(sxml_parser, every_syntax_failure_names_its_place) {
    using namespace std::literals;
    // The message may hold NUL bytes of the data.
    struct failure { std::string_view doc, message; unsigned long long column; unsigned options = load_options; };
    const failure cases[] = {
        {" x<r/>"sv, "expected <:  x<r/>"sv, 2},
        {"<r><a/>x</r>"sv, "expected <: <r><a/>x</r>"sv, 8},
        {"<r>< a/></r>"sv, "expected element name:  a/></r>"sv, 5},
        {"<r><a/ ></r>"sv, "expected >:  ></r>"sv, 7},
        {"<r><a b=\"1\"=></r>"sv, "expected > or />: =></r>"sv, 12},
        {"<r><a x y=\"1\"/></r>"sv, "expected =: y=\"1\"/></r>"sv, 9},
        {"<r><a x=1/></r>"sv, "expected ' or \": 1/></r>"sv, 9},
        {"<r>x<b/></r>"sv, "invalid closing tag name: <b/></r>"sv, 5},
        {"<r><a>x\0y</a></r>"sv, "unexpected end of data: {}\0y</a></r>"sv, 8},
        {"<r><a v=\"x\0\"/></r>"sv, "expected ' or \": \0\"/></r>"sv, 11},
        {"<!DOCTYPE r [\0]><r/>"sv, "unexpected end of data: {}\0]><r/>"sv, 14},
        {"<?xml version=\"1.0\"\0?><r/>"sv, "unexpected end of data: {}\0?><r/>"sv, 20},
        {"<?xml version=\"1.0\" ?x><r/>?>"sv, "expected \"?>\": {}?x><r/>?>"sv, 21, opt_declaration_nodes},
        {"<? x?><r/>"sv, "expected PI target:  x?><r/>"sv, 3, opt_pi_nodes},
    };
    for (const auto& c : cases) {
        const auto whole = feed_whole(c.doc, c.options);
        EXPECT_EQ(whole.message, c.message) << c.doc;
        EXPECT_EQ(std::pair(whole.line, whole.column), std::pair(1ull, c.column)) << c.doc;
        EXPECT_EQ(parse_error(c.doc, c.options), whole.error);
    }
}

TEST(sxml_parser, handler_failures_become_parsing_errors) {
    const std::string doc = "<r>\n<row>\n\n  <c r=\"B2\" s='1'/></row></r>";
    const auto failure = [&](sxml_parser::handler_t handler) {
        xml_test::session s;
        s.name = "xl/worksheets/sheet1.xml";
        return what_of<parsing_error>([&] { s.parse(doc, std::move(handler)); });
    };
    const auto at_cell = [](auto fail) {
        return [=](const xml_node_t* n) { return std::string_view(n->name) == "c" ? fail() : status_t::done; };
    };
    EXPECT_EQ(failure(at_cell([]() -> status_t { throw std::runtime_error("bad cell"); })),
              "xml paring error: bad cell ---at: xl/worksheets/sheet1.xml line 4, column 20 "
              "<c r=\"B2\" s=\"1\">: . line 4, column 20");
    EXPECT_EQ(failure(at_cell([]() -> status_t { throw 42; })),
              "xml paring error: xl/worksheets/sheet1.xml line 4, column 20 <c r=\"B2\" s=\"1\">: unknown error.. "
              "line 4, column 20");
    EXPECT_EQ(failure([](const xml_node_t* n) {
                  return std::string_view(n->name) == "row" ? status_t::error : status_t::done;
              }),
              "xml paring error: An error occurred while assigning node: row. line 4, column 3");
}

TEST(sxml_parser, lines_end_at_lf_crlf_and_lone_cr) {
    // LF, CRLF, CR: the failing blank is on line 4, column 5, whatever the chunks.
    EXPECT_EQ(parse_error("<r>\n<a/>\r\n<b/>\r <a/ ></r>"), message("expected >:  ></r>. line 4, column 5"));
    // A CRLF cut between two chunks is one line end.
    const auto cut = feed("<r><a/>\r\n<b/ >", 8);
    EXPECT_EQ(cut.error, message("expected >:  >. line 2, column 4"));
}

TEST(sxml_parser, a_chunk_is_parsed_to_its_last_complete_construct) {
    xml_test::session s;
    xml_test::recorder rec;

    std::string chunk = "<r><a/><b x=\"1\">";
    s.parse(chunk, std::ref(rec));
    EXPECT_EQ(s.tail, 9u);  // the start tag waits for its content
    EXPECT_EQ(rec.events, (events{"<r>", "<a/>"}));

    // Nothing complete: the whole chunk comes back, without an error.
    chunk = "<b x=\"1\">some long te";
    s.parse(chunk, std::ref(rec));
    EXPECT_EQ(s.tail, chunk.size());

    chunk += "xt</b></r>\n";
    s.parse(chunk, std::ref(rec));
    EXPECT_EQ(s.tail, 0u);
    EXPECT_EQ(rec.events, (events{"<r>", "<a/>", "<b x=\"1\">some long text</b>", "</r>"}));
    EXPECT_EQ(s.cursor, nullptr);
    EXPECT_NO_THROW(s.end(std::ref(rec)));
}

TEST(sxml_parser, the_end_of_data_fails_on_anything_unfinished) {
    // The place is the start of what was left unparsed.
    EXPECT_EQ(parse_error("<r><a>text"), message("incomplete xml text: . line 1, column 4"));
    // A comment after a start tag may begin the element's text: the element waits for it.
    EXPECT_EQ(parse_error("<r><!-- open"), message("incomplete xml text: . line 1, column 1"));
    // A document cut after a complete construct is still cut.
    EXPECT_EQ(parse_error("<r>\n<a/>"), message("incomplete xml text: . line 2, column 5"));
    // A part without an element is no document.
    EXPECT_EQ(parse_error(""), message("no element found. line 1, column 1"));
    EXPECT_EQ(parse_error("<?xml version=\"1.0\"?>\n<!-- c -->\r\n"), message("no element found. line 3, column 1"));

    // A construct far longer than the buffer only needs the buffer to grow.
    const std::string text(100000, 'y');
    EXPECT_EQ(feed("<r><t>" + text + "</t></r>", 8192).events, (events{"<r>", "<t>" + text + "</t>", "</r>"}));
}

TEST(sxml_parser, done_frees_closed_nodes) {
    xml_test::session s;
    std::vector<std::string> seen;
    s.parse("<a><b/><c><d/></c></a>\n<!-- end --><?pi x?> ", [&](const xml_node_t* n) {
        seen.push_back(n->name);
        // Children answered done are gone by the time their parent closes.
        EXPECT_TRUE(!n->closed || !n->first_child) << n->name;
        return status_t::done;
    });
    EXPECT_EQ(seen, (events{"a", "b", "c", "d", "c", "a"}));
    EXPECT_EQ(s.tail, 0u);
    EXPECT_EQ(s.cursor, nullptr);
    EXPECT_EQ(s.parser.detach_nodes(), nullptr);
    EXPECT_NO_THROW(s.end(nullptr));
}

TEST(sxml_parser, only_comments_and_instructions_follow_the_document_element) {
    EXPECT_EQ(parse_events("<r/>\r\n<!-- a -->\n<?pi x?>\t"), (events{"<r/>"}));
    EXPECT_EQ(parse_error("<r/>\n<r/>"), message("junk after document element: <r/>. line 2, column 1"));
    EXPECT_EQ(parse_error("<r/>x"), message("junk after document element: x. line 1, column 5"));
    EXPECT_EQ(parse_error("<r></r><!-- a --><?xml version=\"1.0\"?>"),
              message("junk after document element: <?xml version=\"1.0\"?>. line 1, column 18"));
    EXPECT_EQ(parse_error("<r/><!-- open"), message("incomplete xml text: . line 1, column 5"));
    // Kept or not, the document element ends the part.
    EXPECT_EQ(xml_test::feed_whole("<r><a/></r><b/>", load_options, status_t::keep).error_words(),
              "xml paring error: junk after document element");
}

TEST(sxml_parser, line_ends_read_as_lf_and_values_fold_white_space) {
    // Texts, values and references: literal CR LF and CR become LF; in a value
    // literal TAB, LF and CR become blanks; references stay what they name.
    EXPECT_EQ(parse_events("<r><a v=\"1\r\n2\r3\t4\n5\" w='&#13;&#10;&#9;'>x\r\ny\rz\n&#13;</a></r>"),
              (events{"<r>", "<a v=\"1 2 3 4 5\" w=\"\r\n\t\">x\ny\nz\n\r</a>", "</r>"}));
    EXPECT_EQ(parse_events("<a v=\"\r\n\">\r\n\r\r\n</a>"), (events{"<a v=\" \">\n\n\n</a>"}));
    EXPECT_EQ(parse_events("<a>&amp;\r\n</a>"), (events{"<a>&\n</a>"}));
    EXPECT_EQ(parse_events("<r><!--a\r\nb--><![CDATA[c\rd]]></r>", opt_comment_nodes),
              (events{"<r>", "<!--a\nb-->", "<![CDATA[c\nd]]>", "</r>"}));
}

TEST(sxml_parser, comments_and_instructions_inside_a_text_add_nothing) {
    EXPECT_EQ(parse_events("<r><t>ab<!-- c -->cd</t></r>"), (events{"<r>", "<t>abcd</t>", "</r>"}));
    EXPECT_EQ(parse_events("<r><t><?pi x?>e<!---->f&amp;<![CDATA[<g>]]></t></r>"),
              (events{"<r>", "<t>ef&<g></t>", "</r>"}));
    EXPECT_EQ(parse_events("<t><!-- a --> <!-- b -->x</t>"), (events{"<t> x</t>"}));
    // Before a child or the end tag they are no text.
    EXPECT_EQ(parse_events("<r><!-- c --> <?p?><a/></r>"), (events{"<r>", "<a/>", "</r>"}));
    EXPECT_EQ(parse_events("<r><!-- c --></r>"), (events{"<r>", "</r>"}));
    // Text then a child is still mixed content.
    EXPECT_EQ(parse_error("<r><t>a<!--c--><x/></t></r>"), message("invalid closing tag name: <x/></t></r>. line 1, column 16"));
}

TEST(sxml_parser, parts_in_other_encodings_are_refused) {
    using namespace std::literals;
    EXPECT_EQ(parse_events("<?xml version=\"1.0\" encoding=\"utf-8\"?><r/>"), (events{"<r/>"}));
    EXPECT_EQ(parse_events("<?xml version='1.0' encoding = 'UTF-8' standalone='yes'?><r/>"), (events{"<r/>"}));
    EXPECT_EQ(parse_events("<?xml version=\"1.0\"?><r/>"), (events{"<r/>"}));
    EXPECT_EQ(parse_error("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xE9</r>"),
              message("unsupported encoding: ISO-8859-1. line 1, column 31"));
    EXPECT_EQ(parse_error("<?xml version=\"1.0\" encoding='UTF-16'?><r/>", all_nodes),
              message("unsupported encoding: UTF-16. line 1, column 31"));
    for (std::string_view doc : {"\xFF\xFE<\0r\0/\0>\0"sv, "\xFE\xFF\0<\0r\0/\0>"sv, "<\0r\0/\0>\0"sv, "\0<\0r\0/\0>"sv})
        EXPECT_EQ(parse_error(doc), message("unsupported encoding: UTF-16. line 1, column 1"));
}

TEST(sxml_parser, keep_builds_the_tree) {
    xml_test::session s;
    // Keep everything but e, which leaves d without children.
    s.parse("<a><b x=\"1\"/>\n<c>t</c><d><e/></d></a>", [](const xml_node_t* n) {
        return std::string_view(n->name) == "e" ? status_t::done : status_t::keep;
    });
    auto* chain = s.parser.detach_nodes();
    ASSERT_NE(chain, nullptr);
    ASSERT_NE(s.cursor, nullptr);
    EXPECT_EQ(shape(s.cursor), "a(b c d)");
    EXPECT_EQ(s.cursor->kind, node_kind::document_element);
    EXPECT_EQ(s.cursor->first_child->kind, node_kind::element);
    EXPECT_STREQ(s.cursor->first_child->next_sibling->text, "t");
    EXPECT_EQ(s.cursor->first_child->next_sibling->next_sibling->status, status_t::keep);
    sxml_parser::free_nodes(chain);

    // A node done with after a kept sibling leaves the sibling chain too.
    s.restart();
    s.parse("<a><b/><c><x/></c><d/></a>", [](const xml_node_t* n) {
        return std::string_view(n->name) == "c" ? status_t::done : status_t::keep;
    });
    EXPECT_EQ(shape(s.cursor), "a(b d)");
}

TEST(sxml_arena, a_detached_chain_holds_no_spare_chunks) {
    sxml_arena arena;
    arena.allocate(8);
    const auto mark = arena.mark();
    arena.allocate(sxml_arena::min_chunk * 2);  // a second chunk, spare after the rollback
    arena.rollback(mark);
    sxml_arena::chunk* chain = arena.detach();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->next, nullptr);
    sxml_arena::release(chain);
    EXPECT_EQ(arena.detach(), nullptr);
}

TEST(sxml_parser, stop_hands_the_rest_back) {
    xml_test::session s;
    xml_test::recorder rec;

    std::string data = "<r><a/><b/><c/></r>";
    s.parse(data, [&](const xml_node_t* n) {
        rec(n);
        return std::string_view(n->name) == "a" ? status_t::stop : status_t::done;
    });
    EXPECT_EQ(rec.events, (events{"<r>", "<a/>"}));
    EXPECT_EQ(s.tail, 12u);
    data.erase(0, data.size() - s.tail);
    s.parse(data, std::ref(rec));
    EXPECT_EQ(rec.events, (events{"<r>", "<a/>", "<b/>", "<c/>", "</r>"}));
}

// Random cuts and byte changes over sheet XML: never a crash, and the same
// events and the same failure whether the part comes whole or in chunks.
TEST(sxml_parser, mutated_sheets_parse_alike_whole_and_chunked) {
    const std::string sheet = xml_test::sheet_xml(150);
    ASSERT_GT(sheet.size(), 4 * 8192u);
    const auto clean = feed_whole(sheet);
    ASSERT_EQ(clean.error, "");
    EXPECT_EQ(feed(sheet, 8192).events, clean.events);

    std::mt19937 rng(20240611);
    const std::string_view specials("<>/&;#x\"'=:?!-[]\0 \r\n", 21);
    for (int round = 0; round < 150; ++round) {
        std::string doc = sheet;
        for (int i = 1 + int(rng() % 4); i > 0; --i) {
            char& c = doc[rng() % doc.size()];
            c = rng() % 2 ? specials[rng() % specials.size()] : char(rng() % 256);
        }
        if (rng() % 4 == 0) doc.resize(rng() % doc.size());

        // Now and then with every kind of node made, keeping the tree, or
        // renaming prefixes.
        const unsigned options = round % 3 ? load_options : all_nodes;
        const status_t answer = round % 5 ? status_t::done : status_t::keep;
        static constexpr sxml_parser::usual_prefix_t usual[] = {
            {"http://schemas.openxmlformats.org/spreadsheetml/2006/main", "m"},
            {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", "rel"}};
        const auto prefixes = round % 2 ? std::span(usual) : std::span<const sxml_parser::usual_prefix_t>();
        const auto whole = feed_whole(doc, options, answer, prefixes);
        for (size_t size : {size_t(8192), size_t(16 + rng() % 500)}) {
            const auto chunked = feed(doc, size, options, answer, prefixes);
            ASSERT_EQ(chunked.events, whole.events) << "round " << round << " buffer " << size;
            ASSERT_EQ(chunked.error_words(), whole.error_words()) << "round " << round << " buffer " << size;
            ASSERT_EQ(std::pair(chunked.line, chunked.column), std::pair(whole.line, whole.column));
        }
    }
}

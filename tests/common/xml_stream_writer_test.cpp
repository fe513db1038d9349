#include "xml/xml_stream_writer.h"
#include "clients.h"
#include "what_of.h"
#include "xml_test_support.h"

#include <gtest/gtest.h>

#include <utf8.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>
#include <stdexcept>
#include <unistd.h>

using vex::xml::xml_stream_writer;
using namespace vex::xml::sxml;

namespace {

// Everything the sink is handed, block by block.
struct blocks {
    std::vector<std::string> list;
    xml_stream_writer::sink_t sink() {
        return [this](const char* data, unsigned int size) { list.emplace_back(data, size); };
    }
    std::string all() const { return std::accumulate(list.begin(), list.end(), std::string()); }
};

template <typename F>
std::string written(F&& write) {
    blocks out;
    {
        xml_stream_writer w(out.sink());
        write(w);
    }
    return out.all();
}

std::string text_of(std::string_view text) { return written([&](xml_stream_writer& w) { w.write_text(text); }); }
std::string attribute_of(std::string_view v) { return written([&](xml_stream_writer& w) { w.write_attribute("v", v); }); }

// Writes a kept tree back the way the part writers do.
void write_tree(xml_stream_writer& w, const xml_node_t* node) {
    while (node) {
        w.start_element(node->name);
        w.write_attributes(node->attributes);
        node = w.write_node_rest(node);
    }
}

// `edit` may change the kept tree before it is written.
std::string kept_tree_written(const std::string& doc, const std::function<void(xml_node_t*)>& edit = {}) {
    xml_test::session s;
    s.parse(doc, [](const xml_node_t*) { return status_t::keep; });
    EXPECT_EQ(s.tail, 0u);
    if (edit) edit(s.cursor);
    return written([&](xml_stream_writer& w) { write_tree(w, s.cursor); });
}

// A string of valid characters that the writer must escape in every way it
// knows: white space, control characters, markup, text that looks like a
// package escape, characters beyond U+FFFF.
std::string random_text(std::mt19937& rng) {
    static constexpr char32_t others[] = {0xE9, 0x4E2D, 0xFFFD, 0xFFFE, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
    std::string s;
    for (int n = int(rng() % 16); n > 0; --n) {
        switch (rng() % 9) {
        case 0: s += "\t\n\r"[rng() % 3]; break;
        case 1: s += "\r\n"; break;
        case 2: s += char(rng() % 0x20); break;
        case 3: {
            s += rng() % 2 ? "_x" : "_X";
            for (int i = 0; i < 4; ++i) s += "0123456789abcdefABCDEF_"[rng() % 23];
            if (rng() % 2) s += '_';
            break;
        }
        case 4: s += '_'; break;
        case 5: s += "&<>\"' "[rng() % 6]; break;
        case 6: s += char('a' + rng() % 26); break;
        default: utf8::append(others[rng() % std::size(others)], std::back_inserter(s)); break;
        }
    }
    return s;
}

// What a reader of the package makes of "_xHHHH_": the UTF-16 unit it names.
std::string package_decoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned code = 0;
        if (s.size() - i >= 7 && s[i] == '_' && s[i + 1] == 'x' && s[i + 6] == '_' &&
            std::from_chars(s.data() + i + 2, s.data() + i + 6, code, 16).ptr == s.data() + i + 6) {
            utf8::append(char32_t(code), std::back_inserter(out));
            i += 7;
        } else {
            out += s[i++];
        }
    }
    return out;
}

} // namespace

TEST(xml_stream_writer, pieces) {
    EXPECT_EQ(written([](xml_stream_writer& w) {
                  w.start_element("?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?");
                  w.close_start_tag();
                  w.start_element("r");
                  w.write_attribute("v", "a<b & \"c\"");
                  w.close_start_tag();
                  w.start_element("e");
                  w.end_empty_element();
                  w.write_raw("<raw>&amp;</raw>");
                  w.end_element("r");
              }),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
              "<r v=\"a&lt;b &amp; &quot;c&quot;\"><e/><raw>&amp;</raw></r>");
}

TEST(xml_stream_writer, escaping_keeps_every_text_readable) {
    EXPECT_EQ(text_of("<a href='x'>&</a>"), "&lt;a href=&apos;x&apos;&gt;&amp;&lt;/a&gt;");
    EXPECT_EQ(text_of("caf\xC3\xA9 \xEF\xBC\xA1"), "caf\xC3\xA9 \xEF\xBC\xA1");
    // Control characters a reader would reject go out as the package escape.
    EXPECT_EQ(text_of(std::string_view("a\0b\x01\x1F\x7F", 6)), "a_x0000_b_x0001__x001F_\x7F");
    EXPECT_EQ(text_of("\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF"), "_xFFFE__xFFFF_\xEF\xBF");
    // A literal escape gets its underscore escaped, so that it reads back as typed.
    EXPECT_EQ(text_of("_x0041_ _x00e9_"), "_x005F_x0041_ _x005F_x00e9_");
    EXPECT_EQ(text_of("_x004_ _X0041_ _x00G1_ a_b _x0041"), "_x004_ _X0041_ _x00G1_ a_b _x0041");
    // An escape written for the next byte must not close a literal "_xHHHH" into one.
    EXPECT_EQ(text_of("_x000D\x01_x0041\xEF\xBF\xBF"), "_x005F_x000D_x0001__x005F_x0041_xFFFF_");
    // White space: kept in texts but CR, which a reader would fold into LF;
    // character references in attribute values.
    EXPECT_EQ(text_of("a\tb\nc\rd\r\n"), "a\tb\nc&#13;d&#13;\n");
    EXPECT_EQ(attribute_of("a\tb\nc\rd"), " v=\"a&#9;b&#10;c&#13;d\"");
    EXPECT_EQ(attribute_of(std::string_view("\x02_x0001_", 8)), " v=\"_x0002__x005F_x0001_\"");
}

// A text read with escapes that decoding kept writes those back as read (and
// the _x005F_ that keeps a literal one apart); anything else as any text.
TEST(xml_stream_writer, kept_escapes_go_out_as_read) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a_x0000_b", "a_x0000_b"},
        {"_xD800_ _xdfff_", "_xD800_ _xdfff_"},
        {"_x005F_x0000_|_x0000_", "_x005F_x0000_|_x0000_"},
        {"_x0041_ _x005F_x0041_", "_x005F_x0041_ _x005F_x005F_x005F_x0041_"},
        {"_x0000_\r&", "_x0000_&#13;&amp;"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(written([&](xml_stream_writer& w) { w.write_text(in, true); }), out) << in;
    EXPECT_EQ(written([](xml_stream_writer& w) { w.write_string_item("_x0000_\r", true); }), "_x0000__x000D_");
    EXPECT_EQ(text_of("a_x0000_b"), "a_x005F_x0000_b");
}

// A URI takes no _xHHHH_ escape either way; what no URI may hold is percent-encoded.
TEST(xml_stream_writer, uri_attributes_keep_underscores) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"https://example.com/file_x0041_.pdf", " t=\"https://example.com/file_x0041_.pdf\""},
        {"a_x0041_b?q=1&r=\"2\"", " t=\"a_x0041_b?q=1&amp;r=&quot;2&quot;\""},
        {std::string_view("a b\x01\t\xEF\xBC\xA1\xEF\xBF\xBE", 11), " t=\"a b%01%09\xEF\xBC\xA1%EF%BF%BE\""},
    };
    for (const auto& [uri, expected] : cases)
        EXPECT_EQ(written([&](xml_stream_writer& w) { w.write_uri_attribute("t", uri); }), expected) << uri;
}

TEST(xml_stream_writer, flushes_blocks_over_the_threshold) {
    blocks out;
    xml_stream_writer w(out.sink());
    w.write_raw(std::string(4096, 'a'));
    w.write_raw("b");  // 4096 bytes held: not yet
    EXPECT_TRUE(out.list.empty());
    w.close_start_tag();  // 4097: handed on first
    ASSERT_EQ(out.list.size(), 1u);
    EXPECT_EQ(out.list[0].size(), 4097u);

    // Texts never flush: a long one leaves whole with the next flushing piece.
    w.write_text(std::string(10000, 't'));
    w.write_text(std::string(10000, 'u'));
    EXPECT_EQ(out.list.size(), 1u);
    w.end_element("x");
    ASSERT_EQ(out.list.size(), 2u);
    EXPECT_EQ(out.list[1].size(), 20001u);

    w.flush();
    w.flush();  // an empty buffer is never handed on
    ASSERT_EQ(out.list.size(), 3u);
    EXPECT_EQ(out.list[2], "</x>");
}

TEST(xml_stream_writer, sink_failures_and_no_sink) {
    int calls = 0;
    std::string got;
    {
        xml_stream_writer w([&](const char* data, unsigned int size) {
            if (++calls == 1) throw std::runtime_error("disk full");
            got.append(data, size);
        });
        w.write_raw("<a/>");
        EXPECT_THROW(w.flush(), std::runtime_error);
        w.write_raw("<b/>");  // what the sink refused is still there
        w.flush();
        EXPECT_EQ(got, "<a/><b/>");

        // A block bypasses the buffer but not what is already in it.
        w.write_raw("<c>");
        const char image[] = {'\x89', 'P', 'N', 'G'};
        w.write_to_sink(image, 4);
        EXPECT_EQ(got, "<a/><b/><c>\x89PNG");

        w.write_raw("dropped");
        w.clear();
    }
    EXPECT_EQ(got, "<a/><b/><c>\x89PNG");

    // The destructor's flush swallows the failure.
    EXPECT_NO_THROW({
        xml_stream_writer w([](const char*, unsigned int) { throw std::runtime_error("disk full"); });
        w.write_raw("<a/>");
    });

    xml_stream_writer none(nullptr);
    EXPECT_FALSE(none.get_sink());
    none.write_raw("<a/>");
    none.flush();
    EXPECT_EQ(what_of<std::runtime_error>([&] { none.write_to_sink("x", 1); }), "no xml stream writer.");
}

TEST(xml_stream_writer, writes_back_a_kept_tree) {
    EXPECT_EQ(kept_tree_written("<r><e a=\"1\"/><t>x</t></r>"), "<r><e a=\"1\"></e><t>x</t></r>");
    EXPECT_EQ(kept_tree_written("<r><a><b><c/></b></a><d k='&lt;'> </d></r>"),
              "<r><a><b><c></c></b></a><d k=\"&lt;\"> </d></r>");
    // Parsed texts and values hold package escapes already: they go out as read.
    // A control byte (which no part may hold) put into a kept text goes out escaped.
    EXPECT_EQ(kept_tree_written("<r><s v=\"a_x000D_b\">_x0041_x0042?</s></r>",
                                [](xml_node_t* r) { const_cast<char*>(r->first_child->text)[12] = '\x01'; }),
              "<r><s v=\"a_x000D_b\">_x0041_x0042_x0001_</s></r>");
}

TEST(xml_stream_writer, parse_write_parse_gives_the_same_events) {
    const std::string sheet = xml_test::sheet_xml(60);
    const std::string again = kept_tree_written(sheet);
    const auto original = xml_test::feed_whole(sheet);
    ASSERT_EQ(original.error, "");
    const auto reread = xml_test::feed(again, 8192);
    EXPECT_EQ(reread.error, "");
    EXPECT_EQ(reread.events, original.events);
    EXPECT_EQ(kept_tree_written(again), again);
}

// Every string comes back as written, in element text and in attribute values,
// for this parser and for expat.
TEST(xml_stream_writer, random_strings_read_back_as_written) {
    std::mt19937 rng(1357);
    std::vector<std::string> strings(20000);
    for (auto& t : strings) t = random_text(rng);
    const std::string doc = written([&](xml_stream_writer& w) {
        w.start_element("r");
        w.close_start_tag();
        for (const auto& t : strings) {
            w.start_element("s");
            w.write_attribute("v", t);
            w.close_start_tag();
            w.write_text(t);
            w.end_element("s");
        }
        w.end_element("r");
    });

    for (std::size_t buffer : {std::size_t(8192), doc.size()}) {
        xml_test::session s;
        std::size_t i = 0;
        const auto check = [&](const xml_node_t* n) {
            if (std::string_view(n->name) != "s") return status_t::done;
            EXPECT_LT(i, strings.size());
            if (i >= strings.size()) return status_t::error;
            EXPECT_EQ(package_decoded(n->text ? n->text : ""), strings[i]) << i;
            EXPECT_EQ(package_decoded(n->attributes->value), strings[i]) << i;
            ++i;
            return status_t::done;
        };
        std::string chunk;
        for (std::size_t at = 0; at < doc.size();) {
            if (s.tail == buffer) buffer *= 2;
            const std::size_t n = std::min(buffer - s.tail, doc.size() - at);
            chunk.append(doc, at, n);
            at += n;
            s.parse(chunk, check);
            chunk.erase(0, chunk.size() - s.tail);
        }
        s.end();
        EXPECT_EQ(i, strings.size());
    }

    REQUIRE_CLIENT("python3");
    const auto dir = std::filesystem::temp_directory_path() / ("plover_xml_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "doc.xml", std::ios::binary) << doc;
    {
        std::ofstream hex(dir / "strings.txt", std::ios::binary);
        for (const auto& t : strings) {
            for (unsigned char c : t) hex << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
            hex << '\n';
        }
    }
    std::ofstream(dir / "check.py") << R"(import re, sys, xml.parsers.expat
d = sys.argv[1]
expected = [bytes.fromhex(l).decode('utf-8') for l in open(d + '/strings.txt').read().split('\n')[:-1]]
texts, values, parts = [], [], []
def start(name, attrs):
    if name == 's': values.append(attrs['v']); parts.clear()
def end(name):
    if name == 's': texts.append(''.join(parts))
p = xml.parsers.expat.ParserCreate('UTF-8')
p.StartElementHandler, p.EndElementHandler, p.CharacterDataHandler = start, end, parts.append
p.ParseFile(open(d + '/doc.xml', 'rb'))
decoded = lambda s: re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), s)
bad = [i for i, e in enumerate(expected) if decoded(texts[i]) != e or decoded(values[i]) != e]
print(len(expected), len(texts), bad[:5])
sys.exit(1 if bad or len(texts) != len(expected) else 0)
)";
    EXPECT_EQ(std::system(("python3 '" + (dir / "check.py").string() + "' '" + dir.string() + "'").c_str()), 0);
    std::filesystem::remove_all(dir);
}

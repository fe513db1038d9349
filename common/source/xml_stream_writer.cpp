#include "xml/xml_stream_writer.h"

#include "text_utils.h"

#include <algorithm>
#include <array>
#include <climits>
#include <stdexcept>

namespace vex::xml {

namespace {

// What a byte becomes; 0 is written as it is.
enum : unsigned char {
    e_clean = 0,
    e_entity,      // & < > " '
    e_control,     // below 0x20 but TAB, LF, CR: _xHHHH_
    e_reference,   // TAB, LF, CR in an attribute value, CR in text: &#N;
    e_underscore,         // '_' that may start a literal _xHHHH_
    e_parsed_underscore,  // the same in text already in package form
    e_kept_underscore,    // the same in a text read with escapes it kept as written
    e_ef,                 // lead byte of U+FFFE and U+FFFF
    e_percent,            // a byte a URI holds as %HH
    e_uri_ef,             // lead byte of U+FFFE and U+FFFF in a URI
};

struct escape_classes {
    std::array<unsigned char, 256> text{};
    std::array<unsigned char, 256> attribute{};
    // Parsed texts and values are already in the package's form: a "_xHHHH_"
    // there is an escape, and escaping its '_' again would change the data.
    std::array<unsigned char, 256> parsed_text{};
    std::array<unsigned char, 256> parsed_attribute{};
    // Shared strings: CR as spreadsheet applications write it there.
    std::array<unsigned char, 256> string_item{};
    // Texts holding escapes that decoding kept (NUL, a lone surrogate): those
    // go out as they were read.
    std::array<unsigned char, 256> kept_text{};
    std::array<unsigned char, 256> kept_string_item{};
    std::array<unsigned char, 256> uri{};
};

constexpr escape_classes make_escape_classes() {
    escape_classes c;
    for (int b = 0; b < 0x20; ++b) c.text[b] = c.attribute[b] = e_control;
    // A reader turns a raw CR LF into LF and, in a value, TAB and LF into
    // blanks: those go out as references so that they read back as written.
    for (unsigned char b : {'\t', '\n', '\r'}) {
        c.text[b] = e_clean;
        c.attribute[b] = e_reference;
    }
    c.text['\r'] = e_reference;
    for (unsigned char b : {'&', '<', '>', '"', '\''}) c.text[b] = c.attribute[b] = e_entity;
    c.text['_'] = c.attribute['_'] = e_underscore;
    c.text[0xEF] = c.attribute[0xEF] = e_ef;
    c.parsed_text = c.text;
    c.parsed_attribute = c.attribute;
    c.parsed_text['_'] = c.parsed_attribute['_'] = e_parsed_underscore;
    c.string_item = c.text;
    c.string_item['\r'] = e_control;
    c.kept_text = c.text;
    c.kept_string_item = c.string_item;
    c.kept_text['_'] = c.kept_string_item['_'] = e_kept_underscore;
    c.uri = c.attribute;
    for (int b = 0; b < 0x20; ++b) c.uri[b] = e_percent;
    c.uri['_'] = e_clean;
    c.uri[0xEF] = e_uri_ef;
    return c;
}
constexpr escape_classes escapes = make_escape_classes();

constexpr char hex_digits[] = "0123456789ABCDEF";

std::string_view entity(char c) noexcept {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return "&apos;";
    }
}

std::string_view reference(char c) noexcept {
    switch (c) {
    case '\t': return "&#9;";
    case '\n': return "&#10;";
    default: return "&#13;";
    }
}

bool is_hex(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// U+FFFE or U+FFFF at p.
bool noncharacter_at(const char* p, const char* end) noexcept {
    return end - p >= 3 && static_cast<unsigned char>(p[0]) == 0xEF && static_cast<unsigned char>(p[1]) == 0xBF &&
           (static_cast<unsigned char>(p[2]) == 0xBE || static_cast<unsigned char>(p[2]) == 0xBF);
}

// "_xHHHH" at p, and a byte after it.
bool escape_start_at(const char* p, const char* end) noexcept {
    return end - p >= 7 && p[1] == 'x' && is_hex(p[2]) && is_hex(p[3]) && is_hex(p[4]) && is_hex(p[5]);
}

// The byte at p goes out as an escape of its own, so with a leading '_'.
bool written_as_escape(const char* p, const char* end, const unsigned char* classes) noexcept {
    switch (classes[static_cast<unsigned char>(*p)]) {
    case e_control: return true;
    case e_ef: return noncharacter_at(p, end);
    default: return false;
    }
}

} // namespace

xml_stream_writer::xml_stream_writer(sink_t sink) : sink_(std::move(sink)) {
    grow(0);
}

xml_stream_writer::~xml_stream_writer() {
    try {
        flush();
    } catch (...) {
    }
}

void xml_stream_writer::start_element(std::string_view name) {
    flush_if_full();
    put('<');
    put(name);
}

void xml_stream_writer::write_attribute(std::string_view name, std::string_view value) {
    put_attribute(name, value, escapes.attribute.data());
}

void xml_stream_writer::write_attributes(const sxml::xml_attribute_t* list) {
    for (; list; list = list->next) put_attribute(list->name, list->value, escapes.parsed_attribute.data());
}

void xml_stream_writer::write_uri_attribute(std::string_view name, std::string_view value) {
    put_attribute(name, value, escapes.uri.data());
}

void xml_stream_writer::write_parsed_attribute(std::string_view name, std::string_view value) {
    put_attribute(name, value, escapes.parsed_attribute.data());
}

void xml_stream_writer::put_attribute(std::string_view name, std::string_view value, const unsigned char* classes) {
    flush_if_full();
    put(' ');
    put(name);
    put("=\"", 2);
    put_escaped(value, classes);
    put('"');
}

void xml_stream_writer::close_start_tag() {
    flush_if_full();
    put('>');
}

void xml_stream_writer::end_empty_element() {
    flush_if_full();
    put("/>", 2);
}

void xml_stream_writer::end_element(std::string_view name) {
    flush_if_full();
    put("</", 2);
    put(name);
    put('>');
}

void xml_stream_writer::write_raw(std::string_view text) {
    flush_if_full();
    put(text);
}

void xml_stream_writer::write_text(std::string_view text, bool escapes_kept) {
    put_escaped(text, escapes_kept ? escapes.kept_text.data() : escapes.text.data());
}

void xml_stream_writer::write_string_item(std::string_view text, bool escapes_kept) {
    put_escaped(text, escapes_kept ? escapes.kept_string_item.data() : escapes.string_item.data());
}

void xml_stream_writer::write_parsed_text(std::string_view text) {
    put_escaped(text, escapes.parsed_text.data());
}

const sxml::xml_node_t* xml_stream_writer::write_node_rest(const sxml::xml_node_t* node) {
    using sxml::node_kind;
    // A tree parsed with data nodes keeps the text in its first child too.
    const sxml::xml_node_t* child = node->first_child;
    const char* text = node->text;
    if (child && child->kind == node_kind::data) {
        if (!text) text = child->text;
        child = nullptr;
    }
    if (text) {
        close_start_tag();
        put_escaped(text, escapes.parsed_text.data());
        end_element(node->name);
    } else if (child) {
        close_start_tag();
        return child;
    } else {
        close_start_tag();
        end_element(node->name);
    }
    for (; node; node = node->parent) {
        if (node->next_sibling) return node->next_sibling;
        if (node->parent) end_element(node->parent->name);
    }
    return nullptr;
}

void xml_stream_writer::flush() {
    if (!sink_ || size_ == 0) return;
    // The sink takes an unsigned int count.
    constexpr size_t max_block = UINT_MAX;
    size_t handed = 0;
    try {
        while (handed < size_) {
            const size_t n = std::min(size_ - handed, max_block);
            sink_(buf_.get() + handed, static_cast<unsigned int>(n));
            handed += n;
        }
    } catch (...) {
        std::memmove(buf_.get(), buf_.get() + handed, size_ - handed);
        size_ -= handed;
        throw;
    }
    size_ = 0;
}

void xml_stream_writer::write_to_sink(const char* data, unsigned int size) {
    if (!sink_) throw std::runtime_error("no xml stream writer.");
    flush();
    sink_(data, size);
}

void xml_stream_writer::grow(size_t n) {
    const size_t capacity = std::max({capacity_ * 2, size_ + n, 2 * flush_threshold});
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_) std::memcpy(bigger.get(), buf_.get(), size_);
    buf_ = std::move(bigger);
    capacity_ = capacity;
}

void xml_stream_writer::put_percent(char c) {
    const char escaped[3] = {'%', hex_digits[(c >> 4) & 0xF], hex_digits[c & 0xF]};
    put(escaped, 3);
}

// Clean runs are copied whole; only the bytes the table marks are looked at.
void xml_stream_writer::put_escaped(std::string_view s, const unsigned char* classes) {
    const char* p = s.data();
    const char* const end = p + s.size();
    while (p < end) {
        const char* run = p;
        while (p < end && !classes[static_cast<unsigned char>(*p)]) ++p;
        put(run, p - run);
        if (p == end) return;

        const char c = *p;
        switch (classes[static_cast<unsigned char>(c)]) {
        case e_entity: put(entity(c)); break;
        case e_reference: put(reference(c)); break;
        case e_control: {
            const char escaped[7] = {'_', 'x', '0', '0', hex_digits[(c >> 4) & 0xF], hex_digits[c & 0xF], '_'};
            put(escaped, 7);
            break;
        }
        case e_percent: put_percent(c); break;
        case e_uri_ef:
            if (noncharacter_at(p, end)) {
                for (int i = 0; i < 3; ++i) put_percent(p[i]);
                p += 3;
                continue;
            }
            put(c);
            break;
        case e_parsed_underscore:
        case e_kept_underscore: {
            // In package form "_xHHHH_" is an escape already: it goes out whole,
            // and its closing '_' starts nothing. A decoded text keeps only
            // some escapes as written.
            const size_t whole = classes['_'] == e_kept_underscore ? kept_x_escape_at({p, size_t(end - p)}, 0)
                                 : escape_start_at(p, end) && p[6] == '_' ? 7
                                                                          : 0;
            if (whole) {
                put(p, whole);
                p += whole;
                continue;
            }
            [[fallthrough]];
        }
        case e_underscore:
            // "_xHHHH" closed by a '_', or by the escape the next byte becomes,
            // would read as an escape: its '_' is escaped.
            if (escape_start_at(p, end) && (p[6] == '_' || written_as_escape(p + 6, end, classes)))
                put("_x005F_", 7);
            else
                put('_');
            break;
        case e_ef:
            if (noncharacter_at(p, end)) {
                put(static_cast<unsigned char>(p[2]) == 0xBE ? "_xFFFE_" : "_xFFFF_", 7);
                p += 3;
                continue;
            }
            put(c);
            break;
        }
        ++p;
    }
}

} // namespace vex::xml

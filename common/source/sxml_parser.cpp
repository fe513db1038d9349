#include "xml/sxml_parser.h"

#include <utf8.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace vex::xml::sxml {

namespace {

// Byte classes; every stop class holds the NUL byte, which no XML text may contain.
enum : uint8_t {
    c_space = 0x01,
    c_name_stop = 0x02,  // ends an element name: white space / > ?
    c_attr_stop = 0x04,  // ends an attribute name: white space ! / < = > ?
    c_text_stop = 0x08,  // < &
    c_dq_stop = 0x10,    // " &
    c_sq_stop = 0x20,    // ' &
    c_lt_stop = 0x40,    // <
    c_line_space = 0x80,  // TAB LF CR: a value reads them as blanks
};

constexpr std::array<uint8_t, 256> make_classes() {
    std::array<uint8_t, 256> t{};
    auto add = [&t](std::string_view chars, uint8_t bits) {
        for (char c : chars) t[uint8_t(c)] |= bits;
    };
    add(std::string_view("\0", 1), c_name_stop | c_attr_stop | c_text_stop | c_dq_stop | c_sq_stop | c_lt_stop);
    add(" \t\n\r", c_space | c_name_stop | c_attr_stop);
    add("/>?", c_name_stop);
    add("!/<=>?", c_attr_stop);
    add("<&", c_text_stop);
    add("<", c_lt_stop);
    add("\"&", c_dq_stop);
    add("'&", c_sq_stop);
    add("\t\n\r", c_line_space);
    return t;
}
constexpr std::array<uint8_t, 256> classes = make_classes();

inline bool has(char c, uint8_t bits) noexcept { return classes[uint8_t(c)] & bits; }

// The first byte of [p, end) in one of the `stop` classes, or end.
inline const char* scan(const char* p, const char* end, uint8_t stop) noexcept {
    while (end - p >= 4) {
        if (has(p[0], stop)) return p;
        if (has(p[1], stop)) return p + 1;
        if (has(p[2], stop)) return p + 2;
        if (has(p[3], stop)) return p + 3;
        p += 4;
    }
    while (p < end && !has(*p, stop)) ++p;
    return p;
}

inline const char* skip_space(const char* p, const char* end) noexcept {
    while (p < end && has(*p, c_space)) ++p;
    return p;
}

// 1 when [p, end) starts with `lit`, 0 when it does not, -1 when the data ends
// before that is known.
int starts(const char* p, const char* end, std::string_view lit) noexcept {
    const size_t n = std::min(lit.size(), size_t(end - p));
    if (std::memcmp(p, lit.data(), n) != 0) return 0;
    return n == lit.size() ? 1 : -1;
}

const char* find(const char* p, const char* end, std::string_view lit) noexcept {
    const auto at = std::string_view(p, end - p).find(lit);
    return at == std::string_view::npos ? nullptr : p + at;
}

// At most about 64 bytes of the data from `from`, cut at a character boundary:
// a message never carries megabytes of a part.
constexpr size_t excerpt_bytes = 64;

std::string excerpt(const char* from, const char* end) {
    if (size_t(end - from) <= excerpt_bytes) return std::string(from, end);
    const char* cut = from + excerpt_bytes;
    while (cut > from && (uint8_t(*cut) & 0xC0) == 0x80) --cut;
    return std::string(from, cut) + "...";
}

std::string excerpt(std::string_view s) { return excerpt(s.data(), s.data() + s.size()); }

int digit_value(char c, bool hex) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Where [p, end) stops being well-formed UTF-8 of characters XML allows: the
// first byte of a character that is not, or of one the data cuts off (`fault`
// stays clear then, the next bytes may complete it), or `end`. The NUL byte is
// let through: the parser stops at it with messages of its own. ASCII runs go
// sixteen bytes at a time.
struct text_fault {
    bool fault = false;
    uint32_t code = 0;  // a forbidden character, or 0 for bytes that are no UTF-8
};

inline bool allowed_control(uint8_t b) noexcept { return b == 0 || b == '\t' || b == '\n' || b == '\r'; }

const char* check_text(const char* p, const char* end, text_fault& f) noexcept {
    for (;;) {
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(0x20);
        while (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            // Signed: bytes of 0x80 and above count as below a blank too.
            const int mask = _mm_movemask_epi8(_mm_cmplt_epi8(v, space));
            if (mask != 0) {
                p += __builtin_ctz(unsigned(mask));
                break;
            }
            p += 16;
        }
#endif
        while (p < end && uint8_t(*p) >= 0x20 && uint8_t(*p) < 0x80) ++p;
        if (p == end) return p;
        const auto b = uint8_t(*p);
        if (b < 0x20) {
            if (!allowed_control(b)) {
                f = {true, b};
                return p;
            }
            ++p;
            continue;
        }
        // The second byte's range depends on the first: no overlong forms, no
        // surrogates, nothing above U+10FFFF.
        size_t n;
        uint8_t low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            f = {true, 0};
            return p;
        }
        for (size_t i = 1; i < n; ++i) {
            if (p + i == end) return p;
            const auto c = uint8_t(p[i]);
            if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) {
                f = {true, 0};
                return p;
            }
        }
        // U+FFFE and U+FFFF are no characters.
        if (b == 0xEF && uint8_t(p[1]) == 0xBF && uint8_t(p[2]) >= 0xBE) {
            f = {true, 0xFFFEu + (uint8_t(p[2]) - 0xBE)};
            return p;
        }
        p += n;
    }
}

constexpr std::string_view markup_compatibility = "http://schemas.openxmlformats.org/markup-compatibility/2006";

constexpr std::string_view cdata_open = "<![CDATA[";

struct named_reference {
    std::string_view name;  // after the '&'
    char value;
};
constexpr named_reference named_references[] = {
    {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''},
};

} // namespace

// One call's worth of parsing: the data in hand, the caller's cursor and handler.
class sxml_parser::reader {
public:
    reader(sxml_parser& owner, const char* part, const char* data, size_t length, xml_node_t*& cursor,
           const handler_t& handler)
        : owner_(owner), arena_(owner.arena_), opts_(owner.options_), part_(part), data_(data),
          end_(data + length), cursor_(cursor), handler_(handler) {}

    bool encoding_start();
    void limit_to_checked_text();
    // Fails on the fault that limited the text, unless a handler stopped first.
    void report_fault();
    // Parses construct after construct; returns the first byte not parsed.
    const char* run();
    // After the document element: white space, comments and processing
    // instructions only. Returns the first byte not parsed.
    const char* epilogue(const char* p);

private:
    // Each returns the position after its construct, or null when the data ends
    // inside it; `out` receives the node to report, if any.
    const char* construct(const char* p, xml_node_t*& out);
    const char* element(const char* p, xml_node_t*& out);
    // What a text holds beside plain characters, which decides how it is decoded.
    enum class text_kind { plain, references, sections };
    const char* close_with_text(xml_node_t* node, const char* b, const char* e, text_kind kind, xml_node_t*& out);
    const char* text_markup_end(const char* lt);
    const char* cdata_close(const char* lt);
    const char* close_tag(const char* p, xml_node_t*& out);
    const char* markup(const char* p, xml_node_t*& out);
    const char* instruction(const char* p, xml_node_t*& out);
    const char* attributes(const char* q, xml_node_t* node);
    const char* end_tag(const char* lt, const xml_node_t* element);

    xml_node_t* new_node(node_kind kind);
    xml_node_t* text_node(node_kind kind, const char* b, const char* e);
    void set_text(xml_node_t* node, const char* b, const char* e, text_kind kind);
    const char* decode(const char* b, const char* e, bool text, bool plain);
    const char* decode_sections(const char* b, const char* e);
    [[gnu::always_inline]] inline void decode_into(char*& o, const char* b, const char* e, bool text);
    const char* finish_text(char* out, char* o, bool trim);
    const char* copy_lines(const char* b, const char* e);
    void check_encoding(const char* b, const char* e);
    const char* reference(const char* amp, const char* e, char*& out);
    void check_prefixes(const xml_node_t* node, const char* at);
    bool declared(const char* name, size_t length) const noexcept;
    void declare(const char* name, size_t length);
    void forget_new_prefixes() noexcept;

    // Namespaces: the bindings in scope, and names renamed to the usual prefixes.
    void bind(std::string_view prefix, const char* uri, const xml_node_t* owner, const char* at);
    // The element's own declarations go out of scope once it is closed.
    void leave_scope(const xml_node_t* element) noexcept {
        if (!owner_.bindings_.empty() && owner_.bindings_.back().owner == element) leave_scope_of(element);
    }
    void leave_scope_of(const xml_node_t* element) noexcept;
    void unbind_to(size_t count) noexcept;
    void enter_scope();
    uint32_t default_namespace() const noexcept;
    void note_default() noexcept;
    uint32_t namespace_of(std::string_view uri);
    uint32_t bound(std::string_view prefix) const noexcept;
    void use_usual_prefixes(xml_node_t* node, size_t name_length);
    const char* renamed(std::string_view prefix, std::string_view local);
    bool names_alike(std::string_view stored, std::string_view written) const noexcept;
    const char* renamed_prefixes(const char* list);

    void link(xml_node_t* node) noexcept;
    xml_node_t* open_element() const noexcept {
        return !cursor_ ? nullptr : cursor_->closed ? cursor_->parent : cursor_;
    }
    bool deliver(xml_node_t* node, const char* at);
    status_t call(const xml_node_t* node, const char* at);
    void release(xml_node_t* node) noexcept;
    std::string position_text(const xml_node_t* node, const char* at);

    [[noreturn]] void fail(std::string_view words, const char* from, const char* at) {
        throw owner_.error_at(data_, at, std::string(words) + excerpt(from, end_));
    }
    [[noreturn]] void fail_message(std::string message, const char* at) {
        throw owner_.error_at(data_, at, std::move(message));
    }

    sxml_parser& owner_;
    sxml_arena& arena_;
    const unsigned opts_;
    const char* const part_;
    const char* const data_;
    const char* end_;
    xml_node_t*& cursor_;
    const handler_t& handler_;
    uint32_t fault_ = 0;  // the forbidden character at end_, ~0 for a byte that is no UTF-8
    bool stopped_ = false;
    bool declares_ = false;  // the element in hand declares a namespace
    bool prefixed_attributes_ = false;
    std::string_view pending_prefix_;
};

// False when the data is too short to tell UTF-16 from UTF-8.
bool sxml_parser::reader::encoding_start() {
    const char* p = data_;
    if (owner_.base_ != 0 || p == end_) return true;
    // UTF-16 shows in its first two bytes: a byte-order mark or a '<' beside a NUL.
    const auto b0 = uint8_t(p[0]);
    if (end_ - p < 2) return !(b0 == 0xFF || b0 == 0xFE || b0 == 0);
    const auto b1 = uint8_t(p[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF) || (b0 == '<' && b1 == 0) || (b0 == 0 && b1 == '<'))
        fail_message("unsupported encoding: UTF-16", p);
    return true;
}

// Parsing goes no further than the text checked so far: a fault is reported
// once everything before it is parsed, so the first fault of the part wins
// whatever the chunks.
void sxml_parser::reader::limit_to_checked_text() {
    const char* from = data_ + (owner_.checked_ - owner_.base_);
    text_fault f;
    end_ = check_text(from, end_, f);
    owner_.checked_ = owner_.base_ + uint64_t(end_ - data_);
    if (f.fault) fault_ = f.code ? f.code : ~0u;
}

void sxml_parser::reader::report_fault() {
    if (!fault_ || stopped_) return;
    const uint64_t offset = owner_.base_ + uint64_t(end_ - data_);
    const std::string where = std::string(part_ ? part_ : "") + " at offset " + std::to_string(offset);
    if (fault_ == ~0u) fail_message("invalid UTF-8 in " + where, end_);
    char code[12];
    std::snprintf(code, sizeof code, "%04X", unsigned(fault_));
    fail_message("character U+" + std::string(code) + " not allowed in " + where, end_);
}

const char* sxml_parser::reader::run() {
    const char* p = data_;
    for (;;) {
        p = skip_space(p, end_);
        if (p == end_) return p;
        if (*p != '<') {
            const char* from = p - data_ > 32 ? p - 32 : data_;
            while (from < p && (uint8_t(*from) & 0xC0) == 0x80) ++from;  // not inside a character
            fail("expected <: ", from, p);
        }

        // A construct either completes or leaves no trace, so that it can be
        // parsed again whole once the caller has fed more data.
        const auto mark = arena_.mark();
        owner_.new_prefixes_.clear();
        xml_node_t* node = nullptr;
        const char* next;
        try {
            next = construct(p, node);
        } catch (...) {
            arena_.rollback(mark);
            forget_new_prefixes();
            owner_.pending_.clear();
            throw;
        }
        if (!next) {
            arena_.rollback(mark);
            forget_new_prefixes();
            if (declares_) owner_.pending_.clear();
            return p;
        }
        p = next;
        if (node && !deliver(node, p)) return p;
    }
}

const char* sxml_parser::reader::epilogue(const char* p) {
    for (;;) {
        p = skip_space(p, end_);
        if (p == end_) return p;
        int m = starts(p, end_, "<!--");
        if (m < 0) return p;
        if (m) {
            const char* close = find(p + 4, end_, "-->");
            if (!close) return p;
            p = close + 3;
            continue;
        }
        m = starts(p, end_, "<?");
        if (m < 0) return p;
        if (m) {
            const char* close = find(p + 2, end_, "?>");
            if (!close) return p;
            const bool declaration = close - p >= 6 && (p[2] | 0x20) == 'x' && (p[3] | 0x20) == 'm' &&
                                     (p[4] | 0x20) == 'l' && has(p[5], c_space);
            if (!declaration) {
                p = close + 2;
                continue;
            }
        }
        fail("junk after document element: ", p, p);
    }
}

const char* sxml_parser::reader::construct(const char* p, xml_node_t*& out) {
    if (p + 1 == end_) return nullptr;
    switch (p[1]) {
    case '!': return markup(p, out);
    case '?': return instruction(p, out);
    case '/': return close_tag(p, out);
    default: return element(p, out);
    }
}

const char* sxml_parser::reader::element(const char* p, xml_node_t*& out) {
    const char* q = p + 1;
    const char* name_end = scan(q, end_, c_name_stop);
    if (name_end == end_) return nullptr;
    if (name_end == q) fail("expected element name: ", q, q);

    xml_node_t* node = new_node(node_kind::element);
    declares_ = prefixed_attributes_ = false;
    const size_t name_length = name_end - q;
    node->name = arena_.copy(q, name_length);
    if (name_length > 1) {
        if (auto* colon = static_cast<const char*>(std::memchr(q + 1, ':', name_length - 1))) {
            node->prefixed = 1;
            node->prefix_length = uint32_t(colon - q);
        }
    }
    q = attributes(skip_space(name_end, end_), node);
    if (!q) return nullptr;
    if ((opts_ & opt_check_prefixes) && (node->prefixed || prefixed_attributes_)) check_prefixes(node, q);
    if (!owner_.usual_.empty() && (node->prefixed || declares_ || prefixed_attributes_ || owner_.default_renamed_))
        use_usual_prefixes(node, name_length);

    if (*q == '/') {
        if (q + 1 == end_) return nullptr;
        if (q[1] != '>') fail("expected >: ", q + 1, q + 1);
        node->closed = 1;
        if (declares_) owner_.pending_.clear();
        link(node);
        out = node;
        return q + 2;
    }
    if (*q != '>') fail("expected > or />: ", q, q);

    // Content: a child (the element is reported open), its end tag, or text and
    // then its end tag (the element is reported once, closed).
    const char* content = q + 1;
    const char* r = skip_space(content, end_);
    if (r == end_) return nullptr;
    if (*r == '<') {
        if (r + 1 == end_) return nullptr;
        if (r[1] == '/')  // White space alone is text too: a blank shared string must survive.
            return close_with_text(node, (opts_ & opt_trim_text) ? r : content, r, text_kind::plain, out);
        // Comments and instructions before the text are part of it; before a
        // child or the end tag, they are constructs of their own.
        const char* s = r;
        while (s != end_ && *s == '<') {
            const char* after = text_markup_end(s);
            if (!after) return nullptr;
            if (after == s || (s[1] == '!' && s[2] == '[')) break;
            s = skip_space(after, end_);
        }
        if (s == end_) return nullptr;
        if (*s == '<') {
            const int m = s[1] == '!' ? starts(s, end_, cdata_open) : 0;
            if (m < 0) return nullptr;
            if (m == 0) {
                if (declares_) enter_scope();
                link(node);
                out = node;
                return r;
            }
        }
    }

    // Character data, CDATA sections, comments and instructions up to the end tag.
    text_kind kind = text_kind::plain;
    const char* text_end = r;
    for (;;) {
        text_end = scan(text_end, end_, kind == text_kind::plain ? c_text_stop : c_lt_stop);
        if (text_end == end_) return nullptr;
        if (*text_end == '&') {
            if (kind == text_kind::plain) kind = text_kind::references;
            continue;
        }
        if (*text_end == '\0') fail("unexpected end of data: {}", text_end, text_end);
        const char* after = text_markup_end(text_end);
        if (!after) return nullptr;
        if (after == text_end) break;
        kind = text_kind::sections;
        text_end = after;
    }
    if (text_end[1] != '/') fail("invalid closing tag name: ", text_end, text_end);
    return close_with_text(node, (opts_ & opt_trim_text) ? r : content, text_end, kind, out);
}

// The end of the CDATA section, comment or instruction at `lt` inside a text:
// `lt` when none starts there, null when the data ends first. Comments and
// instructions the handler is to see as nodes end the text.
const char* sxml_parser::reader::text_markup_end(const char* lt) {
    if (lt + 1 == end_) return nullptr;
    const bool skipped = !(opts_ & (opt_comment_nodes | opt_pi_nodes));
    if (lt[1] == '?') {
        if (!skipped) return lt;
        const char* close = find(lt + 2, end_, "?>");
        return close ? close + 2 : nullptr;
    }
    if (lt[1] != '!') return lt;
    int m = starts(lt, end_, cdata_open);
    if (m < 0) return nullptr;
    if (m) {
        const char* close = cdata_close(lt);
        return close ? close + 3 : nullptr;
    }
    m = skipped ? starts(lt, end_, "<!--") : 0;
    if (m <= 0) return m < 0 ? nullptr : lt;
    const char* close = find(lt + 4, end_, "-->");
    return close ? close + 3 : nullptr;
}

// The "]]>" that ends the CDATA section at `lt`; null when the data ends first.
const char* sxml_parser::reader::cdata_close(const char* lt) {
    const char* body = lt + cdata_open.size();
    const char* close = find(body, end_, "]]>");
    if (!close) return nullptr;
    if (auto* nul = static_cast<const char*>(std::memchr(body, '\0', close - body)))
        fail("unexpected end of data: {}", nul, nul);
    return close;
}

// The element whose text [b, e) runs up to its end tag at e.
const char* sxml_parser::reader::close_with_text(xml_node_t* node, const char* b, const char* e, text_kind kind,
                                                 xml_node_t*& out) {
    const char* after = end_tag(e, node);
    if (!after) return nullptr;
    set_text(node, b, e, kind);
    node->closed = 1;
    if (declares_) owner_.pending_.clear();
    link(node);
    out = node;
    return after;
}

const char* sxml_parser::reader::attributes(const char* q, xml_node_t* node) {
    xml_attribute_t** tail = &node->attributes;
    while (q < end_ && !has(*q, c_attr_stop)) {
        const char* name = q;
        const char* name_end = scan(q, end_, c_attr_stop);
        if (name_end == end_) return nullptr;
        q = skip_space(name_end, end_);
        if (q == end_) return nullptr;
        if (*q != '=') fail("expected =: ", q, q);
        q = skip_space(q + 1, end_);
        if (q == end_) return nullptr;
        const char quote = *q;
        if (quote != '"' && quote != '\'') fail("expected ' or \": ", q, q);

        const char* value = q + 1;
        const char* value_end = scan(value, end_, quote == '"' ? c_dq_stop : c_sq_stop);
        const bool plain = value_end == end_ || *value_end != '&';
        if (!plain)
            while (value_end < end_ && *value_end != quote && *value_end != '\0') ++value_end;
        if (value_end == end_) return nullptr;
        if (*value_end != quote) fail("expected ' or \": ", value_end, value_end);

        auto* attribute = static_cast<xml_attribute_t*>(arena_.allocate(sizeof(xml_attribute_t)));
        const size_t name_length = name_end - name;
        *attribute = xml_attribute_t{0, arena_.copy(name, name_length), nullptr, nullptr};
        attribute->value = decode(value, value_end, false, plain);
        if (name_length > 1) {
            if (auto* colon = static_cast<const char*>(std::memchr(name + 1, ':', name_length - 1))) {
                const std::string_view qualified(name, name_length);
                if (qualified.starts_with("xmlns:")) {
                    declare(name + 6, name_length - 6);
                    if (name_length > 6) bind(qualified.substr(6), attribute->value, node, name);
                } else if (!qualified.starts_with("xml:")) {
                    attribute->prefix_length = uint32_t(colon - name);
                    prefixed_attributes_ = true;
                }
            }
        }
        if (name_length == 5 && std::memcmp(name, "xmlns", 5) == 0) bind({}, attribute->value, node, name);
        *tail = attribute;
        tail = &attribute->next;
        q = skip_space(value_end + 1, end_);
    }
    return q == end_ ? nullptr : q;
}

// The end tag at `lt` ("</", a name, white space, ">") of `element`.
const char* sxml_parser::reader::end_tag(const char* lt, const xml_node_t* element) {
    const char* name = lt + 2;
    const char* name_end = scan(name, end_, c_name_stop);
    if (name_end == end_) return nullptr;
    const char* gt = skip_space(name_end, end_);
    if (gt == end_) return nullptr;
    const size_t length = name_end - name;
    // strncmp stops at the stored name's NUL, so its byte at `length` is readable.
    const bool same = !(opts_ & opt_check_end_names) ||
                      (element && ((std::strncmp(element->name, name, length) == 0 && element->name[length] == '\0') ||
                                   names_alike(element->name, std::string_view(name, length))));
    if (*gt != '>' || !element || !same) fail("end tag mismatch: ", lt + 1, lt + 1);
    return gt + 1;
}

const char* sxml_parser::reader::close_tag(const char* p, xml_node_t*& out) {
    xml_node_t* element = open_element();
    const char* after = end_tag(p, element);
    if (!after) return nullptr;
    element->closed = 1;
    leave_scope(element);
    cursor_ = element;
    out = element;
    return after;
}

// "<!": a comment, a CDATA section, a document type, or anything else up to '>'.
const char* sxml_parser::reader::markup(const char* p, xml_node_t*& out) {
    int m = starts(p, end_, "<!--");
    if (m < 0) return nullptr;
    if (m) {
        const char* close = find(p + 4, end_, "-->");
        if (!close) return nullptr;
        if (opts_ & opt_comment_nodes) out = text_node(node_kind::comment, p + 4, close);
        return close + 3;
    }
    m = starts(p, end_, cdata_open);
    if (m < 0) return nullptr;
    if (m) {
        const char* close = cdata_close(p);
        if (!close) return nullptr;
        if (!(opts_ & opt_no_data_nodes)) out = text_node(node_kind::cdata, p + 9, close);
        return close + 3;
    }
    m = starts(p, end_, "<!DOCTYPE");
    if (m < 0 || (m > 0 && p + 9 == end_)) return nullptr;
    if (m && has(p[9], c_space)) {
        const char* body = skip_space(p + 9, end_);
        int depth = 0;
        const char* q = body;
        for (; q < end_; ++q) {
            if (*q == '[')
                ++depth;
            else if (*q == ']')
                depth -= depth > 0;
            else if (*q == '>' && depth == 0)
                break;
            else if (*q == '\0')
                fail("unexpected end of data: {}", q, q);
        }
        if (q == end_) return nullptr;
        if (opts_ & opt_doctype_nodes) out = text_node(node_kind::doctype, body, q);
        return q + 1;
    }
    auto* close = static_cast<const char*>(std::memchr(p + 2, '>', end_ - (p + 2)));
    return close ? close + 1 : nullptr;
}

// "<?": the XML declaration or a processing instruction.
const char* sxml_parser::reader::instruction(const char* p, xml_node_t*& out) {
    const char* close = find(p + 2, end_, "?>");
    if (!close) return nullptr;
    const bool declaration = close - p >= 6 && (p[2] | 0x20) == 'x' && (p[3] | 0x20) == 'm' &&
                             (p[4] | 0x20) == 'l' && has(p[5], c_space);
    if (declaration) {
        check_encoding(p + 5, close);
        if (!(opts_ & opt_declaration_nodes)) {
            if (auto* nul = static_cast<const char*>(std::memchr(p, '\0', close - p)))
                fail("unexpected end of data: {}", nul, nul);
            return close + 2;
        }
        xml_node_t* node = new_node(node_kind::declaration);
        node->parent = open_element();
        const char* q = attributes(skip_space(p + 5, end_), node);
        if (!q) return nullptr;
        if (*q == '?' && q + 1 == end_) return nullptr;
        if (*q != '?' || q[1] != '>') fail("expected \"?>\": {}", q, q);
        out = node;
        return q + 2;
    }
    if (!(opts_ & opt_pi_nodes)) return close + 2;
    const char* target = p + 2;
    const char* target_end = scan(target, close, c_name_stop);
    if (target_end == target) fail("expected PI target: ", target, target);
    xml_node_t* node = text_node(node_kind::processing_instruction, skip_space(target_end, close), close);
    node->name = arena_.copy(target, target_end - target);
    out = node;
    return close + 2;
}

xml_node_t* sxml_parser::reader::new_node(node_kind kind) {
    auto* node = static_cast<xml_node_t*>(arena_.allocate(sizeof(xml_node_t)));
    *node = xml_node_t{};
    node->kind = kind;
    node->status = status_t::keep;
    node->closed = kind == node_kind::element ? 0 : 1;
    return node;
}

xml_node_t* sxml_parser::reader::text_node(node_kind kind, const char* b, const char* e) {
    xml_node_t* node = new_node(kind);
    node->text = copy_lines(b, e);
    node->parent = open_element();
    return node;
}

// Line ends read as one LF, as in every text of the document.
const char* sxml_parser::reader::copy_lines(const char* b, const char* e) {
    if (!std::memchr(b, '\r', e - b)) return arena_.copy(b, e - b);
    char* const out = arena_.begin_string(e - b);
    char* o = out;
    for (const char* s = b; s < e; ++s) {
        *o++ = *s == '\r' ? '\n' : *s;
        if (*s == '\r' && s + 1 < e && s[1] == '\n') ++s;
    }
    *o = '\0';
    arena_.end_string(o + 1);
    return out;
}

// Bytes are taken as UTF-8: a part that says it is in anything else is refused
// rather than read as the wrong characters.
void sxml_parser::reader::check_encoding(const char* b, const char* e) {
    const char* at = find(b, e, "encoding");
    if (!at) return;
    const char* q = skip_space(at + 8, e);
    if (q == e || *q != '=') return;
    q = skip_space(q + 1, e);
    if (q == e || (*q != '"' && *q != '\'')) return;
    const char* value = q + 1;
    const auto* close = static_cast<const char*>(std::memchr(value, *q, e - value));
    if (!close) return;
    const std::string_view name(value, close - value);
    if (name.size() == 5 && (name[0] | 0x20) == 'u' && (name[1] | 0x20) == 't' && (name[2] | 0x20) == 'f' &&
        name[3] == '-' && name[4] == '8')
        return;
    fail_message("unsupported encoding: " + excerpt(name), value);
}

void sxml_parser::reader::set_text(xml_node_t* node, const char* b, const char* e, text_kind kind) {
    const bool store = !(opts_ & opt_no_element_text);
    const bool data_node = !(opts_ & opt_no_data_nodes);
    if (b == e || (!store && !data_node)) return;
    const char* text = kind == text_kind::sections ? decode_sections(b, e) : decode(b, e, true, kind == text_kind::plain);
    if (!text) return;
    if (store) node->text = text;
    if (data_node) {
        xml_node_t* data = new_node(node_kind::data);
        data->text = text;
        data->parent = node;
        node->first_child = data;
    }
}

// A NUL-terminated copy of [b, e) with its references decoded; null when white
// space trimming leaves nothing of a text.
const char* sxml_parser::reader::decode(const char* b, const char* e, bool text, bool plain) {
    const bool entities = !(opts_ & opt_no_entities);
    const bool normalize = text && (opts_ & opt_normalize_text);
    const bool trim = text && (opts_ & opt_trim_text);
    // Line ends read as LF, and in a value every TAB, LF and CR as a blank.
    const bool lines = text ? std::memchr(b, '\r', e - b) != nullptr : scan(b, e, c_line_space) != e;
    if ((plain || !entities) && !normalize && !trim && !lines) return arena_.copy(b, e - b);

    // Decoding never lengthens: a reference is longer than the bytes it stands for.
    char* const out = arena_.begin_string(e - b);
    char* o = out;
    decode_into(o, b, e, text);
    return finish_text(out, o, trim);
}

// A text of character data, CDATA sections, comments and instructions: the
// sections are taken as they are, but for their line ends; the others add nothing.
const char* sxml_parser::reader::decode_sections(const char* b, const char* e) {
    char* const out = arena_.begin_string(e - b);
    char* o = out;
    for (const char* s = b; s < e;) {
        const char* lt = static_cast<const char*>(std::memchr(s, '<', size_t(e - s)));
        if (!lt) lt = e;
        decode_into(o, s, lt, true);
        if (lt == e) break;
        if (lt[1] == '?' || lt[2] == '-') {
            s = lt[1] == '?' ? find(lt + 2, e, "?>") + 2 : find(lt + 4, e, "-->") + 3;
            continue;
        }
        const char* body = lt + cdata_open.size();
        const char* close = find(body, e, "]]>");
        for (const char* c = body; c < close; ++c) {
            *o++ = *c == '\r' ? '\n' : *c;
            if (*c == '\r' && c + 1 < close && c[1] == '\n') ++c;
        }
        s = close + 3;
    }
    return finish_text(out, o, (opts_ & opt_trim_text) != 0);
}

const char* sxml_parser::reader::finish_text(char* out, char* o, bool trim) {
    if (trim)
        while (o > out && o[-1] == ' ') --o;
    if (o == out && trim) {
        arena_.end_string(out);
        return nullptr;
    }
    *o = '\0';
    arena_.end_string(o + 1);
    return out;
}

inline void sxml_parser::reader::decode_into(char*& o, const char* b, const char* e, bool text) {
    const bool entities = !(opts_ & opt_no_entities);
    const bool normalize = text && (opts_ & opt_normalize_text);
    for (const char* s = b; s < e;) {
        const char c = *s;
        if (c == '&' && entities) {
            s = reference(s, e, o);
        } else if (normalize && has(c, c_space)) {
            *o++ = ' ';
            s = skip_space(s, e);
        } else if (c == '\r' || (!text && has(c, c_line_space))) {
            *o++ = text ? '\n' : ' ';
            s += c == '\r' && s + 1 < e && s[1] == '\n' ? 2 : 1;
        } else {
            *o++ = c;
            ++s;
        }
    }
}

// Decodes the reference at `amp` into `out`; returns the byte after it. An '&'
// that starts no known reference is an ordinary byte.
const char* sxml_parser::reader::reference(const char* amp, const char* e, char*& out) {
    const char* s = amp + 1;
    if (s < e && *s == '#') {
        ++s;
        const bool hex = s < e && *s == 'x';
        if (hex) ++s;
        const char* digits = s;
        uint32_t code = 0;
        for (int v; s < e && (v = digit_value(*s, hex)) >= 0; ++s) {
            code = code * (hex ? 16 : 10) + uint32_t(v);
            if (code > 0x10FFFF) fail("invalid numeric character entity: {}", amp, amp);
        }
        // No digits, a NUL, a control, a surrogate, U+FFFE, U+FFFF: nothing a text may hold.
        const bool byte_mode = opts_ & opt_reference_byte;
        const bool forbidden = (code < 0x20 && !allowed_control(uint8_t(code))) || code == 0 ||
                               (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF;
        if (s == digits || (byte_mode ? (code & 0xFF) == 0 : forbidden))
            fail("invalid numeric character entity: {}", amp, amp);
        if (s == e || *s != ';') fail("expected ';': {}", s, s);
        if (byte_mode)
            *out++ = char(code & 0xFF);
        else
            out = utf8::unchecked::append(code, out);
        return s + 1;
    }
    for (const auto& r : named_references) {
        if (size_t(e - s) >= r.name.size() && std::memcmp(s, r.name.data(), r.name.size()) == 0) {
            *out++ = r.value;
            return s + r.name.size();
        }
    }
    *out++ = '&';
    return s;
}

// Attributes first, then the element: an element may declare its own prefix.
void sxml_parser::reader::check_prefixes(const xml_node_t* node, const char* at) {
    for (const xml_attribute_t* a = node->attributes; a; a = a->next)
        if (a->prefix_length && !declared(a->name, a->prefix_length))
            fail_message("invalid namespace prefix in attribute: " + excerpt(a->name), at);
    if (node->prefixed && std::strncmp(node->name, "xml:", 4) != 0 && !declared(node->name, node->prefix_length))
        fail("invalid namespace prefix in element: ", at, at);
}

bool sxml_parser::reader::declared(const char* name, size_t length) const noexcept {
    const std::string_view prefix(name, length);
    return bound(prefix) != unbound || owner_.prefixes_.contains(prefix);
}

void sxml_parser::reader::declare(const char* name, size_t length) {
    if (declared(name, length)) return;
    owner_.prefixes_.emplace(name, length);
    owner_.new_prefixes_.emplace_back(name, length);
}

void sxml_parser::reader::forget_new_prefixes() noexcept {
    for (const auto& p : owner_.new_prefixes_) owner_.prefixes_.erase(p);
}

// ---- namespaces

// An end tag as written names its element as renamed: the element's own
// declarations are still in scope.
bool sxml_parser::reader::names_alike(std::string_view stored, std::string_view written) const noexcept {
    if (owner_.usual_.empty()) return false;
    const size_t colon = written.size() > 1 ? written.find(':', 1) : std::string_view::npos;
    const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : written.substr(0, colon);
    const std::string_view local = colon == std::string_view::npos ? written : written.substr(colon + 1);
    const uint32_t ns = colon == std::string_view::npos ? default_namespace() : bound(prefix);
    const std::string_view usual = ns < owner_.namespaces_.size() ? std::string_view(owner_.namespaces_[ns].prefix) : prefix;
    if (usual.empty()) return stored == local;
    return stored.size() == usual.size() + 1 + local.size() && stored.starts_with(usual) &&
           stored[usual.size()] == ':' && stored.ends_with(local);
}


void sxml_parser::reader::bind(std::string_view prefix, const char* uri, const xml_node_t* owner, const char* at) {
    if (owner_.usual_.empty() || owner->kind == node_kind::declaration) return;
    // Each prefixed name looks its prefix up among these.
    if (owner_.pending_.size() + owner_.bindings_.size() >= max_bindings)
        fail_message("more than " + std::to_string(max_bindings) + " namespace declarations in scope", at);
    pending_prefix_ = prefix;
    owner_.pending_.push_back({std::string(prefix), namespace_of(uri), owner});
    declares_ = true;
}

// An open element's declarations hold until its end tag.
void sxml_parser::reader::enter_scope() {
    auto& p = owner_.pending_;
    owner_.default_ns_ = default_namespace();
    owner_.bindings_.insert(owner_.bindings_.end(), std::make_move_iterator(p.begin()), std::make_move_iterator(p.end()));
    p.clear();
    note_default();
}

void sxml_parser::reader::leave_scope_of(const xml_node_t* element) noexcept {
    auto& b = owner_.bindings_;
    size_t n = b.size();
    while (n > 0 && b[n - 1].owner == element) --n;
    unbind_to(n);
}

void sxml_parser::reader::unbind_to(size_t count) noexcept {
    auto& b = owner_.bindings_;
    if (count >= b.size()) return;
    b.resize(count);
    owner_.default_ns_ = no_namespace;
    for (size_t i = b.size(); i > 0; --i)
        if (b[i - 1].prefix.empty()) {
            owner_.default_ns_ = b[i - 1].ns;
            break;
        }
    note_default();
}

void sxml_parser::reader::note_default() noexcept {
    const uint32_t ns = owner_.default_ns_;
    owner_.default_renamed_ = ns < owner_.namespaces_.size() && !owner_.namespaces_[ns].prefix.empty();
}

// The element in hand's own declarations first, then those in scope.
uint32_t sxml_parser::reader::bound(std::string_view prefix) const noexcept {
    for (const auto* list : {&owner_.pending_, &owner_.bindings_})
        for (size_t i = list->size(); i > 0; --i)
            if ((*list)[i - 1].prefix == prefix) return (*list)[i - 1].ns;
    return unbound;
}

uint32_t sxml_parser::reader::default_namespace() const noexcept {
    if (owner_.pending_.empty()) return owner_.default_ns_;
    const uint32_t ns = bound({});
    return ns == unbound ? no_namespace : ns;
}

// A namespace takes its usual prefix; one that has none keeps the prefix the
// part gave it, unless that prefix is another namespace's usual one.
uint32_t sxml_parser::reader::namespace_of(std::string_view uri) {
    if (uri.empty()) return no_namespace;
    auto& all = owner_.namespaces_;
    if (auto known = owner_.namespace_index_.find(uri); known != owner_.namespace_index_.end()) return known->second;
    std::string prefix;
    bool usual = false;
    for (const auto& u : owner_.usual_)
        if (u.uri == uri) {
            prefix = u.prefix;
            usual = true;
            break;
        }
    if (!usual) {
        // The prefix being bound is the last binding's, pushed just after this.
        prefix = pending_prefix_;
        const auto taken = [&](std::string_view p) {
            if (p.empty()) return false;
            for (const auto& u : owner_.usual_)
                if (u.prefix == p) return true;
            return owner_.given_prefixes_.contains(p);
        };
        for (size_t i = all.size(); taken(prefix); ++i) prefix = "ns" + std::to_string(i);
    }
    owner_.given_prefixes_.emplace(prefix);
    all.push_back({std::string(uri), std::move(prefix)});
    owner_.namespace_index_.emplace(all.back().uri, uint32_t(all.size() - 1));
    return uint32_t(all.size() - 1);
}

const char* sxml_parser::reader::renamed(std::string_view prefix, std::string_view local) {
    const size_t n = prefix.size() + (prefix.empty() ? 0 : 1) + local.size();
    char* const out = arena_.begin_string(n);
    char* o = out;
    if (!prefix.empty()) {
        std::memcpy(o, prefix.data(), prefix.size());
        o += prefix.size();
        *o++ = ':';
    }
    std::memcpy(o, local.data(), local.size());
    o[local.size()] = '\0';
    arena_.end_string(o + local.size() + 1);
    return out;
}

// A list of prefixes (markup compatibility's Ignorable) names them as renamed.
const char* sxml_parser::reader::renamed_prefixes(const char* list) {
    std::string out;
    bool changed = false;
    for (const char* p = list; *p;) {
        const char* b = p;
        while (*b && has(*b, c_space)) ++b;
        const char* e = b;
        while (*e && !has(*e, c_space)) ++e;
        out.append(p, b);
        const std::string_view prefix(b, e - b);
        const uint32_t ns = prefix.empty() ? unbound : bound(prefix);
        if (ns < owner_.namespaces_.size() && owner_.namespaces_[ns].prefix != prefix) {
            out += owner_.namespaces_[ns].prefix;
            changed = true;
        } else {
            out += prefix;
        }
        p = e;
    }
    return changed ? arena_.copy(out.data(), out.size()) : list;
}

// Names, and the declarations that bind them, with the usual prefixes, so a
// reader compares one spelling and a kept tree written back stays bound.
void sxml_parser::reader::use_usual_prefixes(xml_node_t* node, size_t name_length) {
    const auto& all = owner_.namespaces_;
    const std::string_view name(node->name, name_length);
    const std::string_view written = name.substr(0, node->prefixed ? node->prefix_length : 0);
    const uint32_t ns = node->prefixed ? bound(written) : default_namespace();
    if (ns < all.size() && all[ns].prefix != written) {
        const std::string_view local = name.substr(node->prefixed ? written.size() + 1 : 0);
        node->name = renamed(all[ns].prefix, local);
        node->prefixed = !all[ns].prefix.empty();
        node->prefix_length = uint32_t(all[ns].prefix.size());
    }
    std::vector<const xml_attribute_t*> declarations;
    xml_attribute_t** link = &node->attributes;
    while (xml_attribute_t* a = *link) {
        if (!a->prefix_length && !declares_) {
            link = &a->next;
            continue;
        }
        const std::string_view aname(a->name);
        if (a->prefix_length) {
            const std::string_view p = aname.substr(0, a->prefix_length);
            const uint32_t ans = bound(p);
            if (ans < all.size() && all[ans].prefix != p) {
                a->name = renamed(all[ans].prefix, aname.substr(p.size() + 1));
                a->prefix_length = uint32_t(all[ans].prefix.size());
            }
            if (ans < all.size() && all[ans].uri == markup_compatibility) {
                const std::string_view local = aname.substr(p.size() + 1);
                if (local == "Ignorable" || local == "MustUnderstand") a->value = renamed_prefixes(a->value);
            }
        } else if (declares_ && aname.starts_with("xmlns") && (aname.size() == 5 || aname[5] == ':')) {
            const std::string_view p = aname.size() == 5 ? std::string_view() : aname.substr(6);
            const uint32_t dns = namespace_of(a->value);
            if (dns < all.size() && all[dns].prefix != p) {
                const std::string& usual = all[dns].prefix;
                a->name = usual.empty() ? renamed({}, "xmlns") : renamed("xmlns", usual);
            }
            // Two prefixes the part gave one namespace now read alike: one declaration.
            bool twice = false;
            for (const xml_attribute_t* e : declarations)
                if ((twice = std::strcmp(e->name, a->name) == 0 && std::strcmp(e->value, a->value) == 0)) break;
            if (twice) {
                *link = a->next;
                continue;
            }
            declarations.push_back(a);
        }
        link = &a->next;
    }
}

void sxml_parser::reader::link(xml_node_t* node) noexcept {
    if (!cursor_) {
        node->kind = node_kind::document_element;
    } else if (!cursor_->closed) {
        node->parent = cursor_;
        cursor_->first_child = node;
    } else {
        node->parent = cursor_->parent;
        cursor_->next_sibling = node;
        node->prev_sibling = cursor_;
    }
    cursor_ = node;
}

// Hands the node to the handler and acts on the answer; false ends the call.
bool sxml_parser::reader::deliver(xml_node_t* node, const char* at) {
    const status_t status = handler_ ? call(node, at) : status_t::keep;
    node->status = status;
    const bool document_closed = node->kind == node_kind::document_element && node->closed;
    switch (status) {
    case status_t::done:
        if (!is_element(*node))
            arena_.rollback(node);
        else if (node->closed)
            release(node);
        break;
    case status_t::error: {
        const xml_node_t* element = is_element(*node) ? node : node->parent;
        fail_message("An error occurred while assigning node: " + excerpt(element ? element->name : ""), at);
    }
    default: break;
    }
    if (document_closed) owner_.finished_ = true;
    if (status == status_t::stop) stopped_ = true;
    return status != status_t::stop && !document_closed;
}

status_t sxml_parser::reader::call(const xml_node_t* node, const char* at) {
    try {
        return handler_(node);
    } catch (const std::exception& e) {
        fail_message(std::string(e.what()) + " ---at: " + position_text(node, at), at);
    } catch (...) {
        fail_message(position_text(node, at) + "unknown error.", at);
    }
}

// A closed node the handler is done with leaves the tree, and its memory goes
// back at once: everything made after it is its own (strings, attributes,
// descendants).
void sxml_parser::reader::release(xml_node_t* node) noexcept {
    if (node->kind == node_kind::document_element) {
        arena_.clear();
        cursor_ = nullptr;
        return;
    }
    if (node->prev_sibling) {
        node->prev_sibling->next_sibling = nullptr;
        cursor_ = node->prev_sibling;
    } else {
        if (node->parent) node->parent->first_child = nullptr;
        cursor_ = node->parent;
    }
    arena_.rollback(node);
}

std::string sxml_parser::reader::position_text(const xml_node_t* node, const char* at) {
    const auto [line, column] = owner_.locate(data_, at);
    std::string text = part_ ? part_ : "";
    text += " line " + std::to_string(line) + ", column " + std::to_string(column) + " <";
    if (const xml_node_t* element = is_element(*node) ? node : node->parent) {
        const size_t start = text.size();
        text += excerpt(element->name);
        for (const xml_attribute_t* a = element->attributes; a; a = a->next) {
            if (text.size() - start > 4 * excerpt_bytes) {
                text += " ...";
                break;
            }
            text += ' ';
            text += excerpt(a->name);
            text += "=\"";
            text += excerpt(a->value);
            text += '"';
        }
    }
    text += ">: ";
    return text;
}

// ---------------------------------------------------------------------------

sxml_parser::sxml_parser(unsigned options) : options_(options) {}

void sxml_parser::reset() {
    arena_.clear();
    prefixes_.clear();
    new_prefixes_.clear();
    lines_ = line_counter{};
    namespaces_.clear();
    namespace_index_.clear();
    given_prefixes_.clear();
    bindings_.clear();
    pending_.clear();
    default_ns_ = no_namespace;
    default_renamed_ = false;
    base_ = 0;
    checked_ = 0;
    finished_ = false;
}

void sxml_parser::parse(const char* part_name, const char* data, size_t length, size_t& tail, xml_node_t*& cursor,
                        handler_t handler) {
    if (!data) {
        const bool open = cursor && (!cursor->closed || cursor->parent);
        const auto column = lines_.counted - lines_.line_start + 1;
        if (tail != 0 || (!finished_ && open)) throw parsing_error(lines_.line, column, "incomplete xml text: ");
        if (!finished_) throw parsing_error(lines_.line, column, "no element found");
        return;
    }
    reader r(*this, part_name, data, length, cursor, handler);
    if (!r.encoding_start()) {
        tail = length;
        return;
    }
    r.limit_to_checked_text();
    const char* stop = finished_ ? data : r.run();
    if (finished_) stop = r.epilogue(stop);
    r.report_fault();
    count_lines(data, stop);
    base_ += stop - data;
    tail = size_t(data + length - stop);
}

void sxml_parser::count_lines(const char* data, const char* to) noexcept {
    const char* from = data + (lines_.counted - base_);
    if (to <= from) return;
    const char* line_start = nullptr;
    for (const char* q = from; q < to; ++q) {
        q = static_cast<const char*>(std::memchr(q, '\n', to - q));
        if (!q) break;
        if (!(q == from ? lines_.after_cr : q[-1] == '\r')) ++lines_.line;
        line_start = q + 1;
    }
    for (const char* q = from; q < to; ++q) {
        q = static_cast<const char*>(std::memchr(q, '\r', to - q));
        if (!q) break;
        ++lines_.line;
        if (!line_start || q + 1 > line_start) line_start = q + 1;
    }
    if (line_start) lines_.line_start = base_ + (line_start - data);
    lines_.after_cr = to[-1] == '\r';
    lines_.counted = base_ + (to - data);
}

sxml_parser::position_t sxml_parser::locate(const char* data, const char* at) noexcept {
    count_lines(data, at);
    return {lines_.line, base_ + (at - data) - lines_.line_start + 1};
}

parsing_error sxml_parser::error_at(const char* data, const char* at, std::string message) {
    const auto [line, column] = locate(data, at);
    return parsing_error(line, column, std::move(message));
}

} // namespace vex::xml::sxml

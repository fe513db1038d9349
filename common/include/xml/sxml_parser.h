#pragma once
// The streaming XML pull parser that every package part is read through.
//
// It is fed a part in chunks and never holds the whole part. Each call parses the
// complete constructs of the data it is given and hands back the length of the
// incomplete tail, which the caller puts in front of the next bytes of the part.
// A construct is never split into events: a start tag is reported once it and the
// first byte of its content are in hand, an element holding only text once its
// end tag is, so the events are the same whatever the chunk boundaries. There is
// no size limit on a construct: when a call completes nothing, the whole data
// comes back as the tail and the caller grows its buffer and feeds more. Each call
// parses the construct in hand from its start again, so the caller doubles its
// buffer: growing it by a fixed step makes a long construct cost quadratic time.
//
// Each node goes to the handler the moment it is parsed; the handler's answer
// lets the parser free the node when it closes (`done`) or keeps it linked
// (`keep`), so a long part streams through in memory bounded by the depth of its
// open elements, and a part that keeps every node ends with its whole tree.
//
// Not a general XML processor: no document type processing, no external
// entities, only the five predefined entities and numeric character references,
// and no mixed content (text followed by a child element fails).

#include "errors.h"
#include "xml/sxml_arena.h"
#include "xml/sxml_node.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vex::xml::sxml {

// Option bits given to the constructor.
enum : unsigned {
    opt_no_data_nodes = 0x1,      // no data nodes; CDATA sections are skipped
    opt_no_element_text = 0x2,    // do not store an element's text in the element
    opt_no_entities = 0x4,        // '&' is copied unchanged
    opt_reference_byte = 0x8,     // a numeric reference gives one byte (its value mod 256)
    opt_declaration_nodes = 0x10,
    opt_comment_nodes = 0x20,
    opt_doctype_nodes = 0x40,
    opt_pi_nodes = 0x80,
    opt_check_prefixes = 0x100,   // namespace prefixes must have been declared in the part
    opt_check_end_names = 0x200,  // an end tag must name the element it closes
    opt_trim_text = 0x400,        // drop leading white space and trailing spaces of a text
    opt_normalize_text = 0x800,   // each white-space run of a text becomes one space
};
// What the package loader reads parts with: elements only, checked names.
constexpr unsigned load_options = opt_no_data_nodes | opt_check_prefixes | opt_check_end_names;

class sxml_parser {
public:
    using handler_t = std::function<status_t(const xml_node_t*)>;

    explicit sxml_parser(unsigned options);
    ~sxml_parser() = default;
    sxml_parser(const sxml_parser&) = delete;
    sxml_parser& operator=(const sxml_parser&) = delete;

    // Forgets the part in hand: nodes, declared prefixes, line count.
    void reset();

    // Parses data[0, length) of part `part_name` (used in messages only) and sets
    // `tail` to the number of bytes at the end left unparsed. `cursor` is null at
    // the start of a part and carries the current node between calls; at the end
    // it is the closed document element when that was kept, else null.
    //
    // A handler answering `stop` ends the call after that node; the bytes after it
    // come back as the tail. Once the document element has closed, only white
    // space, comments and processing instructions may follow ("junk after
    // document element: ").
    //
    // Null data ends the part: it fails with "incomplete xml text: " when `tail`
    // is not 0 or an element is still open, and with "no element found" when
    // the part held no element.
    //
    // Text is read as UTF-8: a part declaring another encoding, UTF-16 included,
    // fails with "unsupported encoding: " and its name, and bytes that are no
    // UTF-8 or a character XML forbids fail naming the part and the offset, once
    // what comes before them is parsed (so whatever the chunks). Line ends (CR
    // LF, lone CR) read as LF; in attribute values TAB, LF and CR read as a
    // blank. Character references stay what they name. CDATA sections in an
    // element's text are text; comments and instructions there add nothing,
    // unless they are asked for as nodes (the loader converts a UTF-16 part
    // before it comes here). Messages quote at most about 64 bytes of data.
    void parse(const char* part_name, const char* data, size_t length, size_t& tail, xml_node_t*& cursor,
               handler_t handler);

    // Hands over every node made since reset() (the chain a kept tree lives in);
    // release it with free_nodes().
    sxml_arena::chunk* detach_nodes() noexcept { return arena_.detach(); }
    static void free_nodes(sxml_arena::chunk* chain) noexcept { sxml_arena::release(chain); }

    unsigned options() const noexcept { return options_; }

    // A namespace and the prefix its names are known by ("" for none).
    struct usual_prefix_t {
        std::string_view uri;
        std::string_view prefix;
    };
    // From then on, names in the listed namespaces reach the handler with the
    // listed prefix, whatever prefix the part binds, and the declarations are
    // renamed alike so that a kept tree written back binds what it uses. A
    // namespace not listed keeps the part's prefix, unless that is a listed
    // one's or was given to another namespace of the part ("nsN" then), so
    // that one prefix never stands for two namespaces. Without a list, every
    // name stays as written. The list must outlive the parser.
    void set_usual_prefixes(std::span<const usual_prefix_t> list) noexcept { usual_ = list; }

private:
    class reader;

    // Lines end at LF, CRLF or a lone CR. Counted lazily: only messages need them.
    struct line_counter {
        uint64_t line = 1;
        uint64_t line_start = 0;  // offset in the part of the current line's first byte
        uint64_t counted = 0;     // offset in the part up to which lines are counted
        bool after_cr = false;    // the byte before `counted` is a CR
    };
    struct position_t {
        uint64_t line;
        uint64_t column;
    };
    // Counts the lines of the chunk in hand (at part offset `base_`) up to `to`.
    void count_lines(const char* data, const char* to) noexcept;
    position_t locate(const char* data, const char* at) noexcept;
    parsing_error error_at(const char* data, const char* at, std::string message);

    unsigned options_;
    sxml_arena arena_;
    struct prefix_hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    // Declared namespace prefixes; a declaration has no scope. Hashed: a part
    // may declare any number of them.
    std::unordered_set<std::string, prefix_hash, std::equal_to<>> prefixes_;
    std::vector<std::string> new_prefixes_;  // declared by the construct in hand
    static constexpr uint32_t no_namespace = UINT32_MAX;
    static constexpr uint32_t unbound = UINT32_MAX - 1;
    struct namespace_t {
        std::string uri;
        std::string prefix;  // the one its names are given
    };
    struct binding_t {
        std::string prefix;       // as the part wrote it
        uint32_t ns;              // index in namespaces_, or no_namespace
        const xml_node_t* owner;  // the element whose declaration it is
    };
    std::span<const usual_prefix_t> usual_;
    // A part may bind any number of namespaces: they are found by hashing.
    static constexpr size_t max_bindings = 256;  // in scope at once
    std::vector<namespace_t> namespaces_;  // every namespace the part has bound so far
    std::unordered_map<std::string, uint32_t, prefix_hash, std::equal_to<>> namespace_index_;
    std::unordered_set<std::string, prefix_hash, std::equal_to<>> given_prefixes_;
    std::vector<binding_t> bindings_;      // in scope, innermost last
    std::vector<binding_t> pending_;       // the element in hand's, until it is open
    uint32_t default_ns_ = no_namespace;
    bool default_renamed_ = false;  // unprefixed names in the default namespace take a prefix

    line_counter lines_;
    uint64_t base_ = 0;     // offset in the part of the chunk in hand
    uint64_t checked_ = 0;  // offset in the part up to which the text is known to be sound
    bool finished_ = false;
};

} // namespace vex::xml::sxml

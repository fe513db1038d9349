#pragma once
// Content types: the table of the types the library knows, and per document
// the registry that answers a part's type while a package is read and collects
// the Default and Override entries of "[Content_Types].xml" while it is saved.

#include "xml/sxml_arena.h"
#include "xml/sxml_node.h"
#include "xml/xml_stream_writer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vex::xml {

inline constexpr std::string_view content_types_entry = "[Content_Types].xml";
inline constexpr std::string_view relationships_content_type = "application/vnd.openxmlformats-package.relationships+xml";
inline constexpr std::string_view xml_content_type = "application/xml";
// Marks a package of the library's grid format rather than a spreadsheet.
inline constexpr std::string_view grid_entity_content_type =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.grid-entity+xml";

enum class xml_part_mode_enum : uint32_t {
    xml = 0,  // parsed and handed to the part's component
    raw = 2,  // kept as bytes
};

// Both throw general_error "Content type: <ct> error." for a type not in the table.
// The default extension without its dot: "xml" for the XML types without one,
// empty for "application/binary".
std::string_view get_extension(std::string_view content_type);
xml_part_mode_enum get_open_mode(std::string_view content_type);
// Whether the two above answer for the type rather than throw.
bool is_known_content_type(std::string_view content_type) noexcept;

class content_types_t {
public:
    // Keys and types compare byte by byte.
    using entries_t = std::map<std::string, std::string, std::less<>>;

    content_types_t() = default;
    content_types_t(const content_types_t&) = delete;
    content_types_t& operator=(const content_types_t&) = delete;

    // ---- reading ----
    // Node handler of "[Content_Types].xml": keeps every node, and each
    // Override sets format_code to 1 for the grid-entity type, else 2.
    static sxml::status_t on_node(const sxml::xml_node_t* node, uint32_t& format_code);
    // The parsed entry with the parser's chunks it lives in.
    void set_tree(sxml::sxml_arena::chunk* chain, const sxml::xml_node_t* root);
    void release_tree() noexcept;
    const sxml::xml_node_t* root() const noexcept { return root_; }
    // The type of a part entry name (no leading '/'): its Override, else the
    // Default of its extension, either found by entry_path::part_name_key
    // (escapes decoded, ASCII case ignored); null when neither.
    const char* get_content_type(const char* part_name) const;

    // ---- saving ----
    // A part's entry: an Override when the type is XML ("+xml"), else the
    // Default of key taken as an extension. The first type given a key stays;
    // false when it was there.
    bool add(std::string_view key, std::string_view content_type);
    // "rels" and "xml" are taken by the two fixed Defaults.
    bool add_default(std::string_view extension, std::string_view content_type);
    bool add_override(std::string_view part_name, std::string_view content_type);
    // The type an extension is mapped to, the fixed Defaults included.
    std::optional<std::string_view> default_type(std::string_view extension) const;
    const entries_t& defaults() const noexcept { return defaults_; }
    const entries_t& overrides() const noexcept { return overrides_; }
    void clear() noexcept;

    // The whole entry: the two fixed Defaults, the others, then the Overrides,
    // each in key order. Flushes the writer.
    void write(xml_stream_writer& w) const;

private:
    struct chain_deleter {
        void operator()(sxml::sxml_arena::chunk* chain) const noexcept;
    };

    // What a search of the tree answers for each PartName (without its first
    // character) and each Extension, found once: a package of many parts asks
    // for every one of them.
    // Keyed by entry_path::part_name_key.
    using answers_t = std::unordered_map<std::string, const char*>;
    void index_tree__();

    std::unique_ptr<sxml::sxml_arena::chunk, chain_deleter> nodes_;
    const sxml::xml_node_t* root_ = nullptr;
    answers_t by_part_name_;
    answers_t by_extension_;
    entries_t defaults_;
    entries_t overrides_;
};

} // namespace vex::xml

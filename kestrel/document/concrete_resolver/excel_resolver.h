#pragma once
// Reads a SpreadsheetML package into a document's part tree, and writes the
// tree back as a new package.

#include "kestrel/document/archive_resolver.h"
#include "xml/sxml_parser.h"
#include "ziputil.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vex {

class xml_document_t;
class xml_part_t;
struct relationship_t;
struct sheet_entry_t;

class excel_resolver final : public archive_resolver {
public:
    // Entries are streamed in chunks of this size; a longer construct doubles
    // the buffer up to the cap, beyond which the load fails.
    static constexpr size_t chunk_size = 8192;
    static constexpr size_t max_chunk_size = size_t(64) << 20;
    // The deepest element nesting a part may have.
    static constexpr size_t max_depth = 256;
    // The largest entry read whole.
    static constexpr uint64_t max_raw_size = uint64_t(2) << 30;
    // Absolute caps on what a load inflates, one XML part and the whole
    // package: a ratio cap would refuse real files, none would let a small
    // archive exhaust the machine.
    static constexpr uint64_t max_xml_size = uint64_t(2) << 30;
    static constexpr uint64_t max_package_size = uint64_t(16) << 30;

    excel_resolver(xml_document_t* document, unsigned parser_options);
    ~excel_resolver() override;

    void load(const char* path, bool flag) override;
    // The package is written to a new file beside path and renamed over it once
    // complete; on failure that file is removed and path stays as it was. A
    // part to be written with neither a writer nor kept bytes fails the save
    // before anything on disk changes. A symbolic link is followed (the new file
    // goes beside the file it names); a path holding anything but a regular file
    // is refused, as it would be replaced rather than written.
    void save(const char* path) override;

    void read_part_relationships(xml_part_t* part);
    // The stored name of the entry target names from the part stored as base
    // (null for the package's own relationships): the entry of exactly that
    // name, else the first whose entry_path::part_name_key is the target's
    // (escapes decoded, ASCII case ignored); empty when there is none.
    std::string locate_package_entry(const char* base, const char* target) const;
    // The save name of a part, unique among the names given in this save.
    std::string make_part_file_name(xml_part_t* part);

    // How often the last load read the entry (its relationship part is an
    // entry of its own).
    unsigned times_read(const std::string& entry) const;

private:
    void index_entries__();
    void get_content_types__();
    void load_referenced_parts__(xml_part_t* parent);
    void get_part__(xml_part_t* part);
    // The entry inflated into the part's raw bytes.
    void read_raw__(xml_part_t* part, const std::string& entry);
    // The entry checked by inflating it, then kept as the archive holds it.
    void hold_stored__(xml_part_t* part, const std::string& entry);
    // Two sheet records naming one worksheet relationship fail the load.
    void refuse_shared_sheet_records__(const xml_part_t& book_part, const std::vector<relationship_t>& records,
                                       const std::vector<const sheet_entry_t*>& repeated) const;
    void count_inflated__(uint64_t size);
    // Parses the entry in chunks; `copy`, when given, receives its bytes.
    void read_entry__(const std::string& entry, const xml::sxml::sxml_parser::handler_t& handler,
                      xml::sxml::xml_node_t*& root, std::string* copy = nullptr);

    void save_package__(const std::string& path);
    void write_part(xml_part_t* part);
    void write_part_relationships(xml_part_t* part);
    void write_content_types();
    void register_content_type__(const xml_part_t& part);
    std::string claim_name__(std::string name);
    // The name make_part_file_name starts from, before it is made unique.
    static std::string planned_name__(const xml_part_t& part);
    void check_writers__() const;
    void check_writer__(xml_part_t& part) const;
    // The parts saved for the entries they were read from (or named for), by
    // that name; an alias is saved as the part its name finds.
    void collect_originals__(xml_part_t& part);
    xml_part_t* original_of__(const xml_part_t& alias) const;
    void stand_alone__(xml_part_t& alias);

    xml_document_t* document_;
    zip_archive archive_;
    xml::sxml::sxml_parser parser_;
    // Stored entry names by entry_path::part_name_key, while a load runs.
    std::unordered_map<std::string, std::string_view> entries_by_key_;
    std::unordered_map<std::string, xml_part_t*> loaded_;  // by entry, the part read from it
    std::unordered_map<std::string, unsigned> reads_;
    uint64_t inflated_ = 0;  // declared sizes of the entries read by this load
    std::unordered_set<const xml_part_t*> written_;
    std::unordered_map<const char*, const xml_part_t*> written_blocks_;  // the first written of each block
    std::unordered_map<std::string, xml_part_t*> originals_;
    std::unordered_set<std::string> used_names_;  // ASCII lower case, as zip lookups compare
};

} // namespace vex

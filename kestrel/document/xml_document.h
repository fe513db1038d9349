#pragma once
// The in-memory package: the package root with every part below it, the
// content-type registry, the path last probed, the format code and the
// reference mode. It creates a new package, and drives loading and saving
// through a package resolver.

#include "kestrel/parts/part_container.h"
#include "kestrel/xml/xl_xml/content_type/content_types.h"
#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"
#include "xml/sxml_node.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace vex {

class archive_resolver;
class workbook_t;
class xml_part_t;

enum file_format_enum : uint32_t {
    file_format_none = 0,
    file_format_loading = 1,    // set by the host before a load, or by a grid-entity package
    file_format_package = 2,    // a SpreadsheetML package: the only format saved
    file_format_open_text = 3,  // a zip with "content.xml" only
};

class xml_document_t {
public:
    xml_document_t();
    virtual ~xml_document_t();
    xml_document_t(const xml_document_t&) = delete;
    xml_document_t& operator=(const xml_document_t&) = delete;

    // The workbook part with its styles and shared-strings parts.
    virtual bool create_package();
    // A root child of that relationship type; null when the factory makes none.
    virtual xml_part_t* create_part(const char* relationship_type);

    // The format a file holds (2 package, 3 "content.xml" only, else 0); never
    // throws. A null path gives the current code.
    uint32_t probe_file_format(const char* path);
    // Throws archive_error "Unrecognized file type: <path>" for a file that is
    // not a package; the resolver's errors pass unchanged. Ends with the
    // workbook's post-load step.
    void load(const char* path, bool flag);
    // Writes only format 2; the file at path is replaced only by a complete
    // package.
    void save(const char* path, uint32_t format);

    workbook_t* workbook() const;
    xml_part_t* workbook_part() const noexcept { return workbook_part_; }
    std::string path() const { return path_; }
    // The name of the sheet whose table has that grid id; empty when none has.
    void sheet_name(std::string& name, uint32_t table_id) const;

    xml::sxml::status_t on_relationship_node(const xml::sxml::xml_node_t* node);

    xml::content_types_t& content_types() noexcept { return content_types_; }
    part_container& package_root() noexcept { return root_; }
    const part_container& package_root() const noexcept { return root_; }

    uint32_t format_code() const noexcept { return format_; }
    // Also seen by the workbook component, whose worksheet parts ask it.
    void set_format_code(uint32_t code) noexcept;
    uint32_t reference_mode() const noexcept { return reference_mode_; }

    // Writers the save takes for kinds without one of their own yet.
    stand_in_writers_t& stand_in_writers() noexcept { return stand_ins_; }
    const stand_in_writers_t& stand_in_writers() const noexcept { return stand_ins_; }

protected:
    void set_path(std::string path) { path_ = std::move(path); }
    void set_workbook_part(xml_part_t* part) noexcept { workbook_part_ = part; }

private:
    std::unique_ptr<archive_resolver> get_archive_resolver__(file_format_enum format);

    xml::content_types_t content_types_;
    part_container root_;
    xml_part_t* workbook_part_ = nullptr;
    std::string path_;
    uint32_t format_ = file_format_none;
    uint32_t reference_mode_ = 3;  // A1
    stand_in_writers_t stand_ins_;
};

} // namespace vex

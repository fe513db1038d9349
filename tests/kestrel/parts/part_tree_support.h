#pragma once
// Small part trees for tests: a part class with no behaviour of its own, the
// descriptions of the kinds the tests use, and a writer that collects output.

#include "kestrel/parts/part.h"

#include <optional>
#include <string>

namespace part_test {

using vex::part_kind_enum;
using vex::xml_part_t;

struct kind_t {
    part_kind_enum kind;
    const char* relationship_type;
    const char* content_type;
    const char* folder;
    const char* stem;
    bool numbered;
};

#define PT_REL "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
#define PT_SML "application/vnd.openxmlformats-officedocument.spreadsheetml."
inline const kind_t workbook{part_kind_enum::workbook_part, PT_REL "officeDocument", PT_SML "sheet.main+xml", "xl",
                             "workbook", false};
inline const kind_t worksheet{part_kind_enum::worksheet_part, PT_REL "worksheet", PT_SML "worksheet+xml",
                              "worksheets", "sheet", true};
inline const kind_t worktable{part_kind_enum::worktable_part, PT_REL "worktable", PT_SML "worktable+xml", "../table",
                              "table", true};
inline const kind_t styles{part_kind_enum::workbook_styles_part, PT_REL "styles", PT_SML "styles+xml", ".", "styles",
                           false};
inline const kind_t shared_strings{part_kind_enum::shared_string_table_part, PT_REL "sharedStrings",
                                   PT_SML "sharedStrings+xml", ".", "sharedStrings", false};
inline const kind_t drawing{part_kind_enum::drawings_part, PT_REL "drawing",
                            "application/vnd.openxmlformats-officedocument.drawing+xml", "../drawings", "drawing", true};
inline const kind_t table{part_kind_enum::table_definition_part, PT_REL "table", PT_SML "table+xml", "../tables",
                          "table", true};
inline const kind_t comments{part_kind_enum::worksheet_comments_part, PT_REL "comments", PT_SML "comments+xml", "..",
                             "comments", true};
inline const kind_t image{part_kind_enum::image_part, PT_REL "image", nullptr, "../media", "image", true};
#undef PT_REL
#undef PT_SML

class test_part : public xml_part_t {
public:
    test_part(xml_part_t* parent, const kind_t& k)
        : xml_part_t(parent, "http://schemas.openxmlformats.org/spreadsheetml/2006/main", k.relationship_type,
                     k.content_type, k.folder, k.stem, nullptr) {
        set_kind(k.kind);
        set_numbered(k.numbered);
        if (k.content_type) set_content_type(k.content_type);
        make_default_entry_name();
    }
    ~test_part() override = default;

    using xml_part_t::set_component;
    using xml_part_t::set_output_handler;

    // When set, the answer this part gives for every child's number.
    std::optional<std::optional<unsigned>> number_answer;
    std::optional<unsigned> get_part_number(const xml_part_t* child) const override {
        return number_answer ? *number_answer : xml_part_t::get_part_number(child);
    }
};

// A new part of kind k, appended to parent (or standing alone without one).
inline test_part* add(xml_part_t* parent, const kind_t& k) {
    auto* p = new test_part(parent, k);
    if (parent) parent->add_part(p, false);
    return p;
}

// An image part with the bytes of a picture of the given extension.
inline test_part* add_image(xml_part_t* parent, const char* type, const char* ext) {
    test_part* p = add(parent, image);
    p->set_content_type(type);
    p->set_extension(ext);
    return p;
}

// Gives every part its save name and renumbers its children, as a save does.
inline void name_tree(xml_part_t& part) {
    part.set_entry_name(part.make_part_file_name());
    part.reset_relationship_ids();
    for (const auto& c : part.get_child_parts()) name_tree(*c);
}

inline vex::xml::xml_stream_writer string_writer(std::string& out) {
    return vex::xml::xml_stream_writer([&out](const char* p, unsigned n) { out.append(p, n); });
}

} // namespace part_test

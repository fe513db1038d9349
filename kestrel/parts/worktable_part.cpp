#include "kestrel/parts/worktable_part.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/xml/xl_xml/writers/worktable_part_xml.h"

#include <algorithm>

namespace vex {

namespace {

std::unique_ptr<worktable_t> make_worktable(xml_part_t* part, xml_part_t* parent) {
    const auto* sheet = parent ? dynamic_cast<const worksheet_t*>(parent->get_component()) : nullptr;
    if (const worktable_shape_t* shape = sheet ? sheet->pending_worktable_shape() : nullptr)
        return std::make_unique<worktable_t>(part, shape->rows, shape->cols, shape->extent);
    return std::make_unique<worktable_t>(part);
}

} // namespace

worktable_part_t::worktable_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::worktable_part) {
    set_component(make_worktable(this, parent));
}

worktable_part_t::~worktable_part_t() = default;

xml_part_t* worktable_part_t::child_of_kind(part_kind_enum kind) const noexcept {
    for (const auto& c : get_child_parts())
        if (c->kind() == kind) return c.get();
    return nullptr;
}

void worktable_part_t::match_comment_parts() {
    const bool commented = !get_worktable()->comments().empty();
    std::vector<xml_part_t*> comment_parts;
    for (const auto& c : get_child_parts())
        if (c->kind() == part_kind_enum::worksheet_comments_part) comment_parts.push_back(c.get());
    // Each would write the whole store.
    for (size_t i = commented ? 1 : 0; i < comment_parts.size(); ++i) remove_part(comment_parts[i]);
    if (commented && comment_parts.empty())
        create_part(part_kind_info_of(part_kind_enum::worksheet_comments_part)->relationship_type, nullptr);
    vml_drawing_part* notes = notes_drawing_of(*this);
    // Bytes reach a notes drawing only from another part read from the same
    // entry, the header and footer one say: written as that entry, both
    // elements would name one part.
    while (notes && (notes->get_raw_data() || notes->is_alias())) {
        remove_part(notes);
        notes = notes_drawing_of(*this);
    }
    if (commented && !notes) {
        xml_part_t* made = create_part(part_kind_info_of(part_kind_enum::vml_drawing_part)->relationship_type, nullptr);
        if (made) made->set_extension("vml");
    } else if (!commented && notes && notes->get_drawing()->kept_shape_count() == 0) {
        remove_part(notes);
    }
}

void worktable_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<worktable_part_xml>(*this));
}

int worktable_part_t::bind_child_part(xml_part_t* child) {
    const std::string_view id = child ? child->get_source_id() : "";
    if (id.empty()) return 0;
    auto& objects = get_worktable()->sheet_extras().embedded_objects;
    for (auto& o : objects) {
        if (o.relationship_id == id) {
            o.part = child;
            return 0;
        }
    }
    for (auto& o : objects) {
        if (o.properties && o.properties->relationship_id == id) {
            o.properties->part = child;
            return 0;
        }
    }
    return 0;
}

xml_part_t* worktable_part_t::create_part(const char* relationship_type, const char* id) {
    if (relationship_type && uri::drawing_relationship == relationship_type)
        if (xml_part_t* drawing = child_of_kind(part_kind_enum::drawings_part)) return drawing;
    return xml_part_t::create_part(relationship_type, id);
}

void worktable_part_t::add_part(xml_part_t* part, bool at_front) {
    if (!part) return;
    // A load sets the relationship id only after the part is added.
    if (*part->get_source_id()) bind_child_part(part);
    if (part->kind() == part_kind_enum::table_definition_part)
        get_worktable()->sheet_extras().table_parts.push_back(part);
    xml_part_t::add_part(part, at_front);
}

void worktable_part_t::remove_part(unsigned part_id) {
    for (const auto& c : get_child_parts()) {
        if (c->get_part_id() == part_id) {
            remove_part(c.get());
            return;
        }
    }
}

void worktable_part_t::remove_part(xml_part_t* part) {
    auto& extras = get_worktable()->sheet_extras();
    // Listed once, when added: found and taken out without comparing the rest.
    if (const auto it = find_from_ends(extras.table_parts.begin(), extras.table_parts.end(),
                                       [&](const xml_part_t* p) { return p == part; });
        it != extras.table_parts.end())
        extras.table_parts.erase(it);
    for (auto& o : extras.embedded_objects) {
        if (o.part == part) o.part = nullptr;
        if (o.properties && o.properties->part == part) o.properties->part = nullptr;
    }
    xml_part_t::remove_part(part);
}

std::optional<unsigned> worktable_part_t::get_part_number(const xml_part_t* child) const {
    if (!child || child->kind() == part_kind_enum::table_definition_part) return xml_part_t::get_part_number(child);
    const xml_part_t* sheet = get_parent();
    const auto* book = sheet ? dynamic_cast<const workbook_part_t*>(sheet->get_parent()) : nullptr;
    const auto* worksheet = sheet ? dynamic_cast<const worksheet_t*>(sheet->get_component()) : nullptr;
    if (!book || !worksheet) return std::nullopt;
    return book->sheet_number(worksheet);
}

} // namespace vex

#include "kestrel/parts/drawings_part.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/image_part.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/xml/xl_xml/writers/drawings_part_xml.h"
#include "mta/table/utils/drawing/image/image.h"

#include <map>
#include <string>

namespace vex {

drawings_part_t::drawings_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::drawings_part) {
    set_component(std::make_unique<drawings_t>(this));
}

void drawings_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<drawings_part_xml>(*this));
}

drawings_part_t::~drawings_part_t() = default;

void drawings_part_t::on_child_loaded(xml_part_t* child) {
    if (!child || child->kind() != part_kind_enum::image_part) return;
    const xml_part_t* parent = get_parent();
    if (!parent || parent->kind() != part_kind_enum::worktable_part) return;
    auto* table = dynamic_cast<worktable_t*>(parent->get_component());
    auto* image = dynamic_cast<image_part_t*>(child);
    if (table && image) get_drawings()->insert_image(*image, *table);
}

bool drawings_part_t::is_empty() const { return get_child_parts().empty() && get_drawings()->kept_anchors().empty(); }

void drawings_part_t::prepare_saving(bool saving) {
    numbers_.clear();
    numbering_ = saving;
}

void drawings_part_t::end_numbering() noexcept {
    numbers_.clear();
    numbering_ = false;
}

namespace {

const xml_part_t* first_of_kind(const xml_part_t& part, part_kind_enum kind) {
    for (const auto& c : part.get_child_parts()) {
        if (c->kind() == kind) return c.get();
        if (const xml_part_t* below = first_of_kind(*c, kind)) return below;
    }
    return nullptr;
}

// In the order the base numbering counts: each child, then what lies below it.
void number_below(const xml_part_t& part, part_kind_enum kind, unsigned& next,
                  std::unordered_map<const xml_part_t*, unsigned>& out) {
    for (const auto& c : part.get_child_parts()) {
        if (c->kind() == kind) out.emplace(c.get(), next++);
        number_below(*c, kind, next, out);
    }
}

} // namespace

std::optional<unsigned> drawings_part_t::get_part_number(const xml_part_t* child) const {
    if (!numbering_ || !child || child->kind() != part_kind_enum::image_part || !child->is_numbered())
        return xml_part_t::get_part_number(child);
    if (numbers_.empty()) {
        // The first picture's rank is the count of those before the drawing.
        const xml_part_t* first = first_of_kind(*this, part_kind_enum::image_part);
        const std::optional<unsigned> base = first ? xml_part_t::get_part_number(first) : std::nullopt;
        if (!base) return xml_part_t::get_part_number(child);
        unsigned next = *base;
        number_below(*this, part_kind_enum::image_part, next, numbers_);
    }
    const auto it = numbers_.find(child);
    return it != numbers_.end() ? std::optional<unsigned>(it->second) : xml_part_t::get_part_number(child);
}

size_t drawings_part_t::child_count(int mode) const { return xml_part_t::child_count(mode) + links().size(); }

std::string drawings_part_t::link_id(size_t i) const {
    size_t children = 0;
    for (const auto& c : get_child_parts()) children += c->get_relationship_id() ? 1 : 0;
    return "rId" + std::to_string(children + i + 1);
}

image_part_t* drawings_part_t::register_image(int32_t id, const std::shared_ptr<const img::image_t>& image,
                                              image_part_t* part) {
    // Bytes kept from a load would be written back without the new picture:
    // let them go, so the drawing is written from its model or the save
    // says it cannot be.
    if (get_raw_data()) set_raw_data(nullptr, 0);
    if (!part && image) {
        const char* bytes = reinterpret_cast<const char*>(image->data());
        for (const auto& c : get_child_parts()) {
            if (c->kind() == part_kind_enum::image_part && c->get_raw_data() == bytes) {
                part = dynamic_cast<image_part_t*>(c.get());
                break;
            }
        }
    }
    if (!part) {
        part = dynamic_cast<image_part_t*>(create_part(std::string(uri::image_relationship).c_str(), nullptr));
        if (!part) return nullptr;
        part->set_image(image);
    }
    part->register_image(id);
    return part;
}

drawings_part_t::id_map_t drawings_part_t::save_ids() const {
    id_map_t ids;
    for (const auto& c : get_child_parts()) {
        const char* now = c->get_relationship_id();
        if (*c->get_source_id() && now) ids.emplace(c->get_source_id(), now);
    }
    const std::vector<relationship_t>& kept_links = links();
    for (size_t i = 0; i < kept_links.size(); ++i) ids.emplace(kept_links[i].id, link_id(i));
    return ids;
}

std::string drawings_part_t::kept_anchor_for_save(std::string_view xml) const { return remap_ids(xml, save_ids()); }

std::string drawings_part_t::remap_ids(std::string_view xml, const id_map_t& ids) {
    std::string out;
    out.reserve(xml.size());
    size_t from = 0;
    // Values of prefixed attributes (r:id, r:embed, ...) that name a child.
    for (size_t eq = xml.find('='); eq != std::string_view::npos; eq = xml.find('=', eq + 1)) {
        if (eq + 1 >= xml.size() || (xml[eq + 1] != '"' && xml[eq + 1] != '\'')) continue;
        size_t name_start = eq;
        while (name_start > 0 && std::string_view(" \t\r\n<>").find(xml[name_start - 1]) == std::string_view::npos)
            --name_start;
        const std::string_view name = xml.substr(name_start, eq - name_start);
        const size_t value_start = eq + 2;
        const size_t value_end = xml.find(xml[eq + 1], value_start);
        if (value_end == std::string_view::npos) break;
        eq = value_end;
        if (name.find(':') == std::string_view::npos || name.starts_with("xmlns:")) continue;
        const auto found = ids.find(xml.substr(value_start, value_end - value_start));
        if (found == ids.end()) continue;
        out.append(xml.substr(from, value_start - from));
        out.append(found->second);
        from = value_end;
    }
    out.append(xml.substr(from));
    return out;
}

} // namespace vex

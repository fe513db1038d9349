#include "kestrel/core/components/drawings.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/image_part.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_drawings.h"

#include <algorithm>

namespace vex {

drawings_t::drawings_t(xml_part_t* part) : component_base_t(part) {}

drawings_t::~drawings_t() = default;

xml::sxml::status_t drawings_t::assign(const xml::sxml::xml_node_t* node) {
    if (is_end_of_document(node)) {
        if (reader_) reader_->assign(node);
        reader_.reset();
        return xml::sxml::status_t::done;
    }
    if (!reader_) {
        reader_ = std::make_unique<assign_for_drawings_t>(*this);
        // A save clears the part's records: the links live here.
        links_.clear();
        if (const xml_part_t* part = get_part())
            for (const relationship_t& r : part->get_relationships())
                if (!r.internal || r.type == uri::hyperlink_relationship) links_.push_back(r);
    }
    return reader_->assign(node);
}

std::vector<const picture_anchor_t*> drawings_t::waiting_pictures() const {
    std::vector<const picture_anchor_t*> out;
    out.reserve(pictures_.size());
    for (const auto& [id, at] : pictures_) out.push_back(&at);
    std::sort(out.begin(), out.end(), [](const auto* a, const auto* b) { return a->order < b->order; });
    return out;
}

const drawings_t::read_xml_t* drawings_t::picture_xml(int32_t image_id) const {
    const auto it = placed_xml_.find(image_id);
    return it == placed_xml_.end() ? nullptr : &it->second;
}

std::vector<int32_t> drawings_t::in_drawing_order(std::vector<int32_t> image_ids) const {
    // Read pictures by their place; the rest keep their (id) order after them.
    const auto place = [&](int32_t id) {
        const auto it = placed_order_.find(id);
        return it == placed_order_.end() ? std::pair{true, size_t(0)} : std::pair{false, it->second};
    };
    std::stable_sort(image_ids.begin(), image_ids.end(), [&](int32_t a, int32_t b) { return place(a) < place(b); });
    return image_ids;
}

void drawings_t::add_picture(std::string relationship_id, picture_anchor_t at) {
    at.order = added_pictures_;
    pictures_.emplace(std::move(relationship_id), std::move(at));
    ++added_pictures_;
}

int32_t drawings_t::insert_image(image_part_t& image, worktable_t& table) {
    const std::string_view id = image.get_source_id();
    const char* bytes = image.get_raw_data();
    const size_t n = image.get_raw_size();
    int32_t placed = -1;
    auto [it, end] = pictures_.equal_range(std::string(id));
    while (it != end) {
        const picture_anchor_t& a = it->second;
        int32_t got = -1;
        switch (a.type) {
        case 0:
            got = table.add_absolute_image_from_memory(bytes, n, a.x, a.y, a.width, a.height, a.scale, &image);
            break;
        case 1:
            got = table.add_one_cell_image_from_memory(bytes, n, a.row, a.col, a.width, a.height, a.scale,
                                                       a.col_offset, a.row_offset, &image);
            break;
        default:
            got = table.add_two_cell_image_from_memory_to_part(a.edit_as, bytes, n, a.from_col, a.from_col_offset,
                                                               a.from_row, a.from_row_offset, a.to_col,
                                                               a.to_col_offset, a.to_row, a.to_row_offset, &image);
        }
        if (got <= 0) {
            ++it;
            continue;
        }
        placed = got;
        if (!a.picture_xml.empty()) placed_xml_[got] = {a.picture_xml, a.client_xml, a.offsets_emu};
        placed_order_[got] = a.order;
        it = pictures_.erase(it);
    }
    return placed;
}

} // namespace vex

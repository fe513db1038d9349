#include "kestrel/xml/xl_xml/writers/drawings_part_xml.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/drawings_part.h"
#include "kestrel/parts/image_part.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/relationships.h"
#include "mta/table/utils/drawing/image/table_image.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace vex {

namespace {

namespace image = mta::image;

constexpr std::string_view spreadsheet_drawing = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
constexpr std::string_view drawing_main = "http://schemas.openxmlformats.org/drawingml/2006/main";
constexpr int64_t emu_per_pixel = 9525;

number_text emu(int64_t pixels) noexcept { return number_text(pixels * emu_per_pixel); }

void value_element(xml::xml_stream_writer& w, std::string_view name, int64_t v) {
    w.start_element(name);
    w.close_start_tag();
    w.write_text(number_text(v));
    w.end_element(name);
}

// An offset in EMU: as read while it still gives the pixels the model holds
// (the picture was not moved or resized since), else from those pixels.
int64_t offset_emu(int32_t pixels, int64_t read) noexcept {
    return read / emu_per_pixel == pixels ? read : int64_t(pixels) * emu_per_pixel;
}

void cell_element(xml::xml_stream_writer& w, std::string_view name, int32_t row, int32_t col, int32_t row_offset,
                  int32_t col_offset, int64_t read_col_offset = 0, int64_t read_row_offset = 0) {
    w.start_element(name);
    w.close_start_tag();
    value_element(w, "xdr:col", int64_t(col) - 1);
    value_element(w, "xdr:colOff", offset_emu(col_offset, read_col_offset));
    value_element(w, "xdr:row", int64_t(row) - 1);
    value_element(w, "xdr:rowOff", offset_emu(row_offset, read_row_offset));
    w.end_element(name);
}

// Both 0: the picture's own size times the scale.
std::pair<int64_t, int64_t> size_of(int32_t width, int32_t height, double scale, const img::image_t* picture) {
    if ((width != 0 || height != 0) || !picture) return {width, height};
    const img::pixel_size_t px = picture->pixel_size();
    const double s = std::isfinite(scale) && scale > 0 ? scale : 1.0;
    return {int64_t(std::llround(px.width * s)), int64_t(std::llround(px.height * s))};
}

void ext_element(xml::xml_stream_writer& w, std::pair<int64_t, int64_t> size) {
    w.start_element("xdr:ext");
    w.write_attribute("cx", emu(size.first));
    w.write_attribute("cy", emu(size.second));
    w.end_empty_element();
}

// Each image id with the relationship of the first image part showing it.
std::unordered_map<int32_t, const char*> embed_ids(const drawings_part_t& part) {
    std::unordered_map<int32_t, const char*> out;
    for (const auto& c : part.get_child_parts()) {
        if (c->kind() != part_kind_enum::image_part) continue;
        const auto* shown = dynamic_cast<const image_part_t*>(c.get());
        if (!shown || !c->get_relationship_id()) continue;
        for (const int id : shown->images()) out.emplace(id, c->get_relationship_id());
    }
    return out;
}

void generated_picture(xml::xml_stream_writer& w, int32_t id, const char* embed) {
    const std::string number(number_text(id).view());
    w.write_raw("<xdr:pic><xdr:nvPicPr>");
    w.start_element("xdr:cNvPr");
    w.write_attribute("id", number);
    w.write_attribute("name", "picture " + number);
    w.end_empty_element();
    w.write_raw("<xdr:cNvPicPr><a:picLocks noChangeAspect=\"1\"/></xdr:cNvPicPr></xdr:nvPicPr><xdr:blipFill>");
    w.start_element("a:blip");
    w.write_attribute("xmlns:r", uri::office_document_relationships);
    if (embed) w.write_attribute("r:embed", embed);
    w.end_empty_element();
    w.write_raw("<a:stretch><a:fillRect/></a:stretch></xdr:blipFill>"
                "<xdr:spPr><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic>");
}

} // namespace

drawings_part_xml::~drawings_part_xml() { part_.end_numbering(); }

void drawings_part_xml::write() {
    xml::xml_stream_writer* w = part_.get_xml_writer();
    if (!w) throw std::runtime_error("no xml stream writer.");
    const drawings_t& drawings = *part_.get_drawings();
    const xml_part_t* parent = part_.get_parent();
    const auto* table = parent ? dynamic_cast<const worktable_t*>(parent->get_component()) : nullptr;
    const image::table_image_manager* manager = table ? table->get_image_manager() : nullptr;
    const drawings_part_t::id_map_t ids = part_.save_ids();
    const std::unordered_map<int32_t, const char*> embeds = embed_ids(part_);

    w->write_raw(xml::standalone_declaration);
    w->start_element("xdr:wsDr");
    w->write_attribute("xmlns:xdr", spreadsheet_drawing);
    w->write_attribute("xmlns:a", drawing_main);
    bool has_r = false;
    for (const auto& [name, value] : drawings.root_namespaces()) {
        if (name == "xmlns:xdr" || name == "xmlns:a") continue;
        has_r = has_r || name == "xmlns:r";
        // As read: the value is in the package's form already.
        w->write_raw(" " + name + "=\"" + value + "\"");
    }
    if (!has_r && !drawings.kept_anchors().empty()) w->write_attribute("xmlns:r", uri::office_document_relationships);
    w->close_start_tag();

    // Kept anchors and pictures still waiting for their image go back as
    // read, each where it was among the pictures.
    const std::vector<kept_anchor_t>& kept = drawings.kept_anchors();
    const std::vector<const picture_anchor_t*> waiting = drawings.waiting_pictures();
    size_t next_kept = 0, next_waiting = 0;
    size_t pictures = 0;
    // Those read before the next picture, or all that are left.
    auto kept_until = [&](bool all) {
        while (true) {
            const bool k = next_kept < kept.size() && (all || kept[next_kept].pictures_before <= pictures);
            const bool p = next_waiting < waiting.size() && (all || waiting[next_waiting]->order <= pictures);
            if (k && (!p || kept[next_kept].pictures_before <= waiting[next_waiting]->order)) {
                w->write_raw(drawings_part_t::remap_ids(kept[next_kept++].xml, ids));
            } else if (p) {
                w->write_raw(drawings_part_t::remap_ids(waiting[next_waiting++]->anchor_xml, ids));
                ++pictures;
            } else {
                return;
            }
        }
    };
    if (manager && table) {
        // The manager holds every sheet's pictures: only this sheet's are visited.
        for (const int32_t id : drawings.in_drawing_order(manager->ids_of(table->sheet_id()))) {
            const image::image_anchor_t& a = *manager->find_image(id);
            if (a.background) continue;
            if (a.type != image::image_anchor_type_enum::absolute && a.type != image::image_anchor_type_enum::one_cell &&
                a.type != image::image_anchor_type_enum::two_cell)
                continue;
            kept_until(false);
            ++pictures;
            const img::image_t* picture = a.image.get();
            const drawings_t::read_xml_t* read = drawings.picture_xml(id);
            const std::array<int64_t, 4> emu_read = read ? read->offsets_emu : std::array<int64_t, 4>{};
            std::string_view element;
            switch (a.type) {
            case image::image_anchor_type_enum::absolute:
                element = "xdr:absoluteAnchor";
                w->start_element(element);
                w->close_start_tag();
                w->start_element("xdr:pos");
                w->write_attribute("x", emu(a.absolute.x));
                w->write_attribute("y", emu(a.absolute.y));
                w->end_empty_element();
                ext_element(*w, size_of(a.absolute.width, a.absolute.height, a.absolute.scale, picture));
                break;
            case image::image_anchor_type_enum::one_cell:
                element = "xdr:oneCellAnchor";
                w->start_element(element);
                w->close_start_tag();
                cell_element(*w, "xdr:from", a.one_cell.row, a.one_cell.col, a.one_cell.row_offset,
                             a.one_cell.col_offset, emu_read[0], emu_read[1]);
                ext_element(*w, size_of(a.one_cell.width, a.one_cell.height, a.one_cell.scale, picture));
                break;
            default: {
                element = "xdr:twoCellAnchor";
                w->start_element(element);
                if (a.edit_as == image::image_anchor_type_enum::absolute) w->write_attribute("editAs", "absolute");
                if (a.edit_as == image::image_anchor_type_enum::one_cell) w->write_attribute("editAs", "oneCell");
                w->close_start_tag();
                const image::two_cell_anchor_t& c = a.two_cell;
                cell_element(*w, "xdr:from", c.from_row, c.from_col, c.from_row_offset, c.from_col_offset, emu_read[0],
                             emu_read[1]);
                cell_element(*w, "xdr:to", c.to_row, c.to_col, c.to_row_offset, c.to_col_offset, emu_read[2],
                             emu_read[3]);
            }
            }
            if (read) {
                w->write_raw(drawings_part_t::remap_ids(read->picture, ids));
            } else {
                const auto embed = embeds.find(id);
                generated_picture(*w, id, embed == embeds.end() ? nullptr : embed->second);
            }
            w->write_raw(read && !read->client.empty() ? std::string_view(read->client) : "<xdr:clientData/>");
            w->end_element(element);
        }
    }
    kept_until(true);
    w->end_element("xdr:wsDr");
}

void drawings_part_xml::write_relationships(xml::xml_stream_writer& w) {
    const std::vector<relationship_t>& links = part_.links();
    for (size_t i = 0; i < links.size(); ++i) write_link_relationship(w, links[i], part_.link_id(i));
}

} // namespace vex

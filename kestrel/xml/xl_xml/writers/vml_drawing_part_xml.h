#pragma once
// Writes a sheet's VML drawing part: the shape layout listing the shape-id
// blocks the part owns, the shapes and shapetypes kept from the load, and one
// note shape per comment of the sheet: hidden and anchored near its cell, or
// as the loaded drawing showed it.

#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/utils/cell_comment/comment_store.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vex {

class vml_drawing_part;

namespace xml::sxml {
struct xml_node_t;
}

class vml_drawing_part_xml : public output_handler {
public:
    explicit vml_drawing_part_xml(vml_drawing_part& part) noexcept : part_(part) {}
    void write() override;

    // Shape ids come in blocks of 1024: block n gives its shapes the ids
    // n * 1024 + 1 to n * 1024 + 1023.
    struct shape_ids_t {
        std::vector<uint32_t> blocks;  // ascending, as o:idmap lists them
        std::vector<uint32_t> notes;   // one per comment, in the store's order
    };
    // The part keeps the blocks its kept shapes use; its notes take the ids
    // left free there, then fresh consecutive blocks that no other VML part of
    // the workbook holds. Parts claim fresh blocks in tree order.
    static shape_ids_t plan_shape_ids(const vml_drawing_part& part);
    // The blocks the o:idmap of a part kept as bytes lists.
    static std::vector<uint32_t> idmap_blocks(std::string_view bytes);

private:
    void write_root_start(const xml::sxml::xml_node_t* root);
    void write_note(int32_t row, int32_t col, const mta::note_shape_t* shape, uint32_t id, size_t z);
    void write_elements(const std::vector<mta::note_shape_t::element_t>& elements);

    vml_drawing_part& part_;
    xml::xml_stream_writer* w_ = nullptr;
};

} // namespace vex

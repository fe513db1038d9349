#pragma once
// A picture's bytes in the package, unparsed: a picture anchored in a drawing
// or a sheet's background. The part knows the picture's MIME type and
// extension and which image ids of the workbook's image manager show it.
// Bytes are shared by ownership, with the image record they came from or with
// the part they were copied from, so that one block is written once.

#include "kestrel/core/components/component_base.h"
#include "kestrel/parts/simple_part.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>

namespace vex {

namespace img {
class image_t;
}

// The content type and extension (without dot) of an image type code 1..8;
// null for any other code.
const char* mime_type_of(int type) noexcept;
const char* extension_of(int type) noexcept;

// The component of an image part: its bytes are never parsed.
class image_t final : public component_base_t {
public:
    explicit image_t(xml_part_t* part) noexcept : component_base_t(part) {}
    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::done; }
};

class image_part_t final : public described_part_t {
public:
    explicit image_part_t(xml_part_t* parent);
    ~image_part_t() override;

    using xml_part_t::set_raw_data;
    // The picture's bytes, kept alive with the picture; content type and
    // extension follow its type.
    void set_image(const std::shared_ptr<const img::image_t>& image);

    void register_image(int id) { ids_.insert(id); }
    bool has_image(int id) const noexcept { return ids_.contains(id); }
    const std::unordered_set<int>& images() const noexcept { return ids_; }
    void clear_images() noexcept { ids_.clear(); }

    // Same block of bytes, not equal contents.
    bool equals(const xml_part_t* other) const override;
    const char* get_content_type_by_index(int index) const override;
    const char* get_extension_by_index(int index) const override;
    // Places the bytes as the sheet's background or as the drawing's pictures
    // of this part; false when nothing was placed.
    bool on_loaded() override;
    bool parses_on_load() const override { return false; }
    // Shares the other image part's bytes, content type and extension.
    void copy_from(const xml_part_t* other) override;

private:
    std::unordered_set<int> ids_;
};

} // namespace vex

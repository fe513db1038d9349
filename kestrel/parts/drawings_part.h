#pragma once
// The drawing part of a sheet: the parent of the image parts of the pictures
// anchored on the sheet, and of the charts and other parts its kept anchors
// reference.

#include "kestrel/core/components/drawings.h"
#include "kestrel/parts/simple_part.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

namespace img {
class image_t;
}

class image_part_t;

class drawings_part_t final : public described_part_t {
public:
    explicit drawings_part_t(xml_part_t* parent);
    ~drawings_part_t() override;

    drawings_t* get_drawings() const noexcept { return static_cast<drawings_t*>(get_component()); }

    // Places the pictures that wait for a loaded image child on the worktable.
    void on_child_loaded(xml_part_t* child) override;
    bool is_empty() const override;
    void create_output_handler(int mode) override;

    // Records a picture's image id with the part showing its bytes: the given
    // part, else one of this drawing holding the same bytes, else a new one.
    // Returns that part.
    image_part_t* register_image(int32_t id, const std::shared_ptr<const img::image_t>& image, image_part_t* part);

    // The relationship ids read, each with the id its part, or its link, has
    // in this save.
    using id_map_t = std::map<std::string, std::string, std::less<>>;
    id_map_t save_ids() const;
    // Kept XML with each relationship id it names given its id in this save.
    std::string kept_anchor_for_save(std::string_view xml) const;
    static std::string remap_ids(std::string_view xml, const id_map_t& ids);

    // The links the drawing read (hyperlinks, linked pictures): numbered in
    // this save after the children, in the order they were read.
    const std::vector<relationship_t>& links() const noexcept { return get_drawings()->links(); }
    std::string link_id(size_t i) const;
    // The children and the links.
    size_t child_count(int mode) const override;

    // While the drawing is saved its image parts are numbered in one walk:
    // from the start of its save to its writer's end.
    void prepare_saving(bool saving) override;
    void end_numbering() noexcept;
    std::optional<unsigned> get_part_number(const xml_part_t* child) const override;

private:
    bool numbering_ = false;
    mutable std::unordered_map<const xml_part_t*, unsigned> numbers_;
};

} // namespace vex
